// The machine compiled for the GBA, as the cartridge runs it, against the host's build of the
// same sources: frame by frame over thousands of frames of real programs, the Z80's registers
// and cycle count, the console's RAM and the video chip's memory must be equal. The GBA side is
// held on each frame through the program's test port and read where the port says.
#include "FrameCompare.h"
#include "Z80Text.h"

#include "app/TestPort.h"
#include "core/Z80.h"
#include "format/Crc32.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace rix::test {
namespace {

using gba::TestPort;

std::uint32_t PortField(GbaMachine& gba, std::size_t offset) {
    return gba.Read32(gba::kTestPortAddress + std::uint32_t(offset));
}

std::vector<std::uint8_t> ReadBytes(GbaMachine& gba, std::uint32_t address, std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; i += 4) {
        const std::uint32_t word = gba.Read32(address + std::uint32_t(i));
        std::memcpy(&bytes[i], &word, count - i < 4 ? count - i : 4);
    }
    return bytes;
}

std::uint32_t Crc(const std::uint8_t* bytes, std::size_t size) {
    return format::Crc32Finish(
        format::Crc32Update(format::kCrc32Preset, bytes, std::uint32_t(size)));
}

// Runs both sides `frames` frames, comparing after each; the video memory every `vramEvery`.
void ExpectLockstep(const Game& game, std::uint32_t frames, std::uint32_t vramEvery = 8) {
    HostGame host(game);
    GbaGame gba(TestImage(), game);
    GbaMachine& machine = gba.Machine();
    const std::uint32_t cpu = PortField(machine, offsetof(TestPort, cpu));
    const std::uint32_t ram = PortField(machine, offsetof(TestPort, ram));
    const std::uint32_t vram = PortField(machine, offsetof(TestPort, vram));
    for (std::uint32_t frame = 1; frame <= frames; ++frame) {
        machine.Write32(gba::kTestPortAddress + offsetof(TestPort, stopAt), frame);
        ASSERT_GE(machine.RunUntil([&] { return gba.Frames() >= frame; }, 40), 0)
            << "frame " << frame << " not reached";
        host.RunTo(frame);

        emu::Z80State onGba;
        const std::vector<std::uint8_t> state = ReadBytes(machine, cpu, sizeof onGba);
        std::memcpy(&onGba, state.data(), sizeof onGba);
        const emu::Z80State& onHost = host.Machine().Cpu().State();
        ASSERT_TRUE(onGba == onHost) << "frame " << frame << ": the Z80 differs\n  GBA  "
                                     << DescribeZ80(onGba) << "\n  host " << DescribeZ80(onHost);
        const std::vector<std::uint8_t> gbaRam = ReadBytes(machine, ram, emu::Machine::kRamSize);
        ASSERT_EQ(std::memcmp(gbaRam.data(), host.Machine().Ram(), gbaRam.size()), 0)
            << "frame " << frame << ": the RAM differs";
        if (frame % vramEvery == 0 || frame == frames) {
            const std::vector<std::uint8_t> gbaVram = ReadBytes(machine, vram, emu::Vdp::kVramSize);
            ASSERT_EQ(Crc(gbaVram.data(), gbaVram.size()),
                      Crc(host.Machine().Video().Vram(), emu::Vdp::kVramSize))
                << "frame " << frame << ": the video memory differs";
        }
    }
    EXPECT_TRUE(machine.Errors().empty()) << machine.Errors().front();
}

TEST(GbaLockstep, TheExample) {
    ExpectLockstep({ReadFile(std::string(RIX_SOURCE_DIR) + "/resources/examples/hello.col")}, 600);
}

TEST(GbaLockstep, TheTestSuiteThroughSeveralScreens) {
    // Its menu (it reads the controller from frame 281), the video tests, the drop shadow
    // test, back, the grid scroll test.
    Game game{ReadFile(std::string(RIX_TESTDATA_DIR) + "/coleco/suitecv.rom")};
    game.presses = {{301, 306, kKeyDown}, {341, 346, kKeyA},    {401, 406, kKeyA},
                    {601, 606, kKeyB},    {661, 666, kKeyDown}, {701, 706, kKeyDown},
                    {741, 746, kKeyDown}, {781, 786, kKeyDown}, {821, 826, kKeyA}};
    ExpectLockstep(game, 2000);
}

TEST(GbaLockstep, AGameInPlay) {
    Game game{ReadFile(std::string(RIX_TESTDATA_DIR) + "/coleco/zombnear.rom"), {"Zombie Near"}};
    game.presses = {{601, 606, kKeyA}, {700, 900, kKeyRight}, {900, 1000, kKeyDown | kKeyA}};
    ExpectLockstep(game, 1500);
}

} // namespace
} // namespace rix::test
