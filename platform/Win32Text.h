// Paths and texts crossing into the wide-character Win32 calls. The system's text is 8-bit in
// the ANSI code page, as the command line reaches main in; only platform/ includes this.
#pragma once

#ifdef _WIN32

#include <string>
#include <string_view>

namespace rix::win32 {

std::wstring Wide(std::string_view text);
std::string Narrow(std::wstring_view text);

} // namespace rix::win32

#endif
