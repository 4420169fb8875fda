// Starts the program's real windows on a scratch copy of the prepared settings file, adds a
// ROM through a scripted open-file dialog, and saves pictures of the main window and of the
// configuration dialog (with a preset, then with "Custom" and every button unassigned) for
// people to look at.
//   rix-screenshot <prepared Rix.INI> <ROM file> <output directory>
#include "ui/Seam.h"
#include "ui/Startup.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

// Answers every modal call at once: the ROM for the open-file dialog, OK or No elsewhere.
class ScriptedDialogs final : public rix::ui::Seam {
public:
    explicit ScriptedDialogs(QString rom) : rom_(std::move(rom)) {}
    rix::ui::BoxAnswer ShowMessageBox(QWidget*, const rix::ui::MessageBoxRequest& r) override {
        std::fprintf(stderr, "message: %s: %s\n", qPrintable(r.caption), qPrintable(r.text));
        return r.buttons == rix::ui::BoxButtons::YesNo ? rix::ui::BoxAnswer::No
                                                       : rix::ui::BoxAnswer::Ok;
    }
    QStringList GetOpenFileNames(QWidget*, rix::ui::OpenDialogState&) override { return {rom_}; }
    QString GetExistingDirectory(QWidget*, const QString&, const QString&) override { return {}; }

private:
    QString rom_;
};

void Settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
    }
}

bool SaveShot(QWidget& widget, const QString& path) {
    Settle();
    if (!widget.grab().save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// The user's pick of entry `index` of a drop-down list.
void Pick(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    emit box->activated(index);
}

// Opens the dialog on the focused row, runs `whileOpen` in it, then closes it with "OK".
bool WithDialog(TForm1& form1, TForm2& form2, const std::function<bool()>& whileOpen) {
    bool ok = false;
    QTimer::singleShot(0, &form2, [&] {
        ok = whileOpen();
        form2.close();
    });
    form1.ShowRomConfiguration();
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    rix::ui::InitialiseApplication(application);
    if (argc != 4) {
        std::fprintf(stderr, "usage: rix-screenshot <Rix.INI> <ROM file> <output directory>\n");
        return 2;
    }
    const QString settings = QFile::decodeName(argv[1]);
    const QString rom = QFileInfo(QFile::decodeName(argv[2])).absoluteFilePath();
    const QString output = QFileInfo(QFile::decodeName(argv[3])).absoluteFilePath();

    QTemporaryDir scratch;
    if (!scratch.isValid() || !QFile::copy(settings, scratch.filePath(QStringLiteral("Rix.INI"))) ||
        !QDir::setCurrent(scratch.path())) {
        std::fprintf(stderr, "cannot prepare a scratch folder\n");
        return 1;
    }
    ScriptedDialogs dialogs(rom);
    rix::ui::SeamOverride seam(dialogs);

    std::unique_ptr<rix::ui::Program> program = rix::ui::Program::Start();
    if (!program) {
        return 1;
    }
    TForm1& form1 = program->Form1();
    TForm2& form2 = program->Form2();
    form1.show();
    form1.AddRoms();
    form1.ListView1()->selectRow(0);

    bool ok = SaveShot(form1, output + QStringLiteral("/rix-main-window.png"));
    ok = WithDialog(form1, form2,
                    [&] {
                        return SaveShot(form2,
                                        output + QStringLiteral("/rix-configuration-preset.png"));
                    }) &&
         ok;
    ok = WithDialog(
             form1, form2,
             [&] {
                 auto* quick = form2.findChild<QComboBox*>(QStringLiteral("cbQuickConfig"));
                 Pick(quick, quick->count() - 1); // "Custom"
                 // Each button box showing its widest choice.
                 for (const char* name :
                      {"cbLeftBack", "cbRightBack", "cbStart", "cbSelect", "cbA", "cbB"}) {
                     Pick(form2.findChild<QComboBox*>(QLatin1String(name)), 0); // "<unassigned>"
                 }
                 return SaveShot(form2, output + QStringLiteral("/rix-configuration-custom.png"));
             }) &&
         ok;
    form1.close();
    return ok ? 0 : 1;
}
