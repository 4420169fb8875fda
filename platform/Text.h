// Text helpers: the system's text is 8-bit bytes (Windows-1252), held in std::string.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rix {

// Upper-cases ASCII letters and the Windows-1252 letters that have an upper-case form; the
// name matching of the settings document goes through this.
std::string UpperAnsi(std::string_view text);
// Lower-cases "A" to "Z" only.
std::string LowerAscii(std::string_view text);

// Converts a whole text to a signed 32-bit integer: optional leading spaces, optional sign,
// then decimal digits, or hexadecimal digits behind "$" or "0x". Hexadecimal takes up to
// 32 bits as a two's-complement pattern ($FFFFFFFF is -1); decimal must fit the signed range.
// Anything else, the empty text and trailing spaces included, throws the conversion error.
std::int32_t StrToInt(std::string_view text);
// Same rules; returns false instead of throwing.
bool TryStrToInt(std::string_view text, std::int32_t& value);

// Upper-case hexadecimal with at least `digits` digits, the value taken as unsigned.
std::string IntToHex(std::uint32_t value, int digits);

} // namespace rix
