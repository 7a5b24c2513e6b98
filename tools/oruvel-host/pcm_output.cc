#include "tools/oruvel-host/pcm_output.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "tools/oruvel-host/child_process.h"

namespace oruvel_host {
namespace {

std::uint32_t le32(const std::string& s, std::size_t at) {
  const auto* b = reinterpret_cast<const unsigned char*>(s.data()) + at;
  return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
}

unsigned le16(const std::string& s, std::size_t at) {
  const auto* b = reinterpret_cast<const unsigned char*>(s.data()) + at;
  return unsigned(b[0]) | unsigned(b[1]) << 8;
}

void put32(unsigned char* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(v >> (8 * i));
}

bool writeAll(int fd, const char* data, std::size_t len) {
  while (len > 0) {
    const ssize_t n = ::write(fd, data, len);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    len -= static_cast<std::size_t>(n);
  }
  return true;
}

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

bool WavStreamReader::feed(const char* data, std::size_t len, std::string& pcm) {
  if (ready_) {
    pcm.append(data, len);
    return true;
  }
  constexpr std::size_t kMaxHeader = 64 * 1024;
  header_.append(data, len);
  if (header_.size() >= 4 && header_.compare(0, 4, "RIFF") != 0) return false;
  if (header_.size() >= 12 && header_.compare(8, 4, "WAVE") != 0) return false;
  // Chunks after "RIFF size WAVE": fmt, perhaps others, then data.
  for (std::size_t at = 12; at + 8 <= header_.size();) {
    const std::string id = header_.substr(at, 4);
    const std::uint32_t size = le32(header_, at + 4);
    if (id == "data") {
      if (format_.rate <= 0 || format_.channels <= 0) return false;
      ready_ = true;
      pcm.append(header_, at + 8, std::string::npos);
      header_.clear();
      return true;
    }
    if (id == "fmt ") {
      if (size < 16 || at + 8 + 16 > header_.size()) break;
      const unsigned tag = le16(header_, at + 8), bits = le16(header_, at + 22);
      if ((tag != 1 && tag != 0xFFFE) || bits != 16) return false;
      format_ = {static_cast<int>(le32(header_, at + 12)), static_cast<int>(le16(header_, at + 10))};
    }
    at += 8 + size + (size & 1);
  }
  return header_.size() < kMaxHeader;
}

std::vector<std::string> soundDeviceCommand(const PcmFormat& format) {
  std::vector<std::string> command = {"ffmpeg", "-nostdin", "-hide_banner", "-nostats", "-loglevel", "warning",
                                      "-f", "s16le", "-ar", std::to_string(format.rate), "-ac",
                                      std::to_string(format.channels), "-i", "pipe:0"};
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const char* pulse = std::getenv("PULSE_SERVER");
  if ((pulse && *pulse) || (runtime && *runtime && exists(std::string(runtime) + "/pulse/native")))
    command.insert(command.end(), {"-f", "pulse", "Oruvel"});
  else
    command.insert(command.end(), {"-f", "alsa", "default"});
  return command;
}

PcmOutput::PcmOutput(Kind kind, std::string wavPath, std::string logPath)
    : kind_(kind), wavPath_(std::move(wavPath)), logPath_(std::move(logPath)) {}

bool PcmOutput::open(const PcmFormat& format, std::string& error) {
  format_ = format;
  if (kind_ == Kind::WavFile && !openWav(error)) return false;
  if (kind_ == Kind::Device) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
      error = std::string("no pipe for the sound device: ") + std::strerror(errno);
      return false;
    }
    const std::vector<std::string> command = soundDeviceCommand(format);
    player_ = startChild(command, {fds[0], -1, logPath_}, error);
    ::close(fds[0]);
    if (player_ < 0) {
      ::close(fds[1]);
      error = "cannot start " + command[0] + " for the sound device (" + error + "): install " + command[0];
      return false;
    }
    fd_ = fds[1];
  }
  open_ = true;
  return true;
}

// A fresh file, renamed into place: whatever lay at the path (a link, an
// old file) is replaced, never written through.
bool PcmOutput::openWav(std::string& error) {
  namespace fs = std::filesystem;
  const fs::path target(wavPath_);
  std::string temp = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  fd_ = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd_ < 0) {
    error = "cannot write the WAV file " + wavPath_ + ": " + std::strerror(errno);
    return false;
  }
  ::fchmod(fd_, 0644);
  unsigned char header[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                              1, 0};
  header[36] = 'd', header[37] = 'a', header[38] = 't', header[39] = 'a';
  header[22] = static_cast<unsigned char>(format_.channels);
  put32(header + 24, static_cast<std::uint32_t>(format_.rate));
  put32(header + 28, static_cast<std::uint32_t>(format_.rate * format_.channels * 2));
  header[32] = static_cast<unsigned char>(format_.channels * 2);
  header[34] = 16;
  put32(header + 4, 36);
  if (!writeAll(fd_, reinterpret_cast<const char*>(header), sizeof header) || ::rename(temp.c_str(), wavPath_.c_str()) != 0) {
    error = "cannot write the WAV file " + wavPath_ + ": " + std::strerror(errno);
    ::unlink(temp.c_str());
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

void PcmOutput::updateWavSizes() {
  // Sizes stay right while the file grows, so it can be read at any time.
  const std::uint64_t data = std::min<std::uint64_t>(written_, 0xFFFFFFFFu - 36);
  unsigned char size[4];
  put32(size, static_cast<std::uint32_t>(data + 36));
  (void)!::pwrite(fd_, size, 4, 4);
  put32(size, static_cast<std::uint32_t>(data));
  (void)!::pwrite(fd_, size, 4, 40);
}

bool PcmOutput::write(const char* data, std::size_t len, std::string& error) {
  if (!open_ || kind_ == Kind::Nowhere || fd_ < 0) return true;
  if (!writeAll(fd_, data, len)) {
    error = kind_ == Kind::WavFile ? "cannot write the WAV file " + wavPath_ + ": " + std::strerror(errno)
                                   : std::string("cannot play on the sound device: its player stopped (see the log)");
    return false;
  }
  written_ += len;
  if (kind_ == Kind::WavFile) updateWavSizes();
  return true;
}

void PcmOutput::interrupt() {
  const pid_t player = player_.load();
  if (player > 0) ::kill(player, SIGTERM);  // not yet waited for: the PID is still its own
}

void PcmOutput::close(bool now) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (player_ > 0) {
    if (now) ::kill(player_, SIGTERM);
    endChild(player_, now ? 500 : 2000);
  }
  player_ = -1;
  open_ = false;
}

}  // namespace oruvel_host
