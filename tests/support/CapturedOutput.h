// What an in-process run of a command-line program left: its status and the text it wrote to
// its two captured streams.
#pragma once

#include <cstdio>
#include <string>

namespace rix::test {

struct CommandResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Everything written to `f` (a std::tmpfile()), which it then closes.
inline std::string Drain(std::FILE* f) {
    std::rewind(f);
    std::string text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, f)) {
        text.append(buffer, n);
    }
    std::fclose(f);
    return text;
}

} // namespace rix::test
