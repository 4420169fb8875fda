// A ROM is known by the CRC-32 of its whole content, written as eight upper-case hex digits
// (the ROM key): the name of its settings section and the first field of its record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rix {

std::uint32_t Crc32OfBuffer(const void* bytes, std::uint32_t length);

// Exactly eight upper-case hexadecimal digits, zero-filled.
std::string FormatRomKey(std::uint32_t crc);

// The value of a ROM key, defined for every text: positions 1 to 8 from the right end of the
// key's first eight characters; "0"-"9", "A"-"E" (either case) are digits, and every other or
// missing character, "F" included, counts as 15.
std::uint32_t RomKeyToCrc(std::string_view text);

} // namespace rix
