#include "builder/CartridgeLayout.h"

#include "builder/ControlCodes.h"
#include "builder/RomIdentity.h"
#include "format/CartTable.h"
#include "format/Controls.h"
#include "platform/Text.h"
#include "settings/Schema.h"

#include <algorithm>

namespace rix {

namespace fmt = rix::format;

bool IsRomSection(const TCustomIniFile& ini, std::string_view section) {
    return !ini.ReadEntry(section, schema::kFilename, "").empty();
}

std::vector<std::string> RomSections(const TCustomIniFile& ini) {
    std::vector<std::string> names;
    ini.ListSections(names);
    std::erase_if(names, [&](const std::string& name) { return !IsRomSection(ini, name); });
    return names;
}

TableHeader MakeTableHeader(std::uint32_t recordCount) {
    TableHeader header{};
    fmt::WriteU32(&header[fmt::kHeaderRecordsOffset], fmt::kHeaderSize);
    fmt::WriteU32(&header[fmt::kHeaderRomTableOffset],
                  fmt::kHeaderSize + fmt::kRecordSize * recordCount);
    return header;
}

ConfigurationRecord MakeConfigurationRecord(const TCustomIniFile& ini, std::string_view section) {
    ConfigurationRecord record{};
    fmt::WriteU32(&record[fmt::kRecordCrc], RomKeyToCrc(section));
    // The name: its first 47 bytes, space-filled.
    std::string name = ini.ReadEntry(section, schema::kFilename, "");
    name.resize(fmt::kRecordNameLength, ' ');
    std::copy(name.begin(), name.end(), record.begin() + fmt::kRecordName);
    const std::int32_t cycles =
        StrToInt(ini.ReadEntry(section, schema::kCycleCount, schema::kBuildNumberDefault));
    fmt::WriteU32(&record[fmt::kRecordCycleCount], static_cast<std::uint32_t>(cycles));
    // Only the collision mode's low byte is kept.
    const std::int32_t collision =
        StrToInt(ini.ReadEntry(section, schema::kCollisionMode, schema::kBuildNumberDefault));
    record[fmt::kRecordCollision] = static_cast<std::uint8_t>(collision & 0xFF);
    // The six control codes, from the ROM's own choices or its preset's.
    const std::string control = ini.ReadEntry(section, schema::kControl, "");
    const bool custom = control == schema::kCustom;
    const std::string source = custom ? std::string(section) : schema::PresetSection(control);
    std::array<std::string_view, fmt::kRecordControlCount> keys{};
    keys[fmt::kSlotA] = schema::kButtonA;
    keys[fmt::kSlotB] = schema::kButtonB;
    keys[fmt::kSlotSelect] = schema::kSelect;
    keys[fmt::kSlotStart] = schema::kStart;
    keys[fmt::BackLeftSlot(custom)] = schema::kBackLeft;
    keys[fmt::BackRightSlot(custom)] = schema::kBackRight;
    for (std::size_t slot = 0; slot < keys.size(); ++slot) {
        fmt::WriteU16(&record[fmt::kRecordControls + 2 * slot],
                      ControlChoiceToCode(ini.ReadEntry(source, keys[slot], "")));
    }
    // The record's last eight bytes stay zero.
    return record;
}

RomEntry MakeRomEntry(std::uint32_t relativeOffset, std::uint32_t size) {
    RomEntry entry{};
    fmt::WriteU32(&entry[fmt::kRomEntryOffset], relativeOffset);
    fmt::WriteU32(&entry[fmt::kRomEntrySize32], size);
    return entry;
}

std::uint64_t FirstRomOffset(std::uint64_t recordCount, std::uint64_t romCount) {
    return fmt::kHeaderSize + fmt::kRecordSize * recordCount + fmt::kRomEntrySize * romCount +
           fmt::kRomEntrySize;
}

std::uint64_t CartridgeSize(std::uint64_t imageSize, std::uint64_t recordCount,
                            const std::vector<std::uint64_t>& romSizes) {
    if (romSizes.empty()) {
        return imageSize + fmt::kHeaderSize + fmt::kRecordSize * recordCount;
    }
    std::uint64_t size = imageSize + FirstRomOffset(recordCount, romSizes.size());
    for (std::uint64_t s : romSizes) {
        size += s;
    }
    return size;
}

} // namespace rix
