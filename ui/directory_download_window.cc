// The directory page for the current genre, fetched while the window waits.
#include "directory/directory_download.h"
#include "directory/genre_list.h"
#include "base/fixed_text.h"
#include "ui/main_window.h"

void eOruvel::DownloadShoutcastFile() {
  list_status->setText("downloading... please wait.");
  oruvel::downloadDirectoryPage(oruvel::fixedView(which_genre));
  list_status->setText("finished downloading.");
}
