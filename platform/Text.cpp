#include "platform/Text.h"

#include "platform/Errors.h"

namespace rix {

namespace {
unsigned char UpperByte(unsigned char c) {
    if (c >= 'a' && c <= 'z') {
        return static_cast<unsigned char>(c - 0x20);
    }
    switch (c) {
    case 0x9A:
        return 0x8A; // s caron
    case 0x9C:
        return 0x8C; // oe
    case 0x9E:
        return 0x8E; // z caron
    case 0xFF:
        return 0x9F; // y diaeresis
    default:
        break;
    }
    // Latin-1 letters a-grave .. thorn, except the division sign.
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
        return static_cast<unsigned char>(c - 0x20);
    }
    return c;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}
} // namespace

std::string UpperAnsi(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(UpperByte(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 0x20);
        }
    }
    return out;
}

bool TryStrToInt(std::string_view text, std::int32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == text.size()) {
        return false; // no digits
    }
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int d =
            hex ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (d < 0) {
            return false;
        }
        magnitude = magnitude * (hex ? 16 : 10) + std::uint64_t(d);
        if (magnitude > 0xFFFFFFFFull) {
            return false;
        }
    }
    if (hex) {
        const auto pattern = static_cast<std::uint32_t>(magnitude);
        const auto asSigned = static_cast<std::int32_t>(pattern);
        // Negating INT32_MIN's pattern stays INT32_MIN, as 32-bit arithmetic does.
        value = negative ? static_cast<std::int32_t>(0u - pattern) : asSigned;
        return true;
    }
    if (negative ? magnitude > 0x80000000ull : magnitude > 0x7FFFFFFFull) {
        return false;
    }
    value = negative ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(magnitude))
                     : static_cast<std::int32_t>(magnitude);
    return true;
}

std::int32_t StrToInt(std::string_view text) {
    std::int32_t value = 0;
    if (!TryStrToInt(text, value)) {
        throw NotValidInteger(text);
    }
    return value;
}

std::string IntToHex(std::uint32_t value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    while (static_cast<int>(out.size()) < digits) {
        out.insert(out.begin(), '0');
    }
    return out;
}

} // namespace rix
