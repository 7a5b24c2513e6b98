// What others may leave at the plug-in's paths, and a user quicker than the
// ripper: a FIFO or a device where a file is read counts as missing, a link
// in /tmp is replaced rather than written through, and two quick presses of
// the red key start one ripper and stop it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <string>

#include "tests/plugin/plugin_world.h"

namespace {

using namespace world;

const std::string kRunning = box("Oruvel", "0x23", "lumoripper is running. press OK to stopp ripping.");

TEST(FileFaults, FifosAndDevicesCountAsMissingFilesWithTheirUsualBox) {
  // A FIFO without a writer (opening it to read would wait for ever) at
  // each fixed path, or as the file a configuration key names; or a device
  // that never ends. "@" in a box stands for where the FIFO was put.
  const std::string toMini = "key down\nkey down\nkey down\nkey down\nkey down\nkey ok\n";
  const struct {
    Lines where;         // fixed paths, or a configuration key
    const char* device;  // null: a FIFO
    std::string script;
    Lines boxes;
    bool ripperRuns;  // a ripper runs (and is kept), so the probes leave its files
  } cases[] = {
      {{"/var/tuxbox/config/oruvel/oruvel.conf"}, nullptr, "", {box("Oruvel", "0x21", "Configuration read error!\\n")}, false},
      {{"MYGENREFILE"}, "/dev/zero", "", {info("/dev/zero")}, false},
      {{"STATIONSFILE"}, nullptr, chooseGenre(2, 5), {info("@")}, false},
      {{"LUMOPIC"}, nullptr, toMini + "key exit\n", {}, false},
      // The tick after finds no progress file: "Rip" and no ripper line.
      {{"/tmp/lumopid", "/tmp/lumorip"}, nullptr, "answer 2\nwait 3000\ndump\nanswer 2\n", {kRunning, kRunning}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.where[0]);
    Session s;
    std::optional<SleepingRipper> ripper;
    if (c.ripperRuns) ripper.emplace(s);
    std::string path;
    for (const auto& where : c.where) {
      const bool key = where[0] != '/';
      path = c.device ? c.device : key ? s.root.path() + "/special" : s.root.at(where);
      if (key) testsupport::writeStandardConfig(s.root, where + "=" + path + "\n");
      if (c.device) continue;
      std::filesystem::remove(path);
      ASSERT_EQ(mkfifo(path.c_str(), 0644), 0) << path;
    }

    auto d = s.play(c.script, c.ripperRuns ? 1 : 0);
    Lines expected = c.boxes;
    for (auto& b : expected)
      if (b.find("\"@\"") != std::string::npos) b.replace(b.find("\"@\"") + 1, 1, path);
    EXPECT_EQ(boxes(s.last), expected) << s.last.out;
    EXPECT_TRUE(s.last.linesWith("stillpicture").empty());
    if (ripper) {
      EXPECT_EQ(ripStatus(d[0]), "lumoripper is not running.");
      EXPECT_EQ(ripButton(d[0]), "Rip");
      EXPECT_TRUE(ripper->alive());
    }
  }
}

TEST(FileFaults, LinksPlantedInTmpAreReplacedNotFollowed) {
  Session s;
  s.writeLocalStation();
  s.root.write("/victim", "precious\n");
  std::filesystem::create_directories(s.root.at("/victimdir"));
  // A directory page, then a playlist, each with links waiting at every name written.
  const struct {
    std::string script, label, shown;
  } runs[] = {
      {chooseGenre(3, 5) + "dump\n", "pos=(10,50)", "building list finsihed [7].   genre: Rock   bitrate: 0"},
      {tuneInLocalStation() + "dump\n", "pos=(10,310)", "(2) Fault Test Station"},
  };
  for (const auto& r : runs) {
    for (const char* f : {"/tmp/lumonet", "/tmp/lumopid.pid"}) {
      std::filesystem::remove(s.root.at(f));
      std::filesystem::create_symlink(s.root.at("/victim"), s.root.at(f));
    }
    std::filesystem::remove(s.root.at("/tmp/lumolist.m3u"));
    std::filesystem::create_symlink(s.root.at("/victimdir"), s.root.at("/tmp/lumolist.m3u"));
    auto d = s.play(r.script, 1);
    EXPECT_EQ(textOf(d[0], r.label), r.shown) << s.last.out;
    EXPECT_EQ(s.root.read("/victim"), "precious\n");
    EXPECT_TRUE(std::filesystem::is_empty(s.root.at("/victimdir")));
    // Only the probe's file is left, a file of its own; no private file behind.
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(s.root.at("/tmp")))
      left.push_back(e.path().filename().string());
    EXPECT_EQ(left, Lines{"lumopid.pid"});
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(s.root.at("/tmp/lumopid.pid"))));
  }
}

TEST(RedKeyFaults, TwoQuickPressesStartOneRipperAndStopIt) {
  Session s;
  s.writeLocalStation();
  // The second press comes the moment the first returns: the ripper has
  // announced itself by then, so the press stops it, and returns once it
  // has ended. The probe's word for that has no full stop; the one for a
  // press that found no ripper to stop has.
  auto d = s.play(tuneInLocalStation() + "key red\nkey red\ndump\n", 1);
  EXPECT_EQ(s.last.linesWith("flags=0x20 \"lumoripper will be stopped.").size(), 1u) << s.last.out;
  EXPECT_EQ(ripStatus(d[0]), "lumoripper is not running");
  EXPECT_EQ(ripButton(d[0]), "Rip");
  EXPECT_LE(s.requested("/stream/").size(), 1u) << "a second ripper recorded";
  EXPECT_EQ(processesNaming(s.standin.address()), 0) << "a ripper runs on";
  EXPECT_FALSE(s.root.exists("/tmp/lumopid"));
}

}  // namespace
