// A port that streams bytes into a memory: each write stores the byte at the port's address,
// marks the 8-byte block it lies in, keeps the byte as the port's last, ends any half-written
// word another port of the chip was waiting to complete, and advances the address. The video
// chip's data port is one. The CPU is wired to it directly (Z80::SetStreamPort), so that the
// most frequent port write of a game takes no call on the GBA; Write is the one definition of
// what a write does, and Z80Arm.s does the same (its layout is checked in Z80.cpp).
//
// Portable like the chips: no heap, no exceptions, no RTTI.
#pragma once

#include <stdint.h>

namespace rix::emu {

// What changes with each write; the chip keeps it.
struct StreamPortState {
    uint16_t address = 0;
    uint8_t last = 0;     // the byte last written (the chip's read-ahead buffer)
    bool pending = false; // a half-written word on another port; a write here abandons it
};

// Where the writes go: the chip's state and memory, and the map of changed blocks (bit n of
// marks[k] stands for block 8k + n).
struct StreamPort {
    StreamPortState* state = nullptr;
    uint8_t* memory = nullptr;
    uint8_t* marks = nullptr;
    uint32_t addressMask = 0; // the memory's size less one, a power of two (a word: ARM core)

    static constexpr unsigned kBlockSize = 8;

    void Write(uint8_t value) const {
        StreamPortState& s = *state;
        s.pending = false;
        memory[s.address] = value;
        const unsigned block = s.address / kBlockSize;
        marks[block >> 3] |= static_cast<uint8_t>(1u << (block & 7));
        s.last = value;
        s.address = static_cast<uint16_t>((s.address + 1) & addressMask);
    }
};

} // namespace rix::emu
