// What the instruction exercisers cannot see: interrupts, HALT, the R register, MEMPTR itself,
// block I/O flags, the undocumented opcodes outside their groups, the memory and port interface,
// state save/restore, and runs that must end on time whatever the program is.
#include "Z80TestMachine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

using rix::emu::Z80;
using rix::emu::Z80State;
using rix::test::PortAccess;
using rix::test::Z80TestMachine;

constexpr std::uint16_t kCode = 0x4000;
constexpr std::uint16_t kStack = 0x8000;
constexpr std::uint8_t kFlagPV = 0x04;
constexpr std::uint8_t kFlagXY = 0x28;

// PC at kCode, SP at kStack, the rest as `edit` leaves them.
void Start(Z80TestMachine& m, const std::function<void(Z80State&)>& edit = {}) {
    Z80State s = m.cpu.State();
    s.pc = kCode;
    s.sp = kStack;
    if (edit) {
        edit(s);
    }
    m.cpu.SetState(s);
}

// --- interrupts ---------------------------------------------------------------------------

TEST(Z80Interrupts, NmiWakesHaltAndReturnsBehindIt) {
    Z80TestMachine m;
    m.Load(kCode, {0xFB, 0x76});  // EI; HALT
    m.Load(0x0066, {0xED, 0x45}); // RETN
    Start(m);
    m.cpu.Run(100);
    ASSERT_TRUE(m.cpu.State().halted);

    m.cpu.TriggerNmi();
    EXPECT_EQ(m.cpu.Step(), 11);
    EXPECT_EQ(m.cpu.State().pc, 0x0066);
    EXPECT_FALSE(m.cpu.State().halted);
    EXPECT_FALSE(m.cpu.State().iff1);
    EXPECT_TRUE(m.cpu.State().iff2); // remembers IFF1 for RETN
    EXPECT_EQ(m.Word(m.cpu.State().sp), kCode + 2);

    m.cpu.Step();
    EXPECT_EQ(m.cpu.State().pc, kCode + 2);
    EXPECT_TRUE(m.cpu.State().iff1);
}

TEST(Z80Interrupts, NmiIgnoresDiWhileIrqWaits) {
    Z80TestMachine m; // DI, then NOPs
    m.Load(kCode, {0xF3});
    Start(m, [](Z80State& s) {
        s.im = 1;
        s.iff1 = s.iff2 = true;
    });
    m.cpu.Step();
    m.cpu.SetIrqLine(true);
    EXPECT_EQ(m.cpu.Step(), 4);
    EXPECT_EQ(m.cpu.State().pc, kCode + 2);
    m.cpu.TriggerNmi();
    EXPECT_EQ(m.cpu.Step(), 11);
    EXPECT_EQ(m.cpu.State().pc, 0x0066);
}

TEST(Z80Interrupts, NmiFiresOncePerRisingEdge) {
    Z80TestMachine m;
    m.Load(0x0066, {0xED, 0x45}); // RETN
    Start(m);
    m.cpu.SetNmiLine(true);
    EXPECT_EQ(m.cpu.Step(), 11);
    m.cpu.Step(); // RETN
    EXPECT_EQ(m.cpu.Step(), 4) << "the line is still high, but there was no new edge";
    m.cpu.SetNmiLine(false);
    EXPECT_EQ(m.cpu.Step(), 4);
    m.cpu.SetNmiLine(true);
    EXPECT_EQ(m.cpu.Step(), 11);
}

TEST(Z80Interrupts, NmiComesBeforeIrq) {
    Z80TestMachine m;
    Start(m, [](Z80State& s) {
        s.im = 1;
        s.iff1 = s.iff2 = true;
    });
    m.cpu.SetIrqLine(true);
    m.cpu.TriggerNmi();
    m.cpu.Step();
    EXPECT_EQ(m.cpu.State().pc, 0x0066);
    EXPECT_EQ(m.cpu.Step(), 4) << "NMI cleared IFF1, so the IRQ waits";
}

// EI lets the next instruction run before an interrupt, whether the caller runs a long slice or
// single steps, and a chain of EIs keeps putting it off.
TEST(Z80Interrupts, EiDelaysTheInterruptByOneInstruction) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> code;
        std::uint16_t pushed;
        std::vector<int> slices;
    };
    const Case cases[] = {
        {"EI; NOP in one run", {0xFB, 0x00, 0x00}, kCode + 2, {4 + 4 + 13}},
        {"EI; NOP stepped", {0xFB, 0x00, 0x00}, kCode + 2, {1, 1, 1}},
        {"EI; EI; EI; NOP in one run", {0xFB, 0xFB, 0xFB, 0x00, 0x00}, kCode + 4, {12 + 4 + 13}},
        {"EI; EI; EI; NOP stepped", {0xFB, 0xFB, 0xFB, 0x00, 0x00}, kCode + 4, {1, 1, 1, 1, 1}},
        {"EI; HALT", {0xFB, 0x76, 0x00}, kCode + 2, {8 + 13}},
    };
    for (const Case& c : cases) {
        Z80TestMachine m;
        m.Load(kCode, c.code);
        Start(m, [](Z80State& s) { s.im = 1; });
        m.cpu.SetIrqLine(true);
        for (int slice : c.slices) {
            m.cpu.Run(slice);
        }
        EXPECT_EQ(m.cpu.State().pc, 0x0038) << c.what;
        EXPECT_EQ(m.Word(m.cpu.State().sp), c.pushed) << c.what;
        EXPECT_EQ(m.cpu.ElapsedCycles(), 4u * (c.code.size() - 1) + 13) << c.what;
    }
}

