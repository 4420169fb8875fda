#include "RixBuildRun.h"

#include "support/TempDir.h"

#include <filesystem>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace rix::test {

int RunRixBuild(const std::string& directory, std::vector<std::string> args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(directory.c_str()) != 0) {
            ::_exit(99);
        }
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, STDIN_FILENO);
        ::dup2(devnull, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>("rix-build")};
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        ::execv(RIX_BUILD_BINARY, argv.data());
        ::_exit(98);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string OwnCopy(const std::string& directory, const std::string& path) {
    const std::filesystem::path copy =
        std::filesystem::path(directory) / std::filesystem::path(path).filename();
    std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
    return copy.string();
}

std::vector<std::uint8_t> Bytes(const std::string& path) {
    const std::vector<unsigned char> bytes = ReadFileBytes(path);
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

} // namespace rix::test
