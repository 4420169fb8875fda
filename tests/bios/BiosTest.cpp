// Our BIOS: the array the emulator builds from, the data programs read from the ROM, how the
// console starts each kind of cartridge, the vectors, and the jump-table routines, all run
// through the wired machine.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "core/RixBios.h"
#include "support/TempDir.h"

namespace {

using namespace rix::emu;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& path) {
    Bytes bytes = rix::test::ReadFileBytes(path);
    EXPECT_FALSE(bytes.empty()) << path;
    return bytes;
}

Bytes Fixture(const std::string& name) {
    return ReadFile(std::string(RIX_BIOS_FIXTURES) + "/" + name);
}

std::uint16_t BiosWord(std::uint16_t address) {
    return static_cast<std::uint16_t>(kRixBios[address] | kRixBios[address + 1] << 8);
}

// One machine per test (the object is large for the stack), on our BIOS.
struct Console {
    explicit Console(const Bytes& cartridge, MachineConfig config = {}) : rom(cartridge) {
        config.rom = rom.empty() ? nullptr : rom.data();
        config.romSize = static_cast<std::uint32_t>(rom.size());
        machine->Load(config);
    }
    void Frames(int count, std::uint16_t keys = 0) {
        machine->SetKeys(keys);
        for (int i = 0; i < count; ++i) {
            machine->RunFrame(nullptr);
        }
    }
    std::uint8_t Ram(std::uint16_t address) const {
        return machine->Ram()[address & (Machine::kRamSize - 1)];
    }
    std::uint16_t RamWord(std::uint16_t address) const {
        return static_cast<std::uint16_t>(Ram(address) | Ram(address + 1) << 8);
    }
    const std::uint8_t* Vram(std::uint16_t address) const {
        return machine->Video().Vram() + address;
    }
    // The 32 names of a screen row as text, without the spaces around it.
    std::string Row(int row) const {
        const Vdp& vdp = machine->Video();
        std::string text(reinterpret_cast<const char*>(vdp.Vram() + vdp.NameTable() + row * 32),
                         32);
        const auto first = text.find_first_not_of(' ');
        if (first == std::string::npos) {
            return "";
        }
        return text.substr(first, text.find_last_not_of(' ') - first + 1);
    }

    Bytes rom;
    std::unique_ptr<Machine> machine = std::make_unique<Machine>();
};

// --- The image ---

TEST(BiosImage, TheArrayIsTheAssembledRom) {
    const Bytes rom = ReadFile(RIX_BIOS_ROM);
    ASSERT_EQ(rom.size(), sizeof kRixBios);
    for (std::size_t i = 0; i < rom.size(); ++i) {
        ASSERT_EQ(kRixBios[i], rom[i]) << "at " << std::hex << i << "; run `make bios`";
    }
}

TEST(BiosImage, DataProgramsReadFromTheRom) {
    EXPECT_EQ(kRixBios[0x0069], 60); // frames a second

    // 96 glyphs of 8 bytes for 0x20-0x7F start 128 bytes before the pointer at 0x006C, which
    // is the glyph of '0'; 0x006A points at 'A' in the same font.
    const std::uint16_t digits = BiosWord(0x006C);
    ASSERT_GE(digits, 128);
    const std::uint16_t font = digits - 128;
    ASSERT_LE(font + 96 * 8, 0x1F61) << "the font runs into the jump table";
    EXPECT_EQ(BiosWord(0x006A), font + (0x41 - 0x20) * 8);

    auto glyph = [&](int c) {
        return Bytes(kRixBios + font + (c - 0x20) * 8, kRixBios + font + (c - 0x20) * 8 + 8);
    };
    EXPECT_EQ(glyph(' '), Bytes(8, 0));
    std::set<Bytes> distinct;
    for (int c = 0x21; c < 0x7F; ++c) {
        EXPECT_NE(glyph(c), Bytes(8, 0)) << "no glyph for '" << static_cast<char>(c) << "'";
        distinct.insert(glyph(c));
    }
    EXPECT_EQ(distinct.size(), 0x7F - 0x21u) << "two characters share a glyph";
    // Lower case is its own, not a copy of the capitals.
    EXPECT_NE(glyph('a'), glyph('A'));
    // Eight rows of eight pixels: the capitals sit on the baseline (row 7 free), 'g' descends.
    EXPECT_EQ(glyph('E')[7], 0);
    EXPECT_NE(glyph('g')[7], 0);
}

