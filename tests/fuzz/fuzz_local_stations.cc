// The local station files (the station file and the favourites): any bytes
// give a whole Station list.
#include "directory/station_list.h"
#include "tests/fuzz/fuzz_support.h"

FUZZ_TARGET(in) {
  static const std::string path = fuzzsupport::at("/var/tuxbox/config/oruvel/lumostations.xml");
  fuzzsupport::writeFile(path, in.all);
  FUZZ_CHECK(oruvel::readLocalStations(path.c_str()));
  fuzzsupport::checkStationList();
}
