// Z80 cycles emulated per second on zexdoc's instruction mix, and the same core speed expressed
// against a baseline measured in the same run: a loop that does nothing but read bytes through
// the same kind of page table, one dependent read after another (the least an interpreter pays
// to fetch an opcode). The ratio, host time per emulated Z80 cycle over host time per paged
// byte read, says how many such reads one Z80 cycle costs; it moves with the core's efficiency
// and much less with the host's clock.
#include "core/Z80.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using rix::emu::Z80;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kZ80Cycles = 1'000'000'000; // zexdoc runs ~46.7 billion in all
constexpr std::uint64_t kBaselineReads = 400'000'000;
constexpr double kColecoHz = 3'579'545.0;
constexpr int kRounds = 3;

volatile std::uint32_t sink;

struct Cpm {
    std::array<std::uint8_t, 0x10000> memory{};
    Z80 cpu;
};

void PrepareZexdoc(Cpm& cpm, const std::vector<std::uint8_t>& program) {
    cpm.memory.fill(0);
    // Warm boot: DI; HALT. BDOS at 0005h: JP FE00h; at FE00h just RET (the output is not needed).
    const std::uint8_t boot[] = {0xF3, 0x76, 0x00, 0x00, 0x00, 0xC3, 0x00, 0xFE};
    std::copy(std::begin(boot), std::end(boot), cpm.memory.begin());
    cpm.memory[0xFE00] = 0xC9;
    std::copy(program.begin(), program.end(), cpm.memory.begin() + 0x100);
    cpm.cpu = Z80();
    cpm.cpu.MapRead(0, 0x10000, cpm.memory.data());
    cpm.cpu.MapWrite(0, 0x10000, cpm.memory.data());
    auto state = cpm.cpu.State();
    state.pc = 0x100;
    cpm.cpu.SetState(state);
}

// Seconds for kZ80Cycles of zexdoc, run a scan line (228 cycles) at a time as the machine will.
double TimeCore(Cpm& cpm, const std::vector<std::uint8_t>& program) {
    PrepareZexdoc(cpm, program);
    const auto start = Clock::now();
    int debt = 0;
    while (cpm.cpu.ElapsedCycles() < kZ80Cycles) {
        debt = cpm.cpu.Run(228 - debt);
    }
    const std::chrono::duration<double> took = Clock::now() - start;
    sink = cpm.cpu.State().a;
    return took.count();
}

double TimeBaseline(const std::array<std::uint8_t, 0x10000>& memory) {
    std::array<const std::uint8_t*, rix::emu::kZ80PageCount> pages{};
    for (int i = 0; i < rix::emu::kZ80PageCount; ++i) {
        pages[i] = memory.data() + i * rix::emu::kZ80PageSize;
    }
    const auto start = Clock::now();
    std::uint32_t address = 0x100;
    std::uint32_t sum = 0;
    for (std::uint64_t i = 0; i < kBaselineReads; ++i) {
        const std::uint8_t b =
            pages[address >> rix::emu::kZ80PageBits][address & (rix::emu::kZ80PageSize - 1)];
        sum += b;
        address = (address + 1 + (b & 1)) & 0xFFFF;
    }
    const std::chrono::duration<double> took = Clock::now() - start;
    sink = sum;
    return took.count();
}

} // namespace

int main() {
    const std::string path = std::string(RIX_TESTDATA_DIR) + "/z80/zexdoc.com";
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "bench_z80: cannot read %s\n", path.c_str());
        return 1;
    }
    const std::vector<std::uint8_t> program((std::istreambuf_iterator<char>(file)),
                                            std::istreambuf_iterator<char>());
    static Cpm cpm;

    // Best of a few rounds each, interleaved so that both see the same machine load.
    double core = 1e30;
    double baseline = 1e30;
    for (int round = 0; round < kRounds; ++round) {
        core = std::min(core, TimeCore(cpm, program));
        baseline = std::min(baseline, TimeBaseline(cpm.memory));
    }

    const double cyclesPerSecond = static_cast<double>(kZ80Cycles) / core;
    const double readsPerSecond = static_cast<double>(kBaselineReads) / baseline;
    std::printf("Z80 core on zexdoc's first %llu M cycles, a 228-cycle line per Run, best of %d\n",
                static_cast<unsigned long long>(kZ80Cycles / 1'000'000), kRounds);
    std::printf("  core:     %8.1f M Z80 cycles/s (%.0f times a real 3.58 MHz Z80)\n",
                cyclesPerSecond / 1e6, cyclesPerSecond / kColecoHz);
    std::printf("  baseline: %8.1f M paged byte reads/s\n", readsPerSecond / 1e6);
    std::printf("  ratio:    %8.2f paged byte reads' time per emulated Z80 cycle (lower is "
                "faster)\n",
                readsPerSecond / cyclesPerSecond);
    return 0;
}
