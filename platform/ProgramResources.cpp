#include "platform/ProgramResources.h"

#ifdef _WIN32
#include "platform/Text.h"
#include "platform/Win32Text.h"

#include <windows.h>
#endif

namespace rix {

#ifdef _WIN32

bool FindProgramResource(std::string_view name, std::string_view type,
                         std::span<const std::uint8_t>& bytes) {
    const std::wstring wideName = win32::Wide(name);
    const std::wstring wideType = win32::Wide(type);
    HRSRC found = ::FindResourceW(nullptr, wideName.c_str(),
                                  UpperAnsi(type) == "RT_RCDATA" ? RT_RCDATA : wideType.c_str());
    if (found == nullptr) {
        return false;
    }
    HGLOBAL loaded = ::LoadResource(nullptr, found);
    const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (data == nullptr) {
        return false;
    }
    bytes = {static_cast<const std::uint8_t*>(data), ::SizeofResource(nullptr, found)};
    return true;
}

std::vector<std::uint8_t> FileVersionResource(const std::string& fileName) {
    const std::wstring wide = win32::Wide(fileName);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(wide.c_str(), &ignored);
    if (size == 0) {
        return {};
    }
    std::vector<std::uint8_t> block(size);
    if (!::GetFileVersionInfoW(wide.c_str(), 0, size, block.data())) {
        return {};
    }
    return block;
}

#else

bool FindProgramResource(std::string_view, std::string_view, std::span<const std::uint8_t>&) {
    return false;
}

std::vector<std::uint8_t> FileVersionResource(const std::string&) {
    return {};
}

#endif

} // namespace rix
