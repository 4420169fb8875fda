// Where an emulated frame's time goes on the GBA: builds the profile image (make -C gba
// profile), runs real games on it in the harness's GBA core, and prints for each scenario the
// share of the GBA's time each part took over 600 emulated frames, read from the GBA's timers:
// cpu (the Z80's Run with its port accesses), video (the tile renderer's Frame and the vertical
// blank hook), status (the video chip's ScanLine), sound, idle (waiting for the vertical blank).
//
// Each scenario also runs on the cartridge program itself (rix.gba, built from the same
// sources), whose frame count is the one that counts: the profile's marks cost time of their
// own, a lot where the machine runs line by line.
//
//   bench_frame_gba                  build both images and run every scenario
//   bench_frame_gba PROFILE RIX      run images built elsewhere
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "FrameProfile.h"
#include "GbaMachine.h"

namespace {

using rix::test::ProfileScenario;

constexpr std::uint32_t kFrames = 600;
// The test suite reads the controller from its 281st frame; a screen is reached with presses
// 40 frames apart from frame 301 and has settled 60 frames behind the last.
constexpr std::uint32_t kFirstPress = 301;
constexpr std::uint32_t kPressGap = 40;
constexpr std::uint32_t kPressLength = 6;
constexpr std::uint32_t kSettle = 60;

ProfileScenario Suite(const std::vector<std::uint8_t>& rom, const std::string& name,
                      const std::vector<std::uint16_t>& keys) {
    ProfileScenario scenario{name, rom, {"Test suite"}};
    std::uint32_t frame = kFirstPress;
    for (std::uint16_t key : keys) {
        scenario.presses.push_back({frame, frame + kPressLength - 1, key});
        frame += kPressGap;
    }
    scenario.from = frame + kSettle;
    scenario.frames = kFrames;
    return scenario;
}

int Run(int argc, char** argv) {
    using namespace rix::test;
    std::string imagePath;
    std::string rixPath;
    if (argc > 2) {
        imagePath = argv[1];
        rixPath = argv[2];
    } else {
        imagePath = BuildProfileImage(RIX_BENCH_FRAME_BUILD);
        rixPath = BuildCartridgeImage(RIX_BENCH_FRAME_BUILD);
        if (imagePath.empty() || rixPath.empty()) {
            std::puts("skipped: arm-none-eabi-g++ not found, so the GBA profile image cannot be "
                      "built (scripts/install-deps installs the toolchain)");
            return 0;
        }
    }
    const std::vector<std::uint8_t> image = ReadFile(imagePath);
    const std::vector<std::uint8_t> rix = ReadFile(rixPath);
    if (image.empty() || rix.empty()) {
        std::fprintf(stderr, "bench_frame_gba: cannot read %s or %s\n", imagePath.c_str(),
                     rixPath.c_str());
        return 1;
    }

    const std::vector<std::uint8_t> example =
        ReadFile(std::string(RIX_SOURCE_DIR) + "/resources/examples/hello.col");
    const std::vector<std::uint8_t> suite =
        ReadFile(std::string(RIX_TESTDATA_DIR) + "/coleco/suitecv.rom");
    std::vector<ProfileScenario> scenarios;
    ProfileScenario hello{"the example", example, {"Hello"}};
    hello.from = kSettle;
    scenarios.push_back(hello);
    scenarios.push_back(Suite(suite, "suitecv menu", {}));
    scenarios.push_back(Suite(suite, "suitecv grid scroll",
                              {kKeyDown, kKeyA, kKeyDown, kKeyDown, kKeyDown, kKeyDown, kKeyA}));
    scenarios.push_back(Suite(suite, "suitecv drop shadow", {kKeyDown, kKeyA, kKeyA}));
    scenarios.push_back(Suite(suite, "suitecv colour bars",
                              {kKeyA, kKeyDown, kKeyDown, kKeyDown, kKeyDown, kKeyDown, kKeyA}));
    ProfileScenario fast = Suite(suite, "suitecv menu, cycle count 342", {});
    fast.config.cycles = 342;
    scenarios.push_back(fast);
    ProfileScenario precise = Suite(suite, "suitecv menu, collision Precise", {});
    precise.config.collision = 1;
    scenarios.push_back(precise);
    // A game: its title screen, then its first screen of play after Fire 1 (A) on frame 601.
    const std::vector<std::uint8_t> game =
        ReadFile(std::string(RIX_TESTDATA_DIR) + "/coleco/zombnear.rom");
    ProfileScenario title{
        "zombnear title", game, {"Zombie Near", 0, 0, false, {0x4000, 0x40, 6, 9, 2, 8}}};
    title.from = 300;
    scenarios.push_back(title);
    ProfileScenario play = title;
    play.name = "zombnear play";
    play.presses = {{601, 606, kKeyA}};
    play.from = 700;
    scenarios.push_back(play);
    // Our sound program: a new step every 8 frames, and its last steps write the chip in every
    // frame (tests/fixtures/sound).
    ProfileScenario sound{"sound program",
                          ReadFile(std::string(RIX_SOURCE_DIR) + "/tests/fixtures/sound/sound.rom"),
                          {"Sound"}};
    sound.from = 2;
    scenarios.push_back(sound);

    std::printf("Profile image %s: the parts of an emulated frame, %u frames each, shares of "
                "the GBA time they took (TM2+TM3 at the system clock); the cartridge program "
                "%s: the frame count alone\n",
                imagePath.c_str(), unsigned(kFrames), rixPath.c_str());
    for (const ProfileScenario& scenario : scenarios) {
        const ProfileFigures figures = ProfileGame(image, scenario);
        std::puts(ProfileLine(scenario.name, figures).c_str());
        // The sound driver's own figure, too small for a share: the chip's registers played on
        // the GBA's channels once a frame (its two marks included).
        std::printf("  sound: %.0f ARM cycles a frame\n",
                    double(figures.parts[rix::emu::kProfileSound]) / figures.frames);
        std::printf("  on the cartridge program (no marks): %u emulated frames in %u GBA frames\n",
                    unsigned(scenario.frames), unsigned(CountGbaFrames(rix, scenario)));
        std::fflush(stdout);
    }
    const std::string elf = imagePath.substr(0, imagePath.rfind('.')) + ".elf";
    std::printf("IWRAM used by the profile image: %u of 32768 bytes\n", unsigned(IwramBytes(elf)));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_frame_gba: %s\n", e.what());
        return 1;
    }
}
