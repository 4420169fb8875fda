// The wired console: memory map, MegaCart banks, controllers, NMI, timing, and real programs
// (our example, a game and a test suite written by others) running on our own BIOS.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/Machine.h"
#include "support/ColecoCartridge.h"
#include "support/Golden.h"
#include "support/Png.h"
#include "support/TempDir.h"

namespace {

using namespace rix::emu;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& path) {
    Bytes bytes = rix::test::ReadFileBytes(path);
    EXPECT_FALSE(bytes.empty()) << path;
    return bytes;
}

Bytes TestProgram(const std::string& name) {
    return ReadFile(std::string(RIX_TESTDATA_DIR) + "/coleco/" + name);
}

Bytes Cartridge(std::initializer_list<std::uint8_t> code, std::size_t size = 0x2000,
                std::size_t headerAt = 0, std::uint16_t nmi = rix::test::kCartridgeCodeStart) {
    return rix::test::ColecoCartridge(code, size, headerAt, nmi);
}

// One machine per test: the object is large for the stack.
struct Console {
    explicit Console(const Bytes& rom, MachineConfig config = {}) : rom(rom) {
        config.rom = this->rom.data();
        config.romSize = static_cast<std::uint32_t>(this->rom.size());
        machine->Load(config);
    }
    void Frames(int count, std::uint16_t keys = 0) {
        machine->SetKeys(keys);
        for (int i = 0; i < count; ++i) {
            machine->RunFrame(picture.data());
        }
    }
    std::uint8_t RamByte(std::uint16_t address) const {
        return machine->Ram()[address & (Machine::kRamSize - 1)];
    }
    std::uint8_t Pixel(int x, int y) const { return picture[y * Vdp::kWidth + x]; }

    Bytes rom;
    std::unique_ptr<Machine> machine = std::make_unique<Machine>();
    Bytes picture = Bytes(Vdp::kWidth * Vdp::kActiveLines);
};

// --- Facts front ends show -------------------------------------------------------------------

TEST(MachineFacts, CartridgeKindsBySize) {
    struct Case {
        std::uint32_t size;
        CartridgeKind kind;
        std::uint32_t banks;
        std::uint32_t mapped;
    } cases[] = {
        {0x2000, CartridgeKind::kPlain, 0, 0x2000},
        {0x5FFF, CartridgeKind::kPlain, 0, 0x5FFF},
        {0x8000, CartridgeKind::kPlain, 0, 0x8000},
        {0x10000, CartridgeKind::kMegaCart, 4, 0x10000},
        {0x100000, CartridgeKind::kMegaCart, 64, 0x100000},
        {0xC000, CartridgeKind::kPartial, 0, 0x8000},   // over 32 KiB, not a power of two
        {0x200000, CartridgeKind::kPartial, 0, 0x8000}, // a power of two past 1 MiB
        {0x8001, CartridgeKind::kPartial, 0, 0x8000},
    };
    for (const Case& c : cases) {
        const CartridgeLayout layout = DescribeCartridge(c.size);
        EXPECT_EQ(layout.kind, c.kind) << c.size;
        EXPECT_EQ(layout.banks, c.banks) << c.size;
        EXPECT_EQ(layout.mappedBytes, c.mapped) << c.size;
    }
}

TEST(MachineFacts, CycleCountsAndCollisionModesFromTheRecord) {
    struct Case {
        std::int32_t record;
        std::int32_t cycles;
        bool replaced;
    } cases[] = {{0, 228, false},   {228, 228, false}, {200, 200, false},
                 {342, 342, false}, {100, 100, false}, {1000, 1000, false},
                 {99, 228, true},   {1001, 228, true}, {-1, 228, true}};
    for (const Case& c : cases) {
        const LineCycles line = EffectiveLineCycles(c.record);
        EXPECT_EQ(line.cycles, c.cycles) << c.record;
        EXPECT_EQ(line.replaced, c.replaced) << c.record;
    }
    EXPECT_EQ(CollisionModeFromRecord(0), CollisionMode::kNormal);
    EXPECT_EQ(CollisionModeFromRecord(1), CollisionMode::kPrecise);
    EXPECT_EQ(CollisionModeFromRecord(2), CollisionMode::kOff);
    EXPECT_EQ(CollisionModeFromRecord(3), CollisionMode::kNormal);
    EXPECT_EQ(CollisionModeFromRecord(255), CollisionMode::kNormal);
    EXPECT_TRUE(IsOriginalBios(0x3AA93EF3u, 0x2000));
    EXPECT_FALSE(IsOriginalBios(0x3AA93EF3u, 0x2001));
}

