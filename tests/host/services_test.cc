// Service references as the host reads them from its command line, the
// parental lock set, and eString formatting. The player, the decoder, the
// configuration and the LCD lock are seen through the plug-in's own runs.
#include "tests/host/host_fixture.h"

TEST(ServiceReference, ParsesAndPrintsItsTextAndRefusesBrokenOnes) {
  const eString stream = "4096:0:0:0:0:0:0:0:0:0:http://radio.example:8000/live?x=1:2";
  eServiceReference ref(stream);
  ASSERT_TRUE(ref.valid());
  EXPECT_EQ(ref.type, 4096);
  EXPECT_EQ(ref.path, "http://radio.example:8000/live?x=1:2");
  EXPECT_EQ(ref2string(ref), stream);
  eServiceReference tv("1:0:19:283d:3fb:1:0:0:0:0:");
  EXPECT_EQ(tv.data[1], 0x283d);
  EXPECT_EQ(tv.toString(), "1:0:19:283d:3fb:1:0:0:0:0:");
  for (const char* bad : {"", "4096:0:0:0:0:0:0:0:0:", "4096:0:0:0:0:0:0:0:0:0",
                          "x:0:0:0:0:0:0:0:0:0:", "4096:0:0:0:0:0:0:0:0:zz:",
                          "4096::0:0:0:0:0:0:0:0:", "99999999999:0:0:0:0:0:0:0:0:0:",
                          "http://radio.example/"}) {
    eServiceReference r{eString(bad)};
    EXPECT_FALSE(r.valid()) << bad;
    EXPECT_EQ(ref2string(r), "") << bad;
  }
}

TEST(ServiceReference, LockedSetKnowsBroadcastsByNumbersAndStreamsByPath) {
  eServiceReference::locked.clear();
  eServiceReference::locked.insert(eServiceReference("1:0:19:283d:3fb:1:0:0:0:0:"));
  eServiceReference::locked.insert(eServiceReference("4096:0:0:0:0:0:0:0:0:0:http://b/"));
  const struct {
    const char* ref;
    size_t locked;
  } cases[] = {{"1:0:19:283d:3fb:1:0:0:0:0:/named", 1}, {"1:0:19:283e:3fb:1:0:0:0:0:", 0},
               {"4096:0:0:0:0:0:0:0:0:0:http://a/", 0}, {"4096:0:0:0:0:0:0:0:0:0:http://b/", 1}};
  for (const auto& c : cases) EXPECT_EQ(eServiceReference::locked.count(eServiceReference(c.ref)), c.locked) << c.ref;
  eServiceReference::locked.clear();
}

TEST(HostString, SprintfFormatsWithoutCutting) {
  eString s = "old content";
  EXPECT_EQ(s.sprintf("(%i) %s", 2, "Radio"), "(2) Radio");
  const std::string longName(5000, 'n');
  s.sprintf("building list finsihed [%d].   genre: %s   bitrate: %s", 3, longName.c_str(), "128");
  EXPECT_EQ(s, "building list finsihed [3].   genre: " + longName + "   bitrate: 128");
  EXPECT_EQ(eString(static_cast<const char*>(nullptr)), "");
}
