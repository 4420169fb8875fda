#include "settings/Schema.h"

#include "platform/Paths.h"

namespace rix::schema {

std::string SettingsFilePath(std::string_view startupDirectory, std::string_view internalName) {
    std::string path(startupDirectory);
    path += kPathSeparator;
    path += internalName;
    path += kSettingsExtension;
    return path;
}

std::string PresetSection(std::string_view presetName) {
    std::string name(kPresetSectionPrefix);
    name += presetName;
    return name;
}

std::string NumberedKey(std::string_view prefix, int n) {
    std::string key(prefix);
    key += std::to_string(n);
    return key;
}

std::vector<std::string> ReadNumberedList(const TCustomIniFile& ini, std::string_view section,
                                          std::string_view prefix) {
    std::vector<std::string> values;
    for (int n = 0;; ++n) {
        std::string value = ini.ReadEntry(section, NumberedKey(prefix, n), "");
        if (value.empty()) {
            return values;
        }
        values.push_back(std::move(value));
    }
}

std::string ReadStartupPresetName(const TCustomIniFile& ini) {
    return ini.ReadEntry(kControlDefaults, NumberedKey(kDefaultPrefix, 0), kStartupPreset);
}

} // namespace rix::schema
