// Small ColecoVision cartridges built in a test: a 55 AA header that starts the given code at
// 0x8024 (the first byte behind the header's vectors), and programs several tests run.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace rix::test {

inline constexpr std::uint16_t kCartridgeCodeStart = 0x8024;

// `size` bytes (0xFF-filled) with the header at `headerAt` (the start of the last bank for a
// MegaCart); every RST vector and the NMI's jump to `nmi`.
inline std::vector<std::uint8_t> ColecoCartridge(std::initializer_list<std::uint8_t> code,
                                                 std::size_t size = 0x2000,
                                                 std::size_t headerAt = 0,
                                                 std::uint16_t nmi = kCartridgeCodeStart) {
    std::vector<std::uint8_t> rom(size, 0xFF);
    std::uint8_t* h = &rom[headerAt];
    h[0] = 0x55;
    h[1] = 0xAA;
    h[0x0A] = kCartridgeCodeStart & 0xFF;
    h[0x0B] = kCartridgeCodeStart >> 8;
    for (int vector = 0; vector < 8; ++vector) { // RST 08h-38h and the NMI: jumps
        h[0x0C + vector * 3] = 0xC3;
        h[0x0D + vector * 3] = nmi & 0xFF;
        h[0x0E + vector * 3] = nmi >> 8;
    }
    std::copy(code.begin(), code.end(), rom.begin() + headerAt + (kCartridgeCodeStart - 0x8000));
    return rom;
}

// Reads controller 1 in joystick mode into 7000h, controller 2 into 7002h, controller 1 in
// keypad mode into 7001h, over and over.
inline std::vector<std::uint8_t> ControllerProgram() {
    return ColecoCartridge({
        0xD3, 0xC0,       // out (C0h),a: joystick mode
        0xDB, 0xFC,       // in a,(FCh)
        0x32, 0x00, 0x70, // ld (7000h),a
        0xDB, 0xFF,       // in a,(FFh)
        0x32, 0x02, 0x70, // ld (7002h),a
        0xD3, 0x80,       // out (80h),a: keypad mode
        0xDB, 0xFC,       // in a,(FCh)
        0x32, 0x01, 0x70, // ld (7001h),a
        0x18, 0xEB,       // jr to the start
    });
}

} // namespace rix::test
