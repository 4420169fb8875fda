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
//
// On the GBA the ARM core (Z80Arm.s) runs the Z80 and leaves only rare steps to the C++
// interpreter, which then stays in ROM; -DRIX_Z80_PORTABLE runs the C++ interpreter alone, from
// IWRAM, as before the ARM core (for comparing the two).
#if defined(__arm__) && !defined(RIX_Z80_PORTABLE)
#define RIX_Z80_ARM 1
#else
#define RIX_Z80_ARM 0
#endif
#if RIX_Z80_ARM
#define RIX_Z80_PORTABLE_PLACE RIX_ROM_CODE
#define RIX_Z80_PORTABLE_TABLE
#else
#define RIX_Z80_PORTABLE_PLACE RIX_IWRAM_CODE
#define RIX_Z80_PORTABLE_TABLE RIX_IWRAM_TABLE
#endif
#ifndef RIX_Z80_LOOP
#define RIX_Z80_LOOP RIX_Z80_PORTABLE_PLACE
#endif
#if RIX_Z80_ARM
#ifndef RIX_Z80_HOT
#define RIX_Z80_HOT
#endif
#ifndef RIX_Z80_PORTS
#define RIX_Z80_PORTS RIX_COLD
#endif
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
#define RIX_Z80_TABLE RIX_Z80_PORTABLE_TABLE
#endif

// Profiling (the profile image only, `make -C gba profile`): the machine marks where each part
// of a frame starts and ends, and the GBA layer (app/Profile.cpp) charges the ARM cycles between
// two marks to the part that ran. Without RIX_PROFILE the marks compile to nothing.
namespace rix::emu {
inline constexpr int kProfileOther = 0;  // whatever no mark names: the machine's loop, the keys
inline constexpr int kProfileCpu = 1;    // the Z80's Run, with the port accesses it makes
inline constexpr int kProfileVideo = 2;  // the renderer's Frame and the vertical blank hook
inline constexpr int kProfileStatus = 3; // the video chip's ScanLine: timing and sprite status
inline constexpr int kProfileSound = 4;  // the sound chip's counters or samples
inline constexpr int kProfileIdle = 5;   // waiting for the vertical blank
inline constexpr int kProfileParts = 6;
#if defined(RIX_PROFILE)
// Makes `part` the one running and returns the one that ran before (defined by the front end).
RIX_IWRAM_CODE int ProfileSwitch(int part);
#endif
} // namespace rix::emu

#if defined(RIX_PROFILE)
// BEGIN and END pair up in one scope; what runs between them (less what nested marks claim)
// is charged to the part, and END gives the time back to the part that was running before.
#define RIX_PROFILE_BEGIN(part)                                                                    \
    const int rixProfileOuter##part = ::rix::emu::ProfileSwitch(::rix::emu::kProfile##part)
#define RIX_PROFILE_END(part) ::rix::emu::ProfileSwitch(rixProfileOuter##part)
#else
#define RIX_PROFILE_BEGIN(part) static_cast<void>(0)
#define RIX_PROFILE_END(part) static_cast<void>(0)
#endif
