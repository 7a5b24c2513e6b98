#pragma once
// Fills a list box from the Station list in one walk: "[leave listbox]"
// with key 0, then station k with key k, in key order.
#include "ui/info_box.h"
#include "directory/station_list.h"
#include "host/host.h"

namespace oruvel {

inline void fillStationListBox(eListBox<eListBoxEntryText>* box) {
  box->beginAtomic();
  box->clearList();
  new eListBoxEntryText(box, "[leave listbox]", keyPointer(0), 0, eString(), 0);
  const std::vector<StationNode*>& stations = stationsInKeyOrder();
  for (std::size_t i = 0; i < stations.size(); ++i)
    new eListBoxEntryText(box, stations[i]->name, keyPointer(static_cast<int>(i) + 1), 0,
                          eString(), 0);
  box->endAtomic();
  // Looking each station up by key left the cursor on the last one; saving
  // right after a refill offers that station.
  if (!stations.empty()) net_anker = stations.back();
}

}  // namespace oruvel
