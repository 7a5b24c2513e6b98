#pragma once
// The desktop host's real player behind eZapMain::playService. An internet
// stream ("4096:0:0:0:0:0:0:0:0:0:" and an http or https URL) is read with
// the shared ICY reader on a thread of its own; its format is told by its
// first bytes (or, failing them, its content type) and its audio piped into
// a decoder process for that format: mpg123 for MP3, ffmpeg for AAC and Ogg.
// The decoder plays on the sound device when there is one, writes a WAV
// file when asked, and otherwise only decodes, so titles work on any
// machine. The handler answers info 1 with the stream title (its bytes as
// the station sent them) and 2 with the station's name. Any other
// reference is shown as playing by name; nothing runs.
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/eservice.h"
#include "host/player_backend.h"
#include "tools/icy/stream_format.h"

namespace oruvel_host {

// Whether this machine has somewhere to play sound: an ALSA playback device
// or a sound server's socket.
bool soundDeviceAvailable();

// Where decoded audio goes.
struct SoundOutput {
  bool device = false;  // the sound device
  std::string wavFile;  // else, when set, this WAV file (16-bit PCM); else nowhere
};

// The decoder's command line for a stream of this format, reading standard
// input: mpg123 for MP3, ffmpeg for the rest. Decoding only, it reports the
// stream's format and any trouble on its standard error.
std::vector<std::string> decoderCommand(icy::StreamFormat format, const SoundOutput& output);

class StreamPlayer : public ePlayerBackend, private eServiceHandler {
 public:
  struct Options {
    std::vector<std::string> decoder;  // every format's decoder; empty: decoderCommand()
    bool sound = false;
    std::string wavFile;               // without sound: decode into this WAV file
    std::string decoderLog;            // the decoder's output; "": our stderr
    int graceMs = 2000;                // a decoder that only decodes may finish this long
  };

  // What plays now, for the front end's player line.
  struct Status {
    bool stream = false;        // an internet stream (else a service by name)
    std::string reference;      // the service reference as text
    std::string url;
    std::string station;        // icy-name, or the URL until the headers came
    std::string title;          // the latest stream title, its bytes as sent
    std::string format;         // "MP3", "AAC", ... once the first bytes told
    std::string problem;        // why the stream is not playing, when it is not
    std::uint64_t audioBytes = 0;  // handed to the decoder
    pid_t decoderPid = -1;      // -1: no decoder running
    bool ended = false;         // the stream has ended or failed
    std::uint64_t version = 0;  // changes whenever any of the above does
  };

  StreamPlayer();
  explicit StreamPlayer(Options options);
  ~StreamPlayer() override;
  StreamPlayer(const StreamPlayer&) = delete;
  StreamPlayer& operator=(const StreamPlayer&) = delete;

  eServiceHandler* play(const eServiceReference& ref) override;
  // Ends the stream's reader and its decoder; safe to call when idle.
  void stop() override;

  Status status() const;
  // The exit status of the last decoder that was ended (-1: killed or none).
  int lastDecoderExit() const;
  eServiceHandler* handler() { return this; }

 private:
  class Session;
  eString getInfo(int id) override;

  Options options_;
  mutable std::mutex mutex_;
  Status status_;  // guarded by mutex_, written by the session's thread too
  int lastExit_ = -1;
  std::unique_ptr<Session> session_;
};

}  // namespace oruvel_host
