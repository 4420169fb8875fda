// Settings document: load, one lookup per section, one write, save, for growing documents of
// ROM sections (five keys each). Times per operation and per section show the growth. The save
// is also set against a plain write of the same text through an atomic file (what a save costs
// without taking turns with other programs), and a save that merges another program's change.
#include "platform/File.h"
#include "settings/IniFile.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string Document(int sections) {
    std::string text = "[Settings]\r\nLastDir=/roms/\r\n\r\n";
    char key[16];
    for (int i = 0; i < sections; ++i) {
        std::snprintf(key, sizeof key, "%08X", unsigned(i) * 2654435761u);
        text += "[" + std::string(key) + "]\r\nFilename=Game number " + std::to_string(i) +
                "\r\nControl=Kempston\r\nCycle Count=228\r\nCollision Detection=1\r\n"
                "Button A=Fire 1\r\n\r\n";
    }
    return text;
}

} // namespace

int main() {
    const auto dir = std::filesystem::temp_directory_path() / "rix-bench-settings";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "Rix.INI").string();
    const std::string plainPath = (dir / "Plain.INI").string();
    std::printf("%9s %10s %12s %10s %10s %10s %8s %10s %14s\n", "sections", "load ms", "lookups ms",
                "write us", "save ms", "plain ms", "save/plain", "merge ms",
                "load+save ns/section");
    double base = 0;
    for (int sections : {100, 1000, 10000, 100000}) {
        std::ofstream(path, std::ios::binary) << Document(sections);
        const int repeats = sections >= 100000 ? 10 : sections >= 10000 ? 20 : 100;
        double load = 1e9, lookups = 1e9, write = 1e9, save = 1e9, plain = 1e9, merge = 1e9;
        for (int r = 0; r < repeats; ++r) {
            auto t = Clock::now();
            rix::TMemIniFile ini(path);
            load = std::min(load, Seconds(t));

            std::vector<std::string> names;
            ini.ListSections(names);
            t = Clock::now();
            std::size_t found = 0;
            for (const std::string& name : names) {
                found += ini.ReadEntry(name, "Filename", "").size();
            }
            lookups = std::min(lookups, Seconds(t));
            if (found == 0) {
                return 1;
            }

            t = Clock::now();
            ini.WriteEntry(names[names.size() / 2], "Collision Detection", "2");
            write = std::min(write, Seconds(t));

            // The save and a plain write of the same text (to a file of its own, so that the
            // document's file stays as it saved it), in alternating order.
            auto timeSave = [&] {
                const auto at = Clock::now();
                ini.SaveDocument();
                save = std::min(save, Seconds(at));
            };
            auto timePlain = [&] {
                const auto at = Clock::now();
                const std::string text = ini.SaveText();
                rix::AtomicFile out = rix::AtomicFile::Create(plainPath, plainPath);
                out.Stream().WriteAll(text.data(), text.size());
                out.Commit();
                plain = std::min(plain, Seconds(at));
            };
            if (r % 2 == 0) {
                timeSave();
                timePlain();
            } else {
                timePlain();
                timeSave();
            }

            // Another program saves a change meanwhile: this save reads it and merges.
            {
                rix::TMemIniFile other(path);
                other.WriteEntry("Settings", "LastDir", "/other/");
                other.SaveDocument();
            }
            ini.WriteEntry(names[names.size() / 3], "Collision Detection", "3");
            t = Clock::now();
            ini.SaveDocument();
            merge = std::min(merge, Seconds(t));
        }
        const double perSection = (load + save) / sections * 1e9;
        if (base == 0) {
            base = perSection;
        }
        std::printf("%9d %10.3f %12.3f %10.3f %10.3f %10.3f %8.2fx %10.3f %10.0f (%.2fx of 100)\n",
                    sections, load * 1e3, lookups * 1e3, write * 1e6, save * 1e3, plain * 1e3,
                    save / plain, merge * 1e3, perSection, perSection / base);
        if (sections == 10000) {
            std::printf("          a dialog pick on a 10,000-section document saves in %.2f ms\n",
                        save * 1e3);
        }
    }
    std::filesystem::remove_all(dir);
    return 0;
}
