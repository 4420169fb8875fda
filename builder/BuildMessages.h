// The build's own message texts; "\r" is a line break in a message box.
#pragma once

#include <string_view>

namespace rix::buildmsg {

inline constexpr std::string_view kEmptyListCaption = "Warning!";
inline constexpr std::string_view kEmptyListText =
    "No ROMS selected!\rPreliminary Pogoshell binary will be created...";
inline constexpr std::string_view kReplaceCaption = "Warning";
inline constexpr std::string_view kReplaceText = "Rix binary already exists.\rReplace?";
inline constexpr std::string_view kReplacePogoText =
    "Rix Pogoshell binary already exists.\rReplace?";
inline constexpr std::string_view kSuccessCaption = "Rix";
inline constexpr std::string_view kSuccessText = "Rix binary created. Have fun!";
inline constexpr std::string_view kSuccessPogoText = "RIX4POGO binary created. Have fun!";

// A cartridge larger than the GBA can address: its size and the limit, in bytes.
inline constexpr std::string_view kTooLarge =
    "The cartridge image would be %s bytes, more than the %s bytes a Game Boy Advance "
    "cartridge can address";

inline constexpr std::string_view kOutputName = "Rix.gba";
// The name the image is first written under; reported when it cannot be created.
inline constexpr std::string_view kFirstWriteName = "rix.gba";

} // namespace rix::buildmsg
