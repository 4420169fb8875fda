#include "platform/DesktopFolder.h"

#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace rix {

namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

// Each level of `folder` from the root down, made when missing.
void MakeFolders(const std::string& folder) {
    std::string::size_type at = 0;
    while (at != std::string::npos) {
        at = folder.find(kPathSeparator, at + 1);
        const std::string level = folder.substr(0, at);
        if (level.empty() || level.back() == kPathSeparator) {
            continue; // a doubled or trailing separator
        }
        if (::mkdir(level.c_str(), 0700) == 0) {
            continue;
        }
        const int error = errno;
        if (error != EEXIST) {
            throw CannotCreateFolder(folder, Reason(error));
        }
        // A symbolic link to a folder is a folder for us; a file in the way is not.
        if (!DirectoryExists(level)) {
            throw CannotCreateFolder(folder, Reason(ENOTDIR));
        }
    }
}

std::vector<char> ReadPrepared(const std::string& path) {
    File file = File::OpenRead(path, Share::DenyWrite);
    std::vector<char> bytes;
    char buffer[16384];
    while (const std::size_t n = file.ReadSome(buffer, sizeof buffer)) {
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

// A file descriptor closed on every way out.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

bool WriteAndSync(int fd, const std::vector<char>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return ::fsync(fd) == 0;
}

// Writes the copy under a name of its own and links it to `target` only when complete: the
// link fails rather than replace anything, and a crash never leaves half a settings file.
bool PlaceCopy(const std::string& folder, const std::string& target,
               const std::vector<char>& bytes) {
    std::string temp;
    Descriptor out;
    for (int attempt = 0; out.fd < 0; ++attempt) {
        temp = folder + kPathSeparator + "." + FileNameOf(target) + "." +
               std::to_string(::getpid()) + "." + std::to_string(attempt);
        out.fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (out.fd < 0 && (errno != EEXIST || attempt > 100)) {
            throw CannotCreateFile(target);
        }
    }
    const bool written = WriteAndSync(out.fd, bytes);
    int linkError = 0;
    if (written && ::link(temp.c_str(), target.c_str()) != 0) {
        linkError = errno;
    }
    ::unlink(temp.c_str());
    if (!written) {
        throw CannotCreateFile(target);
    }
    if (linkError == EEXIST) {
        return false; // another program made it meanwhile: theirs stays
    }
    if (linkError == EPERM || linkError == EOPNOTSUPP || linkError == ENOSYS) {
        // A file system without hard links: create the name exclusively and write into it.
        Descriptor direct;
        direct.fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (direct.fd < 0) {
            if (errno == EEXIST) {
                return false;
            }
            throw CannotCreateFile(target);
        }
        if (!WriteAndSync(direct.fd, bytes)) {
            ::unlink(target.c_str());
            throw CannotCreateFile(target);
        }
        return true;
    }
    if (linkError != 0) {
        throw CannotCreateFile(target);
    }
    return true;
}

} // namespace

std::string UserDataFolder(const char* xdgDataHome, const char* home) {
    if (xdgDataHome != nullptr && xdgDataHome[0] == kPathSeparator) {
        return xdgDataHome;
    }
    if (home != nullptr && home[0] != '\0') {
        std::string folder(home);
        if (folder.back() != kPathSeparator) {
            folder += kPathSeparator;
        }
        return folder + ".local/share";
    }
    throw NoDataFolder();
}

bool PrepareWorkingFolder(const std::string& folder, const std::string& settingsFileName,
                          const std::string& preparedSettings) {
    MakeFolders(folder);
    const std::string target = folder + kPathSeparator + settingsFileName;
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) {
        return false; // anything there, even a broken link, is the user's
    }
    if (errno != ENOENT) {
        throw CannotCreateFile(target);
    }
    return PlaceCopy(folder, target, ReadPrepared(preparedSettings));
}

void EnterFolder(const std::string& folder) {
    if (::chdir(folder.c_str()) != 0) {
        throw CannotEnterFolder(folder, Reason(errno));
    }
}

} // namespace rix
