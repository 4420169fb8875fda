// Placement attributes for the GBA build; empty on the host, where the portable pieces of the
// program (table reader, catalog, menu, font) are compiled for the test harness.
#pragma once

#if defined(__arm__)
// ARM code in IWRAM: 32-bit bus without wait states, so the per-frame loops run several times
// faster than Thumb code fetched from ROM. long_call because ROM and IWRAM lie further apart than
// a BL reaches.
#define RIX_IWRAM_CODE __attribute__((section(".iwram.text"), target("arm"), long_call, noinline))
#define RIX_IWRAM_DATA __attribute__((section(".iwram.data")))
#define RIX_IWRAM_RODATA __attribute__((section(".iwram.rodata")))
// Zero-initialised only: start-up clears the section, it has no load image.
#define RIX_EWRAM_BSS __attribute__((section(".ewram_bss")))
// Left as power-on left it: for large arrays whose owner fills what it uses, so start-up does
// not spend frames clearing them.
#define RIX_EWRAM_NOINIT __attribute__((section(".ewram_noinit")))
#else
#define RIX_IWRAM_CODE
#define RIX_IWRAM_DATA
#define RIX_IWRAM_RODATA
#define RIX_EWRAM_BSS
#define RIX_EWRAM_NOINIT
#endif
