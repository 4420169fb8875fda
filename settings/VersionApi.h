// Version information as the program's own data: a standard VS_VERSIONINFO block (16-bit
// text, 32-bit alignment) and stand-ins for the three functions that read one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rix {

struct VersionStringTable {
    std::string key; // language + code page, e.g. "080904E4"
    std::vector<std::pair<std::string, std::string>> strings;
};

struct VersionInfoValues {
    std::uint16_t fileVersion[4] = {};
    std::uint16_t productVersion[4] = {};
    std::uint32_t fileFlags = 0;
    std::uint32_t fileOs = 0;
    std::uint32_t fileType = 0;
    std::vector<VersionStringTable> stringTables;
    bool hasTranslation = true;
    std::vector<std::uint32_t> translations; // low 16 bits language, high 16 bits code page
};

// The values of the program's own version information.
const VersionInfoValues& OwnVersionInfoValues();

// The version as the program shows it to people: the file version's first three parts
// ("0.9.7"); the fourth, the build, stays in the version information.
std::string ShownVersion(const VersionInfoValues& values);

// Lays out a VS_VERSIONINFO block of these values.
std::vector<std::uint8_t> MakeVersionInfoBlock(const VersionInfoValues& values);

// The program's own block, assembled once from OwnVersionInfoValues.
const std::vector<std::uint8_t>& OwnVersionInfoBlock();

// Size of the buffer GetFileVersionInfoA needs for `fileName`: the block plus room for the
// 8-bit copies of its strings; 0 when the file has no version information. The running
// program's own file has the built-in block; any other file has one when its content is a
// VS_VERSIONINFO block.
std::uint32_t GetFileVersionInfoSizeA(const std::string& fileName);
bool GetFileVersionInfoA(const std::string& fileName, std::uint32_t size, void* buffer);
// Looks `subBlock` up ("\", "\VarFileInfo\Translation", "\StringFileInfo\<key>\<name>"),
// names matching without regard to case. Strings come back as zero-terminated 8-bit text
// written into the buffer's spare room, with their length in characters including the zero.
bool VerQueryValueA(void* block, std::string_view subBlock, void** value, std::uint32_t* length);

} // namespace rix
