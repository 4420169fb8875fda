// The image's menu, run in a real GBA core: cartridges of 0, 1, 3 and 1,000 games, long names,
// ROMs without a record, the test-data ColecoVision program, navigation and the game page.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Cartridge.h"
#include "GbaMachine.h"
#include "MenuReading.h"
#include "support/ForceCrc32.h"

namespace rix::test {
namespace {

GameConfig Named(const std::string& name) {
    GameConfig config;
    config.name = name;
    return config;
}

std::string Key(std::uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", crc);
    return text;
}

std::unique_ptr<GbaMachine> Boot(const CartContents& contents) {
    return rix::test::Boot(MakeCartridge(RixImage(), contents));
}

TEST(GbaMenu, ListsTheGamesInTableOrder) {
    struct Case {
        int games;
        Rows firstRows; // rows 0..3 of the list screen
    };
    const Case cases[] = {
        {1, {" Rix - ColecoVision games         1 / 1", "", ">    1 Game 1", ""}},
        {3, {" Rix - ColecoVision games         1 / 3", "", ">    1 Game 1", "     2 Game 2"}},
        {1000, {" Rix - ColecoVision games      1 / 1000", "", ">    1 Game 1", "     2 Game 2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.games);
        CartContents contents;
        for (int i = 0; i < c.games; ++i) {
            contents.games.push_back(
                {TestRom(std::uint32_t(i)), Named("Game " + std::to_string(i + 1))});
        }
        auto machine = Boot(contents);
        const Rows rows = machine->Text();
        EXPECT_EQ(Rows(rows.begin(), rows.begin() + 4), c.firstRows);
        // Fourteen list rows, then the highlighted game's full name.
        EXPECT_EQ(rows[15], c.games >= 14 ? "    14 Game 14" : "");
        EXPECT_EQ(rows[17], " Game 1");
        EXPECT_TRUE(machine->Errors().empty()) << machine->Errors().front();
    }
}

TEST(GbaMenu, EmptyCartridgeSaysSoWithItsRecordCount) {
    struct Case {
        int records;
        const char* line;
    };
    const Case cases[] = {{0, " It carries 0 configuration records"},
                          {1, " It carries 1 configuration record"},
                          {2, " It carries 2 configuration records"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.records);
        CartContents contents;
        for (int i = 0; i < c.records; ++i) {
            contents.otherRecords.push_back({0x1000u + std::uint32_t(i), Named("Unlisted")});
        }
        const Rows rows = Boot(contents)->Text();
        EXPECT_EQ(rows[0], kTitle);
        EXPECT_EQ(rows[2], " No games on this cartridge.");
        EXPECT_EQ(rows[4], c.line);
        EXPECT_EQ(rows[5], " and no ROM table.");
    }
}

TEST(GbaMenu, LongNamesAreShortenedInTheListAndShownWhole) {
    const std::string name47 = "The Quite Long Name Of A Game With 47 Letters!!";
    ASSERT_EQ(name47.size(), 47u);
    CartContents contents;
    contents.games = {{TestRom(7), Named(name47)}};
    auto machine = Boot(contents);
    Rows rows = machine->Text();
    EXPECT_EQ(rows[2], ">    1 " + name47.substr(0, 29) + "...");
    EXPECT_EQ(rows[17], " The Quite Long Name Of A Game With 47");
    EXPECT_EQ(rows[18], " Letters!!");

    machine->Tap(kKeyA);
    rows = machine->Text();
    EXPECT_EQ(rows[2], " The Quite Long Name Of A Game With 47");
    EXPECT_EQ(rows[3], " Letters!!");
}

TEST(GbaMenu, RomWithoutRecordIsListedByItsKey) {
    CartContents contents;
    contents.games = {{TestRom(1), Named("Configured")}, {TestRom(2), std::nullopt}};
    auto machine = Boot(contents);
    const std::string key = Key(RomKey(TestRom(2)));
    EXPECT_EQ(machine->Text()[3], "     2 " + key);

    machine->Tap(kKeyDown);
    machine->Tap(kKeyA);
    const Rows rows = machine->Text();
    EXPECT_EQ(rows[2], " " + key);
    EXPECT_EQ(Value(rows, "ROM key"), key);
    EXPECT_TRUE(Contains(rows, " No configuration record for this ROM."));
    EXPECT_FALSE(Contains(rows, "Select"));
}

TEST(GbaMenu, GamePageShowsSizeKeyAndHeaderKind) {
    const std::vector<std::uint8_t> suite =
        ReadFile(std::string(RIX_TESTDATA_DIR) + "/coleco/suitecv.rom");
    std::vector<std::uint8_t> titleScreen = TestRom(5, 100);
    titleScreen[0] = 0xAA;
    titleScreen[1] = 0x55;
    std::vector<std::uint8_t> other = TestRom(6, 3);
    other[0] = 0x55;
    other[1] = 0x55;
    const std::vector<std::uint8_t> tiny = {0x55};
    std::vector<std::uint8_t> megaCart(0x20000, 0xFF);
    megaCart[0x1C000] = 0x55; // the header is in the last bank
    megaCart[0x1C001] = 0xAA;
    std::vector<std::uint8_t> odd(0xC000, 0xFF);
    odd[0] = 0x55;
    odd[1] = 0xAA;

    struct Case {
        const std::vector<std::uint8_t>& rom;
        const char* header;
        const char* sizeNote;
    };
    const Case cases[] = {{suite, "55 AA: direct start", ""},
                          {titleScreen, "AA 55: title screen", ""},
                          {other, "not a ColecoVision cartridge", ""},
                          {tiny, "not a ColecoVision cartridge", ""},
                          {megaCart, "not a ColecoVision cartridge", ", MegaCart"},
                          {odd, "55 AA: direct start", ": 32 KiB used"}};
    CartContents contents;
    for (const Case& c : cases) {
        contents.games.push_back({c.rom, Named("Game")});
    }
    auto machine = Boot(contents);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        machine->Tap(kKeyA);
        const Rows rows = machine->Text();
        EXPECT_EQ(Value(rows, "Size"), std::to_string(c.rom.size()) + " bytes" + c.sizeNote);
        EXPECT_EQ(Value(rows, "BIOS"), "Rix's own");
        EXPECT_EQ(Value(rows, "ROM key"), Key(RomKey(c.rom)));
        EXPECT_EQ(Value(rows, "Header"), c.header);
        EXPECT_EQ(rows[18], " To leave a game hold L+R+Select+Start");
        EXPECT_EQ(rows[19], " A/Start: play  B: back to the list");
        machine->Tap(kKeyB);
        machine->Tap(kKeyDown);
    }
    EXPECT_EQ(suite.size(), 32768u);
}

TEST(GbaMenu, GamePageDecodesControlsWithTheShoulderSwap) {
    GameConfig custom = Named("Custom Game");
    custom.custom = true;
    custom.cycles = -5;
    custom.collision = 3;
    // A, B, Select, Start, Back Left, Back Right.
    custom.controls = {kFire1, kFire2, kKeypadStar, kKeypadHash, kKeypad1, kKeypad2};
    GameConfig preset = Named("Preset Game");
    preset.collision = 1;
    preset.controls = {kFire2, kFire1 | kFire2, 0, 0x0080, kKeypad1, kKeypad2};

    CartContents contents;
    contents.games = {{TestRom(1), custom}, {TestRom(2), preset}};
    auto machine = Boot(contents);

    machine->Tap(kKeyA);
    Rows rows = machine->Text();
    EXPECT_EQ(rows[0], " Game 1 of 2");
    EXPECT_EQ(Value(rows, "Cycles"), "-5 (runs at 228)");
    EXPECT_EQ(Value(rows, "Collision"), "3: Normal");
    EXPECT_EQ(Value(rows, "A"), "Fire 1");
    EXPECT_EQ(Value(rows, "B"), "Fire 2");
    EXPECT_EQ(Value(rows, "Select"), "Keypad *");
    EXPECT_EQ(Value(rows, "Start"), "Keypad #");
    EXPECT_EQ(Value(rows, "L"), "Keypad 2");
    EXPECT_EQ(Value(rows, "R"), "Keypad 1") << "custom Back Left lands on R";

    machine->Tap(kKeyB);
    machine->Tap(kKeyDown);
    machine->Tap(kKeyA);
    rows = machine->Text();
    EXPECT_EQ(rows[0], " Game 2 of 2");
    EXPECT_EQ(Value(rows, "Cycles"), "default");
    EXPECT_EQ(Value(rows, "Collision"), "Precise");
    EXPECT_EQ(Value(rows, "A"), "Fire 2");
    EXPECT_EQ(Value(rows, "B"), "Fire 1 + Fire 2");
    EXPECT_EQ(Value(rows, "Select"), "none");
    EXPECT_EQ(Value(rows, "Start"), "unknown (0x0080)");
    EXPECT_EQ(Value(rows, "L"), "Keypad 1") << "preset Back Left stays on L";
    EXPECT_EQ(Value(rows, "R"), "Keypad 2");
}

TEST(GbaMenu, NavigatesAThousandGames) {
    CartContents contents;
    for (int i = 0; i < 1000; ++i) {
        contents.games.push_back(
            {TestRom(std::uint32_t(i)), Named("Game " + std::to_string(i + 1))});
    }
    auto machine = Boot(contents);
    auto title = [&] { return machine->Text()[0]; };
    auto selectedRow = [&] {
        const Rows rows = machine->Text();
        for (std::size_t r = 2; r < 16; ++r) {
            if (!rows[r].empty() && rows[r][0] == '>') {
                return rows[r];
            }
        }
        return std::string("<none>");
    };

    machine->Tap(kKeyUp);
    EXPECT_EQ(selectedRow(), ">    1 Game 1") << "Up at the top stays";
    machine->Tap(kKeyDown);
    EXPECT_EQ(selectedRow(), ">    2 Game 2");
    EXPECT_EQ(machine->Text()[2], "     1 Game 1");

    struct Step {
        std::uint16_t key;
        const char* selected;
        const char* firstListRow;
    };
    const Step steps[] = {
        {kKeyR, ">   16 Game 16", "    15 Game 15"},
        {kKeyRight, ">   30 Game 30", "    29 Game 29"},
        {kKeyL, ">   16 Game 16", "    15 Game 15"},
        {kKeyLeft, ">    2 Game 2", "     1 Game 1"},
        {kKeyLeft, ">    1 Game 1", ">    1 Game 1"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.selected);
        machine->Tap(step.key);
        EXPECT_EQ(selectedRow(), step.selected);
        EXPECT_EQ(machine->Text()[2], step.firstListRow);
    }

    // Holding a direction repeats it: 20 frames before the first repeat, then every 4.
    machine->SetKeys(kKeyDown);
    machine->RunFrames(1 + 20 + 4 * 2 + 2);
    machine->SetKeys(0);
    machine->RunFrames(4);
    EXPECT_EQ(selectedRow(), ">    5 Game 5");

    for (int i = 0; i < 80; ++i) {
        machine->Tap(kKeyR, 1);
    }
    machine->RunFrames(4);
    EXPECT_EQ(title(), " Rix - ColecoVision games   1000 / 1000");
    EXPECT_EQ(machine->Text()[15], "> 1000 Game 1000");
    machine->Tap(kKeyDown);
    EXPECT_EQ(selectedRow(), "> 1000 Game 1000") << "Down at the end stays";

    machine->Tap(kKeyA);
    EXPECT_EQ(title(), " Game 1000 of 1000");
    machine->Tap(kKeyDown);
    EXPECT_EQ(title(), " Game 1000 of 1000") << "the page ignores the list keys";
    machine->Tap(kKeyB);
    EXPECT_EQ(title(), " Rix - ColecoVision games   1000 / 1000");
    EXPECT_EQ(selectedRow(), "> 1000 Game 1000");
}

TEST(GbaMenu, NamesFillInWhileLargeRomsAreRead) {
    // 3 MiB of ROMs: far more than one frame of CRC work, so the menu shows before the names.
    CartContents contents;
    for (int i = 0; i < 3; ++i) {
        contents.games.push_back(
            {TestRom(std::uint32_t(i), 1 << 20), Named("Big " + std::to_string(i))});
    }
    GbaMachine machine(MakeCartridge(RixImage(), contents));
    ASSERT_GE(machine.RunUntil([&] { return !machine.Text()[0].empty(); }, kMenuDeadline), 0);
    Rows rows = machine.Text();
    EXPECT_EQ(rows[4], "     3 " + std::string(kReading));

    // The page of an unread game asks for its CRC first.
    machine.Tap(kKeyDown);
    machine.Tap(kKeyDown);
    machine.Tap(kKeyA);
    EXPECT_EQ(Value(machine.Text(), "ROM key"), kReading);
    ASSERT_GE(machine.RunUntil([&] { return Value(machine.Text(), "ROM key") != kReading; }, 600),
              0);
    EXPECT_EQ(Value(machine.Text(), "ROM key"), Key(RomKey(contents.games[2].rom)));
    EXPECT_EQ(machine.Text()[2], " Big 2");
    machine.Tap(kKeyB);
    EXPECT_EQ(machine.Text()[4], ">    3 Big 2");
    EXPECT_TRUE(Contains(machine.Text(), kReading)) << "game 3 was read before games 1 and 2";
}

// 8 KiB of our own made to carry the console's BIOS CRC: it stands in for the real one.
std::vector<std::uint8_t> StandInBios() {
    std::vector<std::uint8_t> bios = TestRom(77, 0x2000);
    ForceCrc32(bios.data(), bios.size(), bios.size() - 4, 0x3AA93EF3u);
    return bios;
}

TEST(GbaMenu, TheConsolesBiosIsNoGame) {
    CartContents contents;
    contents.games = {{TestRom(1), Named("First")},
                      {StandInBios(), Named("The BIOS")},
                      {TestRom(2), Named("Second")}};
    auto machine = Boot(contents);
    ASSERT_GE(machine->RunUntil([&] { return machine->Text()[3] == "     2 Second"; }, 120), 0);
    const Rows rows = machine->Text();
    EXPECT_EQ(rows[0], " Rix - games - BIOS found         1 / 2");
    EXPECT_FALSE(Contains(rows, "The BIOS"));
    machine->Tap(kKeyDown);
    machine->Tap(kKeyA);
    EXPECT_EQ(machine->Text()[2], " Second");
    EXPECT_EQ(Value(machine->Text(), "BIOS"), "the console's");

    CartContents onlyBios;
    onlyBios.games = {{StandInBios(), Named("The BIOS")}};
    machine = Boot(onlyBios);
    ASSERT_GE(
        machine->RunUntil(
            [&] { return Contains(machine->Text(), " No games on this cartridge: its only"); },
            120),
        0);
    EXPECT_EQ(machine->Text()[0], " Rix - games - BIOS found");
}

} // namespace
} // namespace rix::test
