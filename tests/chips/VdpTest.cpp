#include "core/Vdp.h"
#include "support/Png.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using rix::emu::Vdp;
using Line = std::array<uint8_t, Vdp::kWidth>;

void SetRegister(Vdp& vdp, int index, uint8_t value) {
    vdp.WriteControl(value);
    vdp.WriteControl(static_cast<uint8_t>(0x80 | index));
}

void SetWriteAddress(Vdp& vdp, uint16_t address) {
    vdp.WriteControl(static_cast<uint8_t>(address & 0xFF));
    vdp.WriteControl(static_cast<uint8_t>(0x40 | (address >> 8)));
}

void Poke(Vdp& vdp, uint16_t address, std::initializer_list<uint8_t> bytes) {
    SetWriteAddress(vdp, address);
    for (uint8_t b : bytes) {
        vdp.WriteData(b);
    }
}

void Fill(Vdp& vdp, uint16_t address, size_t count, uint8_t value) {
    SetWriteAddress(vdp, address);
    for (size_t i = 0; i < count; ++i) {
        vdp.WriteData(value);
    }
}

// Reproducible random bytes for the randomised status checks (a linear congruential
// generator's high byte).
class RandomBytes {
public:
    explicit RandomBytes(uint32_t seed) : seed_(seed) {}
    uint8_t operator()() {
        seed_ = seed_ * 1664525u + 1013904223u;
        return static_cast<uint8_t>(seed_ >> 24);
    }

private:
    uint32_t seed_;
};

void SetRegisters(Vdp& vdp, const std::array<uint8_t, 8>& regs) {
    for (int i = 0; i < 8; ++i) {
        SetRegister(vdp, i, regs[i]);
    }
}

Line Render(Vdp& vdp, int line) {
    Line out{};
    out.fill(0xEE); // anything the renderer leaves untouched shows up
    vdp.ScanLine(line, out.data());
    return out;
}

// A line of `base` with [from, to] ranges painted over it.
struct Span {
    int from, to;
    uint8_t colour;
};
Line Expect(uint8_t base, std::initializer_list<Span> spans = {}) {
    Line line;
    line.fill(base);
    for (const Span& s : spans) {
        for (int x = s.from; x <= s.to; ++x) {
            line[x] = s.colour;
        }
    }
    return line;
}

// --- Ports ----------------------------------------------------------------------------------

enum class Op { Control, Write, Read, Status };
struct Step {
    Op op;
    uint8_t value; // the byte written, or the byte a read must return
};
struct PortCase {
    const char* name;
    std::vector<Step> steps;
    uint16_t address;                               // the address afterwards
    std::vector<std::pair<int, uint8_t>> regs;      // registers afterwards
    std::vector<std::pair<uint16_t, uint8_t>> vram; // VRAM afterwards
};

Step C(uint8_t v) {
    return {Op::Control, v};
}
Step W(uint8_t v) {
    return {Op::Write, v};
}
Step R(uint8_t v) {
    return {Op::Read, v};
}
Step S(uint8_t v) {
    return {Op::Status, v};
}

TEST(VdpPorts, ProtocolCases) {
    const std::vector<PortCase> cases = {
        {"writes advance the address, a read setup fetches ahead",
         {C(0x00), C(0x50), W(1), W(2), W(3), C(0x00), C(0x10), R(1), R(2), R(3)},
         0x1004,
         {},
         {{0x1000, 1}, {0x1001, 2}, {0x1002, 3}}},
        {"the address wraps at 16 KiB",
         {C(0xFF), C(0x7F), W(0xAA), W(0xBB), C(0xFF), C(0x3F), R(0xAA), R(0xBB)},
         0x0002,
         {},
         {{0x3FFF, 0xAA}, {0x0000, 0xBB}}},
        {"a write setup does not fetch: the read returns the old read-ahead byte",
         {C(0x00), C(0x60), W(0x11), W(0x22), W(0x33), C(0x00), C(0x20), R(0x11), R(0x22), C(0x00),
          C(0x60), R(0x33), R(0x11)},
         0x2002,
         {},
         {}},
        {"a written byte is also left in the read-ahead buffer",
         {C(0x00), C(0x60), W(0x11), W(0x22), C(0x00), C(0x20), W(0x99), R(0x99), R(0x00)},
         0x2004,
         {},
         {{0x2000, 0x11}, {0x2001, 0x99}}},
        {"register writes keep only the bits the chip has",
         {C(0xFF), C(0x80), C(0xFF), C(0x81), C(0xFF), C(0x82), C(0xFF), C(0x84), C(0xFF), C(0x85),
          C(0xFF), C(0x86), C(0xFF), C(0xBB)},
         0x3BFF,
         {{0, 0x03}, {1, 0xFB}, {2, 0x0F}, {3, 0xFF}, {4, 0x07}, {5, 0x7F}, {6, 0x07}},
         {}},
        {"register number is the low three bits of the second byte",
         {C(0x42), C(0xBF)},
         0x3F42,
         {{7, 0x42}},
         {}},
        {"a status read restarts the two-byte sequence",
         {C(0x34), S(0x00), C(0x07), C(0x87)},
         0x0707,
         {{7, 0x07}},
         {}},
        {"a data write restarts it too",
         {C(0x34), W(0x5A), C(0x07), C(0x87)},
         0x0707,
         {{7, 0x07}},
         {{0x0034, 0x5A}}},
        {"a data read restarts it too",
         {C(0x34), R(0x00), C(0x05), C(0x87)},
         0x0705,
         {{7, 0x05}},
         {}},
    };
    for (const PortCase& c : cases) {
        SCOPED_TRACE(c.name);
        Vdp vdp;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& s = c.steps[i];
            switch (s.op) {
            case Op::Control:
                vdp.WriteControl(s.value);
                break;
            case Op::Write:
                vdp.WriteData(s.value);
                break;
            case Op::Read:
                EXPECT_EQ(vdp.ReadData(), s.value) << "step " << i;
                break;
            case Op::Status:
                EXPECT_EQ(vdp.ReadStatus(), s.value) << "step " << i;
                break;
            }
        }
        EXPECT_EQ(vdp.Address(), c.address);
        for (auto [index, value] : c.regs) {
            EXPECT_EQ(vdp.Register(index), value) << "R" << index;
        }
        for (auto [address, value] : c.vram) {
            EXPECT_EQ(vdp.Vram()[address], value) << "at " << address;
        }
    }
}

