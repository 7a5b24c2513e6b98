// The configuration file: any bytes leave every path field terminated
// inside its width, and the list of over-long keys sane.
#include "base/config.h"
#include "base/fixed_paths.h"
#include "tests/fuzz/fuzz_support.h"

FUZZ_TARGET(in) {
  using fuzzsupport::terminated;
  // Kept from input to input, as the plug-in keeps it from run to run.
  static oruvel::Config config;
  fuzzsupport::writeFile(fuzzsupport::at(oruvel::paths::kConfigFile), in.all);
  FUZZ_CHECK(ReadConfFile(config) == 0);
  FUZZ_CHECK(terminated(config.RIPPER) && terminated(config.RIPDIR) && terminated(config.STATIONSFILE) && terminated(config.MYSTATIONSFILE) &&
             terminated(config.MYPLAYLISTFILE) && terminated(config.MYGENREFILE) && terminated(config.LUMOPIC));
  FUZZ_CHECK(config.tooLongKeys.size() <= 7);
  for (const char* key : config.tooLongKeys) FUZZ_CHECK(key != nullptr && key[0] != '\0');
}