// The documented entry points we implement are 3-byte jumps into the BIOS; every other slot of
// the table returns at once.
TEST(BiosImage, JumpTableSlots) {
    const std::set<std::uint16_t> implemented = {0x1F61, 0x1F76, 0x1F79, 0x1F7F, 0x1F82, 0x1F85,
                                                 0x1FB8, 0x1FBB, 0x1FBE, 0x1FD6, 0x1FD9, 0x1FDC,
                                                 0x1FDF, 0x1FE2, 0x1FEE, 0x1FF1, 0x1FF4, 0x1FFD};
    for (std::uint16_t slot = 0x1F61; slot < 0x2000; slot += 3) {
        if (implemented.count(slot)) {
            EXPECT_EQ(kRixBios[slot], 0xC3) << std::hex << slot;
            EXPECT_LT(BiosWord(slot + 1), 0x1F61) << std::hex << slot;
        } else {
            EXPECT_EQ(kRixBios[slot], 0xC9) << std::hex << slot;
        }
    }
}

// --- Starting a cartridge ---

// A cartridge with the header bytes `first` and `second`, the text at 0x8024, and an entry
// point at 0x8100 (past anything the title screen reads) that leaves signs in RAM and stops.
constexpr std::uint8_t kStarted = 0xA5;
Bytes HeaderCartridge(std::uint8_t first, std::uint8_t second, const std::string& text = "") {
    Bytes rom(0x2000, 0xFF);
    rom[0] = first;
    rom[1] = second;
    rom[0x0A] = 0x00;
    rom[0x0B] = 0x81;
    std::memcpy(&rom[0x24], text.data(), text.size());
    const std::uint8_t entry[] = {
        0x3E, kStarted,             // ld a, kStarted
        0x32, 0x00,     0x70,       // ld (0x7000), a
        0xED, 0x73,     0x02, 0x70, // ld (0x7002), sp
        0x76,                       // halt
        0x18, 0xFD,                 // jr back to the halt
    };
    std::memcpy(&rom[0x100], entry, sizeof entry);
    return rom;
}

TEST(BiosStart, A55AACartridgeStartsAtOnceWithTheChipsSetUp) {
    Console console(HeaderCartridge(0x55, 0xAA));
    console.Frames(1);
    EXPECT_EQ(console.Ram(0x7000), kStarted);
    EXPECT_EQ(console.RamWord(0x7002), 0x73B9); // the stack the console's BIOS gives
    const Z80State& cpu = console.machine->Cpu().State();
    EXPECT_FALSE(cpu.iff1);
    EXPECT_EQ(cpu.im, 1);
    // Every register written: Graphics I, blanked, frame interrupt off, our table layout.
    const std::uint8_t expected[8] = {0x00, 0x80, 0x06, 0x80, 0x00, 0x36, 0x07, 0x00};
    for (int r = 0; r < 8; ++r) {
        EXPECT_EQ(console.machine->Video().Register(r), expected[r]) << "R" << r;
    }
    for (int ch = 0; ch < 4; ++ch) {
        EXPECT_EQ(console.machine->Sound().Attenuation(ch), 15) << ch;
    }
}

struct TitleCase {
    const char* what;
    std::string text;
    const char* line; // row 9: the first field
    const char* name; // row 6: the second
    const char* year; // row 12: the last four characters
};

void PrintTo(const TitleCase& c, std::ostream* out) {
    *out << c.what;
}

class BiosTitle : public testing::TestWithParam<TitleCase> {};

