// Saving the current station to the favourites file, after asking.
#include <cstdio>

#include "directory/favourites.h"
#include "ui/info_box.h"
#include "directory/station_list.h"
#include "base/config.h"
#include "base/fixed_text.h"
#include "base/regular_file.h"
#include "ui/main_window.h"

int eOruvel::WriteMyStations() {
  if (!net_anker) {
    // No list read yet (or an empty one): there is nothing to save.
    oruvel::showInformation("no radio station selected.\nPlease select a station first.");
    return 1;
  }
  const std::string_view id = oruvel::fixedView(net_anker->id);
  if (!oruvel::favouriteReadsBack(oruvel::fixedView(net_anker->name), id)) {
    // Saved as it is, it would come back as another station's id.
    oruvel::showInformation(eString().sprintf(
        "This radio station cannot be saved:\nits id \"%s\" would not be read back the same\n"
        "and would play another station.",
        net_anker->id));
    return 1;
  }
  std::FILE* file = oruvel::openRegularFile(MYSTATIONSFILE, "a+");
  if (!file) return 1;

  const int answer =
      oruvel::askUser(eString(net_anker->name), "Oruvel - save radio station", oruvel::kBoxInfoYesNo);

  bool saved = true;
  if (answer == eMessageBox::btYes)
    saved = oruvel::appendFavourite(file, oruvel::fixedView(net_anker->name), id);
  if (std::fclose(file) != 0) saved = false;
  if (!saved) {
    oruvel::showInformation(eString().sprintf("radio station could not be saved to\n%s",
                                              MYSTATIONSFILE));
    return 1;
  }
  return 0;
}
