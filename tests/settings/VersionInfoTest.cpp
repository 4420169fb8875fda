#include "settings/VersionInfo.h"
#include "platform/Paths.h"
#include "settings/VersionApi.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace rix {
namespace {

using test::TempDir;

std::string WriteBlock(const TempDir& dir, const std::string& name,
                       const VersionInfoValues& values) {
    const std::vector<std::uint8_t> block = MakeVersionInfoBlock(values);
    test::WriteFileBytes(dir / name, std::vector<unsigned char>(block.begin(), block.end()));
    return dir / name;
}

TEST(VersionInfo, TheProgramsOwnInformationNamesRix) {
    TQzVersionInfo info;
    EXPECT_EQ(info.FileName(), RunningProgramPath());
    EXPECT_TRUE(info.InfoFound());
    EXPECT_EQ(info.TranslationCount(), 1);
    EXPECT_EQ(info.TranslationIndex(), 0);
    EXPECT_EQ(info.TranslationKey(), "080904e4");
    EXPECT_EQ(info.VersionString(TQzVersionInfo::kInternalName), "Rix");
    EXPECT_EQ(info.VersionString(TQzVersionInfo::kFileDescription), "Rix");
    EXPECT_EQ(info.VersionString(TQzVersionInfo::kFileVersion), "0.9.7.0");
    EXPECT_EQ(info.VersionString(TQzVersionInfo::kProductVersion), "0.9.7.0");
    EXPECT_EQ(info.VersionString(TQzVersionInfo::kPrivateBuild), "Test Release");
    EXPECT_EQ(info.VersionString(TQzVersionInfo::kSpecialBuild), "Test Release");
    EXPECT_EQ(info.VersionString(TQzVersionInfo::kComments), "");
    EXPECT_EQ(info.VersionString(12), "");
    EXPECT_EQ(info.VersionString(-1), "");
}

TEST(VersionInfo, TheShownVersionIsTheFileVersionWithoutItsBuild) {
    EXPECT_EQ(ShownVersion(OwnVersionInfoValues()), "0.9.7");
    VersionInfoValues values;
    const std::uint16_t version[4] = {1, 10, 0, 65535};
    std::copy(std::begin(version), std::end(version), values.fileVersion);
    EXPECT_EQ(ShownVersion(values), "1.10.0");
}

TEST(VersionInfo, TheBlockIsAStandardVersionResource) {
    const std::vector<std::uint8_t>& block = OwnVersionInfoBlock();
    ASSERT_GE(block.size(), 92u);
    EXPECT_EQ(block[0] | (block[1] << 8), int(block.size())); // wLength
    EXPECT_EQ(block[2] | (block[3] << 8), 52);                // fixed info
    EXPECT_EQ(block[40] | (block[41] << 8) | (block[42] << 16) | (block[43] << 24),
              int(0xFEEF04BD));
    std::vector<std::uint8_t> buffer(block.size() * 2);
    std::copy(block.begin(), block.end(), buffer.begin());
    void* value = nullptr;
    std::uint32_t length = 0;
    ASSERT_TRUE(VerQueryValueA(buffer.data(), "\\", &value, &length));
    EXPECT_EQ(length, 52u);
    const auto* fixed = static_cast<const std::uint8_t*>(value);
    // File version 0.9.7.0: the high word pair (0, 9), the low pair (7, 0).
    EXPECT_EQ(std::vector<int>(fixed + 8, fixed + 16), (std::vector<int>{9, 0, 0, 0, 0, 0, 7, 0}));
    EXPECT_EQ(fixed[28], 0x2A); // pre-release, private build, special build
    EXPECT_EQ(fixed[32], 4);    // 32-bit Windows
    EXPECT_EQ(fixed[36], 1);    // application
    ASSERT_TRUE(
        VerQueryValueA(buffer.data(), "\\StringFileInfo\\080904E4\\InternalName", &value, &length));
    EXPECT_STREQ(static_cast<const char*>(value), "Rix");
    EXPECT_FALSE(
        VerQueryValueA(buffer.data(), "\\StringFileInfo\\040904E4\\InternalName", &value, &length));
}

TEST(VersionInfo, LookupsFollowTheFirstTranslationAndIgnoreCase) {
    TempDir dir;
    VersionInfoValues values;
    values.stringTables = {
        {"040904B0", {{"InternalName", "Second"}}},
        {"080904E4", {{"InternalName", "First"}, {"OriginalFilename", "o.exe"}, {"Comments", ""}}}};
    values.translations = {0x04E40809u, 0x04B00409u};
    TQzVersionInfo info;
    info.SetFileName(WriteBlock(dir, "two.bin", values));
    EXPECT_TRUE(info.InfoFound());
    EXPECT_EQ(info.TranslationCount(), 2);
    EXPECT_EQ(info.VersionString(TQzVersionInfo::kInternalName), "First");
    // Looked up as "OriginalFileName", stored as "OriginalFilename".
    EXPECT_EQ(info.VersionString(TQzVersionInfo::kOriginalFileName), "o.exe");
    EXPECT_EQ(info.VersionString(TQzVersionInfo::kComments), "");
    info.SetTranslationIndex(1);
    EXPECT_EQ(info.TranslationKey(), "040904b0");
    EXPECT_EQ(info.VersionString(TQzVersionInfo::kInternalName), "Second");
    info.SetTranslationIndex(2);
    EXPECT_EQ(info.TranslationIndex(), -1);
    EXPECT_EQ(info.TranslationKey(), "");
}

TEST(VersionInfo, MissingInformationGivesEmptyTexts) {
    TempDir dir;
    test::WriteFileText(dir / "plain.txt", "no version information here");
    VersionInfoValues noTranslation;
    noTranslation.stringTables = {{"080904E4", {{"InternalName", "Hidden"}}}};
    noTranslation.hasTranslation = false;
    const std::string files[] = {dir / "plain.txt", dir / "missing.exe",
                                 WriteBlock(dir, "notr.bin", noTranslation)};
    for (const std::string& file : files) {
        TQzVersionInfo info;
        info.SetFileName(file);
        EXPECT_EQ(info.VersionString(TQzVersionInfo::kInternalName), "") << file;
        // Without information the key is empty whatever the index holds.
        EXPECT_EQ(info.TranslationKey(), "") << file;
    }
    TQzVersionInfo info;
    info.SetFileName(files[2]);
    EXPECT_TRUE(info.InfoFound());
    EXPECT_EQ(info.TranslationCount(), 0);
    EXPECT_EQ(info.TranslationIndex(), -1);
    info.SetFileName(dir / "plain.txt");
    EXPECT_FALSE(info.InfoFound());
    info.SetFileName("");
    EXPECT_TRUE(info.InfoFound());
}

} // namespace
} // namespace rix
