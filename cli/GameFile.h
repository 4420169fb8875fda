// The game rix-run runs: a bare ColecoVision ROM file, or one game of a Rix cartridge read as
// the GBA program reads it (the same table reader and catalog), with the configuration the GBA
// program would give it.
#pragma once

#include "core/Machine.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace rix::run {

// An error about the files: its text names the file, without the program's name.
class RunError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct GameFile {
    GameFile() = default;
    GameFile(GameFile&&) = default;
    GameFile& operator=(GameFile&&) = default;
    GameFile(const GameFile&) = delete; // `config` points into `bytes`
    GameFile& operator=(const GameFile&) = delete;

    std::vector<std::uint8_t> bytes; // the file; a cartridge fills the 32 MiB cartridge space
    emu::MachineConfig config;       // ROM and BIOS point into `bytes`; null BIOS: our own
    bool cartridge = false;
    std::uint32_t game = 1;  // 1-based, as the GBA menu numbers the games
    std::uint32_t games = 1; // games on the cartridge, without the BIOS
    std::uint32_t crc = 0;   // the ROM's CRC-32, its ROM key
    bool hasRecord = false;
    std::string name; // the record's name without its padding
    bool cartridgeBios = false;
};

// Reads `path` and picks game `game` (1-based; a bare ROM has only game 1). Throws RunError.
GameFile LoadGame(const std::string& path, std::uint32_t game);

// Reads a BIOS file of emu::kBiosSize bytes. Throws RunError.
std::vector<std::uint8_t> LoadBios(const std::string& path);

// Whether `rom` looks like a ColecoVision cartridge: 1 byte to 1 MiB, with 55 AA or AA 55 where
// the console finds its header at 0x8000 (the first bytes, or the last 16 KiB bank's of a
// MegaCart).
bool IsPlausibleRom(const std::uint8_t* rom, std::size_t size);

} // namespace rix::run
