// The desktop program's own texts. Captions of components live in Unit1.ui and Unit2.ui.
#pragma once

#include "format/CartTable.h"

#include <string_view>

namespace rix::ui::text {

// The application title: the taskbar's name for the program and every error box's caption.
inline constexpr std::string_view kApplicationTitle = "Rix Colecovision Emulator";

// The open-file dialog of "Add".
inline constexpr std::string_view kOpenDialogTitle = "Select Colecovision ROMs";
inline constexpr std::string_view kOpenDialogFilter =
    "All ROMS (*.ROM, *.COL)|*.ROM;*.COL|Coleco ROM (*.ROM)|*.ROM|Coleco COL (*.COL)|*.COL";

// The configuration dialog's refusal of a blank name.
inline constexpr std::string_view kBlankNameCaption = "Rix Configuration Error";
inline constexpr std::string_view kBlankNameText =
    "ROM Name cannot be blank. Enter a valid ROM name.";

// Options > Settings: where "Build Rix >" writes Rix.gba.
inline constexpr std::string_view kOutputFolderTitle = "Output folder for Rix.gba";

// The version as the banner and the About box both show it.
inline constexpr std::string_view kVersionText = "Version %s";

// Help > About Rix; the version line (kVersionText) goes in place of %s.
inline constexpr std::string_view kAboutCaption = "About Rix";
inline constexpr std::string_view kAboutText =
    "Rix Colecovision Emulator\r%s\r\rBuilds Game Boy Advance cartridge images that "
    "play Colecovision games.";

// The longest display name: the name field of a configuration record.
inline constexpr int kDisplayNameLength = int(format::kRecordNameLength);

} // namespace rix::ui::text