TEST(Z80Interrupts, Im2ReadsTheVectorAtIAndTheDataByte) {
    Z80TestMachine m;
    m.Load(0x8021, {0x34, 0x12});
    Start(m, [](Z80State& s) {
        s.im = 2;
        s.i = 0x80;
        s.iff1 = s.iff2 = true;
    });
    m.cpu.SetIrqLine(true, 0x21);
    EXPECT_EQ(m.cpu.Step(), 19);
    EXPECT_EQ(m.cpu.State().pc, 0x1234);
    EXPECT_EQ(m.cpu.State().wz, 0x1234);
    EXPECT_EQ(m.Word(m.cpu.State().sp), kCode);
    EXPECT_FALSE(m.cpu.State().iff1);
    EXPECT_FALSE(m.cpu.State().iff2);
}

TEST(Z80Interrupts, Im0RunsTheDataByte) {
    Z80TestMachine m;
    Start(m, [](Z80State& s) { s.iff1 = s.iff2 = true; });
    m.cpu.SetIrqLine(true, 0xD7); // RST 10h
    EXPECT_EQ(m.cpu.Step(), 13);
    EXPECT_EQ(m.cpu.State().pc, 0x0010);
    EXPECT_EQ(m.Word(m.cpu.State().sp), kCode);
}

TEST(Z80Interrupts, HaltWithInterruptsDisabledWaitsForNmi) {
    Z80TestMachine m;
    m.Load(kCode, {0xF3, 0x76}); // DI; HALT
    Start(m, [](Z80State& s) { s.im = 1; });
    m.cpu.SetIrqLine(true);
    m.cpu.Run(1000);
    EXPECT_TRUE(m.cpu.State().halted);
    EXPECT_EQ(m.cpu.State().pc, kCode + 2);
    m.cpu.TriggerNmi();
    m.cpu.Step();
    EXPECT_FALSE(m.cpu.State().halted);
    EXPECT_EQ(m.Word(m.cpu.State().sp), kCode + 2);
}

// LD A,I and LD A,R copy IFF2 into P/V, but a maskable interrupt accepted right behind them
// finds P/V cleared (an NMI does not), also when the instruction ended a run.
TEST(Z80Interrupts, LdAIParityFlagAndTheInterruptRightBehind) {
    struct Case {
        const char* what;
        std::uint8_t second; // ED 57 or ED 5F
        bool irq;
        bool nmi;
        int firstSlice; // runs EI and LD A,I in one go, or stops right behind them
        bool parity;
    };
    const Case cases[] = {
        {"LD A,I, no interrupt", 0x57, false, false, 14, true},
        {"LD A,I, IRQ in the same run", 0x57, true, false, 14, false},
        {"LD A,I, IRQ in the next run", 0x57, true, false, 1, false},
        {"LD A,R, IRQ in the next run", 0x5F, true, false, 1, false},
        {"LD A,I, NMI", 0x57, false, true, 14, true},
    };
    for (const Case& c : cases) {
        Z80TestMachine m;
        m.Load(kCode, {0xFB, 0xED, c.second}); // EI; LD A,I or LD A,R
        Start(m, [](Z80State& s) {
            s.im = 1;
            s.i = 0x80;
        });
        m.cpu.SetIrqLine(c.irq);
        m.cpu.Run(c.firstSlice);
        if (c.firstSlice == 1) {
            m.cpu.Run(1);
        }
        if (c.nmi) {
            m.cpu.TriggerNmi();
        }
        m.cpu.Run(1); // the interrupt, or a NOP
        EXPECT_EQ((m.cpu.State().f & kFlagPV) != 0, c.parity) << c.what;
    }
}

// --- R ----------------------------------------------------------------------------------------

// R's low 7 bits count opcode fetches (one per prefix) and wrap; bit 7 stays as last written.
TEST(Z80Refresh, CountsOpcodeFetches) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> code;
        int cycles;
        unsigned fetches;
    };
    const Case cases[] = {
        {"NOP", {0x00}, 4, 1},
        {"RLC B", {0xCB, 0x00}, 8, 2},
        {"NEG", {0xED, 0x44}, 8, 2},
        {"undefined ED", {0xED, 0x00}, 8, 2},
        {"LD IX,nn", {0xDD, 0x21, 0x00, 0x00}, 14, 2},
        {"RLC (IX+d): d and the opcode are no fetches", {0xDD, 0xCB, 0x01, 0x06}, 23, 2},
        {"DD FD LD IY,nn", {0xDD, 0xFD, 0x21, 0x00, 0x00}, 18, 3},
        {"LDIR going round twice", {0xED, 0xB0}, 21 + 16, 4},
        {"HALT and then 9 idle steps", {0x76}, 40, 10},
    };
    for (const Case& c : cases) {
        Z80TestMachine m;
        m.Load(kCode, c.code);
        Start(m, [](Z80State& s) {
            s.r = 0xFE;
            s.b = 0;
            s.c = 2;
        });
        EXPECT_EQ(m.cpu.Run(c.cycles), 0) << c.what;
        EXPECT_EQ(m.cpu.State().r, 0x80 | ((0x7E + c.fetches) & 0x7F)) << c.what;
    }
}

