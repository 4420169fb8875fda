// rix-run GAME.rom|Rix.gba [OPTION]...: runs one game headless and deterministically on the
// emulated console, for tests and for a look at a game without a GBA: the last frame or every
// K-th as PNG, the sound as WAV, GBA buttons held over chosen frames.
#pragma once

#include "cli/RixBuildCommand.h"

#include <string>
#include <vector>

namespace rix::cli {

// Exit status: 0 the game ran and everything asked for was written, 1 any error (one line on
// the console's error stream).
int RunRixRun(const std::vector<std::string>& args, const Console& console);

} // namespace rix::cli
