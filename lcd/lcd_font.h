#pragma once
// The panel's 8x8 font: 256 glyphs in the code page 437 layout. Glyph n is
// bytes 8n..8n+7, one byte per pixel row from the top, the most significant
// bit the leftmost pixel. Index it with the character code as unsigned char.

extern const unsigned char lcd_font[256 * 8];
