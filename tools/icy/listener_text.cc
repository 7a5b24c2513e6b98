#include "tools/icy/listener_text.h"

#include <cerrno>
#include <cmath>

namespace icy {

std::string hostOf(const std::string& url) {
  const std::size_t scheme = url.find("://");
  if (scheme == std::string::npos) return url;
  std::string host = url.substr(scheme + 3, url.find_first_of("/?#", scheme + 3) - (scheme + 3));
  const std::size_t at = host.rfind('@');  // never show a password
  if (at != std::string::npos) host.erase(0, at + 1);
  return host.empty() ? url : host;
}

namespace {

// "HTTP/1.0 503 relay busy" -> "503 relay busy": the code and the server's reason.
std::string statusOf(const Result& r) {
  const std::size_t blank = r.statusLine.find(' ');
  std::string status = blank == std::string::npos ? r.statusLine : r.statusLine.substr(blank + 1);
  while (!status.empty() && (status.back() == '\r' || status.back() == '\n' || status.back() == ' '))
    status.pop_back();
  return status.empty() ? std::to_string(r.status) : status;
}

// " (no audio for 8 s)" when the reader gave up waiting for audio.
std::string waited(const Result& r) {
  const std::size_t at = r.message.find(" (no audio for ");
  return at == std::string::npos ? "" : r.message.substr(at);
}

std::string connectText(const Result& r, const std::string& host) {
  // A name server that does not answer leaves the connect time-out to end it.
  if (r.code == CURLE_OPERATION_TIMEDOUT && r.message.find("Resolving timed out") != std::string::npos)
    return "host not found: " + host + " (the name server did not answer)";
  switch (r.code) {
    case CURLE_COULDNT_RESOLVE_HOST: return "host not found: " + host;
    case CURLE_COULDNT_RESOLVE_PROXY: return "proxy not found on the way to " + host;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION: return "no secure connection to " + host;
    default: break;
  }
  if (r.osErrno == ECONNREFUSED) return host + " refused the connection";
  if (r.osErrno == ENETUNREACH || r.osErrno == EHOSTUNREACH) return "no route to " + host;
  if (!r.statusLine.empty()) return "no audio from " + host + waited(r);
  if (r.code == CURLE_OPERATION_TIMEDOUT || r.code == CURLE_ABORTED_BY_CALLBACK) return "no answer from " + host;
  return "cannot connect to " + host;
}

}  // namespace

std::string listenerText(const Result& r, const std::string& url) {
  const std::string host = hostOf(url);
  switch (r.outcome) {
    case Outcome::ConnectFailed: return connectText(r, host);
    case Outcome::HttpError: return host + " refused the stream: " + statusOf(r);
    case Outcome::BadResponse:
      if (r.contentType.empty() || r.message.find("header block") != std::string::npos)
        return host + " sent a broken answer, not an audio stream";
      return host + " sent a document (" + r.contentType + "), not an audio stream";
    case Outcome::Stalled:
      return (r.audioBytes > 0 ? "audio from " + host + " stopped" : "no audio from " + host) + waited(r);
    case Outcome::Dropped: return host + " dropped the connection";
    case Outcome::Closed: return r.audioBytes > 0 ? host + " ended the stream" : "no audio from " + host;
    case Outcome::Complete: return "the stream from " + host + " ended";
    case Outcome::BadUrl: return "not a stream address: " + url;
    case Outcome::TooManyRedirects: return host + " sends the player round in circles (too many redirects)";
    case Outcome::Stopped: return "stopped";
    case Outcome::Failed: break;
  }
  return "cannot play the stream from " + host + " (" + r.message + ")";
}

std::string listenerText(const RunSummary& run, const RetryPolicy& policy, const std::string& url) {
  std::string why = listenerText(run.last, url);
  if (run.tooManyReconnects)
    return why + "; gave up after " + std::to_string(policy.maxReconnects) + " reconnects within " +
           std::to_string(static_cast<int>(std::lround(policy.windowSeconds / 60))) + " minutes";
  if (run.failedAttempts > 0) return why + "; gave up after " + std::to_string(run.failedAttempts) + " reconnects";
  return why;
}

}  // namespace icy
