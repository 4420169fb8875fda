// Any table the GBA program may find behind its image is read without a byte outside the
// cartridge space, and what the reader accepts lies where it says: records and ROM entries
// inside the space, every ROM inside it and behind the table.
//
// Input: four bytes for where the header is (which may lie near or beyond the space's end),
// then the bytes from there on; the rest of the cartridge is zero, as a padded file reads.
#include "app/Table.h"
#include "format/CartTable.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace fmt = rix::format;
using namespace rix::gba;

namespace {

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Exactly the cartridge space, so that AddressSanitizer reports any read past it.
    static std::vector<std::uint8_t> cart(fmt::kCartridgeSpace);
    if (size < 4) {
        return 0;
    }
    const std::uint32_t header = fmt::ReadU32(data) % (fmt::kCartridgeSpace + 64);
    data += 4;
    size -= 4;
    const std::size_t written = header < fmt::kCartridgeSpace
                                    ? std::min<std::size_t>(size, fmt::kCartridgeSpace - header)
                                    : 0;
    if (written != 0) {
        std::memcpy(cart.data() + header, data, written);
    }

    const TableInfo info = ReadTable(cart.data(), header);
    if (info.kind != TableKind::kBroken) {
        const std::uint64_t recordsEnd = std::uint64_t(header) + fmt::kHeaderSize +
                                         std::uint64_t(info.recordCount) * fmt::kRecordSize;
        Check(recordsEnd <= fmt::kCartridgeSpace);
        if (info.recordCount != 0) {
            Check(RecordOffset(info, info.recordCount - 1) + fmt::kRecordSize == recordsEnd);
        }
    }
    if (info.kind == TableKind::kGames) {
        Check(info.romCount != 0 && info.romCount <= kMaxGames);
        const std::uint64_t tableEnd = std::uint64_t(header) + fmt::kHeaderSize +
                                       std::uint64_t(info.recordCount) * fmt::kRecordSize +
                                       (std::uint64_t(info.romCount) + 1) * fmt::kRomEntrySize;
        Check(tableEnd <= fmt::kCartridgeSpace);
        for (std::uint32_t i = 0; i < info.romCount; ++i) {
            const RomEntry rom = ReadRomEntry(cart.data(), info, i);
            Check(rom.offset >= tableEnd);
            Check(std::uint64_t(rom.offset) + rom.size <= fmt::kCartridgeSpace);
        }
    }

    if (written != 0) {
        std::memset(cart.data() + header, 0, written);
    }
    return 0;
}
