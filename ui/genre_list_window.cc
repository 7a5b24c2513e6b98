// The genre selector filled from the genre file.
#include "directory/genre_list.h"
#include "ui/info_box.h"
#include "base/config.h"
#include "ui/main_window.h"

void eOruvel::ReadGenreList() {
  bool read = oruvel::readGenreList(MYGENREFILE, [this](const char* name, int key) {
    auto* entry = new eListBoxEntryText(genre_combo, name, oruvel::keyPointer(key), 0, eString(), 0);
    genre_combo->setCurrent(entry, false);
  });
  if (!read) oruvel::showInformation(MYGENREFILE);
}