// --- Memory map ------------------------------------------------------------------------------

TEST(MachineMemory, MapAsTheConsoleWiresIt) {
    // ld a,5Ah / ld (6000h),a / jr $
    Bytes rom = Cartridge({0x3E, 0x5A, 0x32, 0x00, 0x60, 0x18, 0xFE}, 0x2000 + 100);
    rom[0x2000 + 99] = 0x42; // the last byte of a ROM that ends inside a page
    Console console(rom);
    console.Frames(1);
    Z80& cpu = console.machine->Cpu();
    for (std::uint16_t at : {0x6000, 0x6400, 0x7C00}) {
        EXPECT_EQ(cpu.Peek(at), 0x5A) << std::hex << at << ": RAM and its mirrors";
    }
    for (std::uint16_t at : {0x2000, 0x4000, 0x5FFF}) {
        EXPECT_EQ(cpu.Peek(at), 0xFF) << std::hex << at << ": nothing answers here";
    }
    EXPECT_EQ(cpu.Peek(0x8000), 0x55);
    EXPECT_EQ(cpu.Peek(0x8000 + 0x2000 + 99), 0x42);
    EXPECT_EQ(cpu.Peek(0x8000 + 0x2000 + 100), 0xFF) << "past the ROM's end";
    EXPECT_EQ(cpu.Peek(0xFFFF), 0xFF);
}

TEST(MachineMemory, OtherSizesMapTheirFirst32KiB) {
    Bytes rom = Cartridge({0x18, 0xFE}, 0xC000);
    rom[0x7FFF] = 0x11;
    rom[0x8000] = 0x22;
    Console console(rom);
    EXPECT_EQ(console.machine->Layout().kind, CartridgeKind::kPartial);
    EXPECT_EQ(console.machine->Cpu().Peek(0xFFFF), 0x11);
}

TEST(MachineMemory, MegaCartSelectsBanksByReadingTheTopAddresses) {
    // Four 16 KiB banks; byte 2000h of bank k is k * 11h. The program, in the last bank (fixed
    // at 8000h), reads FFC0h+n (n = 0..3, then 5: 5 & 3 selects bank 1) and stores what E000h
    // then holds at 7000h+n.
    std::initializer_list<std::uint8_t> code = {
        0x3A, 0xC0, 0xFF, 0x3A, 0x00,
        0xE0, 0x32, 0x00, 0x70, // ld a,(FFC0h) / ld a,(E000h) / ld (7000h),a
        0x3A, 0xC1, 0xFF, 0x3A, 0x00,
        0xE0, 0x32, 0x01, 0x70, //
        0x3A, 0xC2, 0xFF, 0x3A, 0x00,
        0xE0, 0x32, 0x02, 0x70, //
        0x3A, 0xC3, 0xFF, 0x3A, 0x00,
        0xE0, 0x32, 0x03, 0x70, //
        0x3A, 0xC5, 0xFF, 0x3A, 0x00,
        0xE0, 0x32, 0x04, 0x70, //
        0x18, 0xFE,             // jr $
    };
    Bytes rom = Cartridge(code, 0x10000, 0xC000);
    for (int bank = 0; bank < 4; ++bank) {
        rom[bank * 0x4000 + 0x2000] = static_cast<std::uint8_t>(bank * 0x11);
        rom[bank * 0x4000 + 0x3FFF] = static_cast<std::uint8_t>(0xA0 + bank);
    }
    Console console(rom);
    EXPECT_EQ(console.machine->Layout().kind, CartridgeKind::kMegaCart);
    EXPECT_EQ(console.machine->Cpu().Peek(0x8000), 0x55) << "the last bank is fixed at 8000h";
    EXPECT_EQ(console.machine->Cpu().Peek(0xE000), 0x00) << "bank 0 in the window at start";
    console.Frames(2);
    EXPECT_EQ(console.RamByte(0x7000), 0x00);
    EXPECT_EQ(console.RamByte(0x7001), 0x11);
    EXPECT_EQ(console.RamByte(0x7002), 0x22);
    EXPECT_EQ(console.RamByte(0x7003), 0x33);
    EXPECT_EQ(console.RamByte(0x7004), 0x11) << "the bank number wraps at the bank count";
    EXPECT_EQ(console.machine->Bank(), 1u);
    // The window's last page, where the selecting reads live, reads the selected bank too.
    EXPECT_EQ(console.machine->Cpu().Peek(0xFFFF), 0xA1);
}

