// Another program's hold on a file, as this platform has them: a reader that keeps writers out,
// or a turn on the file (what a program saving it holds). Advisory locks of its own descriptor
// here; on Windows a sharing mode, or a turn taken through the platform layer for a thread of
// its own.
#pragma once

#include <string>

#ifdef _WIN32
#include "platform/File.h"
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace rix::test {

enum class Hold { Reader, Turn };

class OtherHolder {
public:
    OtherHolder(const std::string& path, Hold hold) {
#ifdef _WIN32
        if (hold == Hold::Turn) {
            turn_ = PathLock::Acquire(path, 0);
        } else {
            file_ = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        }
#else
        fd_ = ::open(path.c_str(), O_RDONLY);
        ::flock(fd_, hold == Hold::Turn ? LOCK_EX : LOCK_SH);
#endif
    }
    ~OtherHolder() {
        Release();
    }
    OtherHolder(const OtherHolder&) = delete;
    OtherHolder& operator=(const OtherHolder&) = delete;

    void Release() {
#ifdef _WIN32
        turn_.Release();
        if (file_ != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file_);
            file_ = INVALID_HANDLE_VALUE;
        }
#else
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
#endif
    }

private:
#ifdef _WIN32
    PathLock turn_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
#else
    int fd_ = -1;
#endif
};

} // namespace rix::test
