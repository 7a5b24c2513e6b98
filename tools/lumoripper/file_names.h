#pragma once
// Names of what the ripper writes: safe for any file system the recording
// may land on (a USB stick included), never overwriting an earlier file.
#include <cstddef>
#include <string>
#include <string_view>

namespace ripper {

// Longest name part in bytes, leaving room for
// " (partial) 2026-01-31 23-59-59 (999).ext" under the usual 255-byte limit.
inline constexpr std::size_t kMaxNameBytes = 200;

// The local time now, as strftime writes it in `format` (at most 63 bytes).
std::string localTime(const char* format);

// Cuts `text` to at most maxBytes without splitting a UTF-8 character.
void cutToBytes(std::string& text, std::size_t maxBytes);

// `text` made into one file name: path separators and characters that
// common file systems refuse become "-", control characters become blanks,
// runs of blanks shrink to one, leading dots and blanks go, the end is
// trimmed, and the result is cut to maxBytes without splitting a UTF-8
// character. "" when nothing usable is left.
std::string safeName(std::string_view text, std::size_t maxBytes = kMaxNameBytes);

// ".mp3", ".aac", ".ogg", ".opus", ".flac" for a content type alone (the
// bytes are not known yet, or prove nothing); ".bin" when unknown.
std::string extensionFor(std::string_view contentType);

// The host part of an http(s) URL ("radio.example.org"), "" when none.
std::string hostOf(std::string_view url);

// Creates dir/base+ext, or dir/base (2)+ext, (3), ... (999) when taken;
// beyond that the local date and time join the name (dir/base 2026-01-31
// 23-59-59+ext, then its (2), (3) ...). Opens it for reading and writing.
// Returns the descriptor (-1 with errno on failure) and puts the path into
// `path`.
int createUnique(const std::string& dir, const std::string& base, const std::string& ext,
                 std::string& path);

// Renames `from` to dir/base+ext (or the first free variant, as above) without
// replacing anything. Returns the new path, or "" on failure (errno set).
std::string renameUnique(const std::string& from, const std::string& dir, const std::string& base,
                         const std::string& ext);

}  // namespace ripper
