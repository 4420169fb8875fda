// The running game's picture on the GBA's tile hardware against the host's line renderer, pixel
// for pixel, in all four views: the example (Graphics I), the test suite's screens (Graphics II,
// sprites) and a game. Frames that differ are saved beside the test binary.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "FrameCompare.h"
#include "MenuReading.h"
#include "app/TestPort.h"
#include "support/ColecoCartridge.h"

namespace rix::test {
namespace {

std::vector<std::uint8_t> TestProgram(const std::string& name) {
    return ReadFile(std::string(RIX_TESTDATA_DIR) + "/coleco/" + name);
}

const char* ViewName(View view) {
    static const char* const kNames[] = {"fit", "top", "middle", "bottom"};
    return kNames[int(view)];
}

// Runs both sides to each frame and compares the GBA's screen with the host's frame in every
// view (switching views with the player's keys while the game is held), or in the fit view only.
void ExpectFramesMatch(const std::string& name, const Game& game,
                       const std::vector<std::uint32_t>& frames, bool everyView = true) {
    HostGame host(game);
    GbaGame gba(TestImage(), game);
    for (std::uint32_t frame : frames) {
        host.RunTo(frame);
        gba.ShowFrame(frame);
        // The tables as the display ended, where the game wrote them while the frame was drawn.
        const std::vector<std::uint8_t>& expected =
            host.ChangedDuringDisplay() ? host.EndOfDisplayPicture() : host.Picture();
        if (host.ChangedDuringDisplay()) {
            std::printf("%s, frame %u: changed during the display; compared with the tables as "
                        "the display ended\n",
                        name.c_str(), frame);
        }
        for (int v = 0; v < (everyView ? kViewCount : 1); ++v) {
            const View view = gba.CurrentView();
            const std::string shot = name + "-" + std::to_string(frame) + "-" + ViewName(view);
            EXPECT_TRUE(SamePicture(ShownOnGba(expected, view), gba.Screen(), shot));
            if (everyView) {
                gba.NextView();
            }
        }
        EXPECT_EQ(gba.CurrentView(), View::kFit) << "four switches come back to the fit view";
    }
    EXPECT_TRUE(gba.Machine().Errors().empty()) << gba.Machine().Errors().front();
}

// A cartridge that copies a whole VRAM image into the video chip, then sets the eight registers
// (the display last of all, with the frame interrupt off) and idles: one still picture, drawn from
// tables made up in the test.
std::vector<std::uint8_t> StillPicture(const std::vector<std::uint8_t>& vram,
                                       const std::array<std::uint8_t, 8>& registers) {
    constexpr std::size_t kRegistersAt = 0x80;
    constexpr std::size_t kVramAt = 0x100;
    std::vector<std::uint8_t> rom = ColecoCartridge(
        {
            0x21, 0x00, 0x81, // ld hl,8100h: the image
            0xAF,             // xor a
            0xD3, 0xBF,       // out (BFh),a: address 0000h...
            0x3E, 0x40,       // ld a,40h
            0xD3, 0xBF,       // out (BFh),a: ...for writing
            0x01, 0xBE, 0x00, // ld bc,00BEh: 256 bytes a round to the data port
            0x16, 0x40,       // ld d,64: rounds
            0xED, 0xB3,       // otir
            0x15,             // dec d
            0x20, 0xFB,       // jr nz,otir
            0x21, 0x80, 0x80, // ld hl,8080h: the registers
            0x0E, 0x80,       // ld c,80h: register 0's write command
            0x06, 0x08,       // ld b,8
            0x7E,             // ld a,(hl)
            0xD3, 0xBF,       // out (BFh),a
            0x79,             // ld a,c
            0xD3, 0xBF,       // out (BFh),a
            0x23,             // inc hl
            0x0C,             // inc c
            0x10, 0xF6,       // djnz back to ld a,(hl)
            0x18, 0xFE,       // jr $
        },
        0x8000);
    std::copy(registers.begin(), registers.end(), rom.begin() + kRegistersAt);
    std::copy(vram.begin(), vram.end(), rom.begin() + kVramAt);
    return rom;
}

// Random VRAM whose sprite attribute table at `attributes` lists 32 sprites with random
// positions, patterns and colours (0 and the early clock bit included), every Y but the
// terminator's, which ends the list at `end` when that is below 32.
std::vector<std::uint8_t> RandomVram(std::uint32_t seed, std::uint16_t attributes, int end) {
    std::vector<std::uint8_t> vram = TestRom(seed, 0x4000);
    for (int i = 0; i < 32; ++i) {
        std::uint8_t& y = vram[attributes + 4 * i];
        if (i == end) {
            y = 208;
        } else if (y == 208) {
            ++y;
        }
    }
    return vram;
}

TEST(GbaGameVideo, EveryModeAndSpriteSizeFromRandomTables) {
    // Tables: names at 1800h, sprite attributes at 1B00h, sprite patterns at 3800h; patterns
    // and colours where each mode has them. R1: 16K, display on, frame interrupt off.
    struct Case {
        const char* name;
        std::array<std::uint8_t, 8> registers;
        int end; // sprites listed
    };
    const Case cases[] = {
        {"graphics1-8x8", {0x00, 0xC0, 0x06, 0x80, 0x00, 0x36, 0x07, 0x04}, 32},
        {"graphics1-16x16-magnified", {0x00, 0xC3, 0x06, 0x80, 0x00, 0x36, 0x07, 0xF0}, 32},
        {"graphics2-16x16", {0x02, 0xC2, 0x06, 0xFF, 0x03, 0x36, 0x07, 0x05}, 20},
        // The masks share the first third's patterns with the third and its colours with
        // every other third.
        {"graphics2-masked-8x8-magnified", {0x02, 0xC1, 0x06, 0xBF, 0x01, 0x36, 0x07, 0x0E}, 32},
        {"multicolor-8x8", {0x00, 0xC8, 0x06, 0x00, 0x00, 0x36, 0x07, 0x0C}, 9},
        {"text", {0x00, 0xD0, 0x06, 0x00, 0x00, 0x36, 0x07, 0xF4}, 32},
        {"blanked", {0x02, 0x82, 0x06, 0xFF, 0x03, 0x36, 0x07, 0x09}, 32},
    };
    std::uint32_t seed = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectFramesMatch(c.name, {StillPicture(RandomVram(seed++, 0x1B00, c.end), c.registers)},
                          {12});
    }
}

TEST(GbaGameVideo, BothSidesHoldTheStartKeyInTheFirstFrame) {
    // The controller program stores what keypad mode reads at 7001h, over and over.
    const Game game{ControllerProgram()};
    HostGame host(game);
    GbaGame gba(TestImage(), game);
    const std::uint32_t ram =
        gba.Machine().Read32(gba::kTestPortAddress + offsetof(gba::TestPort, ram));
    for (std::uint32_t frame : {1u, 2u}) {
        host.RunTo(frame);
        gba.ShowFrame(frame);
        EXPECT_EQ(gba.Machine().Read8(ram + 1), host.Machine().Ram()[1]) << frame;
    }
}

// Our video test programs (tests/fixtures/video/README.md): picture n of each is machine frame
// K + n + 1, counted from 1.
std::vector<std::uint8_t> VideoProgram(const std::string& name) {
    return ReadFile(std::string(RIX_SOURCE_DIR) + "/tests/fixtures/video/" + name + ".rom");
}

TEST(GbaGameVideo, OurVideoProgramsPictures) {
    struct Case {
        const char* name;
        std::uint32_t k;
        std::vector<std::uint32_t> pictures;
    };
    const Case cases[] = {
        {"graphics1", 21, {32, 96, 160, 224}}, // the sprite cases in each size
        {"graphics2", 41, {32, 96, 160, 224}}, // the R3/R4 masks
        {"multicolor", 13, {8}},
        {"text", 10, {32, 96}}, // two R7 settings
        // Each sprite table of the fifth-sprite program: the four-per-line limit.
        {"fifth", 9, {32, 96, 160, 224, 288, 352, 416, 480}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint32_t> frames;
        for (std::uint32_t picture : c.pictures) {
            frames.push_back(c.k + picture + 1);
        }
        ExpectFramesMatch(c.name, {VideoProgram(c.name)}, frames);
    }
}

TEST(GbaGameVideo, EveryFrameOfAProgramThatChangesALittleEachFrame) {
    // Names, patterns, colours, sprites, backdrop, blanking and two mode switches over 256
    // pictures: every one in the fit view, a few in all four.
    constexpr std::uint32_t kFirst = 17 + 1;
    std::vector<std::uint32_t> frames;
    for (std::uint32_t frame = kFirst; frame < kFirst + 256; ++frame) {
        frames.push_back(frame);
    }
    ExpectFramesMatch("changes", {VideoProgram("changes")}, frames, false);
    ExpectFramesMatch("changes", {VideoProgram("changes")},
                      {kFirst, kFirst + 50, kFirst + 101, kFirst + 170, kFirst + 230});
}

TEST(GbaGameVideo, LeavingHandsTheMenuBackClean) {
    // Left from the fit view, with 32 large sprites up and the line DMA running.
    const Game game{
        StillPicture(RandomVram(7, 0x1B00, 32), {0x02, 0xC3, 0x06, 0xFF, 0x03, 0x36, 0x07, 0x05})};
    GbaGame gba(TestImage(), game);
    gba.ShowFrame(12);
    ASSERT_EQ(gba.CurrentView(), View::kFit);
    GbaMachine& machine = gba.Machine();
    machine.SetKeys(kKeyL | kKeyR | kKeySelect | kKeyStart);
    machine.RunFrames(70);
    machine.SetKeys(0);
    machine.RunFrames(4);
    EXPECT_EQ(machine.Read32(gba::kTestPortAddress + offsetof(gba::TestPort, game)), 0u);
    // Every cell reads as text: nothing of the game's objects or scroll is left.
    const Rows rows = machine.Text();
    EXPECT_EQ(rows[0], " Rix - ColecoVision games         1 / 1");
    EXPECT_EQ(rows[2], ">    1 Game");
    for (const std::string& row : rows) {
        EXPECT_EQ(row.find('\x7f'), std::string::npos) << row;
    }
}

TEST(GbaGameVideo, TheExampleInGraphicsOne) {
    ExpectFramesMatch("hello",
                      {ReadFile(std::string(RIX_SOURCE_DIR) + "/resources/examples/hello.col")},
                      {2, 30});
}

// The test suite's screens: the menu reads the controller from its 281st frame on; each key is
// held for 6 frames, 40 apart, which leaves each screen time to come up.
TEST(GbaGameVideo, TheTestSuitesScreens) {
    struct Screen {
        const char* name;
        std::vector<std::uint16_t> keys;
    };
    const Screen screens[] = {
        {"suitecv-menu", {}},
        {"suitecv-colour-bars", {kKeyA, kKeyDown, kKeyDown, kKeyDown, kKeyDown, kKeyDown, kKeyA}},
        {"suitecv-drop-shadow", {kKeyDown, kKeyA, kKeyA}},
        {"suitecv-striped-sprite", {kKeyDown, kKeyA, kKeyDown, kKeyA}},
        {"suitecv-timing-reflex", {kKeyDown, kKeyA, kKeyDown, kKeyDown, kKeyDown, kKeyA}},
        {"suitecv-grid", {kKeyA, kKeyDown, kKeyDown, kKeyA}},
        {"suitecv-grid-scroll", {kKeyDown, kKeyA, kKeyDown, kKeyDown, kKeyDown, kKeyDown, kKeyA}},
    };
    for (const Screen& screen : screens) {
        SCOPED_TRACE(screen.name);
        Game game{TestProgram("suitecv.rom")};
        std::uint32_t frame = 301;
        for (std::uint16_t key : screen.keys) {
            game.presses.push_back({frame, frame + 5, key});
            frame += 40;
        }
        // Two frames in a row: some screens alternate what they show.
        ExpectFramesMatch(screen.name, game, {frame + 60, frame + 61});
    }
}

TEST(GbaGameVideo, AGamesTitleAndPlay) {
    // Fire 1 (A) starts a one-player game.
    ExpectFramesMatch("zombnear",
                      {TestProgram("zombnear.rom"), {"Zombie Near"}, {{601, 606, kKeyA}}},
                      {600, 800, 801});
}

} // namespace
} // namespace rix::test
