// The game's sound on the GBA against the host's reference mixer (Psg::Generate): our sound
// program (tests/fixtures/sound) plays a scale on each tone channel, the attenuation steps and
// both kinds of noise, one step every few frames; each step's sound is captured from the
// harness and measured on both sides.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FrameCompare.h"
#include "SoundMeasure.h"
#include "app/SoundPlan.h"
#include "app/TestPort.h"
#include "core/Machine.h"

namespace rix::test {
namespace {

using rix::emu::Psg;

// tests/fixtures/sound/sound.asm: the step playing is at 7000h (0xFF before the first).
constexpr std::uint16_t kStepIndex = 0x7000;
constexpr int kSteps = 64;
constexpr int kScale[12] = {1023, 762, 508, 381, 254, 190, 127, 95, 64, 43, 32, 16};
constexpr int kFirstAttenuationStep = 36; // tone 0 at N = 254, attenuations 0..15
constexpr int kFirstWhiteStep = 52;       // rates 0, 1, 2, following tone 2 (N = 64)
constexpr int kFirstPeriodicStep = 56;
constexpr int kRewriteStep = 60;  // tone 0 at N = 254, its bytes written every frame
constexpr int kSquareWobble = 61; // the same, attenuation 2 and 3 in turn
constexpr int kWaveWobble = 62;   // tone 2 at N = 254, attenuation 2 and 3 in turn
constexpr int kSilentStep = 63;
constexpr std::uint16_t kNoiseFollowPeriod = 64;
// Each step lasts eight frames; the first two of them (the change may fall inside a GBA frame
// late on either side) and the last are left out of the measures.
constexpr int kStepFrames = 8;
constexpr int kLeadFrames = 2;
constexpr int kTailFrames = 1;

struct Frame {
    int step;
    Samples samples;
};

// Each step's samples, from the frames well inside it.
std::map<int, Samples> ByStep(const std::vector<Frame>& frames) {
    std::map<int, Samples> steps;
    std::size_t i = 0;
    while (i < frames.size()) {
        std::size_t end = i;
        while (end < frames.size() && frames[end].step == frames[i].step) {
            ++end;
        }
        // The first and last steps seen may be cut off, but their frames well inside count.
        if (end - i > std::size_t(kLeadFrames + kTailFrames + 1)) {
            Samples& into = steps[frames[i].step];
            for (std::size_t f = i + kLeadFrames; f < end - kTailFrames; ++f) {
                into.insert(into.end(), frames[f].samples.begin(), frames[f].samples.end());
            }
        }
        i = end;
    }
    return steps;
}

const std::vector<std::uint8_t>& SoundRom() {
    static const std::vector<std::uint8_t> rom =
        ReadFile(std::string(RIX_SOURCE_DIR) + "/tests/fixtures/sound/sound.rom");
    return rom;
}

// The host: the machine writing Psg's output at the harness's rate, frame by frame.
std::vector<Frame> HostFrames(int count) {
    auto machine = std::make_unique<rix::emu::Machine>();
    rix::emu::MachineConfig config;
    config.rom = SoundRom().data();
    config.romSize = std::uint32_t(SoundRom().size());
    machine->Load(config);
    std::vector<Frame> frames;
    Samples buffer(rix::emu::Machine::MaxSamplesPerFrame(kAudioRate));
    for (int f = 0; f < count; ++f) {
        const std::size_t n = machine->RunFrame(nullptr, buffer.data(), kAudioRate);
        frames.push_back({machine->Ram()[kStepIndex & 0x3FF],
                          Samples(buffer.begin(), buffer.begin() + std::ptrdiff_t(n))});
    }
    return frames;
}

// The GBA: the program started from the menu and let run, each GBA frame's sound with the step
// the game is on after it.
struct GbaRun {
    std::unique_ptr<GbaGame> game;
    std::vector<Frame> frames;
};

// Runs until step `untilStep` has played for `frames` frames.
GbaRun RunOnGba(int untilStep, int frames) {
    GbaRun run;
    run.game = std::make_unique<GbaGame>(TestImage(), Game{SoundRom()});
    GbaMachine& gba = run.game->Machine();
    const std::uint32_t ram = gba.Read32(gba::kTestPortAddress + offsetof(gba::TestPort, ram));
    gba.Write32(gba::kTestPortAddress + offsetof(gba::TestPort, stopAt), 0);
    gba.CaptureAudio(true);
    int framesOnIt = 0;
    for (int f = 0; f < 2000 && framesOnIt < frames; ++f) {
        gba.RunFrames(1);
        const int step = gba.Read8(ram + (kStepIndex & 0x3FF));
        run.frames.push_back({step, gba.TakeAudio()});
        framesOnIt = step == untilStep ? framesOnIt + 1 : 0;
    }
    return run;
}

class GbaSound : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        host_ = std::make_unique<std::map<int, Samples>>(
            ByStep(HostFrames((kSteps + 2) * kStepFrames)));
        GbaRun run = RunOnGba(kSilentStep, kStepFrames + 2);
        gba_ = std::make_unique<std::map<int, Samples>>(ByStep(run.frames));
        Samples all;
        for (const Frame& f : run.frames) {
            all.insert(all.end(), f.samples.begin(), f.samples.end());
        }
        // For listening: the sequence as the GBA played it.
        WriteWav(std::string(RIX_BINARY_DIR) + "/sound-gba.wav", all, kAudioRate);
    }
    static void TearDownTestSuite() {
        host_.reset();
        gba_.reset();
    }
    static const Samples& Host(int step) { return host_->at(step); }
    static const Samples& Gba(int step) { return gba_->at(step); }
    static bool Have(int step) { return host_->count(step) && gba_->count(step); }

