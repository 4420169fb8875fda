#include "BuildFixture.h"

#include <gtest/gtest.h>

namespace rix::test {

namespace {
std::string IconName(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::None:
        return "none";
    case MessageIcon::Exclamation:
        return "exclamation";
    case MessageIcon::Error:
        return "error";
    }
    return "?";
}
} // namespace

void RecordingHost::ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) {
    events.push_back("message|" + std::string(caption) + "|" + std::string(text) + "|" +
                     IconName(icon));
}

bool RecordingHost::AskYesNo(std::string_view caption, std::string_view text, MessageIcon icon) {
    events.push_back("ask|" + std::string(caption) + "|" + std::string(text) + "|" +
                     IconName(icon));
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question";
        return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

void RecordingHost::ProgressSetup(int minimum, int maximum, int step) {
    events.push_back("progress " + std::to_string(minimum) + ".." + std::to_string(maximum) +
                     " by " + std::to_string(step));
}

void RecordingHost::ProgressStep() {
    ++steps;
    if (onStep) {
        onStep(steps);
    }
}

void RecordingHost::ProgressSetPosition(int position) {
    events.push_back("position " + std::to_string(position) + " after " + std::to_string(steps) +
                     " steps");
}

std::span<const std::uint8_t> FakeImage() {
    static const std::vector<std::uint8_t> image = [] {
        std::vector<std::uint8_t> bytes(64);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = std::uint8_t(0xA0 + i);
        }
        return bytes;
    }();
    return image;
}

RomRow MakeRom(const TempDir& dir, const std::string& name, std::size_t size, int seed) {
    std::vector<unsigned char> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>((i * 13 + std::size_t(seed) * 101) >> 3);
    }
    const std::string path = dir / name;
    WriteFileBytes(path, bytes);
    RomRow row;
    row.fileName = name;
    row.directory = dir.Path().string() + "/";
    row.realPath = path;
    return row;
}

Bytes& Bytes::U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        bytes_.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
    return *this;
}
Bytes& Bytes::U16(std::uint16_t v) {
    bytes_.push_back(static_cast<unsigned char>(v));
    bytes_.push_back(static_cast<unsigned char>(v >> 8));
    return *this;
}
Bytes& Bytes::U8(std::uint8_t v) {
    bytes_.push_back(v);
    return *this;
}
Bytes& Bytes::Zeros(std::size_t n) {
    bytes_.insert(bytes_.end(), n, 0);
    return *this;
}
Bytes& Bytes::Text(const std::string& text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
}
Bytes& Bytes::Append(const std::vector<unsigned char>& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}
Bytes& Bytes::Record(std::uint32_t crc, const std::string& name, std::int32_t cycles,
                     std::uint8_t collision, std::initializer_list<std::uint16_t> controls) {
    U32(crc);
    std::string field = name.substr(0, 47);
    field.resize(47, ' ');
    Text(field).Zeros(1).U32(static_cast<std::uint32_t>(cycles)).Zeros(1).U8(collision).Zeros(2);
    for (std::uint16_t c : controls) {
        U16(c);
    }
    return Zeros(8);
}

std::vector<unsigned char> AppendedPart(const std::string& path) {
    const std::vector<unsigned char> file = ReadFileBytes(path);
    const auto image = FakeImage();
    EXPECT_GE(file.size(), image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), file.begin()));
    return std::vector<unsigned char>(file.begin() + std::ptrdiff_t(image.size()), file.end());
}

std::unique_ptr<TMemIniFile> Settings(const TempDir& dir, const std::string& text) {
    WriteFileText(dir / "Rix.INI", text);
    return std::make_unique<TMemIniFile>(dir / "Rix.INI");
}

} // namespace rix::test
