#include "platform/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

namespace rix {

std::string CurrentDirectory() {
    std::vector<char> buffer(PATH_MAX);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        buffer.resize(buffer.size() * 2);
        if (buffer.size() > (1u << 20)) {
            return ".";
        }
    }
    return buffer.data();
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

PathKind KindOfPath(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        return S_ISREG(st.st_mode) ? PathKind::File : PathKind::Other;
    }
    if (errno == ENOENT && DirectoryExists(DirectoryOf(path))) {
        return PathKind::Missing;
    }
    return PathKind::Unreachable;
}

bool CreateDirectoryLevel(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool IsReadOnlyPath(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return false;
    }
    if (::geteuid() == 0) {
        return (st.st_mode & 0222) == 0;
    }
    return ::access(path.c_str(), W_OK) != 0;
}

std::string RunningProgramPath() {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) {
        return {};
    }
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

} // namespace rix
