#include "core/Psg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using rix::emu::Psg;

constexpr uint32_t kRate = 48000;

// Bytes that set tone channel `channel` to `period` at attenuation `attenuation`.
void SetTone(Psg& psg, int channel, uint16_t period, uint8_t attenuation) {
    psg.Write(static_cast<uint8_t>(0x80 | channel << 5 | (period & 0x0F)));
    psg.Write(static_cast<uint8_t>(period >> 4));
    psg.Write(static_cast<uint8_t>(0x90 | channel << 5 | attenuation));
}

std::vector<int16_t> Samples(Psg& psg, size_t count, uint32_t rate = kRate) {
    std::vector<int16_t> out(count);
    psg.Generate(out.data(), out.size(), rate);
    return out;
}

// --- The port -------------------------------------------------------------------------------

TEST(PsgPort, LatchAndDataBytes) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        uint16_t periods[3];
        uint8_t attenuations[4];
        uint8_t noise;
    };
    const Case cases[] = {
        {"a latch writes the low four bits, data the high six",
         {0x8E, 0x0F},
         {0x0FE, 0, 0},
         {15, 15, 15, 15},
         0},
        {"a second data byte rewrites the high bits",
         {0x8E, 0x0F, 0x01},
         {0x01E, 0, 0},
         {15, 15, 15, 15},
         0},
        {"a latch alone keeps the high bits",
         {0x80, 0x3F, 0x85},
         {0x3F5, 0, 0},
         {15, 15, 15, 15},
         0},
        {"data bit 6 is not part of the period", {0x80, 0x7F}, {0x3F0, 0, 0}, {15, 15, 15, 15}, 0},
        {"bits 6-5 choose the channel",
         {0xA3, 0x12, 0xC7, 0x3F},
         {0, 0x123, 0x3F7},
         {15, 15, 15, 15},
         0},
        {"attenuation latches", {0x9A, 0xB0, 0xD3, 0xF1}, {0, 0, 0}, {10, 0, 3, 1}, 0},
        {"a data byte after an attenuation latch sets the attenuation",
         {0x81, 0x02, 0x90, 0x05},
         {0x021, 0, 0},
         {5, 15, 15, 15},
         0},
        {"noise control by latch", {0xEF}, {0, 0, 0}, {15, 15, 15, 15}, 7},
        {"a data byte after a noise latch rewrites the control",
         {0xE5, 0x02},
         {0, 0, 0},
         {15, 15, 15, 15},
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Psg psg;
        for (uint8_t b : c.bytes) {
            psg.Write(b);
        }
        for (int ch = 0; ch < 3; ++ch) {
            EXPECT_EQ(psg.TonePeriod(ch), c.periods[ch]) << "tone " << ch;
        }
        for (int ch = 0; ch < 4; ++ch) {
            EXPECT_EQ(psg.Attenuation(ch), c.attenuations[ch]) << "channel " << ch;
        }
        EXPECT_EQ(psg.NoiseControl(), c.noise);
    }
}

// --- Tones ----------------------------------------------------------------------------------

TEST(PsgTone, PeriodGivesTheFundamental) {
    struct Case {
        int channel;
        uint16_t period;
    };
    const Case cases[] = {{0, 254}, {1, 1016}, {2, 64}, {0, 1}, {0, 0}, {2, 1023}, {1, 427}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "channel " << c.channel << " period " << c.period);
        Psg psg;
        SetTone(psg, c.channel, c.period, 0);
        const std::vector<int16_t> s = Samples(psg, kRate); // one second
        int rising = 0;
        for (size_t i = 1; i < s.size(); ++i) {
            rising += s[i - 1] < 0 && s[i] >= 0;
        }
        const double expected = Psg::kClockHz / (32.0 * (c.period ? c.period : 1024));
        if (expected > kRate / 2) {
            // Far above what the rate can carry: the mean over each sample is close to zero.
            for (int16_t v : s) {
                ASSERT_LT(std::abs(v), 8191 / 4);
            }
        } else {
            EXPECT_NEAR(rising, expected, 1.0);
        }
    }
}

TEST(PsgTone, AttenuationStepsAreTwoDecibels) {
    for (int channel : {0, 3}) {
        SCOPED_TRACE(testing::Message() << "channel " << channel);
        std::vector<int> peaks;
        for (uint8_t a = 0; a < 16; ++a) {
            Psg psg;
            if (channel == 3) {
                psg.Write(0xE4); // white noise, fastest fixed rate
                psg.Write(static_cast<uint8_t>(0xF0 | a));
            } else {
                SetTone(psg, channel, 1016, a);
            }
            int peak = 0;
            for (int16_t v : Samples(psg, kRate / 10)) {
                peak = std::max(peak, std::abs(int{v}));
            }
            peaks.push_back(peak);
        }
        EXPECT_GT(peaks[0], 8000); // four such channels still fit in 16 bits
        EXPECT_LE(peaks[0] * 4, 32767);
        for (int a = 1; a < 15; ++a) {
            EXPECT_NEAR(20 * std::log10(double(peaks[a - 1]) / peaks[a]), 2.0, 0.02) << a;
        }
        EXPECT_EQ(peaks[15], 0);
    }
}

