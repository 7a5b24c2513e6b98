// The ripper's files as the plug-in reads them: any /tmp/lumopid and
// /tmp/lumorip give a PID text that is 1 to 6 digits or refused, and a
// progress line that is terminated and at most one line long.
#include <cctype>
#include <cstdint>
#include <cstring>

#include "plugin/fixed_paths.h"
#include "ripper/ripper_files.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace rip = oruvel::ripper;
  static const std::string pidFile = fuzzsupport::at(oruvel::paths::kLumoPid);
  static const std::string ripFile = fuzzsupport::at(oruvel::paths::kLumoRip);
  fuzzsupport::writeFile(pidFile, data, size);
  fuzzsupport::writeFile(ripFile, data, size);

  char pid[7];
  std::memset(pid, 'x', sizeof pid);
  rip::PidFile state = rip::readPidFile(pid);
  FUZZ_CHECK(fuzzsupport::terminated(pid));
  FUZZ_CHECK(state != rip::PidFile::missing);
  if (state == rip::PidFile::valid) {
    std::size_t n = std::strlen(pid);
    FUZZ_CHECK(n >= 1 && n <= 6);
    for (std::size_t i = 0; i < n; ++i) FUZZ_CHECK(std::isdigit(static_cast<unsigned char>(pid[i])));
    FUZZ_CHECK(rip::killCommand(pid) == std::string("kill ") + pid);
  }
  // A PID text that names no live ripper is never a kill target.
  FUZZ_CHECK(!rip::isRunningRipper(pid) || state == rip::PidFile::valid);

  char line[256];
  std::strcpy(line, "earlier");
  FUZZ_CHECK(rip::readProgressLine(line));
  FUZZ_CHECK(fuzzsupport::terminated(line));
  const char* nl = std::strchr(line, '\n');
  FUZZ_CHECK(nl == nullptr || nl[1] == '\0');
  if (size == 0) FUZZ_CHECK(std::strcmp(line, "earlier") == 0);
  return 0;
}
