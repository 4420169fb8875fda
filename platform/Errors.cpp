#include "platform/Errors.h"

namespace rix {

std::string FormatText(std::string_view pattern, std::string_view arg) {
    std::string out(pattern);
    if (auto at = out.find("%s"); at != std::string::npos) {
        out.replace(at, 2, arg);
    }
    return out;
}

std::string FormatText(std::string_view pattern, long value) {
    std::string out(pattern);
    if (auto at = out.find("%d"); at != std::string::npos) {
        out.replace(at, 2, std::to_string(value));
    }
    return out;
}

RixError CannotOpenFile(std::string_view path) {
    return RixError(ErrorKind::OpenFile, FormatText(msg::kCannotOpenFile, path));
}
RixError NotASettingsFile(std::string_view path) {
    return RixError(ErrorKind::OpenFile, FormatText(msg::kNotASettingsFile, path));
}
RixError CannotCreateFile(std::string_view path) {
    return RixError(ErrorKind::CreateFile, FormatText(msg::kCannotCreateFile, path));
}
RixError StreamWriteError() {
    return RixError(ErrorKind::WriteStream, std::string(msg::kStreamWriteError));
}
RixError StreamReadError() {
    return RixError(ErrorKind::ReadStream, std::string(msg::kStreamReadError));
}
RixError NotValidInteger(std::string_view text) {
    return RixError(ErrorKind::Convert, FormatText(msg::kNotValidInteger, text));
}
RixError ResourceNotFound(std::string_view name) {
    return RixError(ErrorKind::Resource, FormatText(msg::kResourceNotFound, name));
}
RixError CannotCreateFolder(std::string_view path, std::string_view reason) {
    return RixError(ErrorKind::CreateFile,
                    FormatText(msg::kCannotCreateFolder, path) + ": " + std::string(reason));
}
RixError CannotEnterFolder(std::string_view path, std::string_view reason) {
    return RixError(ErrorKind::OpenFile,
                    FormatText(msg::kCannotEnterFolder, path) + ": " + std::string(reason));
}
RixError NoDataFolder() {
    return RixError(ErrorKind::Other, std::string(msg::kNoDataFolder));
}

std::string InOutErrorText(int code) {
    switch (code) {
    case 2:
        return std::string(msg::kFileNotFound);
    case 3:
        return std::string(msg::kInvalidFilename);
    case 4:
        return std::string(msg::kTooManyOpenFiles);
    case 5:
        return std::string(msg::kFileAccessDenied);
    case 100:
        return std::string(msg::kReadBeyondEnd);
    case 101:
        return std::string(msg::kDiskFull);
    case 106:
        return std::string(msg::kInvalidNumericInput);
    default:
        return FormatText(msg::kIoErrorCode, long(code));
    }
}

RixError InOutError(int code) {
    return RixError(ErrorKind::InOut, InOutErrorText(code));
}

std::string ErrorDisplayText(std::string_view message) {
    std::string out(message);
    if (!out.empty() && static_cast<unsigned char>(out.back()) > '.') {
        out += '.';
    }
    return out;
}

} // namespace rix
