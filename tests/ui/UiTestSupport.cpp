#include "UiTestSupport.h"

#include "builder/RomIdentity.h"
#include "ui/AnsiText.h"
#include "ui/Unit2.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <array>

namespace rix::test {

ui::BoxAnswer ScriptedSeam::ShowMessageBox(QWidget*, const ui::MessageBoxRequest& request) {
    boxes.append({request.caption, request.text, request.icon, request.buttons});
    if (request.buttons == ui::BoxButtons::Ok) {
        return ui::BoxAnswer::Ok;
    }
    if (questionAnswers.isEmpty()) {
        problems += QStringLiteral("unscripted question: ") + request.text;
        return ui::BoxAnswer::No;
    }
    return questionAnswers.takeFirst();
}

QStringList ScriptedSeam::GetOpenFileNames(QWidget*, ui::OpenDialogState& dialog) {
    openDialogs.append(dialog);
    if (openFileChoices.isEmpty()) {
        problems += QStringLiteral("unscripted open-file dialog");
        return {};
    }
    const QStringList files = openFileChoices.takeFirst();
    if (!files.isEmpty()) {
        dialog.fileName = files.first();
    }
    return files;
}

QString ScriptedSeam::GetExistingDirectory(QWidget*, const QString&, const QString&) {
    if (directoryChoices.isEmpty()) {
        problems += QStringLiteral("unscripted folder chooser");
        return {};
    }
    return directoryChoices.takeFirst();
}

ScratchDirectory::ScratchDirectory() : previous_(QDir::currentPath()) {
    QDir::setCurrent(dir_.path());
}

ScratchDirectory::~ScratchDirectory() {
    QDir::setCurrent(previous_);
}

QString Q(const std::string& text) {
    return ui::ToQString(text);
}

QStringList Items(QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items += box->itemText(i);
    }
    return items;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        qFatal("cannot write %s", qPrintable(path));
    }
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray RomBytes(int size, int seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + seed * 31 + (i >> 8)) & 0xFF);
    }
    return bytes;
}

std::string RomKeyOf(const QByteArray& bytes) {
    return FormatRomKey(Crc32OfBuffer(bytes.constData(), static_cast<std::uint32_t>(bytes.size())));
}

QByteArray IniText(const QString& text) {
    QByteArray bytes = text.toLatin1();
    bytes.replace("\n", "\r\n");
    return bytes;
}

std::span<const std::uint8_t> FakeEmulatorImage() {
    static const std::array<std::uint8_t, 64> image = [] {
        std::array<std::uint8_t, 64> bytes{};
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<std::uint8_t>(0xA0 ^ i);
        }
        return bytes;
    }();
    return image;
}

std::unique_ptr<ui::Program> StartProgram() {
    return ui::Program::Start({.emulatorImage = &FakeEmulatorImage});
}

bool Pick(QComboBox* box, const QString& text) {
    const int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0 || !box->isEnabled()) {
        return false;
    }
    box->setCurrentIndex(index);
    emit box->activated(index); // what a pick from the list sends
    return true;
}

bool RunDialog(TForm2& form2, const std::function<void()>& open,
               const std::function<void()>& whileOpen) {
    bool shown = false;
    QTimer::singleShot(0, &form2, [&] {
        shown = form2.isVisible();
        if (!shown) {
            return;
        }
        whileOpen();
        if (form2.isVisible()) {
            auto* name = form2.findChild<QLineEdit*>(QStringLiteral("edRomName"));
            if (name->text().isEmpty()) {
                name->setText(QStringLiteral("x"));
            }
            form2.findChild<QPushButton*>(QStringLiteral("Button2"))->click();
        }
    });
    open();
    // A dialog that never opened leaves the timer waiting: let it go now.
    QCoreApplication::processEvents();
    return shown;
}

} // namespace rix::test
