// Cartridges made by the rix-build program itself, for tests that boot them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rix::test {

// Runs rix-build in `directory` with `args` (stdin and stderr on /dev/null); returns its exit
// status.
int RunRixBuild(const std::string& directory, std::vector<std::string> args);

// Copies `path` into `directory` under its own name and returns the copy's path. rix-build
// opens the ROMs it reads exclusively, so tests that run at the same time each build from
// their own copies.
std::string OwnCopy(const std::string& directory, const std::string& path);

// A file's bytes.
std::vector<std::uint8_t> Bytes(const std::string& path);

} // namespace rix::test
