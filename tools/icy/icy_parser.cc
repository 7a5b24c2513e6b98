#include "tools/icy/icy_parser.h"

#include <algorithm>
#include <cctype>

namespace icy {
namespace {

constexpr long kMaxMetaint = 1L << 24;  // beyond that the header is junk

std::string_view trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// A positive decimal number no larger than `max`, else 0.
long parseCount(std::string_view s, long max) {
  s = trim(s);
  if (s.empty() || s.size() > 12) return 0;
  long v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return 0;
    v = v * 10 + (c - '0');
  }
  return v <= max ? v : 0;
}

bool startsKey(std::string_view rest) {
  std::size_t i = 0;
  while (i < rest.size() && (std::isalnum(static_cast<unsigned char>(rest[i])) || rest[i] == '_')) ++i;
  return i > 0 && rest.substr(i, 2) == "='";
}

std::string_view stripPadding(std::string_view s) {
  while (!s.empty() && (s.back() == '\0' || std::isspace(static_cast<unsigned char>(s.back()))))
    s.remove_suffix(1);
  return s;
}

bool findStreamTitle(std::string_view block, std::string& out) {
  static constexpr std::string_view kKey = "StreamTitle='";
  block = stripPadding(block);
  std::size_t p = block.find(kKey);
  if (p == std::string_view::npos) return false;
  std::string_view value = block.substr(p + kKey.size());
  for (std::size_t q = value.find("';"); q != std::string_view::npos; q = value.find("';", q + 1)) {
    std::string_view rest = value.substr(q + 2);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\0')) rest.remove_prefix(1);
    if (rest.empty() || startsKey(rest)) {
      out.assign(value.substr(0, q));
      return true;
    }
  }
  // No proper end: take what is there, without a closing quote.
  if (!value.empty() && value.back() == '\'') value.remove_suffix(1);
  out.assign(value);
  return true;
}

}  // namespace

std::string streamTitleOf(std::string_view block) {
  std::string title;
  findStreamTitle(block, title);
  return title;
}

void Parser::headerLine(std::string_view line) {
  line = trim(line);
  if (line.empty()) return;  // end of one header set; the body decides which was final
  if (line.rfind("HTTP/", 0) == 0 || line.rfind("ICY ", 0) == 0) {
    info_ = StreamInfo{};
    sawStatusLine_ = true;
    info_.statusLine.assign(line);
    std::size_t sp = line.find(' ');
    info_.status = static_cast<int>(parseCount(line.substr(sp + 1, 3), 999));
    return;
  }
  headerField(line);
}

void Parser::headerField(std::string_view line) {
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;
  std::string name = lower(trim(line.substr(0, colon)));
  std::string_view value = trim(line.substr(colon + 1));
  if (name == "icy-name") {
    info_.name.assign(value);
  } else if (name == "icy-genre") {
    info_.genre.assign(value);
  } else if (name == "content-type") {
    info_.contentType = lower(trim(value.substr(0, value.find(';'))));
  } else if (name == "icy-metaint") {
    info_.metaint = parseCount(value, kMaxMetaint);
  } else if (name == "icy-br") {
    // Some servers send "128,128"; the first figure counts.
    info_.bitrate = static_cast<int>(parseCount(value.substr(0, value.find(',')), 100000));
  }
}

void Parser::finishHeaders() {
  untilMeta_ = info_.metaint;
  state_ = State::Audio;
  if (onHeaders) onHeaders(info_);
}

void Parser::finish() {
  if (state_ == State::Start) {
    // A body too short to tell: it was audio after all.
    std::string first;
    first.swap(pending_);
    finishHeaders();
    feedBody(first.data(), first.size());
  } else if (state_ == State::InBodyHeaders) {
    // The body ended inside its header block: nothing of it was audio.
    malformed_ = true;
    state_ = State::Broken;
    pending_.clear();
  }
}

