#include "host/lcd_panel.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "host/lcd_device.h"

namespace {

constexpr const char* kDevicePath = "/dev/dbox/lcd0";
constexpr unsigned long kClearRequest = 25;
constexpr unsigned long kModeRequest = 4117;
constexpr int kGraphicMode = 1;

struct PanelState {
  std::mutex mutex;
  std::string node;
  LcdPanel::Frame picture{};
  LcdPanel::Stats stats;
};

// Never destroyed: a write during the program's exit may still ask.
PanelState& state() {
  static PanelState* s = new PanelState;
  return *s;
}

// Read without the lock on each device call, to tell the panel's node
// from any other descriptor.
std::atomic<bool> g_installed{false};
std::atomic<std::uint64_t> g_device{0};
std::atomic<std::uint64_t> g_inode{0};

bool framePixel(const LcdPanel::Frame& frame, int x, int y) {
  if (x < 0 || x >= LcdPanel::kColumns || y < 0 || y >= LcdPanel::kRows) return false;
  return (frame[(y / 8) * LcdPanel::kColumns + x] >> (y % 8)) & 1;
}

bool isPanelDescriptor(int fd) {
  if (!g_installed.load(std::memory_order_relaxed) || fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  return static_cast<std::uint64_t>(st.st_ino) == g_inode.load() &&
         static_cast<std::uint64_t>(st.st_dev) == g_device.load() && g_installed.load();
}

int answerRequest(unsigned long request, const void* argument) {
  PanelState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (request == kClearRequest) {
    ++s.stats.clearRequests;
    s.picture.fill(0);
    return 0;
  }
  if (request == kModeRequest) {
    if (!argument) {
      errno = EFAULT;
      return -1;
    }
    int mode;
    std::memcpy(&mode, argument, sizeof mode);
    if (mode != kGraphicMode) {  // the panel is driven in graphic mode only
      ++s.stats.otherRequests;
      errno = EINVAL;
      return -1;
    }
    ++s.stats.graphicRequests;
    return 0;
  }
  ++s.stats.otherRequests;
  errno = ENOTTY;
  return -1;
}

ssize_t takeWrite(int fd, const void* data, std::size_t size) {
  PanelState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (size != static_cast<std::size_t>(LcdPanel::kFrameBytes)) {
    // The driver replaces the whole picture per write; anything else is
    // counted and leaves the picture as it was.
    ++s.stats.partialWrites;
    return static_cast<ssize_t>(size);
  }
  std::memcpy(s.picture.data(), data, LcdPanel::kFrameBytes);
  ++s.stats.frames;
  // Keep the node's content the current picture, as a device would show it.
  if (::pwrite(fd, data, size, 0) < 0) {
    // The picture in memory is what counts; the copy in the file is a courtesy.
  }
  return static_cast<ssize_t>(size);
}

// The panel as the host's LCD device: its node answered here, every other
// descriptor handed to the system.
const eLCDDeviceCalls kPanelCalls = {
    [](const char* path, int flags) { return ::open(path, flags); },
    [](int fd, unsigned long request, void* argument) {
      return isPanelDescriptor(fd) ? answerRequest(request, argument) : ::ioctl(fd, request, argument);
    },
    [](int fd, const void* data, std::size_t size) {
      return isPanelDescriptor(fd) ? takeWrite(fd, data, size) : ::write(fd, data, size);
    },
    [](int fd) { return ::close(fd); },
};

}  // namespace

bool LcdPanel::install(const std::string& root) {
  if (root.empty() || root == "/") return false;
  PanelState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  const std::string node = root + kDevicePath;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(node).parent_path(), ec);
  // Whatever stood there before (a left-over node, a pipe) is replaced.
  std::filesystem::remove(node, ec);
  const int fd = ::open(node.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  s.picture.fill(0);
  const bool written = ::pwrite(fd, s.picture.data(), s.picture.size(), 0) == kFrameBytes;
  struct stat st;
  const bool known = ::fstat(fd, &st) == 0;
  ::close(fd);
  if (!written || !known) return false;
  s.node = node;
  g_device.store(static_cast<std::uint64_t>(st.st_dev));
  g_inode.store(static_cast<std::uint64_t>(st.st_ino));
  s.stats = Stats();
  g_installed.store(true);
  eLCDDeviceInstall(&kPanelCalls);
  return true;
}

void LcdPanel::uninstall() {
  PanelState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!g_installed.exchange(false)) return;
  eLCDDeviceInstall(nullptr);
  ::unlink(s.node.c_str());
  s.node.clear();
}

bool LcdPanel::installed() { return g_installed.load(); }

LcdPanel::Frame LcdPanel::picture() {
  PanelState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.picture;
}

LcdPanel::Stats LcdPanel::stats() {
  PanelState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.stats;
}

bool LcdPanel::pixel(int x, int y) { return framePixel(picture(), x, y); }

bool LcdPanel::writePbm(const std::string& path) {
  const Frame frame = picture();
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (!out) return false;
  std::fprintf(out, "P1\n%d %d\n", kPbmColumns, kRows);
  // Each picture row on two lines, keeping lines within 70 characters.
  char line[kPbmColumns / 2 + 2];
  for (int y = 0; y < kRows; ++y) {
    for (int half = 0; half < 2; ++half) {
      for (int i = 0; i < kPbmColumns / 2; ++i)
        line[i] = framePixel(frame, half * (kPbmColumns / 2) + i, y) ? '1' : '0';
      line[kPbmColumns / 2] = '\n';
      line[kPbmColumns / 2 + 1] = '\0';
      std::fputs(line, out);
    }
  }
  const bool ok = !std::ferror(out);
  return std::fclose(out) == 0 && ok;
}
