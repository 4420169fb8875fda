// GBA registers and memory regions the program touches, named as the hardware names them.
#pragma once

#include <cstdint>

#include "core/GbaKeys.h"

namespace rix::gba::hw {

template <typename T> inline volatile T& Reg(std::uintptr_t address) {
    return *reinterpret_cast<volatile T*>(address);
}

inline constexpr std::uintptr_t kDispcnt = 0x04000000;  // u16
inline constexpr std::uintptr_t kDispstat = 0x04000004; // u16
inline constexpr std::uintptr_t kVcount = 0x04000006;   // u16
inline constexpr std::uintptr_t kBg0cnt = 0x04000008;   // u16
inline constexpr std::uintptr_t kBg0hofs = 0x04000010;  // u16, write-only
inline constexpr std::uintptr_t kBg0vofs = 0x04000012;  // u16, write-only
inline constexpr std::uintptr_t kDma0sad = 0x040000B0;  // u32: internal memory only
inline constexpr std::uintptr_t kDma0dad = 0x040000B4;  // u32
inline constexpr std::uintptr_t kDma0cnt = 0x040000B8;  // u32: count low, control high
inline constexpr std::uintptr_t kDma3sad = 0x040000D4;  // u32
inline constexpr std::uintptr_t kDma3dad = 0x040000D8;  // u32
inline constexpr std::uintptr_t kDma3cnt = 0x040000DC;  // u32: count low, control high
inline constexpr std::uintptr_t kTm0cntL = 0x04000100;  // u16: counter (read), reload (write)
inline constexpr std::uintptr_t kTm0cntH = 0x04000102;  // u16
inline constexpr std::uintptr_t kTm1cntL = 0x04000104;  // u16
inline constexpr std::uintptr_t kTm1cntH = 0x04000106;  // u16
inline constexpr std::uintptr_t kKeyinput = 0x04000130; // u16, 0 = pressed
inline constexpr std::uintptr_t kIe = 0x04000200;       // u16
inline constexpr std::uintptr_t kWaitcnt = 0x04000204;  // u16
inline constexpr std::uintptr_t kIme = 0x04000208;      // u16

// Sound (the four PSG channels; Direct Sound is not used).
inline constexpr std::uintptr_t kSound1cntL = 0x04000060; // u16: sweep
inline constexpr std::uintptr_t kSound1cntH = 0x04000062; // u16: duty, envelope
inline constexpr std::uintptr_t kSound1cntX = 0x04000064; // u16: rate, restart
inline constexpr std::uintptr_t kSound2cntL = 0x04000068; // u16: duty, envelope
inline constexpr std::uintptr_t kSound2cntH = 0x0400006C; // u16: rate, restart
inline constexpr std::uintptr_t kSound3cntL = 0x04000070; // u16: wave RAM bank, channel on
inline constexpr std::uintptr_t kSound3cntH = 0x04000072; // u16: volume
inline constexpr std::uintptr_t kSound3cntX = 0x04000074; // u16: rate, restart
inline constexpr std::uintptr_t kSound4cntL = 0x04000078; // u16: envelope
inline constexpr std::uintptr_t kSound4cntH = 0x0400007C; // u16: divider, width, shift, restart
inline constexpr std::uintptr_t kSoundcntL = 0x04000080;  // u16: PSG master volumes, enables
inline constexpr std::uintptr_t kSoundcntH = 0x04000082;  // u16: PSG share, Direct Sound
inline constexpr std::uintptr_t kSoundcntX = 0x04000084;  // u16: master enable
inline constexpr std::uintptr_t kWaveRam = 0x04000090;    // 16 bytes: the bank not played

inline constexpr std::uint16_t kDispcntMode0 = 0x0000;
inline constexpr std::uint16_t kDispcntForcedBlank = 0x0080;
inline constexpr std::uint16_t kDispcntObj1d = 0x0040; // object tiles numbered in one row
inline constexpr std::uint16_t kDispcntBg0 = 0x0100;
inline constexpr std::uint16_t kDispcntObj = 0x1000;
inline constexpr std::uint16_t kDispstatVblankIrq = 0x0008;
inline constexpr std::uint16_t kIrqVblank = 0x0001;

// BGxCNT: character base block in bits 2-3, screen base block in bits 8-12; 4bpp, 256x256.
constexpr std::uint16_t BgControl(unsigned charBlock, unsigned screenBlock) {
    return std::uint16_t((charBlock << 2) | (screenBlock << 8));
}

// TMxCNT_H: enable; count-up (cascade) ticks when the timer below overflows. Prescaler bits
// 0-1 left 0: one tick per system clock (16.78 MHz).
inline constexpr std::uint16_t kTimerEnable = 0x0080;
inline constexpr std::uint16_t kTimerCascade = 0x0004;

// Sound register bits.
inline constexpr std::uint16_t kSoundMasterOn = 0x0080; // SOUNDCNT_X
inline constexpr std::uint16_t kSoundPsgFull = 0x0002;  // SOUNDCNT_H: PSG at 100%
inline constexpr std::uint16_t kSoundRestart = 0x8000;  // SOUNDxCNT_X / SOUND4CNT_H
inline constexpr std::uint16_t kSoundDuty50 = 0x0080;   // SOUND1CNT_H / SOUND2CNT_L
inline constexpr std::uint16_t kWaveBank1 = 0x0040;     // SOUND3CNT_L: bank 1 plays
inline constexpr std::uint16_t kWaveOn = 0x0080;        // SOUND3CNT_L
inline constexpr std::uint16_t kWaveFull = 0x2000;      // SOUND3CNT_H: 100%

// DMA control (high half of DMAxCNT): 32-bit units, start now, enable.
inline constexpr std::uint32_t kDmaEnable32 = (1u << 31) | (1u << 26);
// One 16-bit unit at the start of each visible line's horizontal blank, to a fixed destination
// from an advancing source, again on every line (repeat).
inline constexpr std::uint32_t kDmaHblankRepeat16 =
    (1u << 31) | (2u << 28) | (1u << 25) | (2u << 21);

// WAITCNT: ROM wait states 3 (first) and 1 (sequential) with the prefetch buffer, which is what
// every cartridge's ROM supports; the power-on default (4 and 2, no prefetch) is slower.
inline constexpr std::uint16_t kWaitcntFastRom = 0x4317;

inline constexpr std::uintptr_t kPaletteBg = 0x05000000;
inline constexpr std::uintptr_t kPaletteObj = 0x05000200;
inline constexpr std::uintptr_t kVram = 0x06000000;
inline constexpr std::uintptr_t kVramObj = 0x06010000; // object tiles in modes 0-2
inline constexpr std::uintptr_t kOam = 0x07000000;     // 128 x 8 bytes
inline constexpr std::uintptr_t kCharBlockSize = 0x4000;
inline constexpr std::uintptr_t kScreenBlockSize = 0x800;
inline constexpr std::uintptr_t kRom = 0x08000000;

// KEYINPUT bits (core/GbaKeys.h, which the machine's front ends use too).
inline constexpr std::uint16_t kKeyA = emu::kGbaA;
inline constexpr std::uint16_t kKeyB = emu::kGbaB;
inline constexpr std::uint16_t kKeySelect = emu::kGbaSelect;
inline constexpr std::uint16_t kKeyStart = emu::kGbaStart;
inline constexpr std::uint16_t kKeyRight = emu::kGbaRight;
inline constexpr std::uint16_t kKeyLeft = emu::kGbaLeft;
inline constexpr std::uint16_t kKeyUp = emu::kGbaUp;
inline constexpr std::uint16_t kKeyDown = emu::kGbaDown;
inline constexpr std::uint16_t kKeyR = emu::kGbaR;
inline constexpr std::uint16_t kKeyL = emu::kGbaL;
inline constexpr std::uint16_t kKeyMask = 0x03FF;

// TM0 counting system clocks and TM1 its overflows, both from 0: a 32-bit count of ARM cycles.
inline void StartCycleCount() {
    Reg<std::uint16_t>(kTm0cntH) = 0;
    Reg<std::uint16_t>(kTm1cntH) = 0;
    Reg<std::uint16_t>(kTm0cntL) = 0;
    Reg<std::uint16_t>(kTm1cntL) = 0;
    Reg<std::uint16_t>(kTm1cntH) = kTimerEnable | kTimerCascade;
    Reg<std::uint16_t>(kTm0cntH) = kTimerEnable;
}

} // namespace rix::gba::hw
