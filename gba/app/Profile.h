// The profile image's counters (`make -C gba profile`, never rix.gba): ARM cycles per part of an
// emulated frame, read from the GBA's timers and left in a fixed EWRAM block just below the test
// port, where the harness zeroes and reads them. The parts are core/Platform.h's kProfile*.
// Portable (no GBA headers), so that the harness shares the layout.
#pragma once

#include <cstdint>

#include "core/Platform.h"

namespace rix::gba {

inline constexpr std::uint32_t kProfileAddress = 0x0203FE00; // gba.ld keeps EWRAM data below
inline constexpr std::uint32_t kProfileMarker = 0x50584952u; // "RIXP"

struct ProfileBlock {
    // Set at start-up.
    std::uint32_t marker;
    std::uint32_t switchCycles; // ARM cycles one mark costs (the call, two timer reads, the sums)
    // What follows counts only while a game runs (not while the test port holds it); a harness
    // zeroes it to start a measurement.
    std::uint32_t span;                           // ARM cycles counted
    std::uint32_t switches;                       // marks made while counting
    std::uint32_t parts[rix::emu::kProfileParts]; // ARM cycles charged to each part
};

inline ProfileBlock& Profile() {
    return *reinterpret_cast<ProfileBlock*>(std::uintptr_t(kProfileAddress));
}

#if defined(RIX_PROFILE)
// Stops counting while the game is held by the test port (true), counts again from now (false).
void ProfileHold(bool held);
#define RIX_PROFILE_HOLD(held) ::rix::gba::ProfileHold(held)
#else
#define RIX_PROFILE_HOLD(held) static_cast<void>(0)
#endif

} // namespace rix::gba
