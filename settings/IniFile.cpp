#include "settings/IniFile.h"

#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <utility>

namespace rix {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

std::string_view Trim(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// The line that starts at `at`, trimmed; `at` moves behind its end (CR, LF or CR LF).
std::string_view NextLine(std::string_view text, std::size_t& at) {
    std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) {
        end = text.size();
    }
    const std::string_view line = Trim(text.substr(at, end - at));
    at = end;
    if (at < text.size()) {
        at += (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ? 2 : 1;
    }
    return line;
}

// The key of a line: the text before its first "="; a line without "=" has none.
bool KeyOf(std::string_view line, std::string_view& key) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) {
        return false;
    }
    key = line.substr(0, eq);
    return true;
}

// A file's text is settings text unless it holds a NUL byte, or has content but not one line
// of settings syntax (a section header, an entry or a comment): a ROM or another binary file
// given by mistake is no settings file, and must not be written over.
bool IsSettingsText(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) {
        return false;
    }
    bool content = false;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::string_view line = NextLine(text, at);
        if (line.empty()) {
            continue;
        }
        content = true;
        if (line.front() == ';' || line.find('=') != std::string_view::npos ||
            (line.size() >= 2 && line.front() == '[' && line.back() == ']')) {
            return true;
        }
    }
    return !content;
}

// Editors on some systems begin UTF-8 files with a byte-order mark; it belongs to no line.
std::string_view WithoutByteOrderMark(std::string_view text) {
    constexpr std::string_view kMark = "\xEF\xBB\xBF";
    return text.substr(0, kMark.size()) == kMark ? text.substr(kMark.size()) : text;
}

// A file's whole text from where it is open.
std::string ReadFileText(File& file) {
    std::string text(static_cast<std::size_t>(file.Size()), '\0');
    text.resize(file.ReadSome(text.data(), text.size()));
    // A file that grew since its size was taken is read to its end.
    char chunk[4096];
    while (std::size_t got = file.ReadSome(chunk, sizeof chunk)) {
        text.append(chunk, got);
    }
    return text;
}

} // namespace

TMemIniFile::TMemIniFile(const std::string& fileName, SettingsSharing sharing)
    : TCustomIniFile(fileName), sharing_(sharing) {
    if (fileName.empty()) {
        return;
    }
    if (sharing == SettingsSharing::HoldUntilSaved) {
        held_ = PathLock::Acquire(fileName, -1);
    }
    std::string text;
    if (held_.Held()) {
        if (held_.Created()) {
            return; // nothing was there: the lock made the (empty) file
        }
        text = held_.ReadAll();
        loadedStamp_ = FileStamp::Of(fileName);
    } else {
        // Only "nothing there" makes an empty document; what cannot be read is an error, so
        // that nothing is built from, or written over, settings that were not read.
        switch (KindOfPath(fileName)) {
        case PathKind::Missing:
            return;
        case PathKind::Other:
        case PathKind::Unreachable:
            throw CannotOpenFile(fileName);
        case PathKind::File:
            break;
        }
        File file = File::OpenReadWaiting(fileName, Share::DenyWrite, kTurnWaitMs);
        text = ReadFileText(file);
        loadedStamp_ = FileStamp::Of(fileName); // still open: no save can come between
        file.Close();
    }
    const std::string_view settings = WithoutByteOrderMark(text);
    if (!IsSettingsText(settings)) {
        throw NotASettingsFile(fileName);
    }
    LoadText(settings);
}

std::unique_ptr<TMemIniFile> TMemIniFile::FromText(const std::string& fileName,
                                                   std::string_view text) {
    std::unique_ptr<TMemIniFile> doc(new TMemIniFile(fileName, LoadTag{}));
    doc->LoadText(text);
    return doc;
}

void TMemIniFile::LoadText(std::string_view text) {
    // A NUL byte ends the text.
    if (const auto nul = text.find('\0'); nul != std::string_view::npos) {
        text = text.substr(0, nul);
    }
    Section* current = nullptr;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::string_view line = NextLine(text, at);
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            current = &AppendSection(Trim(line.substr(1, line.size() - 2)));
            continue;
        }
        if (current == nullptr) {
            continue;
        }
        if (const auto eq = line.find('='); eq != std::string_view::npos) {
            std::string entry(Trim(line.substr(0, eq)));
            entry += '=';
            entry += Trim(line.substr(eq + 1));
            AppendLine(*current, std::move(entry));
        } else {
            AppendLine(*current, std::string(line));
        }
    }
}

TMemIniFile::Section& TMemIniFile::AppendSection(std::string_view name) {
    auto section = std::make_unique<Section>();
    section->name = std::string(name);
    section->keyIndexValid = true; // empty and in step
    sectionIndex_[UpperAnsi(name)] = sections_.size();
    sections_.push_back(std::move(section));
    return *sections_.back();
}

void TMemIniFile::AppendLine(Section& section, std::string line) {
    std::string_view key;
    if (section.keyIndexValid && KeyOf(line, key)) {
        section.keyIndex[UpperAnsi(key)] = section.lines.size();
    }
    section.lines.push_back(std::move(line));
}

const TMemIniFile::Section* TMemIniFile::FindSection(std::string_view name) const {
    const auto it = sectionIndex_.find(UpperAnsi(name));
    return it == sectionIndex_.end() ? nullptr : sections_[it->second].get();
}

