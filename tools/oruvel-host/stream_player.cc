#include "tools/oruvel-host/stream_player.h"

#include <fcntl.h>
#include <glob.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <thread>

#include "tools/icy/format_follower.h"
#include "tools/icy/icy_reconnect.h"
#include "tools/icy/listener_text.h"
#include "tools/oruvel-host/child_process.h"

namespace oruvel_host {
namespace {

constexpr int kStreamType = 4096;

bool isStreamUrl(const std::string& path) {
  return path.rfind("http://", 0) == 0 || path.rfind("https://", 0) == 0;
}

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

void logLine(const std::string& text) {
  std::fprintf(stderr, "oruvel-host: player: %s\n", text.c_str());
  std::fflush(stderr);
}

}  // namespace

icy::ClientOptions playerReaderOptions() {
  icy::ClientOptions o;
  o.connectTimeoutSeconds = 8;  // the connect's own time-out names the phase that hung
  o.firstAudioSeconds = 9;
  o.audioStallSeconds = 10;
  o.stallSeconds = 10;
  return o;
}

bool soundDeviceAvailable() {
  glob_t found{};
  bool alsa = ::glob("/dev/snd/pcmC*D*p", 0, nullptr, &found) == 0 && found.gl_pathc > 0;
  ::globfree(&found);
  if (alsa) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) {
    const std::string dir = runtime;
    if (exists(dir + "/pulse/native") || exists(dir + "/pipewire-0")) return true;
  }
  const char* pulse = std::getenv("PULSE_SERVER");
  return pulse && *pulse;
}

std::vector<std::string> decoderCommand(icy::StreamFormat format, const PcmFormat* into) {
  // mpg123 decodes MP3 with less than half of ffmpeg's work. Not quiet, so
  // the log shows the stream's format and any decoding trouble.
  if (format == icy::StreamFormat::Mp3) {
    std::vector<std::string> command = {"mpg123", "-w", "-"};
    if (into)
      command.insert(command.end(), {"-r", std::to_string(into->rate), into->channels == 1 ? "--mono" : "--stereo"});
    command.push_back("-");
    return command;
  }
  // The demuxer named, so a pipe is not probed for seconds; the input's
  // description and any trouble go to the log, no progress lines.
  std::vector<std::string> command = {"ffmpeg", "-nostdin", "-hide_banner", "-nostats", "-loglevel", "info",
                                      "-probesize", "32768", "-f",
                                      format == icy::StreamFormat::Aac ? "aac" : "ogg",
                                      "-i", "pipe:0", "-vn"};
  if (into)
    command.insert(command.end(), {"-ar", std::to_string(into->rate), "-ac", std::to_string(into->channels)});
  command.insert(command.end(), {"-c:a", "pcm_s16le", "-f", "wav", "pipe:1"});
  return command;
}

const char* StreamPlayer::stateName(State state) {
  switch (state) {
    case State::Connecting: return "connecting";
    case State::Playing: return "playing";
    case State::Reconnecting: return "reconnecting";
    case State::Failed: return "failed";
    case State::Stopped: break;
  }
  return "stopped";
}

namespace {

// One decoder process: the reader thread writes its input, the output
// thread reads its PCM.
struct Decoder {
  pid_t pid = -1;
  int in = -1;
  int out = -1;
  std::string name;
  icy::StreamFormat format = icy::StreamFormat::Unknown;
  std::atomic<bool> retired{false};  // its input is closed: it finishes what it holds
  std::atomic<bool> done{false};     // ended and waited for
  std::atomic<bool> gavePcm{false};
  int exit = -1;                     // once done
};

}  // namespace

// One stream: the reader thread, the decoders it feeds, and the output
// thread that hands their PCM on, in order, to one output.
class StreamPlayer::Session {
 public:
  Session(StreamPlayer& player, std::string url)
      : player_(player),
        url_(std::move(url)),
        host_(icy::hostOf(url_)),
        client_(player.options_.reader),
        output_(player.options_.sound ? PcmOutput::Kind::Device
                : player.options_.wavFile.empty() ? PcmOutput::Kind::Nowhere
                                                  : PcmOutput::Kind::WavFile,
                player.options_.wavFile, player.options_.decoderLog) {}
  ~Session() { end(); }

  void begin() {
    outputThread_ = std::thread([this] { pumpDecoders(); });
    readerThread_ = std::thread([this] { readStream(); });
  }

