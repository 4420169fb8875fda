#include "cli/RixBuildCommand.h"

#include "builder/RomListModel.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "settings/Schema.h"
#include "settings/VersionInfo.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

namespace rix::cli {

namespace {

constexpr std::string_view kProgram = "rix-build";
constexpr std::string_view kUsage =
    "Usage: rix-build [OPTION]... [ROM]...\n"
    "Adds the ColecoVision ROM files to the settings, then builds Rix.gba.\n"
    "\n"
    "  -s, --settings FILE  the settings file to load and save (default: Rix.INI in the\n"
    "                       current directory)\n"
    "  -o, --output DIR     write Rix.gba into DIR instead of the \"RixBinary\" setting\n"
    "  -y, --yes            replace an existing Rix.gba without asking\n"
    "      --no-save        do not write the settings file back\n"
    "  -q, --quiet          print errors only\n"
    "  -h, --help           show this help and exit\n"
    "      --version        show the version and exit\n";

struct Options {
    std::optional<std::string> settings;
    std::optional<std::string> output;
    bool yes = false;
    bool save = true;
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::vector<std::string> roms;
};

// A text for the terminal: "\r" in the windows' texts is a line break; other control bytes
// (from file names and settings values: escape sequences, say) are shown as \xNN, never sent
// as they are; a line longer than kLongestLine is cut.
constexpr std::size_t kLongestLine = 300;
std::string ForTerminal(std::string_view text) {
    std::string out;
    std::size_t column = 0;
    std::size_t cut = 0;
    auto endLine = [&] {
        if (cut > 0) {
            out += "... (" + std::to_string(cut) + " more bytes)";
        }
        column = 0;
        cut = 0;
    };
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r' || c == '\n') {
            endLine();
            out += '\n';
            continue;
        }
        if (column >= kLongestLine) {
            ++cut;
            continue;
        }
        if (byte < 0x20 || byte == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
        ++column;
    }
    endLine();
    return out;
}

class TerminalHost : public BuildHost {
public:
    TerminalHost(const Console& console, const Options& options)
        : console_(console), options_(options) {}

    void ShowMessage(std::string_view, std::string_view text, MessageIcon) override {
        EndBar();
        if (!options_.quiet) {
            std::fprintf(console_.err, "%s\n", ForTerminal(text).c_str());
        }
    }

    bool AskYesNo(std::string_view, std::string_view text, MessageIcon) override {
        if (options_.yes) {
            return true;
        }
        if (!console_.inIsTerminal) {
            refusedWithoutTerminal = true;
            return false;
        }
        EndBar();
        std::fprintf(console_.err, "%s [y/N] ", ForTerminal(text).c_str());
        std::fflush(console_.err);
        char line[64] = {};
        if (std::fgets(line, sizeof line, console_.in) == nullptr) {
            return false;
        }
        return line[0] == 'y' || line[0] == 'Y';
    }

    void ProgressSetup(int minimum, int maximum, int) override {
        minimum_ = minimum;
        maximum_ = maximum;
        position_ = minimum;
        Draw();
    }
    void ProgressStep() override {
        ++position_;
        Draw();
    }
    void ProgressSetPosition(int position) override {
        position_ = position;
        EndBar();
    }

    bool refusedWithoutTerminal = false;

private:
    void Draw() {
        if (!console_.errIsTerminal || options_.quiet || maximum_ <= minimum_) {
            return;
        }
        constexpr int kWidth = 40;
        const int filled = (position_ - minimum_) * kWidth / (maximum_ - minimum_);
        std::fprintf(console_.err, "\r[%-*s] %d/%d", kWidth, std::string(filled, '#').c_str(),
                     position_ - minimum_, maximum_ - minimum_);
        std::fflush(console_.err);
        barShown_ = true;
    }
    void EndBar() {
        if (barShown_) {
            std::fputc('\n', console_.err);
            barShown_ = false;
        }
    }

