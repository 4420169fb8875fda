// gba-shot: runs a GBA image headless and saves a screenshot.
//   gba-shot IMAGE OUT.png [--frames N] [--keys KEY,KEY,...] [--game-frames N] [--scale S]
//            [--text] [--wav OUT.wav] [--press KEY@FIRST[-LAST]]...
// Runs N frames (default 60), taps each key in turn (a b select start right left up down r l;
// keys joined by + are tapped together, as l+r+select), then, with --game-frames, runs until the
// game started from the menu has run N emulated frames (the image's test port counts them), and
// writes the screen scaled S times (default 1); --text also prints the screen's text; --wav
// writes the sound of the whole run (16-bit mono, 32,768 Hz), to listen to or look at; --press
// holds a key in the game's emulated frames FIRST to LAST (counted from 1, through the image's
// test port, as rix-run's --press does).
#include <cctype>
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
                         "[--game-frames N] [--scale S] [--text] [--wav OUT.wav] "
                         "[--press KEY@FIRST[-LAST]]...\n");
    return 2;
}

bool OneKey(std::string name, std::uint16_t& bit) {
    for (char& c : name) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
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
    std::vector<rix::gba::TestPress> presses;
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
        } else if (arg == "--press" && i + 1 < argc) {
            // KEY@FIRST or KEY@FIRST-LAST
            const std::string text = argv[++i];
            const std::size_t at = text.find('@');
            const std::size_t dash = text.find('-', at == std::string::npos ? 0 : at);
            int first = 0;
            int last = 0;
            std::uint16_t bit = 0;
            if (at == std::string::npos || !OneKey(text.substr(0, at), bit) ||
                !ParseInt(text.substr(at + 1,
                                      dash == std::string::npos ? std::string::npos : dash - at - 1)
                              .c_str(),
                          1, 1000000, first) ||
                (dash != std::string::npos &&
                 !ParseInt(text.substr(dash + 1).c_str(), first, 1000000, last))) {
                std::fprintf(stderr, "gba-shot: bad press '%s'\n", text.c_str());
                return 2;
            }
            if (presses.size() == std::size_t(rix::gba::kTestPortPresses)) {
                std::fprintf(stderr, "gba-shot: at most %d presses\n", rix::gba::kTestPortPresses);
                return 2;
            }
            presses.push_back({std::uint32_t(first),
                               std::uint32_t(dash == std::string::npos ? first : last), bit});
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
        machine.CaptureAudio(!wav.empty());
        machine.RunFrames(frames);
        // Behind the start-up, which clears the test port.
        const std::uint32_t port = rix::gba::kTestPortAddress;
        for (std::size_t k = 0; k < presses.size(); ++k) {
            const std::uint32_t entry = port + std::uint32_t(offsetof(rix::gba::TestPort, presses) +
                                                             k * sizeof(rix::gba::TestPress));
            machine.Write32(entry + offsetof(rix::gba::TestPress, first), presses[k].first);
            machine.Write32(entry + offsetof(rix::gba::TestPress, last), presses[k].last);
            machine.Write32(entry + offsetof(rix::gba::TestPress, keys), presses[k].keys);
        }
        machine.Write32(port + offsetof(rix::gba::TestPort, pressCount),
                        std::uint32_t(presses.size()));
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
