// Our video test programs (tests/fixtures/video) on the machine with the host's line renderer:
// chosen pictures against golden PNGs, and the sprite status the fifth-sprite program reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "support/Golden.h"
#include "support/Png.h"
#include "support/TempDir.h"

namespace {

using namespace rix::emu;
using Bytes = std::vector<std::uint8_t>;

// The programs keep the number of the picture being drawn at 7000h and the status byte their
// frame interrupt read at 7002h (tests/fixtures/video/cartridge.inc).
constexpr std::uint16_t kFrameCount = 0x7000;
constexpr std::uint16_t kLastStatus = 0x7002;
// Holds 0xFF from the end of the start-up on: the next frame is picture 0.
constexpr std::uint16_t kStarted = 0x7004;
// The start-up takes a few frames; no program needs more than this to show its first picture.
constexpr int kStartFrames = 120;

struct Program {
    explicit Program(const std::string& name, MachineConfig config = {})
        : rom(rix::test::ReadFileBytes(std::string(RIX_VIDEO_DIR) + "/" + name + ".rom")) {
        EXPECT_FALSE(rom.empty()) << name;
        config.rom = rom.data();
        config.romSize = static_cast<std::uint32_t>(rom.size());
        machine->Load(config);
    }

    std::uint8_t RamByte(std::uint16_t address) const {
        return machine->Ram()[address & (Machine::kRamSize - 1)];
    }
    unsigned Picture() const { return RamByte(kFrameCount) | RamByte(kFrameCount + 1) << 8; }

    // Runs until the machine has drawn the program's picture `number` (and the frame interrupt
    // after it has counted on) and leaves it in `picture`.
    ::testing::AssertionResult RunTo(unsigned number) {
        const int limit = kStartFrames + static_cast<int>(number) + 1;
        for (int frames = 0; Picture() < number + 1 && frames < limit; ++frames) {
            machine->RunFrame(picture.data());
        }
        if (Picture() != number + 1) {
            return ::testing::AssertionFailure()
                   << "picture " << number << " never came; the count is at " << Picture();
        }
        return ::testing::AssertionSuccess();
    }

    Bytes rom;
    std::unique_ptr<Machine> machine = std::make_unique<Machine>();
    Bytes picture = Bytes(Vdp::kWidth * Vdp::kActiveLines);
};

// Compared with tests/fixtures/video/NAME.png; RIX_UPDATE_GOLDENS=1 rewrites it (look at it
// before committing). A mismatch is saved beside the test binary.
void CheckGolden(const std::string& name, const Bytes& picture) {
    rix::test::CheckGolden(RIX_VIDEO_DIR, RIX_VIDEO_ACTUAL_DIR, name,
                           rix::test::ChipPicture(picture));
}

// --- Golden pictures -------------------------------------------------------------------------

struct Shot {
    const char* program;
    unsigned picture;
};

void PrintTo(const Shot& shot, std::ostream* out) {
    *out << shot.program << " picture " << shot.picture;
}

class VideoGolden : public ::testing::TestWithParam<Shot> {};

TEST_P(VideoGolden, PictureMatches) {
    const Shot& shot = GetParam();
    Program program(shot.program);
    ASSERT_TRUE(program.RunTo(shot.picture));
    CheckGolden(std::string(shot.program) + "-frame" + std::to_string(shot.picture),
                program.picture);
}

// The pictures README.md describes: each sprite size, table mask, colour setting and step of
// the animation that the programs show.
const Shot kShots[] = {
    {"graphics1", 32}, {"graphics1", 96}, {"graphics1", 160}, {"graphics1", 224},
    {"graphics2", 32}, {"graphics2", 96}, {"graphics2", 160}, {"graphics2", 224},
    {"multicolor", 8}, {"text", 32},      {"text", 96},       {"changes", 0},
    {"changes", 50},   {"changes", 170},  {"changes", 230},   {"fifth", 32},
    {"fifth", 288},    {"fifth", 480},
};

INSTANTIATE_TEST_SUITE_P(Programs, VideoGolden, ::testing::ValuesIn(kShots),
                         [](const ::testing::TestParamInfo<Shot>& info) {
                             return std::string(info.param.program) + "_frame" +
                                    std::to_string(info.param.picture);
                         });

// --- What the pictures alone do not show -----------------------------------------------------

// Draws each line as the machine runs it and, after the last active line, the whole picture
// again from the chip as it stands then, as a renderer of whole frames does.
class LinesAndWholeFrame final : public VideoRenderer {
public:
    LinesAndWholeFrame() : VideoRenderer(true) {}
    void Line(const Vdp& vdp, int line) override {
        if (line < Vdp::kActiveLines) {
            vdp.DrawLine(line, lines.data() + line * Vdp::kWidth);
        }
    }
    void Frame(const Vdp& vdp) override {
        for (int line = 0; line < Vdp::kActiveLines; ++line) {
            vdp.DrawLine(line, whole.data() + line * Vdp::kWidth);
        }
        if (picture >= 0 && lines != whole && differing++ == 0) {
            firstDiffering = picture;
        }
    }

