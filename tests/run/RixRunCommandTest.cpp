// rix-run in process and as a program: the example greeting from a ROM file and from a
// cartridge, buttons through the control codes, the pictures and the sound written, the BIOS
// carried on a cartridge, and every error as its one line.
#include "cli/RixRunCommand.h"

#include "RunFixtures.h"
#include "builder/Resources.h"
#include "builder/RomIdentity.h"
#include "cli/GameFile.h"
#include "core/Machine.h"
#include "core/RixBios.h"
#include "format/CartTable.h"
#include "format/Crc32.h"
#include "support/CapturedOutput.h"
#include "support/Png.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <fstream>
#include <map>

namespace rix {
namespace {

using test::ReadFileBytes;
using test::ReadFileText;
using test::RgbImage;
using test::TempDir;
using test::WriteFileBytes;
using test::WriteFileText;

const std::string kHello = std::string(RIX_SOURCE_DIR) + "/resources/examples/hello.col";
// hello.col clears all of VRAM with the display blanked first: its greeting shows from frame 13.
const std::string kHelloFrames = "20";

using test::CommandResult;
using test::Drain;

CommandResult RunIn(int (*command)(const std::vector<std::string>&, const cli::Console&),
                    const std::vector<std::string>& args) {
    cli::Console console;
    console.in = nullptr;
    console.out = std::tmpfile();
    console.err = std::tmpfile();
    CommandResult run;
    run.status = command(args, console);
    run.out = Drain(console.out);
    run.err = Drain(console.err);
    return run;
}

CommandResult RunRix(const std::vector<std::string>& args) {
    return RunIn(cli::RunRixRun, args);
}

std::uint32_t Crc(const std::vector<unsigned char>& bytes) {
    return format::Crc32Finish(
        format::Crc32Update(format::kCrc32Preset, bytes.data(), std::uint32_t(bytes.size())));
}

std::vector<unsigned char> Bytes(const std::vector<std::uint8_t>& v) {
    return std::vector<unsigned char>(v.begin(), v.end());
}

// The palette index of a pixel (1 for black: index 0 shows the same colour).
int ColourAt(const RgbImage& image, int x, int y) {
    const std::uint8_t* p = &image.rgb[(std::size_t(y) * image.width + x) * 3];
    for (int i = 1; i < 16; ++i) {
        const emu::Rgb c = emu::kVdpPaletteRgb[i];
        if (c.r == p[0] && c.g == p[1] && c.b == p[2]) {
            return i;
        }
    }
    return -1;
}

RgbImage Picture(const std::string& path) {
    RgbImage image;
    EXPECT_TRUE(test::ReadPng(path, image)) << path;
    return image;
}

// hello.asm's glyphs: "db 'C'" then eight "db %bits" rows.
std::map<std::string, char> HelloGlyphs() {
    std::ifstream source(std::string(RIX_SOURCE_DIR) + "/resources/examples/hello.asm");
    std::map<std::string, char> glyphs;
    std::string line;
    char current = 0;
    std::string rows;
    while (std::getline(source, line)) {
        const std::size_t start = line.find_first_not_of(" \t");
        const std::string text = start == std::string::npos ? "" : line.substr(start);
        if (text.size() >= 6 && text.compare(0, 4, "db '") == 0 && text[5] == '\'') {
            current = text[4];
            rows.clear();
        } else if (current != 0 && text.size() >= 12 && text.compare(0, 4, "db %") == 0 &&
                   text.find_first_not_of("01", 4) >= 12) {
            rows += text.substr(4, 8);
            if (rows.size() == 64) {
                glyphs[rows] = current;
                current = 0;
            }
        }
    }
    EXPECT_EQ(glyphs.size(), 9u); // E F H I L M O R X
    return glyphs;
}

// The Graphics I screen as text: each 8x8 cell a glyph of hello.asm in `ink`, blank when it
// is all `paper`, '?' otherwise.
std::vector<std::string> ScreenText(const RgbImage& image, int border, int ink, int paper) {
    static const std::map<std::string, char> glyphs = HelloGlyphs();
    std::vector<std::string> rows;
    for (int row = 0; row < 24; ++row) {
        std::string text;
        for (int column = 0; column < 32; ++column) {
            std::string bits;
            bool odd = false;
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x) {
                    const int c = ColourAt(image, border + column * 8 + x, border + row * 8 + y);
                    bits += c == ink ? '1' : '0';
                    odd = odd || (c != ink && c != paper);
                }
            }
            const auto glyph = glyphs.find(bits);
            text += odd                            ? '?'
                    : bits == std::string(64, '0') ? ' '
                    : glyph != glyphs.end()        ? glyph->second
                                                   : '?';
        }
        rows.push_back(text);
    }
    return rows;
}

