// The settings document: an in-memory INI file. Loaded once, changed in memory, written back
// whole by SaveDocument. Text is bytes; nothing is converted, quoted or escaped.
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

namespace rix {

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
    // document is unchanged either way.
    virtual void SaveDocument() = 0;

    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
};

class TMemIniFile final : public TCustomIniFile {
public:
    // LoadDocument: an empty path, or no regular file at it, gives an empty document. A file
    // that exists but cannot be opened fails with "Cannot open file %s".
    explicit TMemIniFile(const std::string& fileName);
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

    // The text SaveDocument writes: "[name]" then the lines, then an empty line, per section;
    // every line ends with CR LF.
    std::string SaveText() const;
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

    struct LoadTag {};
    TMemIniFile(const std::string& fileName, LoadTag) : TCustomIniFile(fileName) {}
    void LoadText(std::string_view text);
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
};

} // namespace rix