TEST_P(BiosTitle, ShowsTheHeadersTextThenStarts) {
    const TitleCase& c = GetParam();
    Console console(HeaderCartridge(0xAA, 0x55, c.text));
    console.Frames(30);
    EXPECT_NE(console.Ram(0x7000), kStarted) << "started before its title was shown";
    EXPECT_EQ(console.Row(9), c.line);
    EXPECT_EQ(console.Row(6), c.name);
    EXPECT_EQ(console.Row(12), c.year);
    EXPECT_EQ(console.Row(20), "GET READY");
    EXPECT_EQ(console.machine->Video().Register(1) & 0x60, 0x40) << "display on, no interrupt";

    console.Frames(200);
    EXPECT_EQ(console.Ram(0x7000), kStarted);
    EXPECT_EQ(console.RamWord(0x7002), 0x73B9);
    EXPECT_EQ(console.machine->Video().Register(1), 0x80) << "blanked for the game";
    // The title screen kept to the BIOS's own RAM: its variables and a stack a few dozen bytes
    // deep below 0x73B9. The rest holds only the game's signs.
    for (std::uint16_t a = 0x7004; a < 0x7390; ++a) {
        ASSERT_EQ(console.Ram(a), 0) << std::hex << a;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, BiosTitle,
    testing::Values(
        TitleCase{"Fields", "BY ME/MY GAME/1995", "BY ME", "MY GAME", "1995"},
        // The copyright sign has a glyph; other control codes show as spaces.
        TitleCase{"Symbols",
                  "\x1D"
                  "2024 Rix\x01!/Lower case too/2024",
                  "\x1D"
                  "2024 Rix !",
                  "Lower case too", "2024"},
        // Erased ROM: no field ends; the lines fill with spaces and the game still starts.
        TitleCase{"NoText", "", "", "", ""}),
    [](const testing::TestParamInfo<TitleCase>& info) { return info.param.what; });

struct Header {
    const char* what;
    std::uint8_t first, second;
};

void PrintTo(const Header& h, std::ostream* out) {
    *out << h.what;
}

class BiosNotACartridge : public testing::TestWithParam<Header> {};

TEST_P(BiosNotACartridge, SaysSoAndStays) {
    const Header& h = GetParam();
    Console console(HeaderCartridge(h.first, h.second, "X/Y/2000"));
    console.Frames(10);
    EXPECT_EQ(console.Row(11), "Not a ColecoVision cartridge");
    EXPECT_NE(console.Ram(0x7000), kStarted);
    EXPECT_LT(console.machine->Cpu().State().pc, 0x2000);
    EXPECT_EQ(console.machine->Video().Register(1) & 0x60, 0x40);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, BiosNotACartridge,
    testing::Values(Header{"Zeros", 0x00, 0x00}, Header{"Erased", 0xFF, 0xFF},
                    Header{"Twice55", 0x55, 0x55}, Header{"TwiceAA", 0xAA, 0xAA},
                    Header{"HalfTitle", 0xAA, 0x00}, Header{"HalfDirect", 0x00, 0xAA}),
    [](const testing::TestParamInfo<Header>& info) { return info.param.what; });

TEST(BiosStart, NoCartridgeAtAllIsNotACartridge) {
    Console console(Bytes{});
    console.Frames(10);
    EXPECT_EQ(console.Row(11), "Not a ColecoVision cartridge");
}

// --- Vectors ---

TEST(BiosVectors, RstAndNmiReachTheCartridgesJumps) {
    Console console(Fixture("vectors.rom"));
    console.Frames(6);
    for (int n = 1; n <= 7; ++n) {
        EXPECT_EQ(console.Ram(0x7000 + n - 1), n) << "RST " << n * 8;
        EXPECT_EQ(console.Ram(0x7012 + n - 1), n) << "in order, once each";
    }
    EXPECT_GE(console.machine->NmiCount(), 4u);
    EXPECT_EQ(console.Ram(0x7010), console.machine->NmiCount()) << "every NMI reached 0x8021";
}

// --- Routines ---

class BiosRoutines : public testing::Test {
protected:
    void SetUp() override {
        console.Frames(4);
        ASSERT_EQ(console.Ram(0x7000), 0xD0) << "the test cartridge did not finish";
    }
    Console console{Fixture("routines.rom")};
};

TEST_F(BiosRoutines, TurnOffSoundSilencesAllFourChannels) {
    for (int ch = 0; ch < 4; ++ch) {
        EXPECT_EQ(console.machine->Sound().Attenuation(ch), 15) << ch;
    }
}

TEST_F(BiosRoutines, Mode1SetsGraphicsOneWithTheStandardTables) {
    const std::uint16_t tables[5] = {0x1B00, 0x3800, 0x1800, 0x0000, 0x2000};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(console.RamWord(0x7030 + 2 * i), tables[i]) << "table " << i;
    }
    EXPECT_EQ(console.RamWord(0x703A), 0x8000) << "R0 = 0, R1 = blanked";
    EXPECT_EQ(console.machine->Video().Register(2), 0x06);
    EXPECT_EQ(console.machine->Video().Register(5), 0x36);
    EXPECT_EQ(console.machine->Video().Register(6), 0x07);
}

