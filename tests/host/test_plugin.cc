// A small plug-in for driving oruvel-host from its tests: one window with a
// label, a text field, a combo box, a list box, buttons on the colour keys,
// a periodic timer, message boxes and a play request.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "host/host.h"

namespace {

void* keyOf(int n) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(n)); }

class TestWindow : public eWindow {
 public:
  TestWindow() : eWindow(1) {
    cmove(ePoint(100, 80));
    cresize(eSize(400, 300));
    setText("Test window");

    status = new eLabel(this);
    status->move(ePoint(10, 10));
    status->resize(eSize(380, 30));
    status->loadDeco();
    status->setText("ready");

    // What the host was told on its command line.
    info = new eLabel(this);
    info->setName("info");
    info->move(ePoint(10, 200));
    info->resize(eSize(380, 30));
    info->loadDeco();
    eServiceInterface* api = eDVB::getInstance()->getServiceAPI();
    eServiceReference current = api ? api->getCurrentService() : eServiceReference();
    int hide = -1;
    eConfig::getInstance()->getKey("/elitedvb/hidelocked", hide);
    const char* root = std::getenv("ORUVEL_ROOT");
    const char* directory = std::getenv("ORUVEL_DIRECTORY");
    eString text;
    text.sprintf("locked=%d active=%d hidelocked=%d root=%s directory=%s",
                 static_cast<int>(eServiceReference::locked.count(current)),
                 eConfig::getInstance()->parentalLockActive() ? 1 : 0, hide, root ? root : "-",
                 directory ? directory : "-");
    info->setText(text);

    field = new eTextInputField(this);
    field->setName("field");
    field->setMaxChars(4);
    field->setUseableChars("0123456789");
    field->move(ePoint(10, 50));
    field->resize(eSize(80, 30));
    field->loadDeco();
    field->setHelpText("Type a number.");
    field->editHelpText = "Example: 128";
    field->setText("0");
    field->selected.connect(SigC::slot(*this, &TestWindow::fieldActivated));

    combo = new eComboBox(this, 3);
    combo->setName("combo");
    combo->move(ePoint(100, 50));
    combo->resize(eSize(150, 30));
    combo->loadDeco();
    for (int i = 1; i <= 3; ++i) {
      static const char* names[] = {"", "One", "Two", "Three"};
      combo->setCurrent(new eListBoxEntryText(combo, names[i], keyOf(i)), false);
    }
    combo->selchanged.connect(SigC::slot(*this, &TestWindow::comboChosen));

    list = new eListBox<eListBoxEntryText>(this, nullptr, 1, 0, "eListBox");
    list->setName("list");
    list->move(ePoint(10, 90));
    list->resize(eSize(380, 60));  // three rows
    list->loadDeco();
    for (int i = 0; i < 5; ++i) {
      eString text;
      text.sprintf("Station %d", i);
      new eListBoxEntryText(list, text.c_str(), keyOf(i * 10));
    }
    list->selected.connect(SigC::slot(*this, &TestWindow::listChosen));
    list->selchanged.connect(SigC::slot(*this, &TestWindow::listMoved));

    play = new eButton(this);
    play->setName("play");
    play->setShortcut("green");
    play->move(ePoint(10, 160));
    play->resize(eSize(100, 30));
    play->loadDeco();
    play->setText("Ask");
    play->selected.connect(SigC::slot(*this, &TestWindow::ask));

    stream = new eButton(this);
    stream->setShortcut("red");
    stream->move(ePoint(120, 160));
    stream->resize(eSize(100, 30));
    stream->loadDeco();
    stream->setText("Stream");
    stream->selected.connect(SigC::slot(*this, &TestWindow::playStream));

    picture = new eButton(this);
    picture->setShortcut("yellow");
    picture->move(ePoint(230, 160));
    picture->resize(eSize(100, 30));
    picture->setText("Picture");
    picture->selected.connect(SigC::slot(*this, &TestWindow::showPicture));

    bar = new eStatusBar(this);
    bar->move(ePoint(10, 260));
    bar->resize(eSize(380, 30));
    bar->loadDeco();

    setFocus(combo);
    timer = new eTimer(eApp);
    timer->timeout.connect(SigC::slot(*this, &TestWindow::tick));
    timer->start(1000, false);
  }
  ~TestWindow() override {
    timer->stop();
    delete timer;
  }

  void fieldActivated() {
    eString text;
    text.sprintf("field %s: %s", field->isEditing() ? "editing" : "done", field->getText().c_str());
    status->setText(text);
  }
  void comboChosen(eListBoxEntryText* entry) {
    if (!entry) {
      reject();
      return;
    }
    status->setText("chose " + entry->getText());
  }
  void listChosen(eListBoxEntryText* entry) { status->setText("picked " + entry->getText()); }
  void listMoved(eListBoxEntryText* entry) {
    eString text;
    text.sprintf("at key %d", static_cast<int>(reinterpret_cast<std::intptr_t>(entry->getKey())));
    status->setText(text);
  }
  void ask() {
    eMessageBox box("Really?\nSecond line", "Question", 0x2c, 1, 0);
    box.show();
    int answer = box.exec();
    box.hide();
    eString text;
    text.sprintf("answer %d", answer);
    status->setText(text);
  }
  void playStream() {
    eZapMain::getInstance()->playService(
        eServiceReference(eString("4096:0:0:0:0:0:0:0:0:0:http://radio.example:8000/live")), 40);
  }
  void showPicture() {
    Decoder::parms.apid = 0x1ffe;
    Decoder::Set();
    Decoder::displayIFrameFromFile("/nowhere/radio.mvi");
  }
  void tick() {
    ++ticks;
    eServiceHandler* handler = eServiceInterface::getInstance()->getService();
    eString text;
    text.sprintf("tick %d at %lld title=%s", ticks, static_cast<long long>(eApp->now()),
                 handler ? handler->getInfo(1).c_str() : "-");
    status->setText(text);
    eDBoxLCD::getInstance()->unlock();
    eDBoxLCD::getInstance()->lock();
  }

  eLabel* status;
  eLabel* info;
  eTextInputField* field;
  eComboBox* combo;
  eListBox<eListBoxEntryText>* list;
  eButton *play, *stream, *picture;
  eStatusBar* bar;
  eTimer* timer;
  int ticks = 0;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) int plugin_exec() {
  eServiceInterface* api = eDVB::getInstance()->getServiceAPI();
  eString saved = api ? ref2string(api->getCurrentService()) : eString();
  {
    eMessageBox notice("Starting", "Test", 1, 1, 0);
    notice.show();  // shown while working, never run
    notice.hide();
  }
  eMessageBox start("Start the window?", "Test", 0x23, 1, 0);
  start.show();
  int go = start.exec();
  start.hide();
  if (go != 1) return 7;
  TestWindow window;
  window.show();
  int result = window.exec();
  window.hide();
  eZapMain::getInstance()->playService(string2ref(saved), 40);
  return result;
}
