#pragma once
// Where the player's decoded audio goes, one place for a whole stream, so it
// goes on across reconnects and changes of decoder: a WAV file the host
// writes itself, the sound device (through a player program fed on its
// input), or nowhere. Decoders hand 16-bit PCM over as a WAV stream.
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace oruvel_host {

struct PcmFormat {
  int rate = 0;
  int channels = 0;
  bool operator==(const PcmFormat& o) const { return rate == o.rate && channels == o.channels; }
  bool operator!=(const PcmFormat& o) const { return !(*this == o); }
};

// Reads a WAV stream as a decoder writes it into a pipe: the header, then PCM.
class WavStreamReader {
 public:
  // Appends the PCM among the bytes to pcm; false when the header is no
  // 16-bit PCM WAV.
  bool feed(const char* data, std::size_t len, std::string& pcm);
  const PcmFormat& format() const { return format_; }

 private:
  std::string header_;
  bool ready_ = false;
  PcmFormat format_;
};

// The program that plays PCM of this format from its standard input on the
// sound device.
std::vector<std::string> soundDeviceCommand(const PcmFormat& format);

class PcmOutput {
 public:
  enum class Kind { Nowhere, Device, WavFile };
  PcmOutput(Kind kind, std::string wavPath, std::string logPath);
  ~PcmOutput() { close(true); }
  PcmOutput(const PcmOutput&) = delete;
  PcmOutput& operator=(const PcmOutput&) = delete;

  // Opens the output for the first decoder's format; false with why.
  bool open(const PcmFormat& format, std::string& error);
  bool isOpen() const { return open_; }
  const PcmFormat& format() const { return format_; }
  bool write(const char* data, std::size_t len, std::string& error);
  // Completes the WAV file, or ends the sound device's program (at once
  // when now, else once it has played what it holds).
  void close(bool now);
  // From another thread: ends the sound device's program, so a write to it
  // that blocks returns.
  void interrupt();

 private:
  bool openWav(std::string& error);
  void updateWavSizes();

  Kind kind_;
  std::string wavPath_, logPath_;
  bool open_ = false;
  PcmFormat format_;
  int fd_ = -1;
  std::atomic<pid_t> player_{-1};
  std::uint64_t written_ = 0;
};

}  // namespace oruvel_host
