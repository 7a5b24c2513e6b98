// The playlist reader and the strings built from it: any /tmp/lumolist.m3u
// gives terminated stream strings that agree with each other, and a ripper
// command line that the shell splits into exactly its four words, whatever
// the URL and the configured paths hold.
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "directory/tune_in.h"
#include "plugin/config.h"
#include "plugin/fixed_paths.h"
#include "plugin/fixed_text.h"
#include "plugin/shell.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// Ripper settings the first byte chooses from: ordinary, hostile, and as
// long as their globals allow.
void chooseSettings(std::uint8_t choice) {
  static const std::string longRipper(127, 'r'), longDir(255, 'd');
  static const char* const kRippers[] = {"/bin/rip", "", "/x/it's $(rip) `a`", longRipper.c_str()};
  static const char* const kDirs[] = {"/hdd/music", "", "/m;rm -rf /;'\"", longDir.c_str()};
  oruvel::copyBounded(RIPPER, kRippers[choice & 3]);
  oruvel::copyBounded(RIPDIR, kDirs[(choice >> 2) & 3]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string list = fuzzsupport::at(oruvel::paths::kLumoList);
  fuzzsupport::Split in = fuzzsupport::splitFirst(data, size);
  chooseSettings(in.choice);
  fuzzsupport::writeFile(list, in.text);
  // What an earlier station left behind.
  oruvel::copyBounded(play_stream, "4096:0:0:0:0:0:0:0:0:0:http://earlier/");

  int result = oruvel::resolveStreamStrings();
  FUZZ_CHECK(fuzzsupport::terminated(playlist_string));
  FUZZ_CHECK(fuzzsupport::terminated(play_stream));
  FUZZ_CHECK(fuzzsupport::terminated(ripp_stream));
  std::string url = playlist_string;
  if (result == 0) {
    FUZZ_CHECK(url.find('\n') == std::string::npos);
    FUZZ_CHECK(std::string(play_stream) == std::string(oruvel::kStreamPrefix) + url);
    FUZZ_CHECK(std::string(ripp_stream) ==
               std::string(RIPPER) + " " + url + " -d " + std::string(RIPDIR));
    std::vector<std::string> words;
    FUZZ_CHECK(fuzzsupport::shellWords(oruvel::ripperCommandLine(), words));
    FUZZ_CHECK(words.size() == 4);
    FUZZ_CHECK(words[0] == RIPPER && words[1] == url && words[2] == "-d" && words[3] == RIPDIR);
  } else {
    FUZZ_CHECK(result == 1);
    FUZZ_CHECK(url.empty() && ripp_stream[0] == '\0');
    FUZZ_CHECK(std::string(play_stream) == "4096:0:0:0:0:0:0:0:0:0:http://earlier/");
  }

  // The same text as a station id: encoded, it is plain URL characters.
  for (char c : oruvel::urlEncode(in.text))
    FUZZ_CHECK(c != '\0' && (std::isalnum(static_cast<unsigned char>(c)) || std::strchr("-._~%", c)));
  // Quoted, any text is one shell word that stands for itself.
  std::string_view text = in.text.substr(0, in.text.find('\0'));
  std::vector<std::string> words;
  FUZZ_CHECK(fuzzsupport::shellWords(oruvel::shellQuote(text), words));
  FUZZ_CHECK(words.size() == 1 && words[0] == text);
  return 0;
}
