#include "Video.h"

#include "Font.h"
#include "Hardware.h"
#include "Platform.h"

namespace rix::gba {

namespace {

constexpr int kScreenBlock = 31;
constexpr unsigned kCanvasCharBlock[2] = {0, 2};
constexpr int kTilesPerRow = 30;
constexpr int kWordsPerTile = 8; // 8 rows of 8 four-bit pixels
constexpr int kRowWords = kTilesPerRow * kWordsPerTile;

constexpr std::uint16_t Rgb(unsigned r, unsigned g, unsigned b) {
    return std::uint16_t((r >> 3) | ((g >> 3) << 5) | ((b >> 3) << 10));
}

// Indexed by Ink and Paper.
constexpr std::uint16_t kPalette[7] = {
    Rgb(16, 24, 48),    // paper: plain
    Rgb(232, 232, 232), // ink: text
    Rgb(136, 144, 168), // ink: dim
    Rgb(248, 216, 80),  // ink: accent
    Rgb(40, 72, 136),   // paper: title bar
    Rgb(64, 112, 200),  // paper: selected row
    Rgb(168, 40, 40),   // paper: error title
};

// Five glyph pixels as a mask of four-bit pixels (leftmost pixel in the lowest nibble).
constexpr std::uint32_t NibbleMask(unsigned bits) {
    std::uint32_t mask = 0;
    for (unsigned x = 0; x < 5; ++x) {
        if ((bits >> x) & 1u) {
            mask |= 0xFu << (4 * x);
        }
    }
    return mask;
}

struct NibbleTable {
    std::uint32_t masks[32];
};
constexpr NibbleTable MakeNibbleTable() {
    NibbleTable table{};
    for (unsigned b = 0; b < 32; ++b) {
        table.masks[b] = NibbleMask(b);
    }
    return table;
}
RIX_IWRAM_RODATA const NibbleTable kNibbles = MakeNibbleTable();

RIX_IWRAM_DATA std::uint32_t gRowBuffer[kRowWords];

// Paints one text row into `out`, 30 tiles laid out as in VRAM.
RIX_IWRAM_CODE void ComposeRow(const TextRow& row, std::uint32_t* out);
void ComposeRow(const TextRow& row, std::uint32_t* out) {
    const std::uint32_t paper = row.paper * 0x11111111u;
    for (int i = 0; i < kRowWords; ++i) {
        out[i] = paper;
    }
    for (int c = 0; c < kColumns; ++c) {
        const int ch = row.text[c];
        if (ch <= kFirstGlyph || ch >= kFirstGlyph + kGlyphCount) {
            continue;
        }
        const std::uint8_t* glyph = kFont.rows[ch - kFirstGlyph];
        const std::uint32_t ink = row.ink[c] * 0x11111111u;
        const int x = c * kCellWidth;
        std::uint32_t* tile = out + (x >> 3) * kWordsPerTile;
        const int shift = (x & 7) * 4;
        for (int r = 0; r < kGlyphHeight; ++r) {
            const std::uint32_t bits = kNibbles.masks[glyph[r] & 31u];
            const std::uint32_t low = bits << shift;
            tile[r] = (tile[r] & ~low) | (ink & low);
            if (shift > 12) { // the glyph reaches into the next tile
                const std::uint32_t high = bits >> (32 - shift);
                tile[kWordsPerTile + r] = (tile[kWordsPerTile + r] & ~high) | (ink & high);
            }
        }
    }
}

std::uintptr_t CanvasRow(int canvas, int row) {
    return hw::kVram + kCanvasCharBlock[canvas] * hw::kCharBlockSize +
           std::uintptr_t(row) * kRowWords * 4;
}

void Dma32(const void* source, std::uintptr_t destination, std::uint32_t words) {
    hw::Reg<std::uint32_t>(hw::kDma3sad) = reinterpret_cast<std::uintptr_t>(source);
    hw::Reg<std::uint32_t>(hw::kDma3dad) = destination;
    hw::Reg<std::uint32_t>(hw::kDma3cnt) = words | hw::kDmaEnable32;
}

} // namespace

void Video::Init() {
    hw::Reg<std::uint16_t>(hw::kDispcnt) = hw::kDispcntForcedBlank;
    for (unsigned i = 0; i < 7; ++i) {
        hw::Reg<std::uint16_t>(hw::kPaletteBg + 2 * i) = kPalette[i];
    }
    // Both canvases blank (paper 0), as held_ says after Clear.
    for (int i = 0; i < kRowWords; ++i) {
        gRowBuffer[i] = 0;
    }
    for (int canvas = 0; canvas < 2; ++canvas) {
        held_[canvas].Clear();
        for (int row = 0; row < kRows; ++row) {
            Dma32(gRowBuffer, CanvasRow(canvas, row), kRowWords);
        }
    }
    // The map numbers the tiles row by row; the 2 columns and 12 rows off screen repeat tile 0.
    const std::uintptr_t map = hw::kVram + kScreenBlock * hw::kScreenBlockSize;
    for (int row = 0; row < 32; ++row) {
        for (int col = 0; col < 32; ++col) {
            const bool shown = row < kRows && col < kTilesPerRow;
            hw::Reg<std::uint16_t>(map + 2 * (row * 32 + col)) =
                std::uint16_t(shown ? row * kTilesPerRow + col : 0);
        }
    }
    front_ = 0;
    drawn_ = false;
    hw::Reg<std::uint16_t>(hw::kBg0cnt) = hw::BgControl(kCanvasCharBlock[front_], kScreenBlock);
    hw::Reg<std::uint16_t>(hw::kDispcnt) = hw::kDispcntMode0 | hw::kDispcntBg0;
}

void Video::Draw(const TextScreen& screen) {
    const int back = 1 - front_;
    for (int row = 0; row < kRows; ++row) {
        if (SameRow(held_[back].rows[row], screen.rows[row])) {
            continue;
        }
        ComposeRow(screen.rows[row], gRowBuffer);
        Dma32(gRowBuffer, CanvasRow(back, row), kRowWords);
        held_[back].rows[row] = screen.rows[row];
        drawn_ = true;
    }
}

void Video::Flip() {
    if (!drawn_) {
        return;
    }
    front_ = 1 - front_;
    drawn_ = false;
    hw::Reg<std::uint16_t>(hw::kBg0cnt) = hw::BgControl(kCanvasCharBlock[front_], kScreenBlock);
}

} // namespace rix::gba
