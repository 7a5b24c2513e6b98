// lumoripper URL -d DIR: records an internet-radio stream into DIR, one
// file per track, while keeping /tmp/lumopid and /tmp/lumorip for the
// plug-in that started it.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/fixed_paths.h"
#include "base/fs_root.h"
#include "tools/icy/icy_reconnect.h"
#include "tools/lumoripper/file_names.h"
#include "tools/lumoripper/progress.h"
#include "tools/lumoripper/recorder.h"

namespace {

constexpr const char* kUsage =
    "Usage: lumoripper URL -d DIR [options]\n"
    "Records the internet-radio stream at URL (http or https) into\n"
    "DIR/<station>/<title>.<ext>, one file per track: the audio exactly as sent,\n"
    "with a tag in front. Each file's extension (.mp3, .aac, .ogg, .opus) is its\n"
    "own real format (in an Ogg chain, that of its first stream). Each file plays\n"
    "on its own: a track ends at a whole MP3 or AAC frame; Ogg is cut between\n"
    "pages at the title change (or where a new stream begins close to it), and a\n"
    "file that starts in mid-stream starts with that stream's headers.\n"
    "Tags: MP3 and AAC files start with an ID3v2.4 tag (title, artist, the\n"
    "station's name, the date); Ogg Vorbis and Opus files carry TITLE, ARTIST and\n"
    "ORGANIZATION comments, their pages renumbered. \"Artist - Title\" is split at\n"
    "the first \" - \". Titles become names and tags as UTF-8 (titles that are\n"
    "not UTF-8 are read as Windows-1252).\n"
    "Answers that are documents (text, HTML, JSON, XML) are refused.\n"
    "Tracks still in progress, and the first track of a run (it starts\n"
    "mid-song), are named \"<title> (partial)\". A stream without titles goes\n"
    "into one file named by the station and the start time. A name already\n"
    "taken gets \" (2)\", \" (3)\" ... up to \" (999)\"; beyond that the date and\n"
    "time join it (\"<title> 2026-01-31 23-59-59\"), so recording never stops\n"
    "for want of a name.\n"
    "While recording, the progress line is kept in /tmp/lumorip and the\n"
    "process ID in /tmp/lumopid (below $ORUVEL_ROOT when set). SIGTERM or\n"
    "SIGINT ends the recording cleanly.\n"
    "\n"
    "Reconnecting: after a drop, a stall or a closed stream the ripper connects\n"
    "again, pausing 1 s and doubling up to 8 s. A reconnect whose title is the\n"
    "one before continues the same file. It gives up after --retries reconnects\n"
    "in a row that bring no audio (the stream has ended), and after\n"
    "--max-reconnects reconnects within --reconnect-window seconds whatever\n"
    "audio they bring (exit status 1, with the reason).\n"
    "\n"
    "Options:\n"
    "  -d DIR                 folder to record into (created when missing)\n"
    "  --retries N            reconnects in a row without audio before giving up (5)\n"
    "  --retry-delay SECONDS  pause before the first reconnect, doubled each time (1)\n"
    "  --max-reconnects N     reconnects allowed within the window (10)\n"
    "  --reconnect-window SECONDS  (600)\n"
    "  --stall SECONDS        no data for this long counts as a drop (20)\n"
    "  --connect-timeout SECONDS  (15)\n"
    "  -h, --help             show this text\n"
    "\n"
    "Exit status: 0 when stopped or when the stream ended, 1 when recording\n"
    "failed (the reason is on standard error), 2 for a wrong command line.\n";

volatile sig_atomic_t gSignal = 0;
icy::Client* gClient = nullptr;

void onStopSignal(int sig) {
  gSignal = sig;
  if (gClient) gClient->stop();
}

struct Options {
  std::string url, dir;
  icy::RetryPolicy retry;
  icy::ClientOptions client;
};

int usageError(const std::string& what) {
  std::fprintf(stderr, "lumoripper: %s\nTry 'lumoripper --help'.\n", what.c_str());
  return 2;
}

bool parseSeconds(const char* text, double& out) {
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(text, &end);
  if (errno || end == text || *end || !(v >= 0) || v > 86400) return false;
  out = v;
  return true;
}

// Returns -1 when the options are fine, else the exit status.
int parseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](double& out) {
      if (i + 1 >= argc || !parseSeconds(argv[i + 1], out)) return false;
      ++i;
      return true;
    };
    double v = 0;
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "-d") {
      if (i + 1 >= argc || !*argv[i + 1]) return usageError("-d needs a folder");
      o.dir = argv[++i];
    } else if (a == "--retries") {
      if (!value(v) || v != static_cast<int>(v) || v > 100) return usageError("--retries needs a whole number up to 100");
      o.retry.attempts = static_cast<int>(v);
    } else if (a == "--retry-delay") {
      if (!value(v)) return usageError("--retry-delay needs a number of seconds");
      o.retry.firstDelaySeconds = v;
      if (o.retry.maxDelaySeconds < v) o.retry.maxDelaySeconds = v;
    } else if (a == "--max-reconnects") {
      if (!value(v) || v != static_cast<int>(v) || v > 1000) return usageError("--max-reconnects needs a whole number up to 1000");
      o.retry.maxReconnects = static_cast<int>(v);
    } else if (a == "--reconnect-window") {
      if (!value(v) || v < 1) return usageError("--reconnect-window needs at least 1 second");
      o.retry.windowSeconds = v;
    } else if (a == "--stall") {
      if (!value(v) || v < 1) return usageError("--stall needs at least 1 second");
      o.client.stallSeconds = static_cast<long>(v);
    } else if (a == "--connect-timeout") {
      if (!value(v) || v < 1) return usageError("--connect-timeout needs at least 1 second");
      o.client.connectTimeoutSeconds = static_cast<long>(v);
    } else if (!a.empty() && a[0] == '-') {
      return usageError("unknown option " + a);
    } else if (o.url.empty()) {
      o.url = a;
    } else {
      return usageError("one URL only (got another: " + a + ")");
    }
  }
  if (o.url.empty()) return usageError("no stream URL given");
  if (o.dir.empty()) return usageError("no folder given (-d DIR)");
  std::string scheme = o.url.substr(0, o.url.find("://"));
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (o.url.find("://") == std::string::npos || (scheme != "http" && scheme != "https") ||
      ripper::hostOf(o.url).empty())
    return usageError("not an http or https stream URL: " + o.url);
  return -1;
}

