// The desktop host's emulated panel: what the display sends it, what it
// keeps, and what it refuses.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "host/lcd_device.h"
#include "host/lcd_panel.h"
#include "lcd/lcd_display.h"
#include "base/fs_root.h"
#include "tests/support/temp_root.h"

namespace {

// A fresh root with the emulated panel installed, removed again afterwards.
struct InstalledPanel {
  testsupport::TempRoot root;
  InstalledPanel() {
    oruvel::setFsRoot(root.path());
    EXPECT_TRUE(LcdPanel::install(root.path()));
  }
  ~InstalledPanel() { LcdPanel::uninstall(); }
};

TEST(LcdPanel, DisplayOpensThePanelQuietlyAndEachUpdateIsOneFrame) {
  InstalledPanel panel;
  testing::internal::CaptureStderr();
  CLCDDisplay lcd;  // as the plug-in builds it: the device under the root
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  lcd.draw_char(0, 0, 'A');
  lcd.draw_point(119, 63, 1);
  lcd.update();
  lcd.update();
  const LcdPanel::Stats s = LcdPanel::stats();
  EXPECT_EQ(s.clearRequests, 1);
  EXPECT_EQ(s.graphicRequests, 1);
  EXPECT_EQ(s.otherRequests, 0);
  EXPECT_EQ(s.frames, 2);
  EXPECT_EQ(s.partialWrites, 0);
  const LcdPanel::Frame frame = LcdPanel::picture();
  EXPECT_TRUE(std::equal(frame.begin(), frame.end(), lcd.pages()));
  EXPECT_TRUE(LcdPanel::pixel(119, 63));
  EXPECT_TRUE(LcdPanel::pixel(3, 0));  // the tip of the A
  EXPECT_FALSE(LcdPanel::pixel(0, 0));
  // The node holds the last picture too.
  const std::string onDisk = panel.root.read("/dev/dbox/lcd0");
  ASSERT_EQ(onDisk.size(), 960u);
  EXPECT_TRUE(std::equal(frame.begin(), frame.end(), reinterpret_cast<const unsigned char*>(onDisk.data())));
  EXPECT_FALSE(LcdPanel::writePbm(panel.root.at("/no/such/dir/lcd.pbm")));
}

TEST(LcdPanel, OtherWritesAndRequestsOnThePanelAreCountedNotShown) {
  InstalledPanel panel;
  const eLCDDeviceCalls& device = *eLCDDeviceInstalled();
  const int fd = device.open(panel.root.at("/dev/dbox/lcd0").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  unsigned char frame[960];
  for (int i = 0; i < 960; ++i) frame[i] = static_cast<unsigned char>(i);
  ASSERT_EQ(device.write(fd, frame, 960), 960);
  const unsigned char part[100] = {0xFF};
  EXPECT_EQ(device.write(fd, part, sizeof part), 100);
  EXPECT_EQ(LcdPanel::picture()[959], 959 & 0xFF);  // the short write changed nothing
  int textMode = 0;
  EXPECT_EQ(device.ioctl(fd, 4117, &textMode), 0);
  EXPECT_EQ(device.ioctl(fd, 4117, nullptr), -1);
  EXPECT_EQ(errno, EFAULT);
  EXPECT_EQ(device.ioctl(fd, 99, nullptr), -1);
  EXPECT_EQ(errno, ENOTTY);
  const LcdPanel::Stats s = LcdPanel::stats();
  EXPECT_EQ(s.frames, 1);
  EXPECT_EQ(s.partialWrites, 1);
  EXPECT_EQ(s.otherRequests, 2);
  EXPECT_EQ(s.graphicRequests, 0);
  EXPECT_EQ(device.ioctl(fd, 25, nullptr), 0);  // clear
  EXPECT_EQ(LcdPanel::picture()[959], 0);
  device.close(fd);
}

TEST(LcdPanel, NeverTheMachinesOwnDevAndGoneAfterUninstall) {
  testsupport::TempRoot root;
  EXPECT_FALSE(LcdPanel::install(""));
  ASSERT_TRUE(LcdPanel::install(root.path()));
  LcdPanel::uninstall();
  EXPECT_FALSE(LcdPanel::installed());
  EXPECT_FALSE(root.exists("/dev/dbox/lcd0"));
  oruvel::setFsRoot(root.path());
  testing::internal::CaptureStderr();
  CLCDDisplay lcd;
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "LCD (/dev/dbox/lcd0): No such file or directory\n");
}

}  // namespace
