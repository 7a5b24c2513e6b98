// The ripper's files as the plug-in reads them: any /tmp/lumopid and
// /tmp/lumorip give a PID text that is 1 to 6 digits or refused, and a
// progress line that is terminated and at most one line long.
#include "base/fixed_paths.h"
#include "ripper/ripper_files.h"
#include "tests/fuzz/fuzz_support.h"

FUZZ_TARGET(in) {
  namespace rip = oruvel::ripper;
  static const std::string pidFile = fuzzsupport::at(oruvel::paths::kLumoPid);
  static const std::string ripFile = fuzzsupport::at(oruvel::paths::kLumoRip);
  fuzzsupport::writeFile(pidFile, in.all);
  fuzzsupport::writeFile(ripFile, in.all);

  char pid[7];
  std::memset(pid, 'x', sizeof pid);
  const rip::PidFile state = rip::readPidFile(pid);
  FUZZ_CHECK(fuzzsupport::terminated(pid) && state != rip::PidFile::missing);
  const std::size_t digits = std::strspn(pid, "0123456789");
  if (state == rip::PidFile::valid)
    FUZZ_CHECK(digits >= 1 && pid[digits] == '\0' && rip::killCommand(pid) == std::string("kill ") + pid);
  // A PID text that names no live ripper is never a kill target.
  FUZZ_CHECK(!rip::isRunningRipper(pid) || state == rip::PidFile::valid);

  char line[256];
  std::strcpy(line, "earlier");
  FUZZ_CHECK(rip::readProgressLine(line) && fuzzsupport::terminated(line));
  const char* nl = std::strchr(line, '\n');
  FUZZ_CHECK(nl == nullptr || nl[1] == '\0');
  FUZZ_CHECK(!in.all.empty() || std::strcmp(line, "earlier") == 0);
}