    const Console& console_;
    const Options& options_;
    int minimum_ = 0;
    int maximum_ = 0;
    int position_ = 0;
    bool barShown_ = false;
};

// Returns an error text for a usage error, or nothing.
std::optional<std::string> Parse(const std::vector<std::string>& args, Options& options) {
    bool onlyFiles = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::optional<std::string>& into) -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                return "option '" + arg + "' needs an argument";
            }
            into = args[++i];
            return std::nullopt;
        };
        if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
            options.roms.push_back(arg);
        } else if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "-s" || arg == "--settings") {
            if (auto e = value(options.settings)) {
                return e;
            }
        } else if (arg.rfind("--settings=", 0) == 0) {
            options.settings = arg.substr(11);
        } else if (arg == "-o" || arg == "--output") {
            if (auto e = value(options.output)) {
                return e;
            }
        } else if (arg.rfind("--output=", 0) == 0) {
            options.output = arg.substr(9);
        } else if (arg == "-y" || arg == "--yes") {
            options.yes = true;
        } else if (arg == "--no-save") {
            options.save = false;
        } else if (arg == "-q" || arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else {
            return "unknown option '" + arg + "'";
        }
    }
    // An empty name would mean the root folder or no file at all, never what was meant.
    if (options.settings && options.settings->empty()) {
        return "the settings file name is empty";
    }
    if (options.output && options.output->empty()) {
        return "the output folder name is empty";
    }
    return std::nullopt;
}

std::string AbsolutePath(const std::string& path) {
    return std::filesystem::absolute(path).lexically_normal().string();
}

} // namespace

int RunRixBuild(const std::vector<std::string>& args, const Console& console) {
    Options options;
    if (auto usage = Parse(args, options)) {
        std::fprintf(console.err, "%s: %s\nTry 'rix-build --help' for more information.\n",
                     kProgram.data(), usage->c_str());
        return 2;
    }
    const TQzVersionInfo versionInfo;
    if (options.help) {
        std::fputs(kUsage.data(), console.out);
        return 0;
    }
    if (options.version) {
        std::fprintf(console.out, "%s %s\n", kProgram.data(),
                     versionInfo.VersionString(TQzVersionInfo::kFileVersion).c_str());
        return 0;
    }

    // Errors name the file they are about where the text does not.
    auto fail = [&](const std::exception& e) {
        const auto* file = dynamic_cast<const RomFileError*>(&e);
        const std::string about = file != nullptr ? file->Path() + ": " : std::string();
        std::fprintf(console.err, "%s: %s\n", kProgram.data(),
                     ForTerminal(about + ErrorDisplayText(e.what())).c_str());
        return 1;
    };

    // The settings file as the main window opens it, unless one is named.
    std::unique_ptr<RomListModel> list;
    try {
        const std::string path =
            options.settings
                ? *options.settings
                : schema::SettingsFilePath(
                      CurrentDirectory(), versionInfo.VersionString(TQzVersionInfo::kInternalName));
        // Held from here to the save: runs on one settings file follow each other.
        list = std::make_unique<RomListModel>(path, SettingsSharing::HoldUntilSaved);
    } catch (const std::exception& e) {
        return fail(e); // nothing is written over a file that could not be read
    }

    int status = 0;
    TerminalHost host(console, options);
    try {
        // In the order given, as the open-file dialog returns the files it was given.
        std::vector<std::string> paths;
        for (const std::string& rom : options.roms) {
            paths.push_back(AbsolutePath(rom));
        }
        list->AddFiles(paths);
        BuildOptions buildOptions;
        buildOptions.outputDirectory = options.output;
        if (list->Build(host, buildOptions) == BuildOutcome::Declined) {
            if (host.refusedWithoutTerminal) {
                std::fprintf(console.err,
                             "%s: Rix.gba exists; use --yes to replace it without asking\n",
                             kProgram.data());
            }
            status = 1;
        }
    } catch (const std::exception& e) {
        status = fail(e);
    }

    // Saved as closing the main window saves, whatever the build did.
    if (options.save) {
        try {
            list->Save();
        } catch (const std::exception& e) {
            status = fail(e);
        }
    }
    return status;
}

} // namespace rix::cli