TEST(PsgTone, SilentAfterResetAndAtRateZero) {
    Psg psg;
    for (int16_t v : Samples(psg, 1000)) {
        ASSERT_EQ(v, 0);
    }
    SetTone(psg, 0, 100, 0);
    std::vector<int16_t> out(16, 123);
    psg.Generate(out.data(), out.size(), 0);
    for (int16_t v : out) {
        ASSERT_EQ(v, 0);
    }
}

// --- Noise ----------------------------------------------------------------------------------

// Runs tick by tick until the noise register shifts; returns the noise output after it, or -1
// when no shift comes within `limit` ticks.
int NextShift(Psg& psg, int limit = 1 << 16) {
    const uint16_t before = psg.NoiseShiftRegister();
    for (int t = 0; t < limit; ++t) {
        psg.Run(Psg::kClocksPerTick);
        if (psg.NoiseShiftRegister() != before) {
            return psg.Output(Psg::kNoiseChannel);
        }
    }
    return -1;
}

TEST(PsgNoise, ShiftRates) {
    struct Case {
        uint8_t control;
        uint16_t tone2;
        uint32_t clocksPerShift;
    };
    const Case cases[] = {
        {0x00, 0, 512}, {0x01, 0, 1024}, {0x02, 0, 2048}, {0x03, 100, 3200}, {0x07, 3, 96},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "control " << int(c.control));
        Psg psg;
        SetTone(psg, 2, c.tone2, 15);
        psg.Write(static_cast<uint8_t>(0xE0 | c.control));
        ASSERT_NE(NextShift(psg), -1);
        for (int i = 0; i < 20; ++i) {
            const uint16_t before = psg.NoiseShiftRegister();
            psg.Run(c.clocksPerShift - 1);
            ASSERT_EQ(psg.NoiseShiftRegister(), before) << "early, shift " << i;
            psg.Run(1);
            ASSERT_NE(psg.NoiseShiftRegister(), before) << "late, shift " << i;
        }
    }
}

std::string Outputs(Psg& psg, int count) {
    std::string bits;
    for (int i = 0; i < count; ++i) {
        bits += NextShift(psg) == 1 ? '1' : '0';
    }
    return bits;
}

TEST(PsgNoise, PeriodicSequenceIsOneHighBitInFifteen) {
    Psg psg;
    psg.Write(0xE0);
    const std::string once = "000000000000010";
    EXPECT_EQ(Outputs(psg, 45), once + once + once);
}

TEST(PsgNoise, WhiteSequence) {
    Psg psg;
    psg.Write(0xE4);
    // From the seed: the seed's bit reaches the output after 14 shifts and feeds back.
    EXPECT_EQ(Outputs(psg, 40), "0000000000000100000000000001100000000000");
    // The register is maximal: back at the seed after 32767 shifts (not sooner), with one more
    // one than zeros in the output.
    Psg full;
    full.Write(0xE4);
    int ones = 0;
    for (int i = 1; i <= 32767; ++i) {
        ones += NextShift(full);
        if (i < 32767) {
            ASSERT_NE(full.NoiseShiftRegister(), Psg::kNoiseSeed) << "after " << i;
        }
    }
    EXPECT_EQ(full.NoiseShiftRegister(), Psg::kNoiseSeed);
    EXPECT_EQ(ones, 16384);
}

TEST(PsgNoise, ControlWriteRestartsTheSequence) {
    Psg fresh;
    fresh.Write(0xE4);
    const std::string start = Outputs(fresh, 60);
    for (const std::vector<uint8_t>& rewrite :
         {std::vector<uint8_t>{0xE4}, std::vector<uint8_t>{0x04},
          std::vector<uint8_t>{0xE0, 0x04}}) {
        Psg psg;
        psg.Write(0xE4);
        Outputs(psg, 1234);
        const uint8_t writes = psg.NoiseWrites();
        for (uint8_t b : rewrite) {
            psg.Write(b);
        }
        EXPECT_EQ(psg.NoiseShiftRegister(), Psg::kNoiseSeed);
        EXPECT_EQ(psg.NoiseWrites(), uint8_t(writes + rewrite.size()));
        EXPECT_EQ(Outputs(psg, 60), start);
    }
}

} // namespace
