#include "cli/RixBuildCommand.h"

#include "builder/Resources.h"
#include "platform/Paths.h"

#include "support/CapturedOutput.h"
#include "support/OtherHolder.h"
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
#include <csignal>
#include <cstdio>
#include <thread>

namespace rix {
namespace {

using test::ReadFileText;
using test::TempDir;
using test::WriteFileText;

using test::CommandResult;
using test::Drain;

// Runs the command in this process with captured streams; `input` is what the user types.
CommandResult RunCommand(const std::vector<std::string>& args, const std::string& input = "",
                         bool terminal = false) {
    cli::Console console;
    console.in = std::tmpfile();
    console.out = std::tmpfile();
    console.err = std::tmpfile();
    std::fputs(input.c_str(), console.in);
    std::rewind(console.in);
    console.inIsTerminal = terminal;
    CommandResult run;
    run.status = cli::RunRixBuild(args, console);
    std::fclose(console.in);
    run.out = Drain(console.out);
    run.err = Drain(console.err);
    return run;
}

class RixBuild : public ::testing::Test {
protected:
    RixBuild() {
        WriteFileText(dir / "Game.COL", "game bytes");
        WriteFileText(dir / "second.rom", "second bytes");
    }
    std::vector<std::string> Args(std::initializer_list<std::string> more) {
        std::vector<std::string> args = {"-s", settings, "-o", out};
        args.insert(args.end(), more);
        return args;
    }

    TempDir dir;
    std::string settings = dir / "Rix.INI";
    std::string out = dir / "out";
};

TEST_F(RixBuild, HelpVersionAndUsageErrors) {
    const CommandResult help = RunCommand({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: rix-build [OPTION]... [ROM]...\n", 0), 0u);
    const CommandResult version = RunCommand({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "rix-build 0.9.7.0\n");
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--frobnicate"},
                                                {"-s"},
                                                {"x.col", "-o"},
                                                {"-o", "", "x.col"},
                                                {"--output=", "x.col"},
                                                {"-s", ""},
                                                {"--settings="}}) {
        const CommandResult run = RunCommand(bad);
        EXPECT_EQ(run.status, 2) << bad.back();
        EXPECT_EQ(run.err.rfind("rix-build: ", 0), 0u);
        EXPECT_NE(run.err.find("Try 'rix-build --help'"), std::string::npos);
    }
}

TEST_F(RixBuild, AddsTheRomsBuildsAndSaves) {
    WriteFileText(settings, "[Control Defaults]\r\nDefault0=Pad\r\n");
    const CommandResult run = RunCommand(Args({dir / "Game.COL", dir / "second.rom"}));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "Rix binary created. Have fun!\n");
    EXPECT_TRUE(std::filesystem::exists(out + "/Rix.gba"));
    const std::string saved = ReadFileText(settings);
    EXPECT_NE(saved.find("[Settings]\r\nLastDir=" + dir.Path().string() + kPathSeparator + "\r\n"),
              std::string::npos);
    EXPECT_NE(saved.find("Filename=game\r\nControl=Pad\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Filename=second\r\nControl=Pad\r\n"), std::string::npos);
    EXPECT_EQ(saved.find("RixBinary"), std::string::npos); // -o does not change the settings

    // The image holds both ROMs in the order given.
    const std::string image = ReadFileText(out + "/Rix.gba");
    EXPECT_EQ(image.substr(image.size() - 22), "game bytessecond bytes");
}

TEST_F(RixBuild, AnExistingImageNeedsYesOrATerminal) {
    std::filesystem::create_directories(out);
    WriteFileText(out + "/Rix.gba", "previous");

    const CommandResult refused = RunCommand(Args({dir / "Game.COL"}));
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("--yes"), std::string::npos);
    EXPECT_EQ(ReadFileText(out + "/Rix.gba"), "previous");

    const CommandResult no = RunCommand(Args({dir / "Game.COL"}), "n\n", true);
    EXPECT_EQ(no.status, 1);
    EXPECT_EQ(no.err, "Rix binary already exists.\nReplace? [y/N] ");
    EXPECT_EQ(ReadFileText(out + "/Rix.gba"), "previous");

    const CommandResult yes = RunCommand(Args({dir / "Game.COL"}), "y\n", true);
    EXPECT_EQ(yes.status, 0) << yes.err;
    EXPECT_NE(ReadFileText(out + "/Rix.gba"), "previous");

