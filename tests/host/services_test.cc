// Service references, the parental lock set and eString formatting; the rest
// of the host's services are seen through the plug-in's own runs.
#include "tests/host/host_fixture.h"

TEST(ServiceReference, ParsesPrintsAndLocksAndRefusesBrokenOnesAndStringsFormatWhole) {
  const eString stream = "4096:0:0:0:0:0:0:0:0:0:http://radio.example:8000/live?x=1:2";
  eServiceReference ref(stream), tv("1:0:19:283d:3fb:1:0:0:0:0:");
  ASSERT_TRUE(ref.valid());
  EXPECT_EQ(std::tie(ref.type, ref.path), std::make_tuple(4096, "http://radio.example:8000/live?x=1:2"));
  EXPECT_EQ(ref2string(ref), stream);
  EXPECT_EQ(tv.toString(), "1:0:19:283d:3fb:1:0:0:0:0:");
  for (const char* bad : {"", "4096:0:0:0:0:0:0:0:0:", "4096:0:0:0:0:0:0:0:0:0", "x:0:0:0:0:0:0:0:0:0:",
                          "4096:0:0:0:0:0:0:0:0:zz:", "4096::0:0:0:0:0:0:0:0:", "99999999999:0:0:0:0:0:0:0:0:0:",
                          "http://radio.example/"}) {
    eServiceReference r{eString(bad)};
    EXPECT_FALSE(r.valid()) << bad;
    EXPECT_EQ(ref2string(r), "") << bad;
  }
  // Broadcasts are locked by their numbers, streams by their path.
  eServiceReference::locked = {tv, eServiceReference("4096:0:0:0:0:0:0:0:0:0:http://b/")};
  for (const auto& [text, locked] : std::initializer_list<std::pair<const char*, size_t>>{
           {"1:0:19:283d:3fb:1:0:0:0:0:/named", 1}, {"1:0:19:283e:3fb:1:0:0:0:0:", 0},
           {"4096:0:0:0:0:0:0:0:0:0:http://a/", 0}, {"4096:0:0:0:0:0:0:0:0:0:http://b/", 1}})
    EXPECT_EQ(eServiceReference::locked.count(eServiceReference(text)), locked) << text;
  eServiceReference::locked.clear();
  eString s = "old content";  // the plug-in's texts are formatted without cutting
  const std::string longName(5000, 'n');
  EXPECT_EQ(s.sprintf("list [%d].   genre: %s", 3, longName.c_str()), "list [3].   genre: " + longName);
  EXPECT_EQ(eString(static_cast<const char*>(nullptr)), "");
}
