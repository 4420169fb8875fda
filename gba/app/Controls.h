// What a record's control code means on the ColecoVision side.
#pragma once

#include <cstdint>

#include "TextScreen.h"

namespace rix::gba {

// The GBA buttons in record slot order; slot 5 is the L button, slot 6 the R button.
inline constexpr const char* kButtonNames[6] = {"A", "B", "Select", "Start", "L", "R"};

// Writes the control: "none", "Fire 1", "Fire 2", "Keypad 5", combinations joined by " + ",
// or "unknown (0xXXXX)" for bits or keypad codes that belong to no control.
void DescribeControl(std::uint16_t code, Line& line);

} // namespace rix::gba
