#pragma once
// The configuration: the paths Oruvel depends on, read from its
// configuration file at every entry into the plug-in into one object that
// lives as long as the plug-in is loaded (a value that does not fit keeps
// the one read before).
#include <vector>

namespace oruvel {

struct Config {
  char RIPPER[128] = {};          // "RIPPER=": the ripper program
  char RIPDIR[256] = {};          // "RIPDIR=": where recordings go
  char STATIONSFILE[128] = {};    // "STATIONSFILE=": local station file
  char MYSTATIONSFILE[128] = {};  // "MYSTATIONFILE=": the favourites file
  char MYPLAYLISTFILE[128] = {};  // "MYPLAYLISTFILE=": stored only
  char MYGENREFILE[128] = {};     // "MYGENREFILE=": the genre file
  char LUMOPIC[128] = {};         // "LUMOPIC=": still picture (MPEG I-frame)
  // The keys whose values were too long at the last ReadConfFile, in file
  // order, for telling the user (empty when all fitted).
  std::vector<const char*> tooLongKeys;
};

}  // namespace oruvel

// Reads the configuration file under the root into `config`. 0 when the
// file was read, 1 when it cannot be opened for reading and update. Values
// too long for their field are not taken (the field is left as it was);
// each such key is named in config.tooLongKeys.
int ReadConfFile(oruvel::Config& config);
