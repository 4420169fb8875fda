// The GBA's ARM core against the C++ interpreter, both in one GBA image (gba/check): random
// instructions from random states, with random budgets, must leave equal states, equal
// overruns and the same memory writes and port traffic. A difference names the instruction.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "Cartridge.h"
#include "GbaMachine.h"
#include "check/Check.h"

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

TEST(Z80ArmCore, AgreesWithTheInterpreterOnRandomInstructions) {
    const std::filesystem::path build = std::filesystem::path(RIX_BINARY_DIR) / "z80check-build";
    const std::string command = "make -s -C '" + std::string(RIX_SOURCE_DIR) +
                                "/gba' check BUILD='" + build.string() + "' >'" +
                                build.string() + ".log' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << "see " << build.string() << ".log";

    GbaMachine gba(ReadFile((build / "z80check.gba").string()));
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

} // namespace
} // namespace rix::test
