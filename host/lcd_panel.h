#pragma once
// The emulated front-panel LCD of the desktop host. The plug-in opens the
// device path under the root, issues the clear and graphic-mode requests
// and writes 960-byte pictures (8 pages of 120 columns); the panel accepts
// the requests and keeps the last full picture.
//
// The device node is a plain file. While installed, the panel is the
// host's LCD device calls (host/lcd_device.h): it answers ioctl and write
// on a descriptor of that node (known by its inode) and hands every other
// descriptor to the system. The file also holds the last full picture, so
// another process can look at it.
#include <array>
#include <cstdint>
#include <string>

#include "host/host_api.h"

class HOST_API LcdPanel {
 public:
  static constexpr int kColumns = 120, kPages = 8, kRows = 64;
  static constexpr int kFrameBytes = kColumns * kPages;
  static constexpr int kPbmColumns = 132;  // the plug-in's picture width
  using Frame = std::array<std::uint8_t, kFrameBytes>;

  struct Stats {
    int clearRequests = 0;      // request 25
    int graphicRequests = 0;    // request 4117 with the value 1
    int otherRequests = 0;
    int frames = 0;             // full 960-byte writes seen
    int partialWrites = 0;      // writes of any other size
  };

  // Creates the device node under root (root + "/dev/dbox/lcd0"), installs
  // the panel as the LCD device calls and starts taking pictures. Call
  // before the plug-in is loaded. Refuses an empty root: the machine's own
  // /dev is never touched.
  static bool install(const std::string& root);
  // Gives the device calls back to the system and removes the node.
  static void uninstall();
  static bool installed();

  static Frame picture();
  static Stats stats();
  // Pixel (x, y) of the last picture: lit or dark (dark outside the panel).
  static bool pixel(int x, int y);
  // Writes the panel as a plain PBM of 132 x 64 (columns 120..131 dark).
  // A lit pixel is 1 (black), as the panel shows it.
  static bool writePbm(const std::string& path);
};
