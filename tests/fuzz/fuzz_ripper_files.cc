// Any /tmp/lumopid and /tmp/lumorip give a PID text that is 1 to 6 digits or
// refused, and a progress line that is terminated and at most one line long.
#include "base/fixed_paths.h"
#include "ripper/ripper_files.h"
#include "tests/fuzz/fuzz_support.h"

FUZZ_TARGET(in) {
  namespace rip = oruvel::ripper;
  fuzzsupport::writeFile(fuzzsupport::at(oruvel::paths::kLumoPid), in.all);
  fuzzsupport::writeFile(fuzzsupport::at(oruvel::paths::kLumoRip), in.all);
  char pid[7];
  std::memset(pid, 'x', sizeof pid);
  const rip::PidFile state = rip::readPidFile(pid);
  FUZZ_CHECK(fuzzsupport::terminated(pid) && state != rip::PidFile::missing);
  const std::size_t digits = std::strspn(pid, "0123456789");
  FUZZ_CHECK(state != rip::PidFile::valid ||
             (digits >= 1 && pid[digits] == '\0' && rip::killCommand(pid) == "kill " + std::string(pid)));
  // A PID text that names no live ripper is never a kill target.
  FUZZ_CHECK(!rip::isRunningRipper(pid) || state == rip::PidFile::valid);
  char line[256] = "earlier";
  FUZZ_CHECK(rip::readProgressLine(line) && fuzzsupport::terminated(line));
  const char* nl = std::strchr(line, '\n');
  FUZZ_CHECK((nl == nullptr || nl[1] == '\0') && (!in.all.empty() || std::strcmp(line, "earlier") == 0));
}
