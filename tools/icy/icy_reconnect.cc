#include "tools/icy/icy_reconnect.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <thread>

namespace icy {
namespace {

bool worthRetrying(Outcome o) {
  switch (o) {
    case Outcome::Closed:
    case Outcome::Dropped:
    case Outcome::Stalled:
    case Outcome::ConnectFailed:
    case Outcome::HttpError:
    case Outcome::BadResponse:
    case Outcome::Failed:
      return true;
    default:
      return false;
  }
}

// Sleeps in short slices so stop() and the caller's ticks keep working.
void pause(Client& client, double seconds) {
  auto until = std::chrono::steady_clock::now() +
               std::chrono::milliseconds(static_cast<long>(seconds * 1000));
  while (!client.stopRequested() && std::chrono::steady_clock::now() < until) {
    if (client.onTick) client.onTick();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace

RunSummary runWithRetries(Client& client, const std::string& url, const RetryPolicy& policy,
                          const std::function<void(int, int, const Result&)>& onRetry) {
  RunSummary summary;
  double delay = policy.firstDelaySeconds;
  std::deque<std::chrono::steady_clock::time_point> reconnects;  // within the window
  for (;;) {
    summary.last = client.run(url);
    summary.audioBytes += summary.last.audioBytes;
    if (summary.last.audioBytes > 0) {
      summary.failedAttempts = 0;  // it worked again: a new series starts with the next drop
      summary.cause = summary.last.outcome;
      delay = policy.firstDelaySeconds;
    }
    if (summary.audioBytes == 0 || !worthRetrying(summary.last.outcome) ||
        summary.failedAttempts >= policy.attempts || client.stopRequested())
      return summary;
    const auto now = std::chrono::steady_clock::now();
    const auto window = std::chrono::duration<double>(policy.windowSeconds);
    while (!reconnects.empty() && now - reconnects.front() >= window) reconnects.pop_front();
    if (static_cast<int>(reconnects.size()) >= policy.maxReconnects) {
      summary.tooManyReconnects = true;
      return summary;
    }
    reconnects.push_back(now);
    ++summary.failedAttempts;
    if (onRetry) onRetry(summary.failedAttempts, policy.attempts, summary.last);
    pause(client, delay);
    delay = std::min(delay * 2, policy.maxDelaySeconds);
    if (client.stopRequested()) {
      summary.last = Result();
      summary.last.outcome = Outcome::Stopped;
      summary.last.message = describe(Outcome::Stopped);
      return summary;
    }
  }
}

}  // namespace icy
