// The local station files (the station file and the favourites): any bytes
// give a whole Station list, and a station accepted as a favourite reads
// back from its saved record with its very id.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "directory/favourites.h"
#include "directory/station_list.h"
#include "tests/fuzz/fuzz_support.h"

FUZZ_TARGET(in) {
  static const std::string path = fuzzsupport::at("/var/tuxbox/config/oruvel/lumostations.xml");
  static const std::string saved = fuzzsupport::at("/var/tuxbox/config/oruvel/saved.xml");
  fuzzsupport::writeFile(path, in.all);
  FUZZ_CHECK(oruvel::readLocalStations(path.c_str()));
  fuzzsupport::checkStationList();

  std::vector<std::pair<std::string, std::string>> accepted;
  for (const StationNode* n : oruvel::stationsInKeyOrder())
    if (accepted.size() < 4 && oruvel::favouriteReadsBack(n->name, n->id)) accepted.emplace_back(n->name, n->id);
  for (const auto& [name, id] : accepted) {
    fuzzsupport::writeFile(saved, oruvel::favouriteRecord(name, id));
    FUZZ_CHECK(oruvel::readLocalStations(saved.c_str()) && AnzahlNETElemente == 1);
    FUZZ_CHECK(std::strcmp(net_ende->id, id.c_str()) == 0);
  }
}
