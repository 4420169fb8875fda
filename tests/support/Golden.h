// Golden pictures: a test's picture compared with a committed PNG, rewritten instead when the
// test runs with RIX_UPDATE_GOLDENS=1 (look at the new PNG before committing it). Header-only so
// that it needs nothing beyond GoogleTest and the PNG helpers; the chip's pictures come in as
// palette indices.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/Vdp.h"
#include "support/Png.h"

namespace rix::test {

// 256 x 192 palette indices of the video chip in its RGB colours.
inline RgbImage ChipPicture(const std::vector<std::uint8_t>& indices) {
    RgbImage image;
    image.width = rix::emu::Vdp::kWidth;
    image.height = rix::emu::Vdp::kActiveLines;
    for (std::uint8_t index : indices) {
        const rix::emu::Rgb c = rix::emu::kVdpPaletteRgb[index & 15];
        image.rgb.insert(image.rgb.end(), {c.r, c.g, c.b});
    }
    return image;
}

// Compares `actual` with `goldenDir`/`name`.png; a mismatch is saved as
// `actualDir`/`name`.actual.png and named in the failure.
inline void CheckGolden(const std::string& goldenDir, const std::string& actualDir,
                        const std::string& name, const RgbImage& actual) {
    const std::string golden = goldenDir + "/" + name + ".png";
    if (std::getenv("RIX_UPDATE_GOLDENS") != nullptr) {
        ASSERT_TRUE(WritePng(golden, actual)) << golden;
        return;
    }
    RgbImage expected;
    ASSERT_TRUE(ReadPng(golden, expected))
        << golden << " is missing; run with RIX_UPDATE_GOLDENS=1 to create it";
    if (!(expected == actual)) {
        const std::string saved = actualDir + "/" + name + ".actual.png";
        WritePng(saved, actual);
        FAIL() << name << " differs from its golden; this run's frame is " << saved;
    }
}

} // namespace rix::test
