// Choosing a station, resolving its stream, and playing it.
#include <cstdio>

#include "ui/info_box.h"
#include "directory/station_list.h"
#include "ui/station_list_box.h"
#include "directory/tune_in.h"
#include "base/config.h"
#include "base/fixed_text.h"
#include "ui/play_service.h"
#include "base/regular_file.h"
#include "ui/main_window.h"

void eOruvel::selectedItem(eListBoxEntryText* entry) {
  if (!entry) return;
  const int key = oruvel::entryKey(entry);
  item_eintrag = key + 1;
  if (item_eintrag == 1) {
    station_info->setText(" ");
    list_status->setText(" ");
    setFocus(genre_combo);
    return;
  }
  NET_Element_ermitteln(key, AnzahlNETElemente);
  BuildPlayRipStrings();
  if (playlistread_error == 0) {
    station_info->setText(oruvel::stationRowText(item_eintrag, net_anker->name));
    setFocus(play_button);
  } else {
    station_info->setText("playlist could not be read. please select another stream.");
    setFocus(station_list);
  }
}

void eOruvel::BuildPlayRipStrings() {
  ripp_stream[0] = '\0';
  playlist_string[0] = '\0';
  if (net_anker) {
    station_info->setText("downloading playlist...");
    oruvel::downloadPlaylist(oruvel::fixedView(net_anker->id));
    station_info->setText("downloading playlist finshed");
  }
  if (!net_anker || oruvel::resolveStreamStrings() != 0) {
    oruvel::showInformation(
        oruvel::translated("Playlist could not be created.\nPlease select another stream."));
    playlistread_error = 1;
    return;
  }
  playlistread_error = 0;
  play_status->setText(eString().sprintf("%s", playlist_string));
  rip_status->setText(eString().sprintf("%s", ripp_stream));
}

void eOruvel::selectedGREEN() {
  if (play_stream[0] == '\0') {
    // Nothing resolved yet: an empty reference would play nothing.
    play_status->setText("no stream chosen. please select a station first.");
    return;
  }
  showPic();
  play_status->setText(eString().sprintf("playing %s", playlist_string));
  my_playService(eServiceReference(eString(play_stream)));
}

void eOruvel::showPic() {
  Decoder::parms.apid = 0x1FFE;  // the block's second field
  Decoder::Set();
  // Only a regular file: the decoder would hang on a FIFO or read a device for ever.
  if (std::FILE* picture = oruvel::openRegularFile(LUMOPIC, "r")) {
    std::fclose(picture);
    Decoder::displayIFrameFromFile(LUMOPIC);
  }
}
