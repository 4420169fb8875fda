// rix-build [OPTION]... [ROM]...: adds the ROM files as the main window's "Add" does, builds
// as "Build Rix >" does, and saves the settings as closing the main window does.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace rix::cli {

struct Console {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool inIsTerminal = false;  // the replace question may be asked
    bool errIsTerminal = false; // a progress bar may be drawn
};

// Exit status: 0 image written (and settings saved), 1 error or not written, 2 usage error.
int RunRixBuild(const std::vector<std::string>& args, const Console& console);

} // namespace rix::cli
