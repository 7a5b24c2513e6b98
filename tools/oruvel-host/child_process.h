#pragma once
// The player's helper programs (decoders, the sound device's player): each
// in its own process group, so keys typed at the terminal never signal it,
// with default signal handling and no descriptor of ours beyond the three
// it is given, so a stream's socket dies with the player's last use of it.
#include <sys/types.h>

#include <string>
#include <vector>

namespace oruvel_host {

struct ChildStdio {
  int in = -1;          // its standard input; -1: /dev/null
  int out = -1;         // its standard output; -1: /dev/null
  std::string errFile;  // appended to; "": our standard error
};

// Starts argv (searched on PATH); its PID, or -1 with why in `error`.
pid_t startChild(const std::vector<std::string>& argv, const ChildStdio& stdio, std::string& error);

// Waits graceMs, then asks it to end, then kills it: its exit status, or -1.
int endChild(pid_t pid, int graceMs);

}  // namespace oruvel_host
