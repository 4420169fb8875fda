// What the Z80 benchmark image runs, and where it leaves its figures. Shared by the image
// (gba/bench/Main.cpp) and by the host programs that run it in the harness and repeat the same
// run on the host core, so that both sides agree on every byte and every cycle.
//
// Portable like gba/core: no heap, no C++ library beyond <cstdint>/<cstddef>.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/Machine.h"
#include "format/Crc32.h"

namespace rix::gba::bench {

// The results block: a fixed address near the end of EWRAM, far behind anything the image
// places there. The image writes the marker last, so a host that sees it reads whole figures.
inline constexpr std::uint32_t kResultsAddress = 0x0203FF00;
inline constexpr std::uint32_t kDoneMarker = 0x5A38304Bu;

struct Results {
    std::uint32_t marker;
    std::uint32_t timerOverhead;        // ARM cycles of starting and stopping the timers alone
    std::uint32_t z80Cycles;            // of the mix, run by the machine
    std::uint32_t armCycles;            // timer overhead already taken off
    std::uint32_t digest;               // MixDigest after the run
    std::uint32_t vdpLines;             // lines timed in each of the video runs
    std::uint32_t vdpDrawCycles;        // ScanLine(line, buffer) over vdpLines lines, with sprites
    std::uint32_t vdpStatusCycles;      // ScanLine(line, nullptr), with sprites
    std::uint32_t vdpPlainCycles;       // ScanLine(line, buffer) without sprites
    std::uint32_t vdpFrameStatusCycles; // the status of the frame's lines in one go at line 192
    std::uint32_t cpuZ80Cycles;         // the same mix, RunLines with nothing behind the lines
    std::uint32_t cpuArmCycles;
};

// The machine's frame: 262 lines of 228 Z80 cycles, each run as one Run call followed by the
// video chip's line and the sound chip's clocks.
inline constexpr int kLineCycles = 228;
inline constexpr int kFrameLines = 262;
inline constexpr int kFrames = 10;

// The instruction mix: a game's object loop. Eight 4-byte records (y, x, dy, tile) move
// through IX, each drawn by a subroutine that stores into a RAM table and writes the video
// chip's data port; then a block copy, a 16-bit counter, a BCD score and a sound-chip write.
// It is the machine's cartridge, run from 8000h (from a copy in the video memory a game's picture
// leaves free, as the cartridge program runs cartridges of 32 KiB or less), with the
// console's RAM at 6000h-63FFh, mirrored up to 7FFFh. It has no header: the benchmark starts it
// directly instead of through the BIOS.
inline constexpr std::uint16_t kMixOrigin = 0x8000;

inline constexpr std::uint8_t kMixCode[] = {
    0x31, 0x00, 0x64,       // 8000 start:    ld sp,6400h
    0xFD, 0x21, 0x00, 0x63, // 8003           ld iy,6300h
    0x21, 0x00, 0x61,       // 8007           ld hl,6100h
    0x06, 0x20,             // 800A           ld b,32
    0x70,                   // 800C init:     ld (hl),b
    0x23,                   // 800D           inc hl
    0x10, 0xFC,             // 800E           djnz init
    0xDD, 0x21, 0x00, 0x61, // 8010 outer:    ld ix,6100h
    0x06, 0x08,             // 8014           ld b,8
    0xDD, 0x7E, 0x00,       // 8016 objects:  ld a,(ix+0)
    0xDD, 0x86, 0x02,       // 8019           add a,(ix+2)
    0xDD, 0x77, 0x00,       // 801C           ld (ix+0),a
    0xFE, 0xC0,             // 801F           cp 0C0h
    0x38, 0x04,             // 8021           jr c,onscreen
    0xAF,                   // 8023           xor a
    0xDD, 0x77, 0x00,       // 8024           ld (ix+0),a
    0xDD, 0x34, 0x01,       // 8027 onscreen: inc (ix+1)
    0xCD, 0x5B, 0x80,       // 802A           call draw
    0x11, 0x04, 0x00,       // 802D           ld de,4
    0xDD, 0x19,             // 8030           add ix,de
    0x10, 0xE2,             // 8032           djnz objects
    0x21, 0x00, 0x61,       // 8034           ld hl,6100h
    0x11, 0x80, 0x61,       // 8037           ld de,6180h
    0x01, 0x10, 0x00,       // 803A           ld bc,16
    0xED, 0xB0,             // 803D           ldir
    0x2A, 0x10, 0x60,       // 803F           ld hl,(6010h)
    0x23,                   // 8042           inc hl
    0x22, 0x10, 0x60,       // 8043           ld (6010h),hl
    0x3A, 0x12, 0x60,       // 8046           ld a,(6012h)
    0xC6, 0x01,             // 8049           add a,1
    0x27,                   // 804B           daa
    0x32, 0x12, 0x60,       // 804C           ld (6012h),a
    0xE6, 0x0F,             // 804F           and 0Fh
    0xF6, 0x90,             // 8051           or 90h
    0xD3, 0xFF,             // 8053           out (0FFh),a
    0xFD, 0x34, 0x00,       // 8055           inc (iy+0)
    0xC3, 0x10, 0x80,       // 8058           jp outer
    0xC5,                   // 805B draw:     push bc
    0xE5,                   // 805C           push hl
    0x4F,                   // 805D           ld c,a
    0x21, 0x00, 0x60,       // 805E           ld hl,6000h
    0x78,                   // 8061           ld a,b
    0xE6, 0x07,             // 8062           and 7
    0x87,                   // 8064           add a,a
    0x5F,                   // 8065           ld e,a
    0x16, 0x00,             // 8066           ld d,0
    0x19,                   // 8068           add hl,de
    0x71,                   // 8069           ld (hl),c
    0x23,                   // 806A           inc hl
    0xDD, 0x7E, 0x03,       // 806B           ld a,(ix+3)
    0x77,                   // 806E           ld (hl),a
    0x79,                   // 806F           ld a,c
    0xD3, 0xBE,             // 8070           out (0BEh),a
    0xCB, 0x79,             // 8072           bit 7,c
    0x28, 0x02,             // 8074           jr z,low
    0xCB, 0x3F,             // 8076           srl a
    0xB6,                   // 8078 low:      or (hl)
    0x32, 0x20, 0x60,       // 8079           ld (6020h),a
    0xE1,                   // 807C           pop hl
    0xC1,                   // 807D           pop bc
    0xC9,                   // 807E           ret
};

// The cartridge page the mix runs from: whole pages, as the CPU maps them.
struct alignas(4) MixPage {
    std::uint8_t bytes[rix::emu::kZ80PageSize];
};
constexpr MixPage MakeMixPage() {
    MixPage page{};
    for (std::size_t i = 0; i < sizeof kMixCode; ++i) {
        page.bytes[i] = kMixCode[i];
    }
    return page;
}
inline constexpr MixPage kMixPage = MakeMixPage();
static_assert(sizeof kMixCode <= sizeof kMixPage.bytes);

// A freshly loaded machine with the mix as its cartridge, at the mix's first instruction. The
// GBA image passes a copy in video memory, where the cartridge program runs small cartridges from.
inline void PrepareMix(rix::emu::Machine& machine, const std::uint8_t* page = kMixPage.bytes) {
    rix::emu::MachineConfig config;
    config.rom = page;
    config.romSize = sizeof kMixPage.bytes;
    machine.Load(config);
    // As the GBA layer runs it: the sound chip's registers are played by the GBA's own
    // channels, so its counters are not clocked.
    machine.SetSoundClocked(false);
    rix::emu::Z80State state = machine.Cpu().State();
    state.pc = kMixOrigin;
    machine.Cpu().SetState(state);
}

// The timed part: kFrames frames of the machine, nothing drawn.
// The CPU alone on the same lines, as the machine runs them (RunLines, in the blocks of a frame
// drawn whole) but with nothing done behind them: what the Z80 core costs without the
// machine's work.
inline void NothingBehindTheLines(void*) {}
inline void RunMixCpuOnly(rix::emu::Machine& machine) {
    int overrun = 0;
    for (int frame = 0; frame < kFrames; ++frame) {
        for (const int lines : rix::emu::Machine::kLineBlocks) {
            overrun = machine.Cpu().RunLines(1, lines * kLineCycles, overrun, NothingBehindTheLines,
                                             nullptr);
        }
    }
}

inline void RunMix(rix::emu::Machine& machine) {
    for (int frame = 0; frame < kFrames; ++frame) {
        machine.RunFrame(nullptr);
    }
}

// CRC-32 over the registers, the cycle count, the RAM and the video chip's memory: equal on
// the GBA and on the host when the core compiled for each computes the same.
inline std::uint32_t MixDigest(const rix::emu::Machine& machine) {
    const rix::emu::Z80State& s = machine.Cpu().State();
    const std::uint8_t registers[] = {
        s.a,
        s.f,
        s.b,
        s.c,
        s.d,
        s.e,
        s.h,
        s.l,
        s.a2,
        s.f2,
        s.b2,
        s.c2,
        s.d2,
        s.e2,
        s.h2,
        s.l2,
        std::uint8_t(s.ix),
        std::uint8_t(s.ix >> 8),
        std::uint8_t(s.iy),
        std::uint8_t(s.iy >> 8),
        std::uint8_t(s.sp),
        std::uint8_t(s.sp >> 8),
        std::uint8_t(s.pc),
        std::uint8_t(s.pc >> 8),
        std::uint8_t(s.wz),
        std::uint8_t(s.wz >> 8),
        s.i,
        s.r,
        s.im,
        std::uint8_t(s.iff1 | s.iff2 << 1 | s.halted << 2),
        std::uint8_t(s.cycles),
        std::uint8_t(s.cycles >> 8),
        std::uint8_t(s.cycles >> 16),
        std::uint8_t(s.cycles >> 24),
    };
    std::uint32_t crc = rix::format::kCrc32Preset;
    crc = rix::format::Crc32Update(crc, registers, sizeof registers);
    crc = rix::format::Crc32Update(crc, machine.Ram(), rix::emu::Machine::kRamSize);
    crc = rix::format::Crc32Update(crc, machine.Video().Vram(), rix::emu::Vdp::kVramSize);
    return rix::format::Crc32Finish(crc);
}

// The whole run, as a host repeats it; returns the digest.
inline std::uint32_t RunMixOnce(rix::emu::Machine& machine) {
    PrepareMix(machine);
    RunMix(machine);
    return MixDigest(machine);
}

} // namespace rix::gba::bench
