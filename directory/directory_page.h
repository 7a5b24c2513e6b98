#pragma once
// The directory page, read with few instructions for the receiver's slow
// processor: each piece's four keys found in one pass over it. The keys,
// values and cuts are those of quotedValue.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "base/fixed_text.h"
#include "base/piece_reader.h"
#include "directory/text_store.h"

namespace oruvel {

namespace page_scan {

constexpr std::size_t kWindow = PieceReader::kReadableBehind;

// Where the first byte `c` lies among the kWindow bytes at `p`, all of which
// must be readable; kWindow when there is none. Eight bytes are compared at
// once: the nearest quote or "=" of a directory line is mostly this close,
// and a word compare costs less than a call.
inline std::size_t firstInWindow(const char* p, char c) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHigh = 0x8080808080808080ull;
  const std::uint64_t pattern = kOnes * static_cast<unsigned char>(c);
  for (std::size_t at = 0; at < kWindow; at += 8) {
    std::uint64_t word;
    std::memcpy(&word, p + at, 8);
    const std::uint64_t x = word ^ pattern;  // zero in the bytes equal to c
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    // The top bit set in exactly the zero bytes; the first byte is the highest.
    const std::uint64_t matches = ~(((x & ~kHigh) + ~kHigh) | x | ~kHigh);
    if (matches != 0) return at + static_cast<std::size_t>(__builtin_clzll(matches)) / 8;
#else
    // The top bit set in the zero bytes and perhaps in bytes above one; the
    // lowest set bit, the first byte's, is always right.
    const std::uint64_t matches = (x - kOnes) & ~x & kHigh;
    if (matches != 0) return at + static_cast<std::size_t>(__builtin_ctzll(matches)) / 8;
#endif
  }
  return kWindow;
}

// The first `c` in [p, end), or null; kWindow bytes from p must be readable.
inline const char* find(const char* p, const char* end, char c) {
  const std::size_t rest = static_cast<std::size_t>(end - p);
  const std::size_t near = firstInWindow(p, c);
  if (near < kWindow) return near < rest ? p + near : nullptr;
  if (rest <= kWindow) return nullptr;
  return static_cast<const char*>(std::memchr(p + kWindow, c, rest - kWindow));
}

}  // namespace page_scan

// A directory line's keys "name=", "id=", "br=" and "genre=", each found at
// its first occurrence in one pass over the line's "=" signs: where each
// one's quoted value starts (behind the opening quote, skipped unseen), null
// for a key that does not occur. The line must be a piece of a
// PieceReader.
struct DirectoryKeys {
  enum Key { kName, kId, kBitrate, kGenre, kCount };
  const char* valueAt[kCount];
  const char* lineEnd;

  bool has(Key key) const { return valueAt[key] != nullptr; }

  // The value of a key that occurs, as quotedValue gives it: up to the next
  // double quote, else to the end of the line, line end excluded.
  std::string_view value(Key key) const {
    const char* start = valueAt[key];
    if (const char* quote = page_scan::find(start, lineEnd, '"'))
      return std::string_view(start, static_cast<std::size_t>(quote - start));
    return stripLineEnd(std::string_view(start, static_cast<std::size_t>(lineEnd - start)));
  }

  // The value of a key that occurs, cut to `limit` bytes (less than
  // TextStore::kBlockBytes - kWindow), kept in `store`.
  const char* storeValue(Key key, TextStore& store, std::size_t limit) const {
    const char* start = valueAt[key];
    const char* quote = page_scan::find(start, lineEnd, '"');
    if (!quote) return store.add(value(key), limit);
    const std::size_t size = static_cast<std::size_t>(quote - start);
    const std::size_t kept = size < limit ? size : limit;
    // Copied a whole window at a time, the bytes behind the value too: they
    // lie within a window of the quote, so they are readable, and the store
    // gives room for them before the kept text is cut.
    const std::size_t windows = kept / page_scan::kWindow + 1;
    char* at = store.room(windows * page_scan::kWindow);
    for (std::size_t w = 0; w < windows; ++w)
      std::memcpy(at + w * page_scan::kWindow, start + w * page_scan::kWindow, page_scan::kWindow);
    return store.keep(kept);
  }
};

namespace page_scan {

// The key that ends with the "=" at `eq`, or DirectoryKeys::kCount for none.
inline DirectoryKeys::Key keyEndingAt(const char* begin, const char* eq) {
  const std::ptrdiff_t before = eq - begin;
  if (before < 2) return DirectoryKeys::kCount;
  switch (eq[-1]) {
    case 'd':
      return eq[-2] == 'i' ? DirectoryKeys::kId : DirectoryKeys::kCount;
    case 'r':
      return eq[-2] == 'b' ? DirectoryKeys::kBitrate : DirectoryKeys::kCount;
    case 'e':
      if (before >= 4 && eq[-2] == 'm' && eq[-3] == 'a' && eq[-4] == 'n') return DirectoryKeys::kName;
      if (before >= 5 && eq[-2] == 'r' && eq[-3] == 'n' && eq[-4] == 'e' && eq[-5] == 'g')
        return DirectoryKeys::kGenre;
      return DirectoryKeys::kCount;
    default:
      return DirectoryKeys::kCount;
  }
}

}  // namespace page_scan

// The keys of one piece of a PieceReader.
inline DirectoryKeys directoryKeys(std::string_view line) {
  const char* const begin = line.data();
  const char* const end = begin + line.size();
  DirectoryKeys keys{{}, end};
  int missing = DirectoryKeys::kCount;
  // Every occurrence of a key ends in its "=", so the line's "=" signs, in
  // order, meet each key's first occurrence first.
  for (const char* at = begin; missing > 0;) {
    const char* eq = page_scan::find(at, end, '=');
    if (!eq) break;
    at = eq + 1;
    const DirectoryKeys::Key key = page_scan::keyEndingAt(begin, eq);
    if (key == DirectoryKeys::kCount || keys.valueAt[key]) continue;
    keys.valueAt[key] = end - at > 1 ? at + 1 : end;
    --missing;
  }
  return keys;
}

}  // namespace oruvel
