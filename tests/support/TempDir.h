// A fresh directory under the system's temporary folder, removed with everything in it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace rix::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

std::string ReadFileText(const std::string& path);
std::vector<unsigned char> ReadFileBytes(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);
void WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes);

#ifndef _WIN32
// Runs `body` in a child process with the file-size limit set to `limit` bytes (writes beyond
// it fail instead of killing the process); returns the child's exit status.
int RunWithFileSizeLimit(unsigned long limit, int (*body)(void*), void* context);
#endif

} // namespace rix::test
