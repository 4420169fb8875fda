// Placement attributes for the GBA build; empty on the host, where the portable pieces of the
// program (table reader, catalog, menu, font) are compiled for the test harness.
#pragma once

// RIX_IWRAM_CODE (ARM code in IWRAM, long_call) is the emulated machine's, so that the layer
// and the machine's headers agree on it.
#include "core/Platform.h"

#if defined(__arm__)
#define RIX_IWRAM_DATA __attribute__((section(".iwram.data")))
#define RIX_IWRAM_RODATA __attribute__((section(".iwram.rodata")))
// Zero-initialised only: start-up clears the section, it has no load image.
#define RIX_EWRAM_BSS __attribute__((section(".ewram_bss")))
// Left as power-on left it: for large arrays whose owner fills what it uses, so start-up does
// not spend frames clearing them.
#define RIX_EWRAM_NOINIT __attribute__((section(".ewram_noinit")))
#else
#define RIX_IWRAM_DATA
#define RIX_IWRAM_RODATA
#define RIX_EWRAM_BSS
#define RIX_EWRAM_NOINIT
#endif
