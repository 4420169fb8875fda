// Reads the version information of a file (by default the running program's own) and looks
// version strings up in its first translation. Nothing is reported: whatever is missing gives
// the empty text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rix {

class TQzVersionInfo {
public:
    // Indexes of VersionString.
    enum : int {
        kComments = 0,
        kCompanyName,
        kFileDescription,
        kFileVersion,
        kInternalName,
        kLegalCopyright,
        kLegalTrademarks,
        kOriginalFileName,
        kPrivateBuild,
        kProductName,
        kProductVersion,
        kSpecialBuild,
        kVersionStringCount
    };

    // Loads the running program's own version information at once.
    TQzVersionInfo();
    virtual ~TQzVersionInfo() = default;
    TQzVersionInfo(const TQzVersionInfo&) = delete;
    TQzVersionInfo& operator=(const TQzVersionInfo&) = delete;

    virtual void ClearInfo();
    virtual void LoadInfo();

    // Stores the name (the running program's full path when empty), then clears and loads.
    void SetFileName(const std::string& fileName);
    const std::string& FileName() const { return fileName_; }

    bool InfoFound() const { return infoFound_; }
    int TranslationCount() const { return translationCount_; }
    int TranslationIndex() const { return translationIndex_; }
    // 0 to TranslationCount() - 1 is stored; anything else stores -1.
    void SetTranslationIndex(int index);
    // "%4.4x%4.4x" of language and code page; empty without information or translation.
    std::string TranslationKey() const;
    // The string named at `index` (0 to 11) in the current translation; empty when absent.
    std::string VersionString(int index) const;

private:
    std::string fileName_;
    mutable std::vector<std::uint8_t> block_; // the lookups write 8-bit copies into its spare room
    std::vector<std::uint32_t> translations_;
    bool infoFound_ = false;
    int translationCount_ = 0;
    int translationIndex_ = -1;
};

} // namespace rix
