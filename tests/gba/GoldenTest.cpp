// Golden screenshots of the image's screens, compared pixel for pixel (the core is
// deterministic). `make goldens` rewrites them (RIX_UPDATE_GOLDENS=1); a test never does on
// its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Cartridge.h"
#include "GbaMachine.h"
#include "format/CartTable.h"

namespace rix::test {
namespace {

CartContents ThreeGames() {
    GameConfig suite;
    suite.name = "Suite CV";
    suite.controls = {kFire1, kFire2, kKeypadStar, kKeypadHash, kKeypad1, kKeypad2};
    GameConfig custom;
    custom.name = "A Game With The Longest Name A Record May Hold";
    custom.custom = true;
    custom.cycles = 228;
    custom.collision = 2;
    custom.controls = {kFire2, kFire1, kKeypad1, kKeypad2, kKeypadStar, kKeypadHash};
    CartContents contents;
    contents.games = {
        {ReadFile(std::string(RIX_TESTDATA_DIR) + "/coleco/suitecv.rom"), suite},
        {TestRom(2, 16384), custom},
        {TestRom(3, 8192), std::nullopt},
    };
    return contents;
}

std::vector<std::uint8_t> Damaged() {
    std::vector<std::uint8_t> cartridge = MakeCartridge(RixImage(), ThreeGames());
    format::WriteU32(cartridge.data() + RixImage().size(), 17); // records offset
    return cartridge;
}

std::vector<std::uint8_t> Empty() {
    CartContents contents;
    GameConfig config;
    config.name = "Unlisted";
    contents.otherRecords = {{0x12345678u, config}, {0x9ABCDEF0u, config}};
    return MakeCartridge(RixImage(), contents);
}

TEST(GbaGoldens, ScreensMatchTheirGoldens) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> cartridge;
        std::vector<std::uint16_t> keys;
    };
    const Case cases[] = {
        {"menu", MakeCartridge(RixImage(), ThreeGames()), {kKeyDown}},
        {"game", MakeCartridge(RixImage(), ThreeGames()), {kKeyDown, kKeyA}},
        {"empty", Empty(), {}},
        {"error", Damaged(), {}},
    };
    const bool update = std::getenv("RIX_UPDATE_GOLDENS") != nullptr;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GbaMachine machine(c.cartridge);
        machine.RunFrames(60);
        for (std::uint16_t key : c.keys) {
            machine.Tap(key, 10);
        }
        const RgbImage screen = machine.Screen();
        const std::string golden =
            std::string(RIX_SOURCE_DIR) + "/tests/fixtures/gba/" + c.name + ".png";
        if (update) {
            ASSERT_TRUE(WritePng(golden, screen)) << golden;
            continue;
        }
        RgbImage expected;
        ASSERT_TRUE(ReadPng(golden, expected)) << golden << " missing: make goldens";
        if (!(screen == expected)) {
            const std::string actual = std::string(RIX_BINARY_DIR) + "/" + c.name + "-actual.png";
            WritePng(actual, screen);
            ADD_FAILURE() << "screen differs from " << golden << "; see " << actual;
        }
    }
}

} // namespace
} // namespace rix::test
