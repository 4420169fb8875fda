#include "builder/RomListModel.h"

#include "builder/RomList.h"
#include "format/CartTable.h"
#include "settings/Schema.h"

#include <algorithm>
#include <functional>

namespace rix {

namespace {

// A name is one line: line breaks become blanks.
std::string OneLine(std::string_view text) {
    std::string line(text);
    std::replace(line.begin(), line.end(), '\r', ' ');
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
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
    // From the last one on, so that each position still names the row it named when asked.
    std::sort(rows.begin(), rows.end(), std::greater<>());
    for (const std::size_t row : rows) {
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
        if (observer_ != nullptr) {
            observer_->RowRemoved(row);
        }
    }
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
