#include "cli/RixBuildCommand.h"
#include "platform/Console.h"

int main(int argc, char** argv) {
    rix::cli::Console console;
    console.inIsTerminal = rix::StandardInputIsTerminal();
    console.errIsTerminal = rix::StandardErrorIsTerminal();
    return rix::cli::RunRixBuild(std::vector<std::string>(argv + 1, argv + argc), console);
}
