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
    bool operator==(const ChipState&) const = default;
};

struct SoundState {
    bool valid; // `chip` holds what was last played
    ChipState chip;
    SoundPlan loaded;       // what the channels' registers hold (volumes as last restarted)
    bool started[4];        // restarted since the sound was switched on
    std::uint16_t enables;  // SOUNDCNT_L's bits 8-11: the channels heard
    std::uint16_t waveBank; // kWaveBank1 or 0: the bank the wave channel plays
};

// In EWRAM: IWRAM has no room to spare while a game runs.
RIX_EWRAM_BSS SoundState gSound;

ChipState Snapshot(const Psg& psg) {
    ChipState chip{};
    for (int c = 0; c < Psg::kToneChannels; ++c) {
        chip.period[c] = psg.TonePeriod(c);
    }
    for (int c = 0; c < 4; ++c) {
        chip.attenuation[c] = psg.Attenuation(c);
    }
    chip.noise = psg.NoiseControl();
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
    if (!gSound.started[2] || plan.volume != loaded.volume || plan.cycles != loaded.cycles ||
        plan.shape != loaded.shape) {
        // Written into the bank not playing, which then plays: no restart, no gap.
        std::uint8_t bytes[16];
        WavePattern(plan, bytes);
        for (int i = 0; i < 4; ++i) {
            hw::Reg<std::uint32_t>(hw::kWaveRam + 4 * i) =
                std::uint32_t(bytes[4 * i]) | std::uint32_t(bytes[4 * i + 1]) << 8 |
                std::uint32_t(bytes[4 * i + 2]) << 16 | std::uint32_t(bytes[4 * i + 3]) << 24;
        }
        gSound.waveBank ^= hw::kWaveBank1;
        hw::Reg<std::uint16_t>(hw::kSound3cntL) = std::uint16_t(hw::kWaveOn | gSound.waveBank);
    }
    if (!gSound.started[2]) {
        hw::Reg<std::uint16_t>(hw::kSound3cntX) = std::uint16_t(plan.rate | hw::kSoundRestart);
        gSound.started[2] = true;
    } else if (plan.rate != loaded.rate) {
        hw::Reg<std::uint16_t>(hw::kSound3cntX) = plan.rate;
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
    hw::Reg<std::uint16_t>(hw::kSoundcntL) = hw::kSoundPsgVolumes;
    hw::Reg<std::uint16_t>(hw::kSoundcntH) = hw::kSoundPsgFull;
    hw::Reg<std::uint16_t>(hw::kSound1cntL) = 0; // no sweep
    hw::Reg<std::uint16_t>(hw::kSound3cntL) = hw::kWaveOn;
    hw::Reg<std::uint16_t>(hw::kSound3cntH) = hw::kWaveFull;
    gSound = SoundState{};
}

void UpdateSound(const Psg& psg) {
    const ChipState chip = Snapshot(psg);
    if (gSound.valid && chip == gSound.chip) {
        return;
    }
    const bool noiseRewritten = !gSound.valid || chip.noise != gSound.chip.noise;
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
    if (enables != gSound.enables) {
        gSound.enables = enables;
        hw::Reg<std::uint16_t>(hw::kSoundcntL) =
            std::uint16_t(hw::kSoundPsgVolumes | enables << 8 | enables << 12);
    }
}

void StopSound() {
    hw::Reg<std::uint16_t>(hw::kSoundcntL) = 0;
    // Switching the master off also clears every PSG register.
    hw::Reg<std::uint16_t>(hw::kSoundcntX) = 0;
    gSound.valid = false;
}

} // namespace rix::gba
