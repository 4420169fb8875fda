#include "settings/VersionApi.h"

#include "platform/File.h"
#include "platform/Paths.h"
#include "platform/ProgramResources.h"

#include <cstring>
#include <string>

namespace rix {

namespace {

constexpr std::uint32_t kFixedSignature = 0xFEEF04BDu;
constexpr std::uint16_t kTypeText = 1;
constexpr std::uint16_t kTypeBinary = 0;

class BlockWriter {
public:
    std::size_t Begin(std::string_view key, std::uint16_t type) {
        Align();
        const std::size_t start = bytes_.size();
        Put16(0); // wLength, patched by End
        Put16(0); // wValueLength, patched by SetValueLength
        Put16(type);
        PutText(key);
        Align();
        return start;
    }
    void SetValueLength(std::size_t start, std::uint16_t length) { Patch16(start + 2, length); }
    void End(std::size_t start) { Patch16(start, std::uint16_t(bytes_.size() - start)); }
    void Put16(std::uint16_t v) {
        bytes_.push_back(std::uint8_t(v));
        bytes_.push_back(std::uint8_t(v >> 8));
    }
    void Put32(std::uint32_t v) {
        Put16(std::uint16_t(v));
        Put16(std::uint16_t(v >> 16));
    }
    // 8-bit text as 16-bit code units, zero-terminated.
    void PutText(std::string_view text) {
        for (char c : text) {
            Put16(static_cast<unsigned char>(c));
        }
        Put16(0);
    }
    void Align() {
        while (bytes_.size() % 4 != 0) {
            bytes_.push_back(0);
        }
    }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    void Patch16(std::size_t at, std::uint16_t v) {
        bytes_[at] = std::uint8_t(v);
        bytes_[at + 1] = std::uint8_t(v >> 8);
    }
    std::vector<std::uint8_t> bytes_;
};

std::uint16_t Get16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | (p[1] << 8));
}

// One node of the block: where it starts, its length, its key and where its value starts.
struct Node {
    std::size_t start = 0;
    std::size_t length = 0;
    std::size_t valueLength = 0;
    std::uint16_t type = 0;
    std::string key;
    std::size_t value = 0;    // offset of the value
    std::size_t children = 0; // offset of the first child
};

std::size_t AlignUp(std::size_t v) {
    return (v + 3) & ~std::size_t(3);
}

bool ReadNode(const std::uint8_t* block, std::size_t limit, std::size_t start, Node& node) {
    if (start + 6 > limit) {
        return false;
    }
    node.start = start;
    node.length = Get16(block + start);
    node.valueLength = Get16(block + start + 2);
    node.type = Get16(block + start + 4);
    if (node.length < 6 || start + node.length > limit) {
        return false;
    }
    const std::size_t end = start + node.length;
    std::size_t at = start + 6;
    node.key.clear();
    for (;;) {
        if (at + 2 > end) {
            return false;
        }
        const std::uint16_t unit = Get16(block + at);
        at += 2;
        if (unit == 0) {
            break;
        }
        node.key += unit < 256 ? char(unit) : '?';
    }
    node.value = AlignUp(at);
    const std::size_t valueBytes = node.type == kTypeText ? node.valueLength * 2 : node.valueLength;
    node.children = AlignUp(node.value + valueBytes);
    if (node.value + valueBytes > end) {
        return false;
    }
    return true;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'a' && x <= 'z') {
            x = char(x - 32);
        }
        if (y >= 'a' && y <= 'z') {
            y = char(y - 32);
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

// The root's length, when `bytes` starts with a VS_VERSIONINFO block; 0 otherwise.
std::size_t RootLength(const std::uint8_t* bytes, std::size_t size) {
    Node root;
    if (!ReadNode(bytes, size, 0, root) || root.key != "VS_VERSION_INFO") {
        return 0;
    }
    return root.length;
}

std::vector<std::uint8_t> ReadFileQuietly(const std::string& path) {
    try {
        File file = File::OpenRead(path, Share::DenyWrite);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
        file.ReadExact(bytes.data(), bytes.size());
        return bytes;
    } catch (...) {
        return {};
    }
}

// The first `count` parts of a version, "0.9.7.0" for all four.
std::string VersionText(const std::uint16_t (&parts)[4], std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += (i == 0 ? "" : ".") + std::to_string(parts[i]);
    }
    return text;
}

// The block of a file, or nothing: the resource of a program file where the system keeps one
// there (Windows), else the running program's built-in block for its own file, else the file's
// content when that is a block.
std::vector<std::uint8_t> BlockOfFile(const std::string& fileName) {
    std::vector<std::uint8_t> bytes = FileVersionResource(fileName);
    if (bytes.empty() && fileName == RunningProgramPath()) {
        return OwnVersionInfoBlock();
    }
    if (bytes.empty()) {
        bytes = ReadFileQuietly(fileName);
    }
    const std::size_t length = RootLength(bytes.data(), bytes.size());
    bytes.resize(length);
    return bytes;
}

} // namespace

const VersionInfoValues& OwnVersionInfoValues() {
    static const VersionInfoValues values = [] {
        VersionInfoValues v;
        constexpr std::uint16_t kVersion[4] = {RIX_VERSION_MAJOR, RIX_VERSION_MINOR,
                                               RIX_VERSION_PATCH, RIX_VERSION_TWEAK};
        std::memcpy(v.fileVersion, kVersion, sizeof kVersion);
        std::memcpy(v.productVersion, kVersion, sizeof kVersion);
        const std::string version = VersionText(kVersion, 4);
        v.fileFlags = 0x02 | 0x08 | 0x20; // pre-release, private build, special build
        v.fileOs = 0x00000004;            // 32-bit Windows
        v.fileType = 0x00000001;          // application
        v.stringTables.push_back({"080904E4",
                                  {{"Comments", ""},
                                   {"CompanyName", ""},
                                   {"FileDescription", "Rix"},
                                   {"FileVersion", version},
                                   {"InternalName", "Rix"},
                                   {"LegalCopyright", ""},
                                   {"LegalTrademarks", ""},
                                   {"OriginalFilename", ""},
                                   {"PrivateBuild", "Test Release"},
                                   {"ProductName", ""},
                                   {"ProductVersion", version},
                                   {"SpecialBuild", "Test Release"}}});
        v.translations = {0x04E40809u}; // English (United Kingdom), code page 1252
        return v;
    }();
    return values;
}

