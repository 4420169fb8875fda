// Our own BIOS for the console's 8 KiB at 0x0000: assembled from gba/bios/rixbios.asm, its
// bytes kept here as data so that neither the host nor the GBA build needs an assembler.
#pragma once

#include <stdint.h>

namespace rix::emu {

extern const uint8_t kRixBios[0x2000];

} // namespace rix::emu
