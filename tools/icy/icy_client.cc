#include "tools/icy/icy_client.h"

#include <curl/curl.h>

#include <mutex>

#include "tools/icy/stream_format.h"

namespace icy {
namespace {

struct Transfer {
  Client* client;
  Parser parser;
  Result result;
  bool rejected = false;  // we ended it because of the status or a broken header block
  bool gotBody = false;
};

void initCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t headerCallback(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  t->parser.headerLine(std::string_view(data, size * count));
  return size * count;
}

bool successful(const StreamInfo& info) { return info.status == 0 || (info.status >= 200 && info.status < 300); }

// A success that is a page, not a stream, is refused like an error.
bool acceptable(const StreamInfo& info) { return successful(info) && !isDocumentType(info.contentType); }

size_t writeCallback(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  if (t->client->stopRequested()) return 0;
  t->gotBody = true;
  t->parser.feed(data, size * count);
  if (t->parser.malformed() || (t->parser.headersDone() && !acceptable(t->parser.info()))) {
    t->rejected = true;
    return 0;
  }
  return size * count;
}

int progressCallback(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  if (t->client->onTick) t->client->onTick();
  return t->client->stopRequested() ? 1 : 0;
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

Client::Client(ClientOptions options) : options_(std::move(options)) { initCurlOnce(); }

Result Client::run(const std::string& url) {
  Transfer t{this, {}, {}, false, false};
  t.parser.onHeaders = [this](const StreamInfo& info) {
    if (acceptable(info) && onHeaders) onHeaders(info);
  };
  t.parser.onAudio = [this, &t](const char* data, std::size_t len) {
    if (!acceptable(t.parser.info())) return;  // the body of a refusal is no audio
    t.result.audioBytes += len;
    if (onAudio) onAudio(data, len);
  };
  t.parser.onTitle = [this](const std::string& title) {
    if (onTitle) onTitle(title);
  };

  CURL* curl = curl_easy_init();
  if (!curl) return Result{Outcome::Failed, 0, "cannot set up the transfer", 0};
  char errorText[CURL_ERROR_SIZE] = "";
  curl_slist* headers = curl_slist_append(nullptr, "Icy-MetaData: 1");

  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, options_.maxRedirects);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  // Old-style servers answer "ICY 200 OK", which libcurl counts as HTTP/0.9;
  // the header block then arrives in the body and the parser reads it there.
  curl_easy_setopt(curl, CURLOPT_HTTP09_ALLOWED, 1L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, options_.userAgent.c_str());
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, options_.connectTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, options_.stallSeconds);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, options_.receiveBufferBytes);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, headerCallback);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeCallback);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, progressCallback);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);

  CURLcode code = stopRequested() ? CURLE_ABORTED_BY_CALLBACK : curl_easy_perform(curl);
  // Bytes still held back (a body too short to sniff) are audio after all.
  if (t.gotBody && !t.rejected) t.parser.finish();

  Result& r = t.result;
  const StreamInfo& info = t.parser.info();
  r.status = info.status;
  std::string curlText = errorText[0] ? errorText : curl_easy_strerror(code);
  bool gotHeaders = t.parser.headersDone();

  if (stopRequested()) {
    r.outcome = Outcome::Stopped;
  } else if (t.rejected || (code == CURLE_OK && !acceptable(info))) {
    if (t.parser.malformed()) {
      r.outcome = Outcome::BadResponse;
      r.message = "the server's answer has a broken header block";
    } else if (successful(info)) {
      r.outcome = Outcome::BadResponse;
      r.message = "the server sent a document (" + info.contentType + "), not an audio stream";
    } else {
      r.outcome = Outcome::HttpError;
      r.message = "the server answered \"" + info.statusLine + "\"";
    }
  } else if (code == CURLE_OK) {
    curl_off_t length = -1;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    r.outcome = length >= 0 ? Outcome::Complete : Outcome::Closed;
    if (t.parser.malformed()) {
      r.outcome = Outcome::BadResponse;
      r.message = "the server's answer ended inside its header block";
    }
  } else {
    switch (code) {
      case CURLE_UNSUPPORTED_PROTOCOL:
      case CURLE_URL_MALFORMAT:
        r.outcome = Outcome::BadUrl;
        break;
      case CURLE_TOO_MANY_REDIRECTS:
        r.outcome = Outcome::TooManyRedirects;
        break;
      case CURLE_COULDNT_RESOLVE_HOST:
      case CURLE_COULDNT_RESOLVE_PROXY:
      case CURLE_COULDNT_CONNECT:
      case CURLE_SSL_CONNECT_ERROR:
      case CURLE_PEER_FAILED_VERIFICATION:
        r.outcome = Outcome::ConnectFailed;
        break;
      case CURLE_OPERATION_TIMEDOUT:
        r.outcome = gotHeaders || r.audioBytes > 0 ? Outcome::Stalled : Outcome::ConnectFailed;
        break;
      case CURLE_GOT_NOTHING:
      case CURLE_PARTIAL_FILE:
      case CURLE_RECV_ERROR:
      case CURLE_SEND_ERROR:
        r.outcome = gotHeaders ? Outcome::Dropped : Outcome::ConnectFailed;
        break;
      default:
        r.outcome = Outcome::Failed;
        break;
    }
    if (r.outcome == Outcome::Stalled || r.outcome == Outcome::Dropped)
      r.message = std::string(describe(r.outcome)) + " (" + curlText + ")";
    else
      r.message = curlText;
  }
  if (r.message.empty()) r.message = describe(r.outcome);

  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return r;
}

}  // namespace icy
