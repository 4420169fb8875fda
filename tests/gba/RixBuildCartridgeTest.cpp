// Cartridges made by the rix-build command, booted in the GBA core: the example ROM from a
// fresh directory, and a configured cartridge whose game pages show what the settings say.
#include "MenuReading.h"
#include "RixBuildRun.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace rix::test {
namespace {

const std::string kExample = std::string(RIX_SOURCE_DIR) + "/resources/examples/hello.col";
const std::string kSuite = std::string(RIX_TESTDATA_DIR) + "/coleco/suitecv.rom";

TEST(RixBuildCartridge, TheExampleBootsToTheMenu) {
    TempDir dir;
    ASSERT_EQ(RunRixBuild(dir.Path().string(), {OwnCopy(dir.Path().string(), kExample)}), 0);
    auto machine = Boot(Bytes(dir / "Rix.gba"));
    const Rows rows = machine->Text();
    EXPECT_EQ(rows[0].rfind(kTitle, 0), 0u) << rows[0];
    EXPECT_EQ(rows[2], ">    1 hello");
    machine->Tap(kKeyA);
    EXPECT_EQ(Value(machine->Text(), "Header"), "55 AA: direct start");
    EXPECT_TRUE(machine->Errors().empty());
}

TEST(RixBuildCartridge, GamePagesShowTheConfiguredSettings) {
    TempDir dir;
    // The example with custom controls, the test program with the prepared preset, and a
    // section of a ROM that is not listed.
    WriteFileText(dir / "Rix.INI",
                  "[Control Defaults]\r\nDefault0=Kempston\r\n"
                  "[Control_Kempston]\r\nButton A=Fire 1\r\nButton B=Fire 2\r\nSelect=*\r\n"
                  "Start=#\r\nBack Left=1\r\nBack Right=2\r\n"
                  "[Cycle Counts]\r\nCycle0=228\r\n"
                  "[E9F3D2B1]\r\nFilename=Hello from Rix\r\nControl=Custom\r\nButton A=0\r\n"
                  "Button B=9\r\nSelect=<unassigned>\r\nStart=5\r\nBack Left=1\r\nBack Right=2\r\n"
                  "Cycle Count=228\r\nCollision Detection=2\r\n"
                  "[00000001]\r\nFilename=Not on this cartridge\r\n");
    ASSERT_EQ(RunRixBuild(dir.Path().string(), {"-q", OwnCopy(dir.Path().string(), kExample),
                                                OwnCopy(dir.Path().string(), kSuite)}),
              0);
    auto machine = Boot(Bytes(dir / "Rix.gba"));
    Rows rows = machine->Text();
    EXPECT_EQ(rows[2], ">    1 Hello from Rix");
    EXPECT_EQ(rows[3], "     2 suitecv");

    machine->Tap(kKeyA);
    rows = machine->Text();
    EXPECT_EQ(Value(rows, "Cycles"), "228");
    EXPECT_EQ(Value(rows, "Collision"), "Off");
    EXPECT_EQ(Value(rows, "A"), "Keypad 0");
    EXPECT_EQ(Value(rows, "B"), "Keypad 9");
    EXPECT_EQ(Value(rows, "Select"), "none");
    EXPECT_EQ(Value(rows, "Start"), "Keypad 5");
    EXPECT_EQ(Value(rows, "L"), "Keypad 2") << "custom controls store Back Right first";
    EXPECT_EQ(Value(rows, "R"), "Keypad 1");

    machine->Tap(kKeyB);
    machine->Tap(kKeyDown);
    machine->Tap(kKeyA);
    rows = machine->Text();
    EXPECT_EQ(Value(rows, "Cycles"), "default");
    EXPECT_EQ(Value(rows, "A"), "Fire 1");
    EXPECT_EQ(Value(rows, "Select"), "Keypad *");
    EXPECT_EQ(Value(rows, "L"), "Keypad 1");
    EXPECT_EQ(Value(rows, "R"), "Keypad 2");
    EXPECT_EQ(Value(rows, "Header"), "55 AA: direct start");
    EXPECT_TRUE(machine->Errors().empty());
}

} // namespace
} // namespace rix::test
