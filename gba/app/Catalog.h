// The cartridge's games: one per ROM entry, in table order, each matched to its configuration
// record by the CRC-32 of its bytes. The CRCs are computed a slice at a time between frames, so
// the menu shows at once and fills in names as their CRCs become known.
//
// A ROM that is the console's original BIOS (rix::emu::IsOriginalBios) is the BIOS of every
// game on the cartridge, not a game: once its CRC is known it leaves the game list, and the
// games behind it move up one place. ROMs of the BIOS's size are worked on first, so that this
// happens within the first frames.
//
// One catalog at a time: the per-ROM state lives in fixed arrays shared by all instances.
#pragma once

#include <cstdint>

#include "Table.h"

namespace rix::gba {

inline constexpr std::int32_t kNoRecord = -1;

class Catalog {
public:
    // Takes the table ReadTable checked; `cart` addresses the cartridge space.
    void Reset(const std::uint8_t* cart, const TableInfo& table);

    // Games, numbered 0..Count()-1: the ROM entries less those known to be the BIOS.
    std::uint32_t Count() const { return count_; }
    RomEntry Rom(std::uint32_t game) const;
    std::uint32_t RomIndex(std::uint32_t game) const; // the game's entry in the ROM table
    bool Known(std::uint32_t game) const;
    std::uint32_t Crc(std::uint32_t game) const;   // valid once Known
    std::int32_t Record(std::uint32_t game) const; // record index or kNoRecord; once Known

    // ROM entries whose CRC is still unknown (a BIOS among them until it is found).
    std::uint32_t RemainingGames() const { return remaining_; }

    // The BIOS: the first ROM entry found to be the original BIOS. Bios() is valid once
    // HasBios(); when several entries are, all leave the list and the first is the BIOS.
    bool HasBios() const { return biosRom_ != kNoBios; }
    RomEntry Bios() const { return bios_; }
    // True once the answer of HasBios() is final: a BIOS is found, or every ROM entry of the
    // BIOS's size is known.
    bool BiosSettled() const;

    // Feeds up to `budget` bytes into one ROM's CRC: the next unknown ROM of the BIOS's size
    // while no BIOS is found, else game `preferred` when it is still unknown, else the next
    // unknown ROM in table order. Returns the game it finished, or -1 (also when the ROM it
    // finished is the BIOS).
    std::int32_t Work(std::uint32_t preferred, std::uint32_t budget);

private:
    static constexpr std::uint32_t kNoBios = 0xFFFFFFFFu;

    std::int32_t Finish(std::uint32_t rom);
    std::uint32_t GameOfRom(std::uint32_t rom) const;

    const std::uint8_t* cart_ = nullptr;
    TableInfo table_;
    std::uint32_t roms_ = 0;  // ROM entries
    std::uint32_t count_ = 0; // games
    std::uint32_t records_ = 0;
    std::uint32_t remaining_ = 0;
    std::uint32_t cursor_ = 0;     // no unknown ROM before it
    std::uint32_t biosCursor_ = 0; // no unknown ROM of the BIOS's size before it
    std::uint32_t biosRom_ = kNoBios;
    RomEntry bios_ = {0, 0};
};

} // namespace rix::gba
