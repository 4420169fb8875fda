// Files with the sharing behaviour the program asks for, through advisory locks (flock):
// a reader that denies writers holds a shared lock, an exclusive opener an exclusive one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rix {

enum class Share {
    DenyNone,  // others may read and write
    DenyWrite, // others may read, not write
    Exclusive, // nobody else may open it
};

std::vector<std::uint8_t> ReadWholeFileForAdd(const std::string& path);

class File {
public:
    // Opens an existing file; fails with "Cannot open file %s" (the path as given).
    static File OpenRead(const std::string& path, Share share);
    static File OpenReadWrite(const std::string& path, Share share);

    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    std::uint64_t Size() const;
    std::uint64_t Position() const;
    void Seek(std::uint64_t position);
    void SeekToEnd();
    // Reads exactly `length` bytes; "Stream read error" when the file has fewer.
    void ReadExact(void* buffer, std::size_t length);
    // Reads up to `length` bytes; returns how many (0 at the end).
    std::size_t ReadSome(void* buffer, std::size_t length);
    // Writes all bytes; "Stream write error" when fewer are written.
    void WriteAll(const void* buffer, std::size_t length);
    // Copies exactly `length` bytes from `source`'s position to this file's position, in the
    // kernel where it can. "Stream read error" when the source ends first.
    void CopyFrom(File& source, std::uint64_t length);
    void Flush();
    void Close();

private:
    friend class AtomicFile;
    friend std::vector<std::uint8_t> ReadWholeFileForAdd(const std::string& path);
    explicit File(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// A file written under a temporary name beside its target and renamed over it by Commit, so
// the target is either the previous file or the complete new one. Dropping it uncommitted
// removes the temporary file.
class AtomicFile {
public:
    // Fails with "Cannot create file %s" (`errorPath` in place of %s) when the directory is
    // missing or read-only, or the target is read-only or held open by another process.
    static AtomicFile Create(const std::string& target, const std::string& errorPath);

    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&&) = delete;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();

    File& Stream() { return file_; }
    const std::string& TemporaryPath() const { return temp_; }
    // Renames over the target, after making the data durable when `durable` (what cannot be
    // made again, like the settings); "Stream write error" when the data cannot be flushed,
    // "Cannot create file %s" when the rename fails.
    void Commit(bool durable = true);

private:
    AtomicFile(File file, std::string temp, std::string target, std::string errorPath);
    File file_;
    std::string temp_;
    std::string target_;
    std::string errorPath_;
    bool committed_ = false;
};

// Reads a whole file the way the ROM list adds one: failures are file I/O errors by code
// (2 file not found, 5 access denied, 32 locked by another program, 100 file shorter than its
// size, ...). The file is shared for reading while it is read.
std::vector<std::uint8_t> ReadWholeFileForAdd(const std::string& path);

// The operating-system error code that the file I/O texts use for an errno value.
int InOutCodeFromErrno(int error);

} // namespace rix
