// The ROM list model: rows and settings document changed together, and the observer told.
#include "builder/RomListModel.h"
#include "platform/Errors.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace rix {
namespace {

using test::TempDir;

class RecordingObserver : public RomListObserver {
public:
    void RowInserted(std::size_t row) override {
        events.push_back("insert " + std::to_string(row));
    }
    void RowRemoved(std::size_t row) override { events.push_back("remove " + std::to_string(row)); }
    void RowChanged(std::size_t row) override { events.push_back("change " + std::to_string(row)); }
    std::vector<std::string> events;
};

class RomListModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 4; ++i) {
            const std::string name = "game" + std::to_string(i) + ".rom";
            test::WriteFileText(dir / name, "content " + std::to_string(i));
            files.push_back(dir / name);
        }
        model.SetObserver(&observer);
    }
    std::vector<std::string> Captions() const {
        std::vector<std::string> captions;
        for (const RomRow& row : model.Rows()) {
            captions.push_back(row.caption);
        }
        return captions;
    }
    std::string StoredName(std::size_t row) const {
        return model.Settings().ReadEntry(model.Row(row).romKey, "Filename", "-");
    }

    TempDir dir;
    std::vector<std::string> files;
    RomListModel model{dir / "Rix.INI"};
    RecordingObserver observer;
};

TEST_F(RomListModelTest, AddingStopsAtAFileThatCannotBeReadAndKeepsTheRowsBefore) {
    EXPECT_EQ(model.DefaultPresetName(), "Kempston");
    try {
        model.AddFiles({files[1], dir / "missing.rom", files[2]});
        ADD_FAILURE() << "added";
    } catch (const RomFileError& e) {
        EXPECT_STREQ(e.what(), "File not found");
        EXPECT_EQ(e.Path(), dir / "missing.rom"); // for front ends that name the file
    }
    EXPECT_EQ(Captions(), (std::vector<std::string>{"game1"}));
    EXPECT_EQ(model.Settings().ReadEntry("Settings", "LastDir", ""), dir.Path().string() + "/");
    // A single file leaves "LastDir" alone.
    model.Settings().WriteEntry("Settings", "LastDir", "/elsewhere/");
    model.AddFile(files[0]);
    EXPECT_EQ(model.Settings().ReadEntry("Settings", "LastDir", ""), "/elsewhere/");
    EXPECT_EQ(observer.events, (std::vector<std::string>{"insert 0", "insert 1"}));
}

TEST_F(RomListModelTest, DeletingRowsInAnyOrderKeepsTheirSections) {
    model.AddFiles(files);
    observer.events.clear();
    model.DeleteRows({2, 0, 3});
    EXPECT_EQ(Captions(), (std::vector<std::string>{"game1"}));
    EXPECT_EQ(observer.events, (std::vector<std::string>{"remove 3", "remove 2", "remove 0"}));
    std::vector<std::string> sections;
    model.Settings().ListSections(sections);
    EXPECT_EQ(sections.size(), 5u); // "Settings" and the four ROMs
}

TEST_F(RomListModelTest, RenamingCutsToTheLengthOfARecordsName) {
    model.AddFiles({files[0]});
    const std::pair<std::string, std::string> cases[] = {
        {"Short", "Short"},
        {"", ""},
        {std::string(47, 'x'), std::string(47, 'x')},
        {std::string(60, 'y'), std::string(47, 'y')},
        {"two\nlines\r", "two lines "}, // pasted in: a name is one line
    };
    for (const auto& [typed, stored] : cases) {
        model.Rename(0, typed);
        EXPECT_EQ(model.Row(0).caption, stored);
        EXPECT_EQ(StoredName(0), stored);
    }
    EXPECT_EQ(observer.events.size(), 1u + std::size(cases)); // one insert, then each rename
}

TEST_F(RomListModelTest, TheDialogsNameIsCutOnlyWhenItChangesTheCaption) {
    const std::string sixty(60, 'L');
    model.AddFiles({files[0]});
    model.Settings().WriteEntry(model.Row(0).romKey, "Filename", sixty);
    model.AddFiles({files[0]}); // the same ROM again: the stored name, not cut
    ASSERT_EQ(model.Row(1).caption, sixty);
    observer.events.clear();

    model.SetName(1, sixty);
    EXPECT_EQ(StoredName(1), sixty);
    EXPECT_TRUE(observer.events.empty());

    // Another over-long name (the field allows as many as the stored one had) is cut.
    model.SetName(1, std::string(55, 'M'));
    EXPECT_EQ(model.Row(1).caption, std::string(47, 'M'));
    EXPECT_EQ(StoredName(1), std::string(47, 'M'));
    // The other row of the same ROM stores its own caption when its dialog closes unchanged.
    model.SetName(0, "game0");
    EXPECT_EQ(StoredName(0), "game0");
    EXPECT_EQ(observer.events, (std::vector<std::string>{"change 1"}));
}

} // namespace
} // namespace rix