TEST(Z80Refresh, LdRALdARAndInterrupts) {
    Z80TestMachine m;
    // LD A,FFh; LD R,A; NOP; LD A,R
    m.Load(kCode, {0x3E, 0xFF, 0xED, 0x4F, 0x00, 0xED, 0x5F});
    Start(m);
    m.cpu.Run(7 + 9 + 4 + 9);
    EXPECT_EQ(m.cpu.State().a, 0x82) << "bit 7 kept, the low bits wrapped from 7Fh";
    EXPECT_EQ(m.cpu.State().f & 0x80, 0x80);

    m.cpu.TriggerNmi();
    m.cpu.Step();
    EXPECT_EQ(m.cpu.State().r, 0x83) << "accepting an interrupt is a fetch too";
}

// --- MEMPTR -------------------------------------------------------------------------------

TEST(Z80Memptr, SetByTheInstructionsThatLatchAnAddress) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> code;
        std::uint16_t wz;
    };
    // BC=1234h DE=5678h HL=9ABCh A=77h IX=1000h IY=2000h MEMPTR=1111h, F has Z set, the stack
    // holds BEEFh.
    const Case cases[] = {
        {"LD A,(BC)", {0x0A}, 0x1235},
        {"LD A,(DE)", {0x1A}, 0x5679},
        {"LD (BC),A", {0x02}, 0x7735},
        {"LD (DE),A", {0x12}, 0x7779},
        {"LD A,(nn)", {0x3A, 0x34, 0x12}, 0x1235},
        {"LD (nn),A", {0x32, 0xFF, 0x12}, 0x7700},
        {"LD HL,(nn)", {0x2A, 0x00, 0x30}, 0x3001},
        {"LD (nn),HL", {0x22, 0x00, 0x30}, 0x3001},
        {"LD BC,(nn)", {0xED, 0x4B, 0x00, 0x30}, 0x3001},
        {"LD (nn),IX", {0xDD, 0x22, 0x00, 0x30}, 0x3001},
        {"JP nn", {0xC3, 0x34, 0x12}, 0x1234},
        {"JP NZ,nn not taken", {0xC2, 0x34, 0x12}, 0x1234},
        {"CALL nn", {0xCD, 0x34, 0x12}, 0x1234},
        {"CALL NZ,nn not taken", {0xC4, 0x34, 0x12}, 0x1234},
        {"RET", {0xC9}, 0xBEEF},
        {"RST 38h", {0xFF}, 0x0038},
        {"JR", {0x18, 0x10}, kCode + 0x12},
        {"DJNZ taken", {0x10, 0xFE}, kCode},
        {"JP (HL) leaves it", {0xE9}, 0x1111},
        {"ADD HL,BC", {0x09}, 0x9ABD},
        {"SBC HL,BC", {0xED, 0x42}, 0x9ABD},
        {"ADD IX,BC", {0xDD, 0x09}, 0x1001},
        {"EX (SP),HL", {0xE3}, 0xBEEF},
        {"IN A,(n)", {0xDB, 0x34}, 0x7735},
        {"OUT (n),A", {0xD3, 0xFF}, 0x7700},
        {"IN A,(C)", {0xED, 0x78}, 0x1235},
        {"OUT (C),A", {0xED, 0x79}, 0x1235},
        {"LD A,(IX+5)", {0xDD, 0x7E, 0x05}, 0x1005},
        {"LD A,(IY-5)", {0xFD, 0x7E, 0xFB}, 0x1FFB},
        {"RLD", {0xED, 0x6F}, 0x9ABD},
        {"CPI", {0xED, 0xA1}, 0x1112},
        {"CPD", {0xED, 0xA9}, 0x1110},
        {"LDIR going round", {0xED, 0xB0}, kCode + 1},
        {"INI", {0xED, 0xA2}, 0x1235},
        {"IND", {0xED, 0xAA}, 0x1233},
        {"OUTI: B counted down first", {0xED, 0xA3}, 0x1135},
        {"OUTD", {0xED, 0xAB}, 0x1133},
    };
    for (const Case& c : cases) {
        Z80TestMachine m;
        m.Load(kCode, c.code);
        m.Load(kStack, {0xEF, 0xBE});
        Start(m, [](Z80State& s) {
            s.b = 0x12;
            s.c = 0x34;
            s.d = 0x56;
            s.e = 0x78;
            s.h = 0x9A;
            s.l = 0xBC;
            s.a = 0x77;
            s.f = 0x40;
            s.ix = 0x1000;
            s.iy = 0x2000;
            s.wz = 0x1111;
        });
        m.cpu.Step();
        EXPECT_EQ(m.cpu.State().wz, c.wz) << c.what;
    }
}

