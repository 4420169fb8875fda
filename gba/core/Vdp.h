// The video display processor: the TMS9918A family (the ColecoVision's TMS9928A has the same
// logic, only its video output differs). 16 KiB of VRAM, eight write-only registers, a status
// register, two ports, and a line renderer that writes palette indices.
//
// Portable: no heap, no exceptions, no GBA headers, and only the C library's headers (the
// GBA toolchain has no C++ library). The object is about 16.6 KiB; the machine
// decides where it lives (on the GBA, EWRAM).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "core/Platform.h"
#include "core/StreamPort.h"

// Drawing lines is the host's reference renderer; the GBA shows games through its tile layer
// and draws lines only in the benchmark image, so this code need not take IWRAM.
#ifndef RIX_VDP_DRAW
#define RIX_VDP_DRAW RIX_ROM_CODE
#endif

namespace rix::emu {

// One row of the register table: the chip ignores the bits outside `mask` (they do not exist).
struct VdpRegisterInfo {
    const char* name;
    uint8_t mask;
};

inline constexpr VdpRegisterInfo kVdpRegisters[8] = {
    {"R0 mode (M3, external video)", 0x03},
    {"R1 mode (16K, blank, IE, M1, M2, size, mag)", 0xFB},
    {"R2 name table base / 0x400", 0x0F},
    {"R3 colour table base / 0x40", 0xFF},
    {"R4 pattern generator base / 0x800", 0x07},
    {"R5 sprite attribute table base / 0x80", 0x7F},
    {"R6 sprite pattern generator base / 0x800", 0x07},
    {"R7 text colour 1 (high) / colour 0 and backdrop (low)", 0xFF},
};

struct Rgb {
    uint8_t r, g, b;
};

// The chip's 15 colours plus transparent (index 0, shown as black where nothing is behind it),
// as the usual RGB figures derived from the chip's documented luminance and colour-difference
// levels.
inline constexpr Rgb kVdpPaletteRgb[16] = {
    {0x00, 0x00, 0x00}, // 0 transparent
    {0x00, 0x00, 0x00}, // 1 black
    {0x21, 0xC8, 0x42}, // 2 medium green
    {0x5E, 0xDC, 0x78}, // 3 light green
    {0x54, 0x55, 0xED}, // 4 dark blue
    {0x7D, 0x76, 0xFC}, // 5 light blue
    {0xD4, 0x52, 0x4D}, // 6 dark red
    {0x42, 0xEB, 0xF5}, // 7 cyan
    {0xFC, 0x55, 0x54}, // 8 medium red
    {0xFF, 0x79, 0x78}, // 9 light red
    {0xD4, 0xC1, 0x54}, // 10 dark yellow
    {0xE6, 0xCE, 0x80}, // 11 light yellow
    {0x21, 0xB0, 0x3B}, // 12 dark green
    {0xC9, 0x5B, 0xBA}, // 13 magenta
    {0xCC, 0xCC, 0xCC}, // 14 grey
    {0xFF, 0xFF, 0xFF}, // 15 white
};

// The GBA's 15-bit colour: red in bits 0-4, green 5-9, blue 10-14; each channel rounded.
constexpr uint16_t ToBgr555(Rgb c) {
    auto five = [](uint8_t v) { return static_cast<uint16_t>((v * 31 + 127) / 255); };
    return static_cast<uint16_t>(five(c.r) | (five(c.g) << 5) | (five(c.b) << 10));
}

inline constexpr uint16_t kVdpPaletteBgr555[16] = {
    ToBgr555(kVdpPaletteRgb[0]),  ToBgr555(kVdpPaletteRgb[1]),  ToBgr555(kVdpPaletteRgb[2]),
    ToBgr555(kVdpPaletteRgb[3]),  ToBgr555(kVdpPaletteRgb[4]),  ToBgr555(kVdpPaletteRgb[5]),
    ToBgr555(kVdpPaletteRgb[6]),  ToBgr555(kVdpPaletteRgb[7]),  ToBgr555(kVdpPaletteRgb[8]),
    ToBgr555(kVdpPaletteRgb[9]),  ToBgr555(kVdpPaletteRgb[10]), ToBgr555(kVdpPaletteRgb[11]),
    ToBgr555(kVdpPaletteRgb[12]), ToBgr555(kVdpPaletteRgb[13]), ToBgr555(kVdpPaletteRgb[14]),
    ToBgr555(kVdpPaletteRgb[15]),
};

class Vdp {
public:
    static constexpr int kWidth = 256;         // pixels per active line
    static constexpr int kActiveLines = 192;   // lines 0..191 are drawn
    static constexpr int kLinesPerFrame = 262; // NTSC; the chip itself only cares about line 192
    static constexpr size_t kVramSize = 0x4000;
    static constexpr size_t kDirtyBlockSize = 8; // one pattern's or one colour group's bytes

