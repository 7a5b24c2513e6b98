#pragma once
#include "host/host_api.h"

struct decoderParameters {
  int vpid = 0;    // video PID
  int apid = 0;    // audio PID
  int tpid = 0;    // teletext PID
  int pcrpid = 0;  // clock PID
  int audio_type = 0;
};

// The video decoder: its parameter block, applied with Set(), and still
// pictures shown from MPEG I-frame files.
class HOST_API Decoder {
 public:
  static decoderParameters parms;
  // Applies parms; 0.
  static int Set();
  // Shows the file as the still picture: 0 when it could be read, -1 not.
  static int displayIFrameFromFile(const char* path);

 private:
  friend class HostInspection;  // host/inspection.h reads them back
  static decoderParameters applied_;
  static int sets_;
};
