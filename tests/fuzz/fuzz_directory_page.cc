// The directory page: any bytes read as /tmp/lumonet, under a bitrate
// filter taken from the input, give a whole Station list and never a
// station below the filter.
#include <cstdint>

#include "directory/line_values.h"
#include "plugin/fixed_paths.h"
#include "plugin/fixed_text.h"
#include "tests/fuzz/station_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string page = fuzzsupport::at(oruvel::paths::kLumoNet);
  // The first byte chooses the filter: off, or a figure of up to five digits.
  fuzzsupport::Split in = fuzzsupport::splitFirst(data, size);
  static const char* const kFilters[] = {"0", "64", "128", "99999", "1", "", "abc", "-5"};
  oruvel::copyBounded(which_bitrate, kFilters[in.choice % 8]);
  fuzzsupport::writeFile(page, in.text);
  FUZZ_CHECK(oruvel::readDirectoryPage(page));
  checkStationList();
  if (in.choice % 8 != 0) {
    long filter = oruvel::leadingInteger(which_bitrate);
    for (StationNode* n : oruvel::stationsInKeyOrder())
      // A value that filled its field may have been cut; one that fits is whole.
      if (n->bitrate[0] != '\0' && std::strlen(n->bitrate) < sizeof n->bitrate - 1)
        FUZZ_CHECK(oruvel::leadingInteger(n->bitrate) >= filter);
  }
  return 0;
}
