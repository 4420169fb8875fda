// What a configuration record says about running its game, read the same way on the GBA and by
// rix-run on the host. Portable.
#pragma once

#include <cstdint>

#include "core/Machine.h"

namespace rix::gba {

// True when none of the record's six buttons is mapped (all control codes 0: what the builder
// writes when the preset a ROM names is not defined). Such a game is played with
// rix::emu::kDefaultControls, or it would have no fire buttons at all.
bool MapsNoButton(const std::uint8_t* record);

// Sets the controls, cycle count and collision mode of `config` from `record` (80 bytes),
// the default controls where the record maps no button.
void ApplyRecord(const std::uint8_t* record, rix::emu::MachineConfig& config);

} // namespace rix::gba
