// The GBA's ARM core against the C++ interpreter, both in one GBA image (gba/check): random
// instructions from random states, with random budgets, must leave equal states, equal
// overruns and the same memory writes and port traffic. A difference names the instruction.
// And zexdoc, run on the ARM core alone in the same image, must pass every group; and two
// machines, one on each core, must run real programs in lockstep, line by line.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "Cartridge.h"
#include "GbaMachine.h"
#include "Z80Text.h"
#include "check/Check.h"
#include "core/Machine.h"
#include "support/ColecoCartridge.h"

namespace rix::test {
namespace {

// Builds gba/check into its own directory (each test its own: ctest runs them in parallel).
std::vector<std::uint8_t> CheckImage(const std::string& name) {
    const std::filesystem::path build = std::filesystem::path(RIX_BINARY_DIR) / name;
    // Tests that share a build directory run at the same time: one make in it at a time.
    const int lock = ::open((build.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ::flock(lock, LOCK_EX);
    struct Unlock {
        int fd;
        ~Unlock() { ::close(fd); }
    } unlock{lock};
    const std::string command = "make -s -C '" + std::string(RIX_SOURCE_DIR) +
                                "/gba' check BUILD='" + build.string() + "' >'" + build.string() +
                                ".log' 2>&1";
    if (std::system(command.c_str()) != 0) {
        ADD_FAILURE() << "see " << build.string() << ".log";
        return {};
    }
    return ReadFile((build / "z80check.gba").string());
}

TEST(Z80ArmCore, AgreesWithTheInterpreterOnRandomInstructions) {
    const std::vector<std::uint8_t> image = CheckImage("z80check-build");
    ASSERT_FALSE(image.empty());
    GbaMachine gba(image);
    check::Results results{};
    auto read = [&] {
        auto* bytes = reinterpret_cast<std::uint8_t*>(&results);
        for (std::size_t i = 0; i < sizeof results; i += 4) {
            const std::uint32_t word = gba.Read32(check::kCheckResults + std::uint32_t(i));
            std::memcpy(bytes + i, &word, 4);
        }
    };
    const int frames =
        gba.RunUntil([&] { return gba.Read32(check::kCheckResults) == check::kDoneMarker; }, 20000);
    read();
    ASSERT_GE(frames, 0) << "the image never finished; it stopped in case " << results.cases + 1
                         << " at GBA PC " << std::hex << gba.Pc() << ", code "
                         << int(results.code[0]);
    EXPECT_EQ(results.failed, 0u) << "case " << results.cases << ": " <<
        [&] {
            char code[40];
            std::snprintf(code, sizeof code, "%02X %02X %02X %02X, budget %d", results.code[0],
                          results.code[1], results.code[2], results.code[3], results.budget);
            return std::string(code);
        }() << "\nbefore    " << DescribeZ80(results.before)
                                  << "\nARM       " << DescribeZ80(results.afterArm) << " over "
                                  << results.overArm << " log " << results.arm.count
                                  << "\nportable  " << DescribeZ80(results.afterPortable)
                                  << " over " << results.overPortable << " log "
                                  << results.portable.count;
    for (std::uint32_t i = 0; i < results.arm.count && i < 8; ++i) {
        std::printf("arm %08X  portable %08X\n", results.arm.log[i], results.portable.log[i]);
    }
    EXPECT_EQ(results.cases, check::kCases);
}

// Takes its time, as the exercisers on the host do: about 46.7 billion Z80 cycles.
TEST(Z80ArmCore, PassesZexdoc) {
    std::vector<std::uint8_t> image = CheckImage("z80check-zexdoc-build");
    ASSERT_FALSE(image.empty());
    const std::vector<std::uint8_t> program =
        ReadFile(std::string(RIX_TESTDATA_DIR) + "/z80/zexdoc.com");
    ASSERT_GT(program.size(), 0x100u);
    const check::ProgramHeader header{check::kProgramMagic, std::uint32_t(program.size())};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&header);
    image.insert(image.end(), bytes, bytes + sizeof header);
    image.insert(image.end(), program.begin(), program.end());
    GbaMachine gba(image);

    const std::uint32_t text = check::kCheckText + offsetof(check::Text, text);
    std::string output;
    std::size_t shown = 0;
    // Whole lines into the log as the groups finish; about 10 hours of GBA time at most.
    for (int minute = 0; minute < 600; ++minute) {
        gba.RunFrames(3600);
        const std::uint32_t length =
            std::min<std::uint32_t>(gba.Read32(check::kCheckText), check::kCheckTextSize);
        while (output.size() < length) {
            output += char(gba.Read8(text + std::uint32_t(output.size())));
        }
        for (std::size_t end; (end = output.find('\n', shown)) != std::string::npos;
             shown = end + 1) {
            std::cout << output.substr(shown, end - shown) << std::endl;
        }
        if (gba.Read32(check::kCheckText + offsetof(check::Text, ended)) != 0) {
            break;
        }
    }
    ASSERT_EQ(gba.Read32(check::kCheckText + offsetof(check::Text, ended)), 1u)
        << "the program did not return to CP/M";
    int passed = 0;
    std::size_t from = 0;
    for (std::size_t end; (end = output.find('\n', from)) != std::string::npos; from = end + 1) {
        const std::string line = output.substr(from, end - from);
        if (line.find("ERROR") != std::string::npos) {
            ADD_FAILURE() << line;
        } else if (line.find("OK") != std::string::npos) {
            ++passed;
        }
    }
    EXPECT_EQ(passed, 67);
    EXPECT_NE(output.find("Tests complete"), std::string::npos);
}

// Two machines in the image, one on each core, run `rom` for `frames` frames with the same keys;
// the Z80's registers and cycle count must be equal behind every line, the RAM behind every
// frame.
void ExpectLinesInLockstep(const std::vector<std::uint8_t>& rom, std::uint32_t frames,
                           const std::vector<check::Press>& presses = {}) {
    std::vector<std::uint8_t> image = CheckImage("z80check-lockstep-build");
    ASSERT_FALSE(image.empty());
    ASSERT_FALSE(rom.empty());
    ASSERT_LE(presses.size(), std::size_t(check::kMaxPresses));
    check::CartridgeHeader header{};
    header.magic = check::kCartridgeMagic;
    header.size = std::uint32_t(rom.size());
    header.frames = frames;
    header.pressCount = std::uint32_t(presses.size());
    std::copy(presses.begin(), presses.end(), header.presses);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&header);
    image.insert(image.end(), bytes, bytes + sizeof header);
    image.insert(image.end(), rom.begin(), rom.end());
    GbaMachine gba(image);
    // The interpreter's side takes several GBA frames a frame.
    ASSERT_GE(gba.RunUntil([&] { return gba.Read32(check::kCheckResults) == check::kDoneMarker; },
                           int(frames) * 40 + 600),
              0)
        << "the lockstep never finished; it reached frame "
        << gba.Read32(check::kCheckResults + offsetof(check::Results, frame));
    check::Results results{};
    auto* out = reinterpret_cast<std::uint8_t*>(&results);
    for (std::size_t i = 0; i < sizeof results; i += 4) {
        const std::uint32_t word = gba.Read32(check::kCheckResults + std::uint32_t(i));
        std::memcpy(out + i, &word, 4);
    }
    if (results.failed != 0 && results.line == emu::Machine::kLinesPerFrame) {
        ADD_FAILURE() << "frame " << results.frame << ": the RAM differs";
    } else {
        EXPECT_EQ(results.failed, 0u)
            << "frame " << results.frame << ", behind line " << results.line << "\nthe line before "
            << DescribeZ80(results.before) << "\nARM core        " << DescribeZ80(results.afterArm)
            << "\ninterpreter     " << DescribeZ80(results.afterPortable);
    }
    EXPECT_EQ(results.frame, frames);
}

TEST(Z80ArmCore, RunsTheExampleInLockstepWithTheInterpreter) {
    ExpectLinesInLockstep(ReadFile(std::string(RIX_SOURCE_DIR) + "/resources/examples/hello.col"),
                          600);
}

TEST(Z80ArmCore, RunsTheTestSuiteInLockstepWithTheInterpreter) {
    // Its menu, the video tests, the drop shadow test, back, the grid scroll test (as
    // GbaLockstep's frame by frame comparison goes through them).
    ExpectLinesInLockstep(ReadFile(std::string(RIX_TESTDATA_DIR) + "/coleco/suitecv.rom"), 2000,
                          {{301, 306, kKeyDown},
                           {341, 346, kKeyA},
                           {401, 406, kKeyA},
                           {601, 606, kKeyB},
                           {661, 666, kKeyDown},
                           {701, 706, kKeyDown},
                           {741, 746, kKeyDown},
                           {781, 786, kKeyDown},
                           {821, 826, kKeyA}});
}

TEST(Z80ArmCore, RunsAGameInLockstepWithTheInterpreter) {
    ExpectLinesInLockstep(
        ReadFile(std::string(RIX_TESTDATA_DIR) + "/coleco/zombnear.rom"), 1500,
        {{601, 606, kKeyA}, {700, 900, kKeyRight}, {900, 1000, kKeyDown | kKeyA}});
}

TEST(Z80ArmCore, RunsAMegaCartInLockstepWithTheInterpreter) {
    // Bank switches by reads of FFC0h-FFC3h, one of them by code in the bank window that
    // switches its own bank (the next instruction comes from the new bank), a block copy from
    // the window, a call into the window's last page (which the memory callback serves).
    std::vector<std::uint8_t> rom = ColecoCartridge(
        {
            0x31, 0x00, 0x64, // 8024 ld sp,6400h
            0x3A, 0xC1, 0xFF, // 8027 ld a,(FFC1h)     bank 1
            0xCD, 0x00, 0xC0, // 802A call C000h       bank 1 selects bank 2, which returns
            0x32, 0x00, 0x60, // 802D ld (6000h),a
            0x21, 0x00, 0xC1, // 8030 ld hl,C100h
            0x11, 0x00, 0x61, // 8033 ld de,6100h
            0x01, 0x40, 0x00, // 8036 ld bc,40h
            0xED, 0xB0,       // 8039 ldir             bank 2's data
            0x3A, 0xC0, 0xFF, // 803B ld a,(FFC0h)     bank 0
            0xCD, 0x00, 0xFC, // 803E call FC00h       in the callback's page
            0x32, 0x01, 0x60, // 8041 ld (6001h),a
            0x2A, 0x02, 0x60, // 8044 ld hl,(6002h)
            0x23,             // 8047 inc hl
            0x22, 0x02, 0x60, // 8048 ld (6002h),hl
            0x3A, 0xC3, 0xFF, // 804B ld a,(FFC3h)     bank 3, the fixed one, in the window too
            0x3A, 0x00, 0xC0, // 804E ld a,(C000h)
            0x32, 0x03, 0x60, // 8051 ld (6003h),a
            0xC3, 0x27, 0x80, // 8054 jp 8027h
        },
        0x10000, 0xC000);
    const std::uint8_t bank1[] = {0x3A, 0xC2, 0xFF,
                                  0x3E, 0x11, 0xC9}; // ld a,(FFC2h) / ld a,11h / ret
    const std::uint8_t bank2[] = {0x00, 0x00, 0x00, 0x3E, 0x22, 0xC9}; // ... ld a,22h / ret
    const std::uint8_t bank0[] = {0x3E, 0x5A, 0xC9};                   // at FC00h: ld a,5Ah / ret
    std::copy(std::begin(bank1), std::end(bank1), rom.begin() + 0x4000);
    std::copy(std::begin(bank2), std::end(bank2), rom.begin() + 0x8000);
    std::copy(std::begin(bank0), std::end(bank0), rom.begin() + 0x3C00);
    for (int i = 0; i < 0x40; ++i) {
        rom[0x8100 + i] = std::uint8_t(i * 3);
    }
    ExpectLinesInLockstep(rom, 300);
}

} // namespace
} // namespace rix::test
