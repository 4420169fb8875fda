// Choosing four bytes of a buffer so that its CRC-32 becomes any value: the CRC is linear, so
// four bytes reach every value. Tests use it to make stand-ins for ROMs known by their CRC
// (the console's BIOS) from bytes of our own.
#pragma once

#include "format/Crc32.h"

#include <cstddef>
#include <cstdint>

namespace rix::test {

// The register before the byte `byte` was fed, given the register after it. The table's top
// bytes are all different, so the register's top byte names the entry that was used.
inline std::uint32_t Crc32Unfeed(std::uint32_t after, std::uint8_t byte) {
    for (std::uint32_t index = 0; index < 256; ++index) {
        const std::uint32_t entry = format::kCrc32Table[index];
        if ((entry >> 24) == (after >> 24)) {
            return ((after ^ entry) << 8) | ((index ^ byte) & 0xFFu);
        }
    }
    return 0; // not reached
}

// Overwrites buffer[position .. position+3] (position + 4 <= size) so that the CRC-32 of the
// `size` bytes is `target`; no other byte changes.
inline void ForceCrc32(std::uint8_t* buffer, std::size_t size, std::size_t position,
                       std::uint32_t target) {
    const std::uint32_t before =
        format::Crc32Update(format::kCrc32Preset, buffer, std::uint32_t(position));
    // Back from the final register over the bytes behind the four: the register they need.
    std::uint32_t reg = format::Crc32Finish(target);
    for (std::size_t i = size; i > position + 4; --i) {
        reg = Crc32Unfeed(reg, buffer[i - 1]);
    }
    // Feeding bytes b0..b3 is feeding four zeros from the register XOR b0 | b1 << 8 | ...
    for (int i = 0; i < 4; ++i) {
        reg = Crc32Unfeed(reg, 0);
    }
    const std::uint32_t word = reg ^ before;
    for (int i = 0; i < 4; ++i) {
        buffer[position + std::size_t(i)] = std::uint8_t(word >> (8 * i));
    }
}

} // namespace rix::test
