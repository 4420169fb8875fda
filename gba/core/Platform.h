// Placement hints for the emulated machine's code. The same sources build for the host (tests,
// benchmarks) and for the GBA, where the hot loops must run as ARM code from the 32-bit, no-wait
// IWRAM instead of as Thumb code from the cartridge bus.
#pragma once

#if defined(__arm__)
// Called from ROM code, so the call needs a full 32-bit address (long_call); noinline keeps the
// body in IWRAM instead of copying it into ROM-resident callers.
#define RIX_IWRAM_CODE __attribute__((section(".iwram"), target("arm"), noinline, long_call))
#else
#define RIX_IWRAM_CODE
#endif
