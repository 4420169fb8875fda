#include "platform/File.h"

#include "platform/Errors.h"
#include "platform/Paths.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <utility>
#include <vector>

namespace rix {

namespace {

bool Lock(int fd, Share share) {
    if (share == Share::DenyNone) {
        return true;
    }
    const int op = (share == Share::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    return ::flock(fd, op) == 0;
}

// Opened without waiting: a FIFO would otherwise wait for a writer before open returns. Only a
// regular file is kept (errno EISDIR for a directory, EINVAL for anything else that is no file).
int OpenExisting(const std::string& path, int flags, Share share) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int saved = errno;
        ::close(fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : (st.st_mode != 0 ? EINVAL : saved);
        return -1;
    }
    if (!Lock(fd, share)) {
        ::close(fd);
        errno = EWOULDBLOCK;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

File File::OpenRead(const std::string& path, Share share) {
    const int fd = OpenExisting(path, O_RDONLY, share);
    if (fd < 0) {
        throw CannotOpenFile(path);
    }
    return File(fd);
}

File File::OpenReadWaiting(const std::string& path, Share share, int waitMs) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        errno = 0;
        const int fd = OpenExisting(path, O_RDONLY, share);
        if (fd >= 0) {
            return File(fd);
        }
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        if (errno != EWOULDBLOCK || waited.count() >= waitMs) {
            throw CannotOpenFile(path);
        }
        ::usleep(5000);
    }
}

File File::OpenReadWrite(const std::string& path, Share share) {
    if (IsReadOnlyPath(path)) {
        throw CannotOpenFile(path);
    }
    const int fd = OpenExisting(path, O_RDWR, share);
    if (fd < 0) {
        throw CannotOpenFile(path);
    }
    return File(fd);
}

void File::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::uint64_t File::Size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        throw StreamReadError();
    }
    return static_cast<std::uint64_t>(st.st_size);
}

std::uint64_t File::Position() const {
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0) {
        throw StreamReadError();
    }
    return static_cast<std::uint64_t>(at);
}

void File::Seek(std::uint64_t position) {
    if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) {
        throw StreamReadError();
    }
}

void File::SeekToEnd() {
    if (::lseek(fd_, 0, SEEK_END) < 0) {
        throw StreamReadError();
    }
}

std::size_t File::ReadSome(void* buffer, std::size_t length) {
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, length);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            throw StreamReadError();
        }
    }
}

void File::WriteAll(const void* buffer, std::size_t length) {
    const auto* at = static_cast<const unsigned char*>(buffer);
    while (length > 0) {
        const ssize_t put = ::write(fd_, at, length);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            throw StreamWriteError();
        }
        at += put;
        length -= static_cast<std::size_t>(put);
    }
}

void File::CopyFrom(File& source, std::uint64_t length) {
    while (length > 0) {
        const std::size_t chunk = std::size_t(std::min<std::uint64_t>(length, 1u << 30));
        const ssize_t copied = ::copy_file_range(source.fd_, nullptr, fd_, nullptr, chunk, 0);
        if (copied > 0) {
            length -= std::uint64_t(copied);
            continue;
        }
        if (copied == 0) {
            throw StreamReadError(); // the source ended early
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == ENOSPC || errno == EFBIG || errno == EDQUOT) {
            throw StreamWriteError();
        }
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            throw StreamReadError();
        }
        // Not between these two files: copy through a buffer.
        std::vector<unsigned char> buffer(std::size_t(std::min<std::uint64_t>(length, 1u << 20)));
        while (length > 0) {
            const std::size_t part = std::size_t(std::min<std::uint64_t>(length, buffer.size()));
            source.ReadExact(buffer.data(), part);
            WriteAll(buffer.data(), part);
            length -= part;
        }
    }
}

void File::Flush() {
    if (::fsync(fd_) != 0 && errno != EINVAL) {
        throw StreamWriteError();
    }
}

