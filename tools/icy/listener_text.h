#pragma once
// Why a stream does not play, in a listener's words and naming the host:
// "host not found: radio.example", "radio.example refused the stream: 404
// Not Found". The player line shows these; logs keep the transport's words.
#include <string>

#include "tools/icy/icy_reconnect.h"
#include "tools/icy/transfer_outcome.h"

namespace icy {

// The host (and port, when given) of an http or https URL; the URL itself
// when it has none.
std::string hostOf(const std::string& url);

// Why one connection to url ended.
std::string listenerText(const Result& result, const std::string& url);

// Why a run of connections ended for good: the last connection's reason,
// and when reconnecting gave up, that too.
std::string listenerText(const RunSummary& run, const RetryPolicy& policy, const std::string& url);

}  // namespace icy
