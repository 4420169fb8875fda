#include "builder/RomList.h"

#include "builder/RomIdentity.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "settings/Schema.h"

namespace rix {

std::string DefaultDisplayName(std::string_view path) {
    std::string name = LowerAscii(FileNameOf(path));
    if (const auto dot = name.find_last_of('.'); dot != std::string::npos) {
        name.erase(dot);
    }
    return name;
}

void RememberLastDir(TCustomIniFile& ini, std::string_view firstPath) {
    ini.WriteEntry(schema::kSettings, schema::kLastDir, DirectoryWithSeparatorOf(firstPath));
}

std::string InitialDirectoryFromLastDir(const TCustomIniFile& ini) {
    std::string dir = ini.ReadEntry(schema::kSettings, schema::kLastDir, "");
    if (dir.size() > 1 && dir.back() == kPathSeparator) {
        dir.pop_back();
    }
    return dir;
}

RomRow AddRomFile(TCustomIniFile& ini, const std::string& path, std::string_view defaultPreset) {
    // A line break in the path would end up in the settings (the name, the folder): such a
    // name is no file name this program can keep.
    if (path.find_first_of("\r\n") != std::string::npos) {
        throw InOutError(3);
    }
    const std::vector<std::uint8_t> bytes = ReadWholeFileForAdd(path);
    const std::string key =
        FormatRomKey(Crc32OfBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    // A name and preset stored for this ROM win over the defaults.
    RomRow row;
    row.caption = ini.ReadEntry(key, schema::kFilename, DefaultDisplayName(path));
    row.control = ini.ReadEntry(key, schema::kControl, defaultPreset);
    // The list shows the name lower-cased; the real path stays with the row for opening.
    row.fileName = LowerAscii(FileNameOf(path));
    row.directory = DirectoryWithSeparatorOf(path);
    row.romKey = key;
    row.realPath = path;
    // Both keys go back into the section, which creates it for a new ROM.
    ini.WriteEntry(key, schema::kFilename, row.caption);
    ini.WriteEntry(key, schema::kControl, row.control);
    return row;
}

} // namespace rix