// The PID file and the progress file, removed again however the run ends.
class RunFiles {
 public:
  RunFiles()
      : pidPath_(oruvel::rootedPath(oruvel::paths::kLumoPid)),
        ripPath_(oruvel::rootedPath(oruvel::paths::kLumoRip)),
        pid_(std::to_string(::getpid())) {}
  ~RunFiles() { remove(); }

  bool writePid() {
    if (ripper::replaceFileAtomically(pidPath_, pid_ + "\n")) return true;
    std::fprintf(stderr, "lumoripper: cannot write %s: %s\n", pidPath_.c_str(), std::strerror(errno));
    return false;
  }
  void progress(const std::string& line) {
    if (!ripper::replaceFileAtomically(ripPath_, line) && !warned_) {
      std::fprintf(stderr, "lumoripper: cannot write %s: %s\n", ripPath_.c_str(), std::strerror(errno));
      warned_ = true;
    }
  }
  void remove() {
    std::remove(ripPath_.c_str());
    // Only our own PID file: a newer ripper may have taken the name.
    std::ifstream in(pidPath_);
    std::string word;
    if (in >> word && word == pid_) std::remove(pidPath_.c_str());
  }

 private:
  std::string pidPath_, ripPath_, pid_;
  bool warned_ = false;
};

void installSignals() {
  struct sigaction sa {};
  sa.sa_handler = onStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  // The recording outlives the terminal or window that started it.
  signal(SIGHUP, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
  // A file-size limit is a full disk by another name: the write fails with
  // EFBIG and the recording ends with its message, instead of a silent death.
  signal(SIGXFSZ, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  int status = parseOptions(argc, argv, o);
  if (status >= 0) return status;

  std::error_code ec;
  std::filesystem::create_directories(o.dir, ec);
  if (ec || !std::filesystem::is_directory(o.dir)) {
    std::fprintf(stderr, "lumoripper: cannot create the folder %s: %s\n", o.dir.c_str(),
                 ec ? ec.message().c_str() : "not a folder");
    return 1;
  }

  icy::Client client(o.client);
  gClient = &client;
  installSignals();
  RunFiles files;
  if (!files.writePid()) return 1;

  ripper::Recorder recorder(o.dir, ripper::hostOf(o.url));
  std::string failure;  // a write error ends the recording
  bool recording = false;
  std::string reconnecting;
  auto lastWrite = std::chrono::steady_clock::now() - std::chrono::hours(1);
  auto showProgress = [&](bool now) {
    if (!recording) return;
    auto t = std::chrono::steady_clock::now();
    if (!now && t - lastWrite < std::chrono::seconds(1)) return;
    lastWrite = t;
    files.progress(ripper::progressLine(reconnecting, recorder.trackSeconds(), recorder.trackBytes(),
                                        recorder.trackName()));
  };
  auto check = [&](bool ok) {
    if (!ok && failure.empty()) {
      failure = recorder.error();
      client.stop();
    }
  };

  client.onHeaders = [&](const icy::StreamInfo& info) {
    check(recorder.headers(info));
    recording = failure.empty();
    reconnecting.clear();
    showProgress(true);
  };
  client.onAudio = [&](const char* data, std::size_t len) { check(recorder.audio(data, len)); };
  client.onTitle = [&](const std::string& title) {
    check(recorder.title(title));
    showProgress(true);
  };
  // Ticks come after each network read: the audio it brought goes to disk in one write.
  client.onTick = [&] {
    check(recorder.flush());
    showProgress(false);
  };

  icy::RunSummary run = icy::runWithRetries(client, o.url, o.retry, [&](int n, int of, const icy::Result& why) {
    std::fprintf(stderr, "lumoripper: %s, reconnecting (%d/%d)\n", why.message.c_str(), n, of);
    reconnecting = "reconnecting (" + std::to_string(n) + "/" + std::to_string(of) + ")";
    showProgress(true);
  });

  if (!recorder.finish() && failure.empty()) failure = recorder.error();
  files.remove();
  gClient = nullptr;

  if (!failure.empty()) {
    std::fprintf(stderr, "lumoripper: %s\n", failure.c_str());
    return 1;
  }
  if (gSignal || run.last.outcome == icy::Outcome::Stopped) {
    std::fprintf(stderr, "lumoripper: stopped (signal %d); the recording is in %s\n", static_cast<int>(gSignal),
                 o.dir.c_str());
    return 0;
  }
  if (run.audioBytes == 0) {
    std::fprintf(stderr, "lumoripper: cannot record %s: %s\n", o.url.c_str(), run.last.message.c_str());
    return 1;
  }
  if (run.last.outcome == icy::Outcome::Complete) return 0;
  if (run.tooManyReconnects) {
    std::fprintf(stderr, "lumoripper: gave up after %d reconnects within %g seconds; last: %s\n",
                 o.retry.maxReconnects, o.retry.windowSeconds, run.last.message.c_str());
    return 1;
  }
  bool ended = run.cause == icy::Outcome::Closed || run.cause == icy::Outcome::Complete;
  std::fprintf(stderr, "lumoripper: %s%s; %s\n", ended ? "the stream ended" : "lost the stream",
               run.failedAttempts > 0 ? " (reconnecting did not help)" : "", run.last.message.c_str());
  return ended ? 0 : 1;
}
