#pragma once
// The desktop host's real player behind eZapMain::playService. An internet
// stream ("4096:0:0:0:0:0:0:0:0:0:" and an http or https URL) is read with
// the shared ICY reader on a thread of its own, fetched again under the
// reader's reconnect rule when it drops, ends or stalls. Its format is told
// by its bytes, again wherever its frames break off, and its audio piped
// into a decoder process for that format: mpg123 for MP3, ffmpeg for AAC
// and Ogg. The decoders' PCM goes to one output for the whole stream: the
// sound device when there is one, a WAV file when asked, else nowhere, so
// titles work on any machine. The handler answers info 1 with the stream title (its bytes as
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
#include "tools/icy/icy_client.h"
#include "tools/icy/stream_format.h"
#include "tools/oruvel-host/pcm_output.h"

namespace oruvel_host {

// Whether this machine has somewhere to play sound: an ALSA playback device
// or a sound server's socket.
bool soundDeviceAvailable();

// The decoder's command line for a stream of this format: it reads the
// stream on standard input and writes a 16-bit PCM WAV stream on standard
// output, at the given rate and channels when `into` is set (so a later
// decoder matches the first), reporting the stream's format and any
// trouble on its standard error. mpg123 for MP3, ffmpeg for the rest.
std::vector<std::string> decoderCommand(icy::StreamFormat format, const PcmFormat* into);

// The player's reader: a listener hears within seconds why nothing plays
// (8 s to connect, 9 s to bring audio), and a stream without audio for 10 s
// is fetched again.
icy::ClientOptions playerReaderOptions();

class StreamPlayer : public ePlayerBackend, private eServiceHandler {
 public:
  struct Options {
    std::vector<std::string> decoder;  // every format's decoder; empty: decoderCommand()
    bool sound = false;
    std::string wavFile;               // without sound: decode into this WAV file
    std::string decoderLog;            // the decoders' messages; "": our stderr
    int graceMs = 2000;                // a decoder that only decodes may finish this long
    icy::ClientOptions reader = playerReaderOptions();
  };

  enum class State { Connecting, Playing, Reconnecting, Failed, Stopped };

  // What plays now, for the front end's player line.
  struct Status {
    State state = State::Stopped;
    int attempt = 0;            // Reconnecting: which reconnect in a row
    // What the state is about: Connecting, the station (its icy-name once
    // known, else the host); Playing, the title (the station until one
    // came); Reconnecting, why; Failed, why, naming the host; Stopped, the station.
    std::string text;
    int reconnects = 0;         // since play()
    bool stream = false;        // an internet stream (else a service by name)
    std::string reference;      // the service reference as text
    std::string url;
    std::string station;        // icy-name, or the URL until the headers came
    std::string title;          // the latest stream title, its bytes as sent
    std::string format;         // "MP3", "AAC", ... once the first bytes told
    std::uint64_t audioBytes = 0;  // audio bytes the stream brought, once handed to a decoder
    pid_t decoderPid = -1;      // -1: no decoder running
    bool ended = false;         // the stream has failed or stopped
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
  // "connecting", "playing", "reconnecting", "failed", "stopped".
  static const char* stateName(State state);
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
