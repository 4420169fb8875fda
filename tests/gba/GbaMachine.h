// A headless GBA on Debian's libmgba: load a cartridge image, run frames, hold keys, read
// memory, the CPU's program counter and the 240 x 160 screen, and read the screen's text back
// with the image's own font.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/Hardware.h"
#include "support/Png.h"

struct mCore;

namespace rix::test {

// KEYINPUT bits, as the core's setKeys takes them: the GBA program's own names.
enum GbaKey : std::uint16_t {
    kKeyA = gba::hw::kKeyA,
    kKeyB = gba::hw::kKeyB,
    kKeySelect = gba::hw::kKeySelect,
    kKeyStart = gba::hw::kKeyStart,
    kKeyRight = gba::hw::kKeyRight,
    kKeyLeft = gba::hw::kKeyLeft,
    kKeyUp = gba::hw::kKeyUp,
    kKeyDown = gba::hw::kKeyDown,
    kKeyR = gba::hw::kKeyR,
    kKeyL = gba::hw::kKeyL,
};

inline constexpr int kGbaWidth = 240;
inline constexpr int kGbaHeight = 160;
inline constexpr int kAudioRate = 32768; // the GBA mixes its sound at this rate by default

class GbaMachine {
public:
    // Boots `cartridge` (copied; the core reads it in place) without a BIOS file.
    explicit GbaMachine(std::vector<std::uint8_t> cartridge);
    ~GbaMachine();
    GbaMachine(const GbaMachine&) = delete;
    GbaMachine& operator=(const GbaMachine&) = delete;

    void RunFrames(int count);
    // Runs frames until `done` holds, at most `maxFrames`; returns the frames run, or -1.
    int RunUntil(const std::function<bool()>& done, int maxFrames);
    void SetKeys(std::uint16_t keys);
    // Holds `keys` for two frames, releases them and runs `settle` frames more: one key event,
    // and time for the program to draw and show its answer.
    void Tap(std::uint16_t keys, int settle = 4);

    std::uint8_t Read8(std::uint32_t address);
    std::uint32_t Read32(std::uint32_t address);
    // Writes as the CPU would (between frames): how a test talks to the program's test port.
    void Write32(std::uint32_t address, std::uint32_t value);
    std::uint32_t Pc() const;
    int Frames() const { return frames_; }

    RgbImage Screen() const;
    // The 20 text rows of the screen (6 x 8 pixel cells), trailing spaces removed; a cell that
    // holds no glyph of the font reads as '\x7f'.
    std::vector<std::string> Text() const;

    // Keeps the sound of the frames run from now on (off at first: long runs need none of it).
    void CaptureAudio(bool on);
    // The sound kept since capturing started or the last call: mono (the mean of both sides),
    // 16-bit, at kAudioRate Hz.
    std::vector<std::int16_t> TakeAudio();

    // The core's error-level messages (bad memory accesses, jumps to unmapped memory...).
    const std::vector<std::string>& Errors() const { return errors_; }

private:
    std::vector<std::uint8_t> cartridge_;
    std::vector<std::uint32_t> video_;
    mCore* core_ = nullptr;
    int frames_ = 0;
    std::vector<std::string> errors_;
    bool captureAudio_ = false;
    std::vector<std::int16_t> audio_;
};

// Reads the text of a 240 x 160 screen laid out in the image's 40 x 20 cell grid.
std::vector<std::string> ReadScreenText(const RgbImage& screen);

} // namespace rix::test
