// The GBA's sound channels as SoundPlan sets them for the chip's state: pitch over the periods
// games use, the volumes, the noise rates and which channel plays periodic noise.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "app/SoundPlan.h"
#include "core/Psg.h"

namespace {

using rix::emu::Psg;
using namespace rix::gba;

double ChipHz(std::uint16_t period) {
    return double(Psg::kClockHz) / (32.0 * period);
}

void SetTone(Psg& psg, int channel, std::uint16_t period, std::uint8_t attenuation) {
    psg.Write(std::uint8_t(0x80 | channel << 5 | (period & 0x0F)));
    psg.Write(std::uint8_t(period >> 4));
    psg.Write(std::uint8_t(0x90 | channel << 5 | attenuation));
}

void SetNoise(Psg& psg, std::uint8_t control, std::uint8_t attenuation) {
    psg.Write(std::uint8_t(0xE0 | control));
    psg.Write(std::uint8_t(0xF0 | attenuation));
}

// Every period games use: the square channels within 1% where their register's resolution
// allows it (from N = 43 on; below, within half a step of it), the wave channel within 1%
// throughout.
TEST(SoundPlan, PitchOverThePeriodsGamesUse) {
    std::uint16_t firstWithin1Percent = 0;
    for (std::uint16_t n = 16; n <= 1023; ++n) {
        const double chip = ChipHz(n);
        const std::uint16_t square = SquareRate(n);
        const double squareError = std::abs(SquareHz(square) / chip - 1);
        EXPECT_LE(squareError, std::max(0.01, 0.5 / (2048 - square) + 1e-9)) << "N = " << n;
        if (squareError > 0.01) {
            firstWithin1Percent = std::uint16_t(n + 1);
        }
        const unsigned cycles = WaveCycles(n);
        const WavePlan wave{WaveRate(n, cycles), 15, std::uint8_t(cycles), WaveShape::kSquare};
        EXPECT_NEAR(WaveHz(wave) / chip, 1.0, 0.005) << "N = " << n << ", " << cycles;
    }
    EXPECT_LE(firstWithin1Percent, 43);
    // N = 0 is the chip's longest period.
    EXPECT_EQ(SquareRate(0), SquareRate(1024));
}

// One channel through the 16 attenuations: its volume under the master volume chosen for it is
// within 0.5 dB of the chip's 2 dB steps, every step quieter than the one before, 15 silent.
TEST(SoundPlan, AttenuationStepsInOrderWithFifteenSilent) {
    double previous = 2;
    for (int a = 0; a < 16; ++a) {
        const std::uint8_t master = MasterFor(Level(std::uint8_t(a)));
        const double heard = VolumeFor(Level(std::uint8_t(a)), master) * (master + 1) / 120.0;
        if (a == 15) {
            EXPECT_EQ(heard, 0);
            break;
        }
        EXPECT_NEAR(20 * std::log10(heard), -2.0 * a, 0.5) << a;
        EXPECT_LT(heard, previous) << a;
        previous = heard;
    }
    // A loud channel sets the master volume for all: a quiet one keeps a volume of at least 1.
    EXPECT_EQ(MasterFor(Level(0)), 7);
    EXPECT_EQ(VolumeFor(Level(14), 7), 1);
    EXPECT_EQ(VolumeFor(Level(15), 0), 0);
}

// The noise channel divides 1,048,576 Hz coarsely: the nearest rate is within 12% of the chip's
// shift rate, and the 7-bit sequence's pitch within 12% of the periodic noise's, at the fixed
// rates and following tone 2 over the periods games use.
TEST(SoundPlan, NoiseRatesNearTheChips) {
    auto check = [](std::uint32_t ticks) {
        const double shift = double(Psg::kClockHz) / (16.0 * ticks);
        EXPECT_NEAR(NoiseShiftHz(NoiseControl(ticks, false)) / shift, 1.0, 0.12) << ticks;
        const std::uint8_t seven = NoiseControl(ticks, true);
        EXPECT_EQ(seven & 0x08, 0x08);
        EXPECT_NEAR(NoiseShiftHz(seven) / 127 / (shift / 15), 1.0, 0.12) << ticks;
        EXPECT_EQ(NoiseControl(ticks, false) & 0x08, 0);
    };
    for (std::uint32_t ticks : {32u, 64u, 128u}) {
        check(ticks);
    }
    for (std::uint32_t n = 16; n <= 1024; ++n) {
        check(2 * n);
    }
}

TEST(SoundPlan, ChannelsForTheChipsState) {
    Psg psg;
    EXPECT_EQ(PlanSound(psg).square[0].volume, 0) << "a reset chip is silent";
    SetTone(psg, 0, 254, 0);
    SetTone(psg, 1, 6, 0); // above 16 kHz: inaudible on the chip, left silent
    SetTone(psg, 2, 100, 4);
    SetNoise(psg, Psg::kNoiseWhite | 1, 2);
    SoundPlan plan = PlanSound(psg);
    EXPECT_EQ(plan.square[0].rate, SquareRate(254));
    EXPECT_EQ(plan.square[0].volume, 15);
    EXPECT_EQ(plan.square[1].volume, 0);
    EXPECT_EQ(plan.wave.shape, WaveShape::kSquare);
    EXPECT_EQ(plan.master, 7);
    EXPECT_EQ(plan.wave.volume, VolumeFor(Level(4), 7));
    EXPECT_EQ(plan.noise.control, NoiseControl(64, false));
    EXPECT_EQ(plan.noise.volume, VolumeFor(Level(2), 7));

    // Periodic noise with tone 2 sounding: tone 2 on the square channel tone 1 leaves free, the
    // pulse on the wave channel.
    SetNoise(psg, 0, 2);
    plan = PlanSound(psg);
    EXPECT_EQ(plan.square[1].rate, SquareRate(100));
    EXPECT_EQ(plan.square[1].volume, VolumeFor(Level(4), 7));
    EXPECT_EQ(plan.wave.shape, WaveShape::kPulse);
    EXPECT_EQ(plan.noise.volume, 0);
    // With all three tones heard: the noise channel's 7-bit sequence.
    SetTone(psg, 1, 300, 0);
    plan = PlanSound(psg);
    EXPECT_EQ(plan.square[1].rate, SquareRate(300));
    EXPECT_EQ(plan.wave.shape, WaveShape::kSquare);
    EXPECT_EQ(plan.noise.control, NoiseControl(32, true));
    EXPECT_EQ(plan.noise.volume, VolumeFor(Level(2), 7));
    SetTone(psg, 1, 300, 15);

    // With tone 2 silent (its period still setting the rate), the wave channel's pulse at the
    // pitch of 15 shifts.
    SetTone(psg, 2, 100, 15);
    SetNoise(psg, 3, 2);
    plan = PlanSound(psg);
    EXPECT_EQ(plan.wave.shape, WaveShape::kPulse);
    EXPECT_EQ(plan.wave.volume, VolumeFor(Level(2), 7));
    EXPECT_EQ(plan.noise.volume, 0);

    // Everything quiet: the master volume comes down and the channel volumes go up.
    SetTone(psg, 0, 254, 10);
    SetTone(psg, 1, 254, 15);
    SetNoise(psg, 3, 12);
    plan = PlanSound(psg);
    EXPECT_EQ(plan.master, 0);
    EXPECT_EQ(plan.square[0].volume, 12);
    EXPECT_EQ(plan.wave.volume, 8);
    const double pitch = double(Psg::kClockHz) / (16.0 * 200 * 15);
    EXPECT_NEAR(WaveHz(plan.wave) / pitch, 1.0, 0.01);
}

TEST(SoundPlan, WavePatterns) {
    struct Case {
        WavePlan wave;
        std::uint8_t bytes[16];
    };
    const Case cases[] = {
        {{0, 15, 16, WaveShape::kSquare},
         {0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0,
          0xF0}},
        {{0, 9, 1, WaveShape::kSquare}, {0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99}},
        {{0, 7, 4, WaveShape::kSquare},
         {0x77, 0x77, 0x00, 0x00, 0x77, 0x77, 0x00, 0x00, 0x77, 0x77, 0x00, 0x00, 0x77, 0x77, 0x00,
          0x00}},
        {{0, 15, 2, WaveShape::kPulse}, {0xF0, 0, 0, 0, 0, 0, 0, 0, 0xF0}},
        {{0, 4, 1, WaveShape::kPulse}, {0x44}},
    };
    for (const Case& c : cases) {
        std::uint8_t bytes[16];
        WavePattern(c.wave, bytes);
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(bytes[i], c.bytes[i]) << "byte " << i << ", cycles " << int(c.wave.cycles);
        }
    }
}

} // namespace
