#include "Psg.h"

namespace rix::emu {

namespace {

// round(8191 * 10^(-2 * step / 20)): 2 dB per step; four channels at full volume still fit
// in 16 bits.
constexpr int16_t kAmplitude[16] = {8191, 6506, 5168, 4105, 3261, 2590, 2057, 1634,
                                    1298, 1031, 819,  651,  517,  411,  326,  0};

constexpr uint16_t EffectivePeriod(uint16_t period) {
    return period ? period : 0x400;
}

} // namespace

void Psg::Reset() {
    for (int c = 0; c < kToneChannels; ++c) {
        period_[c] = 0;
        counter_[c] = 0;
        toneOut_[c] = false;
    }
    for (uint8_t& a : attenuation_) {
        a = kSilent;
    }
    noiseCounter_ = 0;
    lfsr_ = kNoiseSeed;
    noiseControl_ = 0;
    latched_ = 0;
    noiseFlip_ = false;
    clockRemainder_ = 0;
    samplePhase_ = 0;
}

void Psg::Write(uint8_t value) {
    const bool latch = value & 0x80;
    if (latch) {
        latched_ = (value >> 4) & 0x07;
    }
    const int channel = latched_ >> 1;
    if (latched_ & 1) {
        attenuation_[channel] = value & 0x0F;
    } else if (channel == kNoiseChannel) {
        noiseControl_ = value & 0x07;
        lfsr_ = kNoiseSeed;
        ++noiseWrites_;
    } else if (latch) {
        period_[channel] = static_cast<uint16_t>((period_[channel] & 0x3F0) | (value & 0x0F));
    } else {
        period_[channel] =
            static_cast<uint16_t>((period_[channel] & 0x00F) | ((value & 0x3F) << 4));
    }
}

uint32_t Psg::NoiseShiftTicks() const {
    const unsigned rate = noiseControl_ & kNoiseRateMask;
    if (rate == 3) {
        return 2u * EffectivePeriod(period_[2]);
    }
    return 0x20u << rate;
}

bool Psg::Output(int channel) const {
    channel &= 3;
    return channel == kNoiseChannel ? (lfsr_ & 1) : toneOut_[channel];
}

int16_t Psg::Amplitude(uint8_t attenuation) {
    return attenuation < 16 ? kAmplitude[attenuation] : 0;
}

void Psg::Tick() {
    bool shift = false;
    for (int c = 0; c < kToneChannels; ++c) {
        // A period's worth of ticks between toggles: the square's frequency is clock / 32N.
        if (counter_[c] <= 1) {
            counter_[c] = EffectivePeriod(period_[c]);
            toneOut_[c] = !toneOut_[c];
            if (c == 2 && toneOut_[c] && (noiseControl_ & kNoiseRateMask) == 3) {
                shift = true;
            }
        } else {
            --counter_[c];
        }
    }
    if ((noiseControl_ & kNoiseRateMask) != 3) {
        if (noiseCounter_ <= 1) {
            noiseCounter_ = static_cast<uint16_t>(0x10u << (noiseControl_ & kNoiseRateMask));
            noiseFlip_ = !noiseFlip_;
            shift = noiseFlip_;
        } else {
            --noiseCounter_;
        }
    }
    if (shift) {
        // Periodic noise recirculates bit 0 (one high bit in 15); white noise feeds back bits
        // 0 and 1, a maximal sequence of 32767.
        const unsigned feedback =
            (noiseControl_ & kNoiseWhite) ? ((lfsr_ ^ (lfsr_ >> 1)) & 1u) : (lfsr_ & 1u);
        lfsr_ = static_cast<uint16_t>((lfsr_ >> 1) | (feedback << 14));
    }
}

int Psg::Mix() const {
    int sum = 0;
    for (int c = 0; c < 4; ++c) {
        const int amplitude = kAmplitude[attenuation_[c]];
        sum += Output(c) ? amplitude : -amplitude;
    }
    return sum;
}

void Psg::Run(uint32_t clocks) {
    // Kept below one tick between calls, so the sum cannot overflow.
    uint32_t pending = clocks % kClocksPerTick + clockRemainder_;
    uint32_t ticks = clocks / kClocksPerTick + pending / kClocksPerTick;
    clockRemainder_ = pending % kClocksPerTick;
    while (ticks--) {
        Tick();
    }
}

void Psg::Generate(int16_t* out, size_t count, uint32_t sampleRate) {
    if (!out) {
        return;
    }
    if (sampleRate == 0) {
        for (size_t i = 0; i < count; ++i) {
            out[i] = 0;
        }
        return;
    }
    // Time is counted in units of 1 / (16 * sampleRate) clocks: each sample adds kClockHz of
    // them, each tick uses 16 * sampleRate.
    const uint64_t tickCost = uint64_t{kClocksPerTick} * sampleRate;
    if (samplePhase_ >= tickCost) {
        samplePhase_ %= tickCost; // the rate went down since the last call
    }
    for (size_t i = 0; i < count; ++i) {
        samplePhase_ += kClockHz;
        int64_t sum = 0; // a very low rate averages many ticks
        int64_t ticks = 0;
        while (samplePhase_ >= tickCost) {
            samplePhase_ -= tickCost;
            Tick();
            sum += Mix();
            ++ticks;
        }
        out[i] = static_cast<int16_t>(ticks ? sum / ticks : Mix());
    }
}

} // namespace rix::emu
