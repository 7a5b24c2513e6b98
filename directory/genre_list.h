#pragma once
// The Genre list: the two local pseudo-genres and the genres of the genre
// file, keyed 1, 2, 3 ... in reading order.

struct GenreNode {
  char name[64];
  GenreNode* next;
};

extern GenreNode* genre_anker;
extern GenreNode* genre_ende;
extern int AnzahlGenreElemente;
extern char which_genre[64];

// Leaves the node with key `key` at genre_anker.
void GENRE_Element_ermitteln(int key, int count);
