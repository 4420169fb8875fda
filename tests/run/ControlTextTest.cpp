// The GBA program's text of a record's control codes (its game page), built for the host and
// read against format/'s meaning of the codes and against the codes the builder writes.
#include "app/Controls.h"
#include "app/TextScreen.h"
#include "builder/ControlCodes.h"
#include "format/Controls.h"
#include "settings/Schema.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace rix {
namespace {

std::string Described(std::uint16_t code) {
    gba::TextScreen screen;
    screen.Clear();
    gba::Line line(screen, 0, 0);
    gba::DescribeControl(code, line);
    std::string text(screen.rows[0].text, gba::kColumns);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

std::string Unknown(std::uint16_t code) {
    char text[32];
    std::snprintf(text, sizeof text, "unknown (0x%04X)", code);
    return text;
}

TEST(ControlText, EveryKeypadCodeReadsAsFormatsKey) {
    EXPECT_EQ(Described(0), "none");
    for (std::uint16_t code = 1; code < 16; ++code) {
        const char key = format::kKeypadKeys[code];
        EXPECT_EQ(Described(code), key != 0 ? "Keypad " + std::string(1, key) : Unknown(code))
            << code;
    }
}

TEST(ControlText, FireButtonsCombineAndStrayBitsAreUnknown) {
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0x4000, "Fire 1"},
        {0x0040, "Fire 2"},
        {0x4040, "Fire 1 + Fire 2"},
        {0x4042, "Fire 1 + Fire 2 + Keypad 1"},
        {0x0049, "Fire 2 + Keypad #"},
        {0x0047, "unknown (0x0047)"}, // code 7 is no key
        {0x0080, "unknown (0x0080)"},
        {0x8002, "unknown (0x8002)"},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(Described(code), text) << code;
    }
}

// What a user picks in the dialog is what the cartridge's game page shows.
TEST(ControlText, EveryChoiceReadsBackAsItself) {
    for (const std::string_view choice : schema::kControlChoices) {
        const std::string shown = Described(ControlChoiceToCode(choice));
        if (choice == schema::kUnassigned) {
            EXPECT_EQ(shown, "none");
        } else if (choice.size() == 1) {
            EXPECT_EQ(shown, "Keypad " + std::string(choice));
        } else {
            EXPECT_EQ(shown, choice);
        }
    }
}

} // namespace
} // namespace rix
