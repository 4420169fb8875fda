#include "builder/ControlCodes.h"
#include "settings/Schema.h"

#include <gtest/gtest.h>

namespace rix {
namespace {

TEST(ControlCodes, EveryChoiceInDialogOrder) {
    const std::uint16_t expected[] = {0x0000, 0x4000, 0x0040, 6, 9,  5,  2, 8,
                                      3,      13,     12,     1, 10, 14, 4};
    ASSERT_EQ(schema::kControlChoices.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(ControlChoiceToCode(schema::kControlChoices[i]), expected[i])
            << schema::kControlChoices[i];
    }
}

TEST(ControlCodes, AnythingElseIsZero) {
    for (const char* text : {"fire 1", "Fire 1 ", "Fire1", " Fire 1", "10", "A", "+", "", " ",
                             "<UNASSIGNED>", "FIRE 2"}) {
        EXPECT_EQ(ControlChoiceToCode(text), 0) << '"' << text << '"';
    }
}

} // namespace
} // namespace rix
