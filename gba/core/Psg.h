// The sound generator: the SN76489A family. Three square-wave tone channels with 10-bit
// periods, one noise channel driven by a 15-bit shift register, a 4-bit attenuator per
// channel, all written through one write-only port.
//
// Portable: no heap, no exceptions, no GBA headers, only the C library's headers. On the host,
// Generate() is the reference mixer; on the GBA a layer reads the channel state (periods,
// attenuations, noise mode) and programs the GBA's own sound channels instead of mixing samples in
// software.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace rix::emu {

class Psg {
public:
    static constexpr uint32_t kClockHz = 3579545;  // the ColecoVision's colour-burst clock
    static constexpr uint32_t kClocksPerTick = 16; // the counters step at clock / 16
    static constexpr int kToneChannels = 3;
    static constexpr int kNoiseChannel = 3;        // channel index of the noise channel
    static constexpr uint16_t kNoiseSeed = 0x4000; // shift register after a reset
    static constexpr uint8_t kSilent = 15;         // the attenuation that turns a channel off

    // Noise control bits (the register written through channel 3's tone slot).
    static constexpr uint8_t kNoiseWhite = 0x04;    // FB: set white, clear periodic
    static constexpr uint8_t kNoiseRateMask = 0x03; // NF: 0-2 fixed rates, 3 follows tone 3

    Psg() { Reset(); }

    // All four channels silent (the chip's own power-on state is random; silence keeps a
    // machine from sounding a tone before its program sets the chip), periods 0, noise control
    // 0, shift register at its seed, tone 1's period latched.
    void Reset();

    // The port. A byte with bit 7 set latches a register (bits 6-5 channel, bit 4 set for the
    // attenuation) and writes its bits 3-0 into the register's low bits. A byte with bit 7
    // clear writes the latched register: bits 5-0 become bits 9-4 of a tone period; an
    // attenuation or noise control takes the low bits as a whole value. Any write to the noise
    // control resets the shift register.
    void Write(uint8_t value);

    // Advances the chip by `clocks` input clocks; fractions of a tick carry over to the next
    // call.
    void Run(uint32_t clocks);

    // The host's reference output: fills out[0..count) with signed 16-bit mono samples at
    // `sampleRate` Hz, each the mean of the chip's output over the ticks it covers, and
    // advances the chip by that much time (fractions carry over). A rate of 0 gives silence and
    // does not advance. Each channel swings between +Amplitude and -Amplitude; the four
    // together never exceed the 16-bit range.
    void Generate(int16_t* out, size_t count, uint32_t sampleRate);

    // --- Channel state, for a layer driving other sound hardware, and for tests ---
    // Channel numbers outside 0..3 wrap (channel & 3).

    // The raw 10-bit period of tone channel 0..2 (0 behaves as 1024; the noise channel has
    // none and gives 0). Frequency in Hz: kClockHz / (32 * period).
    uint16_t TonePeriod(int channel) const {
        return (channel & 3) < kToneChannels ? period_[channel & 3] : 0;
    }
    // 0 (loudest) to 15 (off), 2 dB per step; channel 3 is the noise channel.
    uint8_t Attenuation(int channel) const { return attenuation_[channel & 3]; }
    uint8_t NoiseControl() const { return noiseControl_; }
    bool NoiseIsWhite() const { return noiseControl_ & kNoiseWhite; }
    // Ticks (clock / 16) between two shifts of the noise register: 32, 64 or 128, or twice the
    // (effective) period of tone channel 2 when the rate follows it.
    uint32_t NoiseShiftTicks() const;
    // The level a channel outputs now: a tone's square-wave state, the noise register's bit 0.
    bool Output(int channel) const;
    uint16_t NoiseShiftRegister() const { return lfsr_; }
    // Counts writes to the noise control (wrapping), each of which restarts the sequence, also
    // with the same value: for a layer that plays the noise elsewhere and must restart it too.
    uint8_t NoiseWrites() const { return noiseWrites_; }

    // The amplitude of one channel at an attenuation (0..15; 15 and above give 0).
    static int16_t Amplitude(uint8_t attenuation);

private:
    void Tick();
    int Mix() const;

    uint16_t period_[3]{};
    uint16_t counter_[3]{};
    uint8_t attenuation_[4]{};
    bool toneOut_[3]{};
    uint16_t noiseCounter_ = 0;
    uint16_t lfsr_ = kNoiseSeed;
    uint8_t noiseControl_ = 0;
    uint8_t noiseWrites_ = 0;
    uint8_t latched_ = 0;    // bits 2-1 channel, bit 0 attenuation
    bool noiseFlip_ = false; // the fixed-rate divider's output; the register shifts as it rises
    uint32_t clockRemainder_ = 0;
    uint64_t samplePhase_ = 0;
};

} // namespace rix::emu
