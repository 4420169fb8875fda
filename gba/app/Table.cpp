#include "Table.h"

#include "format/CartTable.h"

namespace rix::gba {

namespace fmt = rix::format;

namespace {

constexpr std::uint32_t kSpace = fmt::kCartridgeSpace;

// Whether `length` bytes from `offset` look like nothing was written there: zeros (a padded
// file, or what emulators show past the end), 0xFF (erased flash), or what the cartridge bus
// returns past the end of the chips, the address halfword divided by two (address and data
// share the pins).
bool LooksUnwritten(const std::uint8_t* cart, std::uint32_t offset, std::uint32_t length) {
    bool zero = true;
    bool erased = true;
    bool openBus = true;
    for (std::uint32_t i = 0; i < length; ++i) {
        const std::uint32_t at = offset + i;
        const std::uint32_t half = (at >> 1) & 0xFFFFu;
        const std::uint8_t expected = std::uint8_t((at & 1u) ? (half >> 8) : half);
        zero = zero && cart[at] == 0;
        erased = erased && cart[at] == 0xFF;
        openBus = openBus && cart[at] == expected;
    }
    return zero || erased || openBus;
}

TableInfo Broken(TableInfo info, TableCheck check, std::uint32_t a, std::uint32_t b = 0,
                 std::uint32_t c = 0) {
    info.kind = TableKind::kBroken;
    info.check = check;
    info.values[0] = a;
    info.values[1] = b;
    info.values[2] = c;
    return info;
}

} // namespace

TableInfo ReadTable(const std::uint8_t* cart, std::uint32_t header) {
    TableInfo info;
    info.header = header;
    if (header > kSpace || kSpace - header < fmt::kHeaderSize) {
        return Broken(info, TableCheck::kHeaderOutside, header);
    }
    if (LooksUnwritten(cart, header, fmt::kHeaderSize)) {
        return Broken(info, TableCheck::kNoTable, header);
    }
    const std::uint8_t* h = cart + header;
    // From here on every offset counts from the header; `room` is what the cartridge space
    // leaves behind it, so `x <= room` keeps header + x inside.
    const std::uint32_t room = kSpace - header;

    const std::uint32_t recordsOffset = fmt::ReadU32(h + fmt::kHeaderRecordsOffset);
    if (recordsOffset != fmt::kHeaderSize) {
        return Broken(info, TableCheck::kRecordsOffset, recordsOffset);
    }
    const std::uint32_t romTable = fmt::ReadU32(h + fmt::kHeaderRomTableOffset);
    if (romTable < fmt::kHeaderSize || (romTable - fmt::kHeaderSize) % fmt::kRecordSize != 0) {
        return Broken(info, TableCheck::kRomTableForm, romTable);
    }
    if (romTable > room) {
        return Broken(info, TableCheck::kRomTableOutside, romTable);
    }
    const std::uint32_t records = (romTable - fmt::kHeaderSize) / fmt::kRecordSize;
    if (records > kMaxRecords) {
        return Broken(info, TableCheck::kTooManyRecords, records);
    }
    info.recordCount = records;

    // An image built from an empty list ends right behind its records. (A ROM table holding
    // only its terminator reads the same; the builder never writes one.)
    if (room - romTable < fmt::kRomEntrySize ||
        LooksUnwritten(cart, header + romTable, fmt::kRomEntrySize)) {
        info.kind = TableKind::kNoRomTable;
        return info;
    }

    // Entries up to the terminator; each must lie inside the cartridge, and so must its ROM.
    std::uint32_t count = 0;
    std::uint32_t lowest = 0xFFFFFFFFu; // lowest ROM offset, checked once the table's end is known
    for (;; ++count) {
        const std::uint32_t at = romTable + count * fmt::kRomEntrySize;
        if (room - at < fmt::kRomEntrySize) {
            return Broken(info, TableCheck::kEntryOutside, count + 1);
        }
        const std::uint32_t offset = fmt::ReadU32(h + at + fmt::kRomEntryOffset);
        const std::uint32_t size = fmt::ReadU32(h + at + fmt::kRomEntrySize32);
        if (offset == 0 && size == 0) {
            break; // count > 0: the first entry was checked above
        }
        if (count == kMaxGames) {
            return Broken(info, TableCheck::kTooManyRoms, kMaxGames);
        }
        if (offset > room || size > room - offset) {
            return Broken(info, TableCheck::kRomOutside, count + 1, offset, size);
        }
        lowest = offset < lowest ? offset : lowest;
    }
    info.romCount = count;

    // ROM bytes lie behind the terminator; a ROM inside the table would read the table's own
    // bytes as a game.
    const std::uint32_t tableEnd = romTable + (count + 1) * fmt::kRomEntrySize;
    if (lowest < tableEnd) {
        for (std::uint32_t i = 0;; ++i) {
            const std::uint32_t offset =
                fmt::ReadU32(h + romTable + i * fmt::kRomEntrySize + fmt::kRomEntryOffset);
            if (offset < tableEnd) {
                return Broken(info, TableCheck::kRomInsideTable, i + 1, offset, tableEnd);
            }
        }
    }
    info.kind = TableKind::kGames;
    return info;
}

RomEntry ReadRomEntry(const std::uint8_t* cart, const TableInfo& info, std::uint32_t index) {
    const std::uint8_t* e = cart + info.header + fmt::kHeaderSize +
                            info.recordCount * fmt::kRecordSize + index * fmt::kRomEntrySize;
    return {info.header + fmt::ReadU32(e + fmt::kRomEntryOffset),
            fmt::ReadU32(e + fmt::kRomEntrySize32)};
}

std::uint32_t RecordOffset(const TableInfo& info, std::uint32_t index) {
    return info.header + fmt::kHeaderSize + index * fmt::kRecordSize;
}

} // namespace rix::gba
