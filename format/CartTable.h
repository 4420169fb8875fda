// The table that the builder appends behind the emulator image, and that the GBA program
// reads back. One definition for both sides. Freestanding: <cstdint> only.
//
//   image (E bytes, E % 4 == 0)
//   header        16 bytes   u32 records offset (16), u32 ROM table offset (16 + 80n), 8 zero
//   records       80 bytes each
//   ROM table     8 bytes per ROM: u32 offset, u32 size           (only with ROMs)
//   terminator    8 zero bytes                                    (only with ROMs)
//   ROM data      back to back                                    (only with ROMs)
//
// Offsets count from the header's first byte; integers are little-endian.
#pragma once

#include <cstdint>

namespace rix::format {

inline constexpr std::uint32_t kHeaderSize = 16;
inline constexpr std::uint32_t kHeaderRecordsOffset = 0;  // u32, always kHeaderSize
inline constexpr std::uint32_t kHeaderRomTableOffset = 4; // u32, 16 + 80 * n

inline constexpr std::uint32_t kRecordSize = 80;
inline constexpr std::uint32_t kRecordCrc = 0;  // u32
inline constexpr std::uint32_t kRecordName = 4; // 47 bytes, space-filled
inline constexpr std::uint32_t kRecordNameLength = 47;
inline constexpr std::uint32_t kRecordCycleCount = 52; // s32
inline constexpr std::uint32_t kRecordCollision = 57;  // u8
inline constexpr std::uint32_t kRecordControls = 60;   // 6 x u16
inline constexpr std::uint32_t kRecordControlCount = 6;

// Slots in record order. Slots 5 and 6 hold the shoulder buttons; which one comes first
// depends on preset vs. custom controls on the builder side, never on the reader side.
enum ControlSlot : std::uint32_t {
    kSlotA = 0,
    kSlotB = 1,
    kSlotSelect = 2,
    kSlotStart = 3,
    kSlot5 = 4,
    kSlot6 = 5,
};

inline constexpr std::uint32_t kRomEntrySize = 8;
inline constexpr std::uint32_t kRomEntryOffset = 0; // u32, relative to the header
inline constexpr std::uint32_t kRomEntrySize32 = 4; // u32, bytes

// Control code bits.
inline constexpr std::uint16_t kControlKeypadMask = 0x000F;
inline constexpr std::uint16_t kControlFire2 = 0x0040;
inline constexpr std::uint16_t kControlFire1 = 0x4000;

// A GBA cartridge addresses at most 32 MiB.
inline constexpr std::uint32_t kCartridgeSpace = 32u * 1024u * 1024u;

constexpr std::uint32_t ReadU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
constexpr std::uint16_t ReadU16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | (p[1] << 8));
}
constexpr void WriteU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}
constexpr void WriteU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

} // namespace rix::format
