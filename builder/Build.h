// The build: writes Rix.gba into the output directory from the emulator image, the settings
// document and the ROM list, talking to its front end through BuildHost.
#pragma once

#include "builder/Resources.h"
#include "settings/IniFile.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rix {

// One row of the ROM list, as the build and the windows see it.
struct RomRow {
    std::string caption;   // display name
    std::string control;   // preset name or "Custom"
    std::string fileName;  // name with extension, lower-cased (what the list shows)
    std::string directory; // ends in "/"
    std::string romKey;
    std::string realPath; // the file to open: names are case-sensitive here
};

enum class MessageIcon { None, Exclamation, Error };

// What the build needs of its front end.
class BuildHost {
public:
    virtual ~BuildHost() = default;
    // Shows a message with an OK button and waits for it.
    virtual void ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) = 0;
    // Asks a Yes/No question; true for Yes.
    virtual bool AskYesNo(std::string_view caption, std::string_view text, MessageIcon icon) = 0;
    virtual void ProgressSetup(int minimum, int maximum, int step) = 0;
    virtual void ProgressStep() = 0;
    virtual void ProgressSetPosition(int position) = 0;
};

struct BuildOptions {
    // In place of "RixBinary" (the settings document is not changed).
    std::optional<std::string> outputDirectory = std::nullopt;
    // Where the emulator image comes from; called once, before anything is written. Tests
    // build with a small image of their own.
    std::span<const std::uint8_t> (*emulatorImage)() = &EmulatorImage;
};

enum class BuildOutcome { Written, Declined };

// Runs the build. Errors (file, resource, conversion) are thrown as RixError; a failed build
// leaves no temporary file and keeps an existing Rix.gba as it was.
BuildOutcome RunBuild(const TCustomIniFile& ini, const std::vector<RomRow>& rows, BuildHost& host,
                      const BuildOptions& options = {});

// The output directory a build would use.
std::string OutputDirectory(const TCustomIniFile& ini, const BuildOptions& options);

} // namespace rix
