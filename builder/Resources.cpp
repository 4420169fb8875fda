#include "builder/Resources.h"

#include "platform/Errors.h"
#include "platform/ProgramResources.h"
#include "platform/Text.h"

namespace rix {

std::span<const std::uint8_t> FindResource(std::span<const ResourceEntry> table,
                                           std::string_view name, std::string_view type) {
    const std::string wantName = UpperAnsi(name);
    const std::string wantType = UpperAnsi(type);
    for (const ResourceEntry& entry : table) {
        if (entry.name != nullptr && UpperAnsi(entry.name) == wantName &&
            UpperAnsi(entry.type) == wantType) {
            return {reinterpret_cast<const std::uint8_t*>(entry.data), entry.size};
        }
    }
    throw ResourceNotFound(name);
}

std::span<const std::uint8_t> EmulatorImage() {
    // The program's own resource where the system keeps one (Windows); the table otherwise.
    std::span<const std::uint8_t> bytes;
    if (FindProgramResource(kEmulatorImageName, kEmulatorImageType, bytes)) {
        return bytes;
    }
    return FindResource(EmbeddedResources(), kEmulatorImageName, kEmulatorImageType);
}

} // namespace rix
