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

// The key of a line: the text before its first "="; a line without "=" has none.
bool KeyOf(std::string_view line, std::string_view& key) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) {
        return false;
    }
    key = line.substr(0, eq);
    return true;
}

} // namespace

TMemIniFile::TMemIniFile(const std::string& fileName) : TCustomIniFile(fileName) {
    if (fileName.empty() || !FileExists(fileName)) {
        return;
    }
    File file = File::OpenRead(fileName, Share::DenyWrite);
    std::string text(static_cast<std::size_t>(file.Size()), '\0');
    text.resize(file.ReadSome(text.data(), text.size()));
    // A file that grew since its size was taken is read to its end.
    char chunk[4096];
    while (std::size_t got = file.ReadSome(chunk, sizeof chunk)) {
        text.append(chunk, got);
    }
    file.Close();
    LoadText(text);
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
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = Trim(text.substr(at, end - at));
        at = end;
        if (at < text.size()) {
            at += (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ? 2 : 1;
        }
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

void TMemIniFile::WriteEntry(std::string_view section, std::string_view key,
                             std::string_view value) {
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
    const std::string text = SaveText();
    // Written beside the file and renamed over it: a failed or short write keeps the old file.
    AtomicFile out = AtomicFile::Create(FileName(), FileName());
    out.Stream().WriteAll(text.data(), text.size());
    out.Commit();
}

} // namespace rix