    static std::unique_ptr<std::map<int, Samples>> host_;
    static std::unique_ptr<std::map<int, Samples>> gba_;
};

std::unique_ptr<std::map<int, Samples>> GbaSound::host_;
std::unique_ptr<std::map<int, Samples>> GbaSound::gba_;

TEST_F(GbaSound, EveryStepIsHeardOnBothSides) {
    for (int step = 0; step < kSteps; ++step) {
        EXPECT_TRUE(Have(step)) << "step " << step << " not captured whole";
    }
}

// Each note of the scale on each tone channel: the GBA's fundamental within 1% of the host's,
// or within the rate register's resolution where that is coarser (the square channels below
// N = 43); and every note as loud, relative to tone 0's 440 Hz, as on the host.
TEST_F(GbaSound, ScalesOnEachToneChannel) {
    const int reference = kFirstAttenuationStep; // tone 0, N = 254, attenuation 0
    ASSERT_TRUE(Have(reference));
    for (int channel = 0; channel < 3; ++channel) {
        for (int note = 0; note < 12; ++note) {
            const int step = channel * 12 + note;
            if (!Have(step)) {
                ADD_FAILURE() << "step " << step << " missing";
                continue;
            }
            const auto period = std::uint16_t(kScale[note]);
            const double chip = double(Psg::kClockHz) / (32.0 * period);
            const double host = Fundamental(Host(step), kAudioRate);
            const double gba = Fundamental(Gba(step), kAudioRate);
            // The GBA register's resolution: half a step of 2048 - x either way.
            double steps = 2048 - gba::SquareRate(period);
            if (channel == 2) {
                steps = 2048 - gba::WaveRate(period, gba::WaveCycles(period));
            }
            const double tolerance = std::max(0.01, 0.5 / steps) + 0.001;
            SCOPED_TRACE("tone " + std::to_string(channel) + ", N = " + std::to_string(period));
            EXPECT_NEAR(host / chip, 1.0, 0.002) << host << " Hz";
            EXPECT_NEAR(gba / host, 1.0, tolerance)
                << gba << " Hz on the GBA, " << host << " Hz on the host";
            // Loudness balanced across the channels; above 3 kHz both sides' filtering of the
            // square's harmonics differ, so the loudness is compared below that.
            if (chip < 3000) {
                const double hostDb = Decibels(Rms(Host(step)) / Rms(Host(reference)));
                const double gbaDb = Decibels(Rms(Gba(step)) / Rms(Gba(reference)));
                EXPECT_NEAR(gbaDb, hostDb, 1.0);
            }
        }
    }
}

