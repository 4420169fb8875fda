// Cycle counts of every opcode, transcribed from the documented Z80 timings, and the Run/Step
// cycle accounting a caller builds its scan lines on.
#include "Z80TestMachine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using rix::test::Z80TestMachine;

// Unprefixed opcodes; conditional jumps, calls and returns with the condition false, DJNZ with
// B reaching 0. 0 marks the prefixes.
constexpr int kMain[256] = {
    // 0  1   2   3   4   5   6   7   8   9   A   B   C   D   E   F
    4, 10, 7,  6,  4,  4,  7,  4,  4,  11, 7,  6,  4,  4,  7, 4,  // 00
    8, 10, 7,  6,  4,  4,  7,  4,  12, 11, 7,  6,  4,  4,  7, 4,  // 10
    7, 10, 16, 6,  4,  4,  7,  4,  7,  11, 16, 6,  4,  4,  7, 4,  // 20
    7, 10, 13, 6,  11, 11, 10, 4,  7,  11, 13, 6,  4,  4,  7, 4,  // 30
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7, 4,  // 40
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7, 4,  // 50
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7, 4,  // 60
    7, 7,  7,  7,  7,  7,  4,  7,  4,  4,  4,  4,  4,  4,  7, 4,  // 70
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7, 4,  // 80
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7, 4,  // 90
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7, 4,  // A0
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7, 4,  // B0
    5, 10, 10, 10, 10, 11, 7,  11, 5,  10, 10, 0,  10, 17, 7, 11, // C0
    5, 10, 10, 11, 10, 11, 7,  11, 5,  4,  10, 11, 10, 0,  7, 11, // D0
    5, 10, 10, 19, 10, 11, 7,  11, 5,  4,  10, 4,  10, 0,  7, 11, // E0
    5, 10, 10, 4,  10, 11, 7,  11, 5,  6,  10, 4,  10, 0,  7, 11, // F0
};

// After DD or FD (the same for both), counting the prefix. A prefix after a prefix: the first
// one alone, as one step.
constexpr int kIndexed[256] = {
    // 0  1   2   3   4   5   6   7   8   9   A   B   C   D   E   F
    8,  14, 11, 10, 8,  8,  11, 8,  8,  15, 11, 10, 8,  8,  11, 8,  // 00
    12, 14, 11, 10, 8,  8,  11, 8,  16, 15, 11, 10, 8,  8,  11, 8,  // 10
    11, 14, 20, 10, 8,  8,  11, 8,  11, 15, 20, 10, 8,  8,  11, 8,  // 20
    11, 14, 17, 10, 23, 23, 19, 8,  11, 15, 17, 10, 8,  8,  11, 8,  // 30
    8,  8,  8,  8,  8,  8,  19, 8,  8,  8,  8,  8,  8,  8,  19, 8,  // 40
    8,  8,  8,  8,  8,  8,  19, 8,  8,  8,  8,  8,  8,  8,  19, 8,  // 50
    8,  8,  8,  8,  8,  8,  19, 8,  8,  8,  8,  8,  8,  8,  19, 8,  // 60
    19, 19, 19, 19, 19, 19, 8,  19, 8,  8,  8,  8,  8,  8,  19, 8,  // 70
    8,  8,  8,  8,  8,  8,  19, 8,  8,  8,  8,  8,  8,  8,  19, 8,  // 80
    8,  8,  8,  8,  8,  8,  19, 8,  8,  8,  8,  8,  8,  8,  19, 8,  // 90
    8,  8,  8,  8,  8,  8,  19, 8,  8,  8,  8,  8,  8,  8,  19, 8,  // A0
    8,  8,  8,  8,  8,  8,  19, 8,  8,  8,  8,  8,  8,  8,  19, 8,  // B0
    9,  14, 14, 14, 14, 15, 11, 15, 9,  14, 14, 0,  14, 21, 11, 15, // C0
    9,  14, 14, 15, 14, 15, 11, 15, 9,  8,  14, 15, 14, 4,  11, 15, // D0
    9,  14, 14, 23, 14, 15, 11, 15, 9,  8,  14, 8,  14, 4,  11, 15, // E0
    9,  14, 14, 8,  14, 15, 11, 15, 9,  10, 14, 8,  14, 4,  11, 15, // F0
};

