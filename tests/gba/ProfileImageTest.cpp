// The profile image (make -C gba profile) still builds, runs a game and fills its counters
// consistently. Timings themselves are never asserted: only what must hold whatever the speed.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "FrameProfile.h"

namespace rix::test {
namespace {

namespace emu = rix::emu;

// Registered only where the ARM toolchain was found at configure time.
TEST(ProfileImage, CountsEveryPartOfTheExamplesFrames) {
    const std::string build = (std::filesystem::path(RIX_BINARY_DIR) / "profile-build").string();
    const std::string image = BuildProfileImage(build);
    ASSERT_FALSE(image.empty());

    ProfileScenario scenario{
        "example",
        ReadFile(std::string(RIX_SOURCE_DIR) + "/resources/examples/hello.col"),
        {"Hello"}};
    scenario.from = 10;
    scenario.frames = 60;
    const ProfileFigures f = ProfileGame(ReadFile(image), scenario);
    SCOPED_TRACE(ProfileLine("example", f));

    EXPECT_GT(f.switchCycles, 0u);
    EXPECT_GT(f.parts[emu::kProfileCpu], 0u);
    EXPECT_GT(f.parts[emu::kProfileStatus], 0u);
    EXPECT_GT(f.parts[emu::kProfileVideo], 0u);
    EXPECT_GT(f.parts[emu::kProfileOther], 0u);
    // The GBA layer leaves the sound chip unclocked and plays its registers once a frame.
    EXPECT_GT(f.parts[emu::kProfileSound], 0u);
    // Every cycle of the span goes to exactly one part: the vertical blank hook's marks, which
    // interrupt the others, take theirs away rather than count them twice.
    EXPECT_LE(f.Named(), f.span);
    std::uint64_t all = 0;
    for (std::uint32_t part : f.parts) {
        all += part;
    }
    EXPECT_EQ(all, f.span);
    // At most one emulated frame per GBA frame: the span covers the frames it counted.
    EXPECT_GE(f.span, (scenario.frames - 1) * kArmCyclesPerGbaFrame);
    // Each block of lines marks its Run and its ScanLine, each frame its Frame and its wait.
    EXPECT_GE(f.switches, scenario.frames * (4 * std::size(emu::Machine::kLineBlocks) + 4));
}

} // namespace
} // namespace rix::test
