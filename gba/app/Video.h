// The text screen on the GBA: background 0 in mode 0 shows 30 x 20 tiles that together form a
// 240 x 160 4-bit canvas, so 6-pixel character cells need not line up with 8-pixel tiles. Two
// canvases (character blocks 0 and 2) take turns: rows are drawn into the hidden one and shown
// by switching BG0's character block at the next vertical blank, so no frame shows half a
// redraw.
#pragma once

#include "TextScreen.h"

namespace rix::gba {

class Video {
public:
    void Init();
    // Draws the rows of `screen` that differ from what the hidden canvas holds.
    void Draw(const TextScreen& screen);
    // Shows the canvas drawn last; call during the vertical blank.
    void Flip();

private:
    TextScreen held_[2] = {}; // what each canvas shows
    int front_ = 0;
    bool drawn_ = false;
};

} // namespace rix::gba
