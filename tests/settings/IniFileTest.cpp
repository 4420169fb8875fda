#include "settings/IniFile.h"
#include "platform/Errors.h"

#include "support/OtherHolder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <string>

namespace rix {
namespace {

using test::ReadFileText;
using test::TempDir;
using test::WriteFileText;

std::unique_ptr<TMemIniFile> Load(std::string_view text) {
    return TMemIniFile::FromText("unused.ini", text);
}

std::vector<std::string> Sections(const TCustomIniFile& ini) {
    std::vector<std::string> names{"stale"};
    ini.ListSections(names);
    return names;
}

// Loading a text and saving it again normalises it to these bytes.
struct NormaliseCase {
    const char* name;
    std::string text;
    std::string saved;
};

TEST(IniLoad, NormalisesOnSave) {
    const NormaliseCase cases[] = {
        {"empty", "", ""},
        {"only comments and headerless lines", "; note\r\n\r\nkey=1\r\n[open\r\n", ""},
        {"blanks trimmed around names, keys and values",
         "  [  Settings  ]  \r\n   LastDir  =  C:\\roms\\ x  \t\r\n",
         "[Settings]\r\nLastDir=C:\\roms\\ x\r\n\r\n"},
        {"LF and CR line ends", "[a]\nx=1\ry=2\n\n[b]\r\n", "[a]\r\nx=1\r\ny=2\r\n\r\n[b]\r\n\r\n"},
        {"a NUL ends the text", std::string("[a]\r\nx=1\0\r\n[b]\r\n", 17), "[a]\r\nx=1\r\n\r\n"},
        {"comments only at the start of a line", "[a]\r\n;gone\r\nx=1;kept\r\n  ;gone too\r\n",
         "[a]\r\nx=1;kept\r\n\r\n"},
        {"a header followed by a note is no header", "[a]\r\n[b] ;note\r\n",
         "[a]\r\n[b] ;note\r\n\r\n"},
        {"lines without = stay in their section", "[a]\r\n[open\r\nplain text\r\n",
         "[a]\r\n[open\r\nplain text\r\n\r\n"},
        {"empty section name", "[]\r\n=v\r\n", "[]\r\n=v\r\n\r\n"},
        {"no line end at the end", "[a]\r\nx=1", "[a]\r\nx=1\r\n\r\n"},
        {"control bytes trimmed", "\x01[a]\x1f\r\n\x02x\x03=\x04y\x05\r\n", "[a]\r\nx=y\r\n\r\n"},
    };
    for (const NormaliseCase& c : cases) {
        EXPECT_EQ(Load(c.text)->SaveText(), c.saved) << c.name;
    }
}

TEST(IniRead, MatchesNamesWithoutRegardToCaseAndTellsEmptyFromMissing) {
    const auto ini = Load("[ Rom ]\r\n  Key One = a value  \r\nEmpty=\r\n#hash=h\r\neq=a=b\r\n");
    EXPECT_EQ(ini->ReadEntry("rOM", "key one", "d"), "a value");
    EXPECT_EQ(ini->ReadEntry("Rom", "Empty", "d"), "");
    EXPECT_EQ(ini->ReadEntry("Rom", "missing", "d"), "d");
    EXPECT_EQ(ini->ReadEntry("missing", "Empty", "d"), "d");
    EXPECT_EQ(ini->ReadEntry("Rom", "#hash", "d"), "h");
    EXPECT_EQ(ini->ReadEntry("Rom", "eq", "d"), "a=b");
    // Caller's names are not trimmed.
    EXPECT_EQ(ini->ReadEntry(" Rom", "eq", "d"), "d");
}

TEST(IniDuplicates, TheLastOneIsFoundAndTheOthersKept) {
    const auto ini = Load("[s]\r\nx=1\r\n[S]\r\nx=2\r\n");
    EXPECT_EQ(Sections(*ini), (std::vector<std::string>{"s", "S"}));
    EXPECT_EQ(ini->ReadEntry("s", "x", ""), "2");
    ini->WriteEntry("s", "x", "3");
    EXPECT_EQ(ini->SaveText(), "[s]\r\nx=1\r\n\r\n[S]\r\nx=3\r\n\r\n");

    const auto keys = Load("[s]\r\nx=1\r\nX=2\r\n");
    EXPECT_EQ(keys->ReadEntry("s", "x", ""), "2");
    keys->DeleteEntry("s", "x");
    EXPECT_EQ(keys->ReadEntry("s", "x", ""), "1");
    keys->DeleteEntry("s", "x");
    EXPECT_EQ(keys->ReadEntry("s", "x", "gone"), "gone");
    EXPECT_EQ(keys->SaveText(), "[s]\r\n\r\n"); // the section stays
}

TEST(IniWrite, ReplacesInPlaceOrAppendsWithTheCallersSpelling) {
    const auto ini = Load("[Settings]\r\nLastDir=/a/\r\nRixBinary=/out\r\n[Other]\r\n");
    ini->WriteEntry("settings", "lastdir", " /b/ ");
    ini->WriteEntry("Settings", "New", "1");
    ini->WriteEntry("ROM", "Filename", "game");
    ini->WriteEntry("rom", "Control", "Custom");
    EXPECT_EQ(ini->SaveText(), "[Settings]\r\nlastdir= /b/ \r\nRixBinary=/out\r\nNew=1\r\n\r\n"
                               "[Other]\r\n\r\n"
                               "[ROM]\r\nFilename=game\r\nControl=Custom\r\n\r\n");
    EXPECT_EQ(ini->ReadEntry("SETTINGS", "LASTDIR", ""), " /b/ ");
    EXPECT_EQ(Sections(*ini), (std::vector<std::string>{"Settings", "Other", "ROM"}));
}

TEST(IniWrite, LookupsStayRightAcrossDeletesAndAppends) {
    const auto ini = Load("[s]\r\na=1\r\nb=2\r\nc=3\r\nb=4\r\n");
    ini->DeleteEntry("s", "a"); // every later line moves up
    EXPECT_EQ(ini->ReadEntry("s", "b", ""), "4");
    EXPECT_EQ(ini->ReadEntry("s", "c", ""), "3");
    ini->WriteEntry("s", "d", "5");
    ini->DeleteEntry("s", "b");
    EXPECT_EQ(ini->ReadEntry("s", "b", ""), "2");
    EXPECT_EQ(ini->ReadEntry("s", "d", ""), "5");
    ini->DeleteEntry("nowhere", "b");
    ini->DeleteEntry("s", "nothing");
    EXPECT_EQ(ini->SaveText(), "[s]\r\nb=2\r\nc=3\r\nd=5\r\n\r\n");
}

TEST(IniFile, MissingFileIsEmptyAndSavingCreatesIt) {
    TempDir dir;
    const std::string path = dir / "Rix.INI";
    TMemIniFile empty(path);
    EXPECT_TRUE(Sections(empty).empty());
    empty.SaveDocument();
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(ReadFileText(path), "");

    // An empty path too.
    EXPECT_TRUE(Sections(TMemIniFile("")).empty());
}

TEST(IniFile, SavesToItsOwnPathAndKeepsTheDocument) {
    TempDir dir;
    const std::string path = dir / "Rix.INI";
    WriteFileText(path, "; comment\n[Settings]\nLastDir = /roms/ \n");
    TMemIniFile ini(path);
    ini.WriteEntry("ABCD1234", "Filename", "game");
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path("/");
    ini.SaveDocument();
    std::filesystem::current_path(cwd);
    EXPECT_EQ(ReadFileText(path),
              "[Settings]\r\nLastDir=/roms/\r\n\r\n[ABCD1234]\r\nFilename=game\r\n\r\n");
    EXPECT_EQ(ini.FileName(), path);
}

TEST(IniFile, AFileLockedByAWriterCannotBeOpened) {
    TempDir dir;
    const std::string path = dir / "Rix.INI";
    WriteFileText(path, "[a]\r\n");
    test::OtherHolder writer(path, test::Hold::Turn);
    try {
        TMemIniFile ini(path);
        ADD_FAILURE() << "loaded";
    } catch (const RixError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + path);
    }
}

TEST(IniFile, AFailedSaveKeepsTheFileAndTheDocument) {
    TempDir dir;
    const std::string path = dir / "Rix.INI";
    WriteFileText(path, "[a]\r\nx=1\r\n\r\n");
    TMemIniFile ini(path);
    ini.WriteEntry("a", "x", "2");
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    try {
        ini.SaveDocument();
        ADD_FAILURE() << "saved over a read-only file";
    } catch (const RixError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + path);
    }
    EXPECT_EQ(ReadFileText(path), "[a]\r\nx=1\r\n\r\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    ini.SaveDocument(); // the document is still whole and can be saved later
    EXPECT_EQ(ReadFileText(path), "[a]\r\nx=2\r\n\r\n");
}

#ifndef _WIN32 // file-size limits are POSIX
int SaveBigDocument(void* context) {
    auto& ini = *static_cast<TMemIniFile*>(context);
    try {
        ini.SaveDocument();
    } catch (const RixError& e) {
        return std::string(e.what()) == "Stream write error" ? 0 : 2;
    }
    return 1;
}

TEST(IniFile, AShortWriteReportsAndKeepsThePreviousFile) {
    TempDir dir;
    const std::string path = dir / "Rix.INI";
    WriteFileText(path, "[a]\r\nx=1\r\n\r\n");
    TMemIniFile ini(path);
    for (int i = 0; i < 200; ++i) {
        ini.WriteEntry("s" + std::to_string(i), "Filename", std::string(40, 'n'));
    }
    EXPECT_EQ(test::RunWithFileSizeLimit(2048, &SaveBigDocument, &ini), 0);
    EXPECT_EQ(ReadFileText(path), "[a]\r\nx=1\r\n\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

#endif

TEST(IniFile, HostileInputLoadsWithoutLosingSections) {
    std::string text;
    for (int i = 0; i < 100000; ++i) {
        text += "[S" + std::to_string(i) + "]\nFilename=x\n";
    }
    text += "[huge]\n" + std::string(1 << 20, 'k') + "=v";
    const auto ini = Load(text);
    EXPECT_EQ(ini->SectionCount(), 100001u);
    EXPECT_EQ(ini->ReadEntry("s99999", "FILENAME", ""), "x");
    EXPECT_EQ(Load(ini->SaveText())->SaveText(), ini->SaveText());

    std::string binary;
    for (int i = 0; i < 65536; ++i) {
        binary += char((i * 7919) & 0xFF);
    }
    const auto noisy = Load("[a]\n" + binary);
    EXPECT_EQ(Load(noisy->SaveText())->SaveText(), noisy->SaveText());
}

} // namespace
} // namespace rix
