#include "platform/Errors.h"

#include <gtest/gtest.h>

namespace rix {
namespace {

TEST(ErrorDisplayText, AddsAFullStopOnlyAfterCharactersAboveTheFullStop) {
    const std::pair<std::string, std::string> cases[] = {
        {"Stream write error", "Stream write error."},
        {"Cannot open file /x/Rix.INI", "Cannot open file /x/Rix.INI."},
        {"'fast' is not a valid integer value", "'fast' is not a valid integer value."},
        {"I/O error 32", "I/O error 32."}, // digits are above "."
        {"ends with a dot.", "ends with a dot."},
        {"ends with a dash-", "ends with a dash-"},    // '-' is 45
        {"ends with a slash/", "ends with a slash/."}, // '/' is 47
        {"ends with a space ", "ends with a space "},
        {"ends in \xE9", "ends in \xE9."}, // bytes above 127 count as above "."
        {"", ""},
    };
    for (const auto& [message, shown] : cases) {
        EXPECT_EQ(ErrorDisplayText(message), shown) << message;
    }
}

TEST(Errors, CarryTheirTextsWithTheArgumentInPlace) {
    EXPECT_STREQ(CannotOpenFile("/a/b.rom").what(), "Cannot open file /a/b.rom");
    EXPECT_STREQ(CannotCreateFile("/a/rix.gba").what(), "Cannot create file /a/rix.gba");
    EXPECT_STREQ(StreamWriteError().what(), "Stream write error");
    EXPECT_STREQ(StreamReadError().what(), "Stream read error");
    EXPECT_STREQ(ResourceNotFound("rix").what(), "Resource rix not found");
    EXPECT_STREQ(NotValidInteger("").what(), "'' is not a valid integer value");
    // A "%s" inside the argument is not expanded again.
    EXPECT_STREQ(CannotOpenFile("%s%d").what(), "Cannot open file %s%d");
}

TEST(Errors, FileIoTextsByCode) {
    const std::pair<int, const char*> cases[] = {
        {2, "File not found"},
        {3, "Invalid filename"},
        {4, "Too many open files"},
        {5, "File access denied"},
        {100, "Read beyond end of file"},
        {101, "Disk full"},
        {106, "Invalid numeric input"},
        {32, "I/O error 32"},
        {1, "I/O error 1"},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_STREQ(InOutError(code).what(), text) << code;
    }
}

} // namespace
} // namespace rix
