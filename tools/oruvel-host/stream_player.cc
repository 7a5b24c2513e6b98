#include "tools/oruvel-host/stream_player.h"

#include <fcntl.h>
#include <glob.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "tools/icy/icy_reconnect.h"

extern char** environ;

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

// Waits up to ms for the child; its exit status, -1 when it had to be killed.
int reap(pid_t pid, int ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    int status = 0;
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (r < 0 && errno != EINTR) return -1;
    if (std::chrono::steady_clock::now() >= deadline) return -2;  // still running
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

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

std::vector<std::string> decoderCommand(icy::StreamFormat format, const SoundOutput& output) {
  // mpg123 decodes MP3 with less than half of ffmpeg's work and stays.
  if (format == icy::StreamFormat::Mp3) {
    if (output.device) return {"mpg123", "-q", "-"};
    if (!output.wavFile.empty()) return {"mpg123", "-q", "-w", output.wavFile, "-"};
    // Test mode: decode every frame, write no sound. Not quiet, so the log
    // shows the stream's format and any decoding trouble.
    return {"mpg123", "-t", "-"};
  }
  // The demuxer named, so a pipe is not probed for seconds; the input's
  // description and any trouble go to the log, no progress lines.
  std::vector<std::string> command = {"ffmpeg", "-nostdin", "-hide_banner", "-nostats", "-loglevel", "info",
                                      "-probesize", "32768", "-f",
                                      format == icy::StreamFormat::Aac ? "aac" : "ogg",
                                      "-i", "pipe:0", "-vn"};
  if (output.device) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* pulse = std::getenv("PULSE_SERVER");
    const bool server = (pulse && *pulse) || (runtime && *runtime && exists(std::string(runtime) + "/pulse/native"));
    if (server)
      command.insert(command.end(), {"-f", "pulse", "Oruvel"});
    else
      command.insert(command.end(), {"-f", "alsa", "default"});
  } else if (!output.wavFile.empty()) {
    // "file:" so that no part of the name is taken for a protocol.
    command.insert(command.end(), {"-c:a", "pcm_s16le", "-f", "wav", "-y", "file:" + output.wavFile});
  } else {
    command.insert(command.end(), {"-f", "null", "-"});
  }
  return command;
}

// One stream: the reader thread and the decoder process it feeds.
class StreamPlayer::Session {
 public:
  Session(StreamPlayer& player, std::string url) : player_(player), url_(std::move(url)) {}
  ~Session() { end(); }

  // The decoder starts once the stream's first bytes have told its format.
  void begin() { thread_ = std::thread([this] { readStream(); }); }

  // Stops the reader, then the decoder; returns the decoder's exit status.
  int end() {
    if (ended_) return exit_;
    ended_ = true;
    client_.stop();
    stopping_.store(true);
    const bool sound = player_.options_.sound;
    // With sound the user wants silence now; a decoding-only decoder gets
    // its input closed and may finish what it holds.
    if (sound && pid_ > 0) ::kill(pid_, SIGTERM);
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (pid_ > 0 && !reaped_) {
      int status = reap(pid_, sound ? 500 : player_.options_.graceMs);
      if (status == -2) {
        ::kill(pid_, SIGTERM);
        status = reap(pid_, 500);
      }
      if (status == -2) {
        ::kill(pid_, SIGKILL);
        status = reap(pid_, 5000);
      }
      exit_ = status < 0 ? -1 : status;
      logLine("decoder ended (" + std::string(exit_ < 0 ? "killed" : "exit status " +
                                                                       std::to_string(exit_)) +
              ")");
    } else if (reaped_) {
      exit_ = reapedExit_;
    }
    pid_ = -1;
    return exit_;
  }

 private:
  // Collects the stream's first bytes until they prove a format (or enough
  // came to say they never will), then starts its decoder and feeds it.
  void audio(const char* data, std::size_t len) {
    if (decided_) {
      feedDecoder(data, len);
      return;
    }
    head_.append(data, len);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(head_.data());
    icy::StreamFormat format = icy::formatFromBytes(bytes, head_.size());
    if (format == icy::StreamFormat::Unknown && head_.size() < sniffLimit()) return;
    decided_ = true;
    const std::string type = contentType_.empty() ? "no content type" : "content type " + contentType_;
    if (format == icy::StreamFormat::Unknown) {
      setProblem("cannot play this stream: its audio is no MP3, AAC or Ogg (" + type + ")");
    } else {
      {
        std::lock_guard<std::mutex> lock(player_.mutex_);
        player_.status_.format = icy::formatName(format);
        ++player_.status_.version;
      }
      const auto family = [](icy::StreamFormat f) {
        return f == icy::StreamFormat::OggVorbis || f == icy::StreamFormat::OggOpus ? icy::StreamFormat::OggOther : f;
      };
      const icy::StreamFormat named = icy::formatFromContentType(contentType_);
      if (named != icy::StreamFormat::Unknown && family(named) != family(format))
        logLine(url_ + ": " + type + ", but the audio is " + icy::formatName(format));
      startDecoder(format);
    }
    std::string head;
    head.swap(head_);
    feedDecoder(head.data(), head.size());
  }

