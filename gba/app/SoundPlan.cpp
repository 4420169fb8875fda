#include "SoundPlan.h"

namespace rix::gba {

namespace {

using rix::emu::Psg;

constexpr std::uint8_t kLevel[16] = {120, 95, 76, 60, 48, 38, 30, 24, 19, 15, 12, 10, 8, 6, 5, 0};

constexpr std::uint32_t EffectivePeriod(std::uint16_t period) {
    return period ? period : 0x400;
}

// 2048 - x in 16.16 fixed point per unit of `units` (a period, times cycles or ticks), with
// constants instead of divisions: the GBA has no divider, and a game may change the chip every
// frame. Rounded, clamped to what x can say.
std::uint16_t RateFor(std::uint32_t units, std::uint32_t perUnit) {
    std::uint32_t steps = (units * perUnit + 0x8000) >> 16;
    if (steps < 1) {
        steps = 1;
    } else if (steps > 2048) {
        steps = 2048;
    }
    return std::uint16_t(2048 - steps);
}

// A square channel's 2048 - x per period N: 131072 x 32 / clock = 1.17174.
constexpr std::uint32_t kSquarePerPeriod = 76791;
// The wave channel's per period N and cycle in 32 samples: 65536 x 32 / clock = 0.585870.
constexpr std::uint32_t kWavePerPeriod = 38395;
// The pulse's per tick and cycle for the chip's periodic noise, one cycle per 15 shifts:
// 65536 x 16 x 15 / clock = 4.39398.
constexpr std::uint32_t kPulsePerTick = 287963;

constexpr std::uint8_t NearestNoiseControl(std::uint32_t ticks, bool sevenBit) {
    // The GBA divides 1,048,576 Hz by D = m x 2^(s+1), m = 1, 2, 4, ... 14 (r = 0 counting as
    // 0.5); the chip's shift needs D = 1048576 x 16 x ticks / clock (x 15 / 127 for the 7-bit
    // sequence), here with 8 fractional bits: 1199.86 (141.72) per tick. For each m the s that
    // brackets the target, then the m whose ratio to it is nearest 1: compared by
    // cross-multiplying, no division.
    const std::uint64_t target = std::uint64_t{ticks} * (sevenBit ? 142 : 1200);
    std::uint8_t best = 0;
    std::uint64_t bestHigh = 0; // the best ratio as bestHigh / bestLow, at least 1
    std::uint64_t bestLow = 0;
    for (unsigned r = 0; r < 8; ++r) {
        const std::uint64_t m = r ? 2 * r : 1;
        unsigned s = 0;
        while (s < 13 && (m << (s + 2)) * 256 <= target) {
            ++s;
        }
        // (m << (s+1)) or the next one up, whichever is nearer by ratio: the lower one when
        // target^2 < 2 lower^2.
        std::uint64_t d = (m << (s + 1)) * 256;
        if (s < 13 && d < target && target * target >= 2 * d * d) {
            ++s;
            d *= 2;
        }
        const std::uint64_t high = d > target ? d : target;
        const std::uint64_t low = d > target ? target : d;
        if (bestLow == 0 || high * bestLow < bestHigh * low) {
            bestHigh = high;
            bestLow = low;
            best = std::uint8_t(r | (s << 4));
        }
    }
    return std::uint8_t(best | (sevenBit ? 0x08 : 0));
}

// The choice for every shift the chip makes, worked out by the compiler: the search costs some
// thousand cycles on the GBA, and a game may move tone 2 (which noise can follow) every frame.
constexpr std::uint32_t kNoiseTable = 1024;
struct NoiseTable {
    std::uint8_t control[kNoiseTable];
    constexpr std::uint8_t operator[](std::uint32_t i) const { return control[i]; }
};
constexpr NoiseTable MakeNoiseTable(bool sevenBit) {
    NoiseTable table{};
    for (std::uint32_t n = 1; n <= kNoiseTable; ++n) {
        table.control[n - 1] = NearestNoiseControl(2 * n, sevenBit);
    }
    return table;
}
constexpr NoiseTable kNoise15 = MakeNoiseTable(false);
constexpr NoiseTable kNoise7 = MakeNoiseTable(true);

} // namespace

std::uint8_t Level(std::uint8_t attenuation) {
    return kLevel[attenuation & 15];
}

std::uint8_t MasterFor(std::uint8_t loudestLevel) {
    return loudestLevel <= 15 ? 0 : loudestLevel <= 30 ? 1 : loudestLevel <= 60 ? 3 : 7;
}

std::uint8_t VolumeFor(std::uint8_t level, std::uint8_t master) {
    const unsigned eighths = master + 1u; // 1, 2, 4 or 8
    unsigned volume = (level + eighths / 2) / eighths;
    if (volume > 15) {
        volume = 15;
    }
    return std::uint8_t(level != 0 && volume == 0 ? 1 : volume);
}

std::uint16_t SquareRate(std::uint16_t period) {
    return RateFor(EffectivePeriod(period), kSquarePerPeriod);
}

std::uint16_t WaveRate(std::uint16_t period, unsigned cycles) {
    return RateFor(EffectivePeriod(period) * cycles, kWavePerPeriod);
}

unsigned WaveCycles(std::uint16_t period) {
    unsigned cycles = 16;
    while (cycles > 1 &&
           ((EffectivePeriod(period) * cycles * kWavePerPeriod + 0x8000) >> 16) > 2048) {
        cycles /= 2;
    }
    return cycles;
}

std::uint8_t NoiseControl(std::uint32_t ticks, bool sevenBit) {
    // The chip shifts every 2 x 16, 32 or 64 ticks, or every 2N ticks following tone 2.
    if ((ticks & 1) == 0 && ticks >= 2 && ticks <= 2 * kNoiseTable) {
        return (sevenBit ? kNoise7 : kNoise15)[ticks / 2 - 1];
    }
    return NearestNoiseControl(ticks, sevenBit);
}

SoundPlan PlanSound(const Psg& psg) {
    SoundPlan plan;
    auto toneLevel = [&](int channel) {
        return EffectivePeriod(psg.TonePeriod(channel)) < kShortestPeriod
                   ? std::uint8_t(0)
                   : Level(psg.Attenuation(channel));
    };
    const std::uint8_t levels[4] = {toneLevel(0), toneLevel(1), toneLevel(2),
                                    Level(psg.Attenuation(Psg::kNoiseChannel))};
    std::uint8_t loudest = 0;
    for (std::uint8_t level : levels) {
        loudest = level > loudest ? level : loudest;
    }
    plan.master = MasterFor(loudest);
    for (int c = 0; c < 2; ++c) {
        plan.square[c] = {SquareRate(psg.TonePeriod(c)), VolumeFor(levels[c], plan.master)};
    }
    const std::uint16_t period2 = psg.TonePeriod(2);
    const std::uint8_t volume2 = VolumeFor(levels[2], plan.master);
    const std::uint8_t noiseVolume = VolumeFor(levels[3], plan.master);
    const std::uint32_t ticks = psg.NoiseShiftTicks();
    // Periodic noise that is heard goes to the wave channel as a pulse when tone 2 can go
    // elsewhere: nowhere when silent (games playing bass this way keep tone 2, whose period sets
    // the pitch, silent), or to a square channel the other tones leave free.
    SquarePlan* freeSquare = plan.square[0].volume == 0   ? &plan.square[0]
                             : plan.square[1].volume == 0 ? &plan.square[1]
                                                          : nullptr;
    if (!psg.NoiseIsWhite() && noiseVolume != 0 && (volume2 == 0 || freeSquare != nullptr)) {
        if (volume2 != 0) {
            *freeSquare = {SquareRate(period2), volume2};
        }
        const unsigned cycles = ((ticks * 2 * kPulsePerTick + 0x8000) >> 16) <= 2048 ? 2 : 1;
        plan.wave = {RateFor(ticks * cycles, kPulsePerTick), noiseVolume, std::uint8_t(cycles),
                     WaveShape::kPulse};
        plan.noise = {NoiseControl(ticks, true), 0};
    } else {
        // Otherwise the noise channel's 7-bit sequence sounds periodic noise at its pitch.
        const unsigned cycles = WaveCycles(period2);
        plan.wave = {WaveRate(period2, cycles), volume2, std::uint8_t(cycles), WaveShape::kSquare};
        plan.noise = {NoiseControl(ticks, !psg.NoiseIsWhite()), noiseVolume};
    }
    return plan;
}

void WavePattern(const WavePlan& wave, std::uint8_t out[16]) {
    const unsigned cycles = wave.cycles ? wave.cycles : 1; // a power of two
    const unsigned length = 32 / cycles;
    const unsigned high = wave.shape == WaveShape::kSquare ? length / 2 : (length + 15) / 16;
    for (unsigned i = 0; i < 16; ++i) {
        out[i] = 0;
    }
    for (unsigned i = 0; i < 32; ++i) {
        const unsigned value = (i & (length - 1)) < high ? wave.volume & 15 : 0;
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
