#include "cli/RunOutput.h"

#include "core/Vdp.h"

#include <png.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace rix::run {

namespace {

void PutU16(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
void PutU32(std::uint8_t* p, std::uint32_t v) {
    PutU16(p, v);
    PutU16(p + 2, v >> 16);
}

constexpr std::size_t kWavHeaderSize = 44;

// The canonical 44-byte header of a PCM file holding `samples` 16-bit mono samples.
void WavHeader(std::uint8_t* h, std::uint64_t samples) {
    const auto data = std::uint32_t(samples * 2);
    std::memcpy(h, "RIFF", 4);
    PutU32(h + 4, std::uint32_t(kWavHeaderSize - 8) + data);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutU32(h + 16, 16); // format chunk size
    PutU16(h + 20, 1);  // PCM
    PutU16(h + 22, 1);  // mono
    PutU32(h + 24, WavWriter::kSampleRate);
    PutU32(h + 28, WavWriter::kSampleRate * 2); // bytes per second
    PutU16(h + 32, 2);                          // bytes per sample frame
    PutU16(h + 34, 16);                         // bits per sample
    std::memcpy(h + 36, "data", 4);
    PutU32(h + 40, data);
}

std::string CannotWrite(const std::string& path, const char* why) {
    return "cannot write " + path + ": " + why;
}

} // namespace

std::string WriteFramePng(const std::string& path, const std::uint8_t* picture,
                          std::uint8_t backdrop, int border) {
    constexpr int kWidth = emu::Vdp::kWidth;
    constexpr int kHeight = emu::Vdp::kActiveLines;
    const int width = kWidth + 2 * border;
    const int height = kHeight + 2 * border;
    std::vector<std::uint8_t> rgb(std::size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int px = x - border;
            const int py = y - border;
            const bool inside = px >= 0 && px < kWidth && py >= 0 && py < kHeight;
            const std::uint8_t index = inside ? picture[py * kWidth + px] : backdrop;
            const emu::Rgb colour = emu::kVdpPaletteRgb[index & 0x0F];
            std::uint8_t* out = &rgb[(std::size_t(y) * width + x) * 3];
            out[0] = colour.r;
            out[1] = colour.g;
            out[2] = colour.b;
        }
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    errno = 0;
    if (png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) == 0) {
        const std::string why = errno != 0 ? std::strerror(errno) : image.message;
        png_image_free(&image);
        return CannotWrite(path, why.c_str());
    }
    return {};
}

WavWriter::~WavWriter() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

std::string WavWriter::Open(const std::string& path) {
    path_ = path;
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        return CannotWrite(path, std::strerror(errno));
    }
    std::uint8_t header[kWavHeaderSize];
    WavHeader(header, 0);
    std::fwrite(header, 1, sizeof header, file_);
    return {};
}

void WavWriter::Write(const std::int16_t* samples, std::size_t count) {
    std::uint8_t bytes[2 * 1024];
    while (count != 0) {
        const std::size_t n = count < sizeof bytes / 2 ? count : sizeof bytes / 2;
        for (std::size_t i = 0; i < n; ++i) {
            PutU16(bytes + 2 * i, std::uint16_t(samples[i]));
        }
        std::fwrite(bytes, 2, n, file_);
        samples += n;
        count -= n;
        samples_ += n;
    }
}

std::string WavWriter::Finish() {
    std::uint8_t header[kWavHeaderSize];
    WavHeader(header, samples_);
    errno = 0;
    bool ok = std::fseek(file_, 0, SEEK_SET) == 0 &&
              std::fwrite(header, 1, sizeof header, file_) == sizeof header;
    ok = std::ferror(file_) == 0 && ok;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (!ok) {
        return CannotWrite(path_, errno != 0 ? std::strerror(errno) : "write error");
    }
    return {};
}

} // namespace rix::run
