// The GBA's buttons as its key register numbers them (held = 1): what the machine's front ends
// hand it, and what the GBA program reads from the hardware. Freestanding: <cstdint> only.
#pragma once

#include <cstdint>

namespace rix::emu {

enum GbaKey : std::uint16_t {
    kGbaA = 1u << 0,
    kGbaB = 1u << 1,
    kGbaSelect = 1u << 2,
    kGbaStart = 1u << 3,
    kGbaRight = 1u << 4,
    kGbaLeft = 1u << 5,
    kGbaUp = 1u << 6,
    kGbaDown = 1u << 7,
    kGbaR = 1u << 8,
    kGbaL = 1u << 9,
};

} // namespace rix::emu