std::string ShownVersion(const VersionInfoValues& values) {
    return VersionText(values.fileVersion, 3);
}

std::vector<std::uint8_t> MakeVersionInfoBlock(const VersionInfoValues& values) {
    BlockWriter w;
    const std::size_t root = w.Begin("VS_VERSION_INFO", kTypeBinary);
    w.SetValueLength(root, 52);
    w.Put32(kFixedSignature);
    w.Put32(0x00010000u); // structure version
    w.Put32((std::uint32_t(values.fileVersion[0]) << 16) | values.fileVersion[1]);
    w.Put32((std::uint32_t(values.fileVersion[2]) << 16) | values.fileVersion[3]);
    w.Put32((std::uint32_t(values.productVersion[0]) << 16) | values.productVersion[1]);
    w.Put32((std::uint32_t(values.productVersion[2]) << 16) | values.productVersion[3]);
    w.Put32(0x3F); // flags mask
    w.Put32(values.fileFlags);
    w.Put32(values.fileOs);
    w.Put32(values.fileType);
    w.Put32(0); // subtype
    w.Put32(0); // date, high
    w.Put32(0); // date, low
    if (!values.stringTables.empty()) {
        const std::size_t sfi = w.Begin("StringFileInfo", kTypeText);
        for (const auto& table : values.stringTables) {
            const std::size_t st = w.Begin(table.key, kTypeText);
            for (const auto& [name, text] : table.strings) {
                const std::size_t s = w.Begin(name, kTypeText);
                w.SetValueLength(s, std::uint16_t(text.size() + 1));
                w.PutText(text);
                w.End(s);
            }
            w.End(st);
        }
        w.End(sfi);
    }
    if (values.hasTranslation) {
        const std::size_t vfi = w.Begin("VarFileInfo", kTypeText);
        const std::size_t var = w.Begin("Translation", kTypeBinary);
        w.SetValueLength(var, std::uint16_t(values.translations.size() * 4));
        for (std::uint32_t t : values.translations) {
            w.Put32(t);
        }
        w.End(var);
        w.End(vfi);
    }
    w.End(root);
    return w.Take();
}

const std::vector<std::uint8_t>& OwnVersionInfoBlock() {
    static const std::vector<std::uint8_t> block = MakeVersionInfoBlock(OwnVersionInfoValues());
    return block;
}

std::uint32_t GetFileVersionInfoSizeA(const std::string& fileName) {
    const std::size_t length = BlockOfFile(fileName).size();
    // The block, then as much again for the 8-bit copies of its strings.
    return static_cast<std::uint32_t>(length * 2);
}

bool GetFileVersionInfoA(const std::string& fileName, std::uint32_t size, void* buffer) {
    const std::vector<std::uint8_t> block = BlockOfFile(fileName);
    if (block.empty() || buffer == nullptr || size < block.size()) {
        return false;
    }
    std::memset(buffer, 0, size);
    std::memcpy(buffer, block.data(), block.size());
    return true;
}

bool VerQueryValueA(void* block, std::string_view subBlock, void** value, std::uint32_t* length) {
    auto* bytes = static_cast<std::uint8_t*>(block);
    if (bytes == nullptr || value == nullptr || length == nullptr) {
        return false;
    }
    const std::size_t rootLength = RootLength(bytes, 0xFFFF);
    if (rootLength == 0) {
        return false;
    }
    Node node;
    ReadNode(bytes, rootLength, 0, node);
    // Walk the path one name at a time.
    std::size_t at = 0;
    while (at < subBlock.size() && subBlock[at] == '\\') {
        ++at;
    }
    while (at < subBlock.size()) {
        std::size_t end = subBlock.find('\\', at);
        if (end == std::string_view::npos) {
            end = subBlock.size();
        }
        const std::string_view name = subBlock.substr(at, end - at);
        at = end;
        while (at < subBlock.size() && subBlock[at] == '\\') {
            ++at;
        }
        const std::size_t parentEnd = node.start + node.length;
        std::size_t child = node.children;
        bool found = false;
        Node next;
        while (child + 6 <= parentEnd && ReadNode(bytes, parentEnd, child, next)) {
            if (SameName(next.key, name)) {
                found = true;
                break;
            }
            child = AlignUp(child + next.length);
        }
        if (!found) {
            return false;
        }
        node = next;
    }
    if (node.type == kTypeText && node.start != 0) {
        // 8-bit copy of the string in the spare half of the buffer, at a place of its own.
        char* out = reinterpret_cast<char*>(bytes + rootLength + node.value / 2);
        std::uint32_t n = 0;
        for (; n < node.valueLength; ++n) {
            const std::uint16_t unit = Get16(bytes + node.value + 2 * n);
            if (unit == 0) {
                break;
            }
            out[n] = unit < 256 ? char(unit) : '?';
        }
        out[n] = '\0';
        *value = out;
        *length = node.valueLength;
        return true;
    }
    *value = bytes + node.value;
    *length = static_cast<std::uint32_t>(node.valueLength);
    return true;
}

} // namespace rix
