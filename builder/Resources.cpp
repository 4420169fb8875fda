#include "builder/Resources.h"

#include "platform/Errors.h"
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
    return FindResource(EmbeddedResources(), kEmulatorImageName, kEmulatorImageType);
}

} // namespace rix
