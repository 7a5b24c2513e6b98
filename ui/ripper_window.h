#pragma once
// The red key's start/stop toggle of the main window.

// What the next press of the red key does: 0 starts the ripper, 1 stops it.
extern int RIPflag;
