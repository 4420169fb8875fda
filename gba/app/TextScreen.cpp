#include "TextScreen.h"

namespace rix::gba {

bool SameRow(const TextRow& a, const TextRow& b) {
    if (a.paper != b.paper) {
        return false;
    }
    for (int c = 0; c < kColumns; ++c) {
        if (a.text[c] != b.text[c] || a.ink[c] != b.ink[c]) {
            return false;
        }
    }
    return true;
}

void TextScreen::Clear() {
    for (TextRow& row : rows) {
        for (int c = 0; c < kColumns; ++c) {
            row.text[c] = ' ';
            row.ink[c] = kInkText;
        }
        row.paper = kPaperPlain;
    }
}

int TextLength(const char* text) {
    int n = 0;
    while (text[n] != '\0') {
        ++n;
    }
    return n;
}

Line& Line::Char(char c) {
    if (column_ >= 0 && column_ < kColumns) {
        row_.text[column_] = (c >= 32 && c <= 126) ? c : '?';
        row_.ink[column_] = ink_;
    }
    ++column_;
    return *this;
}

Line& Line::Text(const char* text) {
    for (; *text != '\0'; ++text) {
        Char(*text);
    }
    return *this;
}

Line& Line::Bytes(const std::uint8_t* bytes, int length) {
    for (int i = 0; i < length; ++i) {
        Char(char(bytes[i]));
    }
    return *this;
}

int DecDigits(std::uint32_t value) {
    int n = 1;
    while (value >= 10) {
        value /= 10;
        ++n;
    }
    return n;
}

namespace {

int FormatDec(std::uint32_t value, char* digits) {
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return n; // least significant first
}

} // namespace

Line& Line::Dec(std::uint32_t value) {
    char digits[10];
    for (int n = FormatDec(value, digits); n > 0; --n) {
        Char(digits[n - 1]);
    }
    return *this;
}

Line& Line::SignedDec(std::int32_t value) {
    if (value < 0) {
        Char('-');
        return Dec(0u - std::uint32_t(value));
    }
    return Dec(std::uint32_t(value));
}

Line& Line::Hex(std::uint32_t value, int digits) {
    for (int i = digits - 1; i >= 0; --i) {
        Char("0123456789ABCDEF"[(value >> (4 * i)) & 0xFu]);
    }
    return *this;
}

Line& Line::DecRight(std::uint32_t value, int width) {
    char digits[10];
    const int n = FormatDec(value, digits);
    for (int i = n; i < width; ++i) {
        Char(' ');
    }
    return Dec(value);
}

Line& Line::TextRight(const char* text) {
    column_ = kColumns - 1 - TextLength(text);
    return Text(text);
}

int WrapText(const std::uint8_t* text, int length, int width, int maxLines, int* starts,
             int* lengths) {
    int lines = 0;
    int pos = 0;
    while (lines < maxLines) {
        while (lines > 0 && pos < length && text[pos] == ' ') {
            ++pos;
        }
        if (pos >= length) {
            break;
        }
        int take = length - pos;
        if (take > width) {
            take = width;
            // Break behind the last space of the line, unless that leaves it too short.
            for (int i = width; i > width / 2; --i) {
                if (text[pos + i] == ' ' || text[pos + i - 1] == ' ') {
                    take = i;
                    break;
                }
            }
        }
        starts[lines] = pos;
        lengths[lines] = take;
        ++lines;
        pos += take;
    }
    return lines;
}

} // namespace rix::gba
