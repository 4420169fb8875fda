#include "Keys.h"

#include "Hardware.h"

namespace rix::gba {

std::uint16_t KeyRepeat::Update(std::uint16_t held) {
    constexpr std::uint16_t kRepeating =
        hw::kKeyUp | hw::kKeyDown | hw::kKeyLeft | hw::kKeyRight | hw::kKeyL | hw::kKeyR;
    std::uint16_t act = held & std::uint16_t(~last_);
    if (act != 0 || (held & kRepeating) == 0) {
        timer_ = 0;
    } else if (++timer_ == kDelay) {
        act = held & kRepeating;
        timer_ -= kRate;
    }
    last_ = held;
    return act;
}

} // namespace rix::gba
