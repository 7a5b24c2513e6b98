// The local station files (the station file and the favourites): any bytes
// give a whole Station list with terminated names and ids.
#include <cstdint>

#include "tests/fuzz/station_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = fuzzsupport::at("/var/tuxbox/config/oruvel/lumostations.xml");
  fuzzsupport::writeFile(path, data, size);
  FUZZ_CHECK(oruvel::readLocalStations(path.c_str()));
  checkStationList();
  return 0;
}
