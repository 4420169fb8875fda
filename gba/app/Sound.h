// The game's sound: the sound chip's registers played on the GBA's own sound channels
// (SoundPlan says how). GBA only; Thumb code in ROM, its state in EWRAM: the work is a compare
// once a frame and a few register writes when the game changed something.
#pragma once

#include "core/Psg.h"

namespace rix::gba {

// Switches the GBA's sound on, all channels silent.
void StartSound();
// Plays the chip's state now; re-programs only what changed since the last call.
void UpdateSound(const rix::emu::Psg& psg);
// Silences everything and switches the GBA's sound off.
void StopSound();

} // namespace rix::gba
