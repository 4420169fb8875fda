#include "platform/Text.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace rix {
namespace {

struct IntCase {
    const char* text;
    std::optional<std::int32_t> value; // nullopt: the conversion error
};

TEST(StrToInt, AcceptsExactlyTheIntegerForms) {
    const IntCase cases[] = {
        {"0", 0},
        {"228", 228},
        {"-1", -1},
        {"+17", 17},
        {"   42", 42},
        {"$E4", 228},
        {"0xE4", 228},
        {"0XE4", 228},
        {"$ff", 255},
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$FFFFFFFF", -1},
        {"007", 7},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"42 ", std::nullopt},  // trailing spaces are not allowed
        {"\t42", std::nullopt}, // only spaces may lead
        {"fast", std::nullopt},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"$100000000", std::nullopt},
        {"$", std::nullopt},
        {"0x", std::nullopt},
        {"-", std::nullopt},
        {"+-1", std::nullopt},
        {"1.5", std::nullopt},
        {"0x1G", std::nullopt},
        {"- 1", std::nullopt},
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(c.text);
        std::int32_t value = 12345;
        EXPECT_EQ(TryStrToInt(c.text, value), c.value.has_value());
        if (c.value) {
            EXPECT_EQ(value, *c.value);
            EXPECT_EQ(StrToInt(c.text), *c.value);
        } else {
            try {
                StrToInt(c.text);
                ADD_FAILURE() << "no error";
            } catch (const RixError& e) {
                EXPECT_EQ(e.what(), "'" + std::string(c.text) + "' is not a valid integer value");
                EXPECT_EQ(e.Kind(), ErrorKind::Convert);
            }
        }
    }
}

TEST(IntToHex, PadsAndTreatsValuesAsUnsigned) {
    EXPECT_EQ(IntToHex(228, 4), "00E4");
    EXPECT_EQ(IntToHex(70000, 4), "11170");
    EXPECT_EQ(IntToHex(0, 4), "0000");
    EXPECT_EQ(IntToHex(0x0000ABCD, 8), "0000ABCD");
    EXPECT_EQ(IntToHex(0xFFFFFFFFu, 8), "FFFFFFFF");
    EXPECT_EQ(IntToHex(static_cast<std::uint32_t>(-1), 4), "FFFFFFFF");
}

TEST(CaseMapping, UpperAnsiCoversWindows1252LettersAndLowerAsciiOnlyAtoZ) {
    EXPECT_EQ(UpperAnsi("lastDir_9 x"), "LASTDIR_9 X");
    EXPECT_EQ(UpperAnsi("\xE9\xF7\xFF\x9A"), "\xC9\xF7\x9F\x8A"); // e-acute, division, y, s
    EXPECT_EQ(LowerAscii("GAME.COL"), "game.col");
    EXPECT_EQ(LowerAscii("\xC9"), "\xC9");
}

} // namespace
} // namespace rix
