// Playing one game: the machine runs the cartridge's ROM with its record's settings, the
// GBA's buttons go to the game, its picture goes through GameVideo, until the player holds
// the way back to the menu. GBA only.
#pragma once

#include <cstdint>

namespace rix::gba {

// The keys that belong to the player rather than to the game. Held together for kLeaveFrames
// vertical blanks, L + R + Select + Start go back to the menu; L + R + Select pressed together
// and let go without Start switch to the next view. The game still sees them all: they are
// combinations no game needs.
inline constexpr std::uint16_t kLeaveKeys = (1u << 9) | (1u << 8) | (1u << 2) | (1u << 3);
inline constexpr std::uint16_t kViewKeys = (1u << 9) | (1u << 8) | (1u << 2);
inline constexpr std::uint32_t kLeaveFrames = 60;

struct GameStart {
    std::uint32_t number;    // 1-based, as the menu shows it
    const std::uint8_t* rom; // in the cartridge space
    std::uint32_t romSize;
    const std::uint8_t* bios;   // the console's BIOS on the cartridge, or null: our own
    const std::uint8_t* record; // the game's configuration record
};

// Runs the game until the player leaves it; the machine is reset and nothing of the game is
// kept. The display is left blank for the menu to take back.
void PlayGame(const GameStart& start);

} // namespace rix::gba
