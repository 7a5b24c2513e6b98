#pragma once
// Keeps a stream going across short drops: after a stream has delivered
// audio, a closed, dropped or stalled connection is tried again a few times
// with growing pauses. A stream that never delivered is not retried, so a
// wrong URL or a refusing server is reported at once. Reconnects are bounded
// over time whatever audio they bring, so a station that ends or breaks
// again and again is not fetched for ever.
#include <cstdint>
#include <functional>
#include <string>

#include "tools/icy/icy_client.h"

namespace icy {

struct RetryPolicy {
  int attempts = 5;              // reconnects in a row before giving up
  double firstDelaySeconds = 1;  // doubled after each failed attempt
  double maxDelaySeconds = 8;
  int maxReconnects = 10;          // at most this many reconnects ...
  double windowSeconds = 600;      // ... within this many seconds
};

struct RunSummary {
  Result last;                 // how the final connection ended
  Outcome cause = Outcome::Failed;  // what started the final series of retries
  int failedAttempts = 0;      // reconnects in that series that got nothing
  bool tooManyReconnects = false;  // the bound over time ended it
  std::uint64_t audioBytes = 0;  // over all connections
  bool gaveUp() const {
    return (failedAttempts > 0 || tooManyReconnects) && last.outcome != Outcome::Stopped;
  }
};

// onRetry(attempt, attempts, why) is called before each reconnect's pause.
RunSummary runWithRetries(Client& client, const std::string& url, const RetryPolicy& policy,
                          const std::function<void(int, int, const Result&)>& onRetry = {});

}  // namespace icy
