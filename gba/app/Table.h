// Reading the cartridge table that the builder appends behind the image. Nothing in it is
// trusted: every offset and size is checked against the 32 MiB cartridge space and against the
// table itself before anything else uses it. Portable: the cartridge is a byte pointer.
#pragma once

#include <cstdint>

#include "Platform.h"

namespace rix::gba {

// Fixed-size arrays in EWRAM hold per-game and per-record state; a table with more is refused.
// No ColecoVision cartridge is smaller than 8 KiB, so 4096 games fill the 32 MiB cartridge;
// records may also belong to ROMs that are not on it, hence more of them.
inline constexpr std::uint32_t kMaxGames = 4096;
inline constexpr std::uint32_t kMaxRecords = 16384;

enum class TableKind : std::uint8_t {
    kGames,      // at least one ROM entry, all checked
    kNoRomTable, // nothing behind the records: built from an empty list
    kBroken,     // a check failed; `check` and `values` say which
};

// The check that failed, in the order they are made.
enum class TableCheck : std::uint8_t {
    kNone,
    kHeaderOutside,   // values[0]: header offset
    kNoTable,         // nothing written behind the image
    kRecordsOffset,   // values[0]: the records offset found
    kRomTableForm,    // values[0]: the ROM table offset found
    kRomTableOutside, // values[0]: the ROM table offset found
    kTooManyRecords,  // values[0]: record count
    kEntryOutside,    // values[0]: 1-based entry number
    kTooManyRoms,     // no terminator within kMaxGames entries
    kRomOutside,      // values: 1-based ROM number, offset, size
    kRomInsideTable,  // values: 1-based ROM number, offset, end of the table
};

struct TableInfo {
    TableKind kind = TableKind::kBroken;
    TableCheck check = TableCheck::kNone;
    std::uint32_t values[3] = {};
    std::uint32_t header = 0;      // cartridge offset of the table header
    std::uint32_t recordCount = 0; // records, all inside the cartridge space
    std::uint32_t romCount = 0;    // ROM entries before the terminator
};

struct RomEntry {
    std::uint32_t offset; // cartridge offset of the ROM's first byte
    std::uint32_t size;
};

// Reads and checks the table whose header starts `header` bytes into the cartridge. `cart`
// must address the whole 32 MiB cartridge space (on the GBA it is 0x08000000); no byte at or
// beyond kCartridgeSpace is read.
// In IWRAM: the first menu frame waits for it, and it may read thousands of entries.
RIX_IWRAM_CODE TableInfo ReadTable(const std::uint8_t* cart, std::uint32_t header);

// Entry `index` (< info.romCount) of a table that ReadTable accepted, as a cartridge range
// that lies inside the cartridge space.
RomEntry ReadRomEntry(const std::uint8_t* cart, const TableInfo& info, std::uint32_t index);

// Cartridge offset of record `index` (< info.recordCount).
std::uint32_t RecordOffset(const TableInfo& info, std::uint32_t index);

} // namespace rix::gba
