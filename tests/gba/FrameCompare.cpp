#include "FrameCompare.h"

#include <cstddef>
#include <cstdlib>
#include <sstream>

#include "MenuReading.h"
#include "app/Record.h"
#include "app/TestPort.h"

namespace rix::test {

namespace {

using gba::TestPort;
using gba::TestPress;

// Emulated frames may each take several GBA frames while the machine is below full speed.
constexpr int kGbaFramesPerGameFrame = 20;

std::uint16_t KeysOnFrame(const std::vector<FramePress>& presses, std::uint32_t frame) {
    std::uint16_t keys = 0;
    for (const FramePress& press : presses) {
        if (frame >= press.first && frame <= press.last) {
            keys = std::uint16_t(keys | press.keys);
        }
    }
    return keys;
}

// The presses the GBA's game sees: the test's, and Start, which started it, on frame 1.
std::vector<FramePress> AsOnGba(std::vector<FramePress> presses) {
    presses.push_back({1, 1, kKeyStart});
    return presses;
}

} // namespace

const std::vector<std::uint8_t>& TestImage() {
    static const std::vector<std::uint8_t> image = [] {
        const char* path = std::getenv("RIX_GBA_IMAGE");
        return path != nullptr && *path != '\0' ? ReadFile(path) : RixImage();
    }();
    return image;
}

// The line renderer, and the whole picture again from the tables at the end of the display.
class HostGame::Renderer final : public rix::emu::VideoRenderer {
public:
    explicit Renderer(HostGame& game) : VideoRenderer(true), game_(game) {}
    void Line(const rix::emu::Vdp& vdp, int line) override {
        if (line < rix::emu::Vdp::kActiveLines) {
            vdp.DrawLine(line, game_.picture_.data() + std::size_t(line) * rix::emu::Vdp::kWidth);
        }
    }
    void Frame(const rix::emu::Vdp& vdp) override {
        for (int line = 0; line < rix::emu::Vdp::kActiveLines; ++line) {
            vdp.DrawLine(line,
                         game_.endPicture_.data() + std::size_t(line) * rix::emu::Vdp::kWidth);
        }
    }

private:
    HostGame& game_;
};

HostGame::HostGame(const rix::emu::MachineConfig& config, std::vector<FramePress> presses)
    : machine_(std::make_unique<rix::emu::Machine>()),
      picture_(std::size_t(rix::emu::Vdp::kWidth) * rix::emu::Vdp::kActiveLines),
      endPicture_(picture_.size()) {
    game_.presses = AsOnGba(std::move(presses));
    machine_->Load(config);
}

HostGame::HostGame(const Game& game)
    : game_(game), machine_(std::make_unique<rix::emu::Machine>()),
      picture_(std::size_t(rix::emu::Vdp::kWidth) * rix::emu::Vdp::kActiveLines),
      endPicture_(picture_.size()) {
    game_.presses = AsOnGba(game_.presses);
    rix::emu::MachineConfig config;
    config.rom = game_.rom.data();
    config.romSize = std::uint32_t(game_.rom.size());
    // As the GBA program reads the game's record.
    gba::ApplyRecord(MakeRecord(RomKey(game_.rom), game_.config).data(), config);
    machine_->Load(config);
}

void HostGame::RunTo(std::uint32_t frame) {
    while (frames_ < frame) {
        ++frames_;
        machine_->SetKeys(KeysOnFrame(game_.presses, frames_));
        Renderer renderer(*this);
        machine_->RunFrame(renderer);
    }
}

GbaGame::GbaGame(const std::vector<std::uint8_t>& image, const Game& game) {
    CartContents contents;
    contents.games = {{game.rom, game.config}};
    machine_ = Boot(MakeCartridge(image, contents));
    Start(1, game.presses);
}

GbaGame::GbaGame(const std::vector<std::uint8_t>& cartridge, std::uint32_t number,
                 const std::vector<FramePress>& presses) {
    machine_ = Boot(cartridge);
    Start(number, presses);
}

void GbaGame::Start(std::uint32_t number, const std::vector<FramePress>& presses) {
    if (presses.size() > std::size_t(gba::kTestPortPresses)) {
        ADD_FAILURE() << "the test port takes " << gba::kTestPortPresses << " presses";
    }
    const std::uint32_t port = gba::kTestPortAddress;
    std::uint32_t count = 0;
    for (const FramePress& press : presses) {
        if (count == std::uint32_t(gba::kTestPortPresses)) {
            break;
        }
        const std::uint32_t at = port + offsetof(TestPort, presses) + count * sizeof(TestPress);
        machine_->Write32(at + offsetof(TestPress, first), press.first);
        machine_->Write32(at + offsetof(TestPress, last), press.last);
        machine_->Write32(at + offsetof(TestPress, keys), press.keys);
        ++count;
    }
    machine_->Write32(port + offsetof(TestPort, pressCount), count);
    // Held from the first frame on until ShowFrame lets it run.
    machine_->Write32(port + offsetof(TestPort, stopAt), 1);
    for (std::uint32_t row = 1; row < number; ++row) {
        machine_->Tap(kKeyDown);
    }
    // One GBA frame of Start: the menu starts the game and the game's first frame takes it.
    machine_->SetKeys(kKeyStart);
    machine_->RunFrames(1);
    machine_->SetKeys(0);
    const int ran =
        machine_->RunUntil([&] { return Port(offsetof(TestPort, game)) == number; }, 10);
    EXPECT_GE(ran, 0) << "game " << number << " did not start";
}

std::uint32_t GbaGame::Port(std::size_t offset) {
    return machine_->Read32(gba::kTestPortAddress + std::uint32_t(offset));
}

std::uint32_t GbaGame::Frames() {
    return Port(offsetof(TestPort, frames));
}

View GbaGame::CurrentView() {
    return View(Port(offsetof(TestPort, view)));
}

void GbaGame::ShowFrame(std::uint32_t frame) {
    machine_->Write32(gba::kTestPortAddress + offsetof(TestPort, stopAt), frame);
    const std::uint32_t from = Frames();
    const int budget = int(frame > from ? frame - from : 1) * kGbaFramesPerGameFrame;
    const int ran = machine_->RunUntil([&] { return Frames() >= frame; }, budget);
    EXPECT_GE(ran, 0) << "frame " << frame << " not reached; at " << Frames();
    EXPECT_EQ(Frames(), frame) << "ran past the frame asked for";
    // The frame was converted during the GBA frame in which it ended: the next one shows it
    // whole, from a vertical blank that set the view up.
    machine_->RunFrames(2);
}

void GbaGame::NextView() {
    machine_->Tap(kKeyL | kKeyR | kKeySelect, 2);
}

int ChipLineShown(View view, int y) {
    switch (view) {
    case View::kFit:
        return y + y / 5;
    case View::kTop:
        return y;
    case View::kMiddle:
        return y + 16;
    case View::kBottom:
        return y + 32;
    }
    return y;
}

void GbaRgb(std::uint16_t bgr555, std::uint8_t rgb[3]) {
    for (int channel = 0; channel < 3; ++channel) {
        const unsigned c = (bgr555 >> (5 * channel)) & 0x1F;
        rgb[channel] = std::uint8_t(c << 3 | c >> 2);
    }
}

RgbImage ShownOnGba(const std::vector<std::uint8_t>& picture, View view) {
    constexpr int kCrop = 8;
    RgbImage image;
    image.width = kGbaWidth;
    image.height = kGbaHeight;
    image.rgb.resize(std::size_t(kGbaWidth) * kGbaHeight * 3);
    for (int y = 0; y < kGbaHeight; ++y) {
        const std::uint8_t* line =
            picture.data() + std::size_t(ChipLineShown(view, y)) * rix::emu::Vdp::kWidth;
        for (int x = 0; x < kGbaWidth; ++x) {
            GbaRgb(rix::emu::kVdpPaletteBgr555[line[x + kCrop] & 15],
                   &image.rgb[(std::size_t(y) * kGbaWidth + x) * 3]);
        }
    }
    return image;
}

testing::AssertionResult SamePicture(const RgbImage& expected, const RgbImage& actual,
                                     const std::string& name) {
    if (expected == actual) {
        return testing::AssertionSuccess();
    }
    std::ostringstream what;
    if (expected.width != actual.width || expected.height != actual.height) {
        what << name << ": " << actual.width << " x " << actual.height << ", expected "
             << expected.width << " x " << expected.height;
    } else {
        int differing = 0;
        int firstX = -1;
        int firstY = -1;
        for (int y = 0; y < expected.height; ++y) {
            for (int x = 0; x < expected.width; ++x) {
                const std::size_t at = (std::size_t(y) * expected.width + x) * 3;
                if (expected.rgb[at] != actual.rgb[at] ||
                    expected.rgb[at + 1] != actual.rgb[at + 1] ||
                    expected.rgb[at + 2] != actual.rgb[at + 2]) {
                    if (differing++ == 0) {
                        firstX = x;
                        firstY = y;
                    }
                }
            }
        }
        what << name << ": " << differing << " pixels differ, the first at (" << firstX << ", "
             << firstY << ")";
    }
    const std::string base = std::string(RIX_GBA_FRAMES_DIR) + "/" + name;
    WritePng(base + ".expected.png", expected);
    WritePng(base + ".actual.png", actual);
    what << "; see " << base << ".expected.png and .actual.png";
    return testing::AssertionFailure() << what.str();
}

} // namespace rix::test
