// The configuration file: any bytes read as oruvel.conf leave every path
// global terminated inside its width, and the list of over-long keys sane.
#include <cstdint>

#include "plugin/config.h"
#include "plugin/fixed_paths.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string conf = fuzzsupport::at(oruvel::paths::kConfigFile);
  fuzzsupport::writeFile(conf, data, size);
  FUZZ_CHECK(ReadConfFile() == 0);
  FUZZ_CHECK(fuzzsupport::terminated(RIPPER));
  FUZZ_CHECK(fuzzsupport::terminated(RIPDIR));
  FUZZ_CHECK(fuzzsupport::terminated(STATIONSFILE));
  FUZZ_CHECK(fuzzsupport::terminated(MYSTATIONSFILE));
  FUZZ_CHECK(fuzzsupport::terminated(MYPLAYLISTFILE));
  FUZZ_CHECK(fuzzsupport::terminated(MYGENREFILE));
  FUZZ_CHECK(fuzzsupport::terminated(LUMOPIC));
  int count = -1;
  const char* const* keys = oruvel::configTooLongKeys(&count);
  FUZZ_CHECK(count >= 0 && count <= 7);
  for (int i = 0; i < count; ++i) FUZZ_CHECK(keys[i] != nullptr && keys[i][0] != '\0');
  return 0;
}