AtomicFile AtomicFile::Create(const std::string& link, const std::string& errorPath,
                              bool targetLocked) {
    // Through a symbolic link the file it names is replaced, not the link.
    std::string target = link;
    if (char* real = ::realpath(link.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    const std::string dir = DirectoryOf(target);
    if (!DirectoryExists(dir) || IsReadOnlyPath(dir)) {
        throw CannotCreateFile(errorPath);
    }
    mode_t mode = 0666;
    struct stat st {};
    const bool replacing = ::stat(target.c_str(), &st) == 0;
    if (replacing) {
        // A read-only target is refused: the rename must not get round its protection.
        if (!S_ISREG(st.st_mode) || IsReadOnlyPath(target)) {
            throw CannotCreateFile(errorPath);
        }
        // Another process holding the target open with a lock: not ours to replace now.
        if (!targetLocked) {
            const int probe = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
            if (probe < 0) {
                throw CannotCreateFile(errorPath);
            }
            const bool free = ::flock(probe, LOCK_EX | LOCK_NB) == 0;
            ::close(probe);
            if (!free) {
                throw CannotCreateFile(errorPath);
            }
        }
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    // Unnamed until Commit where the file system allows it, so that a killed run leaves
    // nothing behind; named from the start where it does not.
    std::string temp;
    int fd = -1;
    if (::access("/proc/self/fd", X_OK) == 0) {
        fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    }
    if (fd < 0) {
        temp = target + ".tmp-XXXXXX";
        fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0) {
            throw CannotCreateFile(errorPath);
        }
        ::flock(fd, LOCK_EX | LOCK_NB);
    }
    ::fchmod(fd, mode);
    if (replacing) {
        // The superuser saving another user's file leaves it theirs.
        [[maybe_unused]] const int owned = ::fchown(fd, st.st_uid, st.st_gid);
    }
    return AtomicFile(File(fd), temp, target, errorPath);
}

void AtomicFile::Commit(bool durable) {
    if (durable) {
        file_.Flush();
    }
    if (temp_.empty()) {
        // Named only now, under a fresh temporary name, then renamed over the target.
        const std::string self = "/proc/self/fd/" + std::to_string(file_.fd_);
        std::uint32_t seed = static_cast<std::uint32_t>(::getpid()) * 2654435761u ^
                             static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(this));
        for (int attempt = 0; attempt < 100 && temp_.empty(); ++attempt) {
            seed = seed * 1664525u + 1013904223u;
            std::string name = target_ + ".tmp-";
            for (int i = 0; i < 6; ++i) {
                name += "abcdefghijklmnopqrstuvwxyz0123456789"[(seed >> (i * 5)) % 36];
            }
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                temp_ = name;
            } else if (errno != EEXIST) {
                break;
            }
        }
        if (temp_.empty()) {
            // The file cannot be given a name where it is (no /proc, say): its bytes go into
            // a named temporary file instead.
            std::string named = target_ + ".tmp-XXXXXX";
            const int fd = ::mkostemp(named.data(), O_CLOEXEC);
            if (fd < 0) {
                throw CannotCreateFile(errorPath_);
            }
            temp_ = named;
            File copy(fd);
            struct stat st {};
            if (::fstat(file_.fd_, &st) != 0) {
                throw StreamWriteError();
            }
            ::fchmod(fd, st.st_mode & 07777);
            [[maybe_unused]] const int owned = ::fchown(fd, st.st_uid, st.st_gid);
            file_.Seek(0);
            copy.CopyFrom(file_, static_cast<std::uint64_t>(st.st_size));
            if (durable) {
                copy.Flush();
            }
        }
    }
    file_.Close();
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        throw CannotCreateFile(errorPath_);
    }
    committed_ = true;
}

AtomicFile::~AtomicFile() {
    file_.Close();
    if (!committed_ && !temp_.empty()) {
        ::unlink(temp_.c_str());
    }
}

