#include "tools/icy/icy_client.h"

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <mutex>

#include "tools/icy/stream_title.h"

namespace icy {

void Response::feed(const char* data, std::size_t len) {
  if (!headers_.done()) {
    const std::size_t taken = headers_.feed(data, len);
    if (!headers_.done()) return;
    startBody();
    data += taken;
    len -= taken;
  }
  demux_->feed(data, len);
}

void Response::finish() {
  if (headers_.done()) return;
  headers_.finish();
  if (headers_.done()) startBody();
}

void Response::startBody() {
  demux_.emplace(headers_.info().metaint);
  demux_->onAudio = [this](const char* data, std::size_t len) {
    if (onAudio) onAudio(data, len);
  };
  demux_->onMetadata = [this](std::string_view block) {
    std::optional<std::string> title = streamTitleOf(block);
    if (!title || *title == title_) return;
    title_ = std::move(*title);
    if (onTitle) onTitle(title_);
  };
  if (onHeaders) onHeaders(headers_.info());
  const std::string start = headers_.takeBodyStart();  // sniffed bytes that were audio
  demux_->feed(start.data(), start.size());
}

namespace {

struct Transfer {
  Client* client;
  Response response;
  std::uint64_t audioBytes = 0;
  bool rejected = false;  // we ended it because of the status or a broken header block
  bool gotBody = false;
  bool audioStalled = false;  // we ended it: no audio within the allowed time
  std::chrono::steady_clock::time_point lastAudio = std::chrono::steady_clock::now();
};

void initCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t headerCallback(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  t->response.headerLine(std::string_view(data, size * count));
  return size * count;
}

size_t writeCallback(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  if (t->client->stopRequested()) return 0;
  t->gotBody = true;
  t->response.feed(data, size * count);
  if (t->response.malformed() || (t->response.headersDone() && !acceptable(t->response.info()))) {
    t->rejected = true;
    return 0;
  }
  return size * count;
}

int progressCallback(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  if (t->client->onTick) t->client->onTick();
  if (t->client->stopRequested()) return 1;
  const ClientOptions& o = t->client->options();
  const long limit = t->audioBytes == 0 ? o.firstAudioSeconds : o.audioStallSeconds;
  if (limit > 0 && std::chrono::steady_clock::now() - t->lastAudio > std::chrono::seconds(limit)) {
    t->audioStalled = true;
    return 1;
  }
  return 0;
}

using Easy = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using HeaderList = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

}  // namespace

Client::Client(ClientOptions options) : options_(std::move(options)) { initCurlOnce(); }

Result Client::run(const std::string& url) {
  Transfer t{this, {}, 0, false, false};
  t.response.onHeaders = [this](const StreamInfo& info) {
    if (acceptable(info) && onHeaders) onHeaders(info);
  };
  t.response.onAudio = [this, &t](const char* data, std::size_t len) {
    if (!acceptable(t.response.info())) return;  // the body of a refusal is no audio
    t.audioBytes += len;
    t.lastAudio = std::chrono::steady_clock::now();
    if (onAudio) onAudio(data, len);
  };
  t.response.onTitle = [this](const std::string& title) {
    if (onTitle) onTitle(title);
  };

  Easy easy(curl_easy_init(), curl_easy_cleanup);
  if (!easy) {
    Result failed;
    failed.message = "cannot set up the transfer";
    return failed;
  }
  CURL* curl = easy.get();
  char errorText[CURL_ERROR_SIZE] = "";
  HeaderList headers(curl_slist_append(nullptr, "Icy-MetaData: 1"), curl_slist_free_all);

  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, options_.maxRedirects);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
  // Old-style servers answer "ICY 200 OK", which libcurl counts as HTTP/0.9;
  // the header block then arrives in the body and Response reads it there.
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

  TransferEnd end;
  end.code = stopRequested() ? CURLE_ABORTED_BY_CALLBACK : curl_easy_perform(curl);
  // Bytes still held back (a body too short to sniff) are audio after all.
  if (t.gotBody && !t.rejected) t.response.finish();
  curl_off_t length = -1;
  curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  end.curlText = errorText[0] ? errorText : curl_easy_strerror(end.code);
  end.stopRequested = stopRequested();
  end.rejected = t.rejected;
  end.audioStalled = t.audioStalled;
  end.audioStallSeconds = t.audioBytes == 0 ? options_.firstAudioSeconds : options_.audioStallSeconds;
  long osErrno = 0;
  curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osErrno);
  end.osErrno = static_cast<int>(osErrno);
  end.malformed = t.response.malformed();
  end.headersDone = t.response.headersDone();
  end.lengthKnown = length >= 0;
  end.audioBytes = t.audioBytes;
  end.info = t.response.info();
  return outcomeOf(end);
}

}  // namespace icy
