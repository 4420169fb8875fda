// The bytes the builder appends behind the emulator image: table header, configuration
// records, ROM entries, terminator (format/CartTable.h has the layout).
#pragma once

#include "settings/IniFile.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rix {

using TableHeader = std::array<std::uint8_t, 16>;
using ConfigurationRecord = std::array<std::uint8_t, 80>;
using RomEntry = std::array<std::uint8_t, 8>;

// Whether a section yields a record: its "Filename" is not empty.
bool IsRomSection(const TCustomIniFile& ini, std::string_view section);

// The names of the sections that yield records, in document order (duplicates included).
std::vector<std::string> RomSections(const TCustomIniFile& ini);

TableHeader MakeTableHeader(std::uint32_t recordCount);

// The record of one ROM section. Fails with the conversion error for a "Cycle Count" or
// "Collision Detection" that is not an integer.
ConfigurationRecord MakeConfigurationRecord(const TCustomIniFile& ini, std::string_view section);

RomEntry MakeRomEntry(std::uint32_t relativeOffset, std::uint32_t size);

// Relative offset of the first ROM's data: behind header, records, entries and terminator.
std::uint64_t FirstRomOffset(std::uint64_t recordCount, std::uint64_t romCount);

// Size of a whole cartridge image.
std::uint64_t CartridgeSize(std::uint64_t imageSize, std::uint64_t recordCount,
                            const std::vector<std::uint64_t>& romSizes);

} // namespace rix
