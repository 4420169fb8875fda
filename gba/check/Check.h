// What the Z80 check image (gba/check) leaves for the host, at a fixed EWRAM address.
#pragma once

#include <stdint.h>

#include "core/Z80.h"

namespace rix::check {

inline constexpr uint32_t kCheckResults = 0x02030000;
inline constexpr uint32_t kDoneMarker = 0x5A38C4EC;
inline constexpr uint32_t kCases = 60000;
inline constexpr uint32_t kLogSize = 64;

// A CP/M program appended to the image (the exercisers): the image runs it on the ARM core
// instead of the random instructions, and writes what it prints to kCheckText.
inline constexpr uint32_t kProgramMagic = 0x4D504350; // "PCPM"
struct ProgramHeader {
    uint32_t magic;
    uint32_t size; // bytes of the program behind the header, loaded at 0100h
};
inline constexpr uint32_t kCheckText = 0x02031000;
inline constexpr uint32_t kCheckTextSize = 0x2000;
struct Text {
    uint32_t length; // characters written so far (the buffer keeps the first kCheckTextSize)
    uint32_t ended;  // the program returned to CP/M
    char text[kCheckTextSize];
};

// A cartridge appended to the image instead: two machines run it side by side, one on each
// core, and the Z80's state is compared at every line boundary, the RAM after every frame.
inline constexpr uint32_t kCartridgeMagic = 0x4C4F4350; // "PCOL"
inline constexpr uint32_t kMaxPresses = 16;
struct Press {
    uint32_t first, last; // emulated frames, counted from 1
    uint32_t keys;        // GBA buttons (KEYINPUT order)
};
struct CartridgeHeader {
    uint32_t magic;
    uint32_t size; // bytes of the ROM behind the header
    uint32_t frames;
    uint32_t pressCount;
    Press presses[kMaxPresses];
};

struct Side {
    uint32_t count;
    uint32_t log[kLogSize];
};

struct Results {
    uint32_t marker;
    uint32_t cases;
    uint32_t failed;
    uint8_t code[4];
    int32_t budget;
    int32_t overArm;
    int32_t overPortable;
    uint32_t frame; // lockstep: the frame (from 1) and line of the first difference, or the
    uint32_t line;  // frames run; line 262 means the RAM after the frame
    rix::emu::Z80State before;
    rix::emu::Z80State afterArm;
    rix::emu::Z80State afterPortable;
    Side arm;
    Side portable;
};

} // namespace rix::check