    const CommandResult quiet = RunCommand(Args({"-y", "-q", dir / "Game.COL"}));
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
}

TEST_F(RixBuild, AnEmptyListBuildsTheShellImage) {
    const CommandResult run = RunCommand(Args({"--no-save"}));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "No ROMS selected!\nPreliminary Pogoshell binary will be created...\n"
                       "RIX4POGO binary created. Have fun!\n");
    EXPECT_FALSE(std::filesystem::exists(settings));
}

TEST_F(RixBuild, AFileThatCannotBeAddedStopsButKeepsTheOnesBefore) {
    const CommandResult run =
        RunCommand(Args({dir / "Game.COL", dir / "missing.col", dir / "second.rom"}));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "rix-build: " + dir / "missing.col" + ": File not found.\n");
    EXPECT_FALSE(std::filesystem::exists(out + "/Rix.gba"));
    const std::string saved = ReadFileText(settings);
    EXPECT_NE(saved.find("Filename=game"), std::string::npos);
    EXPECT_EQ(saved.find("Filename=second"), std::string::npos);

    const CommandResult unsaved =
        RunCommand(Args({"--no-save", dir / "second.rom", dir / "missing.col"}));
    EXPECT_EQ(unsaved.status, 1);
    EXPECT_EQ(ReadFileText(settings), saved);
}

TEST_F(RixBuild, SettingsThatCannotBeReadOrSavedAreErrors) {
    // What is no settings file, or cannot be read as a file: reported, nothing built or
    // written (a ROM given with -s by mistake stays a ROM).
    std::filesystem::create_directory(dir / "folder.ini");
    WriteFileText(dir / "rom.ini", std::string("\x55\xAA\0\x12game", 8));
    const struct {
        std::string path;
        std::string error;
    } cases[] = {
        {dir / "rom.ini", dir / "rom.ini" + " is not a settings file."},
        {dir / "folder.ini", "Cannot open file " + dir / "folder.ini" + "."},
        {dir / "nowhere/Rix.INI", "Cannot open file " + dir / "nowhere/Rix.INI" + "."},
    };
    for (const auto& c : cases) {
        const CommandResult run = RunCommand({"-s", c.path, "-o", out, dir / "Game.COL"});
        EXPECT_EQ(run.status, 1) << c.path;
        EXPECT_EQ(run.err, "rix-build: " + c.error + "\n");
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    EXPECT_EQ(ReadFileText(dir / "rom.ini"), std::string("\x55\xAA\0\x12game", 8));
    EXPECT_FALSE(std::filesystem::exists(dir / "nowhere"));

    WriteFileText(settings, "[Settings]\r\n");
    std::filesystem::permissions(settings, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    const CommandResult run = RunCommand(Args({dir / "Game.COL"}));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "Rix binary created. Have fun!\nrix-build: Cannot create file " + settings + ".\n");
    EXPECT_TRUE(std::filesystem::exists(out + "/Rix.gba"));
}

TEST_F(RixBuild, WaitsForAnotherProgramsTurnOnTheSettings) {
    WriteFileText(settings, "[Settings]\r\nLastDir=/x/\r\n\r\n");
    test::OtherHolder holder(settings, test::Hold::Turn);
    std::thread other([&holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        holder.Release();
    });
    const CommandResult run = RunCommand(Args({dir / "Game.COL"}));
    other.join();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(ReadFileText(settings).find("Filename=game"), std::string::npos);
}

#ifndef _WIN32 // child processes by fork
// Several rix-build programs adding ROMs to one settings file at once: every ROM is there.
TEST(RixBuildConcurrency, RunsAtTheSameTimeKeepEachOthersRoms) {
    TempDir dir;
    const std::string settings = dir / "Rix.INI";
    WriteFileText(settings, "[Settings]\r\nRixBinary=" + dir / "out" + "\r\n\r\n");
    constexpr int kRuns = 8;
    std::vector<pid_t> runs;
    for (int i = 0; i < kRuns; ++i) {
        const std::string rom = dir / ("rom" + std::to_string(i) + ".col");
        WriteFileText(rom, "ROM number " + std::to_string(i));
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int devnull = ::open("/dev/null", O_RDWR);
            ::dup2(devnull, STDIN_FILENO);
            ::dup2(devnull, STDERR_FILENO);
            const std::string output = dir / ("out" + std::to_string(i));
            ::execl(RIX_BUILD_BINARY, "rix-build", "-y", "-s", settings.c_str(), "-o",
                    output.c_str(), rom.c_str(), static_cast<char*>(nullptr));
            ::_exit(98);
        }
        runs.push_back(pid);
    }
    for (const pid_t pid : runs) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::string saved = ReadFileText(settings);
    for (int i = 0; i < kRuns; ++i) {
        EXPECT_NE(saved.find("Filename=rom" + std::to_string(i) + "\r\n"), std::string::npos)
            << saved;
    }
    EXPECT_NE(saved.find("RixBinary=" + dir / "out"), std::string::npos);
}

