// The test suite on cartridges made by rix-build, once with "Custom" controls and once with a
// prepared preset: started from the GBA menu, its main menu and its controller page agree pixel
// for pixel with what rix-run makes of the same cartridge on the same frames, the page lights
// what each GBA button's code names, and the four keys held take the player back to the menu.
#include "FrameCompare.h"
#include "MenuReading.h"
#include "RixBuildRun.h"

#include "app/TestPort.h"
#include "cli/GameFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace rix::test {
namespace {

const std::string kExample = std::string(RIX_SOURCE_DIR) + "/resources/examples/hello.col";
const std::string kSuite = std::string(RIX_TESTDATA_DIR) + "/coleco/suitecv.rom";
constexpr std::uint32_t kSuiteKey = 0xB2A15B2B;

// The suite's menu reads the controller from its 281st frame: down three times to "Hardware
// Tests", Fire into it and Fire again on "Controller Test".
std::vector<FramePress> ToTheControllerPage(std::uint16_t fire) {
    return {{301, 306, kKeyDown},
            {321, 326, kKeyDown},
            {341, 346, kKeyDown},
            {361, 366, fire},
            {381, 386, fire}};
}

struct SuiteSetup {
    const char* what;
    const char* section;          // the suite's section in the settings
    std::uint16_t fire;           // the GBA button that is Fire 1
    std::vector<FramePress> held; // after the page is up, each held for a few frames
};

// Named by its `what`, so that test names do not carry the bytes of its pointers.
void PrintTo(const SuiteSetup& setup, std::ostream* out) {
    *out << setup.what;
}

class SuiteCartridge : public testing::TestWithParam<SuiteSetup> {};

TEST_P(SuiteCartridge, AgreesWithRixRunAndLeavesWithTheFourKeys) {
    const SuiteSetup& setup = GetParam();
    TempDir dir;
    char key[9];
    std::snprintf(key, sizeof key, "%08X", kSuiteKey);
    WriteFileText(dir / "Rix.INI",
                  ReadFileText(std::string(RIX_SOURCE_DIR) + "/resources/Rix.INI") + "\r\n[" + key +
                      "]\r\nFilename=Test suite\r\n" + setup.section);
    ASSERT_EQ(RunRixBuild(dir.Path().string(), {"-q", OwnCopy(dir.Path().string(), kExample),
                                                OwnCopy(dir.Path().string(), kSuite)}),
              0);

    std::vector<FramePress> presses = ToTheControllerPage(setup.fire);
    presses.insert(presses.end(), setup.held.begin(), setup.held.end());
    const run::GameFile file = run::LoadGame(dir / "Rix.gba", 2); // as rix-run reads it
    HostGame host(file.config, presses);
    GbaGame gba(Bytes(dir / "Rix.gba"), 2, presses);

    std::vector<std::uint32_t> frames = {300, 400};
    for (const FramePress& press : setup.held) {
        frames.push_back(press.last);
    }
    std::vector<std::uint8_t> idlePage;
    for (std::uint32_t frame : frames) {
        host.RunTo(frame);
        gba.ShowFrame(frame);
        EXPECT_TRUE(SamePicture(ShownOnGba(host.Picture(), gba.CurrentView()), gba.Screen(),
                                std::string("suite-") + setup.what + "-" + std::to_string(frame)))
            << setup.what << ", frame " << frame;
        if (frame == 400) {
            idlePage = host.Picture();
        } else if (frame > 400) {
            EXPECT_NE(host.Picture(), idlePage)
                << "the button held on frame " << frame << " lit nothing on the controller page";
        }
    }

    // Back to the menu: the game lets go, the four keys are held for a second.
    gba.Machine().Write32(gba::kTestPortAddress + offsetof(gba::TestPort, stopAt), 0);
    gba.Machine().SetKeys(kKeyL | kKeyR | kKeySelect | kKeyStart);
    gba.Machine().RunFrames(70);
    gba.Machine().SetKeys(0);
    gba.Machine().RunFrames(4);
    EXPECT_EQ(gba.Machine().Read32(gba::kTestPortAddress + offsetof(gba::TestPort, game)), 0u);
    EXPECT_EQ(gba.Machine().Text()[3], ">    2 Test suite");
}

INSTANTIATE_TEST_SUITE_P(
    Controls, SuiteCartridge,
    testing::Values(
        // Custom: B keypad 5, Select Fire 2, Start #, Back Left 1 (stored in R's slot).
        SuiteSetup{"custom",
                   "Control=Custom\r\nButton A=Fire 1\r\nButton B=5\r\nSelect=Fire 2\r\nStart=#\r\n"
                   "Back Left=1\r\nBack Right=2\r\n",
                   kKeyA,
                   {{420, 424, kKeyB}, {440, 444, kKeySelect}, {460, 464, kKeyR}}},
        // The prepared "Fire Swap": A Fire 2, B Fire 1, Select *, Start #, L 1, R 2.
        SuiteSetup{"preset",
                   "Control=Fire Swap\r\n",
                   kKeyB,
                   {{420, 424, kKeyA}, {440, 444, kKeySelect}, {460, 464, kKeyL}}}),
    [](const testing::TestParamInfo<SuiteSetup>& info) { return std::string(info.param.what); });

} // namespace
} // namespace rix::test
