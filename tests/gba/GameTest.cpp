// Games started from the GBA menu on cartridges made by rix-build: starting from the list and
// from a game's page, the buttons reaching the game through its record's codes, the way back to
// the menu, and the games that cannot start. The running console is watched through the
// program's test port (frames run, its RAM).
#include "Cartridge.h"
#include "MenuReading.h"
#include "RixBuildRun.h"

#include "app/TestPort.h"
#include "support/ColecoCartridge.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>

namespace rix::test {
namespace {

using gba::TestPort;

constexpr std::uint16_t kLeave = kKeyL | kKeyR | kKeySelect | kKeyStart;

std::uint32_t PortField(GbaMachine& machine, std::size_t offset) {
    return machine.Read32(gba::kTestPortAddress + std::uint32_t(offset));
}
std::uint32_t RunningGame(GbaMachine& machine) {
    return PortField(machine, offsetof(TestPort, game));
}
std::uint32_t FramesRun(GbaMachine& machine) {
    return PortField(machine, offsetof(TestPort, frames));
}
// A byte of the running console's RAM.
std::uint8_t ConsoleRam(GbaMachine& machine, std::uint16_t address) {
    return machine.Read8(PortField(machine, offsetof(TestPort, ram)) + (address & 0x3FFu));
}

// Holds `keys` until the game has run `frames` emulated frames more with them.
void HoldForFrames(GbaMachine& machine, std::uint16_t keys, std::uint32_t frames) {
    machine.SetKeys(keys);
    const std::uint32_t until = FramesRun(machine) + frames;
    machine.RunUntil([&] { return FramesRun(machine) >= until; }, 600);
    machine.SetKeys(0);
}

// A folder with the prepared settings file, the example and the controller program, and the
// cartridge rix-build makes of them with `settings` added to the prepared ones.
class GameCartridge : public testing::Test {
protected:
    void Build(const std::string& settings) {
        WriteFileText(dir / "Rix.INI",
                      ReadFileText(std::string(RIX_SOURCE_DIR) + "/resources/Rix.INI") + settings);
        const std::vector<std::uint8_t> program = ControllerProgram();
        WriteFileBytes(dir / "pads.col",
                       std::vector<unsigned char>(program.begin(), program.end()));
        ASSERT_EQ(RunRixBuild(dir.Path().string(),
                              {"-q", OwnCopy(dir.Path().string(), kExample), dir / "pads.col"}),
                  0);
        machine = Boot(Bytes(dir / "Rix.gba"));
    }

