#include "tools/icy/transfer_outcome.h"

#include "tools/icy/stream_format.h"

namespace icy {
namespace {

Outcome failureOf(const TransferEnd& e) {
  switch (e.code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
      return Outcome::BadUrl;
    case CURLE_TOO_MANY_REDIRECTS:
      return Outcome::TooManyRedirects;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
      return Outcome::ConnectFailed;
    case CURLE_OPERATION_TIMEDOUT:
      return e.headersDone || e.audioBytes > 0 ? Outcome::Stalled : Outcome::ConnectFailed;
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      return e.headersDone ? Outcome::Dropped : Outcome::ConnectFailed;
    default:
      return Outcome::Failed;
  }
}

}  // namespace

const char* describe(Outcome outcome) {
  switch (outcome) {
    case Outcome::Complete: return "stream complete";
    case Outcome::Closed: return "server closed the stream";
    case Outcome::Dropped: return "connection dropped";
    case Outcome::Stalled: return "stream stalled";
    case Outcome::Stopped: return "stopped";
    case Outcome::HttpError: return "server refused the stream";
    case Outcome::ConnectFailed: return "cannot connect";
    case Outcome::BadResponse: return "not an audio stream";
    case Outcome::BadUrl: return "bad URL";
    case Outcome::TooManyRedirects: return "too many redirects";
    case Outcome::Failed: break;
  }
  return "transfer failed";
}

bool successful(const StreamInfo& info) { return info.status == 0 || (info.status >= 200 && info.status < 300); }

bool acceptable(const StreamInfo& info) { return successful(info) && !isDocumentType(info.contentType); }

Result outcomeOf(const TransferEnd& e) {
  Result r{Outcome::Failed, e.info.status, "", e.audioBytes, e.code, e.osErrno, e.info.statusLine,
           e.info.contentType};
  if (e.stopRequested) {
    r.outcome = Outcome::Stopped;
  } else if (e.audioStalled && !e.rejected) {
    // Headers and no audio is a silent stream; not even headers, no answer.
    r.outcome = e.headersDone || e.audioBytes > 0 ? Outcome::Stalled : Outcome::ConnectFailed;
    r.message = std::string(describe(r.outcome)) + " (no audio for " + std::to_string(e.audioStallSeconds) + " s)";
  } else if (e.rejected || (e.code == CURLE_OK && !acceptable(e.info))) {
    if (e.malformed) {
      r.outcome = Outcome::BadResponse;
      r.message = "the server's answer has a broken header block";
    } else if (successful(e.info)) {
      r.outcome = Outcome::BadResponse;
      r.message = "the server sent a document (" + e.info.contentType + "), not an audio stream";
    } else {
      r.outcome = Outcome::HttpError;
      r.message = "the server answered \"" + e.info.statusLine + "\"";
    }
  } else if (e.code == CURLE_OK) {
    r.outcome = e.lengthKnown ? Outcome::Complete : Outcome::Closed;
    if (e.malformed) {
      r.outcome = Outcome::BadResponse;
      r.message = "the server's answer ended inside its header block";
    }
  } else {
    r.outcome = failureOf(e);
    if (r.outcome == Outcome::Stalled || r.outcome == Outcome::Dropped)
      r.message = std::string(describe(r.outcome)) + " (" + e.curlText + ")";
    else
      r.message = e.curlText;
  }
  if (r.message.empty()) r.message = describe(r.outcome);
  return r;
}

}  // namespace icy
