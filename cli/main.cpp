#include "cli/RixBuildCommand.h"

#include <unistd.h>

int main(int argc, char** argv) {
    rix::cli::Console console;
    console.inIsTerminal = ::isatty(STDIN_FILENO) != 0;
    console.errIsTerminal = ::isatty(STDERR_FILENO) != 0;
    return rix::cli::RunRixBuild(std::vector<std::string>(argv + 1, argv + argc), console);
}
