// Bytes the receiver's processor must produce the same as the desktop's: LCD
// pages for every character code, favourite records, list keys and fields.
// The digests come from x86-64; the PowerPC build (32-bit, big-endian,
// unsigned char) runs the same test under qemu.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "directory/favourites.h"
#include "directory/station_list.h"
#include "lcd/lcd_display.h"
#include "lcd/status_layout.h"
#include "tests/support/temp_root.h"

namespace {

// FNV-1a, 64 bits: the same value from the same bytes on every processor.
std::uint64_t digest(std::string_view bytes, std::uint64_t h = 1469598103934665603ull) {
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  return h;
}

TEST(ReceiverBytes, LcdPagesForEveryCharacterCode) {
  testsupport::TempRoot root;
  testing::internal::CaptureStderr();  // no device here: drawn in memory only
  CLCDDisplay lcd(root.at("/dev/dbox/lcd0"));
  testing::internal::GetCapturedStderr();
  const auto pages = [&] { return std::string_view(reinterpret_cast<const char*>(lcd.pages()), CLCDDisplay::kPageBytes); };
  // All 256 codes, 98 a screen, codes above 127 included (signed or
  // unsigned char must not matter), then drawing at odd, clipped places.
  std::uint64_t h = digest("");
  for (int start = 0; start < 256; start += 98) {
    std::string text;
    for (int c = start; c < start + 98; ++c) text += static_cast<char>(c & 0xFF);
    oruvel::layoutStatusText(lcd, text);
    h = digest(pages(), h);
  }
  lcd.draw_string(-3, 60, "\xE9\x80\xFF\x01 clipped");
  lcd.draw_char(116, -4, static_cast<char>(0xDB));
  lcd.draw_point(5, 5, 2);
  lcd.update();
  h = digest(pages(), h);
  EXPECT_EQ(h, 0xb78988d1625a8b49ull) << std::hex << "digest 0x" << h;
}

TEST(ReceiverBytes, FavouriteRecordsAndTheirKeys) {
  setenv("ORUVEL_DIRECTORY", "dir.test:8370", 1);
  testsupport::TempRoot root;
  std::string records;
  for (int i = 0; i < 300; ++i)
    records += oruvel::favouriteRecord("St\xE4tion " + std::to_string(i), std::to_string(1000 + i));
  std::uint64_t h = digest(records);
  root.write("/fav.xml", records);
  oruvel::StationList stations;
  ASSERT_TRUE(oruvel::readLocalStations(stations, root.at("/fav.xml").c_str()));
  ASSERT_EQ(stations.AnzahlNETElemente, 300);
  for (int key : {1, 2, 150, 299, 300}) {
    stations.NET_Element_ermitteln(key, stations.AnzahlNETElemente);
    h = digest(std::to_string(key) + stations.net_anker->name + "|" + stations.net_anker->id, h);
  }
  EXPECT_EQ(h, 0x6841361d814c9733ull) << std::hex << "digest 0x" << h;
  unsetenv("ORUVEL_DIRECTORY");
}

}  // namespace
