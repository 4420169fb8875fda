// The committed example must be a cartridge the console starts: the header that skips the
// title screen, a start address, and a jump in every entry point the BIOS routes to it.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr std::uint16_t CartridgeBase = 0x8000;
constexpr std::size_t CartridgeSpace = 0x8000;
constexpr std::uint8_t JpOpcode = 0xC3;

std::vector<std::uint8_t> ReadExample(const std::string& name) {
    std::ifstream in(std::string(RIX_EXAMPLES_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint16_t Word(const std::vector<std::uint8_t>& image, std::size_t offset) {
    return static_cast<std::uint16_t>(image.at(offset) | image.at(offset + 1) << 8);
}

class HelloCartridge : public testing::Test {
protected:
    void SetUp() override {
        image = ReadExample("hello.col");
        ASSERT_GE(image.size(), 0x24u) << "shorter than the cartridge header";
        ASSERT_LE(image.size(), CartridgeSpace);
    }

    // Whether a jump or start address lands on a byte the image actually holds, past the header.
    bool InsideCode(std::uint16_t address) const {
        return address >= CartridgeBase + 0x24 && address < CartridgeBase + image.size();
    }

    std::vector<std::uint8_t> image;
};

TEST_F(HelloCartridge, StartsWithoutTheTitleScreen) {
    EXPECT_EQ(image[0], 0x55);
    EXPECT_EQ(image[1], 0xAA);
    const std::uint16_t start = Word(image, 0x0A);
    EXPECT_TRUE(InsideCode(start)) << std::hex << start;
}

TEST_F(HelloCartridge, EveryEntryPointJumpsIntoTheImage) {
    struct EntryPoint {
        std::size_t offset;
        const char* name;
    };
    const EntryPoint entryPoints[] = {
        {0x0C, "RST 08h"}, {0x0F, "RST 10h"}, {0x12, "RST 18h"},       {0x15, "RST 20h"},
        {0x18, "RST 28h"}, {0x1B, "RST 30h"}, {0x1E, "RST 38h / IRQ"}, {0x21, "NMI"},
    };
    for (const auto& entry : entryPoints) {
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(image[entry.offset], JpOpcode);
        const std::uint16_t target = Word(image, entry.offset + 1);
        EXPECT_TRUE(InsideCode(target)) << std::hex << target;
    }
}

} // namespace