#endif

TEST_F(RixBuild, MessagesShowControlCharactersEscapedAndLongValuesCut) {
    // A name made to clear the screen, in a folder that does not exist.
    const std::string hostile = dir / "\x1b[2J\x1b]0;owned\x07/Rix.INI";
    const CommandResult run = RunCommand({"-s", hostile, "-o", out});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "rix-build: Cannot open file " + dir.Path().string() + kPathSeparator +
                           "\\x1B[2J\\x1B]0;owned\\x07/Rix.INI.\n");

    const std::string longName = dir / (std::string(400, 'n') + "/Rix.INI");
    const CommandResult cut = RunCommand({"-s", longName, "-o", out});
    EXPECT_EQ(cut.status, 1);
    EXPECT_LT(cut.err.size(), 400u);
    EXPECT_NE(cut.err.find("more bytes)"), std::string::npos);
}

#ifndef _WIN32 // the program run as a child process by fork
// A large build killed at many moments: Rix.gba is the old image or the whole new one, and
// no part of a temporary file is left (one that is complete may stay if the kill came between
// its naming and its rename).
TEST(RixBuildBinary, AKilledBuildLeavesNoPartOfItsImageBehind) {
    TempDir dir;
    std::vector<std::string> args = {"rix-build", "-y", "-s", dir / "Rix.INI", "-o", dir / "out"};
    for (int i = 0; i < 24; ++i) {
        const std::string rom = dir / ("rom" + std::to_string(i) + ".col");
        WriteFileText(rom, std::string(1 << 20, char('a' + i)));
        args.push_back(rom);
    }
    auto run = [&](int killAfterMs) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int devnull = ::open("/dev/null", O_RDWR);
            ::dup2(devnull, STDIN_FILENO);
            ::dup2(devnull, STDERR_FILENO);
            std::vector<char*> argv;
            for (std::string& arg : args) {
                argv.push_back(arg.data());
            }
            argv.push_back(nullptr);
            ::execv(RIX_BUILD_BINARY, argv.data());
            ::_exit(98);
        }
        if (killAfterMs >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(killAfterMs));
            ::kill(pid, SIGKILL);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
    };
    // A whole build first: the old image, the size of a complete one, and how long a run takes
    // (most of it reading the ROMs, the image written in its last part).
    const auto start = std::chrono::steady_clock::now();
    run(-1);
    const auto whole = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
    const auto complete = std::filesystem::file_size(dir / "out/Rix.gba");
    for (int step = 0; step <= 16; ++step) {
        const int killAfterMs = int(whole * (30 + step * 5) / 100);
        run(killAfterMs);
        for (const auto& entry : std::filesystem::directory_iterator(dir / "out")) {
            EXPECT_EQ(entry.file_size(), complete) << entry.path() << " after " << killAfterMs;
        }
        // The settings are saved the same way: a temporary settings file only whole.
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
            if (entry.path().string().find(".tmp-") != std::string::npos) {
                EXPECT_EQ(ReadFileText(entry.path().string()), ReadFileText(dir / "Rix.INI"))
                    << entry.path();
            }
        }
    }
}

// The built program, run in a fresh directory with its default settings file.
TEST(RixBuildBinary, BuildsTheExampleInTheCurrentDirectory) {
    TempDir dir;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.Path().c_str()) != 0) {
            ::_exit(99);
        }
        const int devnull = ::open("/dev/null", O_RDONLY);
        ::dup2(devnull, STDIN_FILENO);
        ::execl(RIX_BUILD_BINARY, "rix-build", RIX_EXAMPLE_ROM, static_cast<char*>(nullptr));
        ::_exit(98);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::vector<unsigned char> image = test::ReadFileBytes(dir / "Rix.gba");
    const auto emulator = EmulatorImage();
    ASSERT_GT(image.size(), emulator.size());
    EXPECT_TRUE(std::equal(emulator.begin(), emulator.end(), image.begin()));
    const std::vector<unsigned char> rom = test::ReadFileBytes(RIX_EXAMPLE_ROM);
    EXPECT_TRUE(std::equal(rom.begin(), rom.end(), image.end() - std::ptrdiff_t(rom.size())));
    EXPECT_NE(ReadFileText(dir / "Rix.INI").find("Filename=hello\r\nControl=Kempston\r\n"),
              std::string::npos);
}

#endif

} // namespace
} // namespace rix