// After ED, block instructions not repeating. Undefined opcodes are 8-cycle no-ops.
constexpr int kExtended[256] = {
    // 0  1   2   3   4   5   6   7   8   9   A   B   C   D   E   F
    8,  8,  8,  8,  8, 8,  8, 8,  8,  8,  8,  8,  8, 8,  8, 8,  // 00
    8,  8,  8,  8,  8, 8,  8, 8,  8,  8,  8,  8,  8, 8,  8, 8,  // 10
    8,  8,  8,  8,  8, 8,  8, 8,  8,  8,  8,  8,  8, 8,  8, 8,  // 20
    8,  8,  8,  8,  8, 8,  8, 8,  8,  8,  8,  8,  8, 8,  8, 8,  // 30
    12, 12, 15, 20, 8, 14, 8, 9,  12, 12, 15, 20, 8, 14, 8, 9,  // 40
    12, 12, 15, 20, 8, 14, 8, 9,  12, 12, 15, 20, 8, 14, 8, 9,  // 50
    12, 12, 15, 20, 8, 14, 8, 18, 12, 12, 15, 20, 8, 14, 8, 18, // 60
    12, 12, 15, 20, 8, 14, 8, 8,  12, 12, 15, 20, 8, 14, 8, 8,  // 70
    8,  8,  8,  8,  8, 8,  8, 8,  8,  8,  8,  8,  8, 8,  8, 8,  // 80
    8,  8,  8,  8,  8, 8,  8, 8,  8,  8,  8,  8,  8, 8,  8, 8,  // 90
    16, 16, 16, 16, 8, 8,  8, 8,  16, 16, 16, 16, 8, 8,  8, 8,  // A0
    16, 16, 16, 16, 8, 8,  8, 8,  16, 16, 16, 16, 8, 8,  8, 8,  // B0
    8,  8,  8,  8,  8, 8,  8, 8,  8,  8,  8,  8,  8, 8,  8, 8,  // C0
    8,  8,  8,  8,  8, 8,  8, 8,  8,  8,  8,  8,  8, 8,  8, 8,  // D0
    8,  8,  8,  8,  8, 8,  8, 8,  8,  8,  8,  8,  8, 8,  8, 8,  // E0
    8,  8,  8,  8,  8, 8,  8, 8,  8,  8,  8,  8,  8, 8,  8, 8,  // F0
};

// CB: registers 8; (HL) 15, but BIT n,(HL) 12. DD/FD CB: 23, but BIT n,(IX+d) 20.
int BitOpCycles(unsigned op) {
    if ((op & 7) != 6) {
        return 8;
    }
    return (op >> 6) == 1 ? 12 : 15;
}
int IndexedBitOpCycles(unsigned op) {
    return (op >> 6) == 1 ? 20 : 23;
}

constexpr std::uint16_t kCode = 0x4000;

// Whether a conditional opcode (JR cc, RET/JP/CALL cc) tests NZ, NC, PO or P, which hold with
// F = 0; the others hold with F = FFh.
bool HoldsWithFlagsClear(unsigned op) {
    const unsigned cc = op < 0x40 ? ((op >> 3) & 3) : ((op >> 3) & 7);
    return (cc & 1) == 0;
}
bool IsConditional(unsigned op) {
    return op == 0x20 || op == 0x28 || op == 0x30 || op == 0x38 ||
           (op >= 0xC0 && ((op & 7) == 0 || (op & 7) == 2 || (op & 7) == 4));
}

