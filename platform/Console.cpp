#include "platform/Console.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace rix {

#ifdef _WIN32
namespace {
// A console, not merely a character device: NUL is one of those too.
bool IsConsole(DWORD stream) {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(stream), &mode) != 0;
}
} // namespace

bool StandardInputIsTerminal() {
    return IsConsole(STD_INPUT_HANDLE);
}
bool StandardErrorIsTerminal() {
    return IsConsole(STD_ERROR_HANDLE);
}
#else
bool StandardInputIsTerminal() {
    return ::isatty(STDIN_FILENO) != 0;
}
bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) != 0;
}
#endif

} // namespace rix