    static constexpr uint8_t kStatusInterrupt = 0x80;   // F: end of active display
    static constexpr uint8_t kStatusFifthSprite = 0x40; // 5S: a fifth sprite on a line
    static constexpr uint8_t kStatusCoincidence = 0x20; // C: two sprites' pixels overlap
    static constexpr uint8_t kStatusSpriteNumber = 0x1F;

    enum class Mode : uint8_t { Graphics1, Graphics2, Multicolor, Text };

    // When the sprite status (5S, the sprite number, C) is worked out. The chip does it on
    // every line as it is drawn (kPerLine). kPerFrame does it for all 192 lines at once at
    // line 192, from the tables as they stand then, just before F is set: what a program that
    // reads the status in its frame interrupt sees is the same, at a fraction of the cost for a
    // layer that does not draw lines. kPerFrameNoCoincidence is kPerFrame without C.
    enum class SpriteStatus : uint8_t { kPerLine, kPerFrame, kPerFrameNoCoincidence };

    Vdp() { Reset(); }

    // Power-on state: VRAM, registers and status zero, latch clear, every VRAM block dirty.
    // The sprite status timing is a setting of the machine, not chip state: Reset keeps it.
    void Reset();

    void SetSpriteStatus(SpriteStatus timing) {
        spriteStatus_ = timing;
        ForgetLineSprites();
    }
    SpriteStatus SpriteStatusTiming() const { return spriteStatus_; }

    // --- The two ports (the machine decodes which port an I/O address means) ---

    // The ports are used on every VRAM transfer: ARM code in IWRAM on the GBA.
    // Control port. First byte: the low address byte (taken at once). Second byte: bits 5-0
    // the high address bits; bit 7 set writes the first byte to register (bits 2-0); otherwise
    // bit 6 clear starts a read, which fills the read-ahead buffer and advances the address.
    RIX_IWRAM_CODE void WriteControl(uint8_t value);
    // Data port write: stores at the address, advances it (wrapping at 16 KiB), and leaves the
    // byte in the read-ahead buffer, as the chip does. Resets the control latch.
    void WriteData(uint8_t value);
    // The data port's writes, for a CPU wired to the port directly (the machine's is, so
    // WriteData itself needs no place in IWRAM): the same as WriteData.
    StreamPort DataPort() { return StreamPort{&data_, vram_, dirty_, kVramSize - 1}; }
    // Data port read: returns the read-ahead buffer, refills it from the address and advances.
    // Resets the control latch.
    RIX_IWRAM_CODE uint8_t ReadData();
    // Status read: returns F, 5S, C and the sprite number, then clears F, 5S and C and resets
    // the control latch.
    RIX_IWRAM_CODE uint8_t ReadStatus();

    // The interrupt output (active while true): F and the enable bit of register 1. The
    // ColecoVision wires it to the Z80's NMI, which is edge-triggered: the machine must react
    // to its rising edge, which a register-1 write can also cause while F is pending.
    bool InterruptLine() const { return (status_ & kStatusInterrupt) && (regs_[1] & 0x20); }

    // The chip's timing and status for scan line `line` of the frame: lines 0..191 evaluate
    // sprites for the status (5S, sprite number, C) when the timing is kPerLine; line 192 sets
    // F (the vertical interrupt), after working out the frame's sprite status in the per-frame
    // timings. Any other line does nothing. Register and VRAM changes between calls show from
    // the next line on. Draws nothing: drawing is DrawLine's, or a tile layer's.
    RIX_IWRAM_CODE void ScanLine(int line);
    // Draws active line `line` (0..191) as the chip shows it now into out[0..255]: palette
    // indices 0..15 with transparency already resolved (index 0 only where the backdrop colour
    // is 0), sprites included. Changes nothing; other lines are ignored.
    RIX_VDP_DRAW void DrawLine(int line, uint8_t* out) const;
    // Both, as the chip does them on one line: DrawLine when `out` is not null, then ScanLine.
    void ScanLine(int line, uint8_t* out) {
        if (out) {
            DrawLine(line, out);
        }
        ScanLine(line);
    }

    // --- State for a layer that maps the tables onto tile hardware, and for tests ---