// Runs `bytes` at kCode as one step with the registers set so that conditions fail, loops end
// and block instructions run once; `taken` flips the condition (or makes DJNZ and the block
// instructions go round again).
int StepCycles(const std::vector<std::uint8_t>& bytes, unsigned op, bool taken) {
    Z80TestMachine m;
    m.Load(kCode, bytes);
    auto s = m.cpu.State();
    s.pc = kCode;
    s.sp = 0x8000;
    s.b = taken ? 2 : 1; // DJNZ, and INIR/OTIR: B counts down to 0 unless taken
    s.c = 0x10;
    s.h = 0x90;
    s.l = 0x00;
    s.d = 0xA0;
    s.e = 0x00;
    s.a = 0x01; // CPIR compares with memory (zero): never found
    s.ix = s.iy = 0x9000;
    const bool condition = IsConditional(op) && HoldsWithFlagsClear(op) != taken;
    s.f = condition ? 0xFF : 0x00;
    m.cpu.SetState(s);
    if ((bytes[0] == 0xED) && (op & 0xF4) == 0xB0 && (op & 3) < 2) {
        // LDIR/LDDR/CPIR/CPDR count BC.
        s.b = 0;
        s.c = taken ? 2 : 1;
        m.cpu.SetState(s);
    }
    return m.cpu.Step();
}

TEST(Z80Cycles, UnprefixedOpcodes) {
    for (unsigned op = 0; op < 256; ++op) {
        if (kMain[op] == 0) {
            continue;
        }
        EXPECT_EQ(StepCycles({static_cast<std::uint8_t>(op)}, op, false), kMain[op])
            << "opcode " << std::hex << op;
    }
}

TEST(Z80Cycles, TakenBranchesAndLoops) {
    struct Case {
        unsigned op;
        int cycles;
    };
    const Case cases[] = {{0x10, 13}, {0x20, 12}, {0x28, 12}, {0x30, 12}, {0x38, 12}};
    for (const Case& c : cases) {
        EXPECT_EQ(StepCycles({static_cast<std::uint8_t>(c.op)}, c.op, true), c.cycles)
            << "opcode " << std::hex << c.op;
        EXPECT_EQ(StepCycles({0xDD, static_cast<std::uint8_t>(c.op)}, c.op, true), c.cycles + 4)
            << "DD " << std::hex << c.op;
    }
    for (unsigned op = 0xC0; op < 0x100; op += 8) {
        EXPECT_EQ(StepCycles({static_cast<std::uint8_t>(op)}, op, true), 11) << "RET cc " << op;
        EXPECT_EQ(StepCycles({static_cast<std::uint8_t>(op + 2)}, op + 2, true), 10)
            << "JP cc " << op;
        EXPECT_EQ(StepCycles({static_cast<std::uint8_t>(op + 4)}, op + 4, true), 17)
            << "CALL cc " << op;
    }
    for (unsigned op : {0xB0u, 0xB1u, 0xB2u, 0xB3u, 0xB8u, 0xB9u, 0xBAu, 0xBBu}) {
        EXPECT_EQ(StepCycles({0xED, static_cast<std::uint8_t>(op)}, op, true), 21)
            << "ED " << std::hex << op;
    }
}

TEST(Z80Cycles, IndexedOpcodes) {
    for (std::uint8_t prefix : {0xDD, 0xFD}) {
        for (unsigned op = 0; op < 256; ++op) {
            if (kIndexed[op] == 0) {
                continue;
            }
            EXPECT_EQ(StepCycles({prefix, static_cast<std::uint8_t>(op), 0x01, 0x02}, op, false),
                      kIndexed[op])
                << std::hex << unsigned{prefix} << " " << op;
        }
    }
}

TEST(Z80Cycles, ExtendedOpcodes) {
    for (unsigned op = 0; op < 256; ++op) {
        EXPECT_EQ(StepCycles({0xED, static_cast<std::uint8_t>(op)}, op, false), kExtended[op])
            << "ED " << std::hex << op;
    }
}

