#include "Vdp.h"

#include <string.h>

namespace rix::emu {

namespace {

constexpr uint16_t kAddressMask = 0x3FFF;
static_assert(Vdp::kDirtyBlockSize == StreamPort::kBlockSize);
constexpr uint8_t kR0M3 = 0x02;
constexpr uint8_t kR1M1 = 0x10;
constexpr uint8_t kR1M2 = 0x08;
constexpr uint8_t kR1Size = 0x02;
constexpr uint8_t kR1Mag = 0x01;
constexpr uint8_t kSpriteTerminator = 208;
constexpr uint8_t kSpriteEarlyClock = 0x80;
constexpr int kSpritesPerLine = 4;
constexpr int kSpriteCount = 32;

// Writes the 8 pixels of one pattern byte: set bits in `fg`, clear bits in `bg`.
inline void Expand8(uint8_t* out, uint8_t bits, uint8_t fg, uint8_t bg) {
    for (int i = 0; i < 8; ++i) {
        out[i] = (bits & (0x80 >> i)) ? fg : bg;
    }
}

// Transparent (0) shows the backdrop.
inline uint8_t Opaque(uint8_t colour, uint8_t backdrop) {
    return colour ? colour : backdrop;
}

} // namespace

void Vdp::Reset() {
    memset(vram_, 0, sizeof vram_);
    memset(dirty_, 0xFF, sizeof dirty_);
    memset(regs_, 0, sizeof regs_);
    data_ = StreamPortState{};
    status_ = 0;
    firstByte_ = 0;
    ForgetLineSprites();
}

void Vdp::ForgetLineSprites() {
    memset(lineSprites_, 0, sizeof lineSprites_);
    linesMarked_ = false;
}

void Vdp::WriteControl(uint8_t value) {
    if (!data_.pending) {
        // The low address byte takes effect at once; a status read or data access before the
        // second byte starts the sequence over.
        firstByte_ = value;
        data_.address = static_cast<uint16_t>((data_.address & 0x3F00) | value);
        data_.pending = true;
        return;
    }
    data_.pending = false;
    data_.address = static_cast<uint16_t>(((value & 0x3F) << 8) | firstByte_);
    if (static_cast<unsigned>(data_.address) < SpriteAttributeTable() + kSpriteCount * 4u) {
        // Data written from here on may reach the sprite attribute table.
        ++spriteTableWrites_;
    }
    if (value & 0x80) {
        const int index = value & 0x07;
        regs_[index] = firstByte_ & kVdpRegisters[index].mask;
        if (index == 1 || index == 5) {
            ++spriteTableWrites_; // sprite size, magnification or the table's place
        }
    } else if (!(value & 0x40)) {
        // Read setup: the chip fetches ahead so the first data read already has its byte.
        data_.last = vram_[data_.address];
        data_.address = (data_.address + 1) & kAddressMask;
    }
}

void Vdp::WriteData(uint8_t value) {
    DataPort().Write(value);
}

uint8_t Vdp::ReadData() {
    data_.pending = false;
    const uint8_t value = data_.last;
    data_.last = vram_[data_.address];
    data_.address = (data_.address + 1) & kAddressMask;
    return value;
}

uint8_t Vdp::ReadStatus() {
    data_.pending = false;
    const uint8_t value = status_;
    status_ &= kStatusSpriteNumber;
    return value;
}

void Vdp::ClearDirty() {
    memset(dirty_, 0, sizeof dirty_);
}

Vdp::Mode Vdp::CurrentMode() const {
    // Combinations the chip leaves undocumented resolve to the first match in this order.
    if (regs_[1] & kR1M1) {
        return Mode::Text;
    }
    if (regs_[1] & kR1M2) {
        return Mode::Multicolor;
    }
    if (regs_[0] & kR0M3) {
        return Mode::Graphics2;
    }
    return Mode::Graphics1;
}

uint16_t Vdp::ColourTable() const {
    if (CurrentMode() == Mode::Graphics2) {
        return static_cast<uint16_t>((regs_[3] & 0x80) << 6);
    }
    return static_cast<uint16_t>(regs_[3] << 6);
}

uint16_t Vdp::PatternTable() const {
    if (CurrentMode() == Mode::Graphics2) {
        return static_cast<uint16_t>((regs_[4] & 0x04) << 11);
    }
    return static_cast<uint16_t>((regs_[4] & 0x07) << 11);
}

void Vdp::ScanLine(int line) {
    if (line < 0 || line > kActiveLines) {
        return;
    }
    if (line == kActiveLines) {
        if (spriteStatus_ != SpriteStatus::kPerLine) {
            FrameSpriteStatus(spriteStatus_ == SpriteStatus::kPerFrame);
        }
        status_ |= kStatusInterrupt;
        return;
    }
    // Blanked or in Text mode, the sprite logic does not run.
    if (spriteStatus_ == SpriteStatus::kPerLine && DisplayEnabled() &&
        CurrentMode() != Mode::Text) {
        SpriteStatusLine(line, true);
    }
}

void Vdp::DrawLine(int line, uint8_t* out) const {
    if (line < 0 || line >= kActiveLines) {
        return;
    }
    if (!DisplayEnabled()) {
        memset(out, Backdrop(), kWidth);
        return;
    }
    switch (CurrentMode()) {
    case Mode::Graphics1:
        DrawGraphics1(line, out);
        break;
    case Mode::Graphics2:
        DrawGraphics2(line, out);
        break;
    case Mode::Multicolor:
        DrawMulticolor(line, out);
        break;
    case Mode::Text:
        DrawText(line, out);
        return; // no sprites
    }
    SpritePixels(SelectSprites(line), out);
}

void Vdp::FrameSpriteStatus(bool coincidence) {
    if (!DisplayEnabled() || CurrentMode() == Mode::Text) {
        return; // the sprite logic does not run on any line
    }
    // What the chip works out line by line, in one pass: each sprite before the terminator
    // marks the lines it covers, and only lines with two or more sprites need their pixels
    // looked at. The result is the one the lines would give in turn (a test holds it to that).
    const int last = MarkSprites();
    for (int line = 0; line < kActiveLines; ++line) {
        const uint32_t mask = lineSprites_[line];
        lineSprites_[line] = 0;
        if ((mask & (mask - 1)) == 0) {
            // No sprite or one: no fifth and no coincidence, the scan ends at the last.
            if (!(status_ & kStatusFifthSprite)) {
                status_ = static_cast<uint8_t>((status_ & 0xE0) | last);
            }
            continue;
        }
        LineStatus(SpritesOfMask(line, mask, last), coincidence);
    }
}

void Vdp::DrawGraphics1(int line, uint8_t* out) const {
    const uint8_t backdrop = Backdrop();
    const uint8_t* names = &vram_[NameTable() + (line >> 3) * 32];
    const uint8_t* patterns = &vram_[PatternTable() + (line & 7)];
    const uint8_t* colours = &vram_[ColourTable()];
    for (int column = 0; column < 32; ++column, out += 8) {
        const unsigned name = names[column];
        const uint8_t colour = colours[name >> 3];
        Expand8(out, patterns[name * 8], Opaque(colour >> 4, backdrop),
                Opaque(colour & 0x0F, backdrop));
    }
}

void Vdp::DrawGraphics2(int line, uint8_t* out) const {
    // The screen's thirds each have their own 256 patterns and colours; R4 bits 1-0 and R3
    // bits 6-0 mask the upper bits of the offset, which lets programs share tables.
    const uint8_t backdrop = Backdrop();
    const unsigned row = static_cast<unsigned>(line) >> 3;
    const uint8_t* names = &vram_[NameTable() + row * 32];
    const unsigned patternBase = PatternTable();
    const unsigned patternMask = ((regs_[4] & 0x03u) << 11) | 0x7FF;
    const unsigned colourBase = ColourTable();
    const unsigned colourMask = ((regs_[3] & 0x7Fu) << 6) | 0x3F;
    const unsigned thirdAndLine = ((row >> 3) << 11) | (line & 7);
    for (int column = 0; column < 32; ++column, out += 8) {
        const unsigned offset = thirdAndLine | (names[column] << 3);
        const uint8_t colour = vram_[colourBase | (offset & colourMask)];
        Expand8(out, vram_[patternBase | (offset & patternMask)], Opaque(colour >> 4, backdrop),
                Opaque(colour & 0x0F, backdrop));
    }
}

void Vdp::DrawMulticolor(int line, uint8_t* out) const {
    // Each name's 8 pattern bytes cover four rows of names: two bytes per row, one per 4-line
    // half, each byte two 4x4 blocks (high nibble left).
    const uint8_t backdrop = Backdrop();
    const unsigned row = static_cast<unsigned>(line) >> 3;
    const uint8_t* names = &vram_[NameTable() + row * 32];
    const uint8_t* patterns =
        &vram_[PatternTable() + ((row & 3) << 1) + ((static_cast<unsigned>(line) >> 2) & 1)];
    for (int column = 0; column < 32; ++column, out += 8) {
        const uint8_t colours = patterns[names[column] * 8];
        const uint8_t left = Opaque(colours >> 4, backdrop);
        const uint8_t right = Opaque(colours & 0x0F, backdrop);
        out[0] = out[1] = out[2] = out[3] = left;
        out[4] = out[5] = out[6] = out[7] = right;
    }
}

void Vdp::DrawText(int line, uint8_t* out) const {
    // 40 columns of 6 pixels between 8-pixel borders; colours from R7, no sprites.
    const uint8_t backdrop = Backdrop();
    const uint8_t fg = Opaque(regs_[7] >> 4, backdrop);
    const uint8_t bg = backdrop; // colour 0 of R7 is the backdrop itself
    const uint8_t* names = &vram_[NameTable() + (line >> 3) * 40];
    const uint8_t* patterns = &vram_[PatternTable() + (line & 7)];
    memset(out, backdrop, 8);
    memset(out + kWidth - 8, backdrop, 8);
    out += 8;
    for (int column = 0; column < 40; ++column, out += 6) {
        const uint8_t bits = patterns[names[column] * 8];
        for (int i = 0; i < 6; ++i) {
            out[i] = (bits & (0x80 >> i)) ? fg : bg;
        }
    }
}

Vdp::SpriteLine Vdp::SelectSprites(int line) const {
    const uint8_t* attributes = &vram_[SpriteAttributeTable()];
    const int magShift = regs_[1] & kR1Mag;
    const unsigned height = ((regs_[1] & kR1Size) ? 16u : 8u) << magShift;
    SpriteLine selection;
    int index = 0;
    for (; index < kSpriteCount; ++index) {
        const uint8_t y = attributes[index * 4];
        if (y == kSpriteTerminator) {
            break;
        }
        // The chip compares in 8 bits: Y is the line above the sprite's first line, so Y = 255
        // starts on line 0 and large Y values hang in from the top.
        const unsigned row = static_cast<unsigned>(line - y - 1) & 0xFF;
        if (row >= height) {
            continue;
        }
        if (selection.count == kSpritesPerLine) {
            selection.fifth = index;
            break;
        }
        selection.shown[selection.count] = index;
        selection.row[selection.count] = row >> magShift;
        ++selection.count;
    }
    selection.last = index < kSpriteCount ? index : kSpriteCount - 1;
    return selection;
}

// Each sprite before the terminator marks the lines it covers in lineSprites_ (which holds no
// marks before); returns the last sprite a line's scan looks at without a fifth.
RIX_ALWAYS_INLINE int Vdp::MarkSprites() {
    const uint8_t* attributes = &vram_[SpriteAttributeTable()];
    const unsigned height = ((regs_[1] & kR1Size) ? 16u : 8u) << (regs_[1] & kR1Mag);
    int sprites = 0;
    for (; sprites < kSpriteCount; ++sprites) {
        const uint8_t y = attributes[sprites * 4];
        if (y == kSpriteTerminator) {
            break;
        }
        // Y is the line above the sprite's first; the chip compares in 8 bits.
        const unsigned first = (y + 1u) & 0xFF;
        for (unsigned row = 0; row < height; ++row) {
            const unsigned line = (first + row) & 0xFF;
            if (line < static_cast<unsigned>(kActiveLines)) {
                lineSprites_[line] |= 1u << sprites;
            }
        }
    }
    // Without a fifth sprite on a line, the scan ends at the terminator (or after sprite 31).
    return sprites < kSpriteCount ? sprites : kSpriteCount - 1;
}

// The sprites a line's marks name, in table order; a fifth ends the look.
RIX_ALWAYS_INLINE Vdp::SpriteLine Vdp::SpritesOfMask(int line, uint32_t mask, int last) const {
    const uint8_t* attributes = &vram_[SpriteAttributeTable()];
    const int magShift = regs_[1] & kR1Mag;
    SpriteLine selection;
    while (mask != 0) {
        const int index = __builtin_ctz(mask);
        mask &= mask - 1;
        if (selection.count == kSpritesPerLine) {
            selection.fifth = index;
            break;
        }
        selection.shown[selection.count] = index;
        selection.row[selection.count] =
            (static_cast<unsigned>(line - attributes[index * 4] - 1) & 0xFF) >> magShift;
        ++selection.count;
    }
    selection.last = last;
    return selection;
}

RIX_ALWAYS_INLINE void Vdp::LineStatus(const SpriteLine& selection, bool coincidence) {
    if (!(status_ & kStatusFifthSprite)) {
        // Without a fifth sprite the number field holds the last sprite looked at.
        if (selection.fifth >= 0) {
            status_ = static_cast<uint8_t>((status_ & 0xE0) | kStatusFifthSprite | selection.fifth);
        } else {
            status_ = static_cast<uint8_t>((status_ & 0xE0) | selection.last);
        }
    }
    if (coincidence && !(status_ & kStatusCoincidence) && SpritesOverlap(selection)) {
        status_ |= kStatusCoincidence;
    }
}

void Vdp::SpriteStatusLine(int line, bool coincidence) {
    // Line by line, the marks are made at line 0 and serve while the table stays as it was.
    bool fresh = linesMarked_ && markedAtWrites_ == spriteTableWrites_;
    if (!fresh && line == 0) {
        memset(lineSprites_, 0, sizeof lineSprites_);
        markedLast_ = static_cast<uint8_t>(MarkSprites());
        markedAtWrites_ = spriteTableWrites_;
        linesMarked_ = fresh = true;
    }
    LineStatus(fresh ? SpritesOfMask(line, lineSprites_[line], markedLast_) : SelectSprites(line),
               coincidence);
}

namespace {
// Each bit of a nibble twice: abcd -> aabbccdd.
RIX_IWRAM_TABLE constexpr uint8_t kDoubledNibbles[16] = {
    0x00, 0x03, 0x0C, 0x0F, 0x30, 0x33, 0x3C, 0x3F, 0xC0, 0xC3, 0xCC, 0xCF, 0xF0, 0xF3, 0xFC, 0xFF};
} // namespace

bool Vdp::SpritesOverlap(const SpriteLine& selection) const {
    if (selection.count < 2) {
        return false;
    }
    const uint8_t* attributes = &vram_[SpriteAttributeTable()];
    const uint8_t* patterns = &vram_[SpritePatternTable()];
    const bool large = regs_[1] & kR1Size;
    const int magShift = regs_[1] & kR1Mag;
    // Each sprite's pattern pixels on the line, the leftmost in bit 31, and where that pixel
    // lies; pixels off the line's 256 take no part.
    uint32_t masks[kSpritesPerLine];
    int xs[kSpritesPerLine];
    int n = 0;
    for (int k = 0; k < selection.count; ++k) {
        const uint8_t* a = &attributes[selection.shown[k] * 4];
        const uint8_t name = large ? (a[2] & 0xFC) : a[2];
        const uint8_t* pattern = &patterns[name * 8 + selection.row[k]];
        uint32_t bits = large ? ((pattern[0] << 8) | pattern[16]) : (pattern[0] << 8);
        if (!bits) {
            continue;
        }
        uint32_t mask = bits << 16;
        if (magShift) {
            // Every pattern bit covers two pixels: each nibble becomes a byte.
            mask = uint32_t(kDoubledNibbles[bits >> 12]) << 24 |
                   uint32_t(kDoubledNibbles[(bits >> 8) & 15]) << 16 |
                   uint32_t(kDoubledNibbles[(bits >> 4) & 15]) << 8 | kDoubledNibbles[bits & 15];
        }
        int x = a[1] - ((a[3] & kSpriteEarlyClock) ? 32 : 0);
        if (x < 0) {
            mask = x > -32 ? mask << -x : 0;
            x = 0;
        }
        if (x > kWidth - 32) {
            mask &= ~0u << (x + 32 - kWidth);
        }
        if (!mask) {
            continue;
        }
        for (int j = 0; j < n; ++j) {
            const int d = x - xs[j];
            if (d >= 32 || d <= -32) {
                continue;
            }
            if ((d >= 0 ? (masks[j] << d) & mask : (mask << -d) & masks[j]) != 0) {
                return true;
            }
        }
        masks[n] = mask;
        xs[n] = x;
        ++n;
    }
    return false;
}

bool Vdp::SpritePixels(const SpriteLine& selection, uint8_t* out) const {
    if (selection.count == 0) {
        return false;
    }
    const uint8_t* attributes = &vram_[SpriteAttributeTable()];
    const bool large = regs_[1] & kR1Size;
    const int magShift = regs_[1] & kR1Mag;
    // Bit 0: a higher-priority sprite has a pattern pixel here (for coincidence, whatever its
    // colour). Bit 1: it also drew a colour here, hiding the sprites behind it.
    uint8_t cover[kWidth];
    memset(cover, 0, sizeof cover);
    const uint8_t* patterns = &vram_[SpritePatternTable()];
    const int width = (large ? 16 : 8) << magShift;
    bool overlap = false;
    for (int k = 0; k < selection.count; ++k) {
        const uint8_t* a = &attributes[selection.shown[k] * 4];
        const uint8_t name = large ? (a[2] & 0xFC) : a[2];
        const uint8_t* pattern = &patterns[name * 8 + selection.row[k]];
        // Large sprites: the right half's bytes sit 16 bytes after the left half's.
        const unsigned bits = large ? ((pattern[0] << 8) | pattern[16]) : (pattern[0] << 8);
        if (!bits) {
            continue;
        }
        const uint8_t colour = a[3] & 0x0F;
        int x = a[1];
        if (a[3] & kSpriteEarlyClock) {
            x -= 32;
        }
        for (int px = 0; px < width; ++px) {
            if (!(bits & (0x8000u >> (px >> magShift)))) {
                continue;
            }
            const int sx = x + px;
            if (sx < 0 || sx >= kWidth) {
                continue;
            }
            uint8_t& c = cover[sx];
            if (c & 1) {
                overlap = true;
                if (!out) {
                    return true; // only the coincidence was asked for
                }
            }
            if (colour && !(c & 2)) {
                if (out) {
                    out[sx] = colour;
                }
                c = 3;
            } else {
                c |= 1;
            }
        }
    }
    return overlap;
}

} // namespace rix::emu
