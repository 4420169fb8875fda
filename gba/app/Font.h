// The program's text font: ASCII 32 to 126, each glyph 5 x 8 pixels in a 6 x 8 cell (the sixth
// column is the gap). Capitals use rows 0-6; row 7 holds descenders. Portable: the test harness
// reads the screen back with the same glyphs.
#pragma once

#include <cstdint>

namespace rix::gba {

inline constexpr int kFirstGlyph = 32;
inline constexpr int kGlyphCount = 95;
inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 8;

// Row r of the glyph for character c is kFont.rows[c - 32][r]; bit x is the pixel in column x.
struct Font {
    std::uint8_t rows[kGlyphCount][kGlyphHeight];
};
extern const Font kFont;

} // namespace rix::gba
