// Programs of our own for the rix-run tests: a cartridge that shows what controller 1 reads,
// and a stand-in for the console's BIOS.
#pragma once

#include <cstdint>
#include <vector>

namespace rix::test {

enum class ControllerMode { kJoystick, kKeypad };

// A cartridge (header 55 AA) that plays a 440 Hz tone on channel 0, sets Text mode with every
// character solid, and then loops: select `mode`, read controller 1, write the byte to R7. A
// frame then shows the reading: the text colour (bits 7-4) in the middle, the backdrop (bits
// 3-0) in the 8-pixel side borders of Text mode.
std::vector<std::uint8_t> ControllerRom(ControllerMode mode);

// 8 KiB whose CRC-32 is the original BIOS's (3AA93EF3): our own code that paints the backdrop
// dark red (6) with the display blanked, and halts. A game run with it never starts, which shows
// the BIOS was used.
std::vector<std::uint8_t> RedBios();
inline constexpr std::uint8_t kRedBiosColour = 6;

struct Cartridge {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint32_t> romOffsets; // where each ROM starts
};

// `image`, then the table as the builder lays it out: one record per CRC in `recordCrcs` (the
// rest of each record zero), the ROM entries, the terminator and the ROMs.
Cartridge MakeCartridge(const std::vector<std::uint8_t>& image,
                        const std::vector<std::vector<std::uint8_t>>& roms,
                        const std::vector<std::uint32_t>& recordCrcs);

} // namespace rix::test
