#include "settings/VersionInfo.h"

#include "platform/Paths.h"
#include "settings/VersionApi.h"

#include <cstdio>
#include <cstring>

namespace rix {

namespace {
constexpr const char* kVersionStringNames[TQzVersionInfo::kVersionStringCount] = {
    "Comments",     "CompanyName",    "FileDescription", "FileVersion",
    "InternalName", "LegalCopyright", "LegalTrademarks", "OriginalFileName",
    "PrivateBuild", "ProductName",    "ProductVersion",  "SpecialBuild"};
} // namespace

TQzVersionInfo::TQzVersionInfo() {
    SetFileName("");
}

void TQzVersionInfo::SetFileName(const std::string& fileName) {
    fileName_ = fileName.empty() ? RunningProgramPath() : fileName;
    ClearInfo();
    LoadInfo();
}

void TQzVersionInfo::ClearInfo() {
    infoFound_ = false;
}

void TQzVersionInfo::LoadInfo() {
    // 1.
    infoFound_ = false;
    translationCount_ = 0;
    // 2.
    const std::uint32_t size = GetFileVersionInfoSizeA(fileName_);
    if (size == 0) {
        return;
    }
    // 3.
    block_.assign(size, 0);
    if (!GetFileVersionInfoA(fileName_, size, block_.data())) {
        return;
    }
    // 4.
    infoFound_ = true;
    // 5.
    void* table = nullptr;
    std::uint32_t length = 0;
    translations_.clear();
    if (VerQueryValueA(block_.data(), "\\VarFileInfo\\Translation", &table, &length)) {
        translationCount_ = static_cast<int>(length / 4);
        translations_.resize(static_cast<std::size_t>(translationCount_));
        std::memcpy(translations_.data(), table, translations_.size() * 4);
    }
    // 6.
    SetTranslationIndex(0);
}

void TQzVersionInfo::SetTranslationIndex(int index) {
    translationIndex_ = (index >= 0 && index < translationCount_) ? index : -1;
}

std::string TQzVersionInfo::TranslationKey() const {
    if (!infoFound_ || translationIndex_ < 0) {
        return {};
    }
    const std::uint32_t entry = translations_[static_cast<std::size_t>(translationIndex_)];
    char key[9];
    std::snprintf(key, sizeof key, "%4.4x%4.4x", unsigned(entry & 0xFFFF), unsigned(entry >> 16));
    return key;
}

std::string TQzVersionInfo::VersionString(int index) const {
    if (!infoFound_ || index < 0 || index >= kVersionStringCount) {
        return {};
    }
    const std::string path =
        "\\StringFileInfo\\" + TranslationKey() + "\\" + kVersionStringNames[index];
    void* value = nullptr;
    std::uint32_t length = 0;
    if (!VerQueryValueA(block_.data(), path, &value, &length)) {
        return {};
    }
    return static_cast<const char*>(value);
}

} // namespace rix