// What hello.asm draws: row 11, centred, white (15) on dark blue (4).
void ExpectHello(const RgbImage& image, int border = 0) {
    ASSERT_EQ(image.width, 256 + 2 * border);
    ASSERT_EQ(image.height, 192 + 2 * border);
    const std::vector<std::string> rows = ScreenText(image, border, 15, 4);
    for (int row = 0; row < 24; ++row) {
        EXPECT_EQ(rows[row], row == 11 ? "         HELLO FROM RIX         " : std::string(32, ' '))
            << "row " << row;
    }
}

// Every pixel of the picture in one colour.
void ExpectOneColour(const RgbImage& image, int colour) {
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            ASSERT_EQ(ColourAt(image, x, y), colour) << x << "," << y;
        }
    }
}

// ControllerRom's picture: what controller 1 read, high and low nibble.
std::pair<int, int> Reading(const RgbImage& image) {
    return {ColourAt(image, 128, 96), ColourAt(image, 3, 96)};
}

class RixRun : public ::testing::Test {
protected:
    // Builds Rix.gba from `roms` with rix-build, in process, with `settings` as its Rix.INI.
    std::string Cartridge(const std::vector<std::string>& roms, const std::string& settings = "",
                          const std::string& name = "cart") {
        const std::string ini = dir / (name + ".INI");
        WriteFileText(ini, settings);
        std::vector<std::string> args = {"-s", ini, "-o", dir / name, "-y", "-q"};
        args.insert(args.end(), roms.begin(), roms.end());
        const CommandResult build = RunIn(cli::RunRixBuild, args);
        EXPECT_EQ(build.status, 0) << build.err;
        return dir / (name + "/Rix.gba");
    }
    std::string File(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        WriteFileBytes(dir / name, Bytes(bytes));
        return dir / name;
    }

    TempDir dir;
};