// BIT n,(HL) shows MEMPTR's bits 13 and 11 as flag bits 5 and 3; BIT n,(IX+d) those of IX+d.
TEST(Z80Memptr, ShowsThroughBitOnMemory) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> code;
        std::uint16_t wz;
        std::uint8_t xy;
    };
    const Case cases[] = {
        {"BIT 0,(HL), MEMPTR 2800h", {0xCB, 0x46}, 0x2800, 0x28},
        {"BIT 0,(HL), MEMPTR 0800h", {0xCB, 0x46}, 0x0800, 0x08},
        {"BIT 7,(HL), MEMPTR 00FFh", {0xCB, 0x7E}, 0x00FF, 0x00},
        {"BIT 0,(IX+5) at 2828h", {0xDD, 0xCB, 0x05, 0x46}, 0x0000, 0x28},
        {"BIT 0,(IX-24h) at 27FFh", {0xDD, 0xCB, 0xDC, 0x46}, 0xFFFF, 0x20},
    };
    for (const Case& c : cases) {
        Z80TestMachine m;
        m.Load(kCode, c.code);
        Start(m, [&c](Z80State& s) {
            s.wz = c.wz;
            s.ix = 0x2823;
            s.h = 0x00;
            s.l = 0x00;
        });
        m.cpu.Step();
        EXPECT_EQ(m.cpu.State().f & kFlagXY, c.xy) << c.what;
    }
}

// --- block I/O --------------------------------------------------------------------------------

// INI/OUTI and kin: N is bit 7 of the byte moved; H and C the carry of that byte plus C+-1 (in)
// or plus the new L (out); P/V the parity of that sum's low 3 bits XOR B. While INIR/OTIR go
// round, bits 5 and 3 come from PC and P/V and H are recomputed from B.
TEST(Z80BlockIo, Flags) {
    struct Case {
        const char* what;
        std::uint8_t op;
        std::uint16_t at;
        std::uint8_t b, c, value;
        std::uint8_t f;
        int cycles;
    };
    const Case cases[] = {
        {"OUTI to B = 0", 0xA3, kCode, 0x01, 0x10, 0x80, 0x42, 16},
        {"INI, no carry", 0xA2, kCode, 0x10, 0xFF, 0x01, 0x08, 16},
        {"INI with carry to B = 0", 0xA2, kCode, 0x01, 0x80, 0x90, 0x53, 16},
        {"OTIR going round at 2800h", 0xB3, 0x2800, 0x02, 0x10, 0x00, 0x28, 21},
        {"INIR going round at 2000h with carry", 0xB2, 0x2000, 0x02, 0x90, 0x80, 0x27, 21},
    };
    for (const Case& c : cases) {
        Z80TestMachine m;
        m.Load(c.at, {0xED, c.op});
        m.memory[0x3000] = c.value;
        m.portValue = c.value;
        Start(m, [&c](Z80State& s) {
            s.pc = c.at;
            s.b = c.b;
            s.c = c.c;
            s.h = 0x30;
            s.l = 0x00;
            s.f = 0;
        });
        EXPECT_EQ(m.cpu.Step(), c.cycles) << c.what;
        EXPECT_EQ(m.cpu.State().f, c.f) << c.what;
    }
}

TEST(Z80BlockIo, OtirPutsEveryByteOutWithTheCountInTheHighByte) {
    Z80TestMachine m;
    m.Load(kCode, {0xED, 0xB3}); // OTIR
    m.Load(0x3000, {0x11, 0x22, 0x33});
    Start(m, [](Z80State& s) {
        s.b = 3;
        s.c = 0xBE;
        s.h = 0x30;
        s.l = 0x00;
    });
    EXPECT_EQ(m.cpu.Run(21 + 21 + 16), 0);
    const std::vector<PortAccess> expected = {
        {true, 0x02BE, 0x11, 21}, {true, 0x01BE, 0x22, 42}, {true, 0x00BE, 0x33, 58}};
    EXPECT_EQ(m.ports, expected);
    EXPECT_EQ(m.cpu.State().pc, kCode + 2);
}

// --- undocumented opcodes the exercisers leave out ------------------------------------------

