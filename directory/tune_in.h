#pragma once
// Tune-in: a station's playlist resolved to a stream URL, and the strings
// built from it.

extern char playlist_string[256];  // the stream URL
extern char play_stream[256];      // "4096:0:0:0:0:0:0:0:0:0:" + URL
extern char ripp_stream[256];      // RIPPER URL -d RIPDIR
extern int playlistread_error;
extern int item_eintrag;

// Reads the first URL of /tmp/lumolist.m3u into playlist_string:
// 0 when read, 1 otherwise.
int OpenPlayList();
