// Helpers for driving the real windows headless: a scripted seam for every modal call, scratch
// folders as the current directory, files, and the dialog run inside its modal loop.
#pragma once

#include "ui/Seam.h"
#include "ui/Startup.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

class QComboBox;
class TForm2;

namespace rix::test {

// Records every modal call and answers it from its script. A call the script did not expect
// is noted in `problems` and answered with OK, No or nothing.
class ScriptedSeam final : public ui::Seam {
public:
    struct Box {
        QString caption;
        QString text;
        ui::BoxIcon icon;
        ui::BoxButtons buttons;
    };

    ui::BoxAnswer ShowMessageBox(QWidget* parent, const ui::MessageBoxRequest& request) override;
    QStringList GetOpenFileNames(QWidget* parent, ui::OpenDialogState& dialog) override;
    QString GetExistingDirectory(QWidget* parent, const QString& title,
                                 const QString& initialDirectory) override;

    // Script.
    QList<ui::BoxAnswer> questionAnswers; // for Yes/No boxes, in order
    QList<QStringList> openFileChoices;   // for the open-file dialog, in order
    QList<QString> directoryChoices;      // for the folder chooser, in order

    // Record.
    QList<Box> boxes;
    QList<ui::OpenDialogState> openDialogs; // the state each showing started with
    QStringList problems;

private:
    ui::SeamOverride override_{*this};
};

// A scratch folder that is the current directory while it lives.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    QString Path() const { return dir_.path(); }
    QString FilePath(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    QString previous_;
};

// The child widget of that object name; a missing one ends the test run.
template <class T> T* Find(QObject& parent, const char* name) {
    T* child = parent.findChild<T*>(QLatin1String(name));
    if (child == nullptr) {
        qFatal("no %s", name);
    }
    return child;
}

// The system's 8-bit text as the windows show it.
QString Q(const std::string& text);

// The entries of a drop-down list, in order.
QStringList Items(QComboBox* box);

void WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);
// A ROM of `size` bytes whose content depends on `seed`.
QByteArray RomBytes(int size, int seed);
std::string RomKeyOf(const QByteArray& bytes);
// Settings text written as the settings file holds it: "\n" becomes CR LF.
QByteArray IniText(const QString& text);

// The emulator image the tests build with: 64 bytes of a known pattern.
std::span<const std::uint8_t> FakeEmulatorImage();

// Starts the windows as the program does (in the current directory), building with the fake
// emulator image; null when start-up fails.
std::unique_ptr<ui::Program> StartProgram();

// The user's pick of the entry `text` (exact) in a drop-down list.
bool Pick(QComboBox* box, const QString& text);

// Opens the configuration dialog through `open` and runs `whileOpen` inside its modal loop;
// the dialog is then closed through "OK" (a blank name is filled in first, so the loop always
// ends). Returns whether the dialog was shown.
bool RunDialog(TForm2& form2, const std::function<void()>& open,
               const std::function<void()>& whileOpen);

} // namespace rix::test
