#include "tools/icy/stream_title.h"

#include <cctype>

namespace icy {
namespace {

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

}  // namespace

std::optional<std::string> streamTitleOf(std::string_view block) {
  static constexpr std::string_view kKey = "StreamTitle='";
  block = stripPadding(block);
  std::size_t p = block.find(kKey);
  if (p == std::string_view::npos) return std::nullopt;
  std::string_view value = block.substr(p + kKey.size());
  for (std::size_t q = value.find("';"); q != std::string_view::npos; q = value.find("';", q + 1)) {
    std::string_view rest = value.substr(q + 2);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\0')) rest.remove_prefix(1);
    if (rest.empty() || startsKey(rest)) return std::string(value.substr(0, q));
  }
  // No proper end: take what is there, without a closing quote.
  if (!value.empty() && value.back() == '\'') value.remove_suffix(1);
  return std::string(value);
}

}  // namespace icy
