// The Z80 core's speed on the GBA: builds the benchmark image (make -C gba bench), runs it in
// the harness's GBA core until it has timed the core with the GBA's own timers, and prints ARM
// cycles per emulated Z80 cycle against the 4.7 that full speed allows for the CPU, video and
// sound together, and the video chip's line renderer against the 1,071 ARM cycles of a line.
// The same run on the host core must leave the same digest: the figures are only worth
// something if the GBA build computes what the tested host build computes.
//
//   bench_z80_gba            build gba/build/z80bench.gba and run it
//   bench_z80_gba IMAGE      run an image built elsewhere (another placement, say)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "GbaMachine.h"
#include "bench/Z80Bench.h"

namespace {

namespace bench = rix::gba::bench;

// ARM cycles (16,777,216 Hz) per Z80 cycle (3,579,545 Hz) at full speed, rounded down as the
// budget is usually quoted; per 228-cycle line that is 1,071.
constexpr double kBudget = 4.7;
constexpr double kLineBudget = 1071.0;
constexpr int kMaxFrames = 3000;

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t Field(rix::test::GbaMachine& gba, std::size_t offset) {
    return gba.Read32(bench::kResultsAddress + std::uint32_t(offset));
}

std::string BuildImage() {
    if (std::system("command -v arm-none-eabi-g++ >/dev/null 2>&1") != 0) {
        std::puts("skipped: arm-none-eabi-g++ not found, so the GBA benchmark image cannot be "
                  "built (scripts/install-deps installs the toolchain)");
        return {};
    }
    const std::string gbaDir = std::string(RIX_SOURCE_DIR) + "/gba";
    const std::string command = "make -s -C '" + gbaDir + "' bench";
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("'" + command + "' failed");
    }
    return gbaDir + "/build/z80bench.gba";
}

int Run(int argc, char** argv) {
    const std::string imagePath = argc > 1 ? argv[1] : BuildImage();
    if (imagePath.empty()) {
        return 0;
    }
    std::vector<std::uint8_t> image = ReadFile(imagePath);
    if (image.empty()) {
        std::fprintf(stderr, "bench_z80_gba: cannot read %s\n", imagePath.c_str());
        return 1;
    }

    rix::test::GbaMachine gba(std::move(image));
    const int frames = gba.RunUntil(
        [&] { return Field(gba, offsetof(bench::Results, marker)) == bench::kDoneMarker; },
        kMaxFrames);
    if (frames < 0) {
        std::fprintf(stderr, "bench_z80_gba: no results after %d frames (pc %08X)\n", kMaxFrames,
                     unsigned(gba.Pc()));
        for (const std::string& error : gba.Errors()) {
            std::fprintf(stderr, "  %s\n", error.c_str());
        }
        return 1;
    }

    const std::uint32_t expected = bench::RunMixOnce(*std::make_unique<rix::emu::Machine>());
    std::printf("Z80 mix on the machine (the Z80 and RAM in IWRAM, the cartridge page in video "
                "memory, the rest in EWRAM), %d frames "
                "of %d lines x %d cycles, nothing drawn, run as the cartridge program runs "
                "them: in blocks of lines between the machine's events, each block followed by "
                "its lines' work (sound chip not clocked, as on the GBA); timer overhead %u ARM "
                "cycles (taken off)\n",
                bench::kFrames, bench::kFrameLines, bench::kLineCycles,
                unsigned(Field(gba, offsetof(bench::Results, timerOverhead))));
    const std::uint32_t z80 = Field(gba, offsetof(bench::Results, z80Cycles));
    const std::uint32_t arm = Field(gba, offsetof(bench::Results, armCycles));
    const std::uint32_t digest = Field(gba, offsetof(bench::Results, digest));
    const double perCycle = z80 != 0 ? double(arm) / z80 : 0.0;
    const bool same = digest == expected;
    std::printf("  %u Z80 cycles in %u ARM cycles: %.3f ARM cycles per Z80 cycle; "
                "budget %.1f; ratio %.2f of the budget%s\n",
                unsigned(z80), unsigned(arm), perCycle, kBudget, perCycle / kBudget,
                same ? "" : "  (DIGEST DIFFERS FROM THE HOST)");
    const std::uint32_t cpuZ80 = Field(gba, offsetof(bench::Results, cpuZ80Cycles));
    const std::uint32_t cpuArm = Field(gba, offsetof(bench::Results, cpuArmCycles));
    const double cpuPerCycle = cpuZ80 != 0 ? double(cpuArm) / cpuZ80 : 0.0;
    std::printf("  the Z80 alone (the same blocks of lines run by RunLines with nothing behind "
                "them: no video chip lines or interrupt checks): %u Z80 cycles in %u ARM cycles: "
                "%.3f ARM cycles "
                "per Z80 cycle; target 3.0, "
                "ratio %.2f\n",
                unsigned(cpuZ80), unsigned(cpuArm), cpuPerCycle, cpuPerCycle / 3.0);

    const std::uint32_t lines = Field(gba, offsetof(bench::Results, vdpLines));
    const double draw = double(Field(gba, offsetof(bench::Results, vdpDrawCycles))) / lines;
    const double status = double(Field(gba, offsetof(bench::Results, vdpStatusCycles))) / lines;
    const double plain = double(Field(gba, offsetof(bench::Results, vdpPlainCycles))) / lines;
    const double cpu = double(Field(gba, offsetof(bench::Results, armCycles))) /
                       Field(gba, offsetof(bench::Results, z80Cycles)) * bench::kLineCycles;
    std::printf("Video chip, Graphics II with four 16x16 magnified sprites on every line "
                "(%u lines):\n",
                unsigned(lines));
    std::printf("  ScanLine drawing: %.0f ARM cycles per line; ratio %.2f of the %.0f a line "
                "allows\n",
                draw, draw / kLineBudget, kLineBudget);
    std::printf("  ScanLine status only (for a tile layer): %.0f ARM cycles per line; ratio "
                "%.2f\n",
                status, status / kLineBudget);
    const double frameStatus =
        double(Field(gba, offsetof(bench::Results, vdpFrameStatusCycles))) / lines;
    std::printf("  the same status worked out once a frame (collision mode Normal): %.0f ARM "
                "cycles per line; ratio %.2f\n",
                frameStatus, frameStatus / kLineBudget);
    std::printf("  ScanLine drawing the same screen without sprites: %.0f ARM cycles per line; "
                "ratio %.2f\n",
                plain, plain / kLineBudget);
    std::printf("  a line's machine %.0f + drawing %.0f = %.0f of %.0f ARM cycles "
                "(ratio %.2f); with status only %.0f (ratio %.2f)\n",
                cpu, draw, cpu + draw, kLineBudget, (cpu + draw) / kLineBudget, cpu + status,
                (cpu + status) / kLineBudget);
    if (!same) {
        std::fprintf(stderr,
                     "bench_z80_gba: the GBA run's digest differs from the host's "
                     "(%08X): the core compiled for the GBA computes differently\n",
                     unsigned(expected));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_z80_gba: %s\n", e.what());
        return 1;
    }
}