TEST(VdpPorts, DataWritesMarkTheirBlockDirty) {
    Vdp vdp;
    vdp.ClearDirty();
    Poke(vdp, 0x1807, {1, 2}); // straddles two blocks
    EXPECT_FALSE(vdp.BlockDirty(0x17FF));
    EXPECT_TRUE(vdp.BlockDirty(0x1800));
    EXPECT_TRUE(vdp.BlockDirty(0x180F));
    EXPECT_FALSE(vdp.BlockDirty(0x1810));
    vdp.ClearDirty();
    EXPECT_FALSE(vdp.BlockDirty(0x1800));
}

// --- Status and interrupt -------------------------------------------------------------------

TEST(VdpStatus, VerticalInterruptAtTheEndOfTheActiveDisplay) {
    Vdp vdp;
    SetRegister(vdp, 1, 0x60); // display on, interrupt enabled
    Fill(vdp, 0, 0x4000, 0);
    Poke(vdp, 0, {208}); // no sprites
    for (int line = 0; line < Vdp::kActiveLines; ++line) {
        vdp.ScanLine(line, nullptr);
        ASSERT_FALSE(vdp.PeekStatus() & Vdp::kStatusInterrupt) << "line " << line;
        ASSERT_FALSE(vdp.InterruptLine());
    }
    vdp.ScanLine(Vdp::kActiveLines, nullptr);
    EXPECT_TRUE(vdp.PeekStatus() & Vdp::kStatusInterrupt);
    EXPECT_TRUE(vdp.InterruptLine());

    // The output follows the enable bit while F is pending.
    SetRegister(vdp, 1, 0x40);
    EXPECT_FALSE(vdp.InterruptLine());
    SetRegister(vdp, 1, 0x60);
    EXPECT_TRUE(vdp.InterruptLine());

    // Reading the status acknowledges it; the rest of the frame does not raise it again.
    EXPECT_EQ(vdp.ReadStatus() & Vdp::kStatusInterrupt, Vdp::kStatusInterrupt);
    EXPECT_FALSE(vdp.InterruptLine());
    for (int line = Vdp::kActiveLines + 1; line < Vdp::kLinesPerFrame; ++line) {
        vdp.ScanLine(line, nullptr);
    }
    EXPECT_FALSE(vdp.PeekStatus() & Vdp::kStatusInterrupt);

    // Blanking the display does not stop the interrupt.
    SetRegister(vdp, 1, 0x20);
    vdp.ScanLine(Vdp::kActiveLines, nullptr);
    EXPECT_TRUE(vdp.InterruptLine());
}

TEST(VdpStatus, ReadClearsFlagsButKeepsTheSpriteNumber) {
    Vdp vdp;
    SetRegisters(vdp, {0x00, 0x40, 0x06, 0x80, 0x00, 0x36, 0x07, 0x01});
    Fill(vdp, 0x3800, 8, 0xFF);
    // Five solid sprites on line 0, overlapping.
    for (int i = 0; i < 5; ++i) {
        Poke(vdp, static_cast<uint16_t>(0x1B00 + i * 4), {0xFF, static_cast<uint8_t>(i), 0, 15});
    }
    vdp.ScanLine(0, nullptr);
    vdp.ScanLine(Vdp::kActiveLines, nullptr);
    EXPECT_EQ(vdp.ReadStatus(), 0x80 | 0x40 | 0x20 | 4);
    EXPECT_EQ(vdp.ReadStatus(), 4);
}

// When the sprite status is worked out. Two solid sprites overlap on lines 50-57 and five
// share line 100; the status is looked at mid-frame (after line 80) and at line 192.
TEST(VdpStatus, SpriteStatusTimings) {
    using Timing = Vdp::SpriteStatus;
    struct Case {
        Timing timing;
        uint8_t midFrame;   // status after line 80 (without F)
        uint8_t endOfFrame; // status after line 192, unread since line 0
    } cases[] = {
        {Timing::kPerLine, 0x20 | 7, 0x80 | 0x40 | 0x20 | 6}, // 7: the terminator, last looked at
        {Timing::kPerFrame, 0, 0x80 | 0x40 | 0x20 | 6},
        {Timing::kPerFrameNoCoincidence, 0, 0x80 | 0x40 | 6},
    };
    for (const Case& c : cases) {
        Vdp vdp;
        vdp.SetSpriteStatus(c.timing);
        SetRegisters(vdp, {0x00, 0x40, 0x06, 0x80, 0x00, 0x36, 0x07, 0x01});
        Fill(vdp, 0x3800, 8, 0xFF);
        Poke(vdp, 0x1B00, {49, 10, 0, 15, 49, 14, 0, 15}); // sprites 0 and 1: lines 50-57
        for (int i = 2; i < 7; ++i) {                      // sprites 2-6: line 100 on
            Poke(vdp, static_cast<uint16_t>(0x1B00 + i * 4),
                 {99, static_cast<uint8_t>(40 * i), 0, 15});
        }
        Poke(vdp, 0x1B00 + 7 * 4, {208});
        for (int line = 0; line <= 80; ++line) {
            vdp.ScanLine(line, nullptr);
        }
        EXPECT_EQ(vdp.PeekStatus() & 0x7F, c.midFrame & 0x7F) << int(c.timing);
        for (int line = 81; line <= Vdp::kActiveLines; ++line) {
            vdp.ScanLine(line, nullptr);
        }
        EXPECT_EQ(vdp.PeekStatus(), c.endOfFrame) << int(c.timing);
    }
}

