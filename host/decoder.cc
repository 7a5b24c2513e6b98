#include "host/decoder.h"

#include <cstdio>

#include "host/transcript.h"

decoderParameters Decoder::parms;

namespace {
decoderParameters appliedParms;
int sets = 0;
std::string& lastPicture() {
  static std::string path;
  return path;
}
}  // namespace

int Decoder::Set() {
  appliedParms = parms;
  ++sets;
  return 0;
}

int Decoder::displayIFrameFromFile(const char* path) {
  const std::string file = path ? path : "";
  host_transcript::line("stillpicture " + host_transcript::quoted(file));
  lastPicture() = file;
  std::FILE* f = file.empty() ? nullptr : std::fopen(file.c_str(), "rb");
  if (!f) return -1;
  std::fclose(f);
  return 0;
}

decoderParameters Decoder::applied() { return appliedParms; }
int Decoder::setCount() { return sets; }
std::string Decoder::lastStillPicture() { return lastPicture(); }
