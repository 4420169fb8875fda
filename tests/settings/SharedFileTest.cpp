// The settings file shared by several programs, and files that are no settings file: nothing
// another program saved is lost, and nothing that was not read as settings is written over.
#include "platform/Errors.h"
#include "settings/IniFile.h"

#include "support/ErrorOf.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace rix {
namespace {

using test::ErrorOf;
using test::ReadFileText;
using test::TempDir;
using test::WriteFileText;

TEST(SharedSettings, ASaveKeepsWhatAnotherProgramSavedMeanwhile) {
    TempDir dir;
    const std::string path = dir / "Rix.INI";
    WriteFileText(path, "[Settings]\r\nLastDir=/a/\r\nKeep=1\r\nGone=1\r\n\r\n");
    TMemIniFile window(path);
    TMemIniFile other(path);

    // The other program adds a ROM and changes an entry, and saves first: nobody else changed
    // the file, so it writes its own document's bytes.
    other.WriteEntry("ABCD0001", "Filename", "/roms/one.col");
    other.WriteEntry("Settings", "Keep", "2");
    other.SaveDocument();
    EXPECT_EQ(ReadFileText(path), other.SaveText());

    // The window, loaded before that save, adds another ROM, writes an entry and deletes one.
    window.WriteEntry("ABCD0002", "Filename", "/roms/two.col");
    window.WriteEntry("Settings", "LastDir", "/b/");
    window.DeleteEntry("Settings", "Gone");
    window.DeleteEntry("Settings", "NeverThere");
    window.SaveDocument();
    const std::string merged = "[Settings]\r\nLastDir=/b/\r\nKeep=2\r\n\r\n"
                               "[ABCD0001]\r\nFilename=/roms/one.col\r\n\r\n"
                               "[ABCD0002]\r\nFilename=/roms/two.col\r\n\r\n";
    EXPECT_EQ(ReadFileText(path), merged);
    // The window's document is now what it wrote, the other program's ROM included.
    EXPECT_EQ(window.SaveText(), merged);
    EXPECT_EQ(window.ReadEntry("ABCD0001", "Filename", ""), "/roms/one.col");

    // Saving again with nothing changed elsewhere writes the document as it stands.
    window.WriteEntry("ABCD0002", "Name", "Two");
    window.SaveDocument();
    EXPECT_EQ(ReadFileText(path), window.SaveText());
}

// Separate processes holding the file: POSIX only (the named turns on Windows are tested
// between threads).
#ifndef _WIN32
// A child process's part in the concurrent test: load holding the file, add a section, save.
int AddSectionHoldingTheFile(const std::string& path, int number) {
    try {
        TMemIniFile ini(path, SettingsSharing::HoldUntilSaved);
        ini.WriteEntry("ROM" + std::to_string(number), "Filename", std::to_string(number));
        // Give the others time to pile up behind the lock.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ini.SaveDocument();
        return 0;
    } catch (...) {
        return 1;
    }
}

TEST(SharedSettings, ProgramsHoldingTheFileFollowEachOtherAndLoseNothing) {
    TempDir dir;
    const std::string path = dir / "Rix.INI";
    constexpr int kPrograms = 12;
    for (bool fileThere : {false, true}) {
        SCOPED_TRACE(fileThere ? "the file exists" : "no file yet");
        std::filesystem::remove(path);
        if (fileThere) {
            WriteFileText(path, "[Settings]\r\nLastDir=/x/\r\n\r\n");
        }
        std::vector<pid_t> children;
        for (int i = 0; i < kPrograms; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::_exit(AddSectionHoldingTheFile(path, i));
            }
            children.push_back(pid);
        }
        for (pid_t pid : children) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        TMemIniFile result(path);
        for (int i = 0; i < kPrograms; ++i) {
            EXPECT_EQ(result.ReadEntry("ROM" + std::to_string(i), "Filename", "missing"),
                      std::to_string(i));
        }
        EXPECT_EQ(result.SectionCount(), std::size_t(kPrograms + (fileThere ? 1 : 0)));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    }
}

#endif

TEST(SharedSettings, ALoadWaitsForAnotherProgramsTurnToEnd) {
    TempDir dir;
    const std::string path = dir / "Rix.INI";
    WriteFileText(path, "[a]\r\nx=1\r\n\r\n");
    TMemIniFile holder(path, SettingsSharing::HoldUntilSaved);
    holder.WriteEntry("a", "x", "2");
    std::thread saver([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        holder.SaveDocument();
    });
    TMemIniFile waiting(path); // comes back once the holder has saved
    saver.join();
    EXPECT_EQ(waiting.ReadEntry("a", "x", ""), "2");
}

