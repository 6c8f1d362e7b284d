// The program's interactive life: the endless prompt, search and wait cycle.
#pragma once

#include "app/download/download.h"
#include "app/download/player.h"

// How the wait line is read as a pick (--pick): the settings of the downloads and the player it
// starts.
struct Picking {
  DownloadOptions download;
  PlayerOptions player;
};

// Pass after pass: prints the prompt, reads the keyword, prints the listing that search_songs
// gives for it and the completion line, and reads one more line, which only waits for Enter and is
// discarded. Only the keyword is carried from one pass to the next.
//
// The cycle has no exit of its own, except where standard input gives out: its end, at the prompt
// or while waiting, ends the program with exit code 0; input that cannot be read at all ends it
// with a one-line notice on standard error and exit code 1. Either way no line would ever come
// again, and searching on with empty keywords would never end.
//
// With `picking`, the wait line is read as a pick (app/download/pick_line.h) on the listing just
// shown: a number plays that entry, "d" and a number saves its song, Enter alone goes on, and
// anything else is a one-line hint on standard error; after each the cycle goes on to the prompt.
// Null keeps the wait line as described above.
void main_cycle(const Picking* picking = nullptr);