TEST_F(RixRun, HelpAndVersion) {
    const CommandResult help = RunRix({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: rix-run GAME.rom|Rix.gba [OPTION]...\n", 0), 0u);
    EXPECT_NE(help.out.find("--press KEY@F[-L]"), std::string::npos);
    const CommandResult version = RunRix({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "rix-run 0.9.7.0\n");
}

TEST_F(RixRun, EachErrorIsOneLineAndStatusOne) {
    const std::string rom = dir / "hello.col";
    std::filesystem::copy_file(kHello, rom);
    const std::string text = dir / "notes.txt";
    WriteFileText(text, "just some text\n");
    // 64 KiB is a MegaCart: its header belongs in the last bank, not at the start.
    std::vector<std::uint8_t> mega(0x10000, 0);
    mega[0] = 0x55;
    mega[1] = 0xAA;
    const std::string megaAtStart = File("mega.rom", mega);
    const std::string shortBios = File("short.bin", std::vector<std::uint8_t>(100, 0));
    // The bare emulator image, with no table behind it.
    const auto image = EmulatorImage();
    const std::string bareImage = File("image.gba", {image.begin(), image.end()});
    const std::string cart = Cartridge({kHello, kHello});
    const std::string empty = Cartridge({}, "", "empty");
    // A cartridge cut short inside its ROM data.
    std::vector<unsigned char> cut = ReadFileBytes(cart);
    cut.resize(cut.size() - 10);
    const std::string truncated = dir / "cut.gba";
    WriteFileBytes(truncated, cut);

    const std::string help = " (see 'rix-run --help')";
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{}, "no GAME file given" + help},
        {{rom, "--frobnicate"}, "unknown option '--frobnicate'" + help},
        {{rom, "--border=yes"}, "unknown option '--border=yes'" + help},
        {{rom, "--png"}, "option '--png' needs an argument" + help},
        {{rom, rom}, "one GAME file only, got '" + rom + "' and '" + rom + "'" + help},
        {{rom, "--frames", "0"}, "--frames 0: the frame count must be a number from 1 to 1000000"},
        {{rom, "--frames=x"}, "--frames x: the frame count must be a number from 1 to 1000000"},
        {{rom, "--game", "-1"}, "--game -1: the game must be a number from 1 to 4294967295"},
        {{rom, "--png-every", "2"}, "option '--png-every' needs K and a directory" + help},
        {{rom, "--press", "Q@1"},
         "--press Q@1: unknown key 'Q' (A, B, SELECT, START, L, R, UP, DOWN, LEFT, RIGHT)"},
        {{rom, "--press", "A"}, "--press A: expected KEY@FRAME or KEY@FIRST-LAST"},
        {{rom, "--press", "up@0"},
         "--press up@0: bad frame range '0' (FRAME or FIRST-LAST, counted from 1, FIRST <= LAST)"},
        {{rom, "--press", "A@5-2"},
         "--press A@5-2: bad frame range '5-2' (FRAME or FIRST-LAST, counted from 1, FIRST <= "
         "LAST)"},
        {{rom, "--press=B@3-"},
         "--press B@3-: bad frame range '3-' (FRAME or FIRST-LAST, counted from 1, FIRST <= LAST)"},
        {{dir / "missing.col"},
         "cannot read " + dir / "missing.col" + ": No such file or directory"},
        {{dir.Path().string()}, "cannot read " + dir.Path().string() + ": Is a directory"},
        {{text}, text + ": not a ColecoVision ROM or a Rix cartridge"},
        {{megaAtStart}, megaAtStart + ": not a ColecoVision ROM or a Rix cartridge"},
        {{bareImage}, bareImage + ": not a ColecoVision ROM or a Rix cartridge"},
        {{rom, "--game", "2"}, rom + ": there is no game 2, a ROM file holds 1 game"},
        {{cart, "--game", "3"}, cart + ": there is no game 3, the cartridge holds 2 games"},
        {{empty}, empty + ": there is no game 1, the cartridge holds no games"},
        {{truncated, "--game", "2"}, truncated + ": game 2 runs past the end of the file"},
        {{rom, "--bios", shortBios}, shortBios + ": a BIOS is 8192 bytes, this file has 100"},
        {{rom, "--bios", dir / "nobios"},
         "cannot read " + dir / "nobios" + ": No such file or directory"},
        {{rom, "--png", dir / "no/such/dir/x.png"},
         "cannot write " + dir / "no/such/dir/x.png" + ": No such file or directory"},
        {{rom, "--wav", dir / "no/x.wav"},
         "cannot write " + dir / "no/x.wav" + ": No such file or directory"},
    };
    for (const Case& c : cases) {
        const CommandResult run = RunRix(c.args);
        const std::string joined = c.args.empty() ? "(none)" : c.args.back();
        EXPECT_EQ(run.status, 1) << joined;
        EXPECT_EQ(run.err, "rix-run: " + c.err + "\n") << joined;
        EXPECT_EQ(run.out, "") << joined;
    }
    // The game before the cut still runs.
    EXPECT_EQ(RunRix({truncated, "--frames", "1"}).status, 0);
}

TEST_F(RixRun, RomFilesArePlausibleByTheirHeader) {
    struct Case {
        std::size_t size;
        std::size_t header; // where 55 AA goes, or SIZE_MAX for nowhere
        bool plausible;
    };
    const std::size_t none = SIZE_MAX;
    for (const Case& c : std::vector<Case>{{2, 0, true},
                                           {1, none, false},
                                           {32768, 0, true},
                                           {32768, none, false},
                                           {40000, 0, true},        // larger, not a MegaCart
                                           {0x10000, 0xC000, true}, // MegaCart: the last bank
                                           {0x10000, 0, false},
                                           {0x100000, 0xFC000, true},
                                           {0x200000, 0x1FC000, false}}) {
        std::vector<std::uint8_t> rom(c.size, 0);
        if (c.header != none) {
            rom[c.header] = 0xAA; // either order is a header
            rom[c.header + 1] = 0x55;
        }
        EXPECT_EQ(run::IsPlausibleRom(rom.data(), rom.size()), c.plausible) << c.size;
    }
}

TEST_F(RixRun, ShowsTheGreetingFromTheRomFileAndFromACartridge) {
    const std::string key = FormatRomKey(Crc(ReadFileBytes(kHello)));
    const CommandResult bare =
        RunRix({kHello, "--frames", kHelloFrames, "--png", dir / "bare.png"});
    ASSERT_EQ(bare.status, 0) << bare.err;
    EXPECT_EQ(bare.out, kHello + ": ROM key " + key + ", 20 frames, Rix's own BIOS\n");
    ExpectHello(Picture(dir / "bare.png"));

    // The border is the backdrop, 16 pixels on every side.
    ASSERT_EQ(
        RunRix({kHello, "--frames", kHelloFrames, "--border", "--png", dir / "border.png"}).status,
        0);
    const RgbImage border = Picture(dir / "border.png");
    ExpectHello(border, 16);
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{0, 0}, {287, 223}, {15, 100}}) {
        EXPECT_EQ(ColourAt(border, x, y), 4);
    }

    const std::string cart = Cartridge({kHello});
    const CommandResult run = RunRix({cart, "--frames", kHelloFrames, "--png", dir / "cart.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              cart + ": game 1 of 1, \"hello\" (ROM key " + key + "), 20 frames, Rix's own BIOS\n");
    ExpectHello(Picture(dir / "cart.png"));
}

