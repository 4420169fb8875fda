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
    // 1.-2. Read the whole file and compute its key.
    const std::vector<std::uint8_t> bytes = ReadWholeFileForAdd(path);
    const std::string key =
        FormatRomKey(Crc32OfBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    // 3.-5. Name and preset: stored ones win over the defaults.
    RomRow row;
    row.caption = ini.ReadEntry(key, schema::kFilename, DefaultDisplayName(path));
    row.control = ini.ReadEntry(key, schema::kControl, defaultPreset);
    // 6. The row's columns; the real path stays with it for opening.
    row.fileName = LowerAscii(FileNameOf(path));
    row.directory = DirectoryWithSeparatorOf(path);
    row.romKey = key;
    row.realPath = path;
    // 7. Both keys back into the section, creating it when new.
    ini.WriteEntry(key, schema::kFilename, row.caption);
    ini.WriteEntry(key, schema::kControl, row.control);
    return row;
}

} // namespace rix
