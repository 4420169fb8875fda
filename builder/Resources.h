// Resources built into the program at build time, found by name and type without regard to
// letter case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace rix {

struct ResourceEntry {
    const char* name;
    const char* type;
    const unsigned char* data;
    std::size_t size;
};

// The table generated from resources/ (EmbeddedResources.cpp).
std::span<const ResourceEntry> EmbeddedResources();

// The bytes of a resource of `table`; "Resource %s not found" (the name as asked) when absent.
std::span<const std::uint8_t> FindResource(std::span<const ResourceEntry> table,
                                           std::string_view name, std::string_view type);

// The emulator image: resource "rix" of type "RT_RCDATA".
inline constexpr std::string_view kEmulatorImageName = "rix";
inline constexpr std::string_view kEmulatorImageType = "RT_RCDATA";
std::span<const std::uint8_t> EmulatorImage();

} // namespace rix