TEST(Z80Undocumented, ExtendedMirrorsAndPrefixChains) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> code;
        std::function<void(Z80State&)> check;
    };
    const Case cases[] = {
        {"ED 4C is NEG", {0xED, 0x4C}, [](Z80State& s) { EXPECT_EQ(s.a, 0xFF); }},
        {"ED 4E is IM 0", {0xED, 0x4E}, [](Z80State& s) { EXPECT_EQ(s.im, 0); }},
        {"ED 66 is IM 0", {0xED, 0x66}, [](Z80State& s) { EXPECT_EQ(s.im, 0); }},
        {"ED 76 is IM 1", {0xED, 0x76}, [](Z80State& s) { EXPECT_EQ(s.im, 1); }},
        {"ED 7E is IM 2", {0xED, 0x7E}, [](Z80State& s) { EXPECT_EQ(s.im, 2); }},
        {"ED 55 is RETN",
         {0xED, 0x55},
         [](Z80State& s) {
             EXPECT_EQ(s.pc, 0xBEEF);
             EXPECT_TRUE(s.iff1);
         }},
        {"RETI copies IFF2 too", {0xED, 0x4D}, [](Z80State& s) { EXPECT_TRUE(s.iff1); }},
        {"ED 70 sets only the flags",
         {0xED, 0x70},
         [](Z80State& s) {
             EXPECT_EQ(s.f, 0x80 | 0x01); // S from 80h, C kept, odd parity
             EXPECT_EQ(s.h, 0x55);
         }},
        {"DD FD: the last prefix counts",
         {0xDD, 0xFD, 0x21, 0x34, 0x12},
         [](Z80State& s) {
             EXPECT_EQ(s.iy, 0x1234);
             EXPECT_EQ(s.ix, 0x1000);
         }},
        {"DD ED: the DD is dropped", {0xDD, 0xED, 0x44}, [](Z80State& s) { EXPECT_EQ(s.a, 0xFF); }},
        {"DD EB exchanges DE and HL, not IX",
         {0xDD, 0xEB},
         [](Z80State& s) {
             EXPECT_EQ(s.d, 0x55);
             EXPECT_EQ(s.ix, 0x1000);
         }},
        {"DD CB d 00: RLC (IX+d) also into B",
         {0xDD, 0xCB, 0x02, 0x00},
         [](Z80State& s) { EXPECT_EQ(s.b, 0x03); }},
        {"FD CB d CC: SET 1,(IY+d) also into H",
         {0xFD, 0xCB, 0x02, 0xCC},
         [](Z80State& s) { EXPECT_EQ(s.h, 0x83); }},
        {"DD 66: LD H,(IX+d) loads the real H",
         {0xDD, 0x66, 0x02},
         [](Z80State& s) {
             EXPECT_EQ(s.h, 0x81);
             EXPECT_EQ(s.ix, 0x1000);
         }},
        {"DD 65: LD IXh,IXl", {0xDD, 0x65}, [](Z80State& s) { EXPECT_EQ(s.ix, 0x0000); }},
    };
    for (const Case& c : cases) {
        Z80TestMachine m;
        m.Load(kCode, c.code);
        m.Load(kStack, {0xEF, 0xBE});
        m.memory[0x1002] = 0x81;
        m.memory[0x2002] = 0x81;
        m.portValue = 0x80;
        Start(m, [](Z80State& s) {
            s.a = 0x01;
            s.f = 0x01;
            s.b = 0xAA;
            s.d = 0x00;
            s.e = 0x00;
            s.h = 0x55;
            s.l = 0x66;
            s.ix = 0x1000;
            s.iy = 0x2000;
            s.im = 1;
            s.iff1 = false;
            s.iff2 = true;
        });
        do { // one instruction, behind all of its prefixes
            m.cpu.Step();
        } while (m.cpu.State().intDelay);
        Z80State s = m.cpu.State();
        c.check(s);
        if (HasFailure()) {
            ADD_FAILURE() << c.what;
            return;
        }
    }
}

TEST(Z80Undocumented, OutCZeroAndPortAddresses) {
    Z80TestMachine m;
    // OUT (C),0; IN A,(FEh); IN E,(C)
    m.Load(kCode, {0xED, 0x71, 0xDB, 0xFE, 0xED, 0x58});
    Start(m, [](Z80State& s) {
        s.a = 0x12;
        s.b = 0x34;
        s.c = 0x56;
    });
    m.cpu.Run(12 + 11 + 12);
    const std::vector<PortAccess> expected = {
        {true, 0x3456, 0x00, 12}, {false, 0x12FE, 0xFF, 23}, {false, 0x3456, 0xFF, 35}};
    EXPECT_EQ(m.ports, expected);
}

// --- memory and ports -----------------------------------------------------------------------

TEST(Z80Memory, MapAcceptsOnlyWholePagesInside64K) {
    Z80 cpu;
    std::uint8_t block[0x800] = {};
    EXPECT_TRUE(cpu.MapRead(0x0000, 0x400, block));
    EXPECT_TRUE(cpu.MapRead(0xF800, 0x800, block));
    EXPECT_TRUE(cpu.MapWrite(0x10000, 0, block));
    EXPECT_TRUE(cpu.MapRead(0x0000, 0x400, nullptr)) << "detaching the first page";
    EXPECT_TRUE(cpu.MapWrite(0x0000, 0x10000, nullptr));
    EXPECT_FALSE(cpu.MapRead(0x0100, 0x400, block));
    EXPECT_FALSE(cpu.MapRead(0x0000, 0x300, block));
    EXPECT_FALSE(cpu.MapWrite(0xFC00, 0x800, block));
    EXPECT_FALSE(cpu.MapWrite(0x10400, 0x400, block));
    EXPECT_FALSE(cpu.MapWrite(0x400, 0xFFFFFC00u, block)) << "size wrapping around";
}

