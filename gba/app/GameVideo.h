// A running game's picture on the GBA: the video chip's tables mapped onto the GBA's tile
// hardware once a frame (patterns and colours converted only where the chip's dirty map says
// they changed, the name table as the screen map, sprites as objects, the backdrop as the
// GBA's), shown in one of the views below. The machine calls Frame at the end of the chip's
// active display; VBlank runs in the vertical blank interrupt while a game is shown (Start
// hooks it in, Stop takes it out), because a frame of emulation may take longer than one of
// the GBA's. gba/README.md ("A game's picture") has the memory layout and what each mode
// becomes.
#pragma once

#include <cstdint>

#include "core/Renderer.h"

namespace rix::gba {

// The video memory a game's picture leaves free: from the end of the background's map to the
// first object tile in use, 32 KiB and a word. The cartridge program keeps the copy of a
// cartridge of 32 KiB or less there, where the Z80's fetches and reads take a cycle a byte
// (EWRAM takes three, the cartridge's ROM four).
inline constexpr std::uintptr_t kFreeVram = 0x06008800;
inline constexpr std::uint32_t kFreeVramSize = 0x8000 + 4;

// How the chip's 256 x 192 picture meets the GBA's 240 x 160 screen. Both crop 8 pixels at each
// side. kFit shows all 192 lines by leaving out one in six (chip lines 5, 11, ..., 191); the
// 1:1 views show 160 lines unscaled, from chip line 0, 16 or 32.
enum class View : std::uint8_t { kFit, kTop, kMiddle, kBottom };
inline constexpr int kViewCount = 4;

class GameVideo final : public rix::emu::VideoRenderer {
public:
    // Takes the display over for a game: mode, layers, palettes and memory as a game needs
    // them, everything marked for conversion; `view` to start with.
    void Start(View view);
    // Leaves the display as the menu takes it back: forced blank, scroll 0, objects hidden,
    // the line DMA stopped, the vertical blank hook out.
    void Stop();

    // Takes effect at once for the sprites and at the next vertical blank for the background.
    void SetView(View view);
    View CurrentView() const { return view_; }

    // The chip's tables at the end of its active display: converted into the GBA's. What
    // changed is read from the chip's dirty map, which the caller must clear right after
    // (before the chip runs on), since Frame gets the chip as const.
    void Frame(const rix::emu::Vdp& vdp) override;
    // In the vertical blank interrupt: what must be set anew for each GBA frame (the line
    // table of the fit view, say).
    void VBlank();

private:
    // Places the sprites taken at the last Frame for the current view.
    void PlaceSprites();

    View view_ = View::kFit;
    bool convertAll_ = true;      // the next Frame converts every tile and the whole map
    bool spritesShown_ = false;   // the last Frame showed sprites
    std::uint32_t converted_ = 0; // the mode and table registers the tiles stand for
};

} // namespace rix::gba