TMemIniFile::Section* TMemIniFile::FindSection(std::string_view name) {
    return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

const std::string* TMemIniFile::FindEntryLine(const Section& section, std::string_view key,
                                              std::size_t* index) {
    if (!section.keyIndexValid) {
        section.keyIndex.clear();
        for (std::size_t i = 0; i < section.lines.size(); ++i) {
            std::string_view lineKey;
            if (KeyOf(section.lines[i], lineKey)) {
                section.keyIndex[UpperAnsi(lineKey)] = i; // the last duplicate wins
            }
        }
        section.keyIndexValid = true;
    }
    const auto it = section.keyIndex.find(UpperAnsi(key));
    if (it == section.keyIndex.end()) {
        return nullptr;
    }
    if (index != nullptr) {
        *index = it->second;
    }
    return &section.lines[it->second];
}

std::string TMemIniFile::ReadEntry(std::string_view section, std::string_view key,
                                   std::string_view defaultValue) const {
    const Section* found = FindSection(section);
    if (found == nullptr) {
        return std::string(defaultValue);
    }
    const std::string* line = FindEntryLine(*found, key, nullptr);
    if (line == nullptr) {
        return std::string(defaultValue);
    }
    return line->substr(line->find('=') + 1);
}

namespace {

// A line break inside a name or value would make a line of its own on the next load: another
// entry or section, written by whoever chose the text (a folder's name, say). None is stored.
std::string WithoutLineBreaks(std::string_view text) {
    std::string kept(text);
    for (char& c : kept) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return kept;
}

} // namespace

void TMemIniFile::WriteEntry(std::string_view sectionText, std::string_view keyText,
                             std::string_view valueText) {
    const std::string section = WithoutLineBreaks(sectionText);
    const std::string key = WithoutLineBreaks(keyText);
    const std::string value = WithoutLineBreaks(valueText);
    changes_.push_back({false, section, key, value});
    Section* found = FindSection(section);
    if (found == nullptr) {
        found = &AppendSection(section);
    }
    std::string line(key);
    line += '=';
    line += value;
    std::size_t index = 0;
    if (FindEntryLine(*found, key, &index) != nullptr) {
        found->lines[index] = std::move(line);
    } else {
        AppendLine(*found, std::move(line));
    }
}

void TMemIniFile::ListSections(std::vector<std::string>& names) const {
    names.clear();
    names.reserve(sections_.size());
    for (const auto& section : sections_) {
        names.push_back(section->name);
    }
}

void TMemIniFile::DeleteEntry(std::string_view section, std::string_view key) {
    Section* found = FindSection(section);
    std::size_t index = 0;
    if (found == nullptr || FindEntryLine(*found, key, &index) == nullptr) {
        return;
    }
    found->lines.erase(found->lines.begin() + static_cast<std::ptrdiff_t>(index));
    found->keyIndexValid = false; // later lines moved up
    changes_.push_back({true, std::string(section), std::string(key), {}});
}

void TMemIniFile::Replay(const std::vector<Change>& changes) {
    for (const Change& change : changes) {
        if (change.erase) {
            DeleteEntry(change.section, change.key);
        } else {
            WriteEntry(change.section, change.key, change.value);
        }
    }
}

std::string TMemIniFile::SaveText() const {
    std::size_t size = 0;
    for (const auto& section : sections_) {
        size += section->name.size() + 2 + 2 * kLineEnd.size();
        for (const auto& line : section->lines) {
            size += line.size() + kLineEnd.size();
        }
    }
    std::string text;
    text.reserve(size);
    for (const auto& section : sections_) {
        text += '[';
        text += section->name;
        text += ']';
        text += kLineEnd;
        for (const auto& line : section->lines) {
            text += line;
            text += kLineEnd;
        }
        text += kLineEnd;
    }
    return text;
}

void TMemIniFile::SaveDocument() {
    // Our turn on the file: held since the load, or taken now.
    PathLock turn;
    if (!held_.Held()) {
        turn = PathLock::Acquire(FileName(), kTurnWaitMs);
        if (turn.Busy()) {
            throw CannotCreateFile(FileName()); // another program kept it all that time
        }
    }
    PathLock& lock = held_.Held() ? held_ : turn;
    // Changed on disk since this document read or wrote it? (An empty file made only to be
    // locked is no change.)
    const bool changed = lock.Held() && !(lock.Created() && !loadedStamp_.exists) &&
                         !(FileStamp::Of(FileName()) == loadedStamp_);
    if (!changed) {
        WriteDocument(SaveText(), lock.Held());
    } else {
        // Another program saved meanwhile: our changes go onto what it wrote.
        File file = File::OpenRead(FileName(), Share::DenyNone);
        const std::string text = ReadFileText(file);
        file.Close();
        const std::string_view settings = WithoutByteOrderMark(text);
        if (!IsSettingsText(settings)) {
            throw NotASettingsFile(FileName());
        }
        std::unique_ptr<TMemIniFile> merged = FromText(FileName(), settings);
        merged->Replay(changes_);
        WriteDocument(merged->SaveText(), true);
        sections_ = std::move(merged->sections_);
        sectionIndex_ = std::move(merged->sectionIndex_);
    }
    changes_.clear();
    loadedStamp_ = FileStamp::Of(FileName());
    held_.Release(); // a held turn ends with the save
}

void TMemIniFile::WriteDocument(const std::string& text, bool locked) {
    // Written beside the file and renamed over it: a failed or short write keeps the old file.
    AtomicFile out = AtomicFile::Create(FileName(), FileName(), locked);
    out.Stream().WriteAll(text.data(), text.size());
    out.Commit();
}

} // namespace rix
