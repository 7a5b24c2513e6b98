#pragma once
// Checks shared by the station-file targets: the Station list just read is
// whole, its fields terminated, and every key leads to its own station.
#include <climits>

#include "directory/station_list.h"
#include "tests/fuzz/fuzz_support.h"

inline void checkStationList() {
  FUZZ_CHECK(read_error == 0);
  const auto& byKey = oruvel::stationsInKeyOrder();
  FUZZ_CHECK(static_cast<int>(byKey.size()) == AnzahlNETElemente);
  int nodes = 0;
  for (StationNode* n = net_ende; n; n = n->next) {
    FUZZ_CHECK(fuzzsupport::terminated(n->name));
    FUZZ_CHECK(fuzzsupport::terminated(n->genre));
    FUZZ_CHECK(fuzzsupport::terminated(n->id));
    FUZZ_CHECK(fuzzsupport::terminated(n->bitrate));
    FUZZ_CHECK(++nodes <= AnzahlNETElemente);
  }
  FUZZ_CHECK(nodes == AnzahlNETElemente);
  for (int key = 1; key <= AnzahlNETElemente; ++key) {
    NET_Element_ermitteln(key, AnzahlNETElemente);
    FUZZ_CHECK(net_anker == byKey[key - 1]);
  }
  // Keys off the list stop at its ends: below 1 at key 1, above at the last.
  StationNode* first = byKey.empty() ? nullptr : byKey.front();
  for (int key : {INT_MIN, -5, 0}) {
    NET_Element_ermitteln(key, AnzahlNETElemente);
    FUZZ_CHECK(net_anker == first);
  }
  for (int key : {AnzahlNETElemente + 1, INT_MAX}) {
    NET_Element_ermitteln(key, AnzahlNETElemente);
    FUZZ_CHECK(net_anker == net_ende);
  }
}