void Parser::feed(const char* data, std::size_t len) {
  if (state_ == State::Broken) return;
  if (state_ == State::Start) {
    if (sawStatusLine_) {
      finishHeaders();
    } else {
      // Decide from the first bytes whether the body starts with its own status line.
      std::size_t take = std::min<std::size_t>(len, 5 - std::min<std::size_t>(pending_.size(), 5));
      pending_.append(data, take);
      data += take;
      len -= take;
      static constexpr std::string_view kIcy = "ICY ", kHttp = "HTTP/";
      std::string_view head = pending_;
      bool maybeIcy = kIcy.substr(0, std::min(head.size(), kIcy.size())) == head.substr(0, std::min(head.size(), kIcy.size()));
      bool maybeHttp = kHttp.substr(0, std::min(head.size(), kHttp.size())) == head.substr(0, std::min(head.size(), kHttp.size()));
      if ((maybeIcy || maybeHttp) && head.size() < 5 && len == 0) return;  // need more bytes
      if (maybeIcy || maybeHttp) {
        state_ = State::InBodyHeaders;
      } else {
        std::string first;
        first.swap(pending_);
        finishHeaders();
        feedBody(first.data(), first.size());
      }
    }
  }
  if (state_ == State::InBodyHeaders) {
    inBodyHeaders(data, len);
    if (state_ == State::InBodyHeaders || state_ == State::Broken) return;
  }
  feedBody(data, len);
}

void Parser::inBodyHeaders(const char*& data, std::size_t& len) {
  while (len > 0) {
    char c = *data++;
    --len;
    pending_ += c;
    std::size_t n = pending_.size();
    bool end = (n >= 4 && pending_.compare(n - 4, 4, "\r\n\r\n") == 0) ||
               (n >= 2 && pending_.compare(n - 2, 2, "\n\n") == 0);
    if (end) {
      std::string_view block = pending_;
      bool first = true;
      while (!block.empty()) {
        std::size_t nl = block.find('\n');
        std::string_view line = block.substr(0, nl);
        block = nl == std::string_view::npos ? std::string_view() : block.substr(nl + 1);
        if (first) {
          headerLine(line);  // the status line
          first = false;
        } else if (!trim(line).empty()) {
          headerField(trim(line));
        }
      }
      pending_.clear();
      finishHeaders();
      return;
    }
    if (n > kMaxHeaderBlock) {
      malformed_ = true;
      pending_.clear();
      state_ = State::Broken;
      return;
    }
  }
}

void Parser::feedBody(const char* data, std::size_t len) {
  while (len > 0) {
    switch (state_) {
      case State::Audio: {
        std::size_t n = len;
        if (info_.metaint > 0) n = std::min<std::size_t>(n, static_cast<std::size_t>(untilMeta_));
        if (n > 0 && onAudio) onAudio(data, n);
        data += n;
        len -= n;
        if (info_.metaint > 0) {
          untilMeta_ -= static_cast<long>(n);
          if (untilMeta_ == 0) state_ = State::MetaLength;
        }
        break;
      }
      case State::MetaLength: {
        metaLeft_ = static_cast<unsigned char>(*data) * 16u;
        ++data;
        --len;
        pending_.clear();
        untilMeta_ = info_.metaint;
        state_ = metaLeft_ > 0 ? State::Meta : State::Audio;
        break;
      }
      case State::Meta: {
        std::size_t n = std::min(len, metaLeft_);
        pending_.append(data, n);
        data += n;
        len -= n;
        metaLeft_ -= n;
        if (metaLeft_ == 0) {
          metadataBlock(pending_);
          pending_.clear();
          state_ = State::Audio;
        }
        break;
      }
      default:
        return;
    }
  }
}

void Parser::metadataBlock(std::string_view block) {
  std::string title;
  if (!findStreamTitle(block, title) || title == title_) return;
  title_ = title;
  if (onTitle) onTitle(title_);
}

}  // namespace icy