  // Stops the reader, then the decoders; the last decoder's exit status.
  int end() {
    if (ended_) return exit_;
    ended_ = true;
    stopping_.store(true);
    client_.stop();
    const bool now = player_.options_.sound;  // with sound the user wants silence now
    if (now) killDecoders();
    if (readerThread_.joinable()) readerThread_.join();
    {
      // A decoder that only decodes may finish what it holds.
      std::unique_lock<std::mutex> lock(mutex_);
      noMore_ = true;
      changed_.notify_all();
      if (!now) changed_.wait_for(lock, std::chrono::milliseconds(player_.options_.graceMs), [this] { return queue_.empty(); });
    }
    killDecoders();
    if (now) output_.interrupt();
    if (outputThread_.joinable()) outputThread_.join();
    output_.close(now);
    return exit_;
  }

 private:
  using Shared = std::shared_ptr<Decoder>;

  void killDecoders() {
    std::lock_guard<std::mutex> lock(mutex_);
    killAll_ = true;
    for (const Shared& d : queue_)
      if (!d->done) ::kill(d->pid, SIGTERM);
  }

  // --- the reader thread ---

  // A program that died makes writes to it fail with EPIPE, not kill the host.
  static void blockPipeSignal() {
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
  }

  void readStream() {
    blockPipeSignal();

    follower_.onAudio = [this](icy::StreamFormat format, const char* data, std::size_t len) {
      decode(format, data, len);
    };
    follower_.onUnknown = [this] {
      fail("cannot play the stream from " + host_ + ": its audio is no MP3, AAC or Ogg (" +
           (contentType_.empty() ? "no content type" : "content type " + contentType_) + ")");
    };
    client_.onHeaders = [this](const icy::StreamInfo& info) {
      contentType_ = info.contentType;
      follower_.restart();  // a new connection: its format is told afresh
      resync_ = false;
      if (info.name.empty()) return;
      update([&](Status& s) {
        s.station = info.name;
        if (s.state == State::Connecting || (s.state == State::Playing && s.title.empty())) s.text = info.name;
      });
    };
    client_.onTitle = [this](const std::string& title) {
      update([&](Status& s) {
        s.title = title;
        if (s.state == State::Playing) s.text = title;
      });
    };
    client_.onAudio = [this](const char* data, std::size_t len) {
      if (!failing_.load()) follower_.feed(data, len);
      if (resync_) {
        follower_.restart();  // the decoder stopped: tell the format again from what follows
        resync_ = false;
      }
      // Counted once handed on, so a stop after the last byte loses none of it.
      update([&](Status& s) { s.audioBytes += len; });
    };
    const icy::RetryPolicy policy;
    const icy::RunSummary run =
        icy::runWithRetries(client_, url_, policy, [this](int attempt, int attempts, const icy::Result& r) {
          logLine(url_ + ": " + r.message + "; reconnecting (" + std::to_string(attempt) + " of " +
                  std::to_string(attempts) + ")");
          update([&](Status& s) {
            s.state = State::Reconnecting;
            s.attempt = attempt;
            s.text = icy::listenerText(r, url_);
            ++s.reconnects;
          });
        });
    retire();
    if (stopping_.load() || failing_.load()) return;
    logLine(url_ + ": " + run.last.message);
    const bool complete = run.last.outcome == icy::Outcome::Complete;
    update([&](Status& s) {
      s.state = complete ? State::Stopped : State::Failed;
      s.attempt = 0;
      s.text = icy::listenerText(run, policy, url_);
      s.ended = true;
    });
  }

  // Bytes the follower proved to be of `format`.
  void decode(icy::StreamFormat format, const char* data, std::size_t len) {
    if (resync_ || failing_.load()) return;
    if (!current_ || current_->format != format) {
      if (!startDecoder(format)) return;
    }
    while (len > 0 && !stopping_.load()) {
      const ssize_t n = ::write(current_->in, data, len);
      if (n > 0) {
        data += n;
        len -= static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) {
        pollfd p{current_->in, POLLOUT, 0};
        ::poll(&p, 1, 100);
        continue;
      }
      if (!stopping_.load()) decoderStopped(std::strerror(errno));
      return;
    }
    update([&](Status& s) {
      if (s.state == State::Playing || s.ended) return;
      s.state = State::Playing;
      s.attempt = 0;
      s.text = s.title.empty() ? s.station : s.title;
    });
  }

