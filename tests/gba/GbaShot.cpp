// gba-shot: runs a GBA image headless and saves a screenshot.
//   gba-shot IMAGE OUT.png [--frames N] [--keys KEY,KEY,...] [--game-frames N] [--scale S]
//            [--text] [--wav OUT.wav]
// Runs N frames (default 60), taps each key in turn (a b select start right left up down r l;
// keys joined by + are tapped together, as l+r+select), then, with --game-frames, runs until the
// game started from the menu has run N emulated frames (the image's test port counts them), and
// writes the screen scaled S times (default 1); --text also prints the screen's text; --wav
// writes the sound of the whole run (16-bit mono, 32,768 Hz), to listen to or look at.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <sstream>
#include <string>
#include <vector>

#include "Cartridge.h"
#include "GbaMachine.h"
#include "SoundMeasure.h"
#include "app/TestPort.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: gba-shot IMAGE OUT.png [--frames N] [--keys KEY,...] "
                         "[--game-frames N] [--scale S] [--text] [--wav OUT.wav]\n");
    return 2;
}

bool OneKey(const std::string& name, std::uint16_t& bit) {
    static const std::pair<const char*, std::uint16_t> kKeys[] = {
        {"a", rix::test::kKeyA},           {"b", rix::test::kKeyB},
        {"select", rix::test::kKeySelect}, {"start", rix::test::kKeyStart},
        {"right", rix::test::kKeyRight},   {"left", rix::test::kKeyLeft},
        {"up", rix::test::kKeyUp},         {"down", rix::test::kKeyDown},
        {"r", rix::test::kKeyR},           {"l", rix::test::kKeyL},
    };
    for (const auto& [keyName, keyBit] : kKeys) {
        if (name == keyName) {
            bit = keyBit;
            return true;
        }
    }
    return false;
}

// "a" or "l+r+select".
bool KeyBit(const std::string& names, std::uint16_t& bits) {
    bits = 0;
    std::stringstream list(names);
    for (std::string name; std::getline(list, name, '+');) {
        std::uint16_t bit = 0;
        if (!OneKey(name, bit)) {
            return false;
        }
        bits = std::uint16_t(bits | bit);
    }
    return bits != 0;
}

bool ParseInt(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < low || v > high) {
        return false;
    }
    value = int(v);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return Usage();
    }
    int frames = 60;
    int gameFrames = 0;
    int scale = 1;
    bool printText = false;
    std::string wav;
    std::vector<std::uint16_t> keys;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--frames" && i + 1 < argc) {
            if (!ParseInt(argv[++i], 0, 1000000, frames)) {
                return Usage();
            }
        } else if (arg == "--game-frames" && i + 1 < argc) {
            if (!ParseInt(argv[++i], 1, 1000000, gameFrames)) {
                return Usage();
            }
        } else if (arg == "--scale" && i + 1 < argc) {
            if (!ParseInt(argv[++i], 1, 16, scale)) {
                return Usage();
            }
        } else if (arg == "--keys" && i + 1 < argc) {
            std::stringstream list(argv[++i]);
            for (std::string name; std::getline(list, name, ',');) {
                std::uint16_t bit = 0;
                if (!KeyBit(name, bit)) {
                    std::fprintf(stderr, "gba-shot: unknown key '%s'\n", name.c_str());
                    return 2;
                }
                keys.push_back(bit);
            }
        } else if (arg == "--wav" && i + 1 < argc) {
            wav = argv[++i];
        } else if (arg == "--text") {
            printText = true;
        } else {
            return Usage();
        }
    }
    try {
        rix::test::GbaMachine machine(rix::test::ReadFile(argv[1]));
        machine.RunFrames(frames);
        for (std::uint16_t key : keys) {
            machine.Tap(key, 10);
        }
        if (gameFrames > 0) {
            const std::uint32_t address =
                rix::gba::kTestPortAddress + offsetof(rix::gba::TestPort, frames);
            if (machine.RunUntil(
                    [&] { return machine.Read32(address) >= std::uint32_t(gameFrames); },
                    gameFrames * 20) < 0) {
                std::fprintf(stderr, "gba-shot: the game did not reach frame %d\n", gameFrames);
                return 1;
            }
            machine.RunFrames(2); // the frame's picture on the screen
        }
        if (printText) {
            for (const std::string& row : machine.Text()) {
                std::printf("%s\n", row.c_str());
            }
        }
        if (!wav.empty() && !rix::test::WriteWav(wav, machine.TakeAudio(), rix::test::kAudioRate)) {
            std::fprintf(stderr, "gba-shot: cannot write %s\n", wav.c_str());
            return 1;
        }
        if (!rix::test::WritePng(argv[2], rix::test::Scale(machine.Screen(), scale))) {
            std::fprintf(stderr, "gba-shot: cannot write %s\n", argv[2]);
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gba-shot: %s\n", e.what());
        return 1;
    }
    return 0;
}
