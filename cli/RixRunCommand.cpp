#include "cli/RixRunCommand.h"

#include "builder/RomIdentity.h"
#include "cli/GameFile.h"
#include "cli/RunOutput.h"
#include "core/Machine.h"
#include "settings/VersionInfo.h"

#include <cctype>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

namespace rix::cli {

namespace {

constexpr std::string_view kProgram = "rix-run";
constexpr std::string_view kUsage =
    "Usage: rix-run GAME.rom|Rix.gba [OPTION]...\n"
    "Runs a ColecoVision game on the emulated console, without a window: a ROM file, or a game\n"
    "of a cartridge built by rix-build, configured as the GBA program configures it.\n"
    "\n"
    "      --game N             the cartridge's game N, numbered as its menu lists them\n"
    "                           (default 1)\n"
    "      --frames N           run N frames of 1/60 s (default 300)\n"
    "      --png FILE           write the last frame as a PNG picture\n"
    "      --png-every K DIR    write every K-th frame as DIR/frame-NNNNN.png (from 1)\n"
    "      --border             add 16 pixels of the backdrop colour around the pictures\n"
    "      --wav FILE           write the sound of the whole run (16-bit mono, 44,100 Hz)\n"
    "      --press KEY@F[-L]    hold a GBA button during frame F (to L), counted from 1;\n"
    "                           KEY: A, B, SELECT, START, L, R, UP, DOWN, LEFT, RIGHT;\n"
    "                           may be repeated\n"
    "      --bios FILE          the console's BIOS (8,192 bytes) instead of the one on the\n"
    "                           cartridge or Rix's own\n"
    "  -h, --help               show this help and exit\n"
    "      --version            show the version and exit\n";

constexpr std::uint32_t kDefaultFrames = 300;
constexpr std::uint32_t kMostFrames = 1000000; // over four hours; the WAV stays below 2 GiB

struct Press {
    std::uint16_t key;
    std::uint32_t first;
    std::uint32_t last;
};

struct Options {
    std::optional<std::string> file;
    std::uint32_t game = 1;
    std::uint32_t frames = kDefaultFrames;
    std::optional<std::string> png;
    std::uint32_t pngEvery = 0;
    std::string pngDir;
    bool border = false;
    std::optional<std::string> wav;
    std::vector<Press> presses;
    std::optional<std::string> bios;
    bool help = false;
    bool version = false;
};

struct KeyName {
    std::string_view name;
    std::uint16_t key;
};
constexpr KeyName kKeys[] = {
    {"A", emu::kGbaA},         {"B", emu::kGbaB},       {"SELECT", emu::kGbaSelect},
    {"START", emu::kGbaStart}, {"L", emu::kGbaL},       {"R", emu::kGbaR},
    {"UP", emu::kGbaUp},       {"DOWN", emu::kGbaDown}, {"LEFT", emu::kGbaLeft},
    {"RIGHT", emu::kGbaRight},
};

// A decimal number from `low` to `high`, digits only.
std::optional<std::uint32_t> Number(std::string_view text, std::uint32_t low, std::uint32_t high) {
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + std::uint64_t(c - '0');
    }
    if (value < low || value > high) {
        return std::nullopt;
    }
    return std::uint32_t(value);
}

// Returns an error text, or nothing.
std::optional<std::string> ParsePress(const std::string& text, Press& press) {
    const std::string option = "--press " + text;
    const std::size_t at = text.find('@');
    if (at == std::string::npos) {
        return option + ": expected KEY@FRAME or KEY@FIRST-LAST";
    }
    std::string name = text.substr(0, at);
    for (char& c : name) {
        c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    press.key = 0;
    for (const KeyName& k : kKeys) {
        if (k.name == name) {
            press.key = k.key;
        }
    }
    if (press.key == 0) {
        return option + ": unknown key '" + text.substr(0, at) +
               "' (A, B, SELECT, START, L, R, UP, DOWN, LEFT, RIGHT)";
    }
    const std::string range = text.substr(at + 1);
    const std::size_t dash = range.find('-');
    const auto first = Number(std::string_view(range).substr(0, dash), 1, 0xFFFFFFFFu);
    const auto last = dash == std::string::npos
                          ? first
                          : Number(std::string_view(range).substr(dash + 1), 1, 0xFFFFFFFFu);
    if (!first || !last || *last < *first) {
        return option + ": bad frame range '" + range +
               "' (FRAME or FIRST-LAST, counted from 1, FIRST <= LAST)";
    }
    press.first = *first;
    press.last = *last;
    return std::nullopt;
}

struct UsageError {
    std::string text;
    bool hint = true; // add where the help is
};

// Returns the usage error, or nothing.
std::optional<UsageError> Parse(const std::vector<std::string>& args, Options& options) {
    bool onlyFiles = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> attached;
        if (!onlyFiles && arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            attached = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
        }
        auto value = [&]() -> std::optional<std::string> {
            if (attached) {
                return attached;
            }
            if (i + 1 >= args.size()) {
                return std::nullopt;
            }
            return args[++i];
        };
        const std::string needs = "option '" + arg + "' needs an argument";
        auto number = [&](const char* what, std::uint32_t low, std::uint32_t high,
                          std::uint32_t& into) -> std::optional<UsageError> {
            const auto text = value();
            if (!text) {
                return UsageError{needs};
            }
            const auto n = Number(*text, low, high);
            if (!n) {
                return UsageError{arg + " " + *text + ": " + what + " must be a number from " +
                                      std::to_string(low) + " to " + std::to_string(high),
                                  false};
            }
            into = *n;
            return std::nullopt;
        };
        if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
            if (options.file) {
                return UsageError{"one GAME file only, got '" + *options.file + "' and '" + arg +
                                  "'"};
            }
            options.file = arg;
        } else if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "--game") {
            if (auto e = number("the game", 1, 0xFFFFFFFFu, options.game)) {
                return e;
            }
        } else if (arg == "--frames") {
            if (auto e = number("the frame count", 1, kMostFrames, options.frames)) {
                return e;
            }
        } else if (arg == "--png" || arg == "--wav" || arg == "--bios") {
            const auto text = value();
            if (!text) {
                return UsageError{needs};
            }
            (arg == "--png" ? options.png : arg == "--wav" ? options.wav : options.bios) = *text;
        } else if (arg == "--png-every" && !attached) {
            if (auto e = number("K", 1, kMostFrames, options.pngEvery)) {
                return e;
            }
            const auto dir = value();
            if (!dir) {
                return UsageError{"option '--png-every' needs K and a directory"};
            }
            options.pngDir = *dir;
        } else if (arg == "--press") {
            const auto text = value();
            if (!text) {
                return UsageError{needs};
            }
            Press press{};
            if (auto e = ParsePress(*text, press)) {
                return UsageError{*e, false};
            }
            options.presses.push_back(press);
        } else if (arg == "--border" && !attached) {
            options.border = true;
        } else if ((arg == "-h" || arg == "--help") && !attached) {
            options.help = true;
        } else if (arg == "--version" && !attached) {
            options.version = true;
        } else {
            return UsageError{"unknown option '" + args[i] + "'"};
        }
    }
    if (!options.file && !options.help && !options.version) {
        return UsageError{"no GAME file given"};
    }
    return std::nullopt;
}

