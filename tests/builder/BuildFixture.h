// A recording front end for the build, a small stand-in emulator image and ROM files.
#pragma once

#include "builder/Build.h"
#include "settings/IniFile.h"

#include "support/TempDir.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace rix::test {

class RecordingHost : public BuildHost {
public:
    void ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) override;
    bool AskYesNo(std::string_view caption, std::string_view text, MessageIcon icon) override;
    void ProgressSetup(int minimum, int maximum, int step) override;
    void ProgressStep() override;
    void ProgressSetPosition(int position) override;

    std::vector<std::string> events;
    std::deque<bool> answers; // for AskYesNo, in order
    int steps = 0;
    std::function<void(int)> onStep; // called with the step count after each step
};

// 64 bytes standing in for the emulator image in layout tests.
std::span<const std::uint8_t> FakeImage();

// A ROM file of `size` bytes whose content depends on `seed`; returns its list row.
RomRow MakeRom(const TempDir& dir, const std::string& name, std::size_t size, int seed);

// Little-endian byte strings for expected images.
class Bytes {
public:
    Bytes& U32(std::uint32_t v);
    Bytes& U16(std::uint16_t v);
    Bytes& U8(std::uint8_t v);
    Bytes& Zeros(std::size_t n);
    Bytes& Text(const std::string& text);
    Bytes& Append(const std::vector<unsigned char>& bytes);
    // One 80-byte record.
    Bytes& Record(std::uint32_t crc, const std::string& name, std::int32_t cycles,
                  std::uint8_t collision, std::initializer_list<std::uint16_t> controls);
    const std::vector<unsigned char>& Get() const { return bytes_; }

private:
    std::vector<unsigned char> bytes_;
};

// The bytes of `path` behind the stand-in image (which must be unchanged at its head).
std::vector<unsigned char> AppendedPart(const std::string& path);

std::unique_ptr<TMemIniFile> Settings(const TempDir& dir, const std::string& text);

} // namespace rix::test
