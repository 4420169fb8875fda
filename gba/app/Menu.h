// The program's screens: the game list, a game's page, the empty-cartridge screen and the
// damaged-table screen. Portable: keys come in as KEYINPUT bits, output goes to a TextScreen.
#pragma once

#include <cstdint>

#include "Catalog.h"
#include "Game.h"
#include "Table.h"
#include "TextScreen.h"

namespace rix::gba {

// Screen rows of the list.
inline constexpr int kListFirstRow = 2;
inline constexpr int kListRows = 14;

class Menu {
public:
    void Start(const std::uint8_t* cart, const TableInfo& table, const Catalog& catalog);

    // `keys`: KEYINPUT bits (1 = act) pressed or auto-repeated this frame.
    void Press(std::uint16_t keys);
    void Draw(TextScreen& screen) const;

    // The game whose CRC the screen waits for, or Count() when none is shown unknown.
    std::uint32_t WantedGame() const;

    // True once, after the player asked to start a game that can start; fills `start`. The
    // menu shows the list again when the game is left.
    bool TakeStart(GameStart& start);

private:
    enum class View : std::uint8_t { kList, kGame, kEmpty, kBroken };

    void Move(std::int32_t delta);
    void DrawList(TextScreen& screen) const;
    void DrawGame(TextScreen& screen) const;
    void DrawEmpty(TextScreen& screen) const;
    void DrawBroken(TextScreen& screen) const;
    // The game's display name (record name without its padding, else the ROM key); returns
    // its length in bytes, 0 while the CRC is unknown.
    int GameName(std::uint32_t game, std::uint8_t* name) const;
    // Why game `game` cannot start now, or null when it can.
    const char* StartBlocker(std::uint32_t game) const;
    void RequestStart(std::uint32_t game);

    const std::uint8_t* cart_ = nullptr;
    const Catalog* catalog_ = nullptr;
    TableInfo table_;
    View view_ = View::kBroken;
    std::uint32_t selected_ = 0;
    std::uint32_t top_ = 0;
    bool startRequested_ = false;
};

} // namespace rix::gba
