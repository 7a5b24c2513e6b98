// The configuration file: any bytes leave every path global terminated
// inside its width, and the list of over-long keys sane.
#include "base/config.h"
#include "base/fixed_paths.h"
#include "tests/fuzz/fuzz_support.h"

FUZZ_TARGET(in) {
  using fuzzsupport::terminated;
  fuzzsupport::writeFile(fuzzsupport::at(oruvel::paths::kConfigFile), in.all);
  FUZZ_CHECK(ReadConfFile() == 0);
  FUZZ_CHECK(terminated(RIPPER) && terminated(RIPDIR) && terminated(STATIONSFILE) && terminated(MYSTATIONSFILE) &&
             terminated(MYPLAYLISTFILE) && terminated(MYGENREFILE) && terminated(LUMOPIC));
  int count = -1;
  const char* const* keys = oruvel::configTooLongKeys(&count);
  FUZZ_CHECK(count >= 0 && count <= 7);
  for (int i = 0; i < count; ++i) FUZZ_CHECK(keys[i] != nullptr && keys[i][0] != '\0');
}
