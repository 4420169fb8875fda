#include "Catalog.h"

#include "Platform.h"
#include "core/Machine.h"
#include "format/CartTable.h"
#include "format/Crc32.h"

namespace rix::gba {

namespace fmt = rix::format;

namespace {

// Reset fills the entries for the cartridge's ROMs and records; the rest is never read.
// Per ROM entry: the running CRC register and the bytes fed so far; once the ROM is known, the
// final CRC and its record index + 1 (0: no record).
struct GameSlot {
    std::uint32_t crc;
    std::uint32_t fedOrRecord;
};

enum RomState : std::uint8_t { kUnknown = 0, kGame = 1, kBiosRom = 2 };

RIX_EWRAM_NOINIT GameSlot gSlots[kMaxGames];
RIX_EWRAM_NOINIT std::uint8_t gState[kMaxGames];
// Game number -> ROM entry, ascending; the BIOS entries are taken out as they are found.
RIX_EWRAM_NOINIT std::uint16_t gGameRom[kMaxGames];
static_assert(kMaxGames <= 0x10000, "ROM indices are kept in 16 bits");
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
    roms_ = games ? table.romCount : 0;
    count_ = roms_;
    remaining_ = roms_;
    cursor_ = 0;
    biosCursor_ = 0;
    biosRom_ = kNoBios;
    bios_ = {0, 0};
    for (std::uint32_t i = 0; i < roms_; ++i) {
        gSlots[i] = {fmt::kCrc32Preset, 0};
        gState[i] = kUnknown;
        gGameRom[i] = std::uint16_t(i);
    }
    // Only a table that passed every check has counts that fit the arrays.
    records_ = games ? table.recordCount : 0;
    if (records_ != 0) {
        CopyRecordKeys(cart + RecordOffset(table, 0), records_, gRecordCrc);
    }
}

RomEntry Catalog::Rom(std::uint32_t game) const {
    return ReadRomEntry(cart_, table_, gGameRom[game]);
}

std::uint32_t Catalog::RomIndex(std::uint32_t game) const {
    return gGameRom[game];
}

bool Catalog::Known(std::uint32_t game) const {
    return game < count_ && gState[gGameRom[game]] == kGame;
}

std::uint32_t Catalog::Crc(std::uint32_t game) const {
    return gSlots[gGameRom[game]].crc;
}

std::int32_t Catalog::Record(std::uint32_t game) const {
    return std::int32_t(gSlots[gGameRom[game]].fedOrRecord) - 1;
}

bool Catalog::BiosSettled() const {
    return biosRom_ != kNoBios || biosCursor_ == roms_ || remaining_ == 0;
}

std::uint32_t Catalog::GameOfRom(std::uint32_t rom) const {
    std::uint32_t low = 0;
    std::uint32_t high = count_;
    while (high - low > 1) {
        const std::uint32_t middle = low + (high - low) / 2;
        if (gGameRom[middle] <= rom) {
            low = middle;
        } else {
            high = middle;
        }
    }
    return low;
}

std::int32_t Catalog::Work(std::uint32_t preferred, std::uint32_t budget) {
    if (remaining_ == 0) {
        return -1;
    }
    std::uint32_t rom = roms_;
    if (biosRom_ == kNoBios) {
        // Looking at an entry's size costs the entry's bytes of the budget, so that a long
        // table of larger ROMs is passed over in several calls, as a large ROM is read.
        while (biosCursor_ < roms_) {
            if (gState[biosCursor_] == kUnknown &&
                ReadRomEntry(cart_, table_, biosCursor_).size == emu::kBiosSize) {
                rom = biosCursor_;
                break;
            }
            ++biosCursor_;
            if (budget <= fmt::kRomEntrySize) {
                return -1;
            }
            budget -= fmt::kRomEntrySize;
        }
    }
    if (rom == roms_) {
        if (preferred < count_ && gState[gGameRom[preferred]] == kUnknown) {
            rom = gGameRom[preferred];
        } else {
            while (gState[cursor_] != kUnknown) {
                ++cursor_;
            }
            rom = cursor_;
        }
    }

    GameSlot& slot = gSlots[rom];
    const RomEntry entry = ReadRomEntry(cart_, table_, rom);
    std::uint32_t length = entry.size - slot.fedOrRecord;
    if (length > budget) {
        length = budget;
    }
    slot.crc = CrcSlice(slot.crc, cart_ + entry.offset + slot.fedOrRecord, length);
    slot.fedOrRecord += length;
    if (slot.fedOrRecord != entry.size) {
        return -1;
    }
    return Finish(rom);
}

std::int32_t Catalog::Finish(std::uint32_t rom) {
    GameSlot& slot = gSlots[rom];
    slot.crc = fmt::Crc32Finish(slot.crc);
    --remaining_;
    const std::uint32_t game = GameOfRom(rom);
    if (emu::IsOriginalBios(slot.crc, slot.fedOrRecord)) {
        gState[rom] = kBiosRom;
        if (biosRom_ == kNoBios) {
            biosRom_ = rom;
            bios_ = ReadRomEntry(cart_, table_, rom);
        }
        for (std::uint32_t g = game + 1; g < count_; ++g) {
            gGameRom[g - 1] = gGameRom[g];
        }
        --count_;
        return -1;
    }
    slot.fedOrRecord = std::uint32_t(FindRecord(gRecordCrc, records_, slot.crc) + 1);
    gState[rom] = kGame;
    return std::int32_t(game);
}

} // namespace rix::gba
