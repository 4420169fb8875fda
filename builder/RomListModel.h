// The ROM list that both front ends work on: the settings document and the list's rows, with
// the operations a user performs on them. Each operation changes the rows and the document
// together, so that a ROM's name and control have one home; a front end shows the rows and
// hears of every change through RomListObserver.
#pragma once

#include "builder/Build.h"
#include "platform/Errors.h"
#include "settings/IniFile.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rix {

// Told of each change to the rows, after it is made.
class RomListObserver {
public:
    virtual ~RomListObserver() = default;
    virtual void RowInserted(std::size_t row) = 0;
    virtual void RowRemoved(std::size_t row) = 0;
    // The row's caption or control changed.
    virtual void RowChanged(std::size_t row) = 0;
    // The row at `from` now stands at `to`; the rows in between moved one place to make room.
    virtual void RowMoved(std::size_t from, std::size_t to) = 0;
};

// The error of a file that could not be added, with the file's path; what() is the error's
// own text, as the windows show it.
class RomFileError : public RixError {
public:
    RomFileError(const RixError& error, std::string path)
        : RixError(error), path_(std::move(path)) {}
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

class RomListModel {
public:
    // Loads the settings document from `settingsPath` (empty when there is no such file) and
    // reads the preset that added ROMs get. Throws "Cannot open file %s" when the file exists
    // but cannot be read, "%s is not a settings file" for what holds no settings; nothing is
    // written then. `sharing` says how the file is shared with other programs (IniFile.h).
    explicit RomListModel(const std::string& settingsPath,
                          SettingsSharing sharing = SettingsSharing::TakeTurns);
    ~RomListModel();
    RomListModel(const RomListModel&) = delete;
    RomListModel& operator=(const RomListModel&) = delete;

    // At most one; null for none. The observer must outlive its registration.
    void SetObserver(RomListObserver* observer) { observer_ = observer; }

    TCustomIniFile& Settings() { return *ini_; }
    const TCustomIniFile& Settings() const { return *ini_; }
    const std::string& DefaultPresetName() const { return defaultPresetName_; }

    // The rows in list order, as the build reads them.
    const std::vector<RomRow>& Rows() const { return rows_; }
    const RomRow& Row(std::size_t row) const { return rows_.at(row); }

    // Files chosen together, in the order given: "LastDir" becomes the first one's folder,
    // then each is added as AddFile adds it. A file that cannot be read stops the adding there
    // with its error (a RomFileError, which names the file); the rows before it stay.
    void AddFiles(const std::vector<std::string>& paths);
    // One file (see AddRomFile), appended as a row; "LastDir" stays as it is.
    void AddFile(const std::string& path);
    // Removes the rows at these positions (in any order; a position named twice counts once,
    // and one past the last row is refused before anything is removed); their ROM sections
    // stay.
    void DeleteRows(std::vector<std::size_t> rows);

    // The rows' order is the cartridge's and its menu's. A move changes only the rows, never
    // the document: the order is not saved. Both moves take positions in any order (a position
    // named twice counts once, one past the last row is refused) and return where each row
    // went, indexed by where it was.
    //
    // The rows at `rows` go, in their order, to stand before the row now at `before`
    // (Rows().size(): at the end); `before` may be one of them.
    std::vector<std::size_t> MoveRows(std::vector<std::size_t> rows, std::size_t before);
    // One place towards the start (`step` below 0) or the end (above 0): each of the rows
    // changes places with its neighbour on that side unless it is against that end or behind
    // one of them that is, so a block moves as one.
    std::vector<std::size_t> StepRows(std::vector<std::size_t> rows, int step);

    // A new caption typed into the list: it is cut to the length of a record's name and
    // becomes the ROM's "Filename". A line break (pasted in, say) becomes a blank: a name is
    // one line.
    void Rename(std::size_t row, std::string_view caption);
    // The name the configuration dialog closes with is stored as it stands; when it differs
    // from the caption, the caption then follows as Rename sets it. So an over-long stored
    // name survives a dialog closed unchanged.
    void SetName(std::size_t row, std::string_view name);

    // The ROM's control and the settings file written. A preset drops the ROM's own button
    // choices; "Custom" stores `choiceOf(key)` for each button key as its own.
    void SetControl(std::size_t row, std::string_view control,
                    const std::function<std::string(std::string_view key)>& choiceOf);
    // One button's own choice, and the settings file written.
    void SetButton(std::size_t row, std::string_view key, std::string_view choice);
    // The cycle count, and the settings file written: the value at `listIndex` of "Cycle
    // Counts" exactly as that list holds it, or none (the key deleted) for "Default".
    void SetCycleCount(std::size_t row, std::optional<int> listIndex);
    // The collision mode by its position in "Collision Detection"; the first one is the
    // default and deletes the key. Only the document changes; the next save writes it.
    void SetCollisionMode(std::size_t row, int index);

    // "RixBinary": where a build writes Rix.gba (the current directory when not set).
    std::string OutputDirectory() const;
    void SetOutputDirectory(std::string_view directory);

    // Builds Rix.gba from the document and the rows (see RunBuild).
    BuildOutcome Build(BuildHost& host, const BuildOptions& options = {}) const;
    // Writes the settings file.
    void Save();

private:
    void Changed(std::size_t row);
    // The row at `from` taken out and put back at `to`, with the same done to `ids`.
    void MoveRow(std::size_t from, std::size_t to, std::vector<std::size_t>& ids);
    // Sorted, each once, all of them rows; throws std::out_of_range otherwise.
    std::vector<std::size_t> Positions(std::vector<std::size_t> rows) const;

    std::unique_ptr<TMemIniFile> ini_;
    std::string defaultPresetName_;
    std::vector<RomRow> rows_;
    RomListObserver* observer_ = nullptr;
};

} // namespace rix
