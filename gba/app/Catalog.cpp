#include "Catalog.h"

#include "Platform.h"
#include "format/CartTable.h"
#include "format/Crc32.h"

namespace rix::gba {

namespace fmt = rix::format;

namespace {

// Reset fills the entries for the cartridge's games and records; the rest is never read.
// Per game: the running CRC register and the bytes fed so far; once the game is known, the
// final CRC and its record index + 1 (0: no record).
struct GameSlot {
    std::uint32_t crc;
    std::uint32_t fedOrRecord;
};

RIX_EWRAM_NOINIT GameSlot gSlots[kMaxGames];
RIX_EWRAM_NOINIT std::uint8_t gKnown[kMaxGames];
// Record CRCs copied once, so matching a finished game scans RAM rather than the cartridge.
RIX_EWRAM_NOINIT std::uint32_t gRecordCrc[kMaxRecords];

// Copies the CRC field of `count` records, 80 bytes apart; in IWRAM so that thousands of
// records do not hold up the first frame.
RIX_IWRAM_CODE void CopyRecordKeys(const std::uint8_t* first, std::uint32_t count,
                                   std::uint32_t* keys);
void CopyRecordKeys(const std::uint8_t* first, std::uint32_t count, std::uint32_t* keys) {
    for (std::uint32_t r = 0; r < count; ++r, first += fmt::kRecordSize) {
        keys[r] = fmt::ReadU32(first + fmt::kRecordCrc);
    }
}

// The first record with this CRC, or kNoRecord.
RIX_IWRAM_CODE std::int32_t FindRecord(const std::uint32_t* keys, std::uint32_t count,
                                       std::uint32_t crc);
std::int32_t FindRecord(const std::uint32_t* keys, std::uint32_t count, std::uint32_t crc) {
    for (std::uint32_t r = 0; r < count; ++r) {
        if (keys[r] == crc) {
            return std::int32_t(r);
        }
    }
    return kNoRecord;
}

RIX_IWRAM_CODE std::uint32_t CrcSlice(std::uint32_t reg, const std::uint8_t* bytes,
                                      std::uint32_t length);
std::uint32_t CrcSlice(std::uint32_t reg, const std::uint8_t* bytes, std::uint32_t length) {
    return fmt::Crc32Update(reg, bytes, length);
}

} // namespace

void Catalog::Reset(const std::uint8_t* cart, const TableInfo& table) {
    cart_ = cart;
    table_ = table;
    const bool games = table.kind == TableKind::kGames;
    count_ = games ? table.romCount : 0;
    remaining_ = count_;
    cursor_ = 0;
    for (std::uint32_t i = 0; i < count_; ++i) {
        gSlots[i] = {fmt::kCrc32Preset, 0};
        gKnown[i] = 0;
    }
    // Only a table that passed every check has counts that fit the arrays.
    records_ = games ? table.recordCount : 0;
    if (records_ != 0) {
        CopyRecordKeys(cart + RecordOffset(table, 0), records_, gRecordCrc);
    }
}

RomEntry Catalog::Rom(std::uint32_t game) const {
    return ReadRomEntry(cart_, table_, game);
}

bool Catalog::Known(std::uint32_t game) const {
    return game < count_ && gKnown[game] != 0;
}

std::uint32_t Catalog::Crc(std::uint32_t game) const {
    return gSlots[game].crc;
}

std::int32_t Catalog::Record(std::uint32_t game) const {
    return std::int32_t(gSlots[game].fedOrRecord) - 1;
}

std::int32_t Catalog::Work(std::uint32_t preferred, std::uint32_t budget) {
    if (remaining_ == 0) {
        return -1;
    }
    std::uint32_t game = preferred;
    if (game >= count_ || gKnown[game] != 0) {
        while (gKnown[cursor_] != 0) {
            ++cursor_;
        }
        game = cursor_;
    }
    GameSlot& slot = gSlots[game];
    const RomEntry rom = Rom(game);
    std::uint32_t length = rom.size - slot.fedOrRecord;
    if (length > budget) {
        length = budget;
    }
    slot.crc = CrcSlice(slot.crc, cart_ + rom.offset + slot.fedOrRecord, length);
    slot.fedOrRecord += length;
    if (slot.fedOrRecord != rom.size) {
        return -1;
    }

    slot.crc = fmt::Crc32Finish(slot.crc);
    slot.fedOrRecord = std::uint32_t(FindRecord(gRecordCrc, records_, slot.crc) + 1);
    gKnown[game] = 1;
    --remaining_;
    return std::int32_t(game);
}

} // namespace rix::gba
