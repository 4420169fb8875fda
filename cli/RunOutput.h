// What rix-run writes: frames as PNG pictures and the sound as a WAV file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace rix::run {

// The backdrop border that --border adds on every side of the 256 x 192 picture.
inline constexpr int kBorder = 16;

// Writes one frame (256 x 192 palette indices, as Machine::RunFrame leaves them) as an 8-bit
// RGB PNG in the video chip's palette, with `border` pixels of the backdrop colour around it.
// Returns an error text, empty on success.
std::string WriteFramePng(const std::string& path, const std::uint8_t* picture,
                          std::uint8_t backdrop, int border);

// A 16-bit mono PCM WAV file written as the samples come; the sizes in its header are filled
// in by Finish.
class WavWriter {
public:
    static constexpr std::uint32_t kSampleRate = 44100;

    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Returns an error text, empty on success.
    std::string Open(const std::string& path);
    void Write(const std::int16_t* samples, std::size_t count);
    std::string Finish();

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    std::uint64_t samples_ = 0;
};

} // namespace rix::run