// --- Controllers -----------------------------------------------------------------------------

using rix::test::ControllerProgram;

TEST(MachineControllers, ButtonsReachTheLinesThroughTheirCodes) {
    MachineConfig config; // the default controls: A Fire 1, B Fire 2, Select *, Start #, L 1, R 2
    Console console(ControllerProgram(), config);
    struct Case {
        std::uint16_t keys;
        std::uint8_t joystick;
        std::uint8_t keypad;
        const char* what;
    } cases[] = {
        {0, 0x7F, 0x7F, "nothing held"},
        {kGbaA, 0x3F, 0x7F, "Fire 1: the left button, joystick mode"},
        {kGbaB, 0x7F, 0x3F, "Fire 2: the right button, keypad mode"},
        {kGbaUp, 0x7E, 0x7F, "up"},
        {kGbaRight | kGbaDown, 0x79, 0x7F, "right and down"},
        {kGbaLeft, 0x77, 0x7F, "left"},
        {kGbaSelect, 0x7F, 0x79, "* (code 6)"},
        {kGbaStart, 0x7F, 0x76, "# (code 9)"},
        {kGbaL, 0x7F, 0x7D, "1 (code 2)"},
        {kGbaR, 0x7F, 0x77, "2 (code 8)"},
        {kGbaL | kGbaR, 0x7F, 0x75, "1 and 2: the lines of both low, as 7 (code 10) reads"},
        {kGbaA | kGbaB | kGbaUp | kGbaStart, 0x3E, 0x36, "everything at once"},
    };
    for (const Case& c : cases) {
        console.Frames(1, c.keys);
        EXPECT_EQ(console.RamByte(0x7000), c.joystick) << c.what;
        EXPECT_EQ(console.RamByte(0x7001), c.keypad) << c.what;
        EXPECT_EQ(console.RamByte(0x7002), kControllerIdle) << c.what << ": controller 2";
    }
}

TEST(MachineControllers, AButtonMayPutBothModesOnTheLines) {
    MachineConfig config;
    config.controls[0] = 0x4000 | 0x0040 | 0x000C; // A: Fire 1 + Fire 2 + keypad 5
    config.controls[1] = 0;                        // B: nothing
    Console console(ControllerProgram(), config);
    console.Frames(1, kGbaA | kGbaB);
    EXPECT_EQ(console.RamByte(0x7000), 0x3F);
    EXPECT_EQ(console.RamByte(0x7001), 0x33);
}

// --- The frame interrupt ---------------------------------------------------------------------

// Enables the frame interrupt and idles; the NMI handler counts at 7000h and, when `ack`,
// reads the status (which drops the line).
Bytes NmiProgram(bool ack) {
    const std::uint8_t read = ack ? 0xDB : 0x00, port = ack ? 0xBF : 0x00;
    return Cartridge(
        {
            0x3E, 0xE0, 0xD3, 0xBF, 0x3E, 0x81, 0xD3, 0xBF, // R1 = E0h: display, interrupt
            0x18, 0xFE, 0x00, 0x00,                         // jr $
            0xF5,                                           // 8030: push af
            0x3A, 0x00, 0x70, 0x3C, 0x32, 0x00, 0x70,       // inc byte (7000h)
            read, port,                                     // in a,(BFh) or two nops
            0xF1, 0xED, 0x45,                               // pop af / retn
        },
        0x2000, 0, 0x8030);
}

