#pragma once
// The paths Oruvel depends on, read from its configuration file at every
// entry into the plug-in.

extern char RIPPER[128];          // "RIPPER=": the ripper program
extern char RIPDIR[256];          // "RIPDIR=": where recordings go
extern char STATIONSFILE[128];    // "STATIONSFILE=": local station file
extern char MYSTATIONSFILE[128];  // "MYSTATIONFILE=": the favourites file
extern char MYPLAYLISTFILE[128];  // "MYPLAYLISTFILE=": stored only
extern char MYGENREFILE[128];     // "MYGENREFILE=": the genre file
extern char LUMOPIC[128];         // "LUMOPIC=": still picture (MPEG I-frame)

// Reads the configuration file under the root into the globals above.
// 0 when the file was read, 1 when it cannot be opened for reading and
// update. Values too long for their global are not taken (the global is
// left as it was); each such key is named in the list below.
int ReadConfFile();

namespace oruvel {
// The keys whose values were too long at the last ReadConfFile, in file
// order, for telling the user (empty when all fitted).
const char* const* configTooLongKeys(int* count);
}  // namespace oruvel
