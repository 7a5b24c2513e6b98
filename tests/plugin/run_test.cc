// One run of the plug-in from the host's call to the hand-back: the ripper
// checks at entry and end, configuration errors, the clean-up, the about
// box, the restored service, the windows as built and the status tick on
// screen and on the front-panel LCD.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "lcd/lcd_font.h"
#include "tests/plugin/plugin_world.h"

namespace {

using namespace world;

const char* kHostService = "1:0:1:1:1:1:0:0:0:0:";

TEST(Run, LeftOverRipperIsAskedAboutAtEntryAndAtTheEnd) {
  const std::string running = box("Oruvel", "0x23", "lumoripper is running. press OK to stopp ripping.");
  const std::string stopping = "lumoripper will be stopped.\\nplease wait.";
  Session s;
  {
    // Stopped at entry: the notice waits for the user before the ripper is stopped.
    SleepingRipper ripper(s);
    s.root.write("/tmp/lumopid", ripper.pidText() + "\n");
    s.play("answer 1\nanswer 1\ndump\n", 1);  // the window runs after the check
    EXPECT_EQ(ripper.endSignal(), SIGTERM);
    EXPECT_EQ(boxes(s.last), (Lines{running, box("Oruvel", "0x21", stopping)}));
    EXPECT_EQ(s.last.linesWith("msgbox closed 1").size(), 2u);
    EXPECT_FALSE(s.root.exists("/tmp/lumopid"));
    EXPECT_TRUE(s.root.exists("/tmp/lumopid.pid")) << "written again by the end check";
  }
  // Kept at entry: the window opens on it; at the end the notice is on
  // screen only while the ripper is stopped.
  SleepingRipper ripper(s);
  s.root.write("/tmp/lumopid", ripper.pidText() + "\n");
  auto d = s.play("answer 2\ndump\nanswer 1\n", 1);
  EXPECT_EQ(ripStatus(d[0]), "lumoripper is running. [PID: " + ripper.pidText() + "]");
  EXPECT_EQ(ripButton(d[0]), "Stop");
  EXPECT_EQ(boxes(s.last), (Lines{running, running, box("Oruvel", "0x1", stopping)}));
  EXPECT_EQ(s.last.linesWith("msgbox closed").size(), 2u);
  EXPECT_EQ(ripper.endSignal(), SIGTERM);
  EXPECT_FALSE(s.root.exists("/tmp/lumopid"));
}

TEST(Run, ConfigurationErrors) {
  Session s;
  // Missing: the run ends at once, without clean-up or restore.
  std::filesystem::remove(s.paths.conf);
  s.root.write("/tmp/lumonet", "page\n");
  s.play("dump\nservice\n", 0);
  EXPECT_TRUE(s.last.has("plugin_exec returned 1"));
  EXPECT_EQ(boxes(s.last), Lines{box("Oruvel", "0x21", "Configuration read error!\\n")});
  EXPECT_FALSE(s.last.has("playService"));
  EXPECT_TRUE(s.last.has(std::string("service \"") + kHostService + "\""));
  EXPECT_TRUE(s.root.exists("/tmp/lumonet"));
  // Overlong: the setting is named and the run goes on.
  testsupport::writeStandardConfig(s.root, "LUMOPIC=/" + std::string(200, 'p') + ".mvi\n");
  s.play("dump\n", 1);
  auto shown = s.last.linesWith("msgbox \"Oruvel\" flags=0x21");
  ASSERT_EQ(shown.size(), 1u) << s.last.out;
  EXPECT_NE(shown[0].find("LUMOPIC"), std::string::npos);
  EXPECT_EQ(shown[0].find("RIPPER"), std::string::npos);
}

TEST(Run, EndCleansUpRestoresTheServiceAndShowsTheAboutBoxOnRejection) {
  Session s;
  s.root.write("/tmp/lumonet", "page\n");
  s.root.write("/tmp/lumolist.m3u", "http://x/\n");
  // Left behind by a ripper that is gone: no question, the stale files go,
  // so the window does not show an old progress line and "Stop".
  s.root.write("/tmp/lumopid", "4711\n");
  s.root.write("/tmp/lumorip", "track 1: 345 kB\n");
  auto d = s.play("wait 3000\ndump\nkey exit\n", 1);
  EXPECT_TRUE(boxes(s.last).empty()) << s.last.out;
  EXPECT_EQ(ripStatus(d[0]), "lumoripper is not running.");
  EXPECT_EQ(ripButton(d[0]), "Rip");
  for (const char* f : {"/tmp/lumopid", "/tmp/lumorip", "/tmp/lumonet", "/tmp/lumolist.m3u"})
    EXPECT_FALSE(s.root.exists(f)) << f;
  EXPECT_TRUE(s.root.exists("/tmp/lumopid.pid"));
  EXPECT_EQ(s.last.linesWith("playService"), Lines{std::string("playService \"") + kHostService + "\" mode=40"});
  EXPECT_TRUE(s.last.has("plugin_exec returned 0"));

  // Leaving the genre selector without a choice closes the window with a
  // non-zero value: the about box follows before the hand-back.
  s.play("key ok\nkey up\nkey exit\n", 0);
  auto shown = boxes(s.last);
  ASSERT_EQ(shown.size(), 1u) << s.last.out;
  EXPECT_EQ(shown[0].rfind("msgbox \"Oruvel\" flags=0x21 \"Oruvel V0.2 by kWIBEL\\n", 0), 0u) << shown[0];
  EXPECT_EQ(s.last.linesWith("msgbox closed 1").size(), 1u);
  EXPECT_LT(s.last.out.find("Oruvel V0.2 by kWIBEL\\n"), s.last.out.find("playService \""));
  EXPECT_TRUE(s.last.has("plugin_exec returned 0"));
  EXPECT_EQ(s.genresRequested(), Lines{});
}

TEST(Run, TheServiceBeforeIsRestoredUnlessItsLockIsActive) {
  const std::string locked = "1:0:1:2:3:4:0:0:0:0:", host = kHostService;
  const struct {
    Lines args, restored;
  } cases[] = {
      {{"--service", locked, "--locked", locked}, {}},
      {{"--service", locked, "--locked", locked, "--lock-inactive"}, {"playService \"" + locked + "\" mode=40"}},
      {{"--service", host, "--locked", locked}, {"playService \"" + host + "\" mode=40"}},
      // Without a service interface the empty text is still handed back.
      {{"--no-service-api"}, {"playService \"\" mode=40"}},
  };
  Session s;
  for (const auto& c : cases) {
    s.play("", 0, c.args);
    EXPECT_EQ(s.last.linesWith("playService"), c.restored) << c.args[0] << "\n" << s.last.out;
  }
}

// The panel as 64 lines of 132 pixels, '1' lit: as the host's plain PBM
// holds it, or as `text` drawn with the font in its 7 rows of 14 cells
// of 8 x 8 pixels from (1, 8).
std::string panel(const std::string& path) {
  const std::string file = testsupport::readFile(path);
  if (file.rfind("P1\n132 64\n", 0) != 0) return "not a 132x64 picture";
  std::string bits;
  int pixels = 0;
  for (char c : file.substr(10))
    if (c == '0' || c == '1') {
      if (pixels++ % 132 == 0 && pixels > 1) bits += '\n';
      bits += c;
    }
  return bits;
}
std::string drawn(const std::string& text) {
  std::string bits;
  for (int y = 0; y < 64; ++y) {
    if (y > 0) bits += '\n';
    for (int x = 0; x < 132; ++x) {
      std::size_t cell = (y - 8) / 8 * 14 + (x - 1) / 8;
      bool lit = y >= 8 && x >= 1 && x < 113 && cell < text.size() &&
                 (lcd_font[static_cast<unsigned char>(text[cell]) * 8 + (y - 8) % 8] >> (7 - (x - 1) % 8)) & 1;
      bits += lit ? '1' : '0';
    }
  }
  return bits;
}

TEST(Run, MainWindowAsBuiltAndItsStatusTickEveryThreeSecondsOnScreenAndPanel) {
  Session s;
  // The title is what the host's player answers for the running service.
  auto d = s.play("wait 2900\nlcd " + s.root.at("/before.pbm") + "\nwait 99\ndump\nlcdlock\nwait 1\ndump\nlcd " +
                      s.root.at("/after.pbm") + "\nlcdlock\nwait 6000\nlcdlock\n",
                  2, {"--title", "Radio X - Song"});
  EXPECT_EQ(s.last.err.find("LCD ("), std::string::npos) << s.last.err;
  EXPECT_EQ(s.last.err.find("failed"), std::string::npos) << s.last.err;
  // The list box's row count is the host's.
  for (auto& line : d[0]) line = std::regex_replace(line, std::regex(" rows=[0-9]+"), "");
  EXPECT_EQ(d[0], (Lines{
      "window eWindow \"Oruvel V0.2 by kWIBEL\" client=(70,60) 560x460 running",
      "  eLabel pos=(10,10) size=80x30 text=\"Genre\" deco=eLabel",
      "  eComboBox pos=(80,10) size=240x30 text=\"Jazz\" help=\"Select your Shoutcast Genre\" "
      "deco=eComboBox *focus*",
      "    entry key=1 \"local:lumostations.xml\"",
      "    entry key=2 \"local: stations.xml\"",
      "    entry key=3 \"Rock\"",
      "    entry key=4 \"Metal\"",
      "    entry key=5 \"Jazz\" *current*",
      "  eTextInputField name=\"input_bitrate\" pos=(340,10) size=50x30 text=\"0\" "
      "help=\"Enter your own bitrate.\" hint=\"Example: 128 default / 0 disable this function\" "
      "max=5 chars=\"1234567890\" deco=eNumber",
      "  eTextInputField name=\"input_genre\" pos=(400,10) size=150x30 text=\"Metal\" "
      "help=\"Enter your own genre.\" hint=\"Example: Metal\" max=10 deco=eNumber",
      "  eLabel pos=(10,50) size=520x30 text=\" \" deco=eLabel",
      "  eListBox pos=(10,80) size=540x230 text=\"\" count=1 top=0 deco=eListBox",
      "    entry key=0 \"[leave listbox]\" *highlighted*",
      "  eLabel pos=(10,310) size=540x30 text=\" \" deco=eLabel",
      "  eButton pos=(10,350) size=100x30 text=\"Play\" help=\"Press to listen to the radio "
      "station.\" shortcut=green deco=eButton",
      "  eButton pos=(115,350) size=10x30 text=\"M\" help=\"Press OK to minimize the window.\" deco=eButton",
      "  eLabel pos=(130,350) size=350x30 text=\" \" deco=eLabel",
      "  eButton pos=(520,350) size=30x30 text=\"\" help=\"Save selected radio station.\" "
      "shortcut=yellow deco=eButton",
      "  eButton pos=(10,390) size=100x30 text=\"Rip\" help=\"Press to start rippering. Press "
      "again to stop it.\" shortcut=red deco=eButton",
      "  eLabel pos=(130,390) size=350x30 text=\"lumoripper is not running.\" deco=eLabel",
      "  eStatusBar pos=(10,430) size=540x30 text=\"Select your Shoutcast Genre\" deco=eStatusBar",
  }));
  EXPECT_EQ(playStatus(d[1]), "Radio X - Song");
  EXPECT_EQ(ripButton(d[1]), "Rip");
  // The host's LCD is released for each tick only and locked again after.
  EXPECT_EQ(s.last.linesWith("lcdlock "), (Lines{"lcdlock locked=1 count=1 locks=0 unlocks=0",
                                                 "lcdlock locked=1 count=1 locks=1 unlocks=1",
                                                 "lcdlock locked=1 count=1 locks=3 unlocks=3"}));
  EXPECT_EQ(panel(s.root.at("/before.pbm")), drawn("")) << "nothing is drawn before the first tick";
  EXPECT_EQ(panel(s.root.at("/after.pbm")), drawn("Oruvel V0.2 PLAY:Radio X - Song  RIP: lumoripper is not running."));
}

TEST(Run, PlayerWindowOpensRefreshesAndReturnsToPlay) {
  Session s;
  testsupport::writeFile(s.paths.picture, "still picture\n");
  s.root.write("/tmp/lumorip", "track 3: 512 kB\n");
  // From the genre selector down to "M": bitrate, genre, list, Play, M.
  const std::string toMini = "key down\nkey down\nkey down\nkey down\nkey down\nkey ok\n";
  std::vector<Lines> d;
  {
    SleepingRipper ripper(s);  // a ripper runs and is kept, so its progress file stays
    d = s.play("answer 2\n" + toMini + "dump\nlcdlock\nwait 2999\ndump\nwait 1\ndump\nlcdlock\nkey exit\ndump\nanswer 2\n",
               4, {"--title", "Radio X - Song", "--title2", "Kestrel FM"});
  }
  EXPECT_EQ(s.last.linesWith("stillpicture \"" + s.paths.picture + "\"").size(), 1u) << s.last.out;
  auto player = [](const char* title, const char* title2, const char* rip) {
    return Lines{"window eWindow \"Oruvel player\" client=(70,100) 560x110 running",
                 std::string("  eLabel pos=(10,10) size=400x30 text=\"") + title + "\" deco=eLabel",
                 std::string("  eLabel pos=(10,40) size=400x30 text=\"") + title2 + "\" deco=eLabel",
                 std::string("  eLabel pos=(10,80) size=400x30 text=\"") + rip + "\" deco=eLabel"};
  };
  // Only the player window is on screen; its labels start blank and its
  // own tick fills them.
  EXPECT_EQ(d[0], player(" ", " ", " "));
  EXPECT_EQ(d[1], player(" ", " ", " ")) << "no refresh before three seconds";
  EXPECT_EQ(d[2], player("Radio X - Song", "Kestrel FM", "track 3: 512 kB\\n"));
  // Both windows' ticks drew the LCD, each between an unlock and a lock.
  EXPECT_EQ(s.last.linesWith("lcdlock "), (Lines{"lcdlock locked=1 count=1 locks=0 unlocks=0",
                                                 "lcdlock locked=1 count=1 locks=2 unlocks=2"}));
  // Back in the main window, which kept ticking while hidden.
  EXPECT_EQ(lineOf(d[3], "window "), "window eWindow \"Oruvel V0.2 by kWIBEL\" client=(70,60) 560x460 running");
  EXPECT_TRUE(focusedAt(d[3], kPlay)) << lineOf(d[3], kPlay);
  EXPECT_EQ(ripStatus(d[3]), "track 3: 512 kB\\n");
  EXPECT_EQ(playStatus(d[3]), "Radio X - Song");

  // No picture, no ripper, no titles: a blank where the main window names the ripper.
  std::filesystem::remove(s.paths.picture);
  std::filesystem::remove(s.root.at("/tmp/lumorip"));
  d = s.play(toMini + "wait 3000\ndump\nkey exit\n", 1);
  EXPECT_TRUE(s.last.linesWith("stillpicture").empty()) << s.last.out;
  EXPECT_EQ(d[0], player("", "", " "));
}

}  // namespace
