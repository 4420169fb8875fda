// Turns the held keys of each frame into key events: a press acts once, and the direction and
// shoulder keys repeat while held, so long lists scroll without tapping.
#pragma once

#include <cstdint>

namespace rix::gba {

class KeyRepeat {
public:
    static constexpr int kDelay = 20; // frames before the first repeat
    static constexpr int kRate = 4;   // frames between repeats

    // `held`: KEYINPUT bits, 1 = held. Returns the keys that act this frame.
    std::uint16_t Update(std::uint16_t held);

private:
    std::uint16_t last_ = 0;
    int timer_ = 0;
};

} // namespace rix::gba
