#include "builder/RomIdentity.h"

#include "format/Crc32.h"
#include "platform/Text.h"

namespace rix {

std::uint32_t Crc32OfBuffer(const void* bytes, std::uint32_t length) {
    return format::Crc32Finish(
        format::Crc32Update(format::kCrc32Preset, static_cast<const std::uint8_t*>(bytes), length));
}

std::string FormatRomKey(std::uint32_t crc) {
    return IntToHex(crc, 8);
}

std::uint32_t RomKeyToCrc(std::string_view text) {
    std::uint32_t sum = 0;
    for (std::uint32_t j = 0; j < 8; ++j) {
        const std::size_t position = 8 - j; // counted from 1
        const char c = position <= text.size() ? text[position - 1] : '\0';
        std::uint32_t digit = 15;
        if (c >= '0' && c <= '9') {
            digit = std::uint32_t(c - '0');
        } else if (c >= 'A' && c <= 'E') {
            digit = std::uint32_t(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'e') {
            digit = std::uint32_t(c - 'a' + 10);
        }
        sum += digit << (4 * j);
    }
    return sum;
}

} // namespace rix
