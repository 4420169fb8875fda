// Placement hints for the emulated machine's code. The same sources build for the host (tests,
// benchmarks) and for the GBA, where the hot loops must run as ARM code from the 32-bit, no-wait
// IWRAM instead of as Thumb code from the cartridge bus.
#pragma once

#if defined(__arm__)
// Called from ROM code, so the call needs a full 32-bit address (long_call); noinline keeps the
// body in IWRAM instead of copying it into ROM-resident callers.
#define RIX_IWRAM_CODE __attribute__((section(".iwram"), target("arm"), noinline, long_call))
// Small helpers called only from IWRAM code: one shared copy instead of one per call site, still
// ARM code in IWRAM, reached with a plain BL.
#define RIX_IWRAM_HELPER __attribute__((section(".iwram"), target("arm"), noinline))
// The same, for functions that stay out of line on the host too.
#define RIX_IWRAM_CALL __attribute__((section(".iwram"), target("arm"), noinline))
// Rarer groups left in the cartridge as Thumb code; long_call because IWRAM code calls them.
#define RIX_ROM_CODE __attribute__((noinline, long_call))
// Tables the hot code reads on most instructions: IWRAM reads take 3 cycles, ROM reads 6.
#define RIX_IWRAM_TABLE __attribute__((section(".iwram.rodata")))
#else
#define RIX_ROM_CODE
#define RIX_IWRAM_TABLE
#define RIX_IWRAM_CODE
// The host has room: inline them, which is faster.
#define RIX_IWRAM_HELPER inline __attribute__((always_inline))
#define RIX_IWRAM_CALL __attribute__((noinline))
#endif

// For the small accessors the interpreter is built from: inlined even where the compiler's size
// heuristics (strict for Thumb) would rather call them, so that the interpreter's PC and cycle
// count never have to leave machine registers.
#define RIX_ALWAYS_INLINE inline __attribute__((always_inline))

// Rarely taken paths (memory callbacks): kept out of the hot loop's way.
#define RIX_COLD __attribute__((cold, noinline))

// Where the Z80's parts live (see gba/core/README.md, Performance, for what each costs). Each
// can be overridden with -D to measure another placement with the benchmark image.
//   RIX_Z80_LOOP   Run: the loop, the unprefixed, CB, and the common DD/FD instructions
//   RIX_Z80_HOT    what Run calls on the way: memory and flag helpers, the block group, DDCB
//   RIX_Z80_PORTS  the calls of the port callbacks (out of line on the host as well)
//   RIX_Z80_RARE   the rest of the DD/FD group (IXh/IXl and the like) and of the ED group
//   RIX_Z80_TABLE  the flag table
#ifndef RIX_Z80_LOOP
#define RIX_Z80_LOOP RIX_IWRAM_CODE
#endif
#ifndef RIX_Z80_HOT
#define RIX_Z80_HOT RIX_IWRAM_HELPER
#endif
#ifndef RIX_Z80_PORTS
#define RIX_Z80_PORTS RIX_IWRAM_CALL
#endif
#ifndef RIX_Z80_RARE
#define RIX_Z80_RARE RIX_ROM_CODE
#endif
#ifndef RIX_Z80_TABLE
#define RIX_Z80_TABLE RIX_IWRAM_TABLE
#endif
