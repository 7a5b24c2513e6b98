#pragma once
// What a listener hears in an audio file, told by ffmpeg: the tone and the length.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/host_run.h"

namespace testsupport {

// Decoded to 8 kHz mono, the tone is the median of each tenth of a second's
// zero crossings; -1 when the decoder complained or found no audio.
struct Heard { double hz = -1, seconds = 0; };
inline Heard hear(const std::string& file) {
  auto r = runProgram({"/usr/bin/ffmpeg", "-v", "error", "-i", file, "-f", "s16le", "-ac", "1", "-ar", "8000", "-"});
  std::vector<std::int16_t> s(r.out.size() / 2);
  std::copy_n(r.out.data(), s.size() * 2, reinterpret_cast<char*>(s.data()));
  std::vector<int> perTenth;
  for (std::size_t at = 0; at + 801 <= s.size(); at += 800) {
    perTenth.push_back(0);
    for (std::size_t i = at + 1; i <= at + 800; ++i) perTenth.back() += (s[i - 1] < 0) != (s[i] < 0);
  }
  if (r.exitCode != 0 || !r.err.empty() || perTenth.empty()) return {};
  std::nth_element(perTenth.begin(), perTenth.begin() + perTenth.size() / 2, perTenth.end());
  return {perTenth[perTenth.size() / 2] * 5.0, s.size() / 8000.0};
}

}  // namespace testsupport
