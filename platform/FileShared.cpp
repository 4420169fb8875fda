// The parts of File and AtomicFile that are the same on every system, built on the system's
// own Close and ReadSome.
#include "platform/File.h"

#include "platform/Errors.h"

#include <utility>

namespace rix {

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

AtomicFile::AtomicFile(File file, std::string temp, std::string target, std::string errorPath)
    : file_(std::move(file)), temp_(std::move(temp)), target_(std::move(target)),
      errorPath_(std::move(errorPath)) {}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : file_(std::move(other.file_)), temp_(std::move(other.temp_)),
      target_(std::move(other.target_)), errorPath_(std::move(other.errorPath_)),
      committed_(std::exchange(other.committed_, true)) {}

} // namespace rix
