#include "platform/Paths.h"
#include "platform/Win32Text.h"

#include <windows.h>

#include <vector>

namespace rix {

namespace win32 {

std::wstring Wide(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(std::size_t(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), out.data(), n);
    return out;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string out(std::size_t(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), out.data(), n, nullptr,
                          nullptr);
    return out;
}

} // namespace win32

using win32::Narrow;
using win32::Wide;

namespace {
constexpr DWORD kNoAttributes = INVALID_FILE_ATTRIBUTES;

DWORD AttributesOf(const std::string& path) {
    return path.empty() ? kNoAttributes : ::GetFileAttributesW(Wide(path).c_str());
}
} // namespace

std::string CurrentDirectory() {
    const DWORD n = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring buffer(n, L'\0');
    const DWORD got = ::GetCurrentDirectoryW(n, buffer.data());
    if (got == 0 || got >= n) {
        return ".";
    }
    buffer.resize(got);
    return Narrow(buffer);
}

bool FileExists(const std::string& path) {
    const DWORD a = AttributesOf(path);
    return a != kNoAttributes && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
    const DWORD a = AttributesOf(path);
    return a != kNoAttributes && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

PathKind KindOfPath(const std::string& path) {
    const DWORD a = AttributesOf(path);
    if (a != kNoAttributes) {
        return (a & FILE_ATTRIBUTE_DIRECTORY) == 0 ? PathKind::File : PathKind::Other;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND && DirectoryExists(DirectoryOf(path))) {
        return PathKind::Missing;
    }
    return PathKind::Unreachable;
}

bool CreateDirectoryLevel(const std::string& path) {
    return ::CreateDirectoryW(Wide(path).c_str(), nullptr) != 0;
}

// A folder's read-only attribute says nothing about creating files in it on Windows; only
// files count.
bool IsReadOnlyPath(const std::string& path) {
    const DWORD a = AttributesOf(path);
    return a != kNoAttributes && (a & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           (a & FILE_ATTRIBUTE_READONLY) != 0;
}

std::string RunningProgramPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            return Narrow(std::wstring_view(buffer.data(), n));
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace rix