TEST(Z80Cycles, BitOpcodes) {
    for (unsigned op = 0; op < 256; ++op) {
        const auto byte = static_cast<std::uint8_t>(op);
        EXPECT_EQ(StepCycles({0xCB, byte}, op, false), BitOpCycles(op)) << "CB " << std::hex << op;
        EXPECT_EQ(StepCycles({0xDD, 0xCB, 0x05, byte}, op, false), IndexedBitOpCycles(op))
            << "DD CB " << std::hex << op;
        EXPECT_EQ(StepCycles({0xFD, 0xCB, 0xFB, byte}, op, false), IndexedBitOpCycles(op))
            << "FD CB " << std::hex << op;
    }
}

TEST(Z80Cycles, InterruptAcceptance) {
    struct Case {
        const char* what;
        bool nmi;
        std::uint8_t mode;
        std::uint8_t data;
        int cycles;
    };
    const Case cases[] = {
        {"NMI", true, 1, 0xFF, 11},
        {"IM 0 with RST 38h", false, 0, 0xFF, 13},
        {"IM 0 with RST 08h", false, 0, 0xCF, 13},
        {"IM 1", false, 1, 0xFF, 13},
        {"IM 2", false, 2, 0x40, 19},
    };
    for (const Case& c : cases) {
        Z80TestMachine m;
        auto s = m.cpu.State();
        s.pc = kCode;
        s.sp = 0x8000;
        s.im = c.mode;
        s.iff1 = s.iff2 = true;
        m.cpu.SetState(s);
        if (c.nmi) {
            m.cpu.TriggerNmi();
        } else {
            m.cpu.SetIrqLine(true, c.data);
        }
        EXPECT_EQ(m.cpu.Step(), c.cycles) << c.what;
    }
}

// A scan line at a time: each Run gives back its overrun, which the next line's budget absorbs,
// so the lines add up to the exact total and no line drifts.
TEST(Z80Cycles, RunKeepsCallersOnTheLineGrid) {
    Z80TestMachine m;
    // A loop of mixed lengths: LD B,n / DJNZ / EX (SP),HL / JP back.
    m.Load(kCode, {0x06, 0x05, 0x10, 0xFE, 0xE3, 0xC3, kCode & 0xFF, kCode >> 8});
    auto s = m.cpu.State();
    s.pc = kCode;
    s.sp = 0x8000;
    m.cpu.SetState(s);
    constexpr int kLine = 228;
    int debt = 0;
    for (int line = 0; line < 262 * 3; ++line) {
        const int overrun = m.cpu.Run(kLine - debt);
        ASSERT_GE(overrun, 0);
        ASSERT_LT(overrun, 23);
        debt = overrun;
        ASSERT_EQ(m.cpu.ElapsedCycles(), static_cast<std::uint64_t>((line + 1) * kLine + debt));
    }
}

TEST(Z80Cycles, RunWithNothingToDoSpendsNothing) {
    Z80TestMachine m;
    EXPECT_EQ(m.cpu.Run(0), 0);
    EXPECT_EQ(m.cpu.Run(-7), 7);
    EXPECT_EQ(m.cpu.ElapsedCycles(), 0u);
    EXPECT_EQ(m.cpu.State().pc, 0);
}

// HALT idles in 4-cycle steps, so a halted line ends at most 3 cycles late.
TEST(Z80Cycles, HaltSpendsWholeStepsOfFour) {
    for (int budget : {1, 4, 5, 227, 228, 229, 1 << 30, 0x7FFFFFFF}) {
        Z80TestMachine m;
        m.Load(0, {0x76});
        m.cpu.Step();
        const int overrun = m.cpu.Run(budget);
        EXPECT_EQ((std::int64_t{budget} + overrun) % 4, 0) << budget;
        EXPECT_LT(overrun, 4) << budget;
        EXPECT_TRUE(m.cpu.State().halted);
        EXPECT_EQ(m.cpu.State().pc, 1);
    }
}

} // namespace
