// Showing the video chip: the machine hands its renderer the chip after each active line and
// once at the end of the active display. The host draws lines into a picture (LineRenderer);
// the GBA maps the chip's tables onto its own tile hardware once a frame. Either way the chip's
// timing and status are the machine's business, not the renderer's.
//
// Portable like the chips: no heap, no exceptions, no RTTI.
#pragma once

#include <stdint.h>

#include "core/Vdp.h"

namespace rix::emu {

class VideoRenderer {
public:
    // After the CPU has run line `line` (0..261; the picture's lines are 0..191), before the
    // chip's status work for it. Called only for a renderer made with `drawsLines`: the others
    // let the machine run the lines between its own events in one go.
    virtual void Line(const Vdp& vdp, int line) {
        (void)vdp;
        (void)line;
    }
    // Once a frame, after line 191 and before line 192 raises the vertical interrupt: the
    // tables as the last active line saw them, before the game's interrupt routine changes them
    // for the next frame. A renderer of whole frames takes them from here.
    virtual void Frame(const Vdp& vdp) { (void)vdp; }

    bool DrawsLines() const { return drawsLines_; }

protected:
    // A renderer that overrides Line must say so here.
    explicit VideoRenderer(bool drawsLines = false) : drawsLines_(drawsLines) {}
    ~VideoRenderer() = default; // never deleted through this type

private:
    bool drawsLines_;
};

// The reference: each line drawn as the chip shows it, into 256 x 192 palette indices.
class LineRenderer final : public VideoRenderer {
public:
    explicit LineRenderer(uint8_t* picture) : VideoRenderer(true), picture_(picture) {}
    void Line(const Vdp& vdp, int line) override {
        if (line < Vdp::kActiveLines) {
            vdp.DrawLine(line, picture_ + line * Vdp::kWidth);
        }
    }

private:
    uint8_t* picture_;
};

} // namespace rix::emu
