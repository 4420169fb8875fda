// The ROM list model: rows and settings document changed together, and the observer told.
#include "builder/RomListModel.h"
#include "platform/Errors.h"
#include "platform/Paths.h"

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
    void RowMoved(std::size_t from, std::size_t to) override {
        events.push_back("move " + std::to_string(from) + " " + std::to_string(to));
        moves.emplace_back(from, to);
    }
    std::vector<std::string> events;
    std::vector<std::pair<std::size_t, std::size_t>> moves;
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
    EXPECT_EQ(model.Settings().ReadEntry("Settings", "LastDir", ""),
              dir.Path().string() + kPathSeparator);
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

// Rows 0 to 3 are game0 to game3; `moved` the captions after the move, by their numbers.
struct MoveCase {
    std::vector<std::size_t> rows;
    int to; // MoveRows: the row to stand before; StepRows: the step
    std::string moved;
};

TEST_F(RomListModelTest, MovingRowsChangesOnlyTheirOrder) {
    const MoveCase moves[] = {
        {{2}, 0, "2013"},          {{0}, 4, "1230"},    {{0, 2}, 3, "1023"},
        {{3, 1}, 0, "1302"},       {{0, 3}, 2, "1032"}, {{1, 2}, 2, "0123"}, // before one of them
        {{0, 1}, 4, "2301"},       {{0, 2}, 4, "1302"}, {{1, 1}, 0, "1023"},
        {{0, 1, 2, 3}, 0, "0123"}, {{}, 1, "0123"},
    };
    const MoveCase steps[] = {
        {{1, 3}, -1, "1032"},       {{0, 2}, -1, "0213"},
        {{0, 1, 3}, -1, "0132"}, // against the start
        {{0, 2}, 1, "1032"},        {{1, 3}, 1, "0213"},
        {{2, 3}, 1, "0123"}, // against the end
        {{0, 1, 2, 3}, -1, "0123"}, {{3, 0}, 1, "1023"},
        {{1}, 0, "0123"},
    };
    model.AddFiles(files);
    model.Save();
    const std::string saved = test::ReadFileText(dir / "Rix.INI");
    const auto check = [this](const MoveCase& c, bool step) {
        model.DeleteRows({0, 1, 2, 3});
        model.AddFiles(files);
        const std::vector<std::string> before = Captions();
        observer.moves.clear();
        const std::vector<std::size_t> went =
            step ? model.StepRows(c.rows, c.to)
                 : model.MoveRows(c.rows, static_cast<std::size_t>(c.to));
        std::string order;
        for (const std::string& caption : Captions()) {
            order += caption.back();
        }
        EXPECT_EQ(order, c.moved) << (step ? "step " : "move ") << c.to;
        // Each row is found where the answer says it went ...
        ASSERT_EQ(went.size(), before.size());
        for (std::size_t row = 0; row < before.size(); ++row) {
            EXPECT_EQ(model.Row(went[row]).caption, before[row]);
        }
        // ... and the observer, told move by move, ends with the same order.
        std::vector<std::string> followed = before;
        for (const auto& [from, to] : observer.moves) {
            const std::string caption = followed[from];
            followed.erase(followed.begin() + std::ptrdiff_t(from));
            followed.insert(followed.begin() + std::ptrdiff_t(to), caption);
        }
        EXPECT_EQ(followed, Captions());
    };
    for (const MoveCase& c : moves) {
        check(c, false);
    }
    for (const MoveCase& c : steps) {
        check(c, true);
    }
    // Positions past the rows are refused and nothing moves.
    EXPECT_THROW(model.MoveRows({4}, 0), std::out_of_range);
    EXPECT_THROW(model.MoveRows({0}, 5), std::out_of_range);
    EXPECT_THROW(model.StepRows({1, 4}, -1), std::out_of_range);
    EXPECT_THROW(model.DeleteRows({0, 4}), std::out_of_range);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"game0", "game1", "game2", "game3"}));
    // The order is not the document's: nothing in it changed.
    model.Save();
    EXPECT_EQ(test::ReadFileText(dir / "Rix.INI"), saved);
}

} // namespace
} // namespace rix
