// What the GBA's four sound channels play for the sound chip's state: tones 0 and 1 on the two
// square channels, tone 2 on the wave channel (a square written into wave RAM, several cycles
// per 32 samples, so the rate register's resolution stays fine at high pitches), the noise on
// the noise channel (its 15-bit mode is the chip's white-noise sequence), periodic noise on the
// wave channel as a pulse when tone 2 is silent or can move to a square channel the other tones
// leave free, else on the noise channel's 7-bit sequence run at the rate that gives the chip's
// pitch. Portable: the host tests the plan; Sound.cpp writes it to the registers.
#pragma once

#include <cstdint>

#include "core/Psg.h"

namespace rix::gba {

// The GBA's PSG clock for the rate registers (2048 - x counts of it per step).
inline constexpr std::uint32_t kSquareRateHz = 131072; // square channels: Hz = this / (2048 - x)
inline constexpr std::uint32_t kWaveRateHz = 65536; // wave channel: 32 samples at this / (2048 - x)
// A tone above this is inaudible on the chip (its mean is what the ear gets) and would only
// alias on the GBA: it is left silent.
inline constexpr std::uint16_t kShortestPeriod = 7; // N = 7: 15,980 Hz

struct SquarePlan {
    std::uint16_t rate = 0;  // the rate register's 11 bits, x
    std::uint8_t volume = 0; // envelope volume 0..15; 0 = the channel is not heard
    bool operator==(const SquarePlan&) const = default;
};

enum class WaveShape : std::uint8_t {
    kSquare, // half the samples of each cycle high
    kPulse,  // one sample in 16 high: the chip's periodic noise (one bit high in 15)
};

struct WavePlan {
    std::uint16_t rate = 0;
    std::uint8_t volume = 0; // the high samples' value, 0..15; 0 = not heard
    std::uint8_t cycles = 1; // cycles of the shape in the 32 samples: 1, 2, 4, 8 or 16
    WaveShape shape = WaveShape::kSquare;
    bool operator==(const WavePlan&) const = default;
};

struct NoisePlan {
    // SOUND4CNT_H's low byte: bits 0-2 the divider r, bit 3 the 7-bit sequence, bits 4-7 the
    // shift s; shifts at 524288 Hz / r / 2^(s+1), r = 0 counting as 0.5.
    std::uint8_t control = 0;
    std::uint8_t volume = 0;
    bool operator==(const NoisePlan&) const = default;
};

struct SoundPlan {
    SquarePlan square[2];
    WavePlan wave;
    NoisePlan noise;
    // The PSG master volume, SOUNDCNT_L's 0-7 on both sides: (master + 1) / 8 of every channel.
    std::uint8_t master = 7;
    bool operator==(const SoundPlan&) const = default;
};

// An attenuation's level in eighths of a channel's full volume 15: round(120 x 10^(-att / 10))
// (2 dB steps of amplitude), 0 for 15.
std::uint8_t Level(std::uint8_t attenuation);
// The master volume for the loudest level heard: 8/8, 4/8, 2/8 or 1/8 (0 to 7 as SOUNDCNT_L says
// it), the least that still lets a channel volume of at most 15 reach it. The GBA's channel
// volumes are 16 linear steps; scaling them all down when the whole mix is quiet gives its quiet
// attenuations steps of their own.
std::uint8_t MasterFor(std::uint8_t loudestLevel);
// A channel's volume for a level under a master volume: rounded, at least 1 for a level above 0.
std::uint8_t VolumeFor(std::uint8_t level, std::uint8_t master);

// Rate registers: the x nearest to the chip's frequency, 2048 - x clamped to 1..2048.
std::uint16_t SquareRate(std::uint16_t period); // tone period N
// Tone period N as `cycles` cycles per 32 wave samples.
std::uint16_t WaveRate(std::uint16_t period, unsigned cycles);
// The most cycles per 32 samples (finest rate) that still reach period N's pitch.
unsigned WaveCycles(std::uint16_t period);
// The noise control byte whose shift rate is nearest (by ratio) to the chip's shift every
// `ticks` ticks (clock / 16), 15-bit sequence. With `sevenBit`, the 7-bit sequence shifting
// 127/15 times as fast: its 127 steps then repeat at the pitch of the chip's 15-step periodic
// noise.
std::uint8_t NoiseControl(std::uint32_t ticks, bool sevenBit);

// The plan for the chip's state now.
SoundPlan PlanSound(const rix::emu::Psg& psg);

// Wave RAM for a wave plan: 32 four-bit samples, two to a byte, the high nibble played first.
void WavePattern(const WavePlan& wave, std::uint8_t out[16]);

// The frequencies the GBA plays for a plan's registers (for tests and tables).
double SquareHz(std::uint16_t rate);
double WaveHz(const WavePlan& wave); // of the shape's cycle
double NoiseShiftHz(std::uint8_t control);

} // namespace rix::gba
