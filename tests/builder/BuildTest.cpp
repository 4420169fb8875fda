// The build procedure's messages, questions, progress, errors and what it leaves on disk.
#include "BuildFixture.h"

#include "builder/Resources.h"
#include "platform/Errors.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rix {
namespace {

using test::RecordingHost;
using test::TempDir;

constexpr const char* kWarnEmpty =
    "message|Warning!|No ROMS selected!\rPreliminary Pogoshell binary will be created...|none";
constexpr const char* kAskReplace = "ask|Warning|Rix binary already exists.\rReplace?|exclamation";
constexpr const char* kAskReplacePogo =
    "ask|Warning|Rix Pogoshell binary already exists.\rReplace?|exclamation";
constexpr const char* kSuccess = "message|Rix|Rix binary created. Have fun!|none";
constexpr const char* kSuccessPogo = "message|Rix|RIX4POGO binary created. Have fun!|none";

std::string Failure(const std::function<void()>& f) {
    try {
        f();
    } catch (const RixError& e) {
        return e.what();
    }
    return "no error";
}

std::size_t EntriesIn(const std::string& dir) {
    return std::size_t(std::distance(std::filesystem::directory_iterator(dir), {}));
}

class BuildProcedure : public ::testing::Test {
protected:
    std::unique_ptr<TMemIniFile> SettingsWith(const std::string& more) {
        return test::Settings(dir, "[Settings]\r\nRixBinary=" + out + "\r\n" + more);
    }
    BuildOutcome Build(const TCustomIniFile& ini, const std::vector<RomRow>& rows) {
        return RunBuild(ini, rows, host, {.emulatorImage = &test::FakeImage});
    }