// Tone 0 through the 16 attenuations: in order, 15 silent, each step as loud as the host's.
TEST_F(GbaSound, AttenuationSteps) {
    const int first = kFirstAttenuationStep;
    ASSERT_TRUE(Have(first));
    const double hostLoudest = Rms(Host(first));
    const double gbaLoudest = Rms(Gba(first));
    ASSERT_GT(gbaLoudest, 0);
    double previous = gbaLoudest;
    for (int attenuation = 0; attenuation < 16; ++attenuation) {
        const int step = first + attenuation;
        if (!Have(step)) {
            ADD_FAILURE() << "step " << step << " missing";
            continue;
        }
        SCOPED_TRACE("attenuation " + std::to_string(attenuation));
        const double gba = Rms(Gba(step));
        if (attenuation > 0) {
            EXPECT_LT(gba, previous * 0.9) << "not quieter than the step before";
        }
        previous = gba;
        if (attenuation == 15) {
            // The GBA's channels swing between 0 and their volume: one taken out of the mix
            // leaves a step of its mean level, which the output's high-pass filter lets die
            // away. Nothing else moves.
            EXPECT_LT(Movement(Gba(step)), Movement(Gba(first)) * 0.01);
            EXPECT_LT(Rms(Host(step)), hostLoudest * 0.001);
            continue;
        }
        const double hostDb = Decibels(Rms(Host(step)) / hostLoudest);
        const double gbaDb = Decibels(gba / gbaLoudest);
        EXPECT_NEAR(hostDb, -2.0 * attenuation, 0.3);
        EXPECT_NEAR(gbaDb, hostDb, 0.7);
    }
}

// White and periodic noise at the three fixed rates and following tone 2: present, as loud as a
// tone on both sides, periodic where the chip's is (at the period of 15 shifts, at the host's
// pitch) and not where it is white, and white noise about as dense as the host's.
TEST_F(GbaSound, NoiseKindsAndRates) {
    const double hostTone = Rms(Host(kFirstAttenuationStep));
    const double gbaTone = Rms(Gba(kFirstAttenuationStep));
    for (int rate = 0; rate < 4; ++rate) {
        const std::uint32_t ticks = rate < 3 ? 32u << rate : 2u * kNoiseFollowPeriod;
        // 15 shifts of the register, in samples.
        const double period = 15.0 * ticks * Psg::kClocksPerTick * kAudioRate / Psg::kClockHz;
        const int lag = int(std::lround(period));
        for (bool white : {true, false}) {
            const int step = (white ? kFirstWhiteStep : kFirstPeriodicStep) + rate;
            SCOPED_TRACE(std::string(white ? "white" : "periodic") + " noise, rate " +
                         std::to_string(rate));
            if (!Have(step)) {
                ADD_FAILURE() << "step " << step << " missing";
                continue;
            }
            const Samples& host = Host(step);
            const Samples& gba = Gba(step);
            EXPECT_GT(Rms(host), hostTone * 0.3);
            EXPECT_GT(Rms(gba), gbaTone * 0.3);
            if (white) {
                // Soon after the chip's reset of the register its white noise still repeats
                // somewhat: the threshold lies well below the periodic noise's.
                EXPECT_LT(std::abs(Periodicity(host, lag)), 0.5);
                EXPECT_LT(std::abs(Periodicity(gba, lag)), 0.5);
                // The noise channel's rates are a coarse grid (the nearest within 12%), and a
                // few hundred crossings leave the count some 10% of chance.
                EXPECT_NEAR(CrossingRate(gba, kAudioRate) / CrossingRate(host, kAudioRate), 1.0,
                            0.3);
                EXPECT_NEAR(Rms(gba) / gbaTone, Rms(host) / hostTone, 0.2);
            } else {
                EXPECT_GT(Periodicity(host, lag), 0.6);
                EXPECT_GT(Periodicity(gba, lag), 0.6);
                const double hostHz = Fundamental(host, kAudioRate);
                EXPECT_NEAR(hostHz * period / kAudioRate, 1.0, 0.01);
                EXPECT_NEAR(Fundamental(gba, kAudioRate) / hostHz, 1.0, 0.01);
                EXPECT_NEAR(Decibels(Rms(gba) / gbaTone), Decibels(Rms(host) / hostTone), 1.5);
            }
        }
    }
}

// A game that writes a tone's registers again every frame, with the same values or with its
// attenuation changing, keeps the wave's cycles regular: no restarted phase, no click a frame;
// also on the wave channel, where a new attenuation is a new pattern in the other bank of wave
// RAM.
TEST_F(GbaSound, RewritesKeepTheWavesCycles) {
    const double expected = double(kAudioRate) * 32 * 254 / Psg::kClockHz;
    for (int step : {kRewriteStep, kSquareWobble, kWaveWobble}) {
        ASSERT_TRUE(Have(step));
        for (const bool onGba : {false, true}) {
            SCOPED_TRACE("step " + std::to_string(step) + (onGba ? " on the GBA" : " on the host"));
            const std::vector<double> at = RisingCrossings(onGba ? Gba(step) : Host(step));
            ASSERT_GT(at.size(), 20u);
            std::vector<double> cycles;
            for (std::size_t i = 1; i < at.size(); ++i) {
                cycles.push_back(at[i] - at[i - 1]);
            }
            std::sort(cycles.begin(), cycles.end());
            const double period = cycles[cycles.size() / 2];
            EXPECT_NEAR(period / expected, 1.0, 0.015); // within a sample
            double worst = 0;
            for (double cycle : cycles) {
                worst = std::max(worst, std::abs(cycle - period));
            }
            EXPECT_LT(worst, 1.5) << "a cycle of " << period << " samples off by " << worst;
        }
    }
}

