// Paths on this platform: "/" separates and names match case-sensitively; on Windows "\"
// separates ("/" is read as one too) and names match without regard to case.
#pragma once

#include <string>
#include <string_view>

namespace rix {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
inline constexpr std::string_view kPathSeparators = "\\/";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr std::string_view kPathSeparators = "/";
#endif

std::string CurrentDirectory();
// A regular file (a directory of that name counts as no file).
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// What a path names: a regular file, nothing (in a folder that exists), something else (a
// directory, a device, a FIFO), or nothing that can be looked at (a folder that does not exist
// or may not be entered).
enum class PathKind { File, Missing, Other, Unreachable };
PathKind KindOfPath(const std::string& path);
// Creates the last level of `path` only; returns false when that fails.
bool CreateDirectoryLevel(const std::string& path);
// Read-only in the sense of the file's own protection; the superuser, whom the system never
// stops, still counts a file or directory without any write permission bit as read-only.
bool IsReadOnlyPath(const std::string& path);
// The running program's own file.
std::string RunningProgramPath();

// The part after the last separator, and the part up to and including it.
std::string FileNameOf(std::string_view path);
std::string DirectoryWithSeparatorOf(std::string_view path);
// The directory holding `path` without a trailing separator ("." when there is none), but a
// root keeps its own ("/", and on Windows "\" and "C:\").
std::string DirectoryOf(std::string_view path);
// Either separator becomes this platform's.
std::string ToNativeSeparators(std::string_view path);

} // namespace rix
