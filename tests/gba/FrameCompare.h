// A game's frames on the GBA against the host's: the reference picture of an emulated frame (the
// machine with the host's line renderer, what rix-run draws) mapped through a view as the GBA
// shows it, the same game run from the GBA menu to that frame through the program's test port,
// and a comparison that saves both pictures beside the test binary when they differ.
//
//   const Game game{rom};
//   HostGame host(game);
//   GbaGame gba(TestImage(), game);
//   host.RunTo(60);
//   gba.ShowFrame(60);
//   EXPECT_TRUE(SamePicture(ShownOnGba(host.Picture(), gba.CurrentView()), gba.Screen(), "x"));
//
// The GBA converts the chip's tables once a frame, at the end of the active display: where a
// game changes them while its frame is drawn, it shows EndOfDisplayPicture, not Picture.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Cartridge.h"
#include "GbaMachine.h"
#include "app/GameVideo.h"
#include "core/Machine.h"
#include "support/Png.h"

namespace rix::test {

using gba::kViewCount;
using gba::View;

// Buttons held from emulated frame `first` to `last` (counted from 1, both included), as the
// test port's presses take them. Keys are the GBA's KEYINPUT bits (kKeyA...).
struct FramePress {
    std::uint32_t first;
    std::uint32_t last;
    std::uint16_t keys;
};

// A game as both sides run it: its ROM, its record (controls all 0: the default controls) and
// the presses scripted by frame.
struct Game {
    std::vector<std::uint8_t> rom;
    GameConfig config = {"Game"};
    std::vector<FramePress> presses = {};
};

// The image the GBA tests run: resources/rix.gba, or the file RIX_GBA_IMAGE names (to try a
// build before its bytes are committed, e.g. RIX_GBA_IMAGE=/tmp/gba/rix.gba).
const std::vector<std::uint8_t>& TestImage();

// The host's machine running the game with the record's settings and our BIOS.
class HostGame {
public:
    explicit HostGame(const Game& game);
    // The machine set up by `config` (as rix-run reads it from a cartridge; its buffers must
    // outlive this), with `presses` as the GBA's game sees them.
    HostGame(const rix::emu::MachineConfig& config, std::vector<FramePress> presses);
    // Runs frames until `frame` frames have run (never back).
    void RunTo(std::uint32_t frame);
    std::uint32_t Frames() const { return frames_; }
    // The last frame: 256 x 192 palette indices, as rix-run draws it (each line as the chip
    // stood when it was drawn).
    const std::vector<std::uint8_t>& Picture() const { return picture_; }
    // The last frame drawn whole from the tables as they stood at the end of its active display,
    // which is when the GBA converts them.
    const std::vector<std::uint8_t>& EndOfDisplayPicture() const { return endPicture_; }
    // The two differ: the game changed what shows while its frame was being drawn.
    bool ChangedDuringDisplay() const { return picture_ != endPicture_; }
    const rix::emu::Machine& Machine() const { return *machine_; }

private:
    class Renderer;

    Game game_;
    std::unique_ptr<rix::emu::Machine> machine_;
    std::vector<std::uint8_t> picture_;
    std::vector<std::uint8_t> endPicture_;
    std::uint32_t frames_ = 0;
};

// The game on the GBA: a cartridge of `image` with the game as its only ROM, booted, the presses
// written to the test port, started with Start from the list. The key that starts it is still
// held in the game's first frame, so HostGame holds it there too.
class GbaGame {
public:
    GbaGame(const std::vector<std::uint8_t>& image, const Game& game);
    // Game `number` (1-based, as the menu lists them) of a whole cartridge, with `presses`.
    GbaGame(const std::vector<std::uint8_t>& cartridge, std::uint32_t number,
            const std::vector<FramePress>& presses);
    // Lets the game run to emulated frame `frame` and holds it there, with the frame on screen.
    void ShowFrame(std::uint32_t frame);
    // Taps L+R+Select (the player's next view); the game, held, does not see them.
    void NextView();
    View CurrentView();
    std::uint32_t Frames();
    RgbImage Screen() const { return machine_->Screen(); }
    GbaMachine& Machine() { return *machine_; }

private:
    void Start(std::uint32_t number, const std::vector<FramePress>& presses);
    std::uint32_t Port(std::size_t offset);
    std::unique_ptr<GbaMachine> machine_;
};

// The chip line GBA line y (0..159) shows in `view`.
int ChipLineShown(View view, int y);

// A 15-bit GBA colour as the harness's screen gives it (each 5-bit channel c as c << 3 | c >> 2).
void GbaRgb(std::uint16_t bgr555, std::uint8_t rgb[3]);

// `picture` (256 x 192 palette indices) as the GBA shows it in `view`: chip columns 8..247 and the
// view's lines, each index in kVdpPaletteBgr555 as the harness's screen expands it.
RgbImage ShownOnGba(const std::vector<std::uint8_t>& picture, View view);

// Equal pictures, or a failure that says how many pixels differ and where the first is, having
// written `name`.expected.png and `name`.actual.png beside the test binary.
testing::AssertionResult SamePicture(const RgbImage& expected, const RgbImage& actual,
                                     const std::string& name);

} // namespace rix::test
