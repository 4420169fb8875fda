#include "platform/DesktopFolder.h"
#include "platform/Paths.h"

#include "support/ErrorOf.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

namespace rix {
namespace {

using test::ErrorOf;
using test::ReadFileText;
using test::TempDir;
using test::WriteFileText;

namespace fs = std::filesystem;

const char kPrepared[] = "[Settings]\r\nRixBinary=\r\n\r\n[Preset Standard]\r\nA=Fire 1\r\n";

std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

TEST(UserDataFolder, FollowsTheXdgRules) {
    struct Case {
        const char* xdgDataHome;
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {"/data/x", "/home/u", "/data/x"},
        {nullptr, "/home/u", "/home/u/.local/share"},
        {"", "/home/u/", "/home/u/.local/share"},
        // A relative XDG_DATA_HOME is invalid and ignored.
        {"data", "/home/u", "/home/u/.local/share"},
        {"data", nullptr,
         "Cannot find the user's data folder: neither XDG_DATA_HOME nor HOME is set"},
        {nullptr, "", "Cannot find the user's data folder: neither XDG_DATA_HOME nor HOME is set"},
    };
    for (const Case& c : cases) {
        std::string got = ErrorOf([&] { UserDataFolder(c.xdgDataHome, c.home); });
        if (got == "no error") {
            got = UserDataFolder(c.xdgDataHome, c.home);
        }
        EXPECT_EQ(got, c.expected)
            << (c.xdgDataHome ? c.xdgDataHome : "(unset)") << " " << (c.home ? c.home : "(unset)");
    }
}

TEST(PrepareWorkingFolder, FirstStartMakesTheFoldersAndCopiesThePreparedFile) {
    TempDir dir;
    WriteFileText(dir / "prepared.INI", kPrepared);
    const std::string folder = dir / "home/.local/share/rix";
    EXPECT_TRUE(PrepareWorkingFolder(folder, "Rix.INI", dir / "prepared.INI"));
    EXPECT_EQ(ReadFileText(folder + "/Rix.INI"), kPrepared);
    EXPECT_EQ(NamesIn(folder), std::set<std::string>{"Rix.INI"}); // no temporary file left
    // Levels made here are the user's alone.
    for (const std::string& level : {dir / "home", folder}) {
        struct stat st {};
        ASSERT_EQ(::stat(level.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << level;
    }
    // The next start finds the user's own file and leaves it alone.
    WriteFileText(folder + "/Rix.INI", "[Settings]\r\nLastDir=/roms/\r\n");
    EXPECT_FALSE(PrepareWorkingFolder(folder, "Rix.INI", dir / "prepared.INI"));
    EXPECT_EQ(ReadFileText(folder + "/Rix.INI"), "[Settings]\r\nLastDir=/roms/\r\n");
}

TEST(PrepareWorkingFolder, WhateverHasTheNameIsNeverReplaced) {
    // Not even read: a missing prepared file does not matter once the folder has its file.
    TempDir dir;
    const std::string missing = dir / "no-such-prepared.INI";
    ASSERT_TRUE(CreateDirectoryLevel(dir / "file"));
    WriteFileText(dir / "file/Rix.INI", "mine");
    ASSERT_TRUE(CreateDirectoryLevel(dir / "folder"));
    ASSERT_TRUE(CreateDirectoryLevel(dir / "folder/Rix.INI"));
    ASSERT_TRUE(CreateDirectoryLevel(dir / "link"));
    ASSERT_EQ(::symlink("elsewhere.INI", (dir / "link/Rix.INI").c_str()), 0);
    for (const std::string& folder : {dir / "file", dir / "folder", dir / "link"}) {
        EXPECT_EQ(ErrorOf([&] { EXPECT_FALSE(PrepareWorkingFolder(folder, "Rix.INI", missing)); }),
                  "no error")
            << folder;
    }
    EXPECT_EQ(ReadFileText(dir / "file/Rix.INI"), "mine");
    EXPECT_TRUE(DirectoryExists(dir / "folder/Rix.INI"));
    EXPECT_EQ(fs::read_symlink(dir / "link/Rix.INI"), "elsewhere.INI");
}

TEST(PrepareWorkingFolder, ReportsWhatStopsIt) {
    TempDir dir;
    WriteFileText(dir / "prepared.INI", kPrepared);
    WriteFileText(dir / "plain", "a file where a folder should be");
    EXPECT_EQ(
        ErrorOf([&] { PrepareWorkingFolder(dir / "plain/rix", "Rix.INI", dir / "prepared.INI"); }),
        "Cannot create folder " + (dir / "plain/rix") + ": Not a directory");
    EXPECT_EQ(
        ErrorOf([&] { PrepareWorkingFolder(dir / "plain", "Rix.INI", dir / "prepared.INI"); }),
        "Cannot create folder " + (dir / "plain") + ": Not a directory");
    EXPECT_EQ(ErrorOf([&] { PrepareWorkingFolder(dir / "rix", "Rix.INI", dir / "missing.INI"); }),
              "Cannot open file " + (dir / "missing.INI"));
    EXPECT_FALSE(FileExists(dir / "rix/Rix.INI"));
}

struct CopyCall {
    std::string folder;
    std::string prepared;
};

int PrepareInChild(void* context) {
    const auto* call = static_cast<const CopyCall*>(context);
    try {
        PrepareWorkingFolder(call->folder, "Rix.INI", call->prepared);
    } catch (const RixError& e) {
        return std::string(e.what()) == "Cannot create file " + call->folder + "/Rix.INI" ? 0 : 2;
    }
    return 1;
}

TEST(PrepareWorkingFolder, AFailedCopyLeavesNothingBehind) {
    // A disk that fills up halfway through the copy.
    TempDir dir;
    WriteFileText(dir / "prepared.INI", std::string(5000, 'x'));
    ASSERT_TRUE(CreateDirectoryLevel(dir / "rix"));
    CopyCall call{dir / "rix", dir / "prepared.INI"};
    EXPECT_EQ(test::RunWithFileSizeLimit(1000, &PrepareInChild, &call), 0);
    EXPECT_TRUE(NamesIn(dir / "rix").empty());
}

TEST(PrepareWorkingFolder, ProgramsStartingAtOnceLeaveOneWholeCopy) {
    TempDir dir;
    constexpr int kPrograms = 8;
    std::vector<pid_t> children;
    for (int i = 0; i < kPrograms; ++i) {
        // Each with a prepared file of its own, so that the copy shows whose it is.
        const std::string prepared = dir / ("prepared" + std::to_string(i));
        WriteFileText(prepared, std::string(100000, char('a' + i)));
        const pid_t pid = ::fork();
        if (pid == 0) {
            bool copied = false;
            try {
                copied = PrepareWorkingFolder(dir / "data/rix", "Rix.INI", prepared);
            } catch (...) {
                ::_exit(2);
            }
            ::_exit(copied ? 1 : 0);
        }
        children.push_back(pid);
    }
    int copies = 0;
    for (const pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 2);
        copies += WEXITSTATUS(status);
    }
    EXPECT_EQ(copies, 1);
    const std::string copy = ReadFileText(dir / "data/rix/Rix.INI");
    ASSERT_EQ(copy.size(), 100000u);
    EXPECT_EQ(copy, std::string(100000, copy[0]));
    EXPECT_EQ(NamesIn(dir / "data/rix"), std::set<std::string>{"Rix.INI"});
}

TEST(EnterFolder, ChangesTheCurrentDirectoryOrSaysWhyNot) {
    TempDir dir;
    const std::string before = CurrentDirectory();
    EnterFolder(dir.Path().string());
    EXPECT_EQ(fs::path(CurrentDirectory()), fs::canonical(dir.Path()));
    EXPECT_EQ(ErrorOf([&] { EnterFolder(dir / "missing"); }),
              "Cannot change to folder " + (dir / "missing") + ": No such file or directory");
    EnterFolder(before);
}

} // namespace
} // namespace rix