// The one-pass status of the per-frame timing must be what the lines give in turn, for any
// tables: random sprite tables in every size and magnification, with Y values that wrap, the
// terminator anywhere or absent, sparse and dense patterns.
TEST(VdpStatus, PerFrameStatusIsWhatTheLinesGiveInTurn) {
    RandomBytes next(0x2468ACE1u);
    for (int round = 0; round < 3000; ++round) {
        Vdp perLine;
        Vdp perFrame;
        perFrame.SetSpriteStatus(Vdp::SpriteStatus::kPerFrame);
        const uint8_t r1 = static_cast<uint8_t>(0x40 | (round & 3)); // size and magnification
        const int sprites = next() % 33;
        const uint8_t density = next();
        const uint8_t centre = next();
        for (Vdp* vdp : {&perLine, &perFrame}) {
            SetRegisters(*vdp, {0x00, r1, 0x06, 0x80, 0x00, 0x36, 0x07, 0x01});
        }
        std::vector<uint8_t> patterns(0x800);
        for (uint8_t& b : patterns) {
            b = (next() < density) ? next() : 0;
        }
        std::vector<uint8_t> table(128);
        for (int i = 0; i < 32; ++i) {
            uint8_t y = next();
            if (y == 208) {
                y = 207;
            }
            // Bunch them up now and then, so that lines with five and more occur.
            table[i * 4] = (round & 4) ? static_cast<uint8_t>(centre + next() % 24) : y;
            table[i * 4 + 1] = next();
            table[i * 4 + 2] = next();
            table[i * 4 + 3] = static_cast<uint8_t>(next() & 0x8F);
        }
        if (sprites < 32) {
            table[sprites * 4] = 208;
        }
        for (Vdp* vdp : {&perLine, &perFrame}) {
            SetWriteAddress(*vdp, 0x3800);
            for (uint8_t b : patterns) {
                vdp->WriteData(b);
            }
            SetWriteAddress(*vdp, 0x1B00);
            for (uint8_t b : table) {
                vdp->WriteData(b);
            }
            for (int line = 0; line <= Vdp::kActiveLines; ++line) {
                vdp->ScanLine(line);
            }
        }
        ASSERT_EQ(perFrame.PeekStatus(), perLine.PeekStatus()) << "round " << round;
    }
}

// The line-by-line status against the rule written out pixel by pixel: the first four sprites
// on the line before the terminator are shown, a fifth sets 5S and its number (else the number
// is the terminator's, or 31), each pattern pixel (magnified, clipped to the line's 256, early
// clock 32 to the left) is marked, C when two marks meet. Random tables with sprites bunched
// on the line's edges and on each other; now and then the program moves a sprite or ends the
// table in the middle of the frame, or only changes a sprite's colour there.
TEST(VdpStatus, LineStatusFollowsTheSpritesOnTheLine) {
    RandomBytes next(0x13579BDFu);
    for (int round = 0; round < 400; ++round) {
        Vdp vdp;
        const uint8_t r1 = static_cast<uint8_t>(0x40 | (round & 3));
        SetRegisters(vdp, {0x00, r1, 0x06, 0x80, 0x00, 0x36, 0x07, 0x01});
        std::vector<uint8_t> patterns(0x800);
        const uint8_t density = next();
        for (uint8_t& b : patterns) {
            b = (next() < density) ? next() : 0;
        }
        std::vector<uint8_t> table(128);
        const uint8_t centre = next();
        for (int i = 0; i < 32; ++i) {
            table[i * 4] = static_cast<uint8_t>(centre + next() % 40);
            if (table[i * 4] == 208) {
                table[i * 4] = 207;
            }
            const uint8_t edge = static_cast<uint8_t>((round & 8) ? 224 + next() % 32 : next());
            table[i * 4 + 1] = (next() & 1) ? edge : next();
            table[i * 4 + 2] = next();
            table[i * 4 + 3] = static_cast<uint8_t>(next() & 0x8F);
        }
        SetWriteAddress(vdp, 0x3800);
        for (uint8_t b : patterns) {
            vdp.WriteData(b);
        }
        SetWriteAddress(vdp, 0x1B00);
        for (uint8_t b : table) {
            vdp.WriteData(b);
        }
        const bool large = r1 & 2;
        const int mag = r1 & 1;
        const unsigned height = (large ? 16u : 8u) << mag;
        const int changeAt = (round & 16) ? next() % Vdp::kActiveLines : -1;
        for (int line = 0; line < Vdp::kActiveLines; ++line) {
            if (line == changeAt) {
                const int sprite = next() % 32;
                const int field = (round & 32) ? 3 : 0; // the colour, or Y (208 ends the table)
                const uint8_t value = (next() & 1) ? 208 : next();
                table[sprite * 4 + field] = value;
                SetWriteAddress(vdp, static_cast<uint16_t>(0x1B00 + sprite * 4 + field));
                vdp.WriteData(value);
            }
            bool expected = false;
            std::vector<int> marks(256, 0);
            int shown = 0;
            int number = -1;
            int i = 0;
            for (; i < 32 && table[i * 4] != 208; ++i) {
                const unsigned row = static_cast<unsigned>(line - table[i * 4] - 1) & 0xFF;
                if (row >= height) {
                    continue;
                }
                if (shown == 4) {
                    number = 0x40 | i; // 5S and the fifth's number
                    break;
                }
                ++shown;
                const uint8_t name = large ? (table[i * 4 + 2] & 0xFC) : table[i * 4 + 2];
                const int x0 = table[i * 4 + 1] - ((table[i * 4 + 3] & 0x80) ? 32 : 0);
                for (int px = 0; px < (large ? 16 : 8) << mag; ++px) {
                    const int column = px >> mag;
                    const uint8_t byte = patterns[name * 8 + (row >> mag) + (column >= 8 ? 16 : 0)];
                    const int x = x0 + px;
                    if ((byte & (0x80 >> (column & 7))) && x >= 0 && x < 256 && marks[x]++) {
                        expected = true;
                    }
                }
            }
            if (number < 0) {
                number = i < 32 ? i : 31;
            }
            vdp.ScanLine(line);
            ASSERT_EQ(vdp.ReadStatus(), (expected ? 0x20 : 0) | number)
                << "round " << round << " line " << line;
        }
    }
}

