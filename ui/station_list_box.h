#pragma once
// The station list box: filled from the Station list in one walk
// ("[leave listbox]" with key 0, then station k with key k, in key order),
// and the label text of its highlighted row.
#include <charconv>
#include <cstring>

#include "ui/list_keys.h"
#include "directory/station_list.h"
#include "host/host.h"

namespace oruvel {

inline void fillStationListBox(eListBox<eListBoxEntryText>* box, StationList& list) {
  const eString noHelp;
  box->beginAtomic();
  box->clearList();
  new eListBoxEntryText(box, "[leave listbox]", keyPointer(0), 0, noHelp, 0);
  const std::vector<StationNode*>& stations = list.stationsInKeyOrder();
  for (std::size_t i = 0; i < stations.size(); ++i)
    new eListBoxEntryText(box, stations[i]->name, keyPointer(static_cast<int>(i) + 1), 0, noHelp, 0);
  box->endAtomic();
  // Looking each station up by key left the cursor on the last one; saving
  // right after a refill offers that station.
  if (!stations.empty()) list.net_anker = stations.back();
}

// "(%i) %s" with the row and the station's name, made without a format
// parser: it is shown at every move of the highlight.
inline eString stationRowText(int row, const char* name) {
  char number[16];
  const auto digits = static_cast<std::size_t>(std::to_chars(number, number + sizeof number, row).ptr - number);
  const std::size_t nameLength = std::strlen(name);
  eString text;
  text.reserve(digits + 3 + nameLength);
  text.append(1, '(').append(number, digits).append(") ", 2).append(name, nameLength);
  return text;
}

}  // namespace oruvel
