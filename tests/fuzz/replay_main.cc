// Runs a fuzz target once over saved inputs, without the fuzzer: every file
// named, and every file in every folder named, in name order.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "tests/support/temp_root.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (!fs::exists(argv[i])) return std::fprintf(stderr, "replay: no such input: %s\n", argv[i]), 2;
    if (!fs::is_directory(argv[i])) inputs.push_back(argv[i]);
    if (fs::is_directory(argv[i]))
      for (const auto& e : fs::directory_iterator(argv[i]))
        if (e.is_regular_file()) inputs.push_back(e.path());
  }
  if (inputs.empty()) return std::fprintf(stderr, "replay: no inputs given\n"), 2;
  std::sort(inputs.begin(), inputs.end());
  for (const fs::path& p : inputs) {
    const std::string bytes = testsupport::readFile(p.string());
    std::fprintf(stderr, "replay: %s (%zu bytes)\n", p.c_str(), bytes.size());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("replay: %zu inputs passed\n", inputs.size());
}
