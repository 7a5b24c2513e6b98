#pragma once
// The Station list: the stations of the chosen genre, keyed 1, 2, 3 ... in
// reading order.

struct StationNode {
  char name[512];
  char genre[128];
  char id[16];
  char bitrate[12];
  StationNode* next;
};

extern StationNode* net_anker;
extern StationNode* net_ende;
extern int AnzahlNETElemente;
extern char which_bitrate[6];
extern int read_error;

// Leaves the station with key `key` at net_anker.
void NET_Element_ermitteln(int key, int count);
// Releases the nodes from net_ende on; net_anker becomes null.
void RemoveList();
