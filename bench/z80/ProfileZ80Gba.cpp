// Where the GBA's time goes in the Z80 benchmark image: steps the harness's GBA core one ARM
// instruction at a time and charges each instruction's cycles to the symbol it belongs to,
// while the image's timer TM0 runs (each timed stretch is a "window": 1 is the mix on the
// machine, 2 the Z80 alone). A tool for the speed work, not a benchmark: make bench does not
// run it.
//
//   profile_z80_gba IMAGE ELF [WINDOW [SYMBOL]]
//     IMAGE, ELF   gba/build/z80bench.gba and gba/build/z80bench.elf (make -C gba bench)
//     WINDOW       the stretch to charge (default 2); -1 charges them all
//     SYMBOL       also lists that symbol's instructions: address, cycles, times run
#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <mgba-util/vfs.h>
#include <mgba/core/config.h>
#include <mgba/core/core.h>
#include <mgba/core/log.h>
#include <mgba/core/timing.h>
#include <mgba/internal/arm/arm.h>
#include <mgba/internal/gba/gba.h>

#include "bench/Z80Bench.h"

namespace {

constexpr std::uint32_t kTm0Control = 0x04000102;
constexpr long kMaxSteps = 400'000'000;

// Code symbols by address, from the cross toolchain's nm.
std::map<std::uint32_t, std::string> ReadSymbols(const std::string& elf) {
    std::map<std::uint32_t, std::string> symbols;
    const std::string command = "arm-none-eabi-nm -n '" + elf + "'";
    FILE* nm = popen(command.c_str(), "r");
    if (nm == nullptr) {
        return symbols;
    }
    char line[512];
    while (std::fgets(line, sizeof line, nm) != nullptr) {
        unsigned address = 0;
        char type = 0;
        char name[400];
        if (std::sscanf(line, "%x %c %399s", &address, &type, name) == 3 &&
            (type == 't' || type == 'T')) {
            symbols[address] = name;
        }
    }
    pclose(nm);
    return symbols;
}

void Quiet(mLogger*, int, mLogLevel, const char*, va_list) {}
mLogger gQuiet = {Quiet, nullptr};

std::string SymbolAt(const std::map<std::uint32_t, std::string>& symbols, std::uint32_t pc) {
    auto it = symbols.upper_bound(pc);
    return it == symbols.begin() ? "?" : std::prev(it)->second;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: profile_z80_gba IMAGE ELF [WINDOW [SYMBOL]]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<std::uint8_t> image{std::istreambuf_iterator<char>(in), {}};
    const auto symbols = ReadSymbols(argv[2]);
    if (image.empty() || symbols.empty()) {
        std::fprintf(stderr, "profile_z80_gba: cannot read %s or the symbols of %s\n", argv[1],
                     argv[2]);
        return 1;
    }
    const int wanted = argc > 3 ? std::atoi(argv[3]) : 2;
    const std::string detail = argc > 4 ? argv[4] : "";

    mLogSetDefaultLogger(&gQuiet);
    mCore* core = mCoreCreate(mPLATFORM_GBA);
    core->init(core);
    mCoreInitConfig(core, nullptr);
    mCoreConfigSetIntValue(&core->config, "useBios", 0);
    mCoreConfigSetIntValue(&core->config, "skipBios", 1);
    mCoreLoadForeignConfig(core, &core->config);
    std::vector<std::uint32_t> video(240 * 160);
    core->setVideoBuffer(core, video.data(), 240);
    core->loadROM(core, VFileFromConstMemory(image.data(), image.size()));
    core->reset(core);
    auto* gba = static_cast<GBA*>(core->board);
    auto* cpu = static_cast<ARMCore*>(core->cpu);

    struct Cost {
        std::uint64_t cycles = 0;
        std::uint64_t runs = 0;
    };
    std::map<std::uint32_t, Cost> byPc;
    std::vector<std::uint64_t> windows;
    bool timing = false;
    std::uint64_t total = 0;
    for (long step = 0; step < kMaxSteps; ++step) {
        const bool on = (core->busRead16(core, kTm0Control) & 0x80) != 0;
        if (on && !timing) {
            windows.push_back(0);
        }
        timing = on;
        const std::uint32_t pc =
            std::uint32_t(cpu->gprs[15]) - (cpu->executionMode == MODE_THUMB ? 4 : 8);
        const std::int64_t before = mTimingCurrentTime(&gba->timing);
        core->step(core);
        const std::int64_t cycles = mTimingCurrentTime(&gba->timing) - before;
        if (timing) {
            const int window = int(windows.size()) - 1;
            windows.back() += std::uint64_t(cycles);
            if (wanted < 0 || window == wanted) {
                byPc[pc].cycles += std::uint64_t(cycles);
                byPc[pc].runs += 1;
                total += std::uint64_t(cycles);
            }
        }
        if (core->busRead32(core, rix::gba::bench::kResultsAddress) ==
            rix::gba::bench::kDoneMarker) {
            break;
        }
    }
    for (std::size_t w = 0; w < windows.size(); ++w) {
        std::printf("window %zu: %llu ARM cycles\n", w, (unsigned long long)windows[w]);
    }
    std::map<std::string, Cost> bySymbol;
    for (const auto& [pc, cost] : byPc) {
        Cost& c = bySymbol[SymbolAt(symbols, pc)];
        c.cycles += cost.cycles;
        auto entry = symbols.find(pc);
        if (entry != symbols.end()) {
            c.runs += cost.runs; // times entered at its first instruction
        }
    }
    std::vector<std::pair<std::uint64_t, std::string>> order;
    for (const auto& [name, cost] : bySymbol) {
        order.emplace_back(cost.cycles, name);
    }
    std::sort(order.rbegin(), order.rend());
    std::printf("charged: %llu ARM cycles\n  share     cycles   entered  symbol\n",
                (unsigned long long)total);
    for (std::size_t i = 0; i < order.size() && i < 60; ++i) {
        const Cost& c = bySymbol[order[i].second];
        std::printf(
            "%6.2f%% %10llu %9llu  %s\n", total ? 100.0 * double(c.cycles) / double(total) : 0.0,
            (unsigned long long)c.cycles, (unsigned long long)c.runs, order[i].second.c_str());
    }
    if (!detail.empty()) {
        std::printf("%s, instruction by instruction:\n", detail.c_str());
        for (const auto& [pc, cost] : byPc) {
            if (SymbolAt(symbols, pc) == detail) {
                std::printf("  %08X %10llu %9llu\n", unsigned(pc), (unsigned long long)cost.cycles,
                            (unsigned long long)cost.runs);
            }
        }
    }
    core->unloadROM(core);
    mCoreConfigDeinit(&core->config);
    core->deinit(core);
    return 0;
}
