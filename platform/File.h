// Files with the sharing behaviour the program asks for. On Windows these are the system's own
// sharing modes, and a named mutex per file is the turn programs take (PathLock); elsewhere
// advisory locks (flock) stand in: a reader that denies writers holds a shared lock, an
// exclusive opener and a turn an exclusive one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rix {

// A file descriptor, or on Windows a HANDLE held as an integer (PathLock's: its mutex); -1 for
// none on both.
#ifdef _WIN32
using FileHandle = std::intptr_t;
#else
using FileHandle = int;
#endif

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
    // The same, but while another program holds a lock that keeps this share out, tries again
    // for up to `waitMs` milliseconds.
    static File OpenReadWaiting(const std::string& path, Share share, int waitMs);
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
    friend class PathLock;
    friend std::vector<std::uint8_t> ReadWholeFileForAdd(const std::string& path);
    explicit File(FileHandle fd) : fd_(fd) {}
    FileHandle fd_ = -1;
};

// A file written under a temporary name beside its target and renamed over it by Commit, so
// the target is either the previous file or the complete new one. Dropping it uncommitted
// removes the temporary file.
class AtomicFile {
public:
    // Fails with "Cannot create file %s" (`errorPath` in place of %s) when the directory is
    // missing or read-only, or the target is read-only or held open by another process (unless
    // the caller holds the target's PathLock itself: `targetLocked`).
    static AtomicFile Create(const std::string& target, const std::string& errorPath,
                             bool targetLocked = false);

    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&&) = delete;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();

    File& Stream() { return file_; }
    // Renames over the target, after making the data durable when `durable` (what cannot be
    // made again, like the settings); "Stream write error" when the data cannot be flushed,
    // "Cannot create file %s" when the rename fails.
    void Commit(bool durable = true);

private:
    AtomicFile(File file, std::string temp, std::string target, std::string errorPath);
    File file_;
    // Empty while the data sits in an unnamed file (O_TMPFILE, not on Windows), which a crash
    // cannot leave behind; named only at Commit, just before the rename.
    std::string temp_;
    std::string target_;
    std::string errorPath_;
    bool committed_ = false;
};

// Programs that share a file (the settings file) take turns through an exclusive lock on it.
// Saves replace the file by rename, so the lock ends up on whatever file the path names once it
// is held: a lock won on a file that was renamed away meanwhile is let go and taken again. A
// missing file is created empty to be locked, and removed on release if it is still empty and
// still there.
class PathLock {
public:
    // Waits up to `waitMs` milliseconds for the lock (negative: as long as it takes). Without
    // the lock, Busy() tells whether another program held it all that time; otherwise the path
    // cannot be locked (no regular file, a folder that cannot be written to) and whoever goes
    // on meets the real error.
    static PathLock Acquire(const std::string& path, int waitMs);

    PathLock();
    PathLock(PathLock&& other) noexcept;
    PathLock& operator=(PathLock&& other) noexcept;
    PathLock(const PathLock&) = delete;
    PathLock& operator=(const PathLock&) = delete;
    ~PathLock();

    bool Held() const { return fd_ >= 0; }
    bool Busy() const { return busy_; }
    // The lock made the file: nothing was there before.
    bool Created() const { return created_; }
    // The locked file's bytes.
    std::string ReadAll() const;
    void Release();

private:
    // On Windows the turn is a named mutex, held by a thread of its own so that any thread may
    // let it go and two turns of one thread still exclude each other.
    struct Turn;
    std::unique_ptr<Turn> turn_;
    FileHandle fd_ = -1;
    bool created_ = false;
    bool busy_ = false;
    std::string path_;
};

// What tells one state of a file from another: where it lies, its size and its times. A file
// replaced by rename, or rewritten in place, has another stamp.
struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    static FileStamp Of(const std::string& path);
    bool operator==(const FileStamp&) const = default;
};

// Reads a whole file the way the ROM list adds one: failures are file I/O errors by code
// (2 file not found, 5 access denied, 32 locked by another program, 100 file shorter than its
// size, ...). The file is shared for reading while it is read.
std::vector<std::uint8_t> ReadWholeFileForAdd(const std::string& path);

#ifdef _WIN32
// The file I/O error code of a Win32 error code, chosen so that both platforms give the same
// texts for the same failure.
int InOutCodeFromWin32Error(unsigned long error);
#else
// The operating-system error code that the file I/O texts use for an errno value.
int InOutCodeFromErrno(int error);
#endif

} // namespace rix
