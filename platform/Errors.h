// The one error type of the system and every error text it raises. Only the front ends catch
// errors; everything below them lets them pass.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace rix {

// Message texts, each defined once. "%s" and "%d" are replaced by FormatText.
namespace msg {
inline constexpr std::string_view kCannotOpenFile = "Cannot open file %s";
inline constexpr std::string_view kCannotCreateFile = "Cannot create file %s";
inline constexpr std::string_view kStreamWriteError = "Stream write error";
inline constexpr std::string_view kStreamReadError = "Stream read error";
inline constexpr std::string_view kNotValidInteger = "'%s' is not a valid integer value";
inline constexpr std::string_view kResourceNotFound = "Resource %s not found";
inline constexpr std::string_view kNotASettingsFile = "%s is not a settings file";
// The desktop program's own folder; the reason the system gives follows ": ".
inline constexpr std::string_view kCannotCreateFolder = "Cannot create folder %s";
inline constexpr std::string_view kCannotEnterFolder = "Cannot change to folder %s";
inline constexpr std::string_view kNoDataFolder =
    "Cannot find the user's data folder: neither XDG_DATA_HOME nor HOME is set";
// Texts of the file I/O errors met while adding ROM files, by error code.
inline constexpr std::string_view kFileNotFound = "File not found";               // 2
inline constexpr std::string_view kInvalidFilename = "Invalid filename";          // 3
inline constexpr std::string_view kTooManyOpenFiles = "Too many open files";      // 4
inline constexpr std::string_view kFileAccessDenied = "File access denied";       // 5
inline constexpr std::string_view kReadBeyondEnd = "Read beyond end of file";     // 100
inline constexpr std::string_view kDiskFull = "Disk full";                        // 101
inline constexpr std::string_view kInvalidNumericInput = "Invalid numeric input"; // 106
inline constexpr std::string_view kIoErrorCode = "I/O error %d";                  // others
} // namespace msg

// Replaces the first "%s" with `arg`.
std::string FormatText(std::string_view pattern, std::string_view arg);
// Replaces the first "%d" with `value` in decimal.
std::string FormatText(std::string_view pattern, long value);

// Which kind of failure an error is, for callers that must tell them apart.
enum class ErrorKind {
    OpenFile,
    CreateFile,
    WriteStream,
    ReadStream,
    Convert,
    Resource,
    InOut,
    Other
};

class RixError : public std::runtime_error {
public:
    RixError(ErrorKind kind, const std::string& message)
        : std::runtime_error(message), kind_(kind) {}
    ErrorKind Kind() const { return kind_; }

private:
    ErrorKind kind_;
};

// Factories, one per message.
RixError CannotOpenFile(std::string_view path);
RixError CannotCreateFile(std::string_view path);
RixError StreamWriteError();
RixError StreamReadError();
RixError NotValidInteger(std::string_view text);
RixError ResourceNotFound(std::string_view name);
// A file that holds no settings text (binary bytes, or no line of settings syntax).
RixError NotASettingsFile(std::string_view path);
// The three about the desktop program's own folder; `reason` is the system's (strerror).
RixError CannotCreateFolder(std::string_view path, std::string_view reason);
RixError CannotEnterFolder(std::string_view path, std::string_view reason);
RixError NoDataFolder();
// The file I/O error of a code (2 file not found, 5 access denied, 100 read beyond end, ...).
RixError InOutError(int code);
std::string InOutErrorText(int code);

// What the error display shows: the message, with "." appended when its last byte has a code
// above that of "." (46). An empty message stays empty.
std::string ErrorDisplayText(std::string_view message);

} // namespace rix
