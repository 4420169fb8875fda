// The GBA program's catalog on the host: games in table order matched to their records, and
// the BIOS found early and taken out of the list.
#include "app/Catalog.h"

#include "RunFixtures.h"
#include "support/ForceCrc32.h"

#include "core/Machine.h"
#include "format/CartTable.h"
#include "format/Crc32.h"

#include <gtest/gtest.h>

#include <random>

namespace rix {
namespace {

namespace fmt = rix::format;
using gba::Catalog;
using gba::kNoRecord;

std::uint32_t Crc(const std::vector<std::uint8_t>& bytes) {
    return fmt::Crc32Finish(
        fmt::Crc32Update(fmt::kCrc32Preset, bytes.data(), std::uint32_t(bytes.size())));
}

std::vector<std::uint8_t> Filled(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(size);
    std::mt19937 random(seed);
    for (std::uint8_t& b : bytes) {
        b = std::uint8_t(random());
    }
    return bytes;
}

// A stand-in image with the table behind it.
struct TestCart {
    static constexpr std::uint32_t kImage = 256;
    test::Cartridge cart;

    TestCart(const std::vector<std::vector<std::uint8_t>>& roms,
             const std::vector<std::uint32_t>& recordCrcs)
        : cart(test::MakeCartridge(std::vector<std::uint8_t>(kImage, 0xA5), roms, recordCrcs)) {}

    std::uint32_t RomOffset(std::size_t rom) const { return cart.romOffsets[rom]; }