// The machine's layout in small: ROM that ignores writes, 1 KiB of RAM mirrored through 8 KiB,
// and an unmapped page served by callbacks.
TEST(Z80Memory, ReadOnlyPagesMirrorsAndCallbacks) {
    struct Bus {
        std::vector<std::uint16_t> reads;
        std::vector<std::pair<std::uint16_t, std::uint8_t>> writes;
    } bus;
    std::vector<std::uint8_t> rom(0x2000, 0x00);
    std::vector<std::uint8_t> ram(0x400, 0x00);
    // LD A,55h; LD (0100h),A; LD (6000h),A; LD A,(7C00h); LD (A000h),A; LD A,(A123h); HALT
    const std::uint8_t code[] = {0x3E, 0x55, 0x32, 0x00, 0x01, 0x32, 0x00, 0x60, 0x3A,
                                 0x00, 0x7C, 0x32, 0x00, 0xA0, 0x3A, 0x23, 0xA1, 0x76};
    std::copy(std::begin(code), std::end(code), rom.begin());

    Z80 cpu;
    ASSERT_TRUE(cpu.MapRead(0x0000, 0x2000, rom.data()));
    for (std::uint32_t mirror = 0x6000; mirror < 0x8000; mirror += 0x400) {
        ASSERT_TRUE(cpu.MapRead(mirror, 0x400, ram.data()));
        ASSERT_TRUE(cpu.MapWrite(mirror, 0x400, ram.data()));
    }
    cpu.SetMemoryCallbacks(
        &bus,
        [](void* context, std::uint16_t address) -> std::uint8_t {
            static_cast<Bus*>(context)->reads.push_back(address);
            return 0x66;
        },
        [](void* context, std::uint16_t address, std::uint8_t value) {
            static_cast<Bus*>(context)->writes.emplace_back(address, value);
        });
    cpu.Run(200);

    EXPECT_TRUE(cpu.State().halted);
    EXPECT_EQ(rom[0x100], 0x00) << "ROM took a write";
    EXPECT_EQ(ram[0], 0x55);
    EXPECT_EQ(cpu.State().a, 0x66);
    // A page without a write pointer hands the write to the callback (which may drop it).
    EXPECT_EQ(bus.writes, (std::vector<std::pair<std::uint16_t, std::uint8_t>>{{0x0100, 0x55},
                                                                               {0xA000, 0x55}}));
    EXPECT_EQ(bus.reads, (std::vector<std::uint16_t>{0xA123}));
    EXPECT_EQ(cpu.Peek(0x7C00), 0x55);
}

// Words whose two bytes lie in different pages: each byte comes from (or goes to) its own page,
// also when the pages are not neighbours in memory, when one of them is served by callbacks, and
// across the top of the address space. The pages here are mapped in reverse order.
TEST(Z80Memory, WordsAcrossPageBoundaries) {
    struct Bus {
        std::vector<std::pair<std::uint16_t, std::uint8_t>> writes;
    } bus;
    constexpr std::uint32_t kPage = rix::emu::kZ80PageSize;
    constexpr int kPages = rix::emu::kZ80PageCount;
    constexpr std::uint16_t kCallbackPage = 0x5400;
    std::vector<std::uint8_t> blocks(kPage * kPages);
    std::uint32_t seed = 1;
    for (std::uint8_t& b : blocks) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(seed >> 16);
    }
    auto byte = [&](std::uint16_t address) -> std::uint8_t& {
        return blocks[(kPages - 1 - address / kPage) * kPage + address % kPage];
    };
    // LD HL,(03FFh); LD (07FFh),HL; LD SP,0C01h; PUSH HL; LD SP,0FFFh; POP DE; LD HL,(FFFFh);
    // LD (57FFh),HL; LD BC,(53FFh); JP 13FEh, where JP 4100h's operand straddles 1400h; HALT.
    const std::vector<std::uint8_t> code = {0x2A, 0xFF, 0x03, 0x22, 0xFF, 0x07, 0x31, 0x01, 0x0C,
                                            0xE5, 0x31, 0xFF, 0x0F, 0xD1, 0x2A, 0xFF, 0xFF, 0x22,
                                            0xFF, 0x57, 0xED, 0x4B, 0xFF, 0x53, 0xC3, 0xFE, 0x13};
    for (std::size_t i = 0; i < code.size(); ++i) {
        byte(static_cast<std::uint16_t>(kCode + i)) = code[i];
    }
    byte(0x13FE) = 0xC3;
    byte(0x13FF) = 0x00;
    byte(0x1400) = 0x41;
    byte(0x4100) = 0x76;
    const std::vector<std::uint8_t> before = blocks;
    auto old = [&](std::uint16_t address) {
        return before[(kPages - 1 - address / kPage) * kPage + address % kPage];
    };

    Z80 cpu;
    for (int page = 0; page < kPages; ++page) {
        if (page * kPage != kCallbackPage) {
            std::uint8_t* block = &blocks[(kPages - 1 - page) * kPage];
            ASSERT_TRUE(cpu.MapRead(page * kPage, kPage, block));
            ASSERT_TRUE(cpu.MapWrite(page * kPage, kPage, block));
        }
    }
    cpu.SetMemoryCallbacks(
        &bus,
        [](void*, std::uint16_t address) { return static_cast<std::uint8_t>(address ^ 0xA5); },
        [](void* context, std::uint16_t address, std::uint8_t value) {
            static_cast<Bus*>(context)->writes.emplace_back(address, value);
        });
    Z80State s = cpu.State();
    s.pc = kCode;
    cpu.SetState(s);
    cpu.Run(1000);

    const Z80State& end = cpu.State();
    ASSERT_TRUE(end.halted);
    EXPECT_EQ(end.pc, 0x4101) << "JP with its operand across a page boundary";
    const std::uint16_t first = static_cast<std::uint16_t>(old(0x0400) << 8 | old(0x03FF));
    EXPECT_EQ(byte(0x07FF), first & 0xFF) << "LD (nn),HL, low byte";
    EXPECT_EQ(byte(0x0800), first >> 8) << "LD (nn),HL, high byte";
    EXPECT_EQ(byte(0x0BFF), first & 0xFF) << "PUSH, low byte";
    EXPECT_EQ(byte(0x0C00), first >> 8) << "PUSH, high byte";
    EXPECT_EQ(end.d, old(0x1000)) << "POP, high byte";
    EXPECT_EQ(end.e, old(0x0FFF)) << "POP, low byte";
    EXPECT_EQ(end.sp, 0x1001);
    EXPECT_EQ(end.l, old(0xFFFF)) << "LD HL,(FFFFh) wraps to 0000h";
    EXPECT_EQ(end.h, old(0x0000));
    EXPECT_EQ(bus.writes, (std::vector<std::pair<std::uint16_t, std::uint8_t>>{{0x57FF, end.l}}));
    EXPECT_EQ(byte(0x5800), end.h) << "the half of the word outside the callback page";
    EXPECT_EQ(end.c, old(0x53FF));
    EXPECT_EQ(end.b, (0x5400 ^ 0xA5) & 0xFF) << "the half of the word from the callback";
}

