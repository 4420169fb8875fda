// Cartridges made by the rix-build program itself, for tests that boot them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rix::test {

// Runs rix-build in `directory` with `args` (stdin and stderr on /dev/null); returns its exit
// status.
int RunRixBuild(const std::string& directory, std::vector<std::string> args);

// A file's bytes.
std::vector<std::uint8_t> Bytes(const std::string& path);

} // namespace rix::test
