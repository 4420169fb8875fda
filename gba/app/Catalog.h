// The cartridge's games: one per ROM entry, in table order, each matched to its configuration
// record by the CRC-32 of its bytes. The CRCs are computed a slice at a time between frames, so
// the menu shows at once and fills in names as their CRCs become known.
#pragma once

#include <cstdint>

#include "Table.h"

namespace rix::gba {

inline constexpr std::int32_t kNoRecord = -1;

class Catalog {
public:
    // Takes the table ReadTable checked; `cart` addresses the cartridge space.
    void Reset(const std::uint8_t* cart, const TableInfo& table);

    std::uint32_t Count() const { return count_; }
    RomEntry Rom(std::uint32_t game) const;
    bool Known(std::uint32_t game) const;
    std::uint32_t Crc(std::uint32_t game) const;   // valid once Known
    std::int32_t Record(std::uint32_t game) const; // record index or kNoRecord; once Known
    std::uint32_t RemainingGames() const { return remaining_; }

    // Feeds up to `budget` bytes into one game's CRC: `preferred` when it is still unknown,
    // else the next unknown game in table order. Returns the game it finished, or -1.
    std::int32_t Work(std::uint32_t preferred, std::uint32_t budget);

private:
    const std::uint8_t* cart_ = nullptr;
    TableInfo table_;
    std::uint32_t count_ = 0;
    std::uint32_t records_ = 0;
    std::uint32_t remaining_ = 0;
    std::uint32_t cursor_ = 0; // no unknown game before it
};

} // namespace rix::gba