TEST(VdpStatus, PerFrameStatusStillDrawsSprites) {
    Vdp perLine, perFrame;
    perFrame.SetSpriteStatus(Vdp::SpriteStatus::kPerFrame);
    for (Vdp* vdp : {&perLine, &perFrame}) {
        SetRegisters(*vdp, {0x00, 0x40, 0x06, 0x80, 0x00, 0x36, 0x07, 0x01});
        Fill(*vdp, 0x3800, 8, 0xAA);
        Poke(*vdp, 0x1B00, {9, 20, 0, 6, 208});
    }
    EXPECT_EQ(Render(perFrame, 12), Render(perLine, 12));
    EXPECT_EQ(perFrame.PeekStatus(), 0) << "nothing until line 192";
}

// --- Modes ----------------------------------------------------------------------------------

// Names at 0x1800, colours 0x2000, patterns 0x0000, sprite attributes 0x1B00 (none), sprite
// patterns 0x3800, backdrop dark blue.
class VdpModes : public ::testing::Test {
protected:
    void SetUp() override {
        SetRegisters(vdp, {0x00, 0xC0, 0x06, 0x80, 0x00, 0x36, 0x07, 0x04});
        Fill(vdp, 0, 0x4000, 0);
        Poke(vdp, 0x1B00, {208});
    }
    Vdp vdp;
};

TEST_F(VdpModes, Graphics1) {
    Poke(vdp, 0x1800 + 1 * 32 + 2, {9});   // row 1, column 2: name 9
    Poke(vdp, 0x0000 + 9 * 8 + 3, {0xA5}); // its pattern's line 3
    Poke(vdp, 0x2000 + 1, {0x60});         // names 8-15: red on transparent
    Poke(vdp, 0x2000 + 0, {0x0D});         // names 0-7: transparent on magenta
    EXPECT_EQ(Render(vdp, 11),
              Expect(13, {{16, 23, 4}, {16, 16, 6}, {18, 18, 6}, {21, 21, 6}, {23, 23, 6}}));
    EXPECT_EQ(Render(vdp, 12), Expect(13, {{16, 23, 4}}));
}

