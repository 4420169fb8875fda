// The exact bytes a build appends behind the emulator image.
#include "BuildFixture.h"

#include "builder/RomIdentity.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

namespace rix {
namespace {

using test::Bytes;
using test::TempDir;

struct RomSpec {
    std::string name;
    std::size_t size;
    int seed;
};

struct LayoutCase {
    const char* name;
    std::string settings; // "RixBinary" is added by the test
    std::vector<RomSpec> roms;
    // Expected appended bytes, given the ROM files' contents.
    std::function<Bytes(const std::vector<std::vector<unsigned char>>&)> expected;
};

constexpr const char* kPresets = "[Control_Kempston]\r\nButton A=Fire 1\r\nButton B=Fire 2\r\n"
                                 "Select=*\r\nStart=#\r\nBack Left=1\r\nBack Right=2\r\n";

std::vector<unsigned char> BuildAppended(const LayoutCase& c, TempDir& dir) {
    const std::string out = dir / "out";
    auto ini = test::Settings(dir, "[Settings]\r\nRixBinary=" + out + "\r\n" + c.settings);
    std::vector<RomRow> rows;
    for (const RomSpec& rom : c.roms) {
        rows.push_back(test::MakeRom(dir, rom.name, rom.size, rom.seed));
    }
    test::RecordingHost host;
    EXPECT_EQ(RunBuild(*ini, rows, host, {.emulatorImage = &test::FakeImage}),
              BuildOutcome::Written);
    return test::AppendedPart(out + "/Rix.gba");
}

TEST(Layout, AppendedBytesAreExact) {
    const std::string name47(47, 'N');
    const LayoutCase cases[] = {
        {"empty list, no ROM section",
         "",
         {},
         [](auto&) { return Bytes().U32(16).U32(16).Zeros(8); }},
        {"records only: no terminator, no data",
         "[00000001]\r\nFilename=a\r\n[00000002]\r\nFilename=b\r\n[00000003]\r\nFilename=c\r\n",
         {},
         [](auto&) {
             return Bytes()
                 .U32(16)
                 .U32(256)
                 .Zeros(8)
                 .Record(1, "a", 0, 0, {0, 0, 0, 0, 0, 0})
                 .Record(2, "b", 0, 0, {0, 0, 0, 0, 0, 0})
                 .Record(3, "c", 0, 0, {0, 0, 0, 0, 0, 0});
         }},
        {"one ROM of 16 KiB with its section",
         std::string(kPresets) + "[12345678]\r\nFilename=game\r\nControl=Kempston\r\n",
         {{"game.col", 16384, 1}},
         [](auto& roms) {
             return Bytes()
                 .U32(16)
                 .U32(96)
                 .Zeros(8)
                 .Record(0x12345678, "game", 0, 0, {0x4000, 0x40, 6, 9, 2, 8})
                 .U32(112)
                 .U32(16384)
                 .Zeros(8)
                 .Append(roms[0]);
         }},
        {"two ROMs, custom controls swap the shoulders",
         "[AAAAAAAA]\r\nFilename=one\r\nControl=Custom\r\nButton A=0\r\nButton B=9\r\n"
         "Select=5\r\nStart=6\r\nBack Left=1\r\nBack Right=2\r\n"
         "[BBBBBBBB]\r\nFilename=two\r\nCycle Count=-1\r\nCollision Detection=258\r\n",
         {{"one.rom", 8192, 2}, {"two.col", 24576, 3}},
         [](auto& roms) {
             return Bytes()
                 .U32(16)
                 .U32(176)
                 .Zeros(8)
                 .Record(0xAAAAAAAA, "one", 0, 0, {5, 4, 12, 1, 8, 2})
                 .Record(0xBBBBBBBB, "two", -1, 2, {0, 0, 0, 0, 0, 0})
                 .U32(200)
                 .U32(8192)
                 .U32(8392)
                 .U32(24576)
                 .Zeros(8)
                 .Append(roms[0])
                 .Append(roms[1]);
         }},
        {"duplicate rows, a listed ROM without a record, a record without a ROM",
         "[0000ABCD]\r\nFilename=" + name47 +
             "xyz\r\nControl=custom\r\nCycle Count=$E4\r\n"
             "[Control_custom]\r\nButton A=Fire 1\r\n",
         {{"a.col", 5, 4}, {"a.col", 5, 4}},
         [name47](auto& roms) {
             return Bytes()
                 .U32(16)
                 .U32(96)
                 .Zeros(8)
                 .Record(0x0000ABCD, name47, 228, 0, {0x4000, 0, 0, 0, 0, 0})
                 .U32(120)
                 .U32(5)
                 .U32(125)
                 .U32(5)
                 .Zeros(8)
                 .Append(roms[0])
                 .Append(roms[1]);
         }},
        {"sections without a name give no record; hand-written names still do",
         "[Control Defaults]\r\nDefault0=Kempston\r\n[11111111]\r\nControl=Kempston\r\n"
         "[My Game]\r\nFilename=mine\r\n[22222222]\r\nFilename=\r\n",
         {},
         [](auto&) {
             return Bytes().U32(16).U32(96).Zeros(8).Record(0xFFFFAFEF, "mine", 0, 0,
                                                            {0, 0, 0, 0, 0, 0});
         }},
        {"a section twice gives two equal records read through the later one",
         "[0000000A]\r\nFilename=first\r\n[0000000a]\r\nFilename=second\r\nCycle Count=7\r\n",
         {},
         [](auto&) {
             return Bytes()
                 .U32(16)
                 .U32(176)
                 .Zeros(8)
                 .Record(10, "second", 7, 0, {0, 0, 0, 0, 0, 0})
                 .Record(10, "second", 7, 0, {0, 0, 0, 0, 0, 0});
         }},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::vector<std::vector<unsigned char>> roms;
        const std::vector<unsigned char> appended = BuildAppended(c, dir);
        for (const RomSpec& rom : c.roms) {
            roms.push_back(test::ReadFileBytes(dir / rom.name));
        }
        EXPECT_EQ(appended, c.expected(roms).Get());
    }
}

TEST(Layout, AnEmptyDefaultPresetReadsTheBareControlSection) {
    TempDir dir;
    LayoutCase c{
        "", "[Control_]\r\nStart=3\r\n[00000005]\r\nFilename=g\r\nControl=\r\n", {}, nullptr};
    EXPECT_EQ(BuildAppended(c, dir),
              Bytes().U32(16).U32(96).Zeros(8).Record(5, "g", 0, 0, {0, 0, 0, 3, 0, 0}).Get());
}

} // namespace
} // namespace rix