  bool startDecoder(icy::StreamFormat format) {
    const bool first = !current_;
    retire();
    const Options& o = player_.options_;
    PcmFormat into;
    bool known = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      known = outputFormat_.rate > 0;
      into = outputFormat_;
    }
    const std::vector<std::string> command = o.decoder.empty() ? decoderCommand(format, known ? &into : nullptr) : o.decoder;
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return fail("no pipe for the decoder"), false;
    if (::pipe2(out, O_CLOEXEC) != 0) {
      ::close(in[0]), ::close(in[1]);
      return fail("no pipe for the decoder"), false;
    }
    std::string why;
    const pid_t pid = startChild(command, {in[0], out[1], o.decoderLog}, why);
    ::close(in[0]);
    ::close(out[1]);
    if (pid < 0) {
      ::close(in[1]), ::close(out[0]);
      return fail("cannot play the stream from " + host_ + ": no decoder for " + icy::formatName(format) +
                  " (cannot start " + command[0] + ": " + why + "; install " + command[0] + ")"),
             false;
    }
    // Never blocked for long: stop() must get through a decoder that hangs.
    ::fcntl(in[1], F_SETFL, O_NONBLOCK);
    auto d = std::make_shared<Decoder>();
    d->pid = pid, d->in = in[1], d->out = out[0], d->name = command[0], d->format = format;
    current_ = d;
    logLine("decoder " + command[0] + " started for " + icy::formatName(format) + " (PID " + std::to_string(pid) + ")");
    if (first) {
      const icy::StreamFormat named = icy::formatFromContentType(contentType_);
      if (named != icy::StreamFormat::Unknown && named != format && !(icy::isOgg(named) && icy::isOgg(format)))
        logLine(url_ + ": content type " + contentType_ + ", but the audio is " + icy::formatName(format));
    } else {
      logLine(url_ + ": the audio goes on as " + std::string(icy::formatName(format)));
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(d);
      changed_.notify_all();
    }
    update([&](Status& s) {
      s.decoderPid = pid;
      s.format = icy::formatName(format);
    });
    return true;
  }

  // The decoder will get no more: it finishes what it holds.
  void retire() {
    if (!current_) return;
    ::close(current_->in);
    current_->retired = true;
    current_.reset();
  }

  // The decoder stopped reading: a decoder that played gets a successor
  // for what follows; one that never played twice in a row ends the stream.
  void decoderStopped(const std::string& why) {
    Shared d = current_;
    retire();
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait_for(lock, std::chrono::seconds(2), [&] { return d->done.load(); });
    }
    const std::string status = d->done ? "exit status " + std::to_string(d->exit) : why;
    logLine("the decoder " + d->name + " stopped (" + status + ")");
    update([](Status& s) { s.decoderPid = -1; });
    silentDeaths_ = d->gavePcm ? 0 : silentDeaths_ + 1;
    if (silentDeaths_ >= 2)
      fail("the decoder " + d->name + " stopped (" + status + "): it cannot play the stream from " + host_ +
           "; see the log");
    else
      resync_ = true;
  }

  // The stream cannot be played: said, and no longer fetched.
  void fail(const std::string& text) {
    if (failing_.exchange(true)) return;
    logLine(text);
    update([&](Status& s) {
      s.state = State::Failed;
      s.attempt = 0;
      s.text = text;
      s.ended = true;
    });
    client_.stop();
  }

  template <class Change>
  void update(Change change) {
    std::lock_guard<std::mutex> lock(player_.mutex_);
    change(player_.status_);
    ++player_.status_.version;
  }

  // --- the output thread ---

  void pumpDecoders() {
    blockPipeSignal();  // the sound device's player may go
    for (;;) {
      Shared d;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !queue_.empty() || noMore_; });
        if (queue_.empty()) return;
        d = queue_.front();
      }
      pump(*d);
      update([&](Status& s) {
        if (s.decoderPid == d->pid) s.decoderPid = -1;
      });
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.pop_front();
      d->done = true;
      exit_ = d->exit;
      changed_.notify_all();
    }
  }

  // Hands one decoder's PCM on until it ends; a retired decoder that keeps
  // silent while a newer one waits is ended.
  void pump(Decoder& d) {
    WavStreamReader wav;
    std::string pcm;
    bool refused = false;
    auto quietSince = std::chrono::steady_clock::now();
    for (;;) {
      pollfd p{d.out, POLLIN, 0};
      if (::poll(&p, 1, 200) > 0) {
        char buffer[64 * 1024];
        const ssize_t n = ::read(d.out, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        quietSince = std::chrono::steady_clock::now();
        pcm.clear();
        if (!refused && !wav.feed(buffer, static_cast<std::size_t>(n), pcm)) {
          refused = true;
          logLine("the decoder " + d.name + " gives no 16-bit PCM WAV; its output is not played");
        }
        if (!pcm.empty() && !refused) forward(d, wav.format(), pcm);
      }
      std::lock_guard<std::mutex> lock(mutex_);
      const bool newer = queue_.size() > 1;
      if (killAll_ || (d.retired && newer && std::chrono::steady_clock::now() - quietSince > std::chrono::seconds(2)))
        ::kill(d.pid, SIGKILL);
    }
    ::close(d.out);
    d.exit = endChild(d.pid, 500);
    logLine("decoder " + d.name + " ended (" + (d.exit < 0 ? std::string("killed") : "exit status " + std::to_string(d.exit)) + ")");
  }

  void forward(Decoder& d, const PcmFormat& format, const std::string& pcm) {
    std::string error;
    if (!output_.isOpen()) {
      if (outputBroken_) return;
      if (!output_.open(format, error)) {
        outputBroken_ = true;
        return fail(error);
      }
      std::lock_guard<std::mutex> lock(mutex_);
      outputFormat_ = format;
    }
    if (format != output_.format()) {
      if (!d.gavePcm)
        logLine("the decoder " + d.name + " gives " + std::to_string(format.rate) + " Hz, " +
                std::to_string(format.channels) + " channels; the output has " + std::to_string(output_.format().rate) +
                " Hz, " + std::to_string(output_.format().channels) + ": not played");
      d.gavePcm = true;
      return;
    }
    d.gavePcm = true;
    if (!output_.write(pcm.data(), pcm.size(), error) && !outputBroken_) {
      outputBroken_ = true;
      fail(error);
    }
  }

  StreamPlayer& player_;
  const std::string url_, host_;
  icy::Client client_;
  std::thread readerThread_, outputThread_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> failing_{false};
  bool ended_ = false;
  int exit_ = -1;  // the last decoder's exit status

  // The reader thread's own.
  icy::FormatFollower follower_;
  std::string contentType_;
  Shared current_;       // the decoder being fed
  bool resync_ = false;  // the decoder stopped: the format is told again
  int silentDeaths_ = 0;

  // The output thread's own.
  PcmOutput output_;
  bool outputBroken_ = false;

  // Shared, under mutex_.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Shared> queue_;  // decoders not yet ended, oldest first
  PcmFormat outputFormat_;
  bool noMore_ = false;
  bool killAll_ = false;
};

