#include "SoundPlan.h"

namespace rix::gba {

namespace {

using rix::emu::Psg;

constexpr std::uint8_t kVolume[16] = {15, 12, 9, 8, 6, 5, 4, 3, 2, 2, 2, 1, 1, 1, 1, 0};

constexpr std::uint32_t EffectivePeriod(std::uint16_t period) {
    return period ? period : 0x400;
}

// 2048 - x for a step of `numerator` / kClockHz seconds, rounded, clamped to what x can say.
std::uint16_t RateFor(std::uint64_t numerator) {
    std::uint64_t steps = (numerator + Psg::kClockHz / 2) / Psg::kClockHz;
    if (steps < 1) {
        steps = 1;
    } else if (steps > 2048) {
        steps = 2048;
    }
    return std::uint16_t(2048 - steps);
}

// A square channel's 2048 - x for period N: 131072 x 32 N / clock.
constexpr std::uint64_t kSquareSteps = std::uint64_t{kSquareRateHz} * 32;
// The wave channel's 2048 - x per cycle in 32 samples: 65536 x 32 N / clock.
constexpr std::uint64_t kWaveSteps = std::uint64_t{kWaveRateHz} * 32;

// The pulse's 2048 - x for the chip's periodic noise, one cycle per 15 shifts of `ticks`
// ticks: 65536 x 16 x 15 x ticks / clock per cycle in 32 samples.
std::uint64_t PulseSteps(std::uint32_t ticks, unsigned cycles) {
    return std::uint64_t{kWaveRateHz} * Psg::kClocksPerTick * 15 * ticks * cycles;
}

} // namespace

std::uint8_t GbaVolume(std::uint8_t attenuation) {
    return kVolume[attenuation & 15];
}

std::uint16_t SquareRate(std::uint16_t period) {
    return RateFor(kSquareSteps * EffectivePeriod(period));
}

std::uint16_t WaveRate(std::uint16_t period, unsigned cycles) {
    return RateFor(kWaveSteps * EffectivePeriod(period) * cycles);
}

unsigned WaveCycles(std::uint16_t period) {
    unsigned cycles = 16;
    while (cycles > 1 &&
           (kWaveSteps * EffectivePeriod(period) * cycles + Psg::kClockHz / 2) / Psg::kClockHz >
               2048) {
        cycles /= 2;
    }
    return cycles;
}

std::uint8_t NoiseControl(std::uint32_t ticks, bool sevenBit) {
    // The GBA divides 1,048,576 Hz by D = (r ? 2r : 1) x 2^(s+1); the chip's shift needs
    // D = 1048576 x 16 x ticks / clock (x 15 / 127 for the 7-bit sequence). Compared as
    // D x clock x 127 to stay in integers.
    const std::uint64_t target =
        std::uint64_t{1048576} * Psg::kClocksPerTick * ticks * (sevenBit ? 15 : 127);
    std::uint8_t best = 0;
    std::uint64_t bestError = ~std::uint64_t{0};
    for (unsigned r = 0; r < 8; ++r) {
        for (unsigned s = 0; s < 14; ++s) {
            const std::uint64_t d = std::uint64_t{r ? 2 * r : 1} << (s + 1);
            const std::uint64_t have = d * Psg::kClockHz * 127;
            // Ratio error, scaled: larger over smaller.
            const std::uint64_t error =
                have > target ? (have << 10) / target : (target << 10) / have;
            if (error < bestError) {
                bestError = error;
                best = std::uint8_t(r | (s << 4));
            }
        }
    }
    return std::uint8_t(best | (sevenBit ? 0x08 : 0));
}

SoundPlan PlanSound(const Psg& psg) {
    SoundPlan plan;
    auto toneVolume = [&](int channel) {
        return EffectivePeriod(psg.TonePeriod(channel)) < kShortestPeriod
                   ? std::uint8_t(0)
                   : GbaVolume(psg.Attenuation(channel));
    };
    for (int c = 0; c < 2; ++c) {
        plan.square[c] = {SquareRate(psg.TonePeriod(c)), toneVolume(c)};
    }
    const std::uint16_t period2 = psg.TonePeriod(2);
    const std::uint8_t volume2 = toneVolume(2);
    const std::uint8_t noiseVolume = GbaVolume(psg.Attenuation(Psg::kNoiseChannel));
    const std::uint32_t ticks = psg.NoiseShiftTicks();
    if (!psg.NoiseIsWhite() && volume2 == 0) {
        // The wave channel is free for the pulse (games playing bass this way keep tone 2, whose
        // period sets the pitch, silent).
        const unsigned cycles =
            (PulseSteps(ticks, 2) + Psg::kClockHz / 2) / Psg::kClockHz <= 2048 ? 2 : 1;
        plan.wave = {RateFor(PulseSteps(ticks, cycles)), noiseVolume, std::uint8_t(cycles),
                     WaveShape::kPulse};
        plan.noise = {NoiseControl(ticks, true), 0};
    } else {
        const unsigned cycles = WaveCycles(period2);
        plan.wave = {WaveRate(period2, cycles), volume2, std::uint8_t(cycles), WaveShape::kSquare};
        plan.noise = {NoiseControl(ticks, !psg.NoiseIsWhite()), noiseVolume};
    }
    return plan;
}

void WavePattern(const WavePlan& wave, std::uint8_t out[16]) {
    const unsigned cycles = wave.cycles ? wave.cycles : 1;
    const unsigned length = 32 / cycles;
    const unsigned high = wave.shape == WaveShape::kSquare ? length / 2 : (length + 15) / 16;
    for (unsigned i = 0; i < 16; ++i) {
        out[i] = 0;
    }
    for (unsigned i = 0; i < 32; ++i) {
        const unsigned value = i % length < high ? wave.volume & 15 : 0;
        out[i / 2] = std::uint8_t(out[i / 2] | (i & 1 ? value : value << 4));
    }
}

double SquareHz(std::uint16_t rate) {
    return double(kSquareRateHz) / (2048 - (rate & 2047));
}

double WaveHz(const WavePlan& wave) {
    return double(kWaveRateHz) * wave.cycles / (2048 - (wave.rate & 2047));
}

double NoiseShiftHz(std::uint8_t control) {
    const unsigned r = control & 7;
    const unsigned s = control >> 4;
    return 1048576.0 / ((r ? 2.0 * r : 1.0) * double(1u << (s + 1)));
}

} // namespace rix::gba
