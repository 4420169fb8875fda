// Where the system's text meets Qt's. The settings document holds 8-bit bytes in the
// Windows-1252 code page; paths are the file system's own bytes.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace rix::ui {

// Settings text to Qt and back. Every byte has its character, so a text read from the
// settings file and written back unchanged keeps its bytes; characters outside the code page
// become "?", one per character.
QString ToQString(std::string_view ansi);
std::string ToAnsi(const QString& text);

// File system paths, in the encoding the file system uses (QFile::encodeName/decodeName).
QString PathToQString(std::string_view path);
std::string PathFromQString(const QString& path);

// Messages for the user that may carry either kind: UTF-8 when the bytes form it, otherwise
// the settings code page.
QString MessageToQString(std::string_view message);

} // namespace rix::ui
