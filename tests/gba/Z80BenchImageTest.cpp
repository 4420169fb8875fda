// The Z80 benchmark image (gba/bench): the core compiled for the GBA, with its parts placed as
// on the cartridge, must leave the benchmark's program in the same state as the host build does.
// Otherwise the speed figures would describe a core that computes something else.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "Cartridge.h"
#include "GbaMachine.h"
#include "bench/Z80Bench.h"

namespace rix::test {
namespace {

namespace bench = rix::gba::bench;

// Registered only where the ARM toolchain was found at configure time.
TEST(Z80BenchImage, GbaCoreEndsInTheHostCoresState) {
    const std::filesystem::path build = std::filesystem::path(RIX_BINARY_DIR) / "z80bench-build";
    const std::string command = "make -s -C '" + std::string(RIX_SOURCE_DIR) +
                                "/gba' bench BUILD='" + build.string() + "' >'" + build.string() +
                                ".log' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << "see " << build.string() << ".log";

    GbaMachine gba(ReadFile((build / "z80bench.gba").string()));
    auto field = [&](std::size_t offset) {
        return gba.Read32(bench::kResultsAddress + static_cast<std::uint32_t>(offset));
    };
    ASSERT_GE(
        gba.RunUntil([&] { return field(offsetof(bench::Results, marker)) == bench::kDoneMarker; },
                     600),
        0)
        << "the image never finished";

    auto host = std::make_unique<rix::emu::Machine>();
    const std::uint32_t expected = bench::RunMixOnce(*host);
    EXPECT_EQ(field(offsetof(bench::Results, digest)), expected);
    EXPECT_EQ(field(offsetof(bench::Results, z80Cycles)), host->Cpu().ElapsedCycles());
    EXPECT_TRUE(gba.Errors().empty()) << gba.Errors().front();
}

} // namespace
} // namespace rix::test
