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
#else
#define RIX_IWRAM_CODE
// The host has room: inline them, which is faster.
#define RIX_IWRAM_HELPER inline __attribute__((always_inline))
#endif

// For the small accessors the interpreter is built from: inlined even where the compiler's size
// heuristics (strict for Thumb) would rather call them, so that the interpreter's PC and cycle
// count never have to leave machine registers.
#define RIX_ALWAYS_INLINE inline __attribute__((always_inline))

// Rarely taken paths (memory callbacks): kept out of the hot loop's way.
#define RIX_COLD __attribute__((cold, noinline))
