// The settings document: an in-memory INI file. Loaded once, changed in memory, written back
// whole by SaveDocument. Text is bytes; nothing is converted, quoted or escaped.
//
// Several programs may share one file (the window and rix-build runs in one folder): a save
// never drops what another program saved since this one loaded the file. The document keeps
// the changes made since its load (entries written, entries deleted; sections are only ever
// appended), and a save takes the file's lock, reads the file again if it changed on disk,
// applies those changes onto what is there now and writes the result. When nobody else changed
// the file, the bytes written are those of this document alone.
//
// Names match without regard to letter case (UpperAnsi on both sides). A document may hold
// several sections of one name and a section several entries of one key (only from a loaded
// file); every lookup finds the last of them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/File.h"

namespace rix {

// How a document shares its file with other programs.
enum class SettingsSharing {
    // Loads and saves wait their turn (a short while) and saves merge.
    TakeTurns,
    // The file stays locked from the load to the save (or the document's release), so that
    // runs of a command on one file follow each other; waits for the lock as long as it takes.
    HoldUntilSaved,
};

class TCustomIniFile {
public:
    explicit TCustomIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
    virtual ~TCustomIniFile() = default;
    TCustomIniFile(const TCustomIniFile&) = delete;
    TCustomIniFile& operator=(const TCustomIniFile&) = delete;

    // The value of `key` in `section`; `defaultValue` only when the section or key is missing
    // (an entry with an empty value gives the empty text).
    virtual std::string ReadEntry(std::string_view section, std::string_view key,
                                  std::string_view defaultValue) const = 0;
    // Replaces the entry's line where it stands (the stored key takes the caller's spelling) or
    // appends it; appends the section, spelled as given, when it is missing.
    virtual void WriteEntry(std::string_view section, std::string_view key,
                            std::string_view value) = 0;
    // Replaces `names` with every section name in document order, duplicates included.
    virtual void ListSections(std::vector<std::string>& names) const = 0;
    // Removes the entry's one line; the section stays. Missing section or key: nothing.
    virtual void DeleteEntry(std::string_view section, std::string_view key) = 0;
    // Rewrites the whole file. Fails with "Cannot create file %s" or "Stream write error"; the
    // document is unchanged then. (TMemIniFile takes in what other programs saved meanwhile.)
    virtual void SaveDocument() = 0;

    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
};

class TMemIniFile final : public TCustomIniFile {
public:
    // LoadDocument: an empty path, or nothing at it, gives an empty document. Anything else
    // that cannot be read as a file (a directory, a device, a folder that may not be entered,
    // a folder that does not exist) fails with "Cannot open file %s"; a file that holds no
    // settings text (a NUL byte, or not one line that reads as a section header, an entry or a
    // comment) with "%s is not a settings file". A leading UTF-8 byte-order mark is skipped.
    explicit TMemIniFile(const std::string& fileName,
                         SettingsSharing sharing = SettingsSharing::TakeTurns);
    // A document of `fileName` loaded from `text` instead of the file.
    static std::unique_ptr<TMemIniFile> FromText(const std::string& fileName,
                                                 std::string_view text);

    std::string ReadEntry(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const override;
    void WriteEntry(std::string_view section, std::string_view key,
                    std::string_view value) override;
    void ListSections(std::vector<std::string>& names) const override;
    void DeleteEntry(std::string_view section, std::string_view key) override;
    void SaveDocument() override;

    // The text SaveDocument writes when nobody else changed the file: "[name]" then the lines,
    // then an empty line, per section; every line ends with CR LF.
    std::string SaveText() const;
    // How long a load or a save waits for another program's turn on the file to end.
    static constexpr int kTurnWaitMs = 10000;
    std::size_t SectionCount() const { return sections_.size(); }

private:
    struct Section {
        std::string name;
        std::vector<std::string> lines;
        // Upper-cased key -> index of its last line; built on the first lookup after the lines
        // were reordered, kept up to date on append.
        mutable std::unordered_map<std::string, std::size_t> keyIndex;
        mutable bool keyIndexValid = false;
    };

    // A change made since the load, to be made again on the file as it is at the save.
    struct Change {
        bool erase = false;
        std::string section;
        std::string key;
        std::string value;
    };

    struct LoadTag {};
    TMemIniFile(const std::string& fileName, LoadTag) : TCustomIniFile(fileName) {}
    void LoadText(std::string_view text);
    void Replay(const std::vector<Change>& changes);
    void WriteDocument(const std::string& text, bool locked);
    Section& AppendSection(std::string_view name);
    void AppendLine(Section& section, std::string line);
    const Section* FindSection(std::string_view name) const;
    Section* FindSection(std::string_view name);
    static const std::string* FindEntryLine(const Section& section, std::string_view key,
                                            std::size_t* index);

    std::vector<std::unique_ptr<Section>> sections_;
    // Upper-cased section name -> index of the last section of that name; sections are only
    // ever appended, so this is kept up to date incrementally.
    std::unordered_map<std::string, std::size_t> sectionIndex_;

    SettingsSharing sharing_ = SettingsSharing::TakeTurns;
    std::vector<Change> changes_;
    FileStamp loadedStamp_; // the file as this document last read or wrote it
    PathLock held_;         // with HoldUntilSaved, from the load to the save
};

} // namespace rix
