#include "Record.h"

#include "format/CartTable.h"

namespace rix::gba {

namespace fmt = rix::format;

bool MapsNoButton(const std::uint8_t* record) {
    for (std::uint32_t slot = 0; slot < fmt::kRecordControlCount; ++slot) {
        if (fmt::ReadU16(record + fmt::kRecordControls + 2 * slot) != 0) {
            return false;
        }
    }
    return true;
}

void ApplyRecord(const std::uint8_t* record, rix::emu::MachineConfig& config) {
    config.cycleCount = std::int32_t(fmt::ReadU32(record + fmt::kRecordCycleCount));
    config.collision = record[fmt::kRecordCollision];
    const bool defaults = MapsNoButton(record);
    for (int slot = 0; slot < rix::emu::kControlButtons; ++slot) {
        config.controls[slot] = defaults ? rix::emu::kDefaultControls[slot]
                                         : fmt::ReadU16(record + fmt::kRecordControls + 2 * slot);
    }
}

} // namespace rix::gba
