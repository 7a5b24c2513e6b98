// The station file and the favourites: any bytes give a whole Station list,
// and a station accepted as a favourite reads back with its very id.
#include "directory/favourites.h"
#include "tests/fuzz/fuzz_support.h"

FUZZ_TARGET(in) {
  const std::string path = fuzzsupport::at("/var/tuxbox/config/oruvel/lumostations.xml");
  const std::string saved = fuzzsupport::at("/var/tuxbox/config/oruvel/saved.xml");
  fuzzsupport::writeFile(path, in.all);
  // Kept from input to input, as the plug-in keeps it from run to run.
  static oruvel::StationList stations;
  FUZZ_CHECK(oruvel::readLocalStations(stations, path.c_str()));
  fuzzsupport::checkStationList(stations);
  std::vector<std::pair<std::string, std::string>> accepted;
  for (const StationNode* n : stations.stationsInKeyOrder())
    if (accepted.size() < 4 && oruvel::favouriteReadsBack(n->name, n->id)) accepted.emplace_back(n->name, n->id);
  for (const auto& [name, id] : accepted) {
    fuzzsupport::writeFile(saved, oruvel::favouriteRecord(name, id));
    FUZZ_CHECK(oruvel::readLocalStations(stations, saved.c_str()) && stations.AnzahlNETElemente == 1 && stations.net_ende->id == id);
  }
}
