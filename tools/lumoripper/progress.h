#pragma once
// The ripper's one-line progress text in /tmp/lumorip. The plug-in shows it
// after "RIP: " on a 14-column LCD, so the time and size come first and the
// title last; the line has no newline (it would show as a glyph).
#include <cstdint>
#include <string>

namespace ripper {

// "1:23", "12:05", "1:02:03".
std::string formatDuration(std::int64_t seconds);
// "512KB", "1.2MB", "123MB", "1.5GB".
std::string formatSize(std::uint64_t bytes);
// "01:23 1.2MB Artist - Title", at most 255 bytes, control characters blanked.
// `prefix` (e.g. "reconnecting (2/5)") comes before everything when given.
std::string progressLine(const std::string& prefix, std::int64_t seconds, std::uint64_t bytes,
                         const std::string& title);

// Replaces the file's content with `line` in one step (a fresh temporary
// file PATH.new<PID> in the same folder, then rename), so a reader sees the
// old or the new line, never a half, and a link placed at either name is
// replaced, never followed. Returns false when it could not be written.
bool replaceFileAtomically(const std::string& path, const std::string& line);

}  // namespace ripper
