// Paths on this platform: "/" separates, names match case-sensitively.
#pragma once

#include <string>
#include <string_view>

namespace rix {

inline constexpr char kPathSeparator = '/';

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
// The directory holding `path` without a trailing separator ("." when there is none).
std::string DirectoryOf(std::string_view path);
// "\" becomes "/".
std::string ToNativeSeparators(std::string_view path);

} // namespace rix