TEST_F(RixRun, HeldButtonsReachTheGameOverTheirFrames) {
    const std::string rom = File("pad.rom", test::ControllerRom(test::ControllerMode::kJoystick));
    struct Case {
        std::vector<std::string> presses;
        std::pair<int, int> reading; // what the last frame (3) shows
    };
    // Joystick mode: up, right, down, left in bits 0-3, the left button (A's Fire 1) in bit 6.
    for (const Case& c : std::vector<Case>{
             {{}, {0x7, 0xF}},
             {{"UP@1-3"}, {0x7, 0xE}},
             {{"up@3", "Left@2-9"}, {0x7, 0x6}},
             {{"RIGHT@1-2"}, {0x7, 0xF}}, // released before the last frame
             {{"DOWN@3"}, {0x7, 0xB}},
             {{"A@3"}, {0x3, 0xF}},
             {{"B@3", "SELECT@3", "L@3"}, {0x7, 0xF}}, // keypad-only codes
         }) {
        std::vector<std::string> args = {rom, "--frames", "3", "--png", dir / "pad.png"};
        for (const std::string& p : c.presses) {
            args.insert(args.end(), {"--press", p});
        }
        const CommandResult run = RunRix(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Reading(Picture(dir / "pad.png")), c.reading)
            << (c.presses.empty() ? "" : c.presses[0]);
    }
}