TEST(Z80Memory, NothingMappedReadsFFAndDropsWrites) {
    Z80 cpu; // executes RST 38h from everywhere, pushing into nowhere
    EXPECT_EQ(cpu.Peek(0x1234), 0xFF);
    EXPECT_EQ(cpu.Step(), 11);
    EXPECT_EQ(cpu.State().pc, 0x0038);
    EXPECT_EQ(cpu.Peek(0xFFFE), 0xFF);
}

// A port write may raise the NMI line (the video chip's interrupt enable does): it is taken
// right after the instruction.
TEST(Z80Ports, CallbackMayRaiseNmi) {
    struct Bus {
        Z80* cpu;
    };
    Z80TestMachine m;
    m.Load(kCode, {0xD3, 0xBF, 0x00}); // OUT (BFh),A; NOP
    Start(m);
    Bus bus{&m.cpu};
    m.cpu.SetPortCallbacks(&bus, nullptr, [](void* context, std::uint16_t, std::uint8_t) {
        static_cast<Bus*>(context)->cpu->SetNmiLine(true);
    });
    m.cpu.Run(11 + 11);
    EXPECT_EQ(m.cpu.State().pc, 0x0066);
    EXPECT_EQ(m.Word(m.cpu.State().sp), kCode + 2);
}

// A stream port takes the writes to its ports from every form of OUT, in order, and leaves the
// rest to the callback; taken away, its ports are the callback's again.
TEST(Z80Ports, StreamPortTakesItsPortsWrites) {
    Z80TestMachine m;
    m.Load(kCode, {
                      0x3E, 0x11, 0xD3, 0xBE, // LD A,11h; OUT (BEh),A
                      0xD3, 0xBF,             // OUT (BFh),A: another port of the chip
                      0x0E, 0xBE, 0x3E, 0x22, // LD C,BEh; LD A,22h
                      0xED, 0x79,             // OUT (C),A
                      0x21, 0x00, 0x50,       // LD HL,5000h
                      0x06, 0x02, 0xED, 0xB3, // LD B,2; OTIR
                  });
    m.Load(0x5000, {0x33, 0x44});
    Start(m);
    std::uint8_t memory[16] = {};
    std::uint8_t marks[1] = {};
    rix::emu::StreamPortState state{14, 0, true};
    m.cpu.SetStreamPort(0xE1, 0xA0, {&state, memory, marks, 15});
    m.cpu.Run(7 + 11 + 11 + 7 + 7 + 12 + 10 + 7 + 21 + 16);
    EXPECT_EQ(memory[14], 0x11);
    EXPECT_EQ(memory[15], 0x22);
    EXPECT_EQ(memory[0], 0x33) << "the address wraps with the mask";
    EXPECT_EQ(memory[1], 0x44);
    EXPECT_EQ(state.address, 2);
    EXPECT_EQ(state.last, 0x44);
    EXPECT_FALSE(state.pending);
    EXPECT_EQ(marks[0], 0x03) << "both blocks written";
    EXPECT_EQ(m.ports, (std::vector<PortAccess>{{true, 0x11BF, 0x11, m.ports.at(0).cycle}}));

    m.cpu.SetStreamPort(0xE1, 0xA0, {});
    m.Load(0x6000, {0xD3, 0xBE});
    Start(m, [](Z80State& s) { s.pc = 0x6000; });
    m.cpu.Run(11);
    ASSERT_EQ(m.ports.size(), 2u);
    EXPECT_EQ(m.ports[1].port & 0xFF, 0xBE);
}