TEST_F(GbaSound, SilentWhenTheGameSilencesTheChip) {
    ASSERT_TRUE(Have(kSilentStep));
    EXPECT_LT(Movement(Gba(kSilentStep)), Movement(Gba(kFirstAttenuationStep)) * 0.01);
}

// Leaving the game (back to the menu) switches the sound off in the middle of a note.
TEST(GbaSoundLeave, LeavingTheGameSilencesTheSound) {
    GbaRun run = RunOnGba(kFirstAttenuationStep, 4);
    GbaMachine& gba = run.game->Machine();
    const double note = Movement(run.frames.back().samples);
    ASSERT_GT(Rms(run.frames.back().samples), 1000) << "the note to be cut is not playing";
    gba.SetKeys(kKeyL | kKeyR | kKeySelect | kKeyStart);
    const int ran = gba.RunUntil(
        [&] { return gba.Read32(gba::kTestPortAddress + offsetof(gba::TestPort, game)) == 0; },
        200);
    gba.SetKeys(0);
    ASSERT_GE(ran, 0) << "the game was not left";
    gba.RunFrames(2);
    gba.TakeAudio();
    gba.RunFrames(10);
    EXPECT_LT(Rms(gba.TakeAudio()), note * 0.01);
    EXPECT_EQ(gba.Read8(0x04000084) & 0x80, 0) << "the GBA's sound is still on";
}

// The test suite's own sound test (Audio Tests, Sound Test), which plays a tone near 1 kHz: heard
// on the GBA, clean, at the host's pitch.
TEST(GbaSoundSuite, TheTestSuitesSoundTest) {
    const std::vector<std::uint8_t> rom =
        ReadFile(std::string(RIX_TESTDATA_DIR) + "/coleco/suitecv.rom");
    ASSERT_FALSE(rom.empty());
    // The suite reads the controller from frame 281 on.
    const std::vector<FramePress> presses = {
        {301, 306, kKeyDown}, {341, 346, kKeyDown}, {381, 386, kKeyA}, {421, 426, kKeyA}};
    constexpr std::uint32_t kFrom = 460;
    constexpr std::uint32_t kUntil = 520;

    rix::emu::MachineConfig config;
    config.rom = rom.data();
    config.romSize = std::uint32_t(rom.size());
    auto machine = std::make_unique<rix::emu::Machine>();
    machine->Load(config);
    Samples host;
    Samples buffer(rix::emu::Machine::MaxSamplesPerFrame(kAudioRate));
    for (std::uint32_t frame = 1; frame <= kUntil; ++frame) {
        std::uint16_t keys = 0;
        for (const FramePress& press : presses) {
            if (frame >= press.first && frame <= press.last) {
                keys = std::uint16_t(keys | press.keys);
            }
        }
        machine->SetKeys(keys);
        const std::size_t n = machine->RunFrame(nullptr, buffer.data(), kAudioRate);
        if (frame > kFrom) {
            host.insert(host.end(), buffer.begin(), buffer.begin() + std::ptrdiff_t(n));
        }
    }

    GbaGame gba(TestImage(), Game{rom, {"Test suite"}, presses});
    gba.ShowFrame(kFrom);
    gba.Machine().CaptureAudio(true);
    gba.Machine().Write32(gba::kTestPortAddress + offsetof(gba::TestPort, stopAt), kUntil);
    ASSERT_GE(gba.Machine().RunUntil([&] { return gba.Frames() >= kUntil; }, 200), 0);
    const Samples played = gba.Machine().TakeAudio();

    const double hostHz = Fundamental(host, kAudioRate);
    ASSERT_GT(Rms(host), 1000) << "the suite's sound test plays nothing on the host";
    EXPECT_NEAR(hostHz, 1000, 50);
    EXPECT_NEAR(Fundamental(played, kAudioRate) / hostHz, 1.0, 0.01);
    EXPECT_GT(Periodicity(played, int(std::lround(kAudioRate / hostHz))), 0.9);
    EXPECT_GT(Rms(played), 1000);
}

} // namespace
} // namespace rix::test
