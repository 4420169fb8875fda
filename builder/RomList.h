// Adding ROM files to the list, shared by the main window and the command line: each file is
// read whole, its ROM key computed, its name and preset taken from its ROM section or from
// defaults, and both written back to the section.
#pragma once

#include "builder/Build.h"
#include "settings/IniFile.h"

#include <string>
#include <string_view>

namespace rix {

// The default display name of a file: its name lower-cased ("A" to "Z" only) without the
// extension (from the last "." of the name on).
std::string DefaultDisplayName(std::string_view path);

// Writes "LastDir": the directory of `firstPath`, ending in "/".
void RememberLastDir(TCustomIniFile& ini, std::string_view firstPath);

// The starting folder for the open-file dialog from "LastDir": a trailing "/" is dropped
// unless it is the whole path (the root keeps it).
std::string InitialDirectoryFromLastDir(const TCustomIniFile& ini);

// Reads the file whole (file I/O errors by code when it cannot be opened or read), computes
// its ROM key, reads "Filename" (default: DefaultDisplayName) and "Control" (default:
// `defaultPreset`) of its ROM section, writes both back and returns the list row.
RomRow AddRomFile(TCustomIniFile& ini, const std::string& path, std::string_view defaultPreset);

} // namespace rix