    Catalog Start() const {
        const gba::TableInfo table = gba::ReadTable(cart.bytes.data(), kImage);
        EXPECT_EQ(table.kind, gba::TableKind::kGames);
        Catalog catalog;
        catalog.Reset(cart.bytes.data(), table);
        return catalog;
    }
};

// Works until every CRC is known, as the GBA's frame loop does; returns what Work returned
// for each ROM it finished.
std::vector<std::int32_t> WorkAll(Catalog& catalog, std::uint32_t preferred, std::uint32_t slice) {
    std::vector<std::int32_t> finished;
    const std::uint32_t before = catalog.RemainingGames();
    for (int guard = 0; catalog.RemainingGames() != 0 && guard < 100000; ++guard) {
        const std::uint32_t remaining = catalog.RemainingGames();
        const std::int32_t game = catalog.Work(preferred, slice);
        if (catalog.RemainingGames() != remaining) {
            finished.push_back(game);
        }
    }
    EXPECT_EQ(finished.size(), before);
    return finished;
}

TEST(ForceCrc32, ReachesTheTargetChangingOnlyTheFourBytes) {
    for (const auto& [size, position] : std::vector<std::pair<std::size_t, std::size_t>>{
             {4, 0}, {5, 1}, {100, 0}, {100, 37}, {8192, 8188}, {8192, 4096}}) {
        for (std::uint32_t target : {0u, 0xFFFFFFFFu, emu::kOriginalBiosCrc, 0x12345678u}) {
            std::vector<std::uint8_t> bytes = Filled(size, std::uint32_t(size + position));
            const std::vector<std::uint8_t> original = bytes;
            test::ForceCrc32(bytes.data(), size, position, target);
            EXPECT_EQ(Crc(bytes), target) << size << " at " << position;
            for (std::size_t i = 0; i < size; ++i) {
                if (i < position || i >= position + 4) {
                    ASSERT_EQ(bytes[i], original[i]) << i;
                }
            }
        }
    }
    EXPECT_TRUE(emu::IsOriginalBios(Crc(test::RedBios()), emu::kBiosSize));
}

TEST(Catalog, GamesInTableOrderMatchedToTheirRecords) {
    const std::vector<std::vector<std::uint8_t>> roms = {
        Filled(100, 1), Filled(emu::kBiosSize, 2), Filled(3000, 3), {}};
    const TestCart cart(roms, {0xDEADBEEF, Crc(roms[2]), Crc(roms[0]), Crc(roms[2])});
    Catalog catalog = cart.Start();
    EXPECT_EQ(catalog.Count(), 4u);
    EXPECT_FALSE(catalog.Known(0));
    EXPECT_FALSE(catalog.BiosSettled());

    WorkAll(catalog, catalog.Count(), 64);
    EXPECT_FALSE(catalog.HasBios());
    EXPECT_TRUE(catalog.BiosSettled());
    ASSERT_EQ(catalog.Count(), 4u);
    for (std::uint32_t g = 0; g < 4; ++g) {
        EXPECT_TRUE(catalog.Known(g));
        EXPECT_EQ(catalog.Crc(g), Crc(roms[g])) << g;
        EXPECT_EQ(catalog.Rom(g).offset, cart.RomOffset(g));
        EXPECT_EQ(catalog.Rom(g).size, roms[g].size());
        EXPECT_EQ(catalog.RomIndex(g), g);
    }
    EXPECT_EQ(catalog.Record(0), 2);
    EXPECT_EQ(catalog.Record(1), kNoRecord);
    EXPECT_EQ(catalog.Record(2), 1); // the first of two records with its CRC
    EXPECT_EQ(catalog.Record(3), kNoRecord);
}

TEST(Catalog, AnswerIsFinalWhenTheLastRomOfTheBiosSizeIsAGame) {
    // The 8 KiB ROM is the last one read: then no ROM is left that could be the BIOS.
    const TestCart cart({Filled(emu::kBiosSize, 2)}, {});
    Catalog catalog = cart.Start();
    WorkAll(catalog, 0, 1024);
    EXPECT_FALSE(catalog.HasBios());
    EXPECT_TRUE(catalog.BiosSettled());
}

TEST(Catalog, TheBiosIsFoundFirstAndLeavesTheList) {
    const std::vector<std::uint8_t> bios = test::RedBios();
    // A large game the menu asks for, a game of the BIOS's size, the BIOS, a small game.
    const std::vector<std::vector<std::uint8_t>> roms = {
        Filled(16384, 1), Filled(emu::kBiosSize, 2), bios, Filled(20, 3)};
    const TestCart cart(roms, {Crc(roms[3])});
    Catalog catalog = cart.Start();
    EXPECT_EQ(catalog.Count(), 4u);

    // The menu wants game 0 throughout; ROMs of 8 KiB go first all the same.
    std::int32_t finished = -1;
    while (!catalog.HasBios()) {
        const std::int32_t game = catalog.Work(0, 1024);
        if (game >= 0) {
            EXPECT_EQ(finished, -1) << "only the other 8 KiB ROM comes before the BIOS";
            finished = game;
        }
    }
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(catalog.BiosSettled());
    EXPECT_FALSE(catalog.Known(0));
    EXPECT_EQ(catalog.Bios().offset, cart.RomOffset(2));
    EXPECT_EQ(catalog.Bios().size, emu::kBiosSize);

    // Its row is gone: the small game moved up to number 2.
    ASSERT_EQ(catalog.Count(), 3u);
    EXPECT_EQ(catalog.RomIndex(2), 3u);
    EXPECT_EQ(catalog.Rom(2).offset, cart.RomOffset(3));
    EXPECT_TRUE(catalog.Known(1));
    EXPECT_EQ(catalog.Crc(1), Crc(roms[1]));

    // Then the preferred game, then the rest in order, numbered without the BIOS.
    EXPECT_EQ(WorkAll(catalog, 0, 1024), (std::vector<std::int32_t>{0, 2}));
    EXPECT_EQ(catalog.Crc(0), Crc(roms[0]));
    EXPECT_EQ(catalog.Crc(2), Crc(roms[3]));
    EXPECT_EQ(catalog.Record(2), 0);
    EXPECT_EQ(catalog.Record(0), kNoRecord);
}

TEST(Catalog, EveryCopyOfTheBiosLeavesTheFirstIsTheBios) {
    const std::vector<std::uint8_t> bios = test::RedBios();
    {
        const TestCart cart({Filled(50, 1), bios, Filled(60, 2), bios}, {});
        Catalog catalog = cart.Start();
        EXPECT_EQ(WorkAll(catalog, 0, 4096), (std::vector<std::int32_t>{-1, 0, 1, -1}));
        EXPECT_EQ(catalog.Bios().offset, cart.RomOffset(1));
        ASSERT_EQ(catalog.Count(), 2u);
        EXPECT_EQ(catalog.RomIndex(0), 0u);
        EXPECT_EQ(catalog.RomIndex(1), 2u);
    }
    {
        // Only the BIOS: no games at all.
        const TestCart cart({bios}, {Crc(bios)});
        Catalog catalog = cart.Start();
        WorkAll(catalog, 0, 100000);
        EXPECT_TRUE(catalog.HasBios());
        EXPECT_EQ(catalog.Count(), 0u);
        EXPECT_FALSE(catalog.Known(0));
    }
    {
        // Reset forgets the previous cartridge's BIOS.
        const TestCart cart({Filled(emu::kBiosSize, 9)}, {});
        Catalog catalog = cart.Start();
        EXPECT_FALSE(catalog.HasBios());
        WorkAll(catalog, 0, 100000);
        EXPECT_FALSE(catalog.HasBios());
        EXPECT_EQ(catalog.Count(), 1u);
    }
}

} // namespace
} // namespace rix
