#include "platform/Paths.h"

namespace rix {

namespace {
// Where the folder part of a path ends: the last separator, or on Windows the colon of a bare
// drive ("C:name").
std::size_t LastSeparator(std::string_view path) {
    std::size_t at = path.find_last_of(kPathSeparators);
#ifdef _WIN32
    if (at == std::string_view::npos && path.size() >= 2 && path[1] == ':') {
        at = 1;
    }
#endif
    return at;
}
} // namespace

std::string FileNameOf(std::string_view path) {
    const auto at = LastSeparator(path);
    return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string DirectoryWithSeparatorOf(std::string_view path) {
    const auto at = LastSeparator(path);
    return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at + 1));
}

std::string DirectoryOf(std::string_view path) {
    const auto at = LastSeparator(path);
    if (at == std::string_view::npos) {
        return ".";
    }
    if (at == 0) {
        return std::string(path.substr(0, 1));
    }
#ifdef _WIN32
    if (at <= 2 && path[1] == ':') {
        return std::string(path.substr(0, at + 1)); // "C:\", or "C:" for "C:name"
    }
#endif
    return std::string(path.substr(0, at));
}

std::string ToNativeSeparators(std::string_view path) {
    std::string out(path);
    for (char& c : out) {
        if (c == '\\' || c == '/') {
            c = kPathSeparator;
        }
    }
    return out;
}

} // namespace rix
