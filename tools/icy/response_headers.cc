#include "tools/icy/response_headers.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace icy {
namespace {

constexpr long kMaxMetaint = 1L << 24;  // beyond that the header is junk
constexpr std::size_t kSniff = 5;       // enough to tell "ICY " or "HTTP/" from audio

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

bool startsLike(std::string_view head, std::string_view word) {
  const std::size_t n = std::min(head.size(), word.size());
  return head.substr(0, n) == word.substr(0, n);
}

bool endsBlock(const std::string& s) {
  const std::size_t n = s.size();
  return (n >= 4 && s.compare(n - 4, 4, "\r\n\r\n") == 0) || (n >= 2 && s.compare(n - 2, 2, "\n\n") == 0);
}

}  // namespace

void ResponseHeaders::line(std::string_view line) {
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
  field(line);
}

void ResponseHeaders::field(std::string_view line) {
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

std::size_t ResponseHeaders::feed(const char* data, std::size_t len) {
  std::size_t taken = 0;
  if (state_ == State::Start) {
    if (sawStatusLine_) {
      state_ = State::Done;
      return 0;
    }
    taken = std::min(len, kSniff - std::min(held_.size(), kSniff));
    held_.append(data, taken);
    if (!startsLike(held_, "ICY ") && !startsLike(held_, "HTTP/")) {
      state_ = State::Done;
      return taken;
    }
    if (held_.size() < kSniff) return taken;
    state_ = State::InBody;
  }
  while (state_ == State::InBody && taken < len) {
    held_ += data[taken++];
    if (endsBlock(held_)) {
      blockEnded();
    } else if (held_.size() > kMaxHeaderBlock) {
      held_.clear();
      state_ = State::Broken;
    }
  }
  return state_ == State::Broken ? len : taken;
}

void ResponseHeaders::blockEnded() {
  std::string_view block = held_;
  for (bool first = true; !block.empty(); first = false) {
    std::size_t nl = block.find('\n');
    std::string_view one = block.substr(0, nl);
    block = nl == std::string_view::npos ? std::string_view() : block.substr(nl + 1);
    if (first)
      line(one);  // the status line
    else if (!trim(one).empty())
      field(trim(one));
  }
  held_.clear();
  state_ = State::Done;
}

void ResponseHeaders::finish() {
  if (state_ == State::Start) {
    state_ = State::Done;
  } else if (state_ == State::InBody) {
    held_.clear();
    state_ = State::Broken;
  }
}

std::string ResponseHeaders::takeBodyStart() { return std::exchange(held_, std::string()); }

}  // namespace icy
