// oruvel-fetch: reads one station with the shared stream reader and its
// reconnect rule, for a program that decodes the audio elsewhere (the
// directory's relay). The audio goes to standard output as it arrives; what
// happens goes to an event descriptor, one line each:
//   title TEXT          a new stream title (UTF-8, line breaks blanked)
//   retry N OF WHY      the stream broke; reconnect N of OF follows
//   playing             audio flows (again)
//   end WHY             the stream ended or could not be had
// Exit status 0 when stopped or the stream ended, 1 when it failed, 2 for a
// wrong command line.
#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/icy/icy_reconnect.h"
#include "tools/icy/stop_signals.h"
#include "tools/icy/title_text.h"

namespace {

bool writeAll(int fd, const char* data, std::size_t len) {
  while (len > 0) {
    ssize_t n = ::write(fd, data, len);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    len -= static_cast<std::size_t>(n);
  }
  return true;
}

// One event line; a title's own line breaks must not start another event.
void event(int fd, const std::string& word, const std::string& text = "") {
  std::string line = word;
  if (!text.empty()) line += ' ' + text;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  line += '\n';
  writeAll(fd, line.data(), line.size());
}

int usage(const char* what) {
  std::fprintf(stderr,
               "oruvel-fetch: %s\n"
               "usage: oruvel-fetch [--events FD] URL\n"
               "  audio to standard output, events (title, retry, playing, end) to FD (default 3)\n",
               what);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int events = 3;
  std::string url;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--events") == 0 && i + 1 < argc) {
      char* end = nullptr;
      long fd = std::strtol(argv[++i], &end, 10);
      if (!end || *end || fd < 0 || fd > 1023) return usage("--events takes a descriptor number");
      events = static_cast<int>(fd);
    } else if (argv[i][0] == '-' || !url.empty()) {
      return usage("unknown argument");
    } else {
      url = argv[i];
    }
  }
  if (url.empty()) return usage("no stream address");

  icy::Client client;
  icy::stopOnSignals(&client);
  // A decoder that went away shows as a failed write, not a death by signal.
  signal(SIGPIPE, SIG_IGN);

  bool playing = false;
  client.onHeaders = [&](const icy::StreamInfo&) { playing = false; };
  client.onAudio = [&](const char* data, std::size_t len) {
    if (!playing) {
      playing = true;
      event(events, "playing");
    }
    if (!writeAll(STDOUT_FILENO, data, len)) client.stop();
  };
  client.onTitle = [&](const std::string& title) { event(events, "title", icy::titleToUtf8(title)); };

  icy::RetryPolicy retry;
  icy::RunSummary run = icy::runWithRetries(client, url, retry, [&](int n, int of, const icy::Result& why) {
    event(events, "retry", std::to_string(n) + " " + std::to_string(of) + " " + why.message);
  });
  icy::stopOnSignals(nullptr);
  event(events, "end", run.last.message);
  if (run.last.outcome == icy::Outcome::Stopped || run.last.outcome == icy::Outcome::Complete) return 0;
  return run.audioBytes > 0 && !run.gaveUp() ? 0 : 1;
}
