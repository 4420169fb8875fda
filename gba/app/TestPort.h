// A few words at a fixed EWRAM address through which the test harness watches and steers a
// running game: how many emulated frames have run, a frame to stop at, and buttons to hold on
// given frames, so that a test sees exactly the frame it compares with the host's and presses
// keys on exactly the frames it means. The program sets the marker at start-up and otherwise
// only counts; nothing changes unless a harness writes here. Portable (no GBA headers).
#pragma once

#include <cstdint>

namespace rix::gba {

inline constexpr std::uint32_t kTestPortAddress = 0x0203FF00; // behind everything else (gba.ld)
inline constexpr std::uint32_t kTestPortMarker = 0x54584952u; // "RIXT"
inline constexpr int kTestPortPresses = 16;

struct TestPress {
    std::uint32_t first; // emulated frames, counted from 1 as rix-run counts them
    std::uint32_t last;
    std::uint32_t keys; // KEYINPUT bits (1 = held), added to what the player holds
};

struct TestPort {
    std::uint32_t marker;
    std::uint32_t game;   // 1-based number of the game running, 0 in the menu
    std::uint32_t frames; // emulated frames the game has run and shown
    // 0: run freely. Otherwise the game stops emulating once `frames` reaches it (the picture
    // and everything else stay as they are) until the value changes.
    std::uint32_t stopAt;
    std::uint32_t view;       // the game's view (View), for the harness to map its frames
    std::uint32_t ram;        // GBA address of the running console's 1 KiB of RAM
    std::uint32_t cpu;        // GBA address of its Z80's state (rix::emu::Z80State)
    std::uint32_t vram;       // GBA address of its video chip's 16 KiB
    std::uint32_t pressCount; // presses[0..pressCount) apply
    TestPress presses[kTestPortPresses];
};

inline TestPort& Port() {
    return *reinterpret_cast<TestPort*>(std::uintptr_t(kTestPortAddress));
}

} // namespace rix::gba