TEST(SharedSettings, ADocumentDroppedWithoutSavingLeavesNoFileItMadeToLock) {
    TempDir dir;
    const std::string path = dir / "Rix.INI";
    {
        TMemIniFile ini(path, SettingsSharing::HoldUntilSaved);
        ini.WriteEntry("a", "x", "1");
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(SettingsFile, ALineBreakInANameOrValueNeverMakesALineOfItsOwn) {
    TempDir dir;
    const std::string path = dir / "Rix.INI";
    {
        TMemIniFile ini(path);
        ini.WriteEntry("Settings", "LastDir", "/roms/a\nRixBinary=/tmp/evil/");
        ini.WriteEntry("ABCD0001", "Filename", "evil\r\nCycle Count=x.rom");
        ini.WriteEntry("x]\n[Settings", "k\nRixBinary", "v");
        ini.SaveDocument();
    }
    TMemIniFile back(path);
    EXPECT_EQ(back.ReadEntry("Settings", "RixBinary", "none"), "none");
    EXPECT_EQ(back.ReadEntry("Settings", "LastDir", ""), "/roms/a RixBinary=/tmp/evil/");
    EXPECT_EQ(back.ReadEntry("ABCD0001", "Cycle Count", "none"), "none");
    std::vector<std::string> names;
    back.ListSections(names);
    EXPECT_EQ(names, (std::vector<std::string>{"Settings", "ABCD0001", "x] [Settings"}));
}

TEST(SettingsFile, WhatIsNoSettingsFileIsReportedAndKeptAsItIs) {
    TempDir dir;
    std::string binary;
    for (int i = 0; i < 5000; ++i) {
        binary += char((i * 7919 + 13) & 0xFF); // a ROM given by mistake: NULs among the bytes
    }
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"binary", binary},
        {"one NUL", std::string("[a]\r\nx=1\r\n\0\r\n", 13)},
        {"prose", "Dear diary,\nno settings here.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir / c.name;
        WriteFileText(path, c.text);
        EXPECT_EQ(ErrorOf([&] { TMemIniFile ini(path); }), path + " is not a settings file");
        EXPECT_EQ(ErrorOf([&] { TMemIniFile ini(path, SettingsSharing::HoldUntilSaved); }),
                  path + " is not a settings file");
        EXPECT_EQ(ReadFileText(path), c.text);
    }
}

TEST(SettingsFile, SettingsTextWithLinesItIgnoresStaysASettingsFile) {
    TempDir dir;
    const struct {
        const char* name;
        std::string text;
        std::size_t sections;
    } cases[] = {
        {"empty", "", 0},
        {"blank lines", "\r\n  \r\n", 0},
        {"comments only", "; nothing yet\r\n", 0},
        {"a line before the header and one without =", "stray\n[a]\nno key here\nx=1\n", 1},
        {"an entry before any header", "x=1\n", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir / "Rix.INI";
        WriteFileText(path, c.text);
        TMemIniFile ini(path);
        EXPECT_EQ(ini.SectionCount(), c.sections);
    }
}

TEST(SettingsFile, AByteOrderMarkIsSkipped) {
    TempDir dir;
    const std::string path = dir / "Rix.INI";
    WriteFileText(path, "\xEF\xBB\xBF[Control Defaults]\r\nA=1\r\n\r\n[b]\r\ny=2\r\n\r\n");
    TMemIniFile ini(path);
    EXPECT_EQ(ini.ReadEntry("Control Defaults", "A", ""), "1");
    ini.SaveDocument();
    EXPECT_EQ(ReadFileText(path), "[Control Defaults]\r\nA=1\r\n\r\n[b]\r\ny=2\r\n\r\n");
}

TEST(SettingsFile, OnlyNothingThereCountsAsMissing) {
    TempDir dir;
    std::filesystem::create_directory(dir / "folder.ini");
#ifdef _WIN32
    const std::string paths[] = {dir / "folder.ini", dir / "no/Rix.INI"};
#else
    ASSERT_EQ(::mkfifo((dir / "fifo.ini").c_str(), 0644), 0);
    const std::string paths[] = {dir / "folder.ini", dir / "fifo.ini", "/dev/zero",
                                 dir / "no/Rix.INI"};
#endif
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        EXPECT_EQ(ErrorOf([&] { TMemIniFile ini(path); }), "Cannot open file " + path);
        EXPECT_EQ(ErrorOf([&] { TMemIniFile ini(path, SettingsSharing::HoldUntilSaved); }),
                  "Cannot open file " + path);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "no"));
    EXPECT_EQ(TMemIniFile(dir / "Rix.INI").SectionCount(), 0u);
}

} // namespace
} // namespace rix
