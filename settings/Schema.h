// What the settings file holds: section and key names, the value texts the system compares
// against, the defaults each reader applies, and the readers of the numbered lists.
#pragma once

#include "settings/IniFile.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace rix::schema {

// Sections.
inline constexpr std::string_view kSettings = "Settings";
inline constexpr std::string_view kControlDefaults = "Control Defaults";
inline constexpr std::string_view kCycleCounts = "Cycle Counts";
inline constexpr std::string_view kCollisionDetection = "Collision Detection";
inline constexpr std::string_view kPresetSectionPrefix = "Control_";

// "Settings" keys.
inline constexpr std::string_view kLastDir = "LastDir";
inline constexpr std::string_view kRixBinary = "RixBinary";

// Prefixes of the numbered lists: Default0, Default1, ...; Cycle0, ...; Collision0, ...
inline constexpr std::string_view kDefaultPrefix = "Default";
inline constexpr std::string_view kCyclePrefix = "Cycle";
inline constexpr std::string_view kCollisionPrefix = "Collision";

// ROM section keys.
inline constexpr std::string_view kFilename = "Filename";
inline constexpr std::string_view kControl = "Control";
inline constexpr std::string_view kCycleCount = "Cycle Count";
inline constexpr std::string_view kCollisionMode = "Collision Detection";

// Button keys, in ROM and preset sections alike.
inline constexpr std::string_view kButtonA = "Button A";
inline constexpr std::string_view kButtonB = "Button B";
inline constexpr std::string_view kSelect = "Select";
inline constexpr std::string_view kStart = "Start";
inline constexpr std::string_view kBackLeft = "Back Left";
inline constexpr std::string_view kBackRight = "Back Right";
// The order a ROM's own button keys are written and deleted in.
inline constexpr std::array<std::string_view, 6> kButtonKeys = {kBackLeft, kBackRight, kSelect,
                                                                kStart,    kButtonA,   kButtonB};

// Values compared exactly.
inline constexpr std::string_view kCustom = "Custom";
inline constexpr std::string_view kDefaultCycleItem = "Default";
inline constexpr std::string_view kUnassigned = "<unassigned>";

// The default preset name at start-up when "Default0" is missing.
inline constexpr std::string_view kStartupPreset = "Kempston";

// The fifteen control choices, in the order the configuration dialog offers them.
inline constexpr std::array<std::string_view, 15> kControlChoices = {
    "<unassigned>", "Fire 1", "Fire 2", "*", "#", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};

// Defaults that differ between readers.
inline constexpr std::string_view kDialogCollisionDefault = "0"; // stored mode, dialog
inline constexpr std::string_view kBuildNumberDefault = "0";     // cycle count / collision, build

// Extension of the settings file.
inline constexpr std::string_view kSettingsExtension = ".INI";

// The settings file: start-up directory + "/" + InternalName + ".INI" (the separator is
// added even when the directory ends in one).
std::string SettingsFilePath(std::string_view startupDirectory, std::string_view internalName);

// "Control_" + preset name.
std::string PresetSection(std::string_view presetName);

// prefix + n in decimal.
std::string NumberedKey(std::string_view prefix, int n);

// Reads prefix0, prefix1, ... (empty default) and stops at the first missing or empty value.
std::vector<std::string> ReadNumberedList(const TCustomIniFile& ini, std::string_view section,
                                          std::string_view prefix);

// "Default0" of "Control Defaults", "Kempston" when missing (empty when present but empty).
std::string ReadStartupPresetName(const TCustomIniFile& ini);

} // namespace rix::schema
