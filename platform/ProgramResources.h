// The running program's own resources and version information, where the system keeps them
// in the program's file (Windows). Elsewhere programs carry none: the callers' stand-ins
// (the embedded resource table, the built-in version block) take their place.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rix {

// The bytes of the program's resource `name` of `type` ("RT_RCDATA" or a type's own name),
// both without regard to case; false when there is none.
bool FindProgramResource(std::string_view name, std::string_view type,
                         std::span<const std::uint8_t>& bytes);

// The version information resource (a VS_VERSIONINFO block) of a program file; empty when the
// file has none.
std::vector<std::uint8_t> FileVersionResource(const std::string& fileName);

} // namespace rix
