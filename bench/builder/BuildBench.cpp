// Builds a cartridge of ROM files on disk filling the 32 MiB space and times it next to `cat`
// of the same files into one output, in the same run. Target: at most 1.5x cat.
#include "builder/Build.h"
#include "builder/Resources.h"
#include "settings/IniFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class QuietHost : public rix::BuildHost {
public:
    void ShowMessage(std::string_view, std::string_view, rix::MessageIcon) override {}
    bool AskYesNo(std::string_view, std::string_view, rix::MessageIcon) override { return true; }
    void ProgressSetup(int, int, int) override {}
    void ProgressStep() override {}
    void ProgressSetPosition(int) override {}
};

} // namespace

int main() {
    using Clock = std::chrono::steady_clock;
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "rix-bench-build";
    fs::remove_all(dir);
    fs::create_directories(dir / "out");

    // 62 ROMs of 512 KiB plus the image and table stay inside 32 MiB.
    constexpr int kRoms = 62;
    constexpr std::size_t kRomSize = 512 * 1024;
    std::vector<rix::RomRow> rows;
    std::string catCommand = "cat";
    std::vector<char> bytes(kRomSize);
    for (int i = 0; i < kRoms; ++i) {
        for (std::size_t j = 0; j < bytes.size(); ++j) {
            bytes[j] = char((j * 31 + std::size_t(i) * 7) >> 2);
        }
        const fs::path rom = dir / ("rom" + std::to_string(i) + ".col");
        std::ofstream(rom, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        rix::RomRow row;
        row.realPath = rom.string();
        rows.push_back(row);
        catCommand += " " + rom.string();
    }
    catCommand += " > " + (dir / "cat.out").string();

    auto ini = rix::TMemIniFile::FromText((dir / "Rix.INI").string(), "");
    rix::BuildOptions options;
    options.outputDirectory = (dir / "out").string();
    QuietHost host;

    double build = 1e9, cat = 1e9;
    for (int r = 0; r < 5; ++r) {
        auto t = Clock::now();
        rix::RunBuild(*ini, rows, host, options);
        build = std::min(build, std::chrono::duration<double>(Clock::now() - t).count());
        t = Clock::now();
        if (std::system(catCommand.c_str()) != 0) {
            return 1;
        }
        cat = std::min(cat, std::chrono::duration<double>(Clock::now() - t).count());
    }
    const auto size = fs::file_size(dir / "out" / "Rix.gba");
    std::printf(
        "cartridge of %ju bytes: build %.1f ms, cat %.1f ms, ratio %.2fx (target <= 1.5x)\n",
        std::uintmax_t(size), build * 1e3, cat * 1e3, build / cat);
    fs::remove_all(dir);
    return 0;
}
