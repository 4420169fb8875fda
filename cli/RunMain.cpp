#include "cli/RixRunCommand.h"

int main(int argc, char** argv) {
    return rix::cli::RunRixRun(std::vector<std::string>(argv + 1, argv + argc),
                               rix::cli::Console{});
}
