// The desktop host's emulated panel: what the display sends it, what it
// keeps, and what it refuses.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "base/fs_root.h"
#include "host/lcd_device.h"
#include "host/lcd_panel.h"
#include "lcd/lcd_display.h"
#include "tests/support/temp_root.h"

TEST(LcdPanel, EachUpdateIsOneFrameOnThePanelAndTheNodeAndOddRequestsAreRefused) {
  testsupport::TempRoot root;
  oruvel::setFsRoot(root.path());
  EXPECT_FALSE(LcdPanel::install(""));  // never the machine's own /dev
  ASSERT_TRUE(LcdPanel::install(root.path()));
  testing::internal::CaptureStderr();
  CLCDDisplay lcd;  // as the plug-in builds it: the device under the root, cleared and in graphic mode
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  lcd.draw_char(0, 0, 'A');
  lcd.draw_point(119, 63, 1);
  lcd.update();
  EXPECT_EQ(LcdPanel::stats().frames, 1);
  const LcdPanel::Frame frame = LcdPanel::picture();
  EXPECT_TRUE(std::equal(frame.begin(), frame.end(), lcd.pages()));
  EXPECT_TRUE(LcdPanel::pixel(119, 63));
  EXPECT_EQ(root.read("/dev/dbox/lcd0"), std::string(frame.begin(), frame.end()));  // the node holds it too
  EXPECT_FALSE(LcdPanel::writePbm(root.at("/no/such/dir/lcd.pbm")));
  // A short write changes nothing; unknown requests and bad arguments fail.
  const eLCDDeviceCalls& device = *eLCDDeviceInstalled();
  const int fd = device.open(root.at("/dev/dbox/lcd0").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  const unsigned char part[100] = {0xFF};
  EXPECT_EQ(device.write(fd, part, sizeof part), 100);
  EXPECT_TRUE(LcdPanel::pixel(119, 63));
  int textMode = 0;
  for (auto [request, argument, error] : {std::tuple<unsigned long, void*, int>{4117, nullptr, EFAULT},
                                          {4117, &textMode, EINVAL}, {99, nullptr, ENOTTY}}) {
    EXPECT_EQ(device.ioctl(fd, request, argument), -1);
    EXPECT_EQ(errno, error) << request;
  }
  EXPECT_EQ(device.ioctl(fd, 25, nullptr), 0);  // clear
  EXPECT_FALSE(LcdPanel::pixel(119, 63));
  device.close(fd);
  LcdPanel::uninstall();
  EXPECT_EQ(eLCDDeviceInstalled(), nullptr);  // the system's calls again
  EXPECT_FALSE(root.exists("/dev/dbox/lcd0"));
}
