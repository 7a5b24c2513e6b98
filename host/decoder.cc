#include "host/decoder.h"

#include <cstdio>
#include <string>

#include "host/transcript.h"

decoderParameters Decoder::parms;
decoderParameters Decoder::applied_;
int Decoder::sets_ = 0;

int Decoder::Set() {
  applied_ = parms;
  ++sets_;
  return 0;
}

int Decoder::displayIFrameFromFile(const char* path) {
  const std::string file = path ? path : "";
  host_transcript::line("stillpicture " + host_transcript::quoted(file));
  std::FILE* f = file.empty() ? nullptr : std::fopen(file.c_str(), "rb");
  if (!f) return -1;
  std::fclose(f);
  return 0;
}
