// Hostile tables: 200 cartridges from a fixed seed, each with a table that lies. Every one must
// reach the menu, the empty screen or the error screen within 120 frames, survive a few key
// presses, and keep the CPU in the BIOS, IWRAM and the image's own code throughout.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Cartridge.h"
#include "GbaMachine.h"
#include "format/CartTable.h"

namespace rix::test {
namespace {

namespace fmt = rix::format;

constexpr int kCases = 200;
constexpr int kDeadline = 120;
constexpr std::uint32_t kSeed = 20240611;

enum Kind {
    kRandomBytes,
    kTruncated,
    kOffsetAnywhere,
    kSizeOverflow,
    kNoTerminator,
    kRomTableOffset,
    kBitFlips,
    kHugeRecordCount,
    kKinds
};
constexpr const char* kKindNames[kKinds] = {"random bytes",  "truncated",        "offset anywhere",
                                            "size overflow", "no terminator",    "ROM table offset",
                                            "bit flips",     "huge record count"};

class Hostile {
public:
    explicit Hostile(std::uint32_t seed) : random_(seed) {}

    std::uint32_t Below(std::uint32_t n) { return n == 0 ? 0 : std::uint32_t(random_() % n); }
    std::uint32_t Word() { return std::uint32_t(random_()); }

    // A sound cartridge of 1 to 5 small games to start from.
    std::vector<std::uint8_t> Sound() {
        CartContents contents;
        const std::uint32_t games = 1 + Below(5);
        for (std::uint32_t i = 0; i < games; ++i) {
            GameConfig config;
            config.name = "Game " + std::to_string(i);
            config.controls = {std::uint16_t(Word()), 0, 0, 0, 0, 0};
            contents.games.push_back({TestRom(Word(), 16 + Below(300)), config});
        }
        return MakeCartridge(RixImage(), contents);
    }

