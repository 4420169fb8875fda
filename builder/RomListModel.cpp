#include "builder/RomListModel.h"

#include "builder/RomList.h"
#include "format/CartTable.h"
#include "settings/Schema.h"

#include <algorithm>
#include <functional>
#include <numeric>
#include <stdexcept>

namespace rix {

namespace {

// A name is one line: line breaks become blanks.
std::string OneLine(std::string_view text) {
    std::string line(text);
    std::replace(line.begin(), line.end(), '\r', ' ');
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
}

// Each row's place before a move, by its place now: before any row has moved.
std::vector<std::size_t> Identity(std::size_t count) {
    std::vector<std::size_t> ids(count);
    std::iota(ids.begin(), ids.end(), std::size_t{0});
    return ids;
}

// Where each row went, by where it was, from the rows' former positions in their new order.
std::vector<std::size_t> NewPositions(const std::vector<std::size_t>& ids) {
    std::vector<std::size_t> positions(ids.size());
    for (std::size_t at = 0; at < ids.size(); ++at) {
        positions[ids[at]] = at;
    }
    return positions;
}

} // namespace

RomListModel::RomListModel(const std::string& settingsPath, SettingsSharing sharing)
    : ini_(std::make_unique<TMemIniFile>(settingsPath, sharing)),
      defaultPresetName_(schema::ReadStartupPresetName(*ini_)) {}

RomListModel::~RomListModel() = default;

void RomListModel::AddFiles(const std::vector<std::string>& paths) {
    if (paths.empty()) {
        return;
    }
    RememberLastDir(*ini_, paths.front());
    for (const std::string& path : paths) {
        AddFile(path);
    }
}

void RomListModel::AddFile(const std::string& path) {
    try {
        rows_.push_back(AddRomFile(*ini_, path, defaultPresetName_));
    } catch (const RomFileError&) {
        throw;
    } catch (const RixError& e) {
        throw RomFileError(e, path);
    }
    if (observer_ != nullptr) {
        observer_->RowInserted(rows_.size() - 1);
    }
}

void RomListModel::DeleteRows(std::vector<std::size_t> rows) {
    rows = Positions(std::move(rows));
    // From the last one on, so that each position still names the row it named when asked.
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(*row));
        if (observer_ != nullptr) {
            observer_->RowRemoved(*row);
        }
    }
}

std::vector<std::size_t> RomListModel::Positions(std::vector<std::size_t> rows) const {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (!rows.empty() && rows.back() >= rows_.size()) {
        throw std::out_of_range("no such row");
    }
    return rows;
}

void RomListModel::MoveRow(std::size_t from, std::size_t to, std::vector<std::size_t>& ids) {
    const auto rotate = [from, to](auto& items) {
        const auto at = [&items](std::size_t i) { return items.begin() + std::ptrdiff_t(i); };
        if (from < to) {
            std::rotate(at(from), at(from + 1), at(to + 1));
        } else {
            std::rotate(at(to), at(from), at(from + 1));
        }
    };
    rotate(rows_);
    rotate(ids);
    if (observer_ != nullptr) {
        observer_->RowMoved(from, to);
    }
}

std::vector<std::size_t> RomListModel::MoveRows(std::vector<std::size_t> rows, std::size_t before) {
    rows = Positions(std::move(rows));
    if (before > rows_.size()) {
        throw std::out_of_range("no such row");
    }
    std::vector<std::size_t> ids = Identity(rows_.size());
    // The moved rows end as a block from `first`. Those going down are moved last one first
    // and those going up first one first, so that each is still where it started when its
    // turn comes and the ones already placed stay put.
    const std::size_t first =
        before -
        static_cast<std::size_t>(std::lower_bound(rows.begin(), rows.end(), before) - rows.begin());
    std::size_t goingDown = 0;
    while (goingDown < rows.size() && rows[goingDown] < first + goingDown) {
        ++goingDown;
    }
    for (std::size_t i = goingDown; i-- > 0;) {
        MoveRow(rows[i], first + i, ids);
    }
    for (std::size_t i = goingDown; i < rows.size(); ++i) {
        if (rows[i] != first + i) {
            MoveRow(rows[i], first + i, ids);
        }
    }
    return NewPositions(ids);
}