    TempDir dir;
    std::string out = dir / "out";
    RecordingHost host;
};

TEST_F(BuildProcedure, EmptyListWarnsThenWritesTheShellImage) {
    auto ini = SettingsWith("");
    EXPECT_EQ(Build(*ini, {}), BuildOutcome::Written);
    EXPECT_EQ(host.events, (std::vector<std::string>{kWarnEmpty, "progress 0..1 by 1", kSuccessPogo,
                                                     "position 0 after 0 steps"}));
    EXPECT_TRUE(std::filesystem::exists(out + "/Rix.gba"));
    EXPECT_EQ(EntriesIn(out), 1u); // no temporary file left
}

TEST_F(BuildProcedure, ReplaceQuestionNoLeavesTheFileAndSaysNothingMore) {
    auto ini = SettingsWith("");
    std::filesystem::create_directory(out);
    test::WriteFileText(out + "/Rix.gba", "previous");
    host.answers = {false};
    EXPECT_EQ(Build(*ini, {}), BuildOutcome::Declined);
    EXPECT_EQ(host.events, (std::vector<std::string>{kWarnEmpty, kAskReplacePogo}));
    EXPECT_EQ(test::ReadFileText(out + "/Rix.gba"), "previous");

    const RomRow rom = test::MakeRom(dir, "g.col", 10, 1);
    host.events.clear();
    host.answers = {true};
    EXPECT_EQ(Build(*ini, {rom}), BuildOutcome::Written);
    EXPECT_EQ(host.events.front(), kAskReplace);
    EXPECT_EQ(host.events[2], kSuccess);
    EXPECT_NE(test::ReadFileText(out + "/Rix.gba"), "previous");
}

TEST_F(BuildProcedure, ProgressCountsEverySectionButStepsOnlyForRecordsAndRoms) {
    // Five sections without a name and two ROM sections, two listed ROMs.
    auto ini = SettingsWith("[Control Defaults]\r\nDefault0=K\r\n[Control_K]\r\n"
                            "[Cycle Counts]\r\nCycle0=228\r\n[Collision Detection]\r\n"
                            "[00000001]\r\nFilename=a\r\n[00000002]\r\nFilename=b\r\n");
    const std::vector<RomRow> rows = {test::MakeRom(dir, "a.col", 4, 1),
                                      test::MakeRom(dir, "b.col", 4, 2)};
    EXPECT_EQ(Build(*ini, rows), BuildOutcome::Written);
    EXPECT_EQ(host.events, (std::vector<std::string>{"progress 0..11 by 1", kSuccess,
                                                     "position 0 after 6 steps"}));
}

TEST_F(BuildProcedure, OutputDirectoryFromSettingsOrTheCurrentDirectory) {
    // One missing level is created.
    auto ini = SettingsWith("");
    EXPECT_EQ(Build(*ini, {}), BuildOutcome::Written);
    EXPECT_TRUE(std::filesystem::exists(out + "/Rix.gba"));

    // Two missing levels: the create error names rix.gba.
    const std::string deep = dir / "a/b";
    auto deepIni = test::Settings(dir, "[Settings]\r\nRixBinary=" + deep + "\r\n");
    EXPECT_EQ(Failure([&] { Build(*deepIni, {}); }),
              "Cannot create file " + deep + kPathSeparator + "rix.gba");
    EXPECT_FALSE(std::filesystem::exists(dir / "a"));

    // No "RixBinary", or an empty one: the current directory (never the root).
    for (const std::string settings : {"", "[Settings]\r\nRixBinary=\r\n"}) {
        auto bare = test::Settings(dir, settings);
        std::filesystem::remove(dir / "Rix.gba");
        const auto cwd = std::filesystem::current_path();
        std::filesystem::current_path(dir.Path());
        EXPECT_EQ(Build(*bare, {}), BuildOutcome::Written);
        std::filesystem::current_path(cwd);
        EXPECT_TRUE(std::filesystem::exists(dir / "Rix.gba")) << settings;
    }

    // An explicit output directory wins and the document is not changed.
    BuildOptions options{.outputDirectory = dir / "chosen", .emulatorImage = &test::FakeImage};
    EXPECT_EQ(RunBuild(*ini, {}, host, options), BuildOutcome::Written);
    EXPECT_TRUE(std::filesystem::exists(dir / "chosen/Rix.gba"));
    EXPECT_EQ(ini->ReadEntry("Settings", "RixBinary", ""), out);
}

// Every failure keeps the previous image and leaves no temporary file.
TEST_F(BuildProcedure, FailuresKeepThePreviousImage) {
    const RomRow good = test::MakeRom(dir, "good.col", 100, 1);
    RomRow gone = good;
    gone.realPath = dir / "deleted.col";
    struct Case {
        const char* name;
        std::string settings;
        std::vector<RomRow> rows;
        std::string error;
    };
    const Case cases[] = {
        {"a ROM file deleted after it was added",
         "[00000001]\r\nFilename=a\r\n",
         {good, gone},
         "Cannot open file " + gone.realPath},
        {"a cycle count that is not an integer",
         "[00000001]\r\nFilename=a\r\nCycle Count=fast\r\n",
         {good},
         "'fast' is not a valid integer value"},
        {"an empty cycle count",
         "[00000001]\r\nFilename=a\r\nCycle Count=\r\n",
         {good},
         "'' is not a valid integer value"},
        {"a collision mode that is not an integer",
         "[00000001]\r\nFilename=a\r\nCollision Detection=2nd\r\n",
         {good},
         "'2nd' is not a valid integer value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto ini = SettingsWith(c.settings);
        std::filesystem::create_directories(out);
        test::WriteFileText(out + "/Rix.gba", "previous");
        host.answers = {true};
        host.events.clear();
        EXPECT_EQ(Failure([&] { Build(*ini, c.rows); }), c.error);
        EXPECT_EQ(test::ReadFileText(out + "/Rix.gba"), "previous");
        EXPECT_EQ(EntriesIn(out), 1u);
        for (const std::string& event : host.events) {
            EXPECT_EQ(event.find("Have fun"), std::string::npos) << event;
        }
    }
}

TEST_F(BuildProcedure, AReadOnlyImageIsNotReplaced) {
    auto ini = SettingsWith("");
    std::filesystem::create_directories(out);
    test::WriteFileText(out + "/Rix.gba", "previous");
    std::filesystem::permissions(out + "/Rix.gba", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    host.answers = {true};
    EXPECT_EQ(Failure([&] { Build(*ini, {}); }),
              "Cannot create file " + out + kPathSeparator + "rix.gba");
    EXPECT_EQ(test::ReadFileText(out + "/Rix.gba"), "previous");
}

TEST_F(BuildProcedure, ARomThatChangesSizeDuringTheBuildStopsIt) {
    auto ini = SettingsWith("");
    const RomRow rom = test::MakeRom(dir, "grows.col", 64, 1);
    // The first step is the ROM entry (no records): the file grows before it is copied.
    host.onStep = [&](int step) {
        if (step == 1) {
            test::WriteFileText(rom.realPath, std::string(65, 'x'));
        }
    };
    EXPECT_EQ(Failure([&] { Build(*ini, {rom}); }), "Stream read error");
    EXPECT_FALSE(std::filesystem::exists(out + "/Rix.gba"));
    EXPECT_EQ(EntriesIn(out), 0u);

    host.steps = 0;
    host.onStep = [&](int step) {
        if (step == 1) {
            test::WriteFileText(rom.realPath, std::string(63, 'x'));
        }
    };
    EXPECT_EQ(Failure([&] { Build(*ini, {rom}); }), "Stream read error");
    EXPECT_EQ(EntriesIn(out), 0u);
}

TEST_F(BuildProcedure, AnImageBeyondTheCartridgeSpaceStopsBeforeWriting) {
    auto ini = SettingsWith("");
    const std::string big = dir / "big.col";
    test::WriteFileText(big, "");
    std::filesystem::resize_file(big, 32 * 1024 * 1024); // sparse where it can be
    RomRow row = test::MakeRom(dir, "small.col", 1, 1);
    RomRow bigRow = row;
    bigRow.realPath = big;
    EXPECT_EQ(Failure([&] {
                  Build(*ini, {row, bigRow});
              }),
              "The cartridge image would be 33,554,537 bytes, more than the 33,554,432 bytes a "
              "Game Boy Advance cartridge can address");
    EXPECT_FALSE(std::filesystem::exists(out + "/Rix.gba"));

    // Exactly at the limit is fine.
    std::filesystem::resize_file(big, 32 * 1024 * 1024 - 64 - 16 - 8 - 8);
    EXPECT_EQ(Build(*ini, {bigRow}), BuildOutcome::Written);
    EXPECT_EQ(std::filesystem::file_size(out + "/Rix.gba"), 32u * 1024 * 1024);
}

std::span<const std::uint8_t> MissingImage() {
    return FindResource(std::span<const ResourceEntry>(), kEmulatorImageName, kEmulatorImageType);
}

TEST_F(BuildProcedure, AMissingEmulatorImageStopsBeforeTheOutputIsTouched) {
    auto ini = SettingsWith("");
    std::filesystem::create_directories(out);
    test::WriteFileText(out + "/Rix.gba", "previous");
    host.answers = {true};
    EXPECT_EQ(Failure([&] { RunBuild(*ini, {}, host, {.emulatorImage = &MissingImage}); }),
              "Resource rix not found");
    EXPECT_EQ(test::ReadFileText(out + "/Rix.gba"), "previous");
}

TEST(Resources, FoundByNameAndTypeWithoutRegardToCase) {
    static const unsigned char bytes[] = {1, 2, 3, 4};
    const ResourceEntry table[] = {{"RIX", "RT_RCDATA", bytes, 4},
                                   {"OTHER", "RT_RCDATA", bytes, 2}};
    EXPECT_EQ(FindResource(table, "rix", "rt_rcdata").size(), 4u);
    EXPECT_EQ(Failure([&] { FindResource(table, "rix", "RCDATA"); }), "Resource rix not found");
    EXPECT_EQ(Failure([&] { FindResource(table, "nothing", "RT_RCDATA"); }),
              "Resource nothing not found");
}

TEST(Resources, TheEmbeddedEmulatorImageIsTheCommittedOne) {
    const auto image = EmulatorImage();
    const std::vector<unsigned char> file = test::ReadFileBytes(RIX_EMULATOR_IMAGE_FILE);
    ASSERT_FALSE(file.empty());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), file.begin(), file.end()));
}

} // namespace
} // namespace rix
