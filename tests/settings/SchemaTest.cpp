#include "settings/Schema.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

namespace rix {
namespace {

std::unique_ptr<TMemIniFile> Load(std::string_view text) {
    return TMemIniFile::FromText("unused.ini", text);
}

TEST(Schema, NumberedListsStopAtTheFirstGapOrEmptyValue) {
    const auto ini = Load("[Control Defaults]\r\nDefault0=Kempston\r\ndefault1=Keypad\r\n"
                          "Default3=Never\r\n[Cycle Counts]\r\nCycle0=228\r\nCycle1=\r\n"
                          "Cycle2=300\r\n");
    EXPECT_EQ(schema::ReadNumberedList(*ini, "Control Defaults", "Default"),
              (std::vector<std::string>{"Kempston", "Keypad"}));
    EXPECT_EQ(schema::ReadNumberedList(*ini, "cycle counts", "Cycle"),
              (std::vector<std::string>{"228"}));
    EXPECT_TRUE(schema::ReadNumberedList(*ini, "Collision Detection", "Collision").empty());
}

TEST(Schema, StartupPresetIsKempstonOnlyWhenDefault0IsMissing) {
    EXPECT_EQ(schema::ReadStartupPresetName(*Load("")), "Kempston");
    EXPECT_EQ(schema::ReadStartupPresetName(*Load("[Control Defaults]\r\nDefault0=\r\n")), "");
    EXPECT_EQ(schema::ReadStartupPresetName(*Load("[Control Defaults]\r\nDefault0=Pad\r\n")),
              "Pad");
}

TEST(Schema, NamesAreBuiltAsTheFileHoldsThem) {
    const std::string sep(1, kPathSeparator);
    EXPECT_EQ(schema::SettingsFilePath("/home/u", "Rix"), "/home/u" + sep + "Rix.INI");
    EXPECT_EQ(schema::SettingsFilePath("/", "Rix"), "/" + sep + "Rix.INI");
    EXPECT_EQ(schema::SettingsFilePath("/home/u", ""), "/home/u" + sep + ".INI");
    EXPECT_EQ(schema::PresetSection("Kempston"), "Control_Kempston");
    EXPECT_EQ(schema::PresetSection(""), "Control_");
    EXPECT_EQ(schema::NumberedKey("Collision", 12), "Collision12");
}

} // namespace
} // namespace rix
