#include "builder/RomList.h"
#include "platform/Errors.h"
#include "platform/Paths.h"

#include "support/ErrorOf.h"
#include "support/TempDir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>

#include <gtest/gtest.h>

namespace rix {
namespace {

using test::TempDir;

TEST(RomList, DefaultDisplayNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"/roms/Donkey Kong.COL", "donkey kong"},
        {"/roms/a.b.rom", "a.b"},
        {"/roms/NOEXT", "noext"},
        {"/roms/.col", ""},
        {"/roms.d/Game", "game"},
        {"/r/\xC9T\xC9.rom", "\xC9t\xC9"},
    };
    for (const auto& [path, name] : cases) {
        EXPECT_EQ(DefaultDisplayName(path), name) << path;
    }
}

TEST(RomList, AddingReadsStoredNamesAndWritesBothKeysBack) {
    TempDir dir;
    test::WriteFileText(dir / "Game.COL", "123456789");
    test::WriteFileText(dir / "Copy.rom", "123456789");
    test::WriteFileText(dir / "empty.col", "");
    auto ini = TMemIniFile::FromText(dir / "Rix.INI", "[Settings]\r\nLastDir=/old/\r\n");

    const RomRow first = AddRomFile(*ini, dir / "Game.COL", "Kempston");
    EXPECT_EQ(first.caption, "game");
    EXPECT_EQ(first.control, "Kempston");
    EXPECT_EQ(first.fileName, "game.col");
    EXPECT_EQ(first.directory, dir.Path().string() + kPathSeparator);
    EXPECT_EQ(first.romKey, "CBF43926");
    EXPECT_EQ(first.realPath, dir / "Game.COL");

    // Same content, other name: the stored name and preset come back.
    ini->WriteEntry("CBF43926", "Filename", std::string(60, 'L'));
    const RomRow copy = AddRomFile(*ini, dir / "Copy.rom", "Other");
    EXPECT_EQ(copy.caption, std::string(60, 'L')); // not cut when added
    EXPECT_EQ(copy.control, "Kempston");

    const RomRow empty = AddRomFile(*ini, dir / "empty.col", "");
    EXPECT_EQ(empty.romKey, "00000000");
    EXPECT_EQ(ini->SaveText(), "[Settings]\r\nLastDir=/old/\r\n\r\n"
                               "[CBF43926]\r\nFilename=" +
                                   std::string(60, 'L') +
                                   "\r\nControl=Kempston\r\n\r\n"
                                   "[00000000]\r\nFilename=empty\r\nControl=\r\n\r\n");

    RememberLastDir(*ini, dir / "Game.COL");
    EXPECT_EQ(ini->ReadEntry("Settings", "LastDir", ""), dir.Path().string() + kPathSeparator);
    EXPECT_EQ(InitialDirectoryFromLastDir(*ini), dir.Path().string());
    ini->WriteEntry("Settings", "LastDir", "/");
    EXPECT_EQ(InitialDirectoryFromLastDir(*ini), "/");
}

TEST(RomList, WhatCannotBeAddedChangesNothing) {
    TempDir dir;
    struct Case {
        std::string path;
        const char* error;
    };
    std::vector<Case> cases = {
        {dir / "missing.col", "File not found"},
        {dir / "evil\nCycle Count=x.rom", "Invalid filename"},
        {dir.Path().string(), "Invalid filename"},
    };
#ifndef _WIN32 // names with line breaks, FIFOs and devices as POSIX has them
    // A folder whose name carries a line and an entry after it, with a real ROM inside.
    const std::string evil = dir / "a\nRixBinary=";
    std::filesystem::create_directory(evil);
    test::WriteFileText(evil + "/game.col", "rom");
    test::WriteFileText(dir / "evil\nCycle Count=x.rom", "rom");
    ASSERT_EQ(::mkfifo((dir / "fifo.col").c_str(), 0644), 0);
    cases.push_back({evil + "/game.col", "Invalid filename"});
    cases.push_back({dir / "fifo.col", "Invalid filename"}); // refused at once, never waited on
    cases.push_back({"/dev/zero", "Invalid filename"});      // never read without end
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        auto ini = TMemIniFile::FromText(dir / "Rix.INI", "");
        EXPECT_EQ(test::ErrorOf([&] { AddRomFile(*ini, c.path, "Kempston"); }), c.error);
        EXPECT_EQ(ini->SaveText(), "");
    }
}

} // namespace
} // namespace rix
