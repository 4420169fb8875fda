// Files on Windows: the system's sharing modes and replace-by-rename through MoveFileExW. The
// turns programs take on a shared file are a named mutex per file: Windows will not replace a
// file that anyone holds open, so the turn cannot be a lock on the file itself as elsewhere.
#include "platform/File.h"

#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/Win32Text.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <cwctype>
#include <future>
#include <thread>
#include <utility>
#include <vector>

namespace rix {

using win32::Wide;

namespace {

HANDLE Native(FileHandle h) {
    return reinterpret_cast<HANDLE>(h);
}

FileHandle FromNative(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<FileHandle>(h);
}

// The mutex that stands for the turn on a file: named after its full path, upper-cased as
// Windows matches names, hashed to fit a name's length.
std::wstring TurnName(const std::string& path) {
    const std::wstring wide = Wide(path);
    std::wstring full(::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr) + 1, L'\0');
    const DWORD n = ::GetFullPathNameW(wide.c_str(), DWORD(full.size()), full.data(), nullptr);
    full.resize(n > 0 && n < full.size() ? n : 0);
    if (full.empty()) {
        full = wide;
    }
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (wchar_t c : full) {
        const auto unit = static_cast<std::uint16_t>(std::towupper(c == L'/' ? L'\\' : c));
        hash = (hash ^ (unit & 0xFF)) * 1099511628211ull;
        hash = (hash ^ (unit >> 8)) * 1099511628211ull;
    }
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\Rix-turn-%016llx", static_cast<unsigned long long>(hash));
    return name;
}

// Another thread or program holds the turn on `path` (the thread holding it may open it).
bool TurnHeldByAnother(const std::string& path) {
    HANDLE m = ::OpenMutexW(SYNCHRONIZE, FALSE, TurnName(path).c_str());
    if (m == nullptr) {
        return false;
    }
    const DWORD got = ::WaitForSingleObject(m, 0);
    if (got == WAIT_OBJECT_0 || got == WAIT_ABANDONED) {
        ::ReleaseMutex(m);
    }
    ::CloseHandle(m);
    return got == WAIT_TIMEOUT;
}

DWORD ShareFlags(Share share) {
    switch (share) {
    case Share::DenyNone:
        return FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    case Share::DenyWrite:
        return FILE_SHARE_READ;
    case Share::Exclusive:
        break;
    }
    return 0;
}

bool IsBusy(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// A path through a file as if it were a folder is no file name at all (as elsewhere), where a
// folder that is missing means a missing file.
bool UnderAFile(const std::string& path) {
    for (std::string dir = DirectoryOf(path);; dir = DirectoryOf(dir)) {
        if (FileExists(dir)) {
            return true;
        }
        if (DirectoryExists(dir) || DirectoryOf(dir) == dir) {
            return false;
        }
    }
}

// Only a regular file is kept: a folder fails with ERROR_DIRECTORY, a device or pipe with
// ERROR_INVALID_NAME, a turn held by another program with ERROR_LOCK_VIOLATION.
HANDLE OpenExisting(const std::string& path, DWORD access, Share share) {
    const std::wstring wide = Wide(path);
    HANDLE h = ::CreateFileW(wide.c_str(), access, ShareFlags(share), nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        const DWORD a = ::GetFileAttributesW(wide.c_str());
        ::SetLastError(a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0
                           ? ERROR_DIRECTORY
                       : error == ERROR_PATH_NOT_FOUND && UnderAFile(path) ? ERROR_DIRECTORY
                                                                           : error);
        return INVALID_HANDLE_VALUE;
    }
    if (::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        ::SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    if (share != Share::DenyNone && TurnHeldByAnother(path)) {
        ::CloseHandle(h);
        ::SetLastError(ERROR_LOCK_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

// Opened only to be looked at: no access to its data, so no sharing mode keeps it out.
HANDLE OpenToLookAt(const std::string& path) {
    return ::CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

std::int64_t Nanoseconds(std::int64_t hundreds) {
    return hundreds * 100;
}

} // namespace

File File::OpenRead(const std::string& path, Share share) {
    HANDLE h = OpenExisting(path, GENERIC_READ, share);
    if (h == INVALID_HANDLE_VALUE) {
        throw CannotOpenFile(path);
    }
    return File(FromNative(h));
}

File File::OpenReadWaiting(const std::string& path, Share share, int waitMs) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        HANDLE h = OpenExisting(path, GENERIC_READ, share);
        if (h != INVALID_HANDLE_VALUE) {
            return File(FromNative(h));
        }
        const DWORD error = ::GetLastError();
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        if (!IsBusy(error) || waited.count() >= waitMs) {
            throw CannotOpenFile(path);
        }
        ::Sleep(5);
    }
}

File File::OpenReadWrite(const std::string& path, Share share) {
    if (IsReadOnlyPath(path)) {
        throw CannotOpenFile(path);
    }
    HANDLE h = OpenExisting(path, GENERIC_READ | GENERIC_WRITE, share);
    if (h == INVALID_HANDLE_VALUE) {
        throw CannotOpenFile(path);
    }
    return File(FromNative(h));
}

void File::Close() {
    if (fd_ != -1) {
        ::CloseHandle(Native(fd_));
        fd_ = -1;
    }
}

std::uint64_t File::Size() const {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(Native(fd_), &size)) {
        throw StreamReadError();
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::uint64_t File::Position() const {
    LARGE_INTEGER zero{};
    LARGE_INTEGER at{};
    if (!::SetFilePointerEx(Native(fd_), zero, &at, FILE_CURRENT)) {
        throw StreamReadError();
    }
    return static_cast<std::uint64_t>(at.QuadPart);
}

void File::Seek(std::uint64_t position) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(position);
    if (!::SetFilePointerEx(Native(fd_), to, nullptr, FILE_BEGIN)) {
        throw StreamReadError();
    }
}

void File::SeekToEnd() {
    LARGE_INTEGER zero{};
    if (!::SetFilePointerEx(Native(fd_), zero, nullptr, FILE_END)) {
        throw StreamReadError();
    }
}

std::size_t File::ReadSome(void* buffer, std::size_t length) {
    DWORD got = 0;
    const DWORD ask = DWORD(std::min<std::size_t>(length, 1u << 30));
    if (!::ReadFile(Native(fd_), buffer, ask, &got, nullptr)) {
        if (::GetLastError() == ERROR_HANDLE_EOF) {
            return 0;
        }
        throw StreamReadError();
    }
    return got;
}

void File::WriteAll(const void* buffer, std::size_t length) {
    const auto* at = static_cast<const unsigned char*>(buffer);
    while (length > 0) {
        DWORD put = 0;
        const DWORD ask = DWORD(std::min<std::size_t>(length, 1u << 30));
        if (!::WriteFile(Native(fd_), at, ask, &put, nullptr) || put == 0) {
            throw StreamWriteError();
        }
        at += put;
        length -= put;
    }
}

void File::CopyFrom(File& source, std::uint64_t length) {
    std::vector<unsigned char> buffer(std::size_t(std::min<std::uint64_t>(length, 1u << 20)));
    while (length > 0) {
        const std::size_t part = std::size_t(std::min<std::uint64_t>(length, buffer.size()));
        source.ReadExact(buffer.data(), part);
        WriteAll(buffer.data(), part);
        length -= part;
    }
}

void File::Flush() {
    if (!::FlushFileBuffers(Native(fd_))) {
        throw StreamWriteError();
    }
}

AtomicFile AtomicFile::Create(const std::string& target, const std::string& errorPath,
                              bool targetLocked) {
    if (!DirectoryExists(DirectoryOf(target))) {
        throw CannotCreateFile(errorPath);
    }
    const DWORD a = ::GetFileAttributesW(Wide(target).c_str());
    if (a != INVALID_FILE_ATTRIBUTES) {
        // A read-only target is refused: the rename must not get round its protection.
        if ((a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
            throw CannotCreateFile(errorPath);
        }
        // Another program holding its turn on the target, or holding it open without letting
        // it be replaced: not ours to replace now.
        if (!targetLocked) {
            HANDLE probe = ::CreateFileW(Wide(target).c_str(), DELETE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (probe == INVALID_HANDLE_VALUE || TurnHeldByAnother(target)) {
                if (probe != INVALID_HANDLE_VALUE) {
                    ::CloseHandle(probe);
                }
                throw CannotCreateFile(errorPath);
            }
            ::CloseHandle(probe);
        }
    }
    std::uint32_t seed = ::GetCurrentProcessId() * 2654435761u ^
                         static_cast<std::uint32_t>(::GetTickCount64()) ^
                         static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&seed));
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 1664525u + 1013904223u;
        std::string temp = target + ".tmp-";
        for (int i = 0; i < 6; ++i) {
            temp += "abcdefghijklmnopqrstuvwxyz0123456789"[(seed >> (i * 5)) % 36];
        }
        HANDLE h = ::CreateFileW(Wide(temp).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            return AtomicFile(File(FromNative(h)), temp, target, errorPath);
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    throw CannotCreateFile(errorPath);
}

void AtomicFile::Commit(bool durable) {
    if (durable) {
        file_.Flush();
    }
    file_.Close();
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0);
    // A file that someone holds open cannot be replaced; a moment's look at it (a scanner,
    // an indexer, another program reading its stamp) is waited out for a while.
    for (int attempt = 0;; ++attempt) {
        if (::MoveFileExW(Wide(temp_).c_str(), Wide(target_).c_str(), flags)) {
            break;
        }
        const DWORD error = ::GetLastError();
        if (attempt >= 100 || (error != ERROR_ACCESS_DENIED && !IsBusy(error))) {
            throw CannotCreateFile(errorPath_);
        }
        ::Sleep(10);
    }
    committed_ = true;
}

AtomicFile::~AtomicFile() {
    file_.Close();
    if (!committed_ && !temp_.empty()) {
        ::DeleteFileW(Wide(temp_).c_str());
    }
}

struct PathLock::Turn {
    HANDLE mutex = nullptr;
    HANDLE letGo = nullptr;
    std::thread owner;
    FileStamp made; // the empty file the turn made, told apart from a file saved in its place
    ~Turn() {
        if (owner.joinable()) {
            ::SetEvent(letGo);
            owner.join();
        }
        ::CloseHandle(letGo);
        ::CloseHandle(mutex);
    }
};

PathLock PathLock::Acquire(const std::string& path, int waitMs) {
    auto turn = std::make_unique<Turn>();
    turn->mutex = ::CreateMutexW(nullptr, FALSE, TurnName(path).c_str());
    turn->letGo = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (turn->mutex == nullptr || turn->letGo == nullptr) {
        return {};
    }
    // An abandoned mutex is the turn of a program that ended without giving it back: ours now.
    std::promise<bool> won;
    std::future<bool> outcome = won.get_future();
    turn->owner = std::thread([m = turn->mutex, letGo = turn->letGo, waitMs, &won] {
        const DWORD got = ::WaitForSingleObject(m, waitMs < 0 ? INFINITE : DWORD(waitMs));
        const bool owned = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;
        won.set_value(owned);
        if (owned) {
            ::WaitForSingleObject(letGo, INFINITE);
            ::ReleaseMutex(m);
        }
    });
    if (!outcome.get()) {
        PathLock busy;
        busy.busy_ = true;
        return busy;
    }
    bool created = false;
    const std::wstring wide = Wide(path);
    const DWORD a = ::GetFileAttributesW(wide.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) {
        HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        created = h != INVALID_HANDLE_VALUE;
        if (created) {
            ::CloseHandle(h);
        }
    }
    if ((a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0) ||
        (a == INVALID_FILE_ATTRIBUTES && !created)) {
        return {};
    }
    if (created) {
        turn->made = FileStamp::Of(path);
    }
    PathLock lock;
    lock.fd_ = FromNative(turn->mutex);
    lock.turn_ = std::move(turn);
    lock.created_ = created;
    lock.path_ = path;
    return lock;
}

PathLock::PathLock() = default;

PathLock::PathLock(PathLock&& other) noexcept
    : turn_(std::move(other.turn_)), fd_(std::exchange(other.fd_, -1)), created_(other.created_),
      busy_(other.busy_), path_(std::move(other.path_)) {}

PathLock& PathLock::operator=(PathLock&& other) noexcept {
    if (this != &other) {
        Release();
        turn_ = std::move(other.turn_);
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
    if (fd_ == -1) {
        return;
    }
    if (created_) {
        // The empty file made only to be locked goes again, unless something replaced it.
        const FileStamp now = FileStamp::Of(path_);
        if (now.exists && now.size == 0 && now.device == turn_->made.device &&
            now.inode == turn_->made.inode) {
            ::DeleteFileW(Wide(path_).c_str());
        }
    }
    turn_.reset();
    fd_ = -1;
}

std::string PathLock::ReadAll() const {
    HANDLE h = ::CreateFileW(Wide(path_).c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        throw StreamReadError();
    }
    File file(FromNative(h));
    std::string text;
    char chunk[65536];
    while (const std::size_t got = file.ReadSome(chunk, sizeof chunk)) {
        text.append(chunk, got);
    }
    return text;
}

FileStamp FileStamp::Of(const std::string& path) {
    FileStamp stamp;
    HANDLE h = OpenToLookAt(path);
    if (h == INVALID_HANDLE_VALUE) {
        return stamp;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    if (::GetFileInformationByHandle(h, &info)) {
        stamp.exists = true;
        stamp.device = info.dwVolumeSerialNumber;
        stamp.inode = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        stamp.size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        stamp.modifiedNs =
            Nanoseconds(std::int64_t((std::uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                     info.ftLastWriteTime.dwLowDateTime));
        if (::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic)) {
            stamp.changedNs = Nanoseconds(basic.ChangeTime.QuadPart);
        }
    }
    ::CloseHandle(h);
    return stamp;
}

int InOutCodeFromWin32Error(unsigned long error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return 2;
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BAD_PATHNAME:
        return 3;
    case ERROR_TOO_MANY_OPEN_FILES:
        return 4;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return 5;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return 32; // held by another program
    case ERROR_HANDLE_EOF:
        return 100;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return 101;
    default:
        return int(error);
    }
}

std::vector<std::uint8_t> ReadWholeFileForAdd(const std::string& path) {
    HANDLE h = OpenExisting(path, GENERIC_READ, Share::DenyWrite);
    if (h == INVALID_HANDLE_VALUE) {
        throw InOutError(InOutCodeFromWin32Error(::GetLastError()));
    }
    File file(FromNative(h));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const DWORD ask = DWORD(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        if (!::ReadFile(h, bytes.data() + done, ask, &got, nullptr)) {
            throw InOutError(InOutCodeFromWin32Error(::GetLastError()));
        }
        if (got == 0) {
            throw InOutError(100); // shorter than its size when read
        }
        done += got;
    }
    return bytes;
}

} // namespace rix
