// PNG files for golden images and screenshots: 8-bit RGB, no alpha.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rix::test {

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb; // width * height * 3 bytes, rows top to bottom

    bool operator==(const RgbImage&) const = default;
};

// Writes `image` to `path`; returns false when the file cannot be written.
bool WritePng(const std::string& path, const RgbImage& image);

// Reads an 8-bit RGB or RGBA PNG (alpha dropped); returns false when the file is missing or
// not such a PNG.
bool ReadPng(const std::string& path, RgbImage& image);

// Repeats each pixel `factor` times in both directions (for screenshots people look at).
RgbImage Scale(const RgbImage& image, int factor);

} // namespace rix::test
