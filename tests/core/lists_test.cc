// The genre file, the directory page and the local station files read into
// their lists, and the favourites whose ids read back.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "directory/favourites.h"
#include "directory/genre_list.h"
#include "directory/line_values.h"
#include "directory/station_list.h"
#include "base/fixed_text.h"
#include "base/read_bounds.h"
#include "tests/support/temp_root.h"

namespace {

using Entries = std::vector<std::pair<std::string, int>>;
using Rows = std::vector<std::string>;
using testsupport::TempRoot;

Entries readGenres(oruvel::GenreList& genres, const TempRoot& root, const std::string& content) {
  root.write("/genre.xml", content);
  Entries seen;
  oruvel::readGenreList(genres, root.at("/genre.xml").c_str(), [&](const char* name, int key) { seen.emplace_back(name, key); });
  return seen;
}

// The stations by key as "name|id|bitrate|genre", looked up as the window does.
Rows rowsByKey(oruvel::StationList& list) {
  Rows rows;
  for (int key = 1; key <= list.AnzahlNETElemente; ++key) {
    list.NET_Element_ermitteln(key, list.AnzahlNETElemente);
    const StationNode* s = list.net_anker;
    rows.push_back(std::string(s->name) + "|" + s->id + "|" + s->bitrate + "|" + s->genre);
  }
  return rows;
}

Rows page(oruvel::StationList& list, const TempRoot& root, const std::string& content, const char* filter = "0") {
  oruvel::copyBounded(list.which_bitrate, filter);
  root.write("/tmp/lumonet", content);
  EXPECT_TRUE(oruvel::readDirectoryPage(list, root.at("/tmp/lumonet")) && list.read_error == 0);
  return rowsByKey(list);
}

Rows local(oruvel::StationList& list, const TempRoot& root, const std::string& content) {
  root.write("/stations.xml", content);
  EXPECT_TRUE(oruvel::readLocalStations(list, root.at("/stations.xml").c_str()));
  return rowsByKey(list);
}

TEST(Lists, GenresAreTheExactElementsAfterTheLocalEntries) {
  TempRoot root;
  oruvel::GenreList genres;
  const long filesBefore = testsupport::openDescriptors();
  const Entries local = {{"local:lumostations.xml", 1}, {"local: stations.xml", 2}};
  const Entries want = {local[0], local[1], {"First", 3}, {"R&amp;B\xFC", 4}, {"", 5}, {std::string(63, 'n'), 6}, {"Second", 7}};
  EXPECT_EQ(readGenres(genres, root, "<genre name=\"First\"/><genre name=\"Other\"/>\n"
                             "<Genre name=\"Capital\"/>\n<genre  name=\"TwoBlanks\"/>\n"
                             "  before <genre name=\"R&amp;B\xFC\"/>\r\n"
                             "<genre name='Single'/>\n<genre name=\"NoClosingQuote/>\n<genre name=\"\"/>\n"
                             "<genre name=\"" + std::string(100, 'n') + "\"/>\n" + std::string(250, ' ') +
                             "<genre name=\"SplitByThePiece\"/>\n" + std::string(260, ' ') + "<genre name=\"Second\"/>"),
            want);
  genres.GENRE_Element_ermitteln(4, genres.AnzahlGenreElemente);
  EXPECT_STREQ(genres.genre_anker->name, "R&amp;B\xFC");  // a high byte, whatever the char's sign

  // Each read replaces the list; a missing file announces nothing and keeps it.
  EXPECT_EQ(readGenres(genres, root, ""), local);
  EXPECT_EQ(readGenres(genres, root, "<genre name=\"G\"/>\n"), (Entries{local[0], local[1], {"G", 3}}));
  genres.GENRE_Element_ermitteln(1, genres.AnzahlGenreElemente);
  EXPECT_EQ(genres.genre_anker->next, nullptr);
  GenreNode* before = genres.genre_ende;
  EXPECT_FALSE(oruvel::readGenreList(genres, root.at("/missing.xml").c_str(), [](const char*, int) { ADD_FAILURE(); }));
  EXPECT_TRUE(genres.genre_ende == before && genres.AnzahlGenreElemente == 0);
  EXPECT_EQ(testsupport::openDescriptors(), filesBefore) << "a read leaves no file open";
}

TEST(Lists, DirectoryPageFilterAndFieldCuts) {
  TempRoot root;
  oruvel::StationList stations;
  const long filesBefore = testsupport::openDescriptors();
  const std::string three =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<stationlist>\n"
      "<station name=\"Alpha\" mt=\"audio/mpeg\" id=\"11\" br=\"64\" genre=\"Pop\" ct=\"x\"/>\n"
      "<station genre=\"Pop Rock\" br=\"128\" id=\"22\" name=\"Beta\"/>\r\n"
      "<station name=\"Gamma\" id=\"33\"/>\n</stationlist>\n";
  EXPECT_EQ(page(stations, root, three), (Rows{"Alpha|11|64|Pop", "Beta|22|128|Pop Rock", "Gamma|33||"}));
  EXPECT_EQ(page(stations, root, three, "128"), (Rows{"Beta|22|128|Pop Rock", "Gamma|33||"}));
  // Bitrates read as strtol does: blanks and a sign first, stop at the
  // first other character, no digits give 0. "00" is not "0": a filter at 0.
  const std::string odd = "<station name=\"Lead\" br=\"  +128kbps\"/>\n<station name=\"Junk\" br=\"fast\"/>\n"
                          "<station name=\"Neg\" br=\"-1\"/>\n";
  EXPECT_EQ(page(stations, root, odd, "96"), (Rows{"Lead||  +128kbps|"}));
  EXPECT_EQ(page(stations, root, odd, "00"), (Rows{"Lead||  +128kbps|", "Junk||fast|"}));

  std::string oneLine;
  for (int i = 0; i < 40; ++i) oneLine += "<station name=\"S\" id=\"1\" br=\"128\"/>";  // three 511-pieces
  const Rows rows = page(stations, root, "<station name=\"Radio id=\"7\" br=\"128\" id=\"99\"/>\n"
                               "<station name=\"Rock &amp; Roll &lt;3\"/>\n<station id=\"1\"/>\n" + oneLine +
                               "\n<station name=\"" + std::string(300, 'n') + "\" id=\"" + std::string(40, '1') +
                               "\" br=\"" + std::string(30, '9') + "\" genre=\"" + std::string(60, 'g') +
                               "\"/>\n<station genre=\"" + std::string(300, 'g') + "\" id=\"3\" name=\"Unclosed\r\n");
  // The first "id=" stands inside the name; one line holds three pieces.
  EXPECT_EQ(rows, (Rows{"Radio id=|7|128|", "Rock &amp; Roll &lt;3|||", "S|1|128|", "S|1|128|", "S|1|128|",
                        std::string(300, 'n') + "|" + std::string(15, '1') + "|" + std::string(11, '9') + "|" +
                            std::string(60, 'g'), "Unclosed|3||" + std::string(127, 'g')}));

  // A failed read says so; an empty page empties the list.
  EXPECT_TRUE(!oruvel::readDirectoryPage(stations, root.at("/tmp/none")) && stations.read_error == 1);
  EXPECT_TRUE(page(stations, root, "").empty() && stations.net_anker == nullptr && stations.stationsInKeyOrder().empty());
  EXPECT_EQ(testsupport::openDescriptors(), filesBefore) << "a read leaves no file open";
}

TEST(Lists, FieldsAreStoredAtTheirLengthAndCutAtTheirWidth) {
  TempRoot root;
  oruvel::StationList stations;
  oruvel::GenreList genreList;
  // Values empty, of their field's exact width, a byte over and far over,
  // a letter of its own each station, enough stations to fill many blocks.
  const std::size_t shortLengths[] = {0, 11, 12, 15, 16, 40}, genreLengths[] = {0, 127, 128, 200};
  auto text = [](std::size_t n, int i) { return std::string(n, static_cast<char>('a' + i % 26)); };
  auto cut = [&](std::size_t n, std::size_t width, int i) { return text(std::min(n, width), i); };
  std::string big, localFile;
  Rows bigRows, localRows;
  for (int i = 0; i < 3000; ++i) {
    const std::size_t n = shortLengths[i % 6], g = genreLengths[i % 4], m = i % 100;
    big += "<station name=\"" + text(m, i) + "\" id=\"" + text(n, i) + "\" br=\"" + text(n, i) + "\" genre=\"" +
           text(g, i) + "\"/>\n";
    bigRows.push_back(text(m, i) + "|" + cut(n, 15, i) + "|" + cut(n, 11, i) + "|" + cut(g, 127, i));
    localFile += "<station name=\"" + text(m, i) + "\"\nurl=\"http://h/sbin/tunein-station.pls?id=" + text(n, i) + "&\"\n";
    localRows.push_back(text(m, i) + "|" + cut(n, 15, i) + "||");
  }
  // A reread fills the blocks the list before it left, whatever it held;
  // removing the list gives back its nodes and its texts.
  EXPECT_EQ(page(stations, root, big), bigRows);
  EXPECT_EQ(page(stations, root, "<station name=\"S\" id=\"\" br=\"1\"/>\n"), (Rows{"S||1|"}));
  EXPECT_EQ(page(stations, root, big), bigRows);
  EXPECT_EQ(local(stations, root, localFile), localRows);
  const std::size_t heapWithList = testsupport::heapInUse();
  stations.RemoveList();
  EXPECT_GT(heapWithList - testsupport::heapInUse(), 3000 * (sizeof(StationNode) + 50));
  EXPECT_EQ(page(stations, root, big), bigRows);

  // A short genre file after a long one gives back the nodes it does not need.
  std::string longGenres;
  for (int i = 0; i < 10000; ++i) longGenres += "<genre name=\"" + text(8, i) + "\"/>\n";
  readGenres(genreList, root, longGenres);
  const std::size_t heapLong = testsupport::heapInUse();
  readGenres(genreList, root, "<genre name=\"G\"/>\n");
  EXPECT_GT(heapLong - testsupport::heapInUse(), 10000 * sizeof(GenreNode));

  Entries genres = {{"local:lumostations.xml", 1}, {"local: stations.xml", 2}};
  std::string genreFile;
  for (int n : {0, 62, 63, 64, 200}) {
    genreFile += "<genre name=\"" + text(n, n) + "\"/>\n";
    genres.emplace_back(cut(n, 63, n), static_cast<int>(genres.size()) + 1);
  }
  EXPECT_EQ(readGenres(genreList, root, genreFile), genres);
}

// The page as a 512-byte line buffer reads it, with one substring search
// per key: what the block reader must give, station for station.
Rows pageReadLineByLine(const std::string& path, const char* filter) {
  auto field = [](const oruvel::LineValue& v, std::size_t width) {
    return std::string(std::string(v.text.substr(0, width - 1)).c_str());  // cut, then up to a NUL
  };
  Rows rows;
  std::FILE* file = std::fopen(path.c_str(), "r");
  const auto nextPiece = [file](std::string& piece) {
    piece.clear();
    for (int c; piece.size() < 511 && (c = std::getc(file)) != EOF;)
      if ((piece += static_cast<char>(c)).back() == '\n') break;
    return !piece.empty();
  };
  for (std::string piece; nextPiece(piece);) {
    const oruvel::LineValue br = oruvel::quotedValue(piece, "br="), name = oruvel::quotedValue(piece, "name=");
    if (name.found && (std::string(filter) == "0" || !br.found ||
                       std::strtol(std::string(br.text).c_str(), nullptr, 10) >= std::strtol(filter, nullptr, 10)))
      rows.push_back(field(name, 512) + "|" + field(oruvel::quotedValue(piece, "id="), 16) + "|" + field(br, 12) +
                     "|" + field(oruvel::quotedValue(piece, "genre="), 128));
  }
  std::fclose(file);
  return rows;
}

TEST(Lists, DirectoryPageReadsAsTheLineBufferDoes) {
  TempRoot root;
  oruvel::StationList stations;
  // Lines made of keys, quotes, line ends, NULs and runs of every length
  // around the reader's windows, pieces and blocks.
  const std::vector<std::string> parts = {
      "name=", "id=", "br=", "genre=", " mt=", "=", "\"", "\"", "\r", "\r\n", " ", "Ab", "nam", "enre", "128",
      "  +96", "-3", "99999999999999999999", std::string(1, '\0'), std::string(7, 'x'), std::string(15, 'y'),
      std::string(40, 'z'), std::string(600, 'w')};
  std::mt19937 random(14);
  std::string content;
  while (content.size() < 300 * 1024) {
    for (int n = std::uniform_int_distribution<int>(0, 14)(random); n > 0; --n)
      content += parts[std::uniform_int_distribution<std::size_t>(0, parts.size() - 1)(random)];
    if (random() % 8 != 0) content += '\n';
  }
  root.write("/tmp/lumonet", content);
  for (const char* filter : {"0", "100"})
    EXPECT_EQ(page(stations, root, content, filter), pageReadLineByLine(root.at("/tmp/lumonet"), filter)) << filter;
}

TEST(Lists, LocalFileTakesTheNameLineAndTheUrlLineAfterItAndFavouritesReadBack) {
  TempRoot root;
  oruvel::StationList stations;
  // When the file ends right after a name line, that line's own address
  // gives the id: a one-line record, or a stray url line, whose
  // "filename=" holds "name=". Before another line, the rule is the usual one.
  const std::string url = "url=\"http://h/sbin/tunein-station.pls?id=", tail = "&amp;filename=playlist.pls\"/>";
  const struct { std::string file; Rows rows; } files[] = {
      {"<?xml version=\"1.0\"?>\n<stations>\n\n<station name=\"Jazz Radio\"\r\n" + url + "4321" + tail + "\r\n"
       "<station name=\"NoUrl\"\n<station name=\"Swallowed\"\n<station name=\"BareId\"\n" + url + "123\"/>\n"
       "<station name=\"Last\"\n", {"Jazz Radio|4321||", "NoUrl|||", "BareId|123||", "Last|||"}},
      {"<station name=\"One\" " + url + "77" + tail, {"One|77||"}},
      {"<station name=\"A\"\n" + url + "1" + tail + "\n" + url + "2" + tail + "\n", {"A|1||", "laylist.pls|2||"}},
      {"<station name=\"One\" " + url + "77" + tail + "\n<station name=\"Swallowed\"\n", {"One|||"}},
      {"<station name=\"NoId\" url=\"x\"\n", {"NoId|||"}},
  };
  for (const auto& c : files) EXPECT_EQ(local(stations, root, c.file), c.rows) << c.file;
  EXPECT_TRUE(!oruvel::readLocalStations(stations, root.at("/none.xml").c_str()) && stations.read_error == 1);
  stations.RemoveList();
  EXPECT_TRUE(stations.net_ende == nullptr && stations.net_anker == nullptr && stations.AnzahlNETElemente == 0);

  // A favourite is saved only when its id reads back the same: the name is
  // cut on reading ("1&x" reads as 1); a name line of 495 bytes no longer
  // fits the reader's piece.
  const struct { std::string name, id; bool readsBack; } cases[] = {
      {"Jazz Radio", "4321", true}, {"No Id", "", true},        {"Say \"Hi\" FM", "1;touch x", true},
      {"Amp", "1&x", false},        {"Amp", "1&amp;x", false}, {"Quote", "1\"x", false},
      {std::string(494, 'n'), "5", true}, {std::string(495, 'n'), "5", false}};
  for (const auto& c : cases)
    EXPECT_EQ(oruvel::favouriteReadsBack(c.name, c.id), c.readsBack) << c.id << " " << c.name.size();
}

TEST(Lists, ReadsStopAtTheirBounds) {
  TempRoot root;
  oruvel::GenreList genres; oruvel::StationList stations;
  // An entry, filler up to where a second entry ends right at the bound,
  // then a third entry past it: two are read.
  auto bounded = [](const std::string& entry, std::size_t bound) {
    std::string filler(bound - 2 * entry.size() - 1, ' ');
    return entry + filler + "\n" + entry + entry;
  };
  EXPECT_EQ(readGenres(genres, root, bounded("<genre name=\"G\"/>\n", oruvel::bounds::kGenreFileBytes)).size(), 4u);
  EXPECT_EQ(page(stations, root, bounded("<station name=\"S\" id=\"1\"/>\n", oruvel::bounds::kPageBytes)).size(), 2u);
  EXPECT_EQ(local(stations, root, bounded("<station name=\"S\"\nurl=\"x?id=1&amp;\"/>\n", oruvel::bounds::kStationFileBytes)),
            (Rows{"S|1||", "S|1||"}));
}

}  // namespace