  // Enough bytes to see two frames of any stream, past an ID3 tag ahead of it.
  std::size_t sniffLimit() const {
    constexpr std::size_t kWindow = 64 * 1024, kMaxTag = 1024 * 1024;
    const auto* h = reinterpret_cast<const std::uint8_t*>(head_.data());
    if (head_.size() < 10 || std::memcmp(h, "ID3", 3) != 0) return kWindow;
    const std::size_t tag = (std::size_t(h[6] & 0x7F) << 21) | (std::size_t(h[7] & 0x7F) << 14) |
                            (std::size_t(h[8] & 0x7F) << 7) | std::size_t(h[9] & 0x7F);
    return std::min(tag, kMaxTag) + kWindow;
  }

  void startDecoder(icy::StreamFormat format) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
      setProblem("no pipe for the decoder");
      return;
    }
    const Options& o = player_.options_;
    std::vector<std::string> command =
        o.decoder.empty() ? decoderCommand(format, SoundOutput{o.sound, o.sound ? "" : o.wavFile}) : o.decoder;
    decoderName_ = command[0];
    std::vector<char*> argv;
    for (auto& a : command) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (!o.decoderLog.empty())
      posix_spawn_file_actions_addopen(&actions, 2, o.decoderLog.c_str(),
                                       O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own process group: keys typed at the terminal never signal it.
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                        POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(fds[0]);
    if (rc != 0) {
      ::close(fds[1]);
      setProblem("cannot start the decoder " + command[0] + " (" + std::strerror(rc) + "): install " +
                 command[0] + "; playing without sound");
      return;
    }
    // Never blocked for long: stop() must get through a decoder that hangs.
    ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
    fd_ = fds[1];
    pid_ = pid;
    logLine("decoder " + command[0] + " started (PID " + std::to_string(pid) + ")");
    std::lock_guard<std::mutex> lock(player_.mutex_);
    player_.status_.decoderPid = pid;
    ++player_.status_.version;
  }

  void readStream() {
    // A decoder that died makes writes fail with EPIPE, not kill the host.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    client_.onHeaders = [this](const icy::StreamInfo& info) {
      contentType_ = info.contentType;
      if (info.name.empty()) return;
      std::lock_guard<std::mutex> lock(player_.mutex_);
      player_.status_.station = info.name;
      ++player_.status_.version;
    };
    client_.onTitle = [this](const std::string& title) {
      std::lock_guard<std::mutex> lock(player_.mutex_);
      player_.status_.title = title;
      ++player_.status_.version;
    };
    client_.onAudio = [this](const char* data, std::size_t len) { audio(data, len); };
    icy::RetryPolicy retry;
    retry.attempts = 3;
    icy::RunSummary summary =
        icy::runWithRetries(client_, url_, retry, [this](int attempt, int attempts, const icy::Result& r) {
          logLine(url_ + ": " + r.message + "; reconnecting (" + std::to_string(attempt) + " of " +
                  std::to_string(attempts) + ")");
        });
    if (stopping_.load()) return;
    const icy::Result& last = summary.last;
    logLine(url_ + ": " + last.message);
    std::lock_guard<std::mutex> lock(player_.mutex_);
    player_.status_.ended = true;
    // A decoder that could not play it is the news, not the stream's end.
    if (player_.status_.problem.empty()) player_.status_.problem = last.message;
    ++player_.status_.version;
  }

  void feedDecoder(const char* data, std::size_t len) {
    if (fd_ < 0) return;
    while (len > 0 && !stopping_.load()) {
      ssize_t n = ::write(fd_, data, len);
      if (n > 0) {
        data += n;
        len -= static_cast<std::size_t>(n);
        std::lock_guard<std::mutex> lock(player_.mutex_);
        player_.status_.audioBytes += static_cast<std::uint64_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) {
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, 100);
        continue;
      }
      // The decoder has gone; the stream goes on for its titles.
      if (stopping_.load()) return;
      const std::string why = std::strerror(errno);
      ::close(fd_);
      fd_ = -1;
      const int status = reap(pid_, 2000);
      if (status != -2) {
        reaped_ = true;
        reapedExit_ = status;
        std::lock_guard<std::mutex> lock(player_.mutex_);
        player_.status_.decoderPid = -1;
      }
      setProblem("the decoder " + decoderName_ + " stopped" +
                 (status >= 0 ? " (exit status " + std::to_string(status) + ")" : " (" + why + ")") +
                 ": it cannot play this stream; see the log");
      return;
    }
  }

  void setProblem(const std::string& text) {
    logLine(text);
    std::lock_guard<std::mutex> lock(player_.mutex_);
    player_.status_.problem = text;
    ++player_.status_.version;
  }

  StreamPlayer& player_;
  std::string url_;
  icy::Client client_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  int fd_ = -1;     // the decoder's input; written by the thread only
  std::atomic<pid_t> pid_{-1};  // set by the thread, signalled by end()
  bool ended_ = false;
  int exit_ = -1;
  // Written by the thread only, read by end() after it has joined.
  std::string contentType_;
  std::string head_;        // the first bytes, until they tell the format
  bool decided_ = false;
  std::string decoderName_;
  bool reaped_ = false;     // the decoder died and was waited for
  int reapedExit_ = -1;
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
    } else {
      status_.station = (ref.type == 1 ? "TV service " : "service ") + ref.toString();
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
