#pragma once
// Names of what the ripper writes: safe for any file system the recording
// may land on (a USB stick included), never overwriting an earlier file.
#include <cstddef>
#include <string>
#include <string_view>

namespace ripper {

// Longest name part in bytes, leaving room for " (partial) (99).ext" under
// the usual 255-byte limit.
inline constexpr std::size_t kMaxNameBytes = 200;

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

// Creates dir/base+ext, or dir/base (2)+ext, (3), ... when taken, and opens
// it for reading and writing (a cut may move the file's end into the next). Returns the descriptor (-1 with errno on failure) and puts
// the path into `path`.
int createUnique(const std::string& dir, const std::string& base, const std::string& ext,
                 std::string& path);

// Renames `from` to dir/base+ext (or the first free " (n)" variant) without
// replacing anything. Returns the new path, or "" on failure (errno set).
std::string renameUnique(const std::string& from, const std::string& dir, const std::string& base,
                         const std::string& ext);

}  // namespace ripper