PathLock PathLock::Acquire(const std::string& path, int waitMs) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        bool created = false;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0 && errno == ENOENT) {
            fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno == EEXIST) {
                continue; // another program made it first
            }
            created = fd >= 0;
        }
        if (fd < 0) {
            return {};
        }
        struct stat held {};
        if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            ::close(fd);
            return {};
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start);
            if (waitMs >= 0 && waited.count() >= waitMs) {
                PathLock busy;
                busy.busy_ = true;
                return busy;
            }
            ::usleep(5000);
            continue;
        }
        struct stat now {};
        if (::stat(path.c_str(), &now) != 0 || now.st_dev != held.st_dev ||
            now.st_ino != held.st_ino) {
            ::close(fd); // renamed away or removed while we waited: lock what is there now
            continue;
        }
        PathLock lock; // O_NONBLOCK stays: it means nothing to a regular file's reads
        lock.fd_ = fd;
        lock.created_ = created;
        lock.path_ = path;
        return lock;
    }
}

struct PathLock::Turn {};

PathLock::PathLock() = default;

PathLock::PathLock(PathLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), created_(other.created_), busy_(other.busy_),
      path_(std::move(other.path_)) {}

PathLock& PathLock::operator=(PathLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = std::exchange(other.fd_, -1);
        created_ = other.created_;
        busy_ = other.busy_;
        path_ = std::move(other.path_);
    }
    return *this;
}

PathLock::~PathLock() {
    Release();
}

void PathLock::Release() {
    if (fd_ < 0) {
        return;
    }
    if (created_) {
        // The empty file made only to be locked goes again, unless something replaced or
        // filled it.
        struct stat held {};
        struct stat now {};
        if (::fstat(fd_, &held) == 0 && held.st_size == 0 && ::stat(path_.c_str(), &now) == 0 &&
            now.st_dev == held.st_dev && now.st_ino == held.st_ino) {
            ::unlink(path_.c_str());
        }
    }
    ::close(fd_);
    fd_ = -1;
}

std::string PathLock::ReadAll() const {
    std::string text;
    char chunk[65536];
    off_t at = 0;
    for (;;) {
        const ssize_t got = ::pread(fd_, chunk, sizeof chunk, at);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw StreamReadError();
        }
        if (got == 0) {
            return text;
        }
        text.append(chunk, static_cast<std::size_t>(got));
        at += got;
    }
}

FileStamp FileStamp::Of(const std::string& path) {
    FileStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return stamp;
    }
    stamp.exists = true;
    stamp.device = static_cast<std::uint64_t>(st.st_dev);
    stamp.inode = static_cast<std::uint64_t>(st.st_ino);
    stamp.size = static_cast<std::uint64_t>(st.st_size);
    stamp.modifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changedNs = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return stamp;
}

int InOutCodeFromErrno(int error) {
    switch (error) {
    case ENOENT:
        return 2;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case EISDIR:
        return 3;
    case EMFILE:
    case ENFILE:
        return 4;
    case EACCES:
    case EPERM:
    case EROFS:
        return 5;
    case EWOULDBLOCK:
        return 32; // held locked by another program
    case ENOSPC:
        return 101;
    default:
        return error;
    }
}

std::vector<std::uint8_t> ReadWholeFileForAdd(const std::string& path) {
    errno = 0;
    const int fd = OpenExisting(path, O_RDONLY, Share::DenyWrite);
    if (fd < 0) {
        throw InOutError(InOutCodeFromErrno(errno));
    }
    File file(fd);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
    std::size_t done = 0;
    while (done < bytes.size()) {
        std::size_t got = 0;
        try {
            got = file.ReadSome(bytes.data() + done, bytes.size() - done);
        } catch (const RixError&) {
            throw InOutError(InOutCodeFromErrno(errno));
        }
        if (got == 0) {
            throw InOutError(100); // shorter than its size when read
        }
        done += got;
    }
    return bytes;
}

} // namespace rix
