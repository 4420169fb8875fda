// Cartridges for the GBA tests: the committed image with a table behind it, laid out as the
// builder lays it out. MakeCartridge is the one place that builds them, so tests can move to
// the real builder without changing what they check.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/CartTable.h"
#include "format/Controls.h"

namespace rix::test {

// Control codes for the keys the tests use.
inline constexpr std::uint16_t kFire1 = format::kControlFire1;
inline constexpr std::uint16_t kFire2 = format::kControlFire2;
inline constexpr std::uint16_t kKeypad1 = format::KeypadCode('1');
inline constexpr std::uint16_t kKeypad2 = format::KeypadCode('2');
inline constexpr std::uint16_t kKeypadStar = format::KeypadCode('*');
inline constexpr std::uint16_t kKeypadHash = format::KeypadCode('#');

// A ROM's configuration section, as the settings file holds it.
struct GameConfig {
    std::string name; // display name, at most 47 characters
    std::int32_t cycles = 0;
    std::uint8_t collision = 0;
    bool custom = false; // "Custom" controls rather than a preset
    // A, B, Select, Start, Back Left, Back Right.
    std::array<std::uint16_t, 6> controls{};
};

struct CartGame {
    std::vector<std::uint8_t> rom;
    std::optional<GameConfig> config; // absent: the ROM's section has no "Filename"
};

struct CartContents {
    std::vector<CartGame> games; // the ROM list, in order
    // Sections whose ROM is not in the list: records without a ROM.
    std::vector<std::pair<std::uint32_t, GameConfig>> otherRecords; // (ROM key, config)
};

// The 80-byte configuration record the builder writes for a ROM with CRC `crc` and `config`.
std::vector<std::uint8_t> MakeRecord(std::uint32_t crc, const GameConfig& config);

// The image followed by the table: one record per configured game (list order), then the other
// records, the ROM table and terminator and the ROM bytes when there are games.
std::vector<std::uint8_t> MakeCartridge(const std::vector<std::uint8_t>& image,
                                        const CartContents& contents);

// The committed image, resources/rix.gba.
const std::vector<std::uint8_t>& RixImage();

std::vector<std::uint8_t> ReadFile(const std::string& path);
std::uint32_t RomKey(const std::vector<std::uint8_t>& rom);
// A small ROM with a ColecoVision header (55 AA) whose bytes depend on `seed`.
std::vector<std::uint8_t> TestRom(std::uint32_t seed, std::size_t size = 64);

} // namespace rix::test