// --- state --------------------------------------------------------------------------------

// A program that takes interrupts, loops and writes memory; a copy of the state (and memory)
// taken at any cut, also right behind an EI or in a prefix chain, resumes exactly.
TEST(Z80State, SavedStateResumesExactly) {
    const std::vector<std::uint8_t> program = {
        0xED, 0x5E,                   // IM 2
        0x3E, 0x90, 0xED, 0x47,       // LD A,90h; LD I,A
        0xFB,                         // loop: EI
        0xDD, 0xFD, 0xDD, 0x34, 0x00, // INC (IX+0) behind a prefix chain
        0xED, 0xB0,                   // LDIR
        0x01, 0x03, 0x00,             // LD BC,3
        0xC3, 0x06, 0x40,             // JP loop
    };
    const std::vector<std::uint8_t> handler = {0xF5, 0xED, 0x5F, 0x32, 0x00,
                                               0x60, 0xF1, 0xED, 0x4D}; // stores R; RETI
    const auto prepare = [&](Z80TestMachine& m) {
        m.Load(kCode, program);
        m.Load(0x5000, handler);
        m.Load(0x90FF, {0x00, 0x50});
        m.cpu.SetIrqLine(true, 0xFF);
    };
    for (int cut = 1; cut < 120; cut += 7) {
        Z80TestMachine original;
        prepare(original);
        Start(original, [](Z80State& s) {
            s.ix = 0x7000;
            s.b = 0;
            s.c = 3;
            s.h = 0x70;
            s.d = 0x71;
        });
        original.cpu.Run(cut);
        const Z80State saved = original.cpu.State();
        const auto memory = original.memory;
        for (int slice : {3, 50, 228, 1000}) {
            original.cpu.Run(slice);
        }

        Z80TestMachine restored;
        restored.memory = memory;
        restored.cpu.SetState(saved);
        restored.cpu.SetIrqLine(true, 0xFF);
        for (int slice : {3, 50, 228, 1000}) {
            restored.cpu.Run(slice);
        }
        EXPECT_TRUE(restored.cpu.State() == original.cpu.State()) << "cut at " << cut;
        EXPECT_TRUE(restored.memory == original.memory) << "cut at " << cut;
    }
}

TEST(Z80State, ResetKeepsTheCycleCountAndLines) {
    Z80TestMachine m;
    Start(m, [](Z80State& s) {
        s.im = 2;
        s.iff1 = s.iff2 = true;
        s.i = 0x12;
        s.b = 0x34;
    });
    m.cpu.Run(100);
    m.cpu.SetNmiLine(true);
    m.cpu.Reset();
    const Z80State& s = m.cpu.State();
    EXPECT_EQ(s.pc, 0);
    EXPECT_EQ(s.sp, 0xFFFF);
    EXPECT_EQ(s.a, 0xFF);
    EXPECT_EQ(s.f, 0xFF);
    EXPECT_EQ(s.i, 0);
    EXPECT_EQ(s.r, 0);
    EXPECT_EQ(s.im, 0);
    EXPECT_FALSE(s.iff1);
    EXPECT_FALSE(s.nmiPending);
    EXPECT_TRUE(s.nmiLine);
    EXPECT_EQ(s.b, 0x34);
    EXPECT_EQ(m.cpu.ElapsedCycles(), 100u);
    EXPECT_EQ(m.cpu.Step(), 4) << "the NMI latched before the reset is gone";
}

// --- runs end on time -------------------------------------------------------------------------

// Behind an EI, memory full of prefixes or of EIs never reaches an instruction boundary where
// an interrupt could come, but every run still ends within its budget.
TEST(Z80Run, EndlessPrefixesAndEisStillEndTheRun) {
    for (std::uint8_t fill : {0xDD, 0xFD, 0xFB}) {
        Z80TestMachine m;
        m.memory.fill(fill);
        m.memory[kCode] = 0xFB;
        Start(m, [](Z80State& s) {
            s.im = 1;
            s.r = 0;
        });
        m.cpu.SetIrqLine(true);
        for (int line = 0; line < 300; ++line) {
            const int overrun = m.cpu.Run(228);
            ASSERT_GE(overrun, 0);
            ASSERT_LT(overrun, 4) << std::hex << unsigned{fill};
        }
        EXPECT_EQ(m.cpu.ElapsedCycles(), 300u * 228);
        EXPECT_EQ(m.cpu.State().r, (300 * 228 / 4) & 0x7F);
        EXPECT_NE(m.cpu.State().pc, 0x0038);
    }
}

} // namespace
