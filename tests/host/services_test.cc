// Service references, the parental lock set, the player, configuration,
// the decoder, the host LCD lock and device, and eString formatting.
#include <fcntl.h>
#include <unistd.h>

#include "host/inspection.h"
#include "host/lcd_device.h"
#include "host/lcd_panel.h"
#include "tests/host/host_fixture.h"
#include "tests/support/temp_root.h"

using Services = HostTest;

TEST(ServiceReference, ParsesAndPrintsItsText) {
  const eString stream = "4096:0:0:0:0:0:0:0:0:0:http://radio.example:8000/live?x=1:2";
  eServiceReference ref(stream);
  ASSERT_TRUE(ref.valid());
  EXPECT_EQ(ref.type, 4096);
  EXPECT_EQ(ref.path, "http://radio.example:8000/live?x=1:2");
  EXPECT_EQ(ref2string(ref), stream);
  EXPECT_EQ(string2ref(stream), ref);

  eServiceReference tv("1:0:19:283d:3fb:1:0:0:0:0:");
  ASSERT_TRUE(tv.valid());
  EXPECT_EQ(tv.data[0], 0x19);
  EXPECT_EQ(tv.data[1], 0x283d);
  EXPECT_EQ(tv.path, "");
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

TEST(ServiceReference, ParentalCompareKnowsBroadcastsByNumbersAndStreamsByPath) {
  eServiceReference::Parental_Compare less;
  eServiceReference tvA("1:0:19:283d:3fb:1:0:0:0:0:");
  eServiceReference tvB("1:0:19:283d:3fb:1:0:0:0:0:/named");
  eServiceReference tvOther("1:0:19:283e:3fb:1:0:0:0:0:");
  eServiceReference streamA("4096:0:0:0:0:0:0:0:0:0:http://a/");
  eServiceReference streamB("4096:0:0:0:0:0:0:0:0:0:http://b/");
  EXPECT_FALSE(less(tvA, tvB));
  EXPECT_FALSE(less(tvB, tvA));
  EXPECT_TRUE(less(tvA, tvOther) != less(tvOther, tvA));
  EXPECT_TRUE(less(streamA, streamB));
  EXPECT_FALSE(less(streamB, streamA));

  eServiceReference::locked.clear();
  eServiceReference::locked.insert(tvA);
  eServiceReference::locked.insert(streamB);
  EXPECT_EQ(eServiceReference::locked.count(tvB), 1u);
  EXPECT_EQ(eServiceReference::locked.count(tvOther), 0u);
  EXPECT_EQ(eServiceReference::locked.count(streamA), 0u);
  EXPECT_EQ(eServiceReference::locked.count(eServiceReference("4096:0:0:0:0:0:0:0:0:0:http://b/")), 1u);
  eServiceReference::locked.clear();
}

TEST_F(Services, PlayServiceMakesTheCurrentServiceWithItsHandler) {
  eFixedInfoPlayer player("Song A", "Station One");
  HostInspection::setPlayer(&player);
  eServiceInterface* api = eDVB::getInstance()->getServiceAPI();
  ASSERT_NE(api, nullptr);
  eServiceReference stream("4096:0:0:0:0:0:0:0:0:0:http://a/");
  eZapMain::getInstance()->playService(stream, 40);
  EXPECT_EQ(api->getCurrentService(), stream);
  ASSERT_NE(api->getService(), nullptr);
  EXPECT_EQ(api->getService()->getInfo(1), "Song A");
  EXPECT_EQ(api->getService()->getInfo(2), "Station One");
  EXPECT_EQ(api->getService()->getInfo(3), "");

  eZapMain::getInstance()->playService(string2ref(""), 40);  // nothing to play
  EXPECT_EQ(api->getCurrentService(), stream);
  EXPECT_EQ(transcript, (std::vector<std::string>{
                            "playService \"4096:0:0:0:0:0:0:0:0:0:http://a/\" mode=40",
                            "playService \"\" mode=40"}));

  HostInspection::setServiceAPIAvailable(false);
  EXPECT_EQ(eDVB::getInstance()->getServiceAPI(), nullptr);
  HostInspection::setServiceAPIAvailable(true);
  HostInspection::setPlayer(nullptr);
  HostInspection::setCurrentService(eServiceReference(), nullptr);
}

TEST(HostConfig, KeysAndTheParentalLock) {
  eConfig* config = eConfig::getInstance();
  int value = 77;
  EXPECT_EQ(config->getKey("/elitedvb/never-set", value), -1);
  EXPECT_EQ(value, 77);
  EXPECT_EQ(config->getKey(nullptr, value), -1);
  config->setKey("/elitedvb/hidelocked", 1);
  EXPECT_EQ(config->getKey("/elitedvb/hidelocked", value), 0);
  EXPECT_EQ(value, 1);
  config->pLockActive = 1;
  config->pinCode = 0;
  EXPECT_FALSE(config->parentalLockActive());
  config->pinCode = 1234;
  EXPECT_TRUE(config->parentalLockActive());
  config->pLockActive = config->pinCode = 0;
}

TEST_F(Services, DecoderAppliesTheBlockOnSetAndShowsStillPictures) {
  testsupport::TempRoot root;
  const std::string picture = root.path() + "/radio.mvi";
  testsupport::writeFile(picture, "frame");
  Decoder::parms.apid = 0x1ffe;
  EXPECT_EQ(Decoder::Set(), 0);
  Decoder::parms.apid = 0;  // only Set() applies it
  EXPECT_EQ(HostInspection::decoderApplied().apid, 0x1ffe);
  EXPECT_EQ(Decoder::displayIFrameFromFile(picture.c_str()), 0);
  EXPECT_EQ(Decoder::displayIFrameFromFile((root.path() + "/missing.mvi").c_str()), -1);
  EXPECT_EQ(Decoder::displayIFrameFromFile(nullptr), -1);
  EXPECT_EQ(transcript, (std::vector<std::string>{"stillpicture \"" + picture + "\"",
                                                  "stillpicture \"" + root.path() + "/missing.mvi\"",
                                                  "stillpicture \"\""}));
}

TEST(HostLcd, StartsLockedAndTheLockNestsButNeverBelowFree) {
  eLCD lcd;
  EXPECT_TRUE(HostInspection::lcdLock(lcd).locked);
  lcd.unlock();
  lcd.unlock();
  EXPECT_EQ(HostInspection::lcdLock(lcd).count, 0);
  lcd.lock();
  lcd.lock();
  EXPECT_EQ(HostInspection::lcdLock(lcd).count, 2);
  EXPECT_EQ(eDBoxLCD::getInstance(), eDBoxLCD::getInstance());
}

TEST(HostLcdDevice, OnlyTheInstalledCallsReachThePanelAndNothingElseOfTheProcess) {
  testsupport::TempRoot root;
  ASSERT_TRUE(LcdPanel::install(root.path()));
  const eLCDDeviceCalls* device = eLCDDeviceInstalled();
  ASSERT_NE(device, nullptr);
  const unsigned char frame[960] = {0x01};
  // A plain write on the node is an ordinary file write.
  const int plain = ::open(root.at("/dev/dbox/lcd0").c_str(), O_RDWR);
  ASSERT_EQ(::write(plain, frame, sizeof frame), 960);
  ::close(plain);
  EXPECT_EQ(LcdPanel::stats().frames, 0);
  const int fd = device->open(root.at("/dev/dbox/lcd0").c_str(), O_RDWR);
  EXPECT_EQ(device->write(fd, frame, sizeof frame), 960);
  EXPECT_EQ(device->close(fd), 0);
  EXPECT_EQ(LcdPanel::stats().frames, 1);
  LcdPanel::uninstall();
  EXPECT_EQ(eLCDDeviceInstalled(), nullptr);  // the system's calls again
}

TEST(HostString, SprintfFormatsWithoutCutting) {
  eString s = "old content";
  EXPECT_EQ(s.sprintf("(%i) %s", 2, "Radio"), "(2) Radio");
  const std::string longName(5000, 'n');
  s.sprintf("building list finsihed [%d].   genre: %s   bitrate: %s", 3, longName.c_str(), "128");
  EXPECT_EQ(s.size(), std::string("building list finsihed [3].   genre: ").size() + 5000 +
                          std::string("   bitrate: 128").size());
  EXPECT_EQ(s.substr(s.size() - 3), "128");
  EXPECT_EQ(eString().sprintf("%s", ""), "");
  EXPECT_EQ(eString(static_cast<const char*>(nullptr)), "");
}