TEST_F(BiosRoutines, WriteRegisterAndInitTableInGraphicsTwo) {
    const Vdp& vdp = console.machine->Video();
    EXPECT_EQ(vdp.Register(0), 0x02);
    EXPECT_EQ(vdp.Register(4), 0x03) << "whole pattern table at 0x0000";
    EXPECT_EQ(vdp.Register(3), 0xFF) << "whole colour table at 0x2000";
    EXPECT_EQ(vdp.Register(7), 0x1E);
    EXPECT_EQ(console.Ram(0x73C3), 0x02) << "R0 kept for programs";
    EXPECT_EQ(console.Ram(0x73C4), 0x80) << "R1 kept for programs";
    EXPECT_EQ(console.RamWord(0x73F8), 0x0000);
    EXPECT_EQ(console.RamWord(0x73FA), 0x2000);
}

TEST_F(BiosRoutines, LoadAsciiPutsTheFontAtItsCodes) {
    const std::uint16_t font = BiosWord(0x006C) - 128;
    EXPECT_EQ(0, std::memcmp(console.Vram(0x20 * 8), kRixBios + font, 96 * 8));
    const Bytes copyright(console.Vram(0x1D * 8), console.Vram(0x1D * 8) + 8);
    EXPECT_NE(copyright, Bytes(8, 0));
    EXPECT_EQ(*console.Vram(0x1D * 8 - 1), 0) << "below the first glyph";
    EXPECT_EQ(*console.Vram(0x80 * 8), 0) << "past the last";
}

TEST_F(BiosRoutines, FillWriteAndReadVram) {
    EXPECT_EQ(*console.Vram(0x2FFF), 0);
    for (int i = 0; i < 261; ++i) {
        ASSERT_EQ(*console.Vram(0x3000 + i), 0x5A) << i;
    }
    EXPECT_EQ(*console.Vram(0x3105), 0);
    const std::uint8_t pattern[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    EXPECT_EQ(0, std::memcmp(console.Vram(0x3200), pattern, 8));
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(console.Ram(0x7004 + i), pattern[i]) << i;
    }
    // 300 bytes read back from the filled area: more than one round of 256.
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(console.Ram(0x7100 + i), i < 261 ? 0x5A : 0) << i;
    }
}

TEST_F(BiosRoutines, PutAndGetVramCountInTheTablesItems) {
    const std::uint8_t sprite[4] = {0x40, 0x50, 0x07, 0x0F};
    EXPECT_EQ(0, std::memcmp(console.Vram(0x1B08), sprite, 4)) << "sprite 2 of 4-byte items";
    EXPECT_EQ(*console.Vram(0x1B07), 0);
    EXPECT_EQ(*console.Vram(0x1B0C), 0);
    EXPECT_EQ(console.Ram(0x700C), 'F');
    EXPECT_EQ(console.Ram(0x700D), 'G');
    EXPECT_EQ(console.Ram(0x700E), 'H');
}

TEST_F(BiosRoutines, ReadRegisterAcknowledgesTheFrame) {
    EXPECT_EQ(console.Ram(0x7001) & 0x80, 0x80);
    EXPECT_EQ(console.Ram(0x7002) & 0x80, 0) << "the first read cleared the frame flag";
    EXPECT_EQ(console.Ram(0x73C5), console.Ram(0x7002)) << "kept as the status byte";
}

