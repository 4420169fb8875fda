// Any bytes load without crashing or hanging, and the saved form is stable: loading, saving,
// loading again and saving again gives the bytes of the first save.
#include "settings/IniFile.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto first = rix::TMemIniFile::FromText("fuzz.ini", text);
    const std::string saved = first->SaveText();

    // Lookups of every listed section must find something sensible.
    std::vector<std::string> names;
    first->ListSections(names);
    for (const std::string& name : names) {
        (void)first->ReadEntry(name, "Filename", "");
    }

    const auto second = rix::TMemIniFile::FromText("fuzz.ini", saved);
    if (second->SaveText() != saved) {
        std::abort();
    }
    std::vector<std::string> again;
    second->ListSections(again);
    if (again.size() != names.size()) {
        std::abort(); // a section was lost
    }
    return 0;
}
