// The screen as a grid of 40 x 20 character cells (6 x 8 pixels each), with an ink colour per
// cell and a paper colour per row. The menu composes it every frame; the video layer redraws
// only the rows that changed. Portable, so the harness shares the layout.
#pragma once

#include <cstdint>

namespace rix::gba {

inline constexpr int kColumns = 40;
inline constexpr int kRows = 20;
inline constexpr int kCellWidth = 6;
inline constexpr int kCellHeight = 8;

// Palette indices.
enum Ink : std::uint8_t { kInkText = 1, kInkDim = 2, kInkAccent = 3 };
enum Paper : std::uint8_t { kPaperPlain = 0, kPaperTitle = 4, kPaperSelected = 5, kPaperError = 6 };

struct TextRow {
    char text[kColumns];
    std::uint8_t ink[kColumns];
    std::uint8_t paper;
};

bool SameRow(const TextRow& a, const TextRow& b);

struct TextScreen {
    TextRow rows[kRows];
    void Clear();
};

// Writes text into one row from a column on, clipping at the right edge. Bytes outside
// printable ASCII show as '?'.
class Line {
public:
    Line(TextScreen& screen, int row, int column = 1, std::uint8_t ink = kInkText)
        : row_(screen.rows[row]), column_(column), ink_(ink) {}

    Line& At(int column) {
        column_ = column;
        return *this;
    }
    Line& Ink(std::uint8_t ink) {
        ink_ = ink;
        return *this;
    }
    Line& Paper(std::uint8_t paper) {
        row_.paper = paper;
        return *this;
    }
    Line& Char(char c);
    Line& Text(const char* text);
    Line& Bytes(const std::uint8_t* bytes, int length);
    Line& Dec(std::uint32_t value);
    Line& SignedDec(std::int32_t value);
    Line& Hex(std::uint32_t value, int digits);
    // `value` right-aligned in `width` columns.
    Line& DecRight(std::uint32_t value, int width);
    // Text ending at the row's last column.
    Line& TextRight(const char* text);

private:
    TextRow& row_;
    int column_;
    std::uint8_t ink_;
};

// Splits `length` bytes into at most `maxLines` lines of at most `width` columns, breaking after
// a space where one is near enough. Returns the number of lines; starts[i] and lengths[i] give
// each line (leading spaces of a continuation line are skipped).
int WrapText(const std::uint8_t* text, int length, int width, int maxLines, int* starts,
             int* lengths);

int TextLength(const char* text);
int DecDigits(std::uint32_t value);

} // namespace rix::gba
