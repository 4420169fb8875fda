#include "GameVideo.h"

#include "Hardware.h"
#include "Platform.h"

extern "C" {
// Called by the interrupt handler in each vertical blank while not null (crt0.s).
extern void (*volatile gVblankHook)();
}

namespace rix::gba {

namespace {

using rix::emu::Vdp;
using Mode = Vdp::Mode;

// The game's picture while Start..Stop, for the vertical blank hook. Defined before the IWRAM
// functions below: after a target("arm") function, GCC (12) gives later functions a type that no
// longer converts to the hook's pointer type.
GameVideo* gShown = nullptr;
void VblankHook() {
    gShown->VBlank();
}

// --- Where things go ---

// Background tiles from character block 0: up to 1024 (Multicolor), 32 KiB; the map right
// behind them. Then the free video memory (kFreeVram), then the sprites' object tiles.
constexpr std::uintptr_t kTiles = hw::kVram;
constexpr unsigned kScreenBlock = 16;
constexpr std::uintptr_t kMap = hw::kVram + kScreenBlock * hw::kScreenBlockSize;
constexpr int kTileBytes = 32;
constexpr int kMapWidth = 32;
constexpr int kFirstObjectTile = 72;
static_assert(kMap == kTiles + 1024 * kTileBytes && kFreeVram == kMap + hw::kScreenBlockSize);
static_assert(kFreeVram + kFreeVramSize <= hw::kVramObj + kFirstObjectTile * kTileBytes);

constexpr int kCrop = 8; // chip pixels left out at each side
constexpr int kGbaLines = 160;
constexpr int kChipLines = Vdp::kActiveLines;
constexpr int kNameRows = 24;

// Each sprite has 16 object tiles of its own (room for 32 x 32 pixels): 16 KiB for 32 sprites,
// from kFirstObjectTile.
constexpr int kSprites = 32;
constexpr int kSlotTiles = 16;
static_assert(kFirstObjectTile + kSprites * kSlotTiles <= 1024);
constexpr int kObjects = 128;
constexpr std::uint16_t kObjectHidden = 0x0200; // attribute 0: not drawn
constexpr std::uint8_t kSpriteTerminator = 208;
constexpr int kSpritesPerLine = 4;

// The first chip line of each 1:1 view, by View (kFit's own mapping is below).
constexpr int kViewStart[kViewCount] = {0, 0, 16, 32};

// The chip line that GBA line y shows.
constexpr int ChipLine(View view, int y) {
    return view == View::kFit ? y + y / 5 : y + kViewStart[int(view)];
}

// The first GBA line that shows chip line `line` (>= 0) or, when the view leaves that one out,
// the next one shown; 160 or more when none is on screen.
constexpr int FirstGbaLine(View view, int line) {
    if (view == View::kFit) {
        const int inSix = line % 6;
        return 5 * (line / 6) + (inSix < 5 ? inSix : 5);
    }
    const int y = line - kViewStart[int(view)];
    return y < 0 ? 0 : y;
}

// The fit view's BG0 vertical offset for each GBA line (chip line minus GBA line), and one more
// that the last line's horizontal blank writes. DMA 0 reads only internal memory: EWRAM.
RIX_EWRAM_BSS std::uint16_t gFitScroll[kGbaLines + 1];

// Four pattern bits (the leftmost in bit 3) as 4-bit pixels of value 1, the leftmost pixel in the
// lowest nibble as the GBA's tiles hold it; `single` gives four pixels, `doubled` eight (each bit
// twice, for magnified sprites).
struct PixelTables {
    std::uint32_t single[16];
    std::uint32_t doubled[16];
};
constexpr PixelTables MakePixelTables() {
    PixelTables t{};
    for (unsigned bits = 0; bits < 16; ++bits) {
        for (unsigned px = 0; px < 4; ++px) {
            if (bits & (8u >> px)) {
                t.single[bits] |= 1u << (4 * px);
                t.doubled[bits] |= 0x11u << (8 * px);
            }
        }
    }
    return t;
}
RIX_IWRAM_RODATA const PixelTables kPixels = MakePixelTables();

// One pattern byte as a tile row of 0/1 pixels.
inline std::uint32_t Spread(unsigned byte) {
    return kPixels.single[byte >> 4] | kPixels.single[byte & 15] << 16;
}

// The tile row of a pattern byte in foreground `fg` (set bits) and background `bg`: bg in every
// pixel plus (fg - bg) where set. Unsigned wrap-around makes a negative difference exact, as
// every pixel of the sum lies in 0..15.
inline std::uint32_t ColourRow(unsigned byte, unsigned fg, unsigned bg) {
    return bg * 0x11111111u + Spread(byte) * (fg - bg);
}

inline bool Dirty(const std::uint8_t* map, unsigned address) {
    return (map[address >> 6] >> ((address >> 3) & 7)) & 1u;
}

inline volatile std::uint32_t* Words(std::uintptr_t address) {
    return reinterpret_cast<volatile std::uint32_t*>(address);
}

// --- The background ---

// Graphics I: tile n is pattern n in the colours of its group byte (n / 8).
RIX_IWRAM_CODE void ConvertGraphics1(const Vdp& vdp, bool all);
void ConvertGraphics1(const Vdp& vdp, bool all) {
    const std::uint8_t* vram = vdp.Vram();
    const std::uint8_t* dirty = vdp.DirtyMap();
    const unsigned patterns = vdp.PatternTable();
    const unsigned colours = vdp.ColourTable();
    volatile std::uint32_t* tile = Words(kTiles);
    // A group's 8 patterns are 8 blocks: one byte of the dirty map.
    const std::uint8_t* patternDirty = dirty + (patterns >> 6);
    for (unsigned group = 0; group < 32; ++group) {
        const bool colourDirty = all || Dirty(dirty, colours + group);
        const unsigned changed = colourDirty ? 0xFFu : patternDirty[group];
        if (changed == 0) {
            tile += 8 * 8;
            continue;
        }
        const unsigned colour = vram[colours + group];
        const unsigned fg = colour >> 4;
        const unsigned bg = colour & 15;
        const std::uint8_t* pattern = vram + patterns + group * 64;
        for (unsigned k = 0; k < 8; ++k, tile += 8, pattern += 8) {
            if ((changed >> k) & 1u) {
                for (int r = 0; r < 8; ++r) {
                    tile[r] = ColourRow(pattern[r], fg, bg);
                }
            }
        }
    }
}

// Graphics II: tile third x 256 + name, its pattern and colour rows where the R4/R3 masks put
// them (several tiles share a table entry when the masks clear bits).
RIX_IWRAM_CODE void ConvertGraphics2(const Vdp& vdp, bool all);
void ConvertGraphics2(const Vdp& vdp, bool all) {
    const std::uint8_t* vram = vdp.Vram();
    const std::uint8_t* dirty = vdp.DirtyMap();
    const unsigned patternBase = vdp.PatternTable();
    const unsigned patternMask = ((vdp.Register(4) & 0x03u) << 11) | 0x7FF;
    const unsigned colourBase = vdp.ColourTable();
    const unsigned colourMask = ((vdp.Register(3) & 0x7Fu) << 6) | 0x3F;
    volatile std::uint32_t* tile = Words(kTiles);
    // Eight names in a row (from a multiple of 8) have their patterns side by side, and their
    // colours too, since both masks keep a name's low three bits: one byte of the dirty map each.
    for (unsigned first = 0; first < 768; first += 8, tile += 8 * 8) {
        const unsigned offset = ((first >> 8) << 11) | ((first & 255) << 3);
        const unsigned pattern = patternBase | (offset & patternMask);
        const unsigned colour = colourBase | (offset & colourMask);
        const unsigned changed = all ? 0xFFu : unsigned(dirty[pattern >> 6] | dirty[colour >> 6]);
        if (changed == 0) {
            continue;
        }
        for (unsigned k = 0; k < 8; ++k) {
            if (!((changed >> k) & 1u)) {
                continue;
            }
            const std::uint8_t* patternRows = vram + pattern + 8 * k;
            const std::uint8_t* colourRows = vram + colour + 8 * k;
            volatile std::uint32_t* rows = tile + 8 * k;
            for (unsigned r = 0; r < 8; ++r) {
                const unsigned c = colourRows[r];
                rows[r] = ColourRow(patternRows[r], c >> 4, c & 15);
            }
        }
    }
}

// Multicolor: tile (row mod 4) x 256 + name holds the name's two pattern bytes for that row of
// names, each byte four lines of two 4x4 blocks (high nibble left).
RIX_IWRAM_CODE void ConvertMulticolor(const Vdp& vdp, bool all);
void ConvertMulticolor(const Vdp& vdp, bool all) {
    const std::uint8_t* vram = vdp.Vram();
    const std::uint8_t* dirty = vdp.DirtyMap();
    const unsigned patterns = vdp.PatternTable();
    const std::uint8_t* patternDirty = dirty + (patterns >> 6); // bit n & 7 of byte n / 8
    for (unsigned group = 0; group < 32; ++group) {
        const unsigned changed = all ? 0xFFu : patternDirty[group];
        for (unsigned k = 0; k < 8 && changed != 0; ++k) {
            if (!((changed >> k) & 1u)) {
                continue;
            }
            const unsigned name = group * 8 + k;
            const std::uint8_t* pattern = vram + patterns + name * 8;
            for (unsigned row = 0; row < 4; ++row) {
                volatile std::uint32_t* tile = Words(kTiles + (row * 256 + name) * kTileBytes);
                for (unsigned half = 0; half < 2; ++half) {
                    const unsigned b = pattern[2 * row + half];
                    const std::uint32_t line = (b >> 4) * 0x00001111u + (b & 15) * 0x11110000u;
                    for (int r = 0; r < 4; ++r) {
                        tile[4 * half + r] = line;
                    }
                }
            }
        }
    }
}

// Text: 40 columns of 6 pixels do not fit 8-pixel tiles, so each row of characters is drawn into
// a canvas of unique tiles, 32 x 24 like the chip's whole width (the borders stay 0, the
// backdrop). A row is drawn again when one of its names or of their patterns changed.
RIX_IWRAM_CODE void ConvertText(const Vdp& vdp, bool all);
void ConvertText(const Vdp& vdp, bool all) {
    const std::uint8_t* vram = vdp.Vram();
    const std::uint8_t* dirty = vdp.DirtyMap();
    const unsigned names = vdp.NameTable();
    const unsigned patterns = vdp.PatternTable();
    const std::uint8_t* patternDirty = dirty + (patterns >> 6);
    // Clear pixels are colour 0 of R7, which is the backdrop itself: GBA pixel 0.
    const unsigned fg = vdp.Register(7) >> 4;
    bool patternChanged = false;
    for (unsigned i = 0; i < 32; ++i) {
        patternChanged = patternChanged || patternDirty[i] != 0;
    }
    for (unsigned row = 0; row < unsigned(kNameRows); ++row) {
        const unsigned rowStart = names + row * 40;
        const std::uint8_t* rowNames = vram + rowStart;
        bool redraw = all;
        for (unsigned block = 0; block < 5 && !redraw; ++block) {
            redraw = Dirty(dirty, rowStart + block * 8);
        }
        for (unsigned c = 0; c < 40 && patternChanged && !redraw; ++c) {
            redraw = (patternDirty[rowNames[c] >> 3] >> (rowNames[c] & 7)) & 1u;
        }
        if (!redraw) {
            continue;
        }
        volatile std::uint32_t* tiles = Words(kTiles + row * kMapWidth * kTileBytes);
        for (unsigned r = 0; r < 8; ++r) { // the borders, tiles 0 and 31
            tiles[r] = 0;
            tiles[(kMapWidth - 1) * 8 + r] = 0;
        }
        // Four characters are 24 pixels: three whole tiles, from tile 1 on.
        for (unsigned group = 0; group < 10; ++group) {
            const std::uint8_t* p0 = vram + patterns + rowNames[4 * group] * 8;
            const std::uint8_t* p1 = vram + patterns + rowNames[4 * group + 1] * 8;
            const std::uint8_t* p2 = vram + patterns + rowNames[4 * group + 2] * 8;
            const std::uint8_t* p3 = vram + patterns + rowNames[4 * group + 3] * 8;
            volatile std::uint32_t* out = tiles + (1 + 3 * group) * 8;
            for (unsigned r = 0; r < 8; ++r) {
                // A character's 6 pixels are its pattern's bits 7-2; the leftmost in bit 23.
                const unsigned bits = unsigned(p0[r] >> 2) << 18 | unsigned(p1[r] >> 2) << 12 |
                                      unsigned(p2[r] >> 2) << 6 | unsigned(p3[r] >> 2);
                out[r] = Spread(bits >> 16) * fg;
                out[8 + r] = Spread((bits >> 8) & 0xFF) * fg;
                out[16 + r] = Spread(bits & 0xFF) * fg;
            }
        }
    }
}

// The screen map from the name table: 8 entries for each changed 8-byte block of names.
RIX_IWRAM_CODE void WriteMap(const Vdp& vdp, Mode mode, bool all);
void WriteMap(const Vdp& vdp, Mode mode, bool all) {
    volatile std::uint32_t* map = Words(kMap);
    if (mode == Mode::Text) {
        if (all) { // the canvas's own tiles, in order
            for (unsigned i = 0; i < unsigned(kNameRows * kMapWidth); i += 2) {
                map[i / 2] = i | (i + 1) << 16;
            }
        }
        return;
    }
    const std::uint8_t* vram = vdp.Vram();
    const std::uint8_t* dirty = vdp.DirtyMap();
    const unsigned names = vdp.NameTable();
    for (unsigned block = 0; block < unsigned(kNameRows * kMapWidth / 8); ++block) {
        const unsigned address = names + block * 8;
        if (!all && !Dirty(dirty, address)) {
            continue;
        }
        const unsigned row = block / 4;
        unsigned high = 0; // Graphics I: tile = name
        if (mode == Mode::Graphics2) {
            high = (row >> 3) << 8;
        } else if (mode == Mode::Multicolor) {
            high = (row & 3) << 8;
        }
        const std::uint8_t* name = vram + address;
        volatile std::uint32_t* entries = map + block * 4;
        for (int i = 0; i < 4; ++i) {
            entries[i] = (high | name[2 * i]) | (high | name[2 * i + 1]) << 16;
        }
    }
}

// The registers the converted tiles and map depend on (mode, table bases and masks, Text's
// colour): any change converts everything.
std::uint32_t Layout(const Vdp& vdp) {
    const Mode mode = vdp.CurrentMode();
    std::uint32_t key = std::uint32_t(mode) | std::uint32_t(vdp.Register(2)) << 2 |
                        std::uint32_t(vdp.Register(3)) << 6 | std::uint32_t(vdp.Register(4)) << 14;
    if (mode == Mode::Text) {
        key |= std::uint32_t(vdp.Register(7) >> 4) << 17;
    }
    return key;
}

// --- Sprites ---

// A sprite as the chip shows it (whatever the view), and what its object tiles were last drawn
// from.
struct Sprite {
    std::int16_t start; // chip line of its first line (negative: it hangs in from the top)
    std::uint8_t size;  // pixels on screen: 8, 16 or 32
    std::uint8_t mag;   // 1 when magnified
    std::uint32_t cut;  // bit i: line start + i does not show it (four sprites before it there)
    std::int16_t x;     // chip pixel of its left edge (early clock applied)
    std::uint8_t colour;
    bool rowsRead;          // rows read anew since the tiles were drawn
    std::uint16_t pattern;  // VRAM address the rows come from; kNoPattern: read them anew
    std::uint16_t rows[16]; // pattern rows, the leftmost pixel in bit 15

