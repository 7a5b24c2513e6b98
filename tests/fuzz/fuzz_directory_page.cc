// The directory page: any bytes read as /tmp/lumonet, under a bitrate
// filter the first byte picks, give a whole Station list and never a
// station below the filter.
#include "directory/line_values.h"
#include "directory/station_list.h"
#include "base/fixed_paths.h"
#include "base/fixed_text.h"
#include "tests/fuzz/fuzz_support.h"

FUZZ_TARGET(in) {
  static const std::string page = fuzzsupport::at(oruvel::paths::kLumoNet);
  static const char* const kFilters[] = {"0", "64", "128", "99999", "1", "", "abc", "-5"};
  oruvel::copyBounded(which_bitrate, kFilters[in.choice % 8]);
  fuzzsupport::writeFile(page, in.text);
  FUZZ_CHECK(oruvel::readDirectoryPage(page));
  fuzzsupport::checkStationList();
  const long filter = oruvel::leadingInteger(which_bitrate);
  for (StationNode* n : oruvel::stationsInKeyOrder())
    // A value that filled its field may have been cut; one that fits is whole.
    if (in.choice % 8 != 0 && n->bitrate[0] != '\0' && std::strlen(n->bitrate) < sizeof n->bitrate - 1)
      FUZZ_CHECK(oruvel::leadingInteger(n->bitrate) >= filter);
}
