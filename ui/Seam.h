// The one seam between the windows and the modal calls they make (message boxes, the
// open-file dialog, the folder chooser). The program uses Qt's dialogs; tests install a
// scripted seam that records each request and answers it at once.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace rix::ui {

enum class BoxIcon { None, Information, Exclamation, Error };
enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No };

// A message box as the system words it: "\r" in the text is a line break.
struct MessageBoxRequest {
    QString caption;
    QString text;
    BoxIcon icon = BoxIcon::None;
    BoxButtons buttons = BoxButtons::Ok;
};

// The open-file dialog. It lives as long as the window that uses it: the filter the user last
// chose and the first file of the last choice are offered again at the next showing.
struct OpenDialogState {
    QString title;
    // Choices as "text|patterns|text|patterns...", patterns separated by ";".
    QString filter;
    // Empty: the platform chooses where to start.
    QString initialDirectory;
    int filterIndex = 0;
    QString fileName;
};

class Seam {
public:
    virtual ~Seam() = default;
    virtual BoxAnswer ShowMessageBox(QWidget* parent, const MessageBoxRequest& request) = 0;
    // Several existing files; the full paths in the order the dialog gives them, none when
    // cancelled. Updates the state's filterIndex and fileName.
    virtual QStringList GetOpenFileNames(QWidget* parent, OpenDialogState& dialog) = 0;
    // An existing folder; empty when cancelled.
    virtual QString GetExistingDirectory(QWidget* parent, const QString& title,
                                         const QString& initialDirectory) = 0;
};

// The seam in use: Qt's dialogs unless a SeamOverride is alive.
Seam& CurrentSeam();

// Makes `seam` the current one for the guard's lifetime.
class SeamOverride {
public:
    explicit SeamOverride(Seam& seam);
    ~SeamOverride();
    SeamOverride(const SeamOverride&) = delete;
    SeamOverride& operator=(const SeamOverride&) = delete;

private:
    Seam* previous_;
};

// Qt file-dialog name filters for a "text|patterns|..." filter: "text (patterns)", shown with
// the patterns hidden (QFileDialog::HideNameFilterDetails).
QStringList NameFiltersOf(const QString& filter);

} // namespace rix::ui