    bool drawn; // the fields below say what the object tiles hold
    View drawnView;
    std::uint8_t drawnSize;
    std::uint8_t drawnMag;
    std::int16_t drawnStart;
    std::uint32_t drawnCut;
    std::int16_t y; // GBA line of the object's top; -1: nothing on screen
};
constexpr std::uint16_t kNoPattern = 0xFFFF;

struct SpriteState {
    Sprite sprites[kSprites];
    int listed;  // sprites before the terminator
    int objects; // objects that may be showing: 0..objects-1
};
RIX_EWRAM_BSS SpriteState gSprites;

// Forgets which rows the sprites hold: the next TakeSprites reads them all.
void ForgetSpriteRows(int from) {
    for (int n = from; n < kSprites; ++n) {
        gSprites.sprites[n].pattern = kNoPattern;
    }
}

// The lines where the four-per-line limit hides each listed sprite: the chip shows the first four
// sprites on a line in number order, whatever their colour, and none behind a fifth.
void CutCrowdedLines() {
    // Sprites on each line, counted through their first and one-past-last lines.
    std::int8_t steps[kChipLines + 1] = {};
    for (int n = 0; n < gSprites.listed; ++n) {
        Sprite& s = gSprites.sprites[n];
        s.cut = 0;
        const int first = s.start < 0 ? 0 : s.start;
        const int end = s.start + s.size < kChipLines ? s.start + s.size : kChipLines;
        if (first < end) {
            ++steps[first];
            --steps[end];
        }
    }
    int count = 0;
    bool crowded = false;
    for (int line = 0; line < kChipLines && !crowded; ++line) {
        count += steps[line];
        crowded = count > kSpritesPerLine;
    }
    if (!crowded) {
        return;
    }
    std::uint8_t onLine[kChipLines] = {};
    for (int n = 0; n < gSprites.listed; ++n) {
        Sprite& s = gSprites.sprites[n];
        const int first = s.start < 0 ? 0 : s.start;
        const int end = s.start + s.size < kChipLines ? s.start + s.size : kChipLines;
        for (int line = first; line < end; ++line) {
            if (onLine[line] >= kSpritesPerLine) {
                s.cut |= 1u << (line - s.start);
            }
            ++onLine[line];
        }
    }
}

// Takes the listed sprites from the chip's tables; a sprite's pattern rows are read again only
// when it names another pattern or the dirty map says its pattern changed.
void TakeSprites(const Vdp& vdp) {
    const std::uint8_t* vram = vdp.Vram();
    const std::uint8_t* dirty = vdp.DirtyMap();
    const std::uint8_t* attributes = vram + vdp.SpriteAttributeTable();
    const unsigned patterns = vdp.SpritePatternTable();
    const bool large = vdp.Register(1) & 0x02;
    const unsigned mag = vdp.Register(1) & 0x01;
    const int size = (large ? 16 : 8) << mag;
    // A pattern's blocks: 1, or 4 (32-byte aligned) for large sprites: in one dirty-map byte.
    const unsigned blocks = large ? 0x0Fu : 0x01u;
    int n = 0;
    for (; n < kSprites; ++n) {
        const std::uint8_t* a = attributes + 4 * n;
        if (a[0] == kSpriteTerminator) {
            break;
        }
        Sprite& s = gSprites.sprites[n];
        // Y is the line above the first; in 8 bits, so large values hang in from the top.
        int start = (a[0] + 1) & 0xFF;
        if (start >= kChipLines) {
            start -= 256;
        }
        s.start = std::int16_t(start);
        s.x = std::int16_t(a[1] - ((a[3] & 0x80) ? 32 : 0));
        s.colour = a[3] & 0x0F;
        const unsigned pattern = patterns + (large ? (a[2] & 0xFCu) : a[2]) * 8;
        if (pattern == s.pattern && size == s.size && mag == s.mag &&
            !((dirty[pattern >> 6] >> ((pattern >> 3) & 7)) & blocks)) {
            continue;
        }
        s.size = std::uint8_t(size);
        s.mag = std::uint8_t(mag);
        s.pattern = std::uint16_t(pattern);
        s.rowsRead = true;
        for (int r = 0; r < 16; ++r) {
            unsigned bits = 0;
            if (r < (large ? 16 : 8)) {
                // Large sprites: the right half's bytes sit 16 bytes after the left half's.
                bits = unsigned(vram[pattern + r]) << 8 | (large ? vram[pattern + r + 16] : 0u);
            }
            s.rows[r] = std::uint16_t(bits);
        }
    }
    gSprites.listed = n;
    // Unlisted sprites miss their patterns' changes.
    ForgetSpriteRows(n);
    CutCrowdedLines();
}

// Draws sprite `slot`'s object tiles for `view`: GBA row j holds the sprite's line shown on GBA
// line y + j, so the fit view leaves out the same lines of the sprite as of the background under
// it, and lines cut by the four-per-line limit stay empty. Returns y, or -1 when no line of the
// sprite is on screen.
RIX_IWRAM_CODE int DrawSprite(int slot, const Sprite& sprite, View view);
int DrawSprite(int slot, const Sprite& sprite, View view) {
    const int size = sprite.size;
    const int top = sprite.start < 0 ? 0 : sprite.start;
    const int bottom =
        sprite.start + size - 1 < kChipLines ? sprite.start + size - 1 : kChipLines - 1;
    if (top > bottom) {
        return -1;
    }
    const int y = FirstGbaLine(view, top);
    if (y >= kGbaLines || ChipLine(view, y) > bottom) {
        return -1;
    }
    const int tilesAcross = size / 8;
    volatile std::uint32_t* tiles =
        Words(hw::kVramObj + (kFirstObjectTile + slot * kSlotTiles) * kTileBytes);
    for (int j = 0; j < size; ++j) {
        unsigned bits = 0;
        const int line = y + j < kGbaLines ? ChipLine(view, y + j) : kChipLines;
        if (line <= bottom) {
            const int i = line - sprite.start;
            if (!((sprite.cut >> i) & 1u)) {
                bits = sprite.rows[i >> sprite.mag];
            }
        }
        volatile std::uint32_t* row = tiles + (j >> 3) * tilesAcross * 8 + (j & 7);
        for (int tx = 0; tx < tilesAcross; ++tx) {
            row[tx * 8] = sprite.mag ? kPixels.doubled[(bits >> (12 - 4 * tx)) & 15]
                                     : Spread((bits >> (8 - 8 * tx)) & 0xFF);
        }
    }
    return y;
}

void HideObjects(int from, int to) {
    for (int i = from; i < to; ++i) {
        hw::Reg<std::uint16_t>(hw::kOam + 8 * i) = kObjectHidden;
    }
}

} // namespace

void GameVideo::Start(View view) {
    view_ = view;
    convertAll_ = true;
    spritesShown_ = false;
    hw::Reg<std::uint16_t>(hw::kDispcnt) = hw::kDispcntForcedBlank;
    // BG palette bank 0 is the chip's palette (entry 0, the backdrop, is set each frame); OBJ
    // bank c shows colour c in pixel value 1.
    for (int c = 0; c < 16; ++c) {
        hw::Reg<std::uint16_t>(hw::kPaletteBg + 2 * c) = rix::emu::kVdpPaletteBgr555[c];
        hw::Reg<std::uint16_t>(hw::kPaletteObj + 32 * c + 2) = rix::emu::kVdpPaletteBgr555[c];
    }
    hw::Reg<std::uint16_t>(hw::kBg0cnt) = hw::BgControl(0, kScreenBlock);
    hw::Reg<std::uint16_t>(hw::kBg0hofs) = kCrop;
    hw::Reg<std::uint16_t>(hw::kBg0vofs) = std::uint16_t(kViewStart[int(view)]);
    HideObjects(0, kObjects);
    for (int y = 0; y <= kGbaLines; ++y) {
        gFitScroll[y] = std::uint16_t(ChipLine(View::kFit, y) - y);
    }
    for (Sprite& sprite : gSprites.sprites) {
        sprite.drawn = false;
    }
    ForgetSpriteRows(0);
    gSprites.listed = 0;
    gSprites.objects = 0;
    // The backdrop (black) until the first frame is converted.
    hw::Reg<std::uint16_t>(hw::kDispcnt) = hw::kDispcntMode0 | hw::kDispcntObj1d;
    gShown = this;
    gVblankHook = VblankHook;
}

void GameVideo::Stop() {
    gVblankHook = nullptr;
    gShown = nullptr;
    hw::Reg<std::uint32_t>(hw::kDma0cnt) = 0;
    hw::Reg<std::uint16_t>(hw::kDispcnt) = hw::kDispcntForcedBlank;
    hw::Reg<std::uint16_t>(hw::kBg0hofs) = 0;
    hw::Reg<std::uint16_t>(hw::kBg0vofs) = 0;
    HideObjects(0, kObjects);
}

void GameVideo::SetView(View view) {
    view_ = view;
    if (spritesShown_) {
        PlaceSprites();
    }
}

void GameVideo::Frame(const Vdp& vdp) {
    const Mode mode = vdp.CurrentMode();
    const std::uint32_t layout = Layout(vdp);
    const bool all = convertAll_ || layout != converted_;
    // Converted even while the display is blanked, where games fill their tables.
    switch (mode) {
    case Mode::Graphics1:
        ConvertGraphics1(vdp, all);
        break;
    case Mode::Graphics2:
        ConvertGraphics2(vdp, all);
        break;
    case Mode::Multicolor:
        ConvertMulticolor(vdp, all);
        break;
    case Mode::Text:
        ConvertText(vdp, all);
        break;
    }
    WriteMap(vdp, mode, all);
    convertAll_ = false;
    converted_ = layout;

    hw::Reg<std::uint16_t>(hw::kPaletteBg) = rix::emu::kVdpPaletteBgr555[vdp.Backdrop()];
    std::uint16_t display = hw::kDispcntMode0 | hw::kDispcntObj1d;
    spritesShown_ = vdp.DisplayEnabled() && mode != Mode::Text;
    if (vdp.DisplayEnabled()) {
        display |= hw::kDispcntBg0;
    }
    if (spritesShown_) {
        TakeSprites(vdp);
        PlaceSprites();
        display |= hw::kDispcntObj;
    } else {
        ForgetSpriteRows(0); // the dirty map is cleared without them
    }
    hw::Reg<std::uint16_t>(hw::kDispcnt) = display;
}

void GameVideo::PlaceSprites() {
    for (int k = 0; k < gSprites.listed; ++k) {
        Sprite& s = gSprites.sprites[k];
        const std::uintptr_t object = hw::kOam + 8 * k;
        if (s.colour == 0) { // transparent: the sprites behind it show
            hw::Reg<std::uint16_t>(object) = kObjectHidden;
            continue;
        }
        if (!s.drawn || s.rowsRead || s.drawnView != view_ || s.drawnSize != s.size ||
            s.drawnMag != s.mag || s.drawnStart != s.start || s.drawnCut != s.cut) {
            s.y = std::int16_t(DrawSprite(k, s, view_));
            s.drawn = true;
            s.rowsRead = false;
            s.drawnView = view_;
            s.drawnSize = s.size;
            s.drawnMag = s.mag;
            s.drawnStart = s.start;
            s.drawnCut = s.cut;
        }
        if (s.y < 0) {
            hw::Reg<std::uint16_t>(object) = kObjectHidden;
            continue;
        }
        const unsigned sizeCode = s.size == 8 ? 0 : s.size == 16 ? 1 : 2;
        // Square 4bpp objects; priority 0, in front of BG0 (also priority 0).
        hw::Reg<std::uint16_t>(object) = std::uint16_t(s.y);
        hw::Reg<std::uint16_t>(object + 2) =
            std::uint16_t(((s.x - kCrop) & 0x1FF) | sizeCode << 14);
        hw::Reg<std::uint16_t>(object + 4) =
            std::uint16_t((kFirstObjectTile + k * kSlotTiles) | s.colour << 12);
    }
    HideObjects(gSprites.listed, gSprites.objects);
    gSprites.objects = gSprites.listed;
}

void GameVideo::VBlank() {
    RIX_PROFILE_BEGIN(Video);
    // Re-armed for each frame: in repeat mode the source only ever advances.
    hw::Reg<std::uint32_t>(hw::kDma0cnt) = 0;
    if (view_ == View::kFit) {
        hw::Reg<std::uint16_t>(hw::kBg0vofs) = gFitScroll[0];
        hw::Reg<std::uint32_t>(hw::kDma0sad) = reinterpret_cast<std::uintptr_t>(&gFitScroll[1]);
        hw::Reg<std::uint32_t>(hw::kDma0dad) = hw::kBg0vofs;
        hw::Reg<std::uint32_t>(hw::kDma0cnt) = 1u | hw::kDmaHblankRepeat16;
    } else {
        hw::Reg<std::uint16_t>(hw::kBg0vofs) = std::uint16_t(kViewStart[int(view_)]);
    }
    RIX_PROFILE_END(Video);
}

} // namespace rix::gba