TEST_F(RixRun, ACartridgesRecordsConfigureTheGame) {
    const std::vector<std::uint8_t> pad = test::ControllerRom(test::ControllerMode::kKeypad);
    const std::string rom = File("keypad.rom", pad);
    const std::string key = FormatRomKey(Crc(Bytes(pad)));
    const std::string custom =
        Cartridge({rom}, "[" + key +
                             "]\r\nFilename=Pad\r\nControl=Custom\r\nButton A=1\r\nButton B=#\r\n"
                             "Back Left=5\r\nCycle Count=300\r\nCollision Detection=1\r\n");
    // A preset the settings do not define: every code 0, so the defaults apply.
    const std::string preset =
        Cartridge({rom}, "[" + key + "]\r\nFilename=Pad\r\nControl=Missing\r\n", "preset");

    struct Case {
        std::string cart;
        std::string press;
        std::pair<int, int> reading;
    };
    // Keypad mode: a key's lines in bits 0-3, the right button (Fire 2) in bit 6.
    for (const Case& c : std::vector<Case>{
             {custom, "A@2", {0x7, 0xF & ~0x2}}, // "1"
             {custom, "B@2", {0x7, 0xF & ~0x9}}, // "#"
             // Custom controls keep the shoulders right, left in the record, which the
             // GBA program reads as L, R: "Back Left" lands on R.
             {custom, "R@2", {0x7, 0xF & ~0xC}}, // "5"
             {custom, "L@2", {0x7, 0xF}},
             {preset, "A@2", {0x7, 0xF}},            // Fire 1: joystick mode only
             {preset, "B@2", {0x3, 0xF}},            // Fire 2
             {preset, "START@2", {0x7, 0xF & ~0x9}}, // "#"
         }) {
        const CommandResult run =
            RunRix({c.cart, "--frames", "2", "--press", c.press, "--png", dir / "k.png"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Reading(Picture(dir / "k.png")), c.reading) << c.cart << " " << c.press;
    }

    const run::GameFile game = run::LoadGame(custom, 1);
    EXPECT_TRUE(game.hasRecord);
    EXPECT_EQ(game.name, "Pad");
    EXPECT_EQ(game.config.cycleCount, 300);
    EXPECT_EQ(game.config.collision, 1);
    EXPECT_EQ(game.config.romSize, pad.size());
    EXPECT_TRUE(std::equal(pad.begin(), pad.end(), game.config.rom));

    // A game without a record runs with the defaults.
    const auto image = EmulatorImage();
    const test::Cartridge bare = test::MakeCartridge({image.begin(), image.end()}, {pad}, {0x1234});
    const run::GameFile plain = run::LoadGame(File("plain.gba", bare.bytes), 1);
    EXPECT_TRUE(plain.cartridge);
    EXPECT_FALSE(plain.hasRecord);
    EXPECT_EQ(plain.config.cycleCount, 0);
    EXPECT_EQ(plain.config.collision, 0);
    EXPECT_TRUE(std::equal(std::begin(plain.config.controls), std::end(plain.config.controls),
                           std::begin(emu::kDefaultControls)));
}

TEST_F(RixRun, WritesTheSoundOfTheWholeRun) {
    const std::string rom = File("tone.rom", test::ControllerRom(test::ControllerMode::kJoystick));
    const std::uint32_t frames = 120;
    ASSERT_EQ(RunRix({rom, "--frames", std::to_string(frames), "--wav", dir / "tone.wav"}).status,
              0);
    const std::vector<unsigned char> wav = ReadFileBytes(dir / "tone.wav");
    // Samples counted from the start of the run: one frame is 262 lines of 228 clocks.
    const std::uint64_t samples = std::uint64_t(frames) * 262 * 228 * 44100 / 3579545;
    ASSERT_EQ(wav.size(), 44 + 2 * samples);
    auto u32 = [&](std::size_t at) { return format::ReadU32(wav.data() + at); };
    auto u16 = [&](std::size_t at) { return format::ReadU16(wav.data() + at); };
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(u32(4), 36 + 2 * samples);
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(u32(16), 16u);
    EXPECT_EQ(u16(20), 1u); // PCM
    EXPECT_EQ(u16(22), 1u); // mono
    EXPECT_EQ(u32(24), 44100u);
    EXPECT_EQ(u32(28), 88200u);
    EXPECT_EQ(u16(32), 2u);
    EXPECT_EQ(u16(34), 16u);
    EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
    EXPECT_EQ(u32(40), 2 * samples);

    // The program's 440 Hz tone: two sign changes a period.
    int changes = 0;
    bool positive = false;
    for (std::size_t i = 0; i < samples; ++i) {
        const auto s = std::int16_t(u16(44 + 2 * i));
        if (s != 0 && (s > 0) != positive) {
            positive = s > 0;
            ++changes;
        }
    }
    const double seconds = double(samples) / 44100;
    EXPECT_NEAR(changes / seconds / 2, 3579545.0 / (32 * 254), 5.0);
}

TEST_F(RixRun, WritesEveryKthFrame) {
    const std::string rom = File("pad.rom", test::ControllerRom(test::ControllerMode::kJoystick));
    const std::string shots = dir / "shots/deeper";
    const CommandResult run = RunRix({rom, "--frames", "5", "--png-every", "2", shots, "--press",
                                      "UP@4", "--png", dir / "last.png", "--border"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(shots)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"frame-00002.png", "frame-00004.png"}));
    const RgbImage second = Picture(shots + "/frame-00002.png");
    EXPECT_EQ(second.width, 288);
    EXPECT_EQ(ColourAt(second, 16 + 3, 16 + 96), 0xF);
    EXPECT_EQ(ColourAt(Picture(shots + "/frame-00004.png"), 16 + 3, 16 + 96), 0xE);
    EXPECT_EQ(ColourAt(Picture(dir / "last.png"), 16 + 3, 16 + 96), 0xF);
}

