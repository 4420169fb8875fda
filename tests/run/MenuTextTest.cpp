// The GBA program's menu built for the host: the list in table order by the records' names, and
// a game's page with the name and the controls, drawn into the program's own text screen.
#include "app/Catalog.h"
#include "app/Hardware.h"
#include "app/Menu.h"
#include "app/Table.h"
#include "app/TextScreen.h"

#include "RunFixtures.h"

#include "format/CartTable.h"
#include "format/Crc32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace rix {
namespace {

namespace fmt = rix::format;

std::string Row(const gba::TextScreen& screen, int row) {
    std::string text(screen.rows[row].text, gba::kColumns);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

TEST(MenuText, TheListAndAGamesPageFromTheRecords) {
    constexpr std::uint32_t kImage = 256;
    const std::vector<std::vector<std::uint8_t>> roms = {std::vector<std::uint8_t>(300, 1),
                                                         std::vector<std::uint8_t>(500, 2)};
    std::vector<std::uint32_t> crcs;
    for (const auto& rom : roms) {
        crcs.push_back(fmt::Crc32Finish(
            fmt::Crc32Update(fmt::kCrc32Preset, rom.data(), std::uint32_t(rom.size()))));
    }
    test::Cartridge cart = test::MakeCartridge(std::vector<std::uint8_t>(kImage, 0xA5), roms, crcs);
    // The records' names, space-filled as the builder writes them.
    const char* names[] = {"Second Game", "First Game"};
    for (int i = 0; i < 2; ++i) {
        std::uint8_t* name =
            &cart.bytes[kImage + fmt::kHeaderSize + i * fmt::kRecordSize + fmt::kRecordName];
        std::memset(name, ' ', fmt::kRecordNameLength);
        std::memcpy(name, names[i], std::strlen(names[i]));
    }

    const gba::TableInfo table = gba::ReadTable(cart.bytes.data(), kImage);
    ASSERT_EQ(table.kind, gba::TableKind::kGames);
    gba::Catalog catalog;
    catalog.Reset(cart.bytes.data(), table);
    for (int guard = 0; catalog.RemainingGames() != 0 && guard < 1000; ++guard) {
        catalog.Work(catalog.Count(), 1 << 16);
    }
    gba::Menu menu;
    menu.Start(cart.bytes.data(), table, catalog);
    gba::TextScreen screen;
    screen.Clear();
    menu.Draw(screen);
    // Table order, each by its record's name.
    EXPECT_NE(Row(screen, gba::kListFirstRow).find("Second Game"), std::string::npos)
        << Row(screen, gba::kListFirstRow);
    EXPECT_NE(Row(screen, gba::kListFirstRow + 1).find("First Game"), std::string::npos)
        << Row(screen, gba::kListFirstRow + 1);

    // A opens the selected game's page: its name, and the default controls spelled out.
    menu.Press(gba::hw::kKeyA);
    screen.Clear();
    menu.Draw(screen);
    std::string page;
    for (int row = 0; row < gba::kRows; ++row) {
        page += Row(screen, row) + "\n";
    }
    EXPECT_NE(page.find("Second Game"), std::string::npos) << page;
    EXPECT_NE(page.find("Fire"), std::string::npos) << page;
}

} // namespace
} // namespace rix
