// The profile image (`make -C gba profile`) in the harness: builds it, starts a game from its
// menu, lets it reach a screen through the test port's scripted presses, then counts a span of
// emulated frames and reads back the ARM cycles each part of the frame took (app/Profile.h).
// Shared by bench_frame_gba and the test that keeps the profile build working; no GoogleTest
// here, failures are exceptions.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Cartridge.h"
#include "app/TestPort.h"
#include "core/Machine.h"
#include "core/Platform.h"

namespace rix::test {

inline constexpr std::uint32_t kArmCyclesPerGbaFrame = 280896; // 228 lines of 1,232 cycles

// Builds $build/rixprofile.gba (output in $build.log) and returns its path; empty when there
// is no ARM toolchain. Throws when make fails.
std::string BuildProfileImage(const std::string& build);
// The same for the cartridge program itself, $build/rix.gba.
std::string BuildCartridgeImage(const std::string& build);

// IWRAM a linked image takes: from its start to the end of its last IWRAM section (the sets that
// share IWRAM counted once), read with arm-none-eabi-size.
std::uint32_t IwramBytes(const std::string& elf);

struct ProfileScenario {
    std::string name;
    std::vector<std::uint8_t> rom;
    GameConfig config = {"Game"};
    std::vector<gba::TestPress> presses = {}; // by emulated frame, counted from 1
    std::uint32_t from = 1;                   // the counting starts behind this frame
    std::uint32_t frames = 600;               // emulated frames counted
};

struct ProfileFigures {
    std::uint32_t frames = 0;       // emulated frames in the span
    std::uint32_t span = 0;         // ARM cycles
    std::uint32_t switches = 0;     // marks made in the span
    std::uint32_t switchCycles = 0; // what one mark costs, measured by the image at start-up
    std::array<std::uint32_t, rix::emu::kProfileParts> parts{};

    std::uint64_t Named() const; // the parts but kProfileOther
    double Share(int part) const { return span != 0 ? 100.0 * parts[part] / span : 0.0; }
    double GbaFrames() const { return double(span) / kArmCyclesPerGbaFrame; }
};

// Runs the scenario on a cartridge of `image` (the profile image) with the game as its only
// ROM: started with Start from the list, held on frame `from`, counters zeroed, then run to
// `from + frames` and held again.
ProfileFigures ProfileGame(const std::vector<std::uint8_t>& image, const ProfileScenario& scenario);

// The same scenario on an image without the profile's marks (rix.gba): the GBA frames from the
// hold at `from` until the game has run `frames` more, as the harness counts them (one more or
// less than the exact time, by where the hold falls in a frame).
std::uint32_t CountGbaFrames(const std::vector<std::uint8_t>& image,
                             const ProfileScenario& scenario);

// "NAME: 600 emulated frames in 1310 GBA frames; cpu 71%, video 9%, ..., other 16%; ..."
std::string ProfileLine(const std::string& name, const ProfileFigures& figures);

} // namespace rix::test
