#include "Sound.h"

#include "Hardware.h"
#include "Platform.h"
#include "SoundPlan.h"

namespace rix::gba {

namespace {

using rix::emu::Psg;

// The chip's registers as last played: nothing is done while they stay the same.
struct ChipState {
    std::uint16_t period[Psg::kToneChannels];
    std::uint8_t attenuation[4];
    std::uint8_t noise;
    std::uint8_t noiseWrites; // any write restarts the chip's noise, even of the same value
    bool operator==(const ChipState&) const = default;
};

struct SoundState {
    bool valid; // `chip` holds what was last played
    ChipState chip;
    SoundPlan loaded;       // what the channels' registers hold (volumes as last restarted)
    bool started[4];        // restarted since the sound was switched on
    std::uint16_t mix;      // SOUNDCNT_L: the master volume and the channels heard
    std::uint16_t waveBank; // kWaveBank1 or 0: the bank the wave channel plays
    // Where the wave channel is. The bank playing is a rotating register: each sample step
    // moves its data on by one. `wavePhase` is the index, in the pattern it was written from,
    // of the sample it gives next, as of `waveCounted` steps after the last rate write at
    // `waveWrittenAt` (cycles, TM0 and TM1); steps come 8 x (2048 - x) cycles apart.
    std::uint32_t waveWrittenAt;
    std::uint32_t waveStep;
    std::uint32_t waveCounted;
    std::uint32_t wavePhase;
};

// In EWRAM: IWRAM has no room to spare while a game runs.
RIX_EWRAM_BSS SoundState gSound;

// The system clock's cycles since the sound was switched on (TM0 with TM1 counting its
// overflows).
std::uint32_t Cycles() {
    std::uint32_t high;
    std::uint32_t low;
    do {
        high = hw::Reg<std::uint16_t>(hw::kTm1cntL);
        low = hw::Reg<std::uint16_t>(hw::kTm0cntL);
    } while (high != hw::Reg<std::uint16_t>(hw::kTm1cntL));
    return high << 16 | low;
}

// The wave channel's sample steps since its last rate write: the first comes 16 + 8 (2048 - x)
// cycles after the write, the next ones 8 (2048 - x) apart.
std::uint32_t WaveStepsBy(std::uint32_t time) {
    const std::uint32_t since = time - gSound.waveWrittenAt;
    return since < 16 + gSound.waveStep ? 0 : (since - 16) / gSound.waveStep;
}

// When the step after `steps` steps comes.
std::uint32_t WaveStepAt(std::uint32_t steps) {
    return gSound.waveWrittenAt + 16 + gSound.waveStep * (steps + 1);
}

// A rate write restarts the channel's step timer: the steps so far are taken into the phase.
void WriteWaveRate(std::uint16_t value) {
    const std::uint16_t ime = hw::Reg<std::uint16_t>(hw::kIme);
    hw::Reg<std::uint16_t>(hw::kIme) = 0;
    const std::uint32_t now = Cycles();
    hw::Reg<std::uint16_t>(hw::kSound3cntX) = value;
    hw::Reg<std::uint16_t>(hw::kIme) = ime;
    const std::uint32_t steps = WaveStepsBy(now);
    gSound.wavePhase = (gSound.wavePhase + steps - gSound.waveCounted) & 31;
    gSound.waveWrittenAt = now;
    gSound.waveCounted = 0;
    gSound.waveStep = 8 * (2048 - (value & 2047));
}

// The pattern written into the bank not playing, turned so that it goes on from the sample the
// playing bank would give next, then played: no jump in the wave's phase. The switch must fall
// between the same two sample steps that the turn was worked out for; an interrupt that makes
// it miss them is answered by trying again.
// `fromCycles`: the cycles in the pattern playing, when the new one has another number of them
// (0 otherwise); the new one goes on from the same point of the cycle.
void SwitchWavePattern(const WavePlan& plan, bool running, unsigned fromCycles) {
    // Enough for the writes below, so that the switch can come at the time worked out, and the
    // distance kept from a step on either side.
    constexpr std::uint32_t kWriteCycles = 2048;
    constexpr std::uint32_t kMargin = 64;
    // Steps too short to aim between (tones above 16 kHz, which are silent anyway) are not
    // aimed at: the switch may then move the phase by a sample.
    const bool aimed = running && gSound.waveStep > 4 * kMargin;
    std::uint8_t samples[32];
    {
        std::uint8_t bytes[16];
        WavePattern(plan, bytes);
        for (int i = 0; i < 16; ++i) {
            samples[2 * i] = std::uint8_t(bytes[i] >> 4);
            samples[2 * i + 1] = std::uint8_t(bytes[i] & 15);
        }
    }
    for (;;) {
        std::uint32_t steps = 0;
        std::uint32_t from = 0;
        std::uint32_t until = 0;
        if (running) {
            steps = WaveStepsBy(Cycles() + (aimed ? kWriteCycles : 0));
            from = steps ? WaveStepAt(steps - 1) : gSound.waveWrittenAt;
            until = WaveStepAt(steps);
        }
        std::uint32_t phase = (gSound.wavePhase + steps - gSound.waveCounted) & 31;
        if (fromCycles != 0) {
            const std::uint32_t fromLength = 32u / fromCycles;
            phase = (phase & (fromLength - 1)) * (32u / plan.cycles) / fromLength;
        }
        for (int i = 0; i < 4; ++i) {
            std::uint32_t word = 0;
            for (int b = 0; b < 4; ++b) {
                const int at = 8 * i + 2 * b;
                const std::uint32_t byte =
                    std::uint32_t(samples[(at + phase) & 31]) << 4 | samples[(at + 1 + phase) & 31];
                word |= byte << (8 * b);
            }
            hw::Reg<std::uint32_t>(hw::kWaveRam + 4 * i) = word;
        }
        if (aimed) {
            while (std::int32_t(Cycles() - (from + kMargin)) < 0) {
            }
        }
        const std::uint16_t ime = hw::Reg<std::uint16_t>(hw::kIme);
        hw::Reg<std::uint16_t>(hw::kIme) = 0;
        const bool inTime = !aimed || std::int32_t(until - kMargin - Cycles()) > 0;
        if (inTime) {
            // Written again as it is: the channel then takes its steps so far on the bank that
            // played them (an emulator may leave them pending and apply them to the new bank).
            hw::Reg<std::uint16_t>(hw::kSound3cntH) = hw::kWaveFull;
            gSound.waveBank ^= hw::kWaveBank1;
            hw::Reg<std::uint16_t>(hw::kSound3cntL) = std::uint16_t(hw::kWaveOn | gSound.waveBank);
        }
        hw::Reg<std::uint16_t>(hw::kIme) = ime;
        if (inTime) {
            gSound.wavePhase = phase;
            gSound.waveCounted = steps;
            return;
        }
    }
}

ChipState Snapshot(const Psg& psg) {
    ChipState chip{};
    for (int c = 0; c < Psg::kToneChannels; ++c) {
        chip.period[c] = psg.TonePeriod(c);
    }
    for (int c = 0; c < 4; ++c) {
        chip.attenuation[c] = psg.Attenuation(c);
    }
    chip.noise = psg.NoiseControl();
    chip.noiseWrites = psg.NoiseWrites();
    return chip;
}

// A new volume needs a restart (the envelope takes its volume only then); a new rate alone is
// written without one, so the wave keeps its phase and a glide or vibrato does not click.
void PlaySquare(int index, const SquarePlan& plan, std::uintptr_t envelope,
                std::uintptr_t control) {
    SquarePlan& loaded = gSound.loaded.square[index];
    if (!gSound.started[index] || plan.volume != loaded.volume) {
        hw::Reg<std::uint16_t>(envelope) = std::uint16_t(hw::kSoundDuty50 | plan.volume << 12);
        hw::Reg<std::uint16_t>(control) = std::uint16_t(plan.rate | hw::kSoundRestart);
        gSound.started[index] = true;
    } else if (plan.rate != loaded.rate) {
        hw::Reg<std::uint16_t>(control) = plan.rate;
    }
    loaded = plan;
}

void PlayWave(const WavePlan& plan) {
    WavePlan& loaded = gSound.loaded.wave;
    const bool running = gSound.started[2];
    if (!running || plan.volume != loaded.volume || plan.cycles != loaded.cycles ||
        plan.shape != loaded.shape) {
        SwitchWavePattern(plan, running,
                          running && plan.cycles != loaded.cycles ? loaded.cycles : 0);
    }
    if (!running) {
        WriteWaveRate(std::uint16_t(plan.rate | hw::kSoundRestart));
        gSound.started[2] = true;
    } else if (plan.rate != loaded.rate) {
        WriteWaveRate(plan.rate);
    }
    loaded = plan;
}

// `rewritten`: the game wrote the chip's noise control, which restarts its shift register.
void PlayNoise(const NoisePlan& plan, bool rewritten) {
    NoisePlan& loaded = gSound.loaded.noise;
    if (!gSound.started[3] || rewritten || plan.volume != loaded.volume) {
        hw::Reg<std::uint16_t>(hw::kSound4cntL) = std::uint16_t(plan.volume << 12);
        hw::Reg<std::uint16_t>(hw::kSound4cntH) = std::uint16_t(plan.control | hw::kSoundRestart);
        gSound.started[3] = true;
    } else if (plan.control != loaded.control) {
        hw::Reg<std::uint16_t>(hw::kSound4cntH) = plan.control;
    }
    loaded = plan;
}

} // namespace

void StartSound() {
    // The master switch first: the other registers take writes only while it is on.
    hw::Reg<std::uint16_t>(hw::kSoundcntX) = hw::kSoundMasterOn;
    hw::Reg<std::uint16_t>(hw::kSoundcntL) = 0; // all silent
    hw::Reg<std::uint16_t>(hw::kSoundcntH) = hw::kSoundPsgFull;
    hw::Reg<std::uint16_t>(hw::kSound1cntL) = 0; // no sweep
    hw::Reg<std::uint16_t>(hw::kSound3cntL) = hw::kWaveOn;
    hw::Reg<std::uint16_t>(hw::kSound3cntH) = hw::kWaveFull;
    gSound = SoundState{};
    // The clock for the wave channel's position.
    hw::StartCycleCount();
}

void UpdateSound(const Psg& psg) {
    // The wave channel's steps are counted from its last rate write; a tone held for minutes
    // would take that past what 32 bits of cycles can say, so they are taken in now and then.
    if (gSound.started[2] && Cycles() - gSound.waveWrittenAt > (1u << 30)) {
        const std::uint32_t steps = WaveStepsBy(Cycles());
        gSound.wavePhase = (gSound.wavePhase + steps - gSound.waveCounted) & 31;
        gSound.waveCounted = 0;
        gSound.waveWrittenAt += steps * gSound.waveStep;
    }
    const ChipState chip = Snapshot(psg);
    if (gSound.valid && chip == gSound.chip) {
        return;
    }
    const bool noiseRewritten = !gSound.valid || chip.noiseWrites != gSound.chip.noiseWrites;
    gSound.chip = chip;
    gSound.valid = true;

    const SoundPlan plan = PlanSound(psg);
    std::uint16_t enables = 0;
    // A silent channel is only taken out of the mix: its registers stay as they were, so it
    // comes back without a restart when the game turns it up to the same volume.
    if (plan.square[0].volume) {
        PlaySquare(0, plan.square[0], hw::kSound1cntH, hw::kSound1cntX);
        enables |= 1;
    }
    if (plan.square[1].volume) {
        PlaySquare(1, plan.square[1], hw::kSound2cntL, hw::kSound2cntH);
        enables |= 2;
    }
    if (plan.wave.volume) {
        PlayWave(plan.wave);
        enables |= 4;
    }
    if (plan.noise.volume) {
        PlayNoise(plan.noise, noiseRewritten);
        enables |= 8;
    }
    const std::uint16_t mix =
        std::uint16_t(plan.master | plan.master << 4 | enables << 8 | enables << 12);
    if (mix != gSound.mix) {
        gSound.mix = mix;
        hw::Reg<std::uint16_t>(hw::kSoundcntL) = mix;
    }
}

void StopSound() {
    hw::Reg<std::uint16_t>(hw::kSoundcntL) = 0;
    // Switching the master off also clears every PSG register.
    hw::Reg<std::uint16_t>(hw::kSoundcntX) = 0;
    hw::Reg<std::uint16_t>(hw::kTm0cntH) = 0;
    hw::Reg<std::uint16_t>(hw::kTm1cntH) = 0;
    gSound.valid = false;
}

} // namespace rix::gba
