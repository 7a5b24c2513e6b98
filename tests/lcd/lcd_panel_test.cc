#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "host/lcd_panel.h"
#include "lcd/lcd_display.h"
#include "plugin/fs_root.h"
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
  std::string node() const { return root.at("/dev/dbox/lcd0"); }
};

TEST(LcdPanel, DisplayOpensThePanelQuietlyAndEachUpdateIsOneFrame) {
  InstalledPanel panel;
  testing::internal::CaptureStderr();
  CLCDDisplay lcd;  // as the plug-in builds it: the device under the root
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  LcdPanel::Stats s = LcdPanel::stats();
  EXPECT_EQ(s.clearRequests, 1);
  EXPECT_EQ(s.graphicRequests, 1);
  EXPECT_EQ(s.otherRequests, 0);
  EXPECT_EQ(s.frames, 0);

  lcd.draw_char(0, 0, 'A');
  lcd.draw_point(119, 63, 1);
  lcd.update();
  lcd.update();
  s = LcdPanel::stats();
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
}

TEST(LcdPanel, OtherWritesAndRequestsOnThePanelAreCountedNotShown) {
  InstalledPanel panel;
  const int fd = ::open(panel.node().c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  unsigned char frame[960];
  for (int i = 0; i < 960; ++i) frame[i] = static_cast<unsigned char>(i);
  ASSERT_EQ(::write(fd, frame, 960), 960);
  unsigned char part[100] = {0xFF};
  EXPECT_EQ(::write(fd, part, sizeof part), 100);
  EXPECT_EQ(LcdPanel::picture()[959], 959 & 0xFF);  // the short write changed nothing
  int textMode = 0;
  EXPECT_EQ(::ioctl(fd, 4117, &textMode), 0);
  EXPECT_EQ(::ioctl(fd, 4117, nullptr), -1);
  EXPECT_EQ(errno, EFAULT);
  EXPECT_EQ(::ioctl(fd, 99), -1);
  EXPECT_EQ(errno, ENOTTY);
  const LcdPanel::Stats s = LcdPanel::stats();
  EXPECT_EQ(s.frames, 1);
  EXPECT_EQ(s.partialWrites, 1);
  EXPECT_EQ(s.otherRequests, 2);
  EXPECT_EQ(s.graphicRequests, 0);
  EXPECT_EQ(::ioctl(fd, 25), 0);  // clear
  EXPECT_EQ(LcdPanel::picture()[959], 0);
  ::close(fd);
}

TEST(LcdPanel, OtherDescriptorsReachTheKernel) {
  InstalledPanel panel;
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  ASSERT_EQ(::write(pipeFds[1], "hello", 5), 5);
  int pending = 0;
  EXPECT_EQ(::ioctl(pipeFds[0], FIONREAD, &pending), 0);
  EXPECT_EQ(pending, 5);
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);

  // A 960-byte write to another file is an ordinary write.
  const int fd = ::open(panel.root.at("/tmp/other").c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  const std::string bytes(960, 'x');
  EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), 960);
  EXPECT_EQ(::ioctl(fd, 25), -1);
  EXPECT_EQ(errno, ENOTTY);
  ::close(fd);
  EXPECT_EQ(panel.root.read("/tmp/other"), bytes);
  EXPECT_EQ(::write(-1, "x", 1), -1);
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(LcdPanel::stats().frames, 0);
  EXPECT_EQ(LcdPanel::stats().clearRequests, 0);
}

TEST(LcdPanel, PictureAsPbm) {
  InstalledPanel panel;
  CLCDDisplay lcd;
  lcd.draw_char(112, 0, '\xDB');  // columns 112..119 of rows 0..7
  lcd.draw_point(5, 40, 1);
  lcd.update();
  const std::string path = panel.root.at("/tmp/lcd.pbm");
  ASSERT_TRUE(LcdPanel::writePbm(path));
  const std::string pbm = testsupport::readFile(path);
  const std::string header = "P1\n132 64\n";
  ASSERT_EQ(pbm.substr(0, header.size()), header);
  std::string bits;
  for (std::size_t i = header.size(); i < pbm.size(); ++i)
    if (pbm[i] != '\n') bits += pbm[i];
  ASSERT_EQ(bits.size(), 132u * 64u);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 132; ++x) {
      const bool lit = (x >= 112 && x < 120 && y < 8) || (x == 5 && y == 40);
      ASSERT_EQ(bits[y * 132 + x], lit ? '1' : '0') << x << "," << y;
    }
  EXPECT_FALSE(LcdPanel::writePbm(panel.root.at("/no/such/dir/lcd.pbm")));
}

TEST(LcdPanel, WithoutThePanelTheDeviceIsMissingAgain) {
  testsupport::TempRoot root;
  EXPECT_FALSE(LcdPanel::install(""));  // never the machine's own /dev
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