std::vector<std::size_t> RomListModel::StepRows(std::vector<std::size_t> rows, int step) {
    rows = Positions(std::move(rows));
    std::vector<std::size_t> ids = Identity(rows_.size());
    if (step < 0) {
        // `free`: the first place a row may move into; rows against the start hold theirs.
        std::size_t free = 0;
        for (const std::size_t row : rows) {
            if (row > free) {
                MoveRow(row, row - 1, ids);
                free = row;
            } else {
                free = row + 1;
            }
        }
    } else if (step > 0) {
        std::size_t free = rows_.size(); // one past the last place a row may move into
        for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
            if (*row + 1 < free) {
                MoveRow(*row, *row + 1, ids);
                free = *row + 1;
            } else {
                free = *row;
            }
        }
    }
    return NewPositions(ids);
}

void RomListModel::Rename(std::size_t row, std::string_view caption) {
    RomRow& rom = rows_.at(row);
    rom.caption = OneLine(caption.substr(0, format::kRecordNameLength));
    ini_->WriteEntry(rom.romKey, schema::kFilename, rom.caption);
    Changed(row);
}

void RomListModel::SetName(std::size_t row, std::string_view typed) {
    const RomRow& rom = rows_.at(row);
    const std::string name = OneLine(typed);
    ini_->WriteEntry(rom.romKey, schema::kFilename, name);
    if (name != rom.caption) {
        Rename(row, name);
    }
}

void RomListModel::SetControl(std::size_t row, std::string_view control,
                              const std::function<std::string(std::string_view key)>& choiceOf) {
    RomRow& rom = rows_.at(row);
    for (const std::string_view key : schema::kButtonKeys) {
        if (control == schema::kCustom) {
            ini_->WriteEntry(rom.romKey, key, choiceOf(key));
        } else {
            ini_->DeleteEntry(rom.romKey, key);
        }
    }
    rom.control = control;
    Changed(row);
    ini_->WriteEntry(rom.romKey, schema::kControl, control);
    ini_->SaveDocument();
}

void RomListModel::SetButton(std::size_t row, std::string_view key, std::string_view choice) {
    ini_->WriteEntry(rows_.at(row).romKey, key, choice);
    ini_->SaveDocument();
}

void RomListModel::SetCycleCount(std::size_t row, std::optional<int> listIndex) {
    const std::string& section = rows_.at(row).romKey;
    if (!listIndex) {
        ini_->DeleteEntry(section, schema::kCycleCount);
    } else {
        ini_->WriteEntry(section, schema::kCycleCount,
                         ini_->ReadEntry(schema::kCycleCounts,
                                         schema::NumberedKey(schema::kCyclePrefix, *listIndex),
                                         ""));
    }
    ini_->SaveDocument();
}

void RomListModel::SetCollisionMode(std::size_t row, int index) {
    const std::string& section = rows_.at(row).romKey;
    if (index == 0) {
        ini_->DeleteEntry(section, schema::kCollisionMode);
    } else {
        ini_->WriteEntry(section, schema::kCollisionMode, std::to_string(index));
    }
}

std::string RomListModel::OutputDirectory() const {
    return rix::OutputDirectory(*ini_, {});
}

void RomListModel::SetOutputDirectory(std::string_view directory) {
    ini_->WriteEntry(schema::kSettings, schema::kRixBinary, directory);
}

BuildOutcome RomListModel::Build(BuildHost& host, const BuildOptions& options) const {
    return RunBuild(*ini_, rows_, host, options);
}

void RomListModel::Save() {
    ini_->SaveDocument();
}

void RomListModel::Changed(std::size_t row) {
    if (observer_ != nullptr) {
        observer_->RowChanged(row);
    }
}

} // namespace rix