std::string FramePath(const std::string& dir, std::uint32_t frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%05u.png", unsigned(frame));
    return (std::filesystem::path(dir) / name).string();
}

// What ran, in one line.
std::string Summary(const std::string& path, const run::GameFile& game, const Options& options) {
    std::string text = path + ": ";
    if (game.cartridge) {
        text += "game " + std::to_string(game.game) + " of " + std::to_string(game.games) + ", ";
    }
    if (!game.name.empty()) {
        text += "\"" + game.name + "\" (ROM key " + FormatRomKey(game.crc) + "), ";
    } else {
        text += "ROM key " + FormatRomKey(game.crc) + ", ";
    }
    text += std::to_string(options.frames) + (options.frames == 1 ? " frame" : " frames");
    if (options.bios) {
        text += ", BIOS " + *options.bios;
    } else if (game.cartridgeBios) {
        text += ", the cartridge's BIOS";
    } else {
        text += ", Rix's own BIOS";
    }
    return text;
}

} // namespace

int RunRixRun(const std::vector<std::string>& args, const Console& console) {
    auto fail = [&](const std::string& text) {
        std::fprintf(console.err, "%s: %s\n", kProgram.data(), text.c_str());
        return 1;
    };
    Options options;
    if (auto usage = Parse(args, options)) {
        return fail(usage->hint ? usage->text + " (see 'rix-run --help')" : usage->text);
    }
    if (options.help) {
        std::fputs(kUsage.data(), console.out);
        return 0;
    }
    if (options.version) {
        const TQzVersionInfo versionInfo;
        std::fprintf(console.out, "%s %s\n", kProgram.data(),
                     versionInfo.VersionString(TQzVersionInfo::kFileVersion).c_str());
        return 0;
    }

    run::GameFile game;
    std::vector<std::uint8_t> bios;
    try {
        game = run::LoadGame(*options.file, options.game);
        if (options.bios) {
            bios = run::LoadBios(*options.bios);
            game.config.bios = bios.data();
        }
    } catch (const run::RunError& e) {
        return fail(e.what());
    }
    if (options.pngEvery != 0) {
        std::error_code error;
        std::filesystem::create_directories(options.pngDir, error);
        if (error) {
            return fail("cannot create " + options.pngDir + ": " + error.message());
        }
    }
    run::WavWriter wav;
    if (options.wav) {
        if (const std::string error = wav.Open(*options.wav); !error.empty()) {
            return fail(error);
        }
    }

    auto machine = std::make_unique<emu::Machine>();
    machine->Load(game.config);
    const int border = options.border ? run::kBorder : 0;
    std::vector<std::uint8_t> picture(emu::Vdp::kWidth * emu::Vdp::kActiveLines);
    std::vector<std::int16_t> samples(
        emu::Machine::MaxSamplesPerFrame(run::WavWriter::kSampleRate));
    for (std::uint32_t frame = 1; frame <= options.frames; ++frame) {
        std::uint16_t held = 0;
        for (const Press& press : options.presses) {
            if (frame >= press.first && frame <= press.last) {
                held |= press.key;
            }
        }
        machine->SetKeys(held);
        // Only the frames that are written are drawn.
        const bool everyKth = options.pngEvery != 0 && frame % options.pngEvery == 0;
        const bool drawn = everyKth || (options.png && frame == options.frames);
        const std::size_t count =
            machine->RunFrame(drawn ? picture.data() : nullptr,
                              options.wav ? samples.data() : nullptr, run::WavWriter::kSampleRate);
        if (options.wav) {
            wav.Write(samples.data(), count);
        }
        if (everyKth) {
            const std::string error =
                run::WriteFramePng(FramePath(options.pngDir, frame), picture.data(),
                                   machine->Video().Backdrop(), border);
            if (!error.empty()) {
                return fail(error);
            }
        }
    }
    if (options.png) {
        const std::string error =
            run::WriteFramePng(*options.png, picture.data(), machine->Video().Backdrop(), border);
        if (!error.empty()) {
            return fail(error);
        }
    }
    if (options.wav) {
        if (const std::string error = wav.Finish(); !error.empty()) {
            return fail(error);
        }
    }
    std::fprintf(console.out, "%s\n", Summary(*options.file, game, options).c_str());
    return 0;
}

} // namespace rix::cli