    const std::string kExample = std::string(RIX_SOURCE_DIR) + "/resources/examples/hello.col";
    TempDir dir;
    std::unique_ptr<GbaMachine> machine;
};

TEST_F(GameCartridge, StartsFromTheListOrThePageAndLeavesWithTheFourKeysHeld) {
    Build("");
    EXPECT_TRUE(Contains(machine->Text(), "Start: play"));
    machine->Tap(kKeyStart);
    EXPECT_EQ(RunningGame(*machine), 1u) << "Start in the list starts the highlighted game";
    ASSERT_GE(machine->RunUntil([&] { return FramesRun(*machine) >= 30; }, 300), 0);

    // Held for less than a second, the four keys are the game's.
    machine->SetKeys(kLeave);
    machine->RunFrames(40);
    EXPECT_EQ(RunningGame(*machine), 1u);
    // Three of them held as long are no way back either.
    machine->SetKeys(kKeyL | kKeyR | kKeySelect);
    machine->RunFrames(90);
    EXPECT_EQ(RunningGame(*machine), 1u);
    machine->SetKeys(kLeave);
    machine->RunFrames(70);
    machine->SetKeys(0);
    machine->RunFrames(4);
    EXPECT_EQ(RunningGame(*machine), 0u);
    EXPECT_EQ(machine->Text()[2], ">    1 hello") << "back in the menu, on the game left";

    // A opens the page, where A starts the game anew: from its first frame.
    machine->Tap(kKeyDown);
    machine->Tap(kKeyA);
    EXPECT_EQ(machine->Text()[18], " To leave a game hold L+R+Select+Start");
    machine->Tap(kKeyA);
    EXPECT_EQ(RunningGame(*machine), 2u);
    EXPECT_LT(FramesRun(*machine), 10u);
    EXPECT_TRUE(machine->Errors().empty()) << machine->Errors().front();
}

TEST_F(GameCartridge, ButtonsReachTheGameThroughTheRecordsCodes) {
    // The controller program with custom controls; the example keeps the default preset.
    const std::vector<std::uint8_t> program = ControllerProgram();
    char key[9];
    std::snprintf(key, sizeof key, "%08X", RomKey(program));
    Build(std::string("\r\n[") + key +
          "]\r\nFilename=pads\r\nControl=Custom\r\nButton A=5\r\nButton B=Fire 2\r\n"
          "Select=Fire 1\r\nStart=#\r\nBack Left=1\r\nBack Right=2\r\n");
    machine->Tap(kKeyDown);
    machine->Tap(kKeyStart);
    ASSERT_EQ(RunningGame(*machine), 2u);
    HoldForFrames(*machine, 0, 2);
    struct Case {
        std::uint16_t keys;
        std::uint8_t joystick;
        std::uint8_t keypad;
        const char* what;
    } cases[] = {
        {0, 0x7F, 0x7F, "nothing held"},
        {kKeyA, 0x7F, 0x73, "A: keypad 5 (code 12)"},
        {kKeyB, 0x7F, 0x3F, "B: Fire 2, the right button"},
        {kKeySelect, 0x3F, 0x7F, "Select: Fire 1, the left button"},
        {kKeyStart, 0x7F, 0x76, "Start: # (code 9)"},
        {kKeyL, 0x7F, 0x77, "L: custom controls store Back Right in its slot: 2 (code 8)"},
        {kKeyR, 0x7F, 0x7D, "R: 1 (code 2)"},
        {kKeyUp | kKeyLeft, 0x76, 0x7F, "the D-pad is the joystick"},
    };
    for (const Case& c : cases) {
        HoldForFrames(*machine, c.keys, 3);
        machine->SetKeys(c.keys);
        EXPECT_EQ(ConsoleRam(*machine, 0x7000), c.joystick) << c.what;
        EXPECT_EQ(ConsoleRam(*machine, 0x7001), c.keypad) << c.what;
        machine->SetKeys(0);
    }
}

TEST(GbaGame, ARecordThatMapsNoButtonPlaysWithTheDefaultControls) {
    // rix-build in a folder without the prepared settings: the default preset is not defined,
    // so the record's six codes are all 0.
    TempDir dir;
    const std::vector<std::uint8_t> program = ControllerProgram();
    WriteFileBytes(dir / "pads.col", std::vector<unsigned char>(program.begin(), program.end()));
    ASSERT_EQ(RunRixBuild(dir.Path().string(), {"-q", dir / "pads.col"}), 0);
    auto machine = Boot(Bytes(dir / "Rix.gba"));
    machine->Tap(kKeyA);
    const Rows rows = machine->Text();
    EXPECT_EQ(Value(rows, "Button"), "defaults (none mapped)");
    EXPECT_EQ(Value(rows, "A"), "Fire 1");
    EXPECT_EQ(Value(rows, "R"), "Keypad 2");
    EXPECT_EQ(Value(rows, "BIOS"), "Rix's own");
    machine->Tap(kKeyStart);
    ASSERT_EQ(RunningGame(*machine), 1u);
    HoldForFrames(*machine, kKeyA | kKeySelect, 3);
    machine->SetKeys(kKeyA | kKeySelect);
    EXPECT_EQ(ConsoleRam(*machine, 0x7000), 0x3F) << "A: Fire 1";
    EXPECT_EQ(ConsoleRam(*machine, 0x7001), 0x79) << "Select: * (code 6)";
}

TEST(GbaGame, AGameWithoutARecordCannotStart) {
    CartContents contents;
    contents.games = {{TestRom(1), std::nullopt}};
    auto machine = Boot(MakeCartridge(RixImage(), contents));
    machine->Tap(kKeyStart);
    EXPECT_EQ(RunningGame(*machine), 0u);
    const Rows rows = machine->Text();
    EXPECT_EQ(rows[18], " No record, so it cannot be started.") << "Start opened the page";
    EXPECT_EQ(rows[19], " B: back to the list");
    machine->Tap(kKeyA);
    EXPECT_EQ(RunningGame(*machine), 0u);
}

} // namespace
} // namespace rix::test
