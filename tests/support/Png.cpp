#include "support/Png.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace rix::test {

namespace {
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
} // namespace

bool WritePng(const std::string& path, const RgbImage& image) {
    if (image.width <= 0 || image.height <= 0 ||
        image.rgb.size() != std::size_t(image.width) * image.height * 3) {
        return false;
    }
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
        png_write_row(png, image.rgb.data() + std::size_t(y) * image.width * 3);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool ReadPng(const std::string& path, RgbImage& image) {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return false;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file.get());
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    const int width = int(png_get_image_width(png, info));
    const int height = int(png_get_image_height(png, info));
    if (png_get_rowbytes(png, info) != std::size_t(width) * 3) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    RgbImage out;
    out.width = width;
    out.height = height;
    out.rgb.resize(std::size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        png_read_row(png, out.rgb.data() + std::size_t(y) * width * 3, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    image = std::move(out);
    return true;
}

RgbImage Scale(const RgbImage& image, int factor) {
    RgbImage out;
    out.width = image.width * factor;
    out.height = image.height * factor;
    out.rgb.resize(std::size_t(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            const std::uint8_t* src =
                &image.rgb[(std::size_t(y / factor) * image.width + x / factor) * 3];
            std::uint8_t* dst = &out.rgb[(std::size_t(y) * out.width + x) * 3];
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    }
    return out;
}

} // namespace rix::test