TEST(MachineNmi, OncePerFrameWhenTheProgramAcknowledges) {
    Console console(NmiProgram(true));
    console.Frames(3);
    const std::uint32_t before = console.machine->NmiCount();
    const std::uint8_t counted = console.RamByte(0x7000);
    console.Frames(10);
    EXPECT_EQ(console.machine->NmiCount() - before, 10u);
    EXPECT_EQ(console.RamByte(0x7000) - counted, 10);
}

TEST(MachineNmi, NeverTwiceOnOneHighLevel) {
    Console console(NmiProgram(false));
    console.Frames(3);
    EXPECT_EQ(console.machine->NmiCount(), 1u);
    EXPECT_EQ(console.RamByte(0x7000), 1);
    console.Frames(10);
    EXPECT_EQ(console.machine->NmiCount(), 1u) << "the line never fell, so no second edge";
    EXPECT_EQ(console.RamByte(0x7000), 1);
}

TEST(MachineMemory, TheCpuAndRamMayLiveOutsideTheMachine) {
    auto cpu = std::make_unique<Z80>();
    std::uint8_t ram[Machine::kRamSize] = {};
    auto machine = std::make_unique<Machine>(*cpu, ram);
    const Bytes rom = ReadFile(std::string(RIX_SOURCE_DIR) + "/resources/examples/hello.col");
    MachineConfig config;
    config.rom = rom.data();
    config.romSize = static_cast<std::uint32_t>(rom.size());
    machine->Load(config);
    for (int frame = 0; frame < 30; ++frame) {
        machine->RunFrame(nullptr);
    }
    EXPECT_EQ(&machine->Cpu(), cpu.get());
    EXPECT_EQ(machine->Ram(), ram);
    EXPECT_GT(cpu->ElapsedCycles(), 29u * 262u * 228u);
    // The example counts its frame interrupts in the word at 7000h.
    EXPECT_GE(ram[0] | ram[1] << 8, 20);
}

// --- Timing ----------------------------------------------------------------------------------

TEST(MachineTiming, EachLineRunsTheRecordsCycleCount) {
    for (std::int32_t record : {0, 200, 342, 5000}) {
        MachineConfig config;
        config.cycleCount = record;
        Console console(Cartridge({0x18, 0xFE}), config);
        console.Frames(10);
        const std::int32_t perLine = EffectiveLineCycles(record).cycles;
        const std::uint64_t cycles = console.machine->Cpu().ElapsedCycles();
        // Within one instruction of the exact grid.
        EXPECT_GE(cycles, 10u * 262u * perLine) << record;
        EXPECT_LT(cycles, 10u * 262u * perLine + 24) << record;
    }
}

TEST(MachineTiming, SoundKeepsRealTimeWhateverTheCycleCount) {
    MachineConfig config;
    config.cycleCount = 342;
    Console console(Cartridge({0x18, 0xFE}), config);
    std::vector<std::int16_t> samples(Machine::MaxSamplesPerFrame(44100));
    std::size_t total = 0;
    for (int frame = 0; frame < 60; ++frame) {
        total += console.machine->RunFrame(nullptr, samples.data(), 44100);
    }
    // 60 frames of 262 x 228 clocks at 3,579,545 Hz: 1.0015 s.
    EXPECT_EQ(total, std::size_t{60} * 262 * 228 * 44100 / 3579545);
}

// What a renderer's Frame is shown: the video memory and registers after line 191.
class FrameSeen final : public VideoRenderer {
public:
    explicit FrameSeen(bool drawsLines) : VideoRenderer(drawsLines) {}
    void Line(const Vdp& vdp, int line) override { vdp.DrawLine(line, picture.data()); }
    void Frame(const Vdp& vdp) override {
        vram.assign(vdp.Vram(), vdp.Vram() + Vdp::kVramSize);
        for (int r = 0; r < 8; ++r) {
            vram.push_back(vdp.Register(r));
        }
    }
    Bytes picture = Bytes(Vdp::kWidth);
    Bytes vram;
};