TEST_F(BiosRoutines, RandGenMoves) {
    const std::uint16_t first = console.RamWord(0x7010);
    const std::uint16_t second = console.RamWord(0x7012);
    EXPECT_NE(first, 0);
    EXPECT_NE(second, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(console.Ram(0x7014), second & 0xFF) << "A = L";
}

TEST_F(BiosRoutines, SongRoutinesWithoutSoundInitLeaveRamAlone) {
    for (std::uint16_t a = 0x7015; a < 0x7030; ++a) {
        EXPECT_EQ(console.Ram(a), 0) << std::hex << a;
    }
}

struct Held {
    const char* what;
    std::uint16_t keys;
    std::uint8_t stick, fire; // DECODER for controller 1's stick: L and H
    std::uint8_t key, arm;    // and for its keypad
};

// The default controls: A the left button, B the right one, Select *, Start #, L 1, R 2.
TEST_F(BiosRoutines, ControllerScanAndDecoderReadWhatIsHeld) {
    for (const Held& h : std::initializer_list<Held>{
             {"nothing", 0, 0x00, 0x00, 15, 0x00},
             {"up and the left button", kGbaUp | kGbaA, 0x01, 0x40, 15, 0x00},
             {"right and down", kGbaRight | kGbaDown, 0x06, 0x00, 15, 0x00},
             {"left", kGbaLeft, 0x08, 0x00, 15, 0x00},
             {"the right button", kGbaB, 0x00, 0x00, 15, 0x40},
             {"*", kGbaSelect, 0x00, 0x00, 10, 0x00},
             {"#", kGbaStart, 0x00, 0x00, 11, 0x00},
             {"1", kGbaL, 0x00, 0x00, 1, 0x00},
             {"2", kGbaR, 0x00, 0x00, 2, 0x00},
         }) {
        console.Frames(2, h.keys);
        EXPECT_EQ(console.Ram(0x7040), h.stick) << h.what;
        EXPECT_EQ(console.Ram(0x7041), h.fire) << h.what;
        EXPECT_EQ(console.Ram(0x7042), 0) << h.what << ": no spinner";
        EXPECT_EQ(console.Ram(0x7043), h.key) << h.what;
        EXPECT_EQ(console.Ram(0x7044), h.arm) << h.what;
        EXPECT_EQ(console.Ram(0x7045), 0) << h.what << ": nothing in port 2";
        EXPECT_EQ(console.Ram(0x7046), 0) << h.what << ": nothing in port 2";
    }
    // CONTROLLER_SCAN's own record, inverted: bits 0-3 and 6 are what programs use.
    console.Frames(2, kGbaUp | kGbaA | kGbaB | kGbaStart);
    EXPECT_EQ(console.Ram(0x73EE) & 0x4F, 0x41) << "stick 1";
    EXPECT_EQ(console.Ram(0x73EF) & 0x4F, 0x00) << "stick 2";
    EXPECT_EQ(console.Ram(0x73F0) & 0x4F, 0x40 | (~0x6 & 0x0F)) << "keypad 1: # reads 6";
    EXPECT_EQ(console.Ram(0x73F1) & 0x4F, 0x00) << "keypad 2";
}

// --- Songs ---

TEST(BiosSongs, PlayOnTheirChannelsInAreaOrder) {
    Console console(Fixture("songs.rom"));
    const Psg& psg = console.machine->Sound();
    struct Heard {
        int frame;
        std::uint16_t period;
        std::uint8_t attenuation;
        const char* what;
    };
    int at = 0;
    for (const Heard& h : {
             Heard{5, 0x1AB, 2, "song 1's first note, over song 3"},
             Heard{15, 0x1AB, 15, "song 1's rest, not restarted by PLAY_IT at frame 12"},
             Heard{25, 0x0FE, 5, "song 1's second note"},
             Heard{40, 0x300, 7, "song 1 over: song 3 heard"},
         }) {
        console.Frames(h.frame - at);
        at = h.frame;
        if (h.attenuation != 15) {
            EXPECT_EQ(psg.TonePeriod(0), h.period) << h.what;
        }
        EXPECT_EQ(psg.Attenuation(0), h.attenuation) << h.what;
        EXPECT_EQ(psg.Attenuation(1), 15) << h.what;
        EXPECT_EQ(psg.Attenuation(2), 15) << h.what;
        EXPECT_EQ(psg.Attenuation(3), 3) << h.what << ": song 2's noise, repeating";
        EXPECT_EQ(psg.NoiseControl(), 5) << h.what;
    }
    EXPECT_EQ(console.Ram(0x7100), 0xFF) << "song 1's area idle once it ended";
}

} // namespace