StreamPlayer::StreamPlayer() : StreamPlayer(Options{}) {}

StreamPlayer::StreamPlayer(Options options) : options_(std::move(options)) {}

// This class's own stop: no subclass is left to dispatch to here.
StreamPlayer::~StreamPlayer() { StreamPlayer::stop(); }

eServiceHandler* StreamPlayer::play(const eServiceReference& ref) {
  stop();
  const bool stream = ref.type == kStreamType && isStreamUrl(ref.path);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::uint64_t version = status_.version + 1;
    status_ = Status();
    status_.version = version;
    status_.reference = ref.toString();
    status_.stream = stream;
    if (stream) {
      status_.url = ref.path;
      status_.station = ref.path;
      status_.state = State::Connecting;
      status_.text = icy::hostOf(ref.path);
    } else {
      status_.station = (ref.type == 1 ? "TV service " : "service ") + ref.toString();
      status_.state = State::Playing;
      status_.text = status_.station;
    }
  }
  if (stream) {
    logLine("playing " + ref.path);
    session_ = std::make_unique<Session>(*this, ref.path);
    session_->begin();
  }
  return this;
}

void StreamPlayer::stop() {
  if (!session_) return;
  const int exit = session_->end();
  session_.reset();
  std::lock_guard<std::mutex> lock(mutex_);
  lastExit_ = exit;
  status_.decoderPid = -1;
  if (!status_.ended) {
    status_.state = State::Stopped;
    status_.attempt = 0;
    status_.text = status_.station;
  }
  status_.ended = true;
  ++status_.version;
}

StreamPlayer::Status StreamPlayer::status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

int StreamPlayer::lastDecoderExit() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastExit_;
}

eString StreamPlayer::getInfo(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (id == 1) return status_.title;
  if (id == 2) return status_.station;
  return eString();
}

}  // namespace oruvel_host
