#include "platform/File.h"

#include "platform/Errors.h"
#include "platform/Paths.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

int OpenExisting(const std::string& path, int flags, Share share) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !Lock(fd, share)) {
        const int saved = errno == 0 ? EWOULDBLOCK : errno;
        ::close(fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : saved;
        return -1;
    }
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

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

File::~File() {
    Close();
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

void File::ReadExact(void* buffer, std::size_t length) {
    auto* at = static_cast<unsigned char*>(buffer);
    while (length > 0) {
        const std::size_t got = ReadSome(at, length);
        if (got == 0) {
            throw StreamReadError();
        }
        at += got;
        length -= got;
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

AtomicFile::AtomicFile(File file, std::string temp, std::string target, std::string errorPath)
    : file_(std::move(file)), temp_(std::move(temp)), target_(std::move(target)),
      errorPath_(std::move(errorPath)) {}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : file_(std::move(other.file_)), temp_(std::move(other.temp_)),
      target_(std::move(other.target_)), errorPath_(std::move(other.errorPath_)),
      committed_(std::exchange(other.committed_, true)) {}

AtomicFile AtomicFile::Create(const std::string& link, const std::string& errorPath) {
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
    if (::stat(target.c_str(), &st) == 0) {
        // A read-only target is refused: the rename must not get round its protection.
        if (!S_ISREG(st.st_mode) || IsReadOnlyPath(target)) {
            throw CannotCreateFile(errorPath);
        }
        // Another process holding the target open with a lock: not ours to replace now.
        const int probe = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
        if (probe < 0) {
            throw CannotCreateFile(errorPath);
        }
        const bool free = ::flock(probe, LOCK_EX | LOCK_NB) == 0;
        ::close(probe);
        if (!free) {
            throw CannotCreateFile(errorPath);
        }
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    std::string pattern = target + ".tmp-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        throw CannotCreateFile(errorPath);
    }
    ::fchmod(fd, mode);
    ::flock(fd, LOCK_EX | LOCK_NB);
    return AtomicFile(File(fd), pattern, target, errorPath);
}

void AtomicFile::Commit(bool durable) {
    if (durable) {
        file_.Flush();
    }
    file_.Close();
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        throw CannotCreateFile(errorPath_);
    }
    committed_ = true;
}

AtomicFile::~AtomicFile() {
    if (!committed_ && !temp_.empty()) {
        file_.Close();
        ::unlink(temp_.c_str());
    }
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
