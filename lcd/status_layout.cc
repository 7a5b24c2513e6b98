#include "lcd/status_layout.h"

#include "lcd/lcd_display.h"

namespace oruvel {

StatusRows statusRows(std::string_view text) {
  StatusRows rows;
  std::size_t next = 0;
  for (StatusRow& row : rows) {
    for (int c = 0; c < kStatusCells; ++c, ++next) {
      const char byte = next < text.size() ? text[next] : ' ';
      row[c] = byte == '\0' ? ' ' : byte;
    }
    row[kStatusCells] = '\0';
  }
  return rows;
}

void layoutStatusText(CLCDDisplay& lcd, std::string_view text) {
  const StatusRows rows = statusRows(text);
  for (int i = 0; i < kStatusRows; ++i)
    lcd.draw_string(kStatusLeft, kStatusTop + 8 * i, rows[i].data());
  lcd.update();
}

}  // namespace oruvel