TEST_F(RixRun, TheCartridgesBiosRunsItsGamesAndIsNoGame) {
    const std::string red = File("red.bios", test::RedBios());
    const std::string own = File(
        "own.bios", std::vector<std::uint8_t>(std::begin(emu::kRixBios), std::end(emu::kRixBios)));
    const std::string cart = Cartridge({red, kHello});
    const std::string key = FormatRomKey(Crc(ReadFileBytes(kHello)));

    const CommandResult run = RunRix({cart, "--frames", "10", "--png", dir / "red.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, cart + ": game 1 of 1, \"hello\" (ROM key " + key +
                           "), 10 frames, the cartridge's BIOS\n");
    ExpectOneColour(Picture(dir / "red.png"), test::kRedBiosColour);
    EXPECT_EQ(RunRix({cart, "--game", "2"}).err,
              "rix-run: " + cart + ": there is no game 2, the cartridge holds 1 game\n");

    // --bios wins over the cartridge's.
    const CommandResult mine =
        RunRix({cart, "--frames", kHelloFrames, "--bios", own, "--png", dir / "own.png"});
    ASSERT_EQ(mine.status, 0) << mine.err;
    EXPECT_NE(mine.out.find(", BIOS " + own + "\n"), std::string::npos) << mine.out;
    ExpectHello(Picture(dir / "own.png"));

    // And it takes the place of our own for a ROM file.
    ASSERT_EQ(RunRix({kHello, "--frames", "3", "--bios", red, "--png", dir / "bare.png"}).status,
              0);
    ExpectOneColour(Picture(dir / "bare.png"), test::kRedBiosColour);
}

// The program itself: exit status, the picture, and an error on its own stderr.
TEST(RixRunBinary, RunsTheExampleAndReportsErrors) {
    TempDir dir;
    auto spawn = [&](const std::vector<std::string>& args) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int err = ::open((dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int out = ::open("/dev/null", O_WRONLY);
            ::dup2(err, STDERR_FILENO);
            ::dup2(out, STDOUT_FILENO);
            std::vector<char*> argv = {const_cast<char*>("rix-run")};
            for (const std::string& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            ::execv(RIX_RUN_BINARY, argv.data());
            ::_exit(98);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(spawn({kHello, "--frames", kHelloFrames, "--png", dir / "hello.png"}), 0);
    ExpectHello(Picture(dir / "hello.png"));
    EXPECT_EQ(ReadFileText(dir / "stderr"), "");
    EXPECT_EQ(spawn({kHello, "--press", "X@1"}), 1);
    EXPECT_EQ(ReadFileText(dir / "stderr"),
              "rix-run: --press X@1: unknown key 'X' (A, B, SELECT, START, L, R, UP, DOWN, LEFT, "
              "RIGHT)\n");
}

} // namespace
} // namespace rix