TEST_F(VdpModes, Graphics2ThirdsAndRegisterMasks) {
    // Row 9 (second third): column 0 shows name 5, column 1 name 13. Each possible source of
    // their pattern and colour bytes holds a different value, so the masks show which one the
    // chip used.
    Poke(vdp, 0x1800 + 9 * 32, {5, 13});
    Poke(vdp, 0x0000 + 0x000 + 5 * 8 + 2, {0x0F});  // third 0's pattern
    Poke(vdp, 0x0000 + 0x800 + 5 * 8 + 2, {0xF0});  // third 1's pattern
    Poke(vdp, 0x2000 + 0x000 + 5 * 8 + 2, {0x68});  // third 0's colour
    Poke(vdp, 0x2000 + 0x800 + 5 * 8 + 2, {0x2C});  // third 1's colour
    Poke(vdp, 0x2000 + 0x800 + 2, {0x3A});          // third 1's colour for name 0
    Poke(vdp, 0x0000 + 0x800 + 13 * 8 + 2, {0xFF}); // third 1's pattern for name 13
    Poke(vdp, 0x2000 + 0x800 + 13 * 8 + 2, {0xE0}); // and its colour
    struct Case {
        uint8_t r3, r4;
        Line expected;
    };
    const Case cases[] = {
        {0xFF, 0x03, Expect(10, {{0, 3, 2}, {4, 7, 12}, {8, 15, 14}})},
        // R4 bit 0 clear: the second third uses the first third's patterns.
        {0xFF, 0x02, Expect(10, {{0, 3, 12}, {4, 7, 2}, {8, 15, 4}})},
        // R3 bit 5 clear: the second third uses the first third's colours.
        {0x9F, 0x03, Expect(4, {{0, 3, 6}, {4, 7, 8}})},
        // R3 bit 0 clear: name bit 3 is masked, so name 13 takes name 5's colours.
        {0xFE, 0x03, Expect(10, {{0, 3, 2}, {4, 7, 12}, {8, 15, 2}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "R3=" << int(c.r3) << " R4=" << int(c.r4));
        SetRegister(vdp, 0, 0x02);
        SetRegister(vdp, 3, c.r3);
        SetRegister(vdp, 4, c.r4);
        EXPECT_EQ(Render(vdp, 9 * 8 + 2), c.expected);
    }
}

TEST_F(VdpModes, Multicolor) {
    SetRegister(vdp, 1, 0xC8);
    Poke(vdp, 0x1800 + 5 * 32 + 3, {2}); // row 5: (5 & 3) = 1 uses bytes 2 and 3
    Poke(vdp, 0x0000 + 2 * 8 + 2, {0x9A, 0x0C});
    EXPECT_EQ(Render(vdp, 40), Expect(4, {{24, 27, 9}, {28, 31, 10}}));
    EXPECT_EQ(Render(vdp, 43), Expect(4, {{24, 27, 9}, {28, 31, 10}}));
    EXPECT_EQ(Render(vdp, 44), Expect(4, {{28, 31, 12}}));
}

TEST_F(VdpModes, TextUsesRegister7AndIgnoresSprites) {
    SetRegister(vdp, 1, 0xD0);
    SetRegister(vdp, 7, 0xF4);
    Poke(vdp, 0x1800 + 1, {0x41});               // row 0, column 1
    Poke(vdp, 0x1800 + 40 + 39, {0x41});         // row 1, column 39 (rows are 40 long)
    Poke(vdp, 0x41 * 8, {0xFC, 0x84, 0x03});     // bits 1-0 are not shown
    Poke(vdp, 0x1B00, {0xFF, 0x00, 0x00, 0x0F}); // a sprite on line 0...
    Fill(vdp, 0x3800, 8, 0xFF);
    const uint8_t statusBefore = vdp.PeekStatus();
    EXPECT_EQ(Render(vdp, 0), Expect(4, {{14, 19, 15}}));
    EXPECT_EQ(Render(vdp, 1), Expect(4, {{14, 14, 15}, {19, 19, 15}}));
    EXPECT_EQ(Render(vdp, 2), Expect(4));
    EXPECT_EQ(Render(vdp, 8), Expect(4, {{8 + 39 * 6, 8 + 39 * 6 + 5, 15}}));
    EXPECT_EQ(vdp.PeekStatus(), statusBefore); // ...that the sprite logic never looked at

    SetRegister(vdp, 7, 0x0D); // transparent text shows the backdrop
    EXPECT_EQ(Render(vdp, 0), Expect(13));
}

TEST_F(VdpModes, BlankedDisplayShowsBackdropAndSkipsSprites) {
    Poke(vdp, 0x1800, {1});
    Poke(vdp, 0x0008, {0xFF});
    Poke(vdp, 0x2000, {0xF1});
    Fill(vdp, 0x3800, 8, 0xFF);
    for (int i = 0; i < 5; ++i) {
        Poke(vdp, static_cast<uint16_t>(0x1B00 + i * 4), {0xFF, 0, 0, 15});
    }
    SetRegister(vdp, 1, 0x80);
    SetRegister(vdp, 7, 0x07);
    EXPECT_EQ(Render(vdp, 0), Expect(7));
    EXPECT_EQ(vdp.PeekStatus(), 0);
    SetRegister(vdp, 7, 0x00); // backdrop transparent: index 0, shown black
    EXPECT_EQ(Render(vdp, 0), Expect(0));
}

TEST_F(VdpModes, ChangesBetweenLinesShowFromTheNextLine) {
    Poke(vdp, 0x2000, {0x50});
    Poke(vdp, 0x0000, {0xFF, 0xFF});
    EXPECT_EQ(Render(vdp, 0), Expect(5));
    SetRegister(vdp, 7, 0x06);
    Poke(vdp, 0x0001, {0x0F});
    Line expected = Expect(6);
    for (int x = 4; x < Vdp::kWidth; x += 8) {
        std::fill_n(&expected[x], 4, 5);
    }
    EXPECT_EQ(Render(vdp, 1), expected);
}

TEST(VdpPalette, Bgr555MatchesTheRgbTable) {
    EXPECT_EQ(rix::emu::kVdpPaletteBgr555[1], 0x0000);
    EXPECT_EQ(rix::emu::kVdpPaletteBgr555[15], 0x7FFF);
    for (int i = 0; i < 16; ++i) {
        const uint16_t c = rix::emu::kVdpPaletteBgr555[i];
        const rix::emu::Rgb rgb = rix::emu::kVdpPaletteRgb[i];
        const int channels[3][2] = {{c & 31, rgb.r}, {(c >> 5) & 31, rgb.g}, {c >> 10, rgb.b}};
        for (auto [five, eight] : channels) {
            EXPECT_NEAR(five * 255.0 / 31.0, eight, 255.0 / 62.0) << "colour " << i;
        }
    }
}

// --- Sprites --------------------------------------------------------------------------------

struct Sprite {
    uint8_t y, x, name, colour;
};
struct SpriteCase {
    const char* name;
    uint8_t r1;                  // size and magnification bits
    std::vector<Sprite> sprites; // followed by the terminator unless there are 32
    int line;
    Line expected;
    uint8_t status; // after the line, without F
};

// Sprite patterns: 0-3 solid, 4-7 one marked column each (to show the quadrant order), 8 a
// single left-hand pixel column, 9 empty.
void SpritePatterns(Vdp& vdp) {
    Fill(vdp, 0x3800, 32, 0xFF);
    Fill(vdp, 0x3800 + 4 * 8, 8, 0x80);
    Fill(vdp, 0x3800 + 5 * 8, 8, 0x40);
    Fill(vdp, 0x3800 + 6 * 8, 8, 0x01);
    Fill(vdp, 0x3800 + 7 * 8, 8, 0x02);
    Fill(vdp, 0x3800 + 8 * 8, 8, 0x80);
}

TEST(VdpSprites, Cases) {
    const uint8_t kSmall = 0x00, kMag = 0x01, kLarge = 0x02;
    const SpriteCase cases[] = {
        {"position: Y is the line above the first row",
         kSmall,
         {{9, 20, 0, 6}},
         10,
         Expect(1, {{20, 27, 6}}),
         1},
        {"line Y itself is above the sprite", kSmall, {{9, 20, 0, 6}}, 9, Expect(1), 1},
        {"eight rows, the last on Y + 8", kSmall, {{9, 20, 0, 6}}, 17, Expect(1, {{20, 27, 6}}), 1},
        {"Y = 255 starts on line 0", kSmall, {{255, 0, 0, 6}}, 0, Expect(1, {{0, 7, 6}}), 1},
        {"large Y values hang in from the top",
         kLarge,
         {{0xF0, 0, 4, 6}},
         0,
         Expect(1, {{1, 1, 6}, {14, 14, 6}}),
         1},
        {"clipped at the right edge", kSmall, {{255, 252, 0, 6}}, 0, Expect(1, {{252, 255, 6}}), 1},
        {"early clock moves 32 pixels left",
         kSmall,
         {{255, 36, 0, 0x86}},
         0,
         Expect(1, {{4, 11, 6}}),
         1},
        {"early clock can hide part of a sprite",
         kSmall,
         {{255, 28, 0, 0x86}},
         0,
         Expect(1, {{0, 3, 6}}),
         1},
        {"large: left half top, left bottom, right top, right bottom",
         kLarge,
         {{255, 100, 4, 6}},
         0,
         Expect(1, {{100, 100, 6}, {115, 115, 6}}),
         1},
        {"large: the bottom half's quadrants",
         kLarge,
         {{255, 100, 4, 6}},
         8,
         Expect(1, {{101, 101, 6}, {114, 114, 6}}),
         1},
        {"large: the low two name bits are ignored",
         kLarge,
         {{255, 100, 7, 6}},
         0,
         Expect(1, {{100, 100, 6}, {115, 115, 6}}),
         1},
        {"magnified: each pixel 2x2", kMag, {{255, 10, 8, 6}}, 15, Expect(1, {{10, 11, 6}}), 1},
        {"magnified: 16 lines tall", kMag, {{255, 10, 8, 6}}, 16, Expect(1), 1},
        {"large and magnified",
         kLarge | kMag,
         {{255, 10, 4, 6}},
         31,
         Expect(1, {{12, 13, 6}, {38, 39, 6}}),
         1},
        {"lower numbers in front",
         kSmall,
         {{255, 0, 0, 6}, {255, 4, 0, 8}},
         0,
         Expect(1, {{0, 7, 6}, {8, 11, 8}}),
         0x20 | 2},
        {"a transparent sprite shows the one behind (and still collides)",
         kSmall,
         {{255, 0, 0, 0}, {255, 4, 0, 8}},
         0,
         Expect(1, {{4, 11, 8}}),
         0x20 | 2},
        {"touching without overlap is no coincidence",
         kSmall,
         {{255, 0, 0, 6}, {255, 8, 0, 8}},
         0,
         Expect(1, {{0, 7, 6}, {8, 15, 8}}),
         2},
        {"overlapping boxes with no common pixel are no coincidence",
         kSmall,
         {{255, 0, 8, 6}, {255, 1, 8, 8}},
         0,
         Expect(1, {{0, 0, 6}, {1, 1, 8}}),
         2},
        {"an overlap hidden by the early clock is no coincidence",
         kSmall,
         {{255, 4, 0, 0x86}, {255, 4, 0, 0x88}},
         0,
         Expect(1),
         2},
        {"at most four per line; the fifth sets 5S with its number",
         kSmall,
         {{255, 0, 0, 2},
          {255, 16, 0, 3},
          {100, 32, 0, 4},
          {255, 48, 0, 5},
          {255, 64, 0, 6},
          {255, 80, 0, 7}},
         0,
         Expect(1, {{0, 7, 2}, {16, 23, 3}, {48, 55, 5}, {64, 71, 6}}),
         0x40 | 5},
        {"a hidden fifth sprite does not collide",
         kSmall,
         {{255, 0, 0, 2}, {255, 16, 0, 3}, {255, 32, 0, 4}, {255, 48, 0, 5}, {255, 48, 0, 6}},
         0,
         Expect(1, {{0, 7, 2}, {16, 23, 3}, {32, 39, 4}, {48, 55, 5}}),
         0x40 | 4},
        {"Y = 208 ends the list",
         kSmall,
         {{255, 0, 0, 2}, {208, 16, 0, 3}, {255, 32, 0, 4}},
         0,
         Expect(1, {{0, 7, 2}}),
         1},
        {"X = 208 is an ordinary position",
         kSmall,
         {{255, 208, 0, 2}},
         0,
         Expect(1, {{208, 215, 2}}),
         1},
    };
    for (const SpriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        Vdp vdp;
        SetRegisters(vdp,
                     {0x00, static_cast<uint8_t>(0xC0 | c.r1), 0x06, 0x80, 0x00, 0x36, 0x07, 0x01});
        SpritePatterns(vdp);
        uint16_t at = 0x1B00;
        for (const Sprite& s : c.sprites) {
            Poke(vdp, at, {s.y, s.x, s.name, s.colour});
            at += 4;
        }
        Poke(vdp, at, {208});
        EXPECT_EQ(Render(vdp, c.line), c.expected);
        EXPECT_EQ(vdp.ReadStatus(), c.status);
    }
}

TEST(VdpSprites, WithoutTerminatorTheNumberFieldEndsAt31AndFifthStatusSticks) {
    Vdp vdp;
    SetRegisters(vdp, {0x00, 0xC0, 0x06, 0x80, 0x00, 0x36, 0x07, 0x01});
    SpritePatterns(vdp);
    for (int i = 0; i < 32; ++i) {
        Poke(vdp, static_cast<uint16_t>(0x1B00 + i * 4),
             {static_cast<uint8_t>(i < 5 ? 50 : 150), static_cast<uint8_t>(i * 8), 9, 15});
    }
    vdp.ScanLine(0, nullptr);
    EXPECT_EQ(vdp.PeekStatus(), 31);
    vdp.ScanLine(51, nullptr);
    EXPECT_EQ(vdp.PeekStatus(), 0x40 | 4);
    vdp.ScanLine(151, nullptr); // another fifth sprite (9) leaves the first report alone
    EXPECT_EQ(vdp.PeekStatus(), 0x40 | 4);
    vdp.ReadStatus();
    vdp.ScanLine(151, nullptr);
    EXPECT_EQ(vdp.PeekStatus(), 0x40 | 9);
}

// --- Golden frames --------------------------------------------------------------------------
//
// One screen per mode, built from a hand-made VRAM state and compared pixel for pixel with
// tests/fixtures/chips/<name>.png. To accept a deliberate change, run the test once with
// RIX_UPDATE_GOLDENS=1 (which rewrites the PNGs and skips the comparison) and review the
// new images before committing them.

rix::test::RgbImage RenderFrame(Vdp& vdp) {
    rix::test::RgbImage image;
    image.width = Vdp::kWidth;
    image.height = Vdp::kActiveLines;
    image.rgb.reserve(size_t(image.width) * image.height * 3);
    Line line;
    for (int y = 0; y < Vdp::kActiveLines; ++y) {
        vdp.ScanLine(y, line.data());
        for (uint8_t index : line) {
            const rix::emu::Rgb c = rix::emu::kVdpPaletteRgb[index];
            image.rgb.insert(image.rgb.end(), {c.r, c.g, c.b});
        }
    }
    return image;
}

void CheckGolden(const std::string& name, Vdp& vdp) {
    const rix::test::RgbImage actual = RenderFrame(vdp);
    const std::string golden = std::string(RIX_CHIPS_GOLDEN_DIR) + "/" + name + ".png";
    const char* regenerate = std::getenv("RIX_UPDATE_GOLDENS");
    if (regenerate && std::string(regenerate) == "1") {
        ASSERT_TRUE(rix::test::WritePng(golden, actual)) << golden;
        std::printf("rewrote %s\n", golden.c_str());
        return;
    }
    rix::test::RgbImage expected;
    ASSERT_TRUE(rix::test::ReadPng(golden, expected))
        << golden << " is missing; run with RIX_UPDATE_GOLDENS=1 to create it";
    if (actual != expected) {
        const std::string saved = std::string(RIX_CHIPS_ACTUAL_DIR) + "/" + name + ".actual.png";
        rix::test::WritePng(saved, actual);
        ASSERT_EQ(expected.width, actual.width);
        ASSERT_EQ(expected.height, actual.height);
        for (size_t i = 0; i < actual.rgb.size(); ++i) {
            if (actual.rgb[i] != expected.rgb[i]) {
                const size_t pixel = i / 3;
                FAIL() << name << " differs first at x=" << pixel % actual.width
                       << " y=" << pixel / actual.width << "; this run's frame: " << saved;
            }
        }
    }
}

// Sprites shared by the graphic modes: a large magnified one, one with the early clock half
// off the left edge, a transparent one over another, and a row of six (two are dropped).
void GoldenSprites(Vdp& vdp, uint16_t attributes, uint16_t patterns) {
    for (int row = 0; row < 16; ++row) {
        // A ring for the large sprite (names 0-3), a diamond for the small ones (name 4).
        const uint16_t ring = static_cast<uint16_t>((row == 0 || row == 15)   ? 0x3FFC
                                                    : (row == 1 || row == 14) ? 0x7FFE
                                                                              : 0xE007);
        Poke(vdp, static_cast<uint16_t>(patterns + (row < 8 ? 0 : 8) + (row & 7)),
             {static_cast<uint8_t>(ring >> 8)});
        Poke(vdp, static_cast<uint16_t>(patterns + 16 + (row < 8 ? 0 : 8) + (row & 7)),
             {static_cast<uint8_t>(ring)});
        if (row < 8) {
            const int edge = 3 - (row < 4 ? row : 7 - row);
            Poke(vdp, static_cast<uint16_t>(patterns + 4 * 8 + row),
                 {static_cast<uint8_t>((0xFF >> edge) & (0xFF << edge))});
        }
    }
    const uint8_t list[][4] = {
        {20, 160, 0, 0x09},  {100, 16, 4, 0x8F},  {60, 120, 4, 0x00}, {60, 124, 4, 0x0B},
        {140, 8, 4, 0x02},   {140, 40, 4, 0x03},  {140, 72, 4, 0x05}, {140, 104, 4, 0x06},
        {140, 136, 4, 0x07}, {140, 168, 4, 0x0D}, {208, 0, 0, 0},
    };
    uint16_t at = attributes;
    for (const auto& s : list) {
        Poke(vdp, at, {s[0], s[1], s[2], s[3]});
        at += 4;
    }
}

TEST(VdpGolden, Graphics1) {
    Vdp vdp;
    // Large, magnified sprites; names 0x1800, colours 0x2000, patterns 0, sprites 0x1B00/0x3800.
    SetRegisters(vdp, {0x00, 0xC3, 0x06, 0x80, 0x00, 0x36, 0x07, 0x04});
    Fill(vdp, 0, 0x4000, 0);
    for (int name = 0; name < 256; ++name) {
        for (int row = 0; row < 8; ++row) {
            // Boxes, stripes and checks that differ with the name's bits.
            const uint8_t box = (row == 0 || row == 7) ? 0xFF : 0x81;
            const uint8_t stripes = static_cast<uint8_t>(0xAA >> (row & 1));
            const uint8_t inner = static_cast<uint8_t>((name << row) | (name >> (8 - row)));
            const uint8_t bits = (name & 0x40) ? box : (name & 0x80) ? stripes : inner;
            Poke(vdp, static_cast<uint16_t>(name * 8 + row), {bits});
        }
    }
    for (int group = 0; group < 32; ++group) {
        Poke(vdp, static_cast<uint16_t>(0x2000 + group),
             {static_cast<uint8_t>(((group & 15) << 4) | ((group * 7) & 15))});
    }
    SetWriteAddress(vdp, 0x1800);
    for (int i = 0; i < 768; ++i) {
        vdp.WriteData(static_cast<uint8_t>(i * 5 + i / 32));
    }
    GoldenSprites(vdp, 0x1B00, 0x3800);
    CheckGolden("graphics1", vdp);
}

TEST(VdpGolden, Graphics2) {
    Vdp vdp;
    // Full tables: patterns 0x0000, colours 0x2000, names 0x3800; sprites 0x3B00/0x1800 large.
    SetRegisters(vdp, {0x02, 0xC2, 0x0E, 0xFF, 0x03, 0x76, 0x03, 0x01});
    Fill(vdp, 0, 0x4000, 0);
    SetWriteAddress(vdp, 0x3800);
    for (int i = 0; i < 768; ++i) {
        vdp.WriteData(static_cast<uint8_t>(i)); // every third shows its 256 patterns in order
    }
    // A bitmap: concentric circles in the patterns, colour bands down the lines.
    for (int y = 0; y < 192; ++y) {
        for (int column = 0; column < 32; ++column) {
            uint8_t bits = 0;
            for (int b = 0; b < 8; ++b) {
                const int dx = column * 8 + b - 128, dy = y - 96;
                if (((dx * dx + dy * dy) / 300) & 1) {
                    bits |= static_cast<uint8_t>(0x80 >> b);
                }
            }
            const int offset = (y / 64) * 0x800 + ((y / 8) % 8 * 32 + column) * 8 + y % 8;
            Poke(vdp, static_cast<uint16_t>(offset), {bits});
            const int fg = 2 + (y / 6 + column / 4) % 14;
            const int bg = (column + y / 16) % 5 == 0 ? 0 : 1 + (y / 12) % 15;
            Poke(vdp, static_cast<uint16_t>(0x2000 + offset), {static_cast<uint8_t>(fg << 4 | bg)});
        }
    }
    GoldenSprites(vdp, 0x3B00, 0x1800);
    CheckGolden("graphics2", vdp);
}

TEST(VdpGolden, Multicolor) {
    Vdp vdp;
    // Names 0x0800, patterns 0x0000, sprites 0x1000/0x1800 small magnified, backdrop grey.
    SetRegisters(vdp, {0x00, 0xC9, 0x02, 0x00, 0x00, 0x20, 0x03, 0x0E});
    Fill(vdp, 0, 0x4000, 0);
    // The usual layout: four rows of names share one name per column, whose eight bytes then
    // give each 4x4 block of that 8x32 strip its own colour.
    SetWriteAddress(vdp, 0x0800);
    for (int row = 0; row < 24; ++row) {
        for (int column = 0; column < 32; ++column) {
            vdp.WriteData(static_cast<uint8_t>((row / 4) * 32 + column));
        }
    }
    for (int by = 0; by < 48; ++by) {
        for (int bx = 0; bx < 64; bx += 2) {
            auto colour = [&](int x) { return ((x + by) / 3 + (x * by) / 40) % 16; };
            const int name = (by / 8) * 32 + bx / 2;
            Poke(vdp, static_cast<uint16_t>(name * 8 + by % 8),
                 {static_cast<uint8_t>(colour(bx) << 4 | colour(bx + 1))});
        }
    }
    GoldenSprites(vdp, 0x1000, 0x1800);
    CheckGolden("multicolor", vdp);
}

TEST(VdpGolden, Text) {
    Vdp vdp;
    // Names 0x0800, patterns 0x1000, white on dark blue.
    SetRegisters(vdp, {0x00, 0xD0, 0x02, 0x00, 0x02, 0x20, 0x00, 0xF4});
    Fill(vdp, 0, 0x4000, 0);
    // Glyphs built from each name's bits; bits 1-0 set everywhere, which the chip never shows.
    for (int name = 0; name < 256; ++name) {
        for (int row = 0; row < 8; ++row) {
            const uint8_t bits =
                (row == 0 || row == 7)
                    ? 0x03
                    : static_cast<uint8_t>(((name >> (row - 1)) & 1) ? 0xCF : 0x4B);
            Poke(vdp, static_cast<uint16_t>(0x1000 + name * 8 + row), {bits});
        }
    }
    SetWriteAddress(vdp, 0x0800);
    for (int i = 0; i < 960; ++i) {
        vdp.WriteData(static_cast<uint8_t>(i % 40 + (i / 40) * 3));
    }
    CheckGolden("text", vdp);
}

} // namespace
