// The 16-bit control code of a control choice, as the cartridge's records carry it.
#pragma once

#include <cstdint>
#include <string_view>

namespace rix {

// Exact and case-sensitive; any text that is not a control choice gives 0.
std::uint16_t ControlChoiceToCode(std::string_view choice);

} // namespace rix
