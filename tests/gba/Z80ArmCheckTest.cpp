// The GBA's ARM core against the C++ interpreter, both in one GBA image (gba/check): random
// instructions from random states, with random budgets, must leave equal states, equal
// overruns and the same memory writes and port traffic. A difference names the instruction.
// And zexdoc, run on the ARM core alone in the same image, must pass every group; and two
// machines, one on each core, must run real programs in lockstep, line by line.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "Cartridge.h"
#include "GbaMachine.h"
#include "check/Check.h"
#include "core/Machine.h"

namespace rix::test {
namespace {

std::string Describe(const emu::Z80State& s) {
    char text[320];
    std::snprintf(text, sizeof text,
                  "PC %04X SP %04X AF %02X%02X BC %02X%02X DE %02X%02X HL %02X%02X IX %04X "
                  "IY %04X WZ %04X R %02X I %02X IM %d iff %d%d halt %d delay %d ldair %d AF' %02X%02X "
                  "BC' %02X%02X DE' %02X%02X HL' %02X%02X cycles %llu",
                  s.pc, s.sp, s.a, s.f, s.b, s.c, s.d, s.e, s.h, s.l, s.ix, s.iy, s.wz, s.r, s.i,
                  s.im, s.iff1, s.iff2, s.halted, s.intDelay, s.ldAirLast, s.a2, s.f2, s.b2, s.c2,
                  s.d2, s.e2, s.h2, s.l2, static_cast<unsigned long long>(s.cycles));
    return text;
}

// Builds gba/check into its own directory (each test its own: ctest runs them in parallel).
std::vector<std::uint8_t> CheckImage(const std::string& name) {
    const std::filesystem::path build = std::filesystem::path(RIX_BINARY_DIR) / name;
    const std::string command = "make -s -C '" + std::string(RIX_SOURCE_DIR) +
                                "/gba' check BUILD='" + build.string() + "' >'" +
                                build.string() + ".log' 2>&1";
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
    const int frames = gba.RunUntil(
        [&] { return gba.Read32(check::kCheckResults) == check::kDoneMarker; }, 20000);
    read();
    ASSERT_GE(frames, 0) << "the image never finished; it stopped in case " << results.cases + 1
                         << " at GBA PC " << std::hex << gba.Pc() << ", code "
                         << int(results.code[0]);
    EXPECT_EQ(results.failed, 0u)
        << "case " << results.cases << ": "
        << [&] {
               char code[40];
               std::snprintf(code, sizeof code, "%02X %02X %02X %02X, budget %d", results.code[0],
                             results.code[1], results.code[2], results.code[3], results.budget);
               return std::string(code);
           }()
        << "\nbefore    " << Describe(results.before) << "\nARM       "
        << Describe(results.afterArm) << " over " << results.overArm << " log "
        << results.arm.count << "\nportable  " << Describe(results.afterPortable) << " over "
        << results.overPortable << " log " << results.portable.count;
    for (std::uint32_t i = 0; i < results.arm.count && i < 8; ++i) {
        std::printf("arm %08X  portable %08X\n", results.arm.log[i], results.portable.log[i]);
    }
    EXPECT_EQ(results.cases, check::kCases);
}


// Takes its time, as the exercisers on the host do: about 46.7 billion Z80 cycles.
TEST(Z80ArmCore, PassesZexdoc) {
    std::vector<std::uint8_t> image = CheckImage("z80check-zexdoc-build");
    ASSERT_FALSE(image.empty());
    const std::vector<std::uint8_t> program = ReadFile(std::string(RIX_TESTDATA_DIR) + "/z80/zexdoc.com");
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
            << "frame " << results.frame << ", behind line " << results.line
            << "\nthe line before " << Describe(results.before) << "\nARM core        "
            << Describe(results.afterArm) << "\ninterpreter     " << Describe(results.afterPortable);
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
    ExpectLinesInLockstep(ReadFile(std::string(RIX_TESTDATA_DIR) + "/coleco/zombnear.rom"), 1500,
                          {{601, 606, kKeyA}, {700, 900, kKeyRight}, {900, 1000, kKeyDown | kKeyA}});
}

} // namespace
} // namespace rix::test
