// Any /tmp/lumolist.m3u gives terminated stream strings that agree, and a
// ripper command line the shell splits into exactly its four words.
#include "base/config.h"
#include "base/fixed_paths.h"
#include "base/fixed_text.h"
#include "base/shell.h"
#include "directory/tune_in.h"
#include "ripper/ripper_control.h"
#include "tests/fuzz/fuzz_support.h"

FUZZ_TARGET(in) {
  // Ripper settings the first byte picks: ordinary, empty, hostile, and as long as their fields allow.
  static const std::string longRipper(127, 'r'), longDir(255, 'd');
  static const char* const kRippers[] = {"/bin/rip", "", "/x/it's $(rip) `a`", longRipper.c_str()};
  static const char* const kDirs[] = {"/hdd/music", "", "/m;rm -rf /;'\"", longDir.c_str()};
  // Kept from input to input, as the plug-in keeps them from run to run.
  static oruvel::Config config;
  static oruvel::TuneIn tuneIn;
  oruvel::copyBounded(config.RIPPER, kRippers[in.choice & 3]);
  oruvel::copyBounded(config.RIPDIR, kDirs[(in.choice >> 2) & 3]);
  fuzzsupport::writeFile(fuzzsupport::at(oruvel::paths::kLumoList), in.text);
  const std::string earlier = "4096:0:0:0:0:0:0:0:0:0:http://earlier/";  // an earlier station's
  oruvel::copyBounded(tuneIn.play_stream, earlier);

  const bool resolved = oruvel::resolveStreamStrings(tuneIn, config);
  FUZZ_CHECK(fuzzsupport::terminated(tuneIn.playlist_string) && fuzzsupport::terminated(tuneIn.play_stream) &&
             fuzzsupport::terminated(tuneIn.ripp_stream));
  const std::string url = tuneIn.playlist_string;
  std::vector<std::string> words;
  if (resolved) {
    FUZZ_CHECK(url.find('\n') == std::string::npos && tuneIn.play_stream == std::string(oruvel::kStreamPrefix) + url);
    FUZZ_CHECK(tuneIn.ripp_stream == std::string(config.RIPPER) + " " + url + " -d " + config.RIPDIR);
    FUZZ_CHECK(fuzzsupport::shellWords(oruvel::ripper::Control::commandLine(config, url), words) &&
               words == (std::vector<std::string>{config.RIPPER, url, "-d", config.RIPDIR}));
  } else {
    FUZZ_CHECK(url.empty() && tuneIn.ripp_stream[0] == '\0' && tuneIn.play_stream == earlier);
  }
  // The same text as a station id: encoded, it is plain URL characters.
  for (char c : oruvel::urlEncode(in.text))
    FUZZ_CHECK(c != '\0' && (std::isalnum(static_cast<unsigned char>(c)) || std::strchr("-._~%", c)));
  // Quoted, any text is one shell word that stands for itself.
  const std::string text(in.text.substr(0, in.text.find('\0')));
  FUZZ_CHECK(fuzzsupport::shellWords(oruvel::shellQuote(text), words) && words == std::vector<std::string>{text});
}
