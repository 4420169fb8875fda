// The machine's speed on the host: emulated frames per second, every frame drawn, on the menu
// of the test suite in ../shared/testdata/coleco and on its heavier screens, and the ratio to
// the console's own 60 frames per second.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/Machine.h"

namespace {

using rix::emu::Machine;

struct Step {
    std::uint16_t keys;
    int frames;
};

// How each screen is reached from power-on: the menu reads the controller from its 281st frame.
struct Screen {
    const char* name;
    std::vector<Step> steps;
};

constexpr std::uint16_t kDown = rix::emu::kGbaDown;
constexpr std::uint16_t kFire = rix::emu::kGbaA;

std::vector<Step> Press(std::vector<std::uint16_t> keys) {
    std::vector<Step> steps{{0, 300}};
    for (std::uint16_t k : keys) {
        steps.push_back({k, 6});
        steps.push_back({0, 14});
    }
    steps.push_back({0, 60});
    return steps;
}

constexpr int kTimedFrames = 3000;

double FramesPerSecond(const std::vector<std::uint8_t>& rom, const Screen& screen) {
    auto machine = std::make_unique<Machine>();
    rix::emu::MachineConfig config;
    config.rom = rom.data();
    config.romSize = static_cast<std::uint32_t>(rom.size());
    machine->Load(config);
    std::vector<std::uint8_t> picture(rix::emu::Vdp::kWidth * rix::emu::Vdp::kActiveLines);
    for (const Step& step : screen.steps) {
        machine->SetKeys(step.keys);
        for (int i = 0; i < step.frames; ++i) {
            machine->RunFrame(picture.data());
        }
    }
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kTimedFrames; ++i) {
        machine->RunFrame(picture.data());
    }
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    return kTimedFrames / spent.count();
}

} // namespace

int main() {
    const std::string path = std::string(RIX_TESTDATA_DIR) + "/coleco/suitecv.rom";
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> rom{std::istreambuf_iterator<char>(in), {}};
    if (rom.empty()) {
        std::fprintf(stderr, "bench_machine: cannot read %s\n", path.c_str());
        return 1;
    }
    const Screen screens[] = {
        {"suitecv menu", Press({})},
        {"suitecv grid scroll (Graphics II updates)",
         Press({kDown, kFire, kDown, kDown, kDown, kDown, kFire})},
        {"suitecv drop shadow (sprites over Graphics II)", Press({kDown, kFire, kFire})},
        {"suitecv controller test", Press({kDown, kDown, kDown, kFire, kFire})},
    };
    std::printf("%d frames each, drawn into a 256 x 192 picture, after the screen is reached\n",
                kTimedFrames);
    for (const Screen& screen : screens) {
        const double fps = FramesPerSecond(rom, screen);
        std::printf("  %s: %.0f frames/s, %.1fx real time\n", screen.name, fps, fps / 60.0);
    }
    return 0;
}