// Behind a renderer of whole frames the CPU runs the lines between the machine's events as
// blocks; every frame must end as it does line by line, and Frame see the same tables.
TEST(MachineTiming, LinesRunAsBlocksEndEachFrameAsLineByLine) {
    struct Case {
        const char* name;
        Bytes rom;
        std::vector<std::pair<int, std::uint16_t>> presses; // from frame, keys held 6 frames
        int frames;
    };
    const Case cases[] = {
        {"the example",
         ReadFile(std::string(RIX_SOURCE_DIR) + "/resources/examples/hello.col"),
         {},
         120},
        {"suitecv, drop shadow",
         TestProgram("suitecv.rom"),
         {{301, kGbaDown}, {341, kGbaA}, {381, kGbaA}},
         600},
        {"zombnear, play", TestProgram("zombnear.rom"), {{601, kGbaA}}, 900},
    };
    for (const Case& c : cases) {
        Console blocks(c.rom);
        Console lines(c.rom);
        blocks.machine->SetSoundClocked(false);
        lines.machine->SetSoundClocked(false);
        for (int frame = 1; frame <= c.frames; ++frame) {
            std::uint16_t keys = 0;
            for (const auto& [from, held] : c.presses) {
                keys |= frame >= from && frame < from + 6 ? held : 0;
            }
            blocks.machine->SetKeys(keys);
            lines.machine->SetKeys(keys);
            FrameSeen wholeFrames(false);
            FrameSeen eachLine(true);
            blocks.machine->RunFrame(wholeFrames);
            lines.machine->RunFrame(eachLine);
            ASSERT_EQ(wholeFrames.vram, eachLine.vram) << c.name << ", frame " << frame;
            const Machine& b = *blocks.machine;
            const Machine& l = *lines.machine;
            ASSERT_TRUE(b.Cpu().State() == l.Cpu().State()) << c.name << ", frame " << frame;
            ASSERT_EQ(b.Cpu().ElapsedCycles(), l.Cpu().ElapsedCycles()) << c.name << ", " << frame;
            ASSERT_EQ(std::memcmp(b.Ram(), l.Ram(), Machine::kRamSize), 0)
                << c.name << ", " << frame;
            ASSERT_EQ(std::memcmp(b.Video().Vram(), l.Video().Vram(), Vdp::kVramSize), 0)
                << c.name << ", frame " << frame;
            ASSERT_EQ(b.Video().PeekStatus(), l.Video().PeekStatus()) << c.name << ", " << frame;
            ASSERT_EQ(b.NmiCount(), l.NmiCount()) << c.name << ", frame " << frame;
        }
        EXPECT_GT(blocks.machine->NmiCount(), std::uint32_t(c.frames) / 2) << c.name;
    }
}

// --- Real programs ---------------------------------------------------------------------------

// Frames compared with PNGs under tests/fixtures/machine; RIX_UPDATE_GOLDENS=1 rewrites them
// (look at them before committing). A mismatch is saved beside the test binary.
void CheckGolden(const std::string& name, const Console& console) {
    rix::test::CheckGolden(RIX_MACHINE_GOLDEN_DIR, RIX_MACHINE_ACTUAL_DIR, name,
                           rix::test::ChipPicture(console.picture));
}

TEST(MachinePrograms, TheExampleGreets) {
    Console console(ReadFile(std::string(RIX_SOURCE_DIR) + "/resources/examples/hello.col"));
    console.Frames(30);
    const Vdp& vdp = console.machine->Video();
    const char* text = reinterpret_cast<const char*>(vdp.Vram() + vdp.NameTable() + 11 * 32 + 9);
    EXPECT_EQ(std::string(text, 14), "HELLO FROM RIX");
    EXPECT_TRUE(console.machine->OwnBios());
}

