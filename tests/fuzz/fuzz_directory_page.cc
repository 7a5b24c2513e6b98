// The directory page: any /tmp/lumonet, under a bitrate filter the first byte
// picks, gives a whole Station list and never a station below the filter.
#include "base/fixed_paths.h"
#include "base/fixed_text.h"
#include "directory/line_values.h"
#include "tests/fuzz/fuzz_support.h"

FUZZ_TARGET(in) {
  // Kept from input to input, as the plug-in keeps it from run to run.
  static oruvel::StationList stations;
  static const char* const kFilters[] = {"0", "64", "128", "99999", "1", "", "abc", "-5"};
  oruvel::copyBounded(stations.which_bitrate, kFilters[in.choice % 8]);
  const std::string page = fuzzsupport::at(oruvel::paths::kLumoNet);
  fuzzsupport::writeFile(page, in.text);
  FUZZ_CHECK(oruvel::readDirectoryPage(stations, page));
  fuzzsupport::checkStationList(stations);
  // A value that filled its field may have been cut; one that fits is whole.
  for (StationNode* n : stations.stationsInKeyOrder())
    if (in.choice % 8 != 0 && n->bitrate[0] != '\0' && std::strlen(n->bitrate) < n->kBitrateBytes)
      FUZZ_CHECK(oruvel::leadingInteger(n->bitrate) >= oruvel::leadingInteger(stations.which_bitrate));
}
