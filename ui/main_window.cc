#include "ui/main_window.h"

#include <clocale>

#include "base/version.h"
#include "ui/widget_factory.h"

namespace {

using oruvel::makeLabel;
using oruvel::placed;

eButton* makeButton(eOruvel* window, int x, int y, int width, int height, const char* colour) {
  eButton* button = placed(new eButton(window, nullptr, 1, "eButton"), x, y, width, height);
  if (colour) {
    button->setShortcut(colour);
    button->setShortcutPixmap(colour);
  }
  button->loadDeco();
  return button;
}

eTextInputField* makeInput(eOruvel* window, const char* name, int maxChars,
                           const char* useableChars, int x, int y, int width) {
  auto* field = new eTextInputField(window, nullptr, nullptr, "eNumber");
  field->setName(name);
  field->setMaxChars(maxChars);
  if (useableChars) field->setUseableChars(useableChars);
  placed(field, x, y, width, 30);
  field->loadDeco();
  return field;
}

}  // namespace

eOruvel::eOruvel(oruvel::PluginState& state)
    : eWindow(1), state_(state), browser_(state.config, state.genres, state.stations, state.tuneIn) {
  cmove(ePoint(70, 60));
  cresize(eSize(560, 460));
  setText("Oruvel V" ORUVEL_VERSION " by kWIBEL");

  genre_label = makeLabel(this, 10, 10, 80, 30, "Genre");

  genre_combo = placed(new eComboBox(this, 5, nullptr, 1, "eComboBox"), 80, 10, 240, 30);
  genre_combo->loadDeco();
  genre_combo->setName("genre_combo");
  genre_combo->setHelpText(dcgettext(nullptr, "Select your Shoutcast Genre", LC_MESSAGES));
  ReadGenreList();
  genre_combo->selchanged.connect(SigC::slot(*this, &eOruvel::selectedComboBox));

  input_bitrate = makeInput(this, "input_bitrate", 5, "1234567890", 340, 10, 50);
  input_bitrate->setHelpText("Enter your own bitrate.");
  input_bitrate->editHelpText = "Example: 128 default / 0 disable this function";
  input_bitrate->setText("0");
  input_bitrate->selected.connect(SigC::slot(*this, &eOruvel::selectedBitrate));

  input_genre = makeInput(this, "input_genre", 10, nullptr, 400, 10, 150);
  input_genre->setHelpText("Enter your own genre.");
  input_genre->editHelpText = "Example: Metal";
  input_genre->setText("Metal");
  input_genre->selected.connect(SigC::slot(*this, &eOruvel::selectedInputBox));

  list_status = makeLabel(this, 10, 50, 520, 30, " ");
  list_status->setName("list_status");

  station_list = placed(new eListBox<eListBoxEntryText>(this, nullptr, 1,
                                                        eListBoxEntryText::getEntryHeight(),
                                                        "eListBox"),
                        10, 80, 540, 230);
  station_list->loadDeco();
  station_list->setName("station_list");
  new eListBoxEntryText(station_list, "[leave listbox]", nullptr, 0, eString(), 0);
  station_list->selected.connect(SigC::slot(*this, &eOruvel::selectedItem));
  station_list->selchanged.connect(SigC::slot(*this, &eOruvel::selectionChanged));

  station_info = makeLabel(this, 10, 310, 540, 30, " ");
  station_info->setName("station_info");

  play_button = makeButton(this, 10, 350, 100, 30, "green");
  play_button->setText("Play");
  play_button->setName("play_button");
  play_button->setHelpText("Press to listen to the radio station.");
  play_button->selected.connect(SigC::slot(*this, &eOruvel::selectedGREEN));

  mini_button = makeButton(this, 115, 350, 10, 30, nullptr);
  mini_button->setName("mini_button");
  mini_button->setText("M");
  mini_button->setHelpText("Press OK to minimize the window.");
  mini_button->selected.connect(SigC::slot(*this, &eOruvel::miniSelButton));

  play_status = makeLabel(this, 130, 350, 350, 30, " ");
  play_status->setName("play_status");

  save_button = makeButton(this, 520, 350, 30, 30, "yellow");
  save_button->setHelpText("Save selected radio station.");
  save_button->selected.connect(SigC::slot(*this, &eOruvel::selectedYELLOW));

  // Created after the yellow button although declared before it.
  rip_button = makeButton(this, 10, 390, 100, 30, "red");
  rip_button->setText("Rip");
  rip_button->setName("rip_button");
  rip_button->setHelpText("Press to start rippering. Press again to stop it.");
  rip_button->selected.connect(SigC::slot(*this, &eOruvel::selectedRED));

  rip_status = makeLabel(this, 130, 390, 350, 30, " ");
  rip_status->setName("rip_status");

  status_bar = placed(new eStatusBar(this, 0, "eStatusBar"), 10, 430, 540, 30);
  status_bar->loadDeco();

  setHelpID(93);
  setFocus(genre_combo);

  status_timer = std::make_unique<oruvel::StatusTicker>(
      state_, oruvel::StatusTicker::Labels{play_status, nullptr, rip_button, rip_status, "lumoripper is not running."},
      SigC::slot(*this, &eOruvel::getStreamInfo));

  LumoRipperStatus();
}

// The children go with the host's widget tree; the status tick is ours.
eOruvel::~eOruvel() = default;

void eOruvel::selectedYELLOW() { WriteMyStations(); }

void eOruvel::getStreamInfo() { status_timer->tick(); }
