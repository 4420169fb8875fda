#include "FrameProfile.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "GbaMachine.h"
#include "app/Profile.h"

namespace rix::test {

namespace {

using gba::ProfileBlock;
using gba::TestPort;
using gba::TestPress;

// Generous: below full speed an emulated frame takes a few GBA frames, the example (read
// through the memory callback) more than eight.
constexpr int kGbaFramesPerGameFrame = 20;
constexpr int kReadingDeadline = 600;
constexpr const char* kReading = "(reading...)";

bool StillReading(GbaMachine& gba) {
    const std::vector<std::string> rows = gba.Text();
    if (rows.empty() || rows[0].empty()) {
        return true;
    }
    for (const std::string& row : rows) {
        if (row.find(kReading) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::uint32_t PortField(GbaMachine& gba, std::size_t offset) {
    return gba.Read32(gba::kTestPortAddress + std::uint32_t(offset));
}

std::uint32_t ProfileField(GbaMachine& gba, std::size_t offset) {
    return gba.Read32(gba::kProfileAddress + std::uint32_t(offset));
}

// Lets the game run to `frame` and waits until it is held there, its last idle wait over.
void RunTo(GbaMachine& gba, std::uint32_t frame, const std::string& name) {
    gba.Write32(gba::kTestPortAddress + offsetof(TestPort, stopAt), frame);
    const std::uint32_t from = PortField(gba, offsetof(TestPort, frames));
    const int budget = int(frame - from + 1) * kGbaFramesPerGameFrame;
    if (gba.RunUntil([&] { return PortField(gba, offsetof(TestPort, frames)) >= frame; }, budget) <
        0) {
        throw std::runtime_error(name + ": frame " + std::to_string(frame) + " not reached");
    }
    gba.RunFrames(2);
    if (PortField(gba, offsetof(TestPort, frames)) != frame) {
        throw std::runtime_error(name + ": ran past frame " + std::to_string(frame));
    }
}

} // namespace

std::uint64_t ProfileFigures::Named() const {
    std::uint64_t sum = 0;
    for (int part = 0; part < rix::emu::kProfileParts; ++part) {
        if (part != rix::emu::kProfileOther) {
            sum += parts[part];
        }
    }
    return sum;
}

namespace {

// gba/'s make `target` into `build`; false when there is no ARM toolchain.
bool MakeGba(const std::string& build, const std::string& target) {
    if (std::system("command -v arm-none-eabi-g++ >/dev/null 2>&1") != 0) {
        return false;
    }
    const std::string command = "make -s -C '" + std::string(RIX_SOURCE_DIR) + "/gba' " + target +
                                " BUILD='" + build + "' >'" + build + ".log' 2>&1";
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("'" + command + "' failed; see " + build + ".log");
    }
    return true;
}

} // namespace

std::string BuildProfileImage(const std::string& build) {
    return MakeGba(build, "profile") ? build + "/rixprofile.gba" : std::string();
}

std::string BuildCartridgeImage(const std::string& build) {
    return MakeGba(build, "all") ? build + "/rix.gba" : std::string();
}

std::uint32_t IwramBytes(const std::string& elf) {
    const std::string command = "arm-none-eabi-size -A '" + elf + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) {
        throw std::runtime_error("cannot run " + command);
    }
    // The sets of code that share IWRAM (gba.ld) lie at the same addresses: the span up to the
    // highest section end counts them once.
    unsigned long end = 0x03000000;
    char section[64];
    unsigned long size = 0;
    unsigned long address = 0;
    char line[256];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        if (std::sscanf(line, "%63s %lu %lu", section, &size, &address) == 3 &&
            address >= 0x03000000 && address < 0x03008000 && address + size > end) {
            end = address + size;
        }
    }
    return std::uint32_t(end - 0x03000000);
}

namespace {

// The scenario's game started from the menu, its presses given to the test port, and the game
// held at `scenario.from`.
void StartScenario(GbaMachine& gba, const ProfileScenario& scenario, bool profileImage) {
    if (gba.RunUntil([&] { return !StillReading(gba); }, kReadingDeadline) < 0) {
        throw std::runtime_error(scenario.name + ": the menu never finished reading");
    }
    if (profileImage && ProfileField(gba, offsetof(ProfileBlock, marker)) != gba::kProfileMarker) {
        throw std::runtime_error(scenario.name + ": not a profile image (no counters)");
    }

    const std::uint32_t port = gba::kTestPortAddress;
    if (scenario.presses.size() > std::size_t(gba::kTestPortPresses)) {
        throw std::runtime_error(scenario.name + ": too many presses for the test port");
    }
    std::uint32_t count = 0;
    for (const TestPress& press : scenario.presses) {
        const std::uint32_t at = port + offsetof(TestPort, presses) + count * sizeof(TestPress);
        gba.Write32(at + offsetof(TestPress, first), press.first);
        gba.Write32(at + offsetof(TestPress, last), press.last);
        gba.Write32(at + offsetof(TestPress, keys), press.keys);
        ++count;
    }
    gba.Write32(port + offsetof(TestPort, pressCount), count);
    gba.Write32(port + offsetof(TestPort, stopAt), 1);
    gba.SetKeys(kKeyStart);
    gba.RunFrames(1);
    gba.SetKeys(0);
    if (gba.RunUntil([&] { return PortField(gba, offsetof(TestPort, game)) == 1; }, 10) < 0) {
        throw std::runtime_error(scenario.name + ": the game did not start");
    }
    RunTo(gba, scenario.from, scenario.name);
}

} // namespace

std::uint32_t CountGbaFrames(const std::vector<std::uint8_t>& image,
                             const ProfileScenario& scenario) {
    CartContents contents;
    contents.games = {{scenario.rom, scenario.config}};
    GbaMachine gba(MakeCartridge(image, contents));
    StartScenario(gba, scenario, false);
    const std::uint32_t last = scenario.from + scenario.frames;
    gba.Write32(gba::kTestPortAddress + offsetof(TestPort, stopAt), last);
    const int budget = int(scenario.frames + 1) * kGbaFramesPerGameFrame;
    const int frames =
        gba.RunUntil([&] { return PortField(gba, offsetof(TestPort, frames)) >= last; }, budget);
    if (frames < 0) {
        throw std::runtime_error(scenario.name + ": frame " + std::to_string(last) +
                                 " not reached");
    }
    if (!gba.Errors().empty()) {
        throw std::runtime_error(scenario.name + ": " + gba.Errors().front());
    }
    return std::uint32_t(frames);
}

ProfileFigures ProfileGame(const std::vector<std::uint8_t>& image,
                           const ProfileScenario& scenario) {
    CartContents contents;
    contents.games = {{scenario.rom, scenario.config}};
    GbaMachine gba(MakeCartridge(image, contents));
    StartScenario(gba, scenario, true);

    // Zeroed while the game is held, so the span starts with the next frame.
    for (std::size_t at = offsetof(ProfileBlock, span); at < sizeof(ProfileBlock); at += 4) {
        gba.Write32(gba::kProfileAddress + std::uint32_t(at), 0);
    }
    RunTo(gba, scenario.from + scenario.frames, scenario.name);

    ProfileFigures figures;
    figures.frames = scenario.frames;
    figures.span = ProfileField(gba, offsetof(ProfileBlock, span));
    figures.switches = ProfileField(gba, offsetof(ProfileBlock, switches));
    figures.switchCycles = ProfileField(gba, offsetof(ProfileBlock, switchCycles));
    for (int part = 0; part < rix::emu::kProfileParts; ++part) {
        figures.parts[part] = ProfileField(
            gba, std::uint32_t(offsetof(ProfileBlock, parts) + sizeof(std::uint32_t) * part));
    }
    if (!gba.Errors().empty()) {
        throw std::runtime_error(scenario.name + ": " + gba.Errors().front());
    }
    return figures;
}

std::string ProfileLine(const std::string& name, const ProfileFigures& f) {
    namespace emu = rix::emu;
    const double marks = f.span != 0 ? 100.0 * f.switches * f.switchCycles / f.span : 0.0;
    char line[512];
    std::snprintf(line, sizeof line,
                  "%s: %u emulated frames in %.0f GBA frames; cpu %.0f%%, video %.0f%%, status "
                  "%.0f%%, sound %.0f%%, idle %.0f%% (other %.0f%%: the machine's line loop, "
                  "NMI, keys); %.0f marks a frame of about %u ARM cycles each, %.1f%% of the "
                  "span, in the figures",
                  name.c_str(), unsigned(f.frames), f.GbaFrames(), f.Share(emu::kProfileCpu),
                  f.Share(emu::kProfileVideo), f.Share(emu::kProfileStatus),
                  f.Share(emu::kProfileSound), f.Share(emu::kProfileIdle),
                  f.Share(emu::kProfileOther), f.frames != 0 ? double(f.switches) / f.frames : 0.0,
                  unsigned(f.switchCycles), marks);
    return line;
}

} // namespace rix::test