    Bytes lines = Bytes(Vdp::kWidth * Vdp::kActiveLines);
    Bytes whole = Bytes(Vdp::kWidth * Vdp::kActiveLines);
    int picture = -1; // the program's picture this frame shows; -1 during the start-up
    int differing = 0;
    int firstDiffering = -1;
};

// The programs change the chip only in their frame interrupt, between two pictures, so a
// layer that converts the tables once a frame must show what the line renderer draws: on
// every frame of a full cycle of each program, also with the shortest lines a record may ask
// for.
TEST(VideoPrograms, EveryPictureComesFromOneStateOfTheChip) {
    for (const char* name : {"graphics1", "graphics2", "multicolor", "text", "changes", "fifth"}) {
        for (std::int32_t cycles : {kRealLineCycles, kMinLineCycles}) {
            MachineConfig config;
            config.cycleCount = cycles;
            Program program(name, config);
            LinesAndWholeFrame renderer;
            for (int frame = 0; frame < kStartFrames + 520; ++frame) {
                const bool started = program.RamByte(kStarted) == 0xFF;
                renderer.picture = started ? static_cast<int>(program.Picture()) : -1;
                program.machine->RunFrame(renderer);
            }
            EXPECT_GE(program.Picture(), 520u) << name << " at " << cycles << " cycles a line";
            EXPECT_EQ(renderer.differing, 0)
                << name << " at " << cycles << " cycles a line, first in picture "
                << renderer.firstDiffering;
        }
    }
}

// changes.asm blanks the display for pictures 100-103, when the backdrop is magenta (13).
TEST(VideoChanges, BlankedPicturesAreTheBackdropOnly) {
    Program program("changes");
    for (unsigned number = 99; number <= 104; ++number) {
        ASSERT_TRUE(program.RunTo(number));
        const bool onlyBackdrop = std::all_of(program.picture.begin(), program.picture.end(),
                                              [](std::uint8_t index) { return index == 13; });
        EXPECT_EQ(onlyBackdrop, number >= 100 && number <= 103) << "picture " << number;
    }
}

// fifth.asm's frame interrupt keeps the status it reads; each sprite table (64 frames each)
// must give the same status on its first and its last picture, whichever collision mode
// works it out; with the coincidence off, C never comes.
TEST(VideoFifthSprite, StatusTheProgramReads) {
    struct Table {
        std::uint8_t status;
        const char* what;
    } tables[] = {
        {0xC4, "five on a line: sprite 4 is the fifth; 9-11 behind 5-8"},
        {0xC9, "the fifth of the first line that has one, not the lowest number"},
        {0xA2, "two overlapping: C, and the number of the sprite ending the list"},
        {0xA3, "a transparent sprite coincides too"},
        {0x86, "no pixel in common, overlap only off screen, sprites past the end"},
        {0xC5, "fifth and sixth overlap sprite 4 and each other, but are not shown: no C"},
        {0xE4, "a fifth and a coincidence"},
        {0x9F, "32 sprites, no end: the number is 31"},
    };
    for (CollisionMode mode :
         {CollisionMode::kNormal, CollisionMode::kPrecise, CollisionMode::kOff}) {
        MachineConfig config;
        config.collision = static_cast<std::uint8_t>(mode);
        Program program("fifth", config);
        for (unsigned table = 0; table < std::size(tables); ++table) {
            const std::uint8_t expected = mode == CollisionMode::kOff
                                              ? tables[table].status & ~Vdp::kStatusCoincidence
                                              : tables[table].status;
            for (unsigned number : {table * 64, table * 64 + 63}) {
                ASSERT_TRUE(program.RunTo(number));
                EXPECT_EQ(int{program.RamByte(kLastStatus)}, int{expected})
                    << tables[table].what << ", picture " << number << ", collision mode "
                    << static_cast<int>(mode);
            }
        }
    }
}

} // namespace
