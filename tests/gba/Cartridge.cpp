#include "Cartridge.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "format/CartTable.h"
#include "format/Controls.h"
#include "format/Crc32.h"

namespace rix::test {

namespace fmt = rix::format;

namespace {

void AppendRecord(std::vector<std::uint8_t>& out, std::uint32_t crc, const GameConfig& config) {
    const std::vector<std::uint8_t> record = MakeRecord(crc, config);
    out.insert(out.end(), record.begin(), record.end());
}

} // namespace

std::vector<std::uint8_t> MakeRecord(std::uint32_t crc, const GameConfig& config) {
    std::vector<std::uint8_t> record(fmt::kRecordSize, 0);
    fmt::WriteU32(record.data() + fmt::kRecordCrc, crc);
    for (std::uint32_t i = 0; i < fmt::kRecordNameLength; ++i) {
        record[fmt::kRecordName + i] =
            i < config.name.size() ? std::uint8_t(config.name[i]) : std::uint8_t(' ');
    }
    fmt::WriteU32(record.data() + fmt::kRecordCycleCount, std::uint32_t(config.cycles));
    record[fmt::kRecordCollision] = config.collision;
    std::array<std::uint16_t, fmt::kRecordControlCount> slots{};
    std::copy_n(config.controls.begin(), 4, slots.begin()); // A, B, Select, Start
    slots[fmt::BackLeftSlot(config.custom)] = config.controls[4];
    slots[fmt::BackRightSlot(config.custom)] = config.controls[5];
    for (std::uint32_t s = 0; s < fmt::kRecordControlCount; ++s) {
        fmt::WriteU16(record.data() + fmt::kRecordControls + 2 * s, slots[s]);
    }
    return record;
}

std::vector<std::uint8_t> MakeCartridge(const std::vector<std::uint8_t>& image,
                                        const CartContents& contents) {
    std::vector<std::uint8_t> table(fmt::kHeaderSize, 0);
    for (const CartGame& game : contents.games) {
        if (game.config) {
            AppendRecord(table, RomKey(game.rom), *game.config);
        }
    }
    for (const auto& [key, config] : contents.otherRecords) {
        AppendRecord(table, key, config);
    }
    fmt::WriteU32(table.data() + fmt::kHeaderRecordsOffset, fmt::kHeaderSize);
    fmt::WriteU32(table.data() + fmt::kHeaderRomTableOffset, std::uint32_t(table.size()));
    if (!contents.games.empty()) {
        std::uint32_t offset =
            std::uint32_t(table.size() + (contents.games.size() + 1) * fmt::kRomEntrySize);
        for (const CartGame& game : contents.games) {
            std::uint8_t entry[fmt::kRomEntrySize];
            fmt::WriteU32(entry + fmt::kRomEntryOffset, offset);
            fmt::WriteU32(entry + fmt::kRomEntrySize32, std::uint32_t(game.rom.size()));
            table.insert(table.end(), std::begin(entry), std::end(entry));
            offset += std::uint32_t(game.rom.size());
        }
        table.insert(table.end(), fmt::kRomEntrySize, 0);
        for (const CartGame& game : contents.games) {
            table.insert(table.end(), game.rom.begin(), game.rom.end());
        }
    }
    std::vector<std::uint8_t> cartridge = image;
    cartridge.insert(cartridge.end(), table.begin(), table.end());
    return cartridge;
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::vector<std::uint8_t>& RixImage() {
    static const std::vector<std::uint8_t> image =
        ReadFile(std::string(RIX_SOURCE_DIR) + "/resources/rix.gba");
    return image;
}

std::uint32_t RomKey(const std::vector<std::uint8_t>& rom) {
    return fmt::Crc32Finish(
        fmt::Crc32Update(fmt::kCrc32Preset, rom.data(), std::uint32_t(rom.size())));
}

std::vector<std::uint8_t> TestRom(std::uint32_t seed, std::size_t size) {
    std::vector<std::uint8_t> rom(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        rom[i] = std::uint8_t(x);
    }
    if (size >= 2) {
        rom[0] = 0x55;
        rom[1] = 0xAA;
    }
    return rom;
}

} // namespace rix::test
