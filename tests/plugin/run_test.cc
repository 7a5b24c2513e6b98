// One run from the host's call to the hand-back: ripper checks, configuration
// errors, clean-up, about box, restored service, windows and the status tick;
// the red key, and PID files that must never lead to killing the wrong process.
#include <gtest/gtest.h>

#include <string>

#include "lcd/lcd_font.h"
#include "tests/plugin/plugin_world.h"

namespace {

using namespace world;

const std::string kHostService = "1:0:1:1:1:1:0:0:0:0:";
std::string restored(const std::string& service) { return "playService \"" + service + "\" mode=40"; }

TEST(Run, LeftOverRipperIsAskedAboutAtEntryAndAtTheEnd) {
  const std::string stopping = "lumoripper will be stopped.\\nplease wait.";
  Session s;
  // Stopped at entry, the notice waiting for the user; or kept, the window
  // opening on it and the notice at the end up only while it is stopped.
  for (bool keep : {false, true}) {
    SleepingRipper ripper(s.root);
    s.root.write("/tmp/lumopid", ripper.pidText() + "\n");
    auto d = s.play(keep ? "answer 2\ndump\nanswer 1\n" : "answer 1\nanswer 1\ndump\n", 1);
    EXPECT_EQ(boxes(s.last), (keep ? Lines{kRunning, kRunning, box("Oruvel", "0x1", stopping)}
                                   : Lines{kRunning, box("Oruvel", "0x21", stopping)}));
    EXPECT_EQ(ripper.endSignal(), SIGTERM);
    EXPECT_FALSE(s.root.exists("/tmp/lumopid"));
    if (keep) {
      EXPECT_EQ(ripLine(d[0]), "Stop: lumoripper is running. [PID: " + ripper.pidText() + "]");
    }
  }
}

TEST(Run, ConfigurationErrorsCleanUpTheServiceAndTheAboutBox) {
  Session s;
  // A missing configuration ends the run at once, without clean-up or restore.
  fs::remove(s.paths.conf);
  s.root.write("/tmp/lumonet", "page\n");
  s.play("dump\n", 0);
  EXPECT_TRUE(s.last.has("plugin_exec returned 1"));
  EXPECT_EQ(boxes(s.last), Lines{box("Oruvel", "0x21", "Configuration read error!\\n")});
  EXPECT_TRUE(s.last.linesWith("playService").empty());
  EXPECT_TRUE(s.root.exists("/tmp/lumonet"));
  // An overlong setting is named and the run goes on.
  writeConfig(s.root, "LUMOPIC=/" + std::string(200, 'p') + ".mvi\n");
  s.play("", 0);
  auto shown = boxes(s.last);
  EXPECT_TRUE(shown.size() == 1 && shown[0].find("LUMOPIC") != std::string::npos &&
              shown[0].find("RIPPER") == std::string::npos) << s.last.out;
  // Files left by a ripper that is gone: no question, they go with the
  // others, so the window shows no old progress line and "Rip".
  writeConfig(s.root);
  for (const char* f : {"/tmp/lumonet", "/tmp/lumolist.m3u", "/tmp/lumopid", "/tmp/lumorip"}) s.root.write(f, "4711\n");
  auto d = s.play("wait 3000\ndump\nkey exit\n", 1);
  EXPECT_TRUE(boxes(s.last).empty()) << s.last.out;
  EXPECT_EQ(ripLine(d[0]), "Rip: lumoripper is not running.");
  for (const char* f : {"/tmp/lumopid", "/tmp/lumorip", "/tmp/lumonet", "/tmp/lumolist.m3u"})
    EXPECT_FALSE(s.root.exists(f)) << f;
  EXPECT_TRUE(s.root.exists("/tmp/lumopid.pid"));
  EXPECT_EQ(s.last.linesWith("playService"), Lines{restored(kHostService)});
  // Leaving the genre selector without a choice closes the window with a
  // non-zero value: the about box comes before the hand-back.
  s.play("key ok\nkey up\nkey exit\n", 0);
  shown = boxes(s.last);
  const std::string about = "msgbox \"Oruvel\" flags=0x21 \"Oruvel V0.2 by kWIBEL\\n";
  EXPECT_TRUE(shown.size() == 1 && shown[0].rfind(about, 0) == 0) << s.last.out;
  EXPECT_LT(s.last.out.find("Oruvel V0.2 by kWIBEL\\n"), s.last.out.find("playService \""));
  EXPECT_TRUE(s.last.has("plugin_exec returned 0"));
  EXPECT_EQ(s.genresRequested(), Lines{});
}

TEST(Run, TheServiceBeforeIsRestoredUnlessItsLockIsActive) {
  const std::string locked = "1:0:1:2:3:4:0:0:0:0:";
  const std::pair<Lines, Lines> cases[] = {  // host options, the services restored
      {{"--service", locked, "--locked", locked}, {}},
      {{"--service", locked, "--locked", locked, "--lock-inactive"}, {restored(locked)}},
      {{"--service", kHostService, "--locked", locked}, {restored(kHostService)}},
      {{"--no-service-api"}, {restored("")}}};  // the empty text is still handed back
  Session s;
  for (const auto& [args, services] : cases) {
    s.play("", 0, args);
    EXPECT_EQ(s.last.linesWith("playService"), services) << args[0] << "\n" << s.last.out;
  }
}

TEST(Ripper, RedKeyStopsOnlyARipperThePidFileNames) {
  // A ripper runs and is kept at entry, so the PID file survives the entry
  // check and the red key meets it. Naming the test's own process kills nothing.
  Session s;
  SleepingRipper ripper(s.root);
  s.root.write("/tmp/lumopid", std::to_string(getpid()) + "\n");
  auto d = s.play("answer 2\nkey red\ndump\nanswer 2\n", 1);
  EXPECT_EQ(ripLine(d[0]), "Stop: no lumoripper stopped: /tmp/lumopid named none, removed it.");
  EXPECT_TRUE(s.last.linesWith("flags=0x20").empty());
  EXPECT_FALSE(s.root.exists("/tmp/lumopid"));
  EXPECT_TRUE(ripper.alive());
  // Naming the ripper of an earlier run, the press stops it and waits for
  // its end; the button says Stop all the same, so the next press is a stop.
  s.root.write("/tmp/lumopid", ripper.pidText() + "\n");
  d = s.play("answer 2\nkey red\ndump\n", 1);
  EXPECT_EQ(s.last.linesWith("flags=0x20 \"lumoripper will be stopped.").size(), 1u) << s.last.out;
  EXPECT_EQ(ripLine(d[0]), "Stop: lumoripper is not running");
  EXPECT_EQ(ripper.endSignal(), SIGTERM);
}

TEST(Status, RipperLineAfterAPressWithoutAStationAndAfterTheTick) {
  // The press starts nothing but says Stop; the tick sees no ripper and says
  // Rip; the next press still takes the stop path.
  Session s;
  auto d = s.play("wait 3000\ndump\nkey red\ndump\nwait 3000\ndump\nkey red\ndump\n", 4);
  EXPECT_EQ(ripLine(d[1]), "Stop: no station chosen: lumoripper not started.");
  EXPECT_TRUE(!s.root.exists("/tmp/lumorip") && fs::is_empty(s.paths.ripdir));
  for (int i : {0, 2, 3}) EXPECT_EQ(ripLine(d[i]), "Rip: lumoripper is not running.") << i;
}

// The panel's 132x64 pixels, '1' lit, as the host's plain PBM holds them;
// and as `text` drawn with the font in 7 rows of 14 cells of 8x8 from (1,8).
std::string panel(const std::string& path) {
  std::string file = readFile(path), bits = file.rfind("P1\n132 64\n", 0) == 0 ? "" : "not a 132x64 picture";
  for (char c : file.substr(std::min<std::size_t>(10, file.size())))
    if (c == '0' || c == '1') bits += c;
  return bits;
}
std::string drawn(const std::string& text) {
  std::string bits;
  for (int i = 0; i < 64 * 132; ++i) {
    const int x = i % 132, y = i / 132;
    std::size_t cell = (y - 8) / 8 * 14 + (x - 1) / 8;
    const unsigned char c = cell < text.size() ? text[cell] : ' ';
    bits += y >= 8 && x >= 1 && x < 113 && (lcd_font[c * 8 + (y - 8) % 8] >> (7 - (x - 1) % 8)) & 1 ? '1' : '0';
  }
  return bits;
}

TEST(Run, MainWindowAndItsStatusTickEveryThreeSecondsOnScreenAndPanel) {
  Session s;
  // The title is what the host's player answers for the running service.
  auto d = s.play("wait 2900\nlcd " + s.root.at("/before.pbm") + "\nwait 99\ndump\nwait 1\ndump\nlcd " +
                      s.root.at("/after.pbm") + "\nwait 6000\nlcdlock\n", 2, {"--title", "Radio X - Song"});
  EXPECT_TRUE(s.last.err.find("LCD (") == s.last.err.find("failed")) << s.last.err;  // neither
  EXPECT_EQ(text(d[0], "play_status"), " ") << "no tick before three seconds";
  EXPECT_EQ(text(d[1], "play_status"), "Radio X - Song");
  // The host's LCD is released for each tick only and locked again after.
  EXPECT_EQ(s.last.linesWith("lcdlock "), Lines{"lcdlock locked=1 count=1 locks=3 unlocks=3"});
  EXPECT_EQ(panel(s.root.at("/before.pbm")), drawn("")) << "nothing is drawn before the first tick";
  EXPECT_EQ(panel(s.root.at("/after.pbm")), drawn("Oruvel V0.2 PLAY:Radio X - Song  RIP: lumoripper is not running."));
}

TEST(Run, PlayerWindowOpensRefreshesAndReturnsToPlay) {
  Session s;
  writeFile(s.paths.picture, "still picture\n");
  s.root.write("/tmp/lumorip", "track 3: 512 kB\nmore\n");  // its first line is shown, the line end escaped
  std::vector<Lines> d;
  {
    SleepingRipper ripper(s.root);  // a ripper runs and is kept, so its progress file stays
    d = s.play("answer 2\nfocus mini_button\nkey ok\ndump\nwait 3000\ndump\nkey exit\ndump\nanswer 2\n", 3,
               {"--title", "Radio X - Song", "--title2", "Kestrel FM"});
  }
  EXPECT_EQ(s.last.linesWith("stillpicture \"" + s.paths.picture + "\"").size(), 1u) << s.last.out;
  auto player = [](const Lines& d) {
    return Lines{d[0], text(d, "info1_label"), text(d, "info2_label"), text(d, "rip_info_label"),
                 std::to_string(d.size())};
  };
  const std::string window = "window eWindow \"Oruvel player\" client=(70,100) 560x110 running";
  // Only the player window is on screen; its labels start blank and its own tick fills them.
  EXPECT_EQ(player(d[0]), (Lines{window, " ", " ", " ", "4"}));
  EXPECT_EQ(player(d[1]), (Lines{window, "Radio X - Song", "Kestrel FM", "track 3: 512 kB\\n", "4"}));
  // Back in the main window, which kept ticking while hidden.
  EXPECT_TRUE(focused(d[2], "play_button")) << d[2][0];
  EXPECT_EQ(text(d[2], "rip_status"), "track 3: 512 kB\\n");
  EXPECT_EQ(text(d[2], "play_status"), "Radio X - Song");
}

}  // namespace