TEST(MachinePrograms, ZombieNearReachesItsTitleAndItsFirstScreenOfPlay) {
    Console console(TestProgram("zombnear.rom"));
    console.Frames(600);
    CheckGolden("zombnear-title", console);
    console.Frames(6, kGbaA); // Fire 1 starts a one-player game
    console.Frames(194);
    CheckGolden("zombnear-play", console);
}

// suitecv: the menu reads the controller from its 281st frame on.
class TestSuite : public testing::Test {
protected:
    void SetUp() override { console.Frames(300); }

    void Press(std::uint16_t keys) {
        console.Frames(6, keys);
        console.Frames(14);
    }
    // Main menu -> Hardware Tests -> Controller Test.
    void OpenControllerTest() {
        for (int i = 0; i < 3; ++i) {
            Press(kGbaDown);
        }
        Press(kGbaA);
        Press(kGbaA);
    }

    Console console{TestProgram("suitecv.rom")};
};

TEST_F(TestSuite, ShowsItsMainMenu) {
    CheckGolden("suitecv-menu", console);
}

struct Lit {
    std::uint16_t keys;
    int x0, y0, x1, y1; // where the first controller's picture lights up
    const char* what;
};

// Holds each case's buttons on the controller page: its box lights (colour 2) and nothing
// else on the screen changes.
void ExpectLit(Console& console, std::initializer_list<Lit> cases) {
    const Bytes idle = console.picture;
    for (const Lit& c : cases) {
        console.Frames(3, c.keys);
        int lit = 0;
        for (int y = 0; y < Vdp::kActiveLines; ++y) {
            for (int x = 0; x < Vdp::kWidth; ++x) {
                const bool inside = x >= c.x0 && x <= c.x1 && y >= c.y0 && y <= c.y1;
                const std::uint8_t now = console.Pixel(x, y);
                if (!inside) {
                    ASSERT_EQ(now, idle[y * Vdp::kWidth + x]) << c.what << " at " << x << "," << y;
                } else if (now != idle[y * Vdp::kWidth + x]) {
                    EXPECT_EQ(now, 2) << c.what;
                    ++lit;
                }
            }
        }
        EXPECT_GT(lit, 20) << c.what;
        console.Frames(3);
    }
}

TEST_F(TestSuite, ControllerPageShowsWhatTheDefaultControlsPress) {
    OpenControllerTest();
    console.Frames(10);
    CheckGolden("suitecv-controller", console);
    ExpectLit(console, {
                           {kGbaA, 42, 96, 47, 102, "Fire 1: the left side button"},
                           {kGbaB, 72, 96, 77, 102, "Fire 2: the right side button"},
                           {kGbaSelect, 49, 129, 55, 135, "*"},
                           {kGbaStart, 65, 129, 71, 135, "#"},
                           {kGbaL, 49, 105, 55, 111, "1"},
                           {kGbaR, 57, 105, 63, 111, "2"},
                           {kGbaUp, 57, 75, 62, 79, "up"},
                           {kGbaDown, 57, 88, 62, 92, "down"},
                           {kGbaLeft, 51, 81, 55, 86, "left"},
                           {kGbaRight, 64, 81, 68, 86, "right"},
                       });
}

TEST(TestSuiteControls, ControllerPageFollowsTheRecordsCodes) {
    MachineConfig config;
    config.controls[1] = 0x000C; // B: keypad 5
    config.controls[2] = 0x0040; // Select: Fire 2
    config.controls[5] = 0x4000; // R: Fire 1 as well as A
    Console console(TestProgram("suitecv.rom"), config);
    console.Frames(300);
    for (std::uint16_t keys : {kGbaDown, kGbaDown, kGbaDown, kGbaA, kGbaA}) {
        console.Frames(6, keys);
        console.Frames(14);
    }
    console.Frames(10);
    ExpectLit(console, {
                           {kGbaB, 57, 113, 63, 119, "5"},
                           {kGbaSelect, 72, 96, 77, 102, "Fire 2"},
                           {kGbaR, 42, 96, 47, 102, "Fire 1"},
                       });
}

} // namespace
