#pragma once
// The ripper as seen through its files: the pidof probe and the PID file
// the ripper writes. No widgets here; the window shows what these find.
#include <cstdint>
#include <functional>
#include <string>

namespace oruvel::ripper {

// The process name every probe and every kill looks for.
inline constexpr const char* kProcessName = "lumoripper";

enum class Probe {
  none,     // no ripper runs; /tmp/lumopid and /tmp/lumorip have been removed
  running,  // pidof named at least one process
  unknown,  // the pidof output could not be read; nothing was changed
};

// Runs "pidof lumoripper" into /tmp/lumopid.pid (a fresh file put in place,
// so a link planted there is replaced, not written through) and reads its
// first character. Nothing at all or a newline means no ripper.
Probe probe();

enum class PidFile {
  missing,  // /tmp/lumopid does not exist (or cannot be read)
  valid,    // its first word is 1 to 6 digits
  invalid,  // empty, too long or not a number
};

// Reads the first blank-delimited word of /tmp/lumopid into pidText
// (at most 6 characters, always terminated).
PidFile readPidFile(char (&pidText)[7]);

// True when pidText names a live process called lumoripper, so that a
// kill can only ever reach our own ripper.
bool isRunningRipper(const char* pidText);

// How long a press of the red key waits for the ripper to start or to end,
// on the host's clock; and, for a host whose clock stands still meanwhile,
// in real time.
inline constexpr std::int64_t kWaitMs = 2000;
inline constexpr std::int64_t kWaitGuardMs = 10000;
using Clock = std::function<std::int64_t()>;

// After a start, waits until /tmp/lumopid exists, the started process
// (`started`, 0 when unknown) has ended, or kWaitMs have passed on `nowMs`.
// True when the PID file is there, so a press that follows finds the
// ripper to stop.
bool awaitAnnouncement(long started, const Clock& nowMs);

// After a kill, waits until the process `pidText` has ended (the ripper
// removes its files before), or kWaitMs have passed. True when it ended, so
// a press that follows finds no ripper to stop again.
bool awaitEnd(const char* pidText, const Clock& nowMs);

// The kill command for a PID text that isRunningRipper accepted.
std::string killCommand(const char* pidText);

// Removes /tmp/lumopid.
void removePidFile();

// Reads the first line of the ripper's progress file /tmp/lumorip into
// line (at most 255 characters, the newline kept when it fits). An empty
// file leaves line as it was. False when the file does not exist, which
// means the ripper is not recording.
bool readProgressLine(char (&line)[256]);

}  // namespace oruvel::ripper
