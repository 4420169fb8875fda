// The committed image: a cartridge header the GBA accepts, and the same bytes as a fresh build
// of gba/.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <string>

#include "Cartridge.h"

namespace rix::test {
namespace {

TEST(GbaImage, HeaderIsOneTheGbaBoots) {
    const std::vector<std::uint8_t>& image = RixImage();
    ASSERT_GE(image.size(), 0xC0u);
    EXPECT_EQ(image.size() % 4, 0u);
    EXPECT_EQ(image[3], 0xEA) << "offset 0 holds an ARM branch";
    for (std::size_t i = 0x04; i <= 0x9F; ++i) {
        ASSERT_EQ(image[i], 0) << "logo area byte " << i;
    }
    const std::uint8_t title[12] = {'R', 'I', 'X'};
    EXPECT_TRUE(std::equal(std::begin(title), std::end(title), image.begin() + 0xA0));
    EXPECT_EQ(image[0xB2], 0x96);
    const unsigned sum = std::accumulate(image.begin() + 0xA0, image.begin() + 0xBE, 0u);
    EXPECT_EQ((sum + 0x19) % 256, 0u) << "header complement at 0xBD";
}

// Only where the ARM toolchain was found at configure time (scripts/install-deps installs it).
#ifdef RIX_HAVE_ARM_TOOLCHAIN
TEST(GbaImage, CommittedBytesEqualAFreshBuild) {
    const std::filesystem::path build = std::filesystem::path(RIX_BINARY_DIR) / "gba-rebuild";
    std::filesystem::remove_all(build);
    const std::string command = "make -s -C '" + std::string(RIX_SOURCE_DIR) + "/gba' BUILD='" +
                                build.string() + "' >'" + build.string() + ".log' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << "see " << build.string() << ".log";
    const std::vector<std::uint8_t> fresh = ReadFile((build / "rix.gba").string());
    EXPECT_EQ(fresh.size(), RixImage().size());
    EXPECT_TRUE(fresh == RixImage()) << "resources/rix.gba is stale: run make gba";
}
#endif

} // namespace
} // namespace rix::test
