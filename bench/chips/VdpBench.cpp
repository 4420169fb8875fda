// Renders frames in each mode and prints lines per second, as a ratio against a straightforward
// per-pixel Graphics I renderer timed in the same run (and against the 11,520 lines per second
// a 60 Hz display needs). The GBA's ARM is far slower than this host; the ratios are what carry
// over.
#include "core/Vdp.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

using rix::emu::Vdp;
using Clock = std::chrono::steady_clock;

void SetRegister(Vdp& vdp, int index, uint8_t value) {
    vdp.WriteControl(value);
    vdp.WriteControl(static_cast<uint8_t>(0x80 | index));
}

// Busy tables everywhere: every name, pattern and colour byte non-trivial, and 32 sprites
// spread so most sprite lines carry four plus a fifth.
void Scene(Vdp& vdp, std::initializer_list<uint8_t> regs) {
    int i = 0;
    for (uint8_t r : regs) {
        SetRegister(vdp, i++, r);
    }
    vdp.WriteControl(0x00);
    vdp.WriteControl(0x40);
    for (unsigned a = 0; a < Vdp::kVramSize; ++a) {
        vdp.WriteData(static_cast<uint8_t>(a * 37 + (a >> 8) * 11 + 1));
    }
    const uint16_t sat = vdp.SpriteAttributeTable();
    vdp.WriteControl(static_cast<uint8_t>(sat & 0xFF));
    vdp.WriteControl(static_cast<uint8_t>(0x40 | sat >> 8));
    for (int s = 0; s < 32; ++s) {
        vdp.WriteData(static_cast<uint8_t>((s / 5) * 30 + (s % 5) * 2));
        vdp.WriteData(static_cast<uint8_t>(s * 7));
        vdp.WriteData(static_cast<uint8_t>(s * 4));
        vdp.WriteData(static_cast<uint8_t>(1 + s % 15));
    }
}

// The obvious renderer: everything recomputed per pixel. Graphics I, no sprites.
void PerPixelGraphics1(const Vdp& vdp, int line, uint8_t* out) {
    const uint8_t* vram = vdp.Vram();
    for (int x = 0; x < Vdp::kWidth; ++x) {
        const uint8_t name = vram[vdp.NameTable() + (line / 8) * 32 + x / 8];
        const uint8_t bits = vram[vdp.PatternTable() + name * 8 + line % 8];
        const uint8_t colour = vram[vdp.ColourTable() + name / 8];
        uint8_t c = (bits >> (7 - x % 8)) & 1 ? colour >> 4 : colour & 0x0F;
        out[x] = c ? c : vdp.Backdrop();
    }
}

template <typename Render> double LinesPerSecond(Render render) {
    uint8_t line[Vdp::kWidth];
    long lines = 0;
    unsigned sink = 0;
    const auto start = Clock::now();
    auto elapsed = Clock::duration{};
    do {
        for (int y = 0; y < Vdp::kActiveLines; ++y) {
            render(y, line);
            sink += line[y];
        }
        lines += Vdp::kActiveLines;
        elapsed = Clock::now() - start;
    } while (elapsed < std::chrono::milliseconds(400));
    if (sink == 1) {
        std::puts(""); // keeps the work from being optimised away
    }
    return lines / std::chrono::duration<double>(elapsed).count();
}

} // namespace

int main() {
    constexpr double kRealTime = 60.0 * Vdp::kActiveLines;
    Vdp vdp;
    Scene(vdp, {0x00, 0xC0, 0x06, 0x80, 0x00, 0x36, 0x07, 0x04});
    const double baseline =
        LinesPerSecond([&](int y, uint8_t* out) { PerPixelGraphics1(vdp, y, out); });
    std::printf("per-pixel Graphics I baseline: %.0f lines/s\n", baseline);

    struct Mode {
        const char* name;
        std::initializer_list<uint8_t> regs;
        bool sprites;
    };
    const Mode modes[] = {
        {"Graphics I, sprites 8x8", {0x00, 0xC0, 0x06, 0x80, 0x00, 0x36, 0x07, 0x04}, true},
        {"Graphics I, no sprites", {0x00, 0xC0, 0x06, 0x80, 0x00, 0x36, 0x07, 0x04}, false},
        {"Graphics II, sprites 16x16 magnified",
         {0x02, 0xC3, 0x0E, 0xFF, 0x03, 0x76, 0x03, 0x04},
         true},
        {"Multicolor, sprites 8x8", {0x00, 0xC8, 0x02, 0x00, 0x00, 0x20, 0x03, 0x04}, true},
        {"Text", {0x00, 0xD0, 0x02, 0x00, 0x02, 0x20, 0x00, 0xF4}, false},
    };
    for (const Mode& m : modes) {
        Vdp chip;
        Scene(chip, m.regs);
        if (!m.sprites) {
            const uint16_t sat = chip.SpriteAttributeTable();
            chip.WriteControl(static_cast<uint8_t>(sat & 0xFF));
            chip.WriteControl(static_cast<uint8_t>(0x40 | sat >> 8));
            chip.WriteData(208);
        }
        const double lps = LinesPerSecond([&](int y, uint8_t* out) { chip.ScanLine(y, out); });
        std::printf("%-38s %10.0f lines/s  %5.2fx baseline  %6.1fx real time\n", m.name, lps,
                    lps / baseline, lps / kRealTime);
    }
    return 0;
}