    uint8_t Register(int index) const { return regs_[index & 7]; }
    uint8_t PeekStatus() const { return status_; } // does not clear anything
    uint16_t Address() const { return data_.address; }
    const uint8_t* Vram() const { return vram_; }
    Mode CurrentMode() const;
    bool DisplayEnabled() const { return regs_[1] & 0x40; }
    uint8_t Backdrop() const { return regs_[7] & 0x0F; }
    uint16_t NameTable() const { return static_cast<uint16_t>((regs_[2] & 0x0F) << 10); }
    // In Graphics II these are the base bits (0 or 0x2000) before the register masks apply.
    uint16_t ColourTable() const;
    uint16_t PatternTable() const;
    uint16_t SpriteAttributeTable() const { return static_cast<uint16_t>((regs_[5] & 0x7F) << 7); }
    uint16_t SpritePatternTable() const { return static_cast<uint16_t>((regs_[6] & 0x07) << 11); }

    // One bit per 8-byte VRAM block, set by every data-port write since the last ClearDirty().
    // Bit (address / 8) % 8 of byte address / 64. Lets a tile layer re-convert only the
    // patterns and colours that changed.
    bool BlockDirty(uint16_t address) const {
        const unsigned block = (address & 0x3FFFu) / kDirtyBlockSize;
        return dirty_[block >> 3] & (1u << (block & 7));
    }
    const uint8_t* DirtyMap() const { return dirty_; }
    static constexpr size_t kDirtyMapSize = kVramSize / kDirtyBlockSize / 8;
    void ClearDirty();

private:
    RIX_VDP_DRAW void DrawGraphics1(int line, uint8_t* out) const;
    RIX_VDP_DRAW void DrawGraphics2(int line, uint8_t* out) const;
    RIX_VDP_DRAW void DrawMulticolor(int line, uint8_t* out) const;
    RIX_VDP_DRAW void DrawText(int line, uint8_t* out) const;
    // The sprites a line shows (at most four, in priority order), the fifth one's number or -1,
    // and the last one looked at.
    struct SpriteLine {
        int shown[4];
        unsigned row[4]; // the pattern row of each, magnification taken out
        int count = 0;
        int fifth = -1;
        int last = 0;
    };
    RIX_IWRAM_CODE SpriteLine SelectSprites(int line) const;
    // Draws the selection's pixels into `out` (when not null); returns whether two of them
    // overlap (the coincidence), stopping at the first overlap when nothing is drawn.
    RIX_VDP_DRAW bool SpritePixels(const SpriteLine& selection, uint8_t* out) const;
    // The coincidence alone, what the status needs: whether two of the selection's sprites have
    // pattern pixels at one place on the line, worked out on masks of their pixels.
    RIX_IWRAM_CODE bool SpritesOverlap(const SpriteLine& selection) const;
    // The line's part of the status: 5S and the number, and C when `coincidence`, for the
    // sprites the line shows.
    void SpriteStatusLine(int line, bool coincidence);
    void LineStatus(const SpriteLine& selection, bool coincidence);
    int MarkSprites();
    SpriteLine SpritesOfMask(int line, uint32_t mask, int last) const;
    // Line by line (kPerLine), the sprites covering each line are marked once, at line 0, in
    // lineSprites_, and used while the attribute table and the registers that place sprites
    // may not have changed (spriteTableWrites_ counts the writes that could change them); after
    // such a write the rest of the frame's lines scan the table themselves.
    void ForgetLineSprites();
    RIX_IWRAM_CODE void FrameSpriteStatus(bool coincidence);

    uint8_t vram_[kVramSize]{};
    uint8_t dirty_[kDirtyMapSize]{};
    uint8_t regs_[8]{};
    // The address, the read-ahead buffer and the control latch (pending: the first control
    // byte is in, waiting for its partner), as the data port's writes change them.
    StreamPortState data_;
    uint8_t status_ = 0;
    uint8_t firstByte_ = 0; // the control byte waiting for its partner
    SpriteStatus spriteStatus_ = SpriteStatus::kPerLine;
    // The sprites covering each active line (bit n: sprite n): FrameSpriteStatus's bookkeeping,
    // all 0 between two of its calls; with kPerLine, the marks SpriteStatusLine keeps.
    uint32_t lineSprites_[kActiveLines] = {};
    uint32_t spriteTableWrites_ = 0;
    uint32_t markedAtWrites_ = 0; // spriteTableWrites_ when lineSprites_ was marked
    bool linesMarked_ = false;
    uint8_t markedLast_ = 0; // the last sprite a line's scan looks at without a fifth
};

} // namespace rix::emu