    std::vector<std::uint8_t> Make(Kind kind) {
        const std::size_t h = RixImage().size(); // the header's offset
        std::vector<std::uint8_t> cart = Sound();
        auto u32 = [&](std::size_t at) { return fmt::ReadU32(cart.data() + at); };
        auto put = [&](std::size_t at, std::uint32_t v) { fmt::WriteU32(cart.data() + at, v); };
        const std::uint32_t romTable = u32(h + fmt::kHeaderRomTableOffset);
        std::uint32_t roms = 0;
        while (u32(h + romTable + 8 * roms) != 0 || u32(h + romTable + 8 * roms + 4) != 0) {
            ++roms;
        }
        const std::size_t entry = h + romTable + 8 * Below(roms);
        const std::uint32_t tableEnd = romTable + 8 * (roms + 1);

        switch (kind) {
        case kRandomBytes: {
            cart.resize(h + Below(4096));
            for (std::size_t i = h; i < cart.size(); ++i) {
                cart[i] = std::uint8_t(Word());
            }
            if (Below(2) == 0 && cart.size() >= h + 8) {
                put(h, fmt::kHeaderSize); // get past the first check now and then
            }
            break;
        }
        case kTruncated:
            cart.resize(h + Below(std::uint32_t(cart.size() - h)));
            break;
        case kOffsetAnywhere: {
            const std::uint32_t anywhere[] = {0,
                                              1,
                                              fmt::kHeaderSize,
                                              romTable,
                                              tableEnd - 1,
                                              fmt::kCartridgeSpace - std::uint32_t(h),
                                              fmt::kCartridgeSpace - std::uint32_t(h) - 1,
                                              0xFFFFFFFFu,
                                              0x80000000u,
                                              Word(),
                                              Below(fmt::kCartridgeSpace)};
            put(entry, anywhere[Below(std::size(anywhere))]);
            break;
        }
        case kSizeOverflow: {
            const std::uint32_t offset = u32(entry);
            const std::uint32_t sizes[] = {0xFFFFFFFFu,
                                           0x80000000u,
                                           fmt::kCartridgeSpace,
                                           fmt::kCartridgeSpace - std::uint32_t(h) - offset + 1,
                                           fmt::kCartridgeSpace - std::uint32_t(h) - offset,
                                           0u - offset,
                                           0u - offset + 8,
                                           Word()};
            put(entry + 4, sizes[Below(std::size(sizes))]);
            break;
        }
        case kNoTerminator: {
            const std::size_t terminator = h + tableEnd - 8;
            switch (Below(3)) {
            case 0: // the ROM bytes follow the entries directly
                cart.erase(cart.begin() + std::ptrdiff_t(terminator),
                           cart.begin() + std::ptrdiff_t(terminator) + 8);
                break;
            case 1: // the file ends with the entries
                cart.resize(terminator);
                break;
            default: // a nonzero entry where the terminator belongs
                put(terminator, Word() | 1u);
                put(terminator + 4, Word());
                break;
            }
            break;
        }
        case kRomTableOffset: {
            const std::uint32_t offsets[] = {0,
                                             fmt::kHeaderSize - 1,
                                             romTable + 1,
                                             romTable + fmt::kRecordSize,
                                             romTable - fmt::kRecordSize,
                                             fmt::kHeaderSize + fmt::kRecordSize * Below(50000),
                                             0xFFFFFFF0u,
                                             Word()};
            put(h + fmt::kHeaderRomTableOffset, offsets[Below(std::size(offsets))]);
            break;
        }
        case kBitFlips:
            for (std::uint32_t flips = 1 + Below(8); flips > 0; --flips) {
                cart[h + Below(std::uint32_t(cart.size() - h))] ^= std::uint8_t(1u << Below(8));
            }
            break;
        case kHugeRecordCount: {
            const std::uint32_t counts[] = {16384, 16385, 100000, 400000, Below(420000)};
            const std::uint32_t count = counts[Below(std::size(counts))];
            put(h + fmt::kHeaderRomTableOffset, fmt::kHeaderSize + fmt::kRecordSize * count);
            break;
        }
        case kKinds:
            break;
        }
        return cart;
    }

private:
    std::mt19937 random_;
};

// Each check the image makes, failed on purpose, and the words that name it on the screen.
TEST(GbaTableChecks, EachFailedCheckIsNamedOnTheErrorScreen) {
    const std::size_t h = RixImage().size();
    CartContents contents;
    GameConfig config;
    config.name = "Game";
    contents.games = {{TestRom(1), config}, {TestRom(2), config}};
    const std::vector<std::uint8_t> sound = MakeCartridge(RixImage(), contents);
    const std::uint32_t romTable = fmt::kHeaderSize + 2 * fmt::kRecordSize;
    const std::uint32_t tableEnd = romTable + 3 * fmt::kRomEntrySize;
    const std::uint32_t secondRom = tableEnd + std::uint32_t(contents.games[0].rom.size());
    const std::uint32_t room = fmt::kCartridgeSpace - std::uint32_t(h);

    struct Case {
        const char* check;
        std::size_t at; // where the lie goes, from the header
        std::uint32_t value;
        std::vector<std::string> lines; // rows 5 to 7
    };
    const Case cases[] = {
        {"records offset", 0, 17, {" Header: the records offset is", " 17, not 16."}},
        {"ROM table form", 4, 97, {" Header: the ROM table offset 97", " is not 16 + 80 x n."}},
        {"ROM table below the header",
         4,
         8,
         {" Header: the ROM table offset 8", " is not 16 + 80 x n."}},
        {"ROM table outside",
         4,
         fmt::kHeaderSize + fmt::kRecordSize * ((room - fmt::kHeaderSize) / fmt::kRecordSize + 1),
         {" Header: the ROM table offset " +
              std::to_string(fmt::kHeaderSize +
                             fmt::kRecordSize * ((room - fmt::kHeaderSize) / fmt::kRecordSize + 1)),
          " lies outside the 32 MiB cartridge."}},
        {"too many records",
         4,
         fmt::kHeaderSize + fmt::kRecordSize * 16385,
         {" 16385 configuration records:", " more than the 16384 this program reads."}},
        {"ROM past the end",
         romTable + 8 + 4,
         room,
         {" ROM 2: offset " + std::to_string(secondRom) + ",",
          " size " + std::to_string(room) + ", runs past the end", " of the 32 MiB cartridge."}},
        {"size wraps around",
         romTable + 4,
         0u - tableEnd,
         {" ROM 1: offset " + std::to_string(tableEnd) + ",",
          " size " + std::to_string(0u - tableEnd) + ", runs past the end",
          " of the 32 MiB cartridge."}},
        {"ROM inside the table",
         romTable + 8,
         fmt::kHeaderSize,
         {" ROM 2: offset 16 lies",
          " inside the table, which ends at " + std::to_string(tableEnd) + "."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.check);
        std::vector<std::uint8_t> cartridge = sound;
        fmt::WriteU32(cartridge.data() + h + c.at, c.value);
        GbaMachine machine(cartridge);
        machine.RunFrames(10);
        const std::vector<std::string> rows = machine.Text();
        EXPECT_EQ(rows[0], " Rix - damaged cartridge table");
        EXPECT_EQ(std::vector<std::string>(rows.begin() + 5, rows.begin() + 5 + c.lines.size()),
                  c.lines);
    }

    GbaMachine bare(RixImage());
    bare.RunFrames(10);
    EXPECT_EQ(bare.Text()[5], " Nothing follows the program: this is");
}

// The largest tables the image takes, and one game more, all answered within 20 frames.
TEST(GbaTableChecks, LargestTablesAreReadInTime) {
    CartContents full;
    GameConfig config;
    config.name = "Game";
    for (std::uint32_t i = 0; i < 4096; ++i) {
        full.games.push_back({TestRom(i, 2 + i % 7), config});
    }
    for (std::uint32_t i = 0; i < 16384 - 4096; ++i) {
        full.otherRecords.push_back({i, config});
    }
    CartContents tooMany = full;
    tooMany.games.push_back({TestRom(5000), config});
    tooMany.otherRecords.pop_back();

    struct Case {
        const CartContents& contents;
        const char* title;
        int row;
        const char* line;
    };
    const Case cases[] = {
        {full, " Rix - ColecoVision games      1 / 4096", 2, ">    1 Game"},
        {tooMany, " Rix - damaged cartridge table", 5, " No terminator within 4096"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        GbaMachine machine(MakeCartridge(RixImage(), c.contents));
        ASSERT_GE(machine.RunUntil([&] { return !machine.Text()[0].empty(); }, 20), 0);
        EXPECT_EQ(machine.Text()[0], c.title);
        EXPECT_GE(machine.RunUntil([&] { return machine.Text()[c.row] == c.line; }, 60), 0)
            << machine.Text()[c.row];
    }
}

bool PcAllowed(std::uint32_t pc) {
    const std::uint32_t imageEnd = 0x08000000u + std::uint32_t(RixImage().size());
    return pc < 0x00004000u ||                        // BIOS
           (pc >= 0x03000000u && pc < 0x03008000u) || // IWRAM
           (pc >= 0x08000000u && pc < imageEnd);      // the image's code
}

bool ShowsAScreen(const std::vector<std::string>& rows) {
    return rows[0].rfind(" Rix - ", 0) == 0 || rows[0].rfind(" Game ", 0) == 0;
}

TEST(GbaHostileTables, EveryTableEndsInAScreenWithoutAStrayCpu) {
    Hostile hostile(kSeed);
    int screens[3] = {}; // list, empty, error
    for (int i = 0; i < kCases; ++i) {
        const Kind kind = Kind(i % kKinds);
        SCOPED_TRACE("case " + std::to_string(i) + " (" + kKindNames[kind] + ")");
        GbaMachine machine(hostile.Make(kind));
        std::uint32_t strayPc = 0;
        auto watch = [&] {
            if (!PcAllowed(machine.Pc()) && strayPc == 0) {
                strayPc = machine.Pc();
            }
        };
        const int frames = machine.RunUntil(
            [&] {
                watch();
                return ShowsAScreen(machine.Text());
            },
            kDeadline);
        ASSERT_GE(frames, 0) << "no screen within " << kDeadline << " frames";
        const std::string title = machine.Text()[0];
        screens[title.find("games") == std::string::npos       ? 2
                : machine.Text()[2].rfind(" No games", 0) == 0 ? 1
                                                               : 0]++;

        for (std::uint16_t key : {kKeyDown, kKeyA, kKeyB, kKeyR, kKeyA}) {
            machine.SetKeys(key);
            machine.RunUntil(
                [&] {
                    watch();
                    return false;
                },
                2);
            machine.SetKeys(0);
            machine.RunUntil(
                [&] {
                    watch();
                    return false;
                },
                3);
        }
        EXPECT_TRUE(ShowsAScreen(machine.Text())) << machine.Text()[0];
        EXPECT_EQ(strayPc, 0u) << std::hex << "CPU at 0x" << strayPc;
        EXPECT_TRUE(machine.Errors().empty()) << machine.Errors().front();
        if (HasFailure()) {
            break;
        }
    }
    // The seed must reach every kind of screen, or the cases test less than they seem to.
    EXPECT_GT(screens[0], 0);
    EXPECT_GT(screens[1], 0);
    EXPECT_GT(screens[2], 0);
}

} // namespace
} // namespace rix::test
