#include "builder/RomIdentity.h"
#include "format/Crc32.h"

#include <gtest/gtest.h>

#include <cstring>

namespace rix {
namespace {

TEST(Crc32, KnownValuesOverBothStagesOfTheLoop) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"", 0x00000000u},
        {"123456789", 0xCBF43926u},
        {"1234567890", 0x261DAEE5u},
        {"12345678901", 0x539AE4EEu},  // 2 groups + 3
        {"123456789012", 0x5D34EB96u}, // 3 groups exactly
        {"a", 0xE8B7BE43u},
    };
    for (const auto& [text, crc] : cases) {
        EXPECT_EQ(Crc32OfBuffer(text, std::uint32_t(std::strlen(text))), crc) << text;
    }
    EXPECT_EQ(format::kCrc32Table[1], 0x77073096u);
    EXPECT_EQ(format::kCrc32Table[255], 0x2D02EF8Du);
}

TEST(Crc32, SlicedUpdatesEqualOnePass) {
    std::vector<std::uint8_t> bytes(1031);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = std::uint8_t(i * 31 + 7);
    }
    std::uint32_t reg = format::kCrc32Preset;
    reg = format::Crc32Update(reg, bytes.data(), 5);
    reg = format::Crc32Update(reg, bytes.data() + 5, 1000);
    reg = format::Crc32Update(reg, bytes.data() + 1005, 26);
    EXPECT_EQ(format::Crc32Finish(reg), Crc32OfBuffer(bytes.data(), 1031));
}

TEST(RomKey, FormatsEightUpperCaseDigits) {
    EXPECT_EQ(FormatRomKey(0), "00000000");
    EXPECT_EQ(FormatRomKey(0x0000ABCDu), "0000ABCD");
    EXPECT_EQ(FormatRomKey(0xFFFFFFFFu), "FFFFFFFF");
    EXPECT_EQ(FormatRomKey(0xCBF43926u), "CBF43926");
}

TEST(RomKey, ParsesEveryText) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"CBF43926", 0xCBF43926u},   {"cbf43926", 0xCBF43926u}, {"1234", 0x1234FFFFu},
        {"0123456789", 0x01234567u}, {"12G45678", 0x12F45678u}, {"", 0xFFFFFFFFu},
        {"0000ABCD", 0x0000ABCDu},   {"FFFFFFFF", 0xFFFFFFFFu}, {"ffffffff", 0xFFFFFFFFu},
        {"Settings", 0xFEFFFFFFu},   {"00000000", 0u},          {"aBcDeEeE", 0xABCDEEEEu},
    };
    for (const auto& [text, crc] : cases) {
        EXPECT_EQ(RomKeyToCrc(text), crc) << text;
    }
    for (std::uint32_t crc : {0u, 1u, 0x80000000u, 0xDEADBEEFu, 0x0000ABCDu}) {
        EXPECT_EQ(RomKeyToCrc(FormatRomKey(crc)), crc);
    }
}

} // namespace
} // namespace rix
