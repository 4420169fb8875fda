#include "platform/File.h"
#include "platform/Errors.h"
#include "platform/Paths.h"

#include "support/ErrorOf.h"
#include "support/OtherHolder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <csignal>
#include <filesystem>

namespace rix {
namespace {

using test::ErrorOf;
using test::ReadFileText;
using test::TempDir;
using test::WriteFileText;

using test::Hold;
using test::OtherHolder;

TEST(File, SharingModesFollowOtherHolders) {
    TempDir dir;
    const std::string path = dir / "rom.col";
    WriteFileText(path, "abc");
    {
        OtherHolder writer(path, Hold::Turn);
        EXPECT_EQ(ErrorOf([&] { File::OpenRead(path, Share::DenyWrite); }),
                  "Cannot open file " + path);
        EXPECT_EQ(ErrorOf([&] { File::OpenRead(path, Share::Exclusive); }),
                  "Cannot open file " + path);
        EXPECT_NO_THROW(File::OpenRead(path, Share::DenyNone));
    }
    {
        OtherHolder reader(path, Hold::Reader);
        EXPECT_NO_THROW(File::OpenRead(path, Share::DenyWrite));
        EXPECT_EQ(ErrorOf([&] { File::OpenRead(path, Share::Exclusive); }),
                  "Cannot open file " + path);
    }
    EXPECT_EQ(ErrorOf([&] { File::OpenRead(dir / "missing", Share::DenyNone); }),
              "Cannot open file " + (dir / "missing"));
    EXPECT_EQ(ErrorOf([&] { File::OpenRead(dir.Path().string(), Share::DenyNone); }),
              "Cannot open file " + dir.Path().string());
}

TEST(File, ReadExactFailsAtTheEnd) {
    TempDir dir;
    WriteFileText(dir / "f", "abc");
    File file = File::OpenRead(dir / "f", Share::DenyNone);
    char buffer[4];
    EXPECT_EQ(ErrorOf([&] { file.ReadExact(buffer, 4); }), "Stream read error");
}

TEST(AtomicFile, ReplacesOnlyOnCommitAndRemovesItsTemporaryFile) {
    TempDir dir;
    const std::string target = dir / "Rix.INI";
    WriteFileText(target, "old");
    {
        AtomicFile out = AtomicFile::Create(target, target);
        out.Stream().WriteAll("new", 3);
        EXPECT_EQ(ReadFileText(target), "old");
    } // dropped uncommitted
    EXPECT_EQ(ReadFileText(target), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

    AtomicFile out = AtomicFile::Create(target, target);
    out.Stream().WriteAll("new", 3);
    out.Commit();
    EXPECT_EQ(ReadFileText(target), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(AtomicFile, RefusesWhatCannotBeCreated) {
    TempDir dir;
    const std::string readOnly = dir / "ro.ini";
    WriteFileText(readOnly, "keep");
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    const std::string held = dir / "held.ini";
    WriteFileText(held, "keep");
    OtherHolder reader(held, Hold::Reader);
    std::vector<std::string> targets = {readOnly, dir / "missing/x.ini", held, dir.Path().string()};
#ifndef _WIN32 // a folder's read-only attribute does not keep files out on Windows
    std::filesystem::create_directory(dir / "locked");
    ::chmod((dir / "locked").c_str(), 0555);
    targets.push_back(dir / "locked/x.ini");
#endif
    for (const std::string& target : targets) {
        EXPECT_EQ(ErrorOf([&] { AtomicFile::Create(target, "shown"); }), "Cannot create file shown")
            << target;
    }
    EXPECT_EQ(ReadFileText(readOnly), "keep");
    EXPECT_EQ(ReadFileText(held), "keep");
}

// Symbolic links, permission bits, owners, file-size limits and killed children: POSIX only.
#ifndef _WIN32
TEST(AtomicFile, ReplacesTheFileBehindASymbolicLink) {
    TempDir dir;
    std::filesystem::create_directory(dir / "real");
    WriteFileText(dir / "real/Rix.INI", "old");
    std::filesystem::create_symlink(dir / "real/Rix.INI", dir / "Rix.INI");
    AtomicFile out = AtomicFile::Create(dir / "Rix.INI", dir / "Rix.INI");
    out.Stream().WriteAll("new", 3);
    out.Commit();
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "Rix.INI"));
    EXPECT_EQ(ReadFileText(dir / "real/Rix.INI"), "new");
}

TEST(AtomicFile, KeepsTheTargetsPermissions) {
    TempDir dir;
    const std::string target = dir / "f";
    WriteFileText(target, "old");
    ::chmod(target.c_str(), 0640);
    AtomicFile out = AtomicFile::Create(target, target);
    out.Commit();
    struct stat st {};
    ::stat(target.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

int ShortWrite(void* context) {
    const auto& target = *static_cast<std::string*>(context);
    try {
        AtomicFile out = AtomicFile::Create(target, target);
        const std::string big(4096, 'x');
        out.Stream().WriteAll(big.data(), big.size());
        out.Commit();
    } catch (const RixError& e) {
        return std::string(e.what()) == "Stream write error" ? 0 : 2;
    }
    return 1;
}

TEST(AtomicFile, AShortWriteKeepsTheOldFileWhole) {
    TempDir dir;
    std::string target = dir / "Rix.INI";
    WriteFileText(target, "[Settings]\r\nLastDir=/roms/\r\n\r\n");
    EXPECT_EQ(test::RunWithFileSizeLimit(1000, &ShortWrite, &target), 0);
    EXPECT_EQ(ReadFileText(target), "[Settings]\r\nLastDir=/roms/\r\n\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}
#endif

TEST(ReadWholeFileForAdd, ReportsFileIoErrorsByCode) {
    TempDir dir;
    WriteFileText(dir / "rom", "1234");
    EXPECT_EQ(ReadWholeFileForAdd(dir / "rom").size(), 4u);
    EXPECT_EQ(ErrorOf([&] { ReadWholeFileForAdd(dir / "missing"); }), "File not found");
    EXPECT_EQ(ErrorOf([&] { ReadWholeFileForAdd(dir / "rom/x"); }), "Invalid filename");
    OtherHolder writer(dir / "rom", Hold::Turn);
    EXPECT_EQ(ErrorOf([&] { ReadWholeFileForAdd(dir / "rom"); }), "I/O error 32");
}

TEST(ReadWholeFileForAdd, RefusesWhatIsNoRegularFileAtOnce) {
    // A FIFO would wait for a writer forever, a device never end: neither is waited on or read.
    TempDir dir;
#ifdef _WIN32
    const std::string paths[] = {"NUL", dir.Path().string()};
#else
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    const std::string paths[] = {dir / "fifo", "/dev/zero", dir.Path().string()};
#endif
    for (const std::string& path : paths) {
        EXPECT_EQ(ErrorOf([&] { ReadWholeFileForAdd(path); }), "Invalid filename") << path;
        EXPECT_EQ(ErrorOf([&] { File::OpenRead(path, Share::DenyWrite); }),
                  "Cannot open file " + path);
    }
}

#ifndef _WIN32
TEST(AtomicFile, TheSuperuserSavingAnotherUsersFileLeavesItTheirs) {
    // make test runs as the superuser (it installs packages), which may give a file away.
    TempDir dir;
    const std::string target = dir / "Rix.INI";
    WriteFileText(target, "old");
    ASSERT_EQ(::chown(target.c_str(), 12345, 23456), 0)
        << "giving the file away needs the superuser";
    AtomicFile out = AtomicFile::Create(target, target);
    out.Stream().WriteAll("new", 3);
    out.Commit();
    struct stat st {};
    ::stat(target.c_str(), &st);
    EXPECT_EQ(st.st_uid, 12345u);
    EXPECT_EQ(st.st_gid, 23456u);
}

TEST(AtomicFile, AKilledWriterLeavesNoPartOfItsFileBehind) {
    // The child writes a large file in chunks and tells the parent before each; the parent
    // kills it right after the k-th message, for many k. Whatever the moment, the target is the
    // old file or the complete new one, and no temporary file is left, unless the kill came
    // between naming the complete file and the rename: then that file is complete.
    TempDir dir;
    const std::string target = dir / "Rix.gba";
    constexpr int kChunks = 24;
    const std::string chunk(256 * 1024, 'n');
    const std::size_t complete = chunk.size() * kChunks;
    for (int killAt = 0; killAt <= kChunks; killAt += 3) {
        SCOPED_TRACE(killAt);
        WriteFileText(target, "old");
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(pipeFds[0]);
            AtomicFile out = AtomicFile::Create(target, target);
            for (int i = 0; i < kChunks; ++i) {
                const char tick = 'k';
                [[maybe_unused]] const ssize_t told = ::write(pipeFds[1], &tick, 1);
                out.Stream().WriteAll(chunk.data(), chunk.size());
            }
            out.Commit(false);
            ::_exit(0);
        }
        ::close(pipeFds[1]);
        char tick = 0;
        for (int i = 0; i <= killAt && ::read(pipeFds[0], &tick, 1) == 1; ++i) {
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ::close(pipeFds[0]);
        const std::string now = ReadFileText(target);
        EXPECT_TRUE(now == "old" || now.size() == complete);
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
            if (entry.path() != target) {
                EXPECT_EQ(entry.file_size(), complete) << entry.path();
            }
        }
    }
}

#endif

TEST(Paths, SplitsAtTheLastSeparator) {
    EXPECT_EQ(FileNameOf("/roms/Game.COL"), "Game.COL");
    EXPECT_EQ(DirectoryWithSeparatorOf("/roms/Game.COL"), "/roms/");
    EXPECT_EQ(DirectoryWithSeparatorOf("/Game.COL"), "/");
    EXPECT_EQ(FileNameOf("Game.COL"), "Game.COL");
    EXPECT_EQ(DirectoryOf("/roms/Game.COL"), "/roms");
    EXPECT_EQ(DirectoryOf("/Game.COL"), "/");
#ifdef _WIN32
    EXPECT_EQ(ToNativeSeparators("C:/roms\\a.col"), "C:\\roms\\a.col");
    EXPECT_EQ(FileNameOf("C:\\roms/Game.COL"), "Game.COL");
    EXPECT_EQ(FileNameOf("C:Game.COL"), "Game.COL");
    EXPECT_EQ(DirectoryWithSeparatorOf("C:\\roms\\Game.COL"), "C:\\roms\\");
    EXPECT_EQ(DirectoryOf("C:\\roms\\Game.COL"), "C:\\roms");
    EXPECT_EQ(DirectoryOf("C:\\Game.COL"), "C:\\");
    EXPECT_EQ(DirectoryOf("\\Game.COL"), "\\");
#else
    EXPECT_EQ(ToNativeSeparators("C:\\roms\\a.col"), "C:/roms/a.col");
#endif
}

} // namespace
} // namespace rix
