// The configuration reader on files as people really write them.
#include <gtest/gtest.h>

#include <string>

#include "base/config.h"
#include "base/fixed_paths.h"
#include "base/fixed_text.h"
#include "base/fs_root.h"
#include "base/read_bounds.h"
#include "tests/support/temp_root.h"

namespace {

TEST(Config, FilesAsWrittenAndValuesThatDoNotFit) {
  testsupport::TempRoot root;
  oruvel::setFsRoot(root.path());
  oruvel::Config config;
  oruvel::copyBounded(config.RIPPER, "/keep");
  const long filesBefore = testsupport::openDescriptors();
  EXPECT_EQ(ReadConfFile(config), 1) << "a missing file is an error";
  EXPECT_STREQ(config.RIPPER, "/keep") << "and touches nothing";
  // Reads `content` into emptied fields: the result, each field then "|"
  // in declaration order, then the keys reported too long.
  const auto readConf = [&](const std::string& content) {
    char* const fields[] = {config.RIPPER,         config.RIPDIR,      config.STATIONSFILE, config.MYSTATIONSFILE,
                            config.MYPLAYLISTFILE, config.MYGENREFILE, config.LUMOPIC};
    for (char* g : fields) g[0] = '\0';
    root.write(oruvel::paths::kConfigFile, content);
    std::string seen = std::to_string(ReadConfFile(config)) + ":";
    for (char* g : fields) seen += std::string(g) + "|";
    for (const char* key : config.tooLongKeys) seen += std::string(" ") + key;
    return seen;
  };

  const std::string p127 = std::string(127, 'p'), d254 = std::string(254, 'd');
  std::string junk;
  for (int i = 0; i < 2000; ++i) junk += static_cast<char>((i * 37) & 0xff);
  const struct { std::string file, seen; } cases[] = {
      {"", "0:|||||||"},  // then CR LF ends, no final newline: the last line keeps its last character
      {"RIPPER=/var/bin/lumoripper\r\nSTATIONSFILE=/var/etc/stations.xml\r\n"
       "MYSTATIONFILE=/var/etc/lumostations.xml\nMYPLAYLISTFILE=/var/etc/playlist.m3u\n"
       "MYGENREFILE=/var/etc/genre.xml\nLUMOPIC=\nRIPDIR=/hdd",
       "0:/var/bin/lumoripper|/hdd|/var/etc/stations.xml|/var/etc/lumostations.xml|"
       "/var/etc/playlist.m3u|/var/etc/genre.xml||"},
      // An empty remainder at the very end; a carriage return inside stays.
      {"RIPDIR=/a\rb\r\r\nLUMOPIC=", "0:|/a\rb\r||||||"},
      // Keys are found anywhere in a line and run to its end; the S spelling
      // matches the station file key, not the favourites key; the last wins.
      {"#RIPPER=/bin/x\nMYSTATIONSFILE=/x/fav.xml\n   RIPDIR=/with blanks \n"
       "MYGENREFILE=/a LUMOPIC=/b\nLUMOPIC=/p1\nLUMOPIC=/p2\ngarbage without keys\n\n",
       "0:/bin/x|/with blanks |/x/fav.xml|||/a LUMOPIC=/b|/p2|"},
      // Long lines are searched in pieces: a key split by their boundary is lost, a value runs on.
      {std::string(260, '#') + "LUMOPIC=/pic.mvi\n", "0:||||||/pic.mvi|"},
      {std::string(252, '#') + "RIPPER=/split\n", "0:|||||||"},
      {"RIPDIR=/" + d254 + "\n", "0:|/" + d254 + "||||||"},
      // Values too long for their global are named and not taken.
      {"RIPPER=/old\nLUMOPIC=/" + p127 + "\nRIPPER=/" + p127 + "\nRIPDIR=/" + d254 + "d\n"
       "MYGENREFILE=/" + p127.substr(1) + "\n",
       "0:/old|||||/" + p127.substr(1) + "|| LUMOPIC RIPPER RIPDIR"},
      {"LUMOPIC=/" + p127 + "\nLUMOPIC=/ok\n", "0:||||||/ok|"},  // a later value that fits mends it
      {junk + "\nRIPPER=/bin/\x01rip\n" + junk, "0:/bin/\x01rip|||||||"},
      // Nothing past the file's bound is read.
      {std::string(oruvel::bounds::kConfigBytes, '#') + "RIPPER=/beyond\n", "0:|||||||"},
  };
  for (const auto& c : cases) EXPECT_EQ(readConf(c.file), c.seen) << c.file.substr(0, 80);
  EXPECT_EQ(testsupport::openDescriptors(), filesBefore) << "a read leaves no file open";
}

}  // namespace
