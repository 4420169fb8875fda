#include "ui/AnsiText.h"

#include <QFile>
#include <QStringDecoder>

#include <array>

namespace rix::ui {

namespace {

// Characters of the bytes 0x80 to 0x9F. The five bytes without one keep the C1 control of the
// same number, so they still come back as themselves.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char ByteOf(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<char>(c);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == c) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

} // namespace

QString ToQString(std::string_view ansi) {
    QString text;
    text.reserve(static_cast<qsizetype>(ansi.size()));
    for (const char ch : ansi) {
        const auto byte = static_cast<unsigned char>(ch);
        text += (byte >= 0x80 && byte < 0xA0) ? QChar(kHighControls[byte - 0x80]) : QChar(byte);
    }
    return text;
}

std::string ToAnsi(const QString& text) {
    std::string ansi;
    ansi.reserve(static_cast<std::size_t>(text.size()));
    for (const char32_t c : text.toUcs4()) {
        ansi += ByteOf(c);
    }
    return ansi;
}

QString PathToQString(std::string_view path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string PathFromQString(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString MessageToQString(std::string_view message) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(message.data(), static_cast<qsizetype>(message.size())));
    return utf8.hasError() ? ToQString(message) : text;
}

} // namespace rix::ui
