#include "ui/Seam.h"

#include <QFileDialog>
#include <QMessageBox>

namespace rix::ui {

namespace {

class QtSeam final : public Seam {
public:
    BoxAnswer ShowMessageBox(QWidget* parent, const MessageBoxRequest& request) override {
        QMessageBox box(parent);
        box.setWindowTitle(request.caption);
        box.setTextFormat(Qt::PlainText);
        QString text = request.text;
        box.setText(text.replace(QLatin1Char('\r'), QLatin1Char('\n')));
        switch (request.icon) {
        case BoxIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case BoxIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case BoxIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case BoxIcon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        }
        if (request.buttons == BoxButtons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            return box.exec() == QMessageBox::Yes ? BoxAnswer::Yes : BoxAnswer::No;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return BoxAnswer::Ok;
    }

    QStringList GetOpenFileNames(QWidget* parent, OpenDialogState& dialog) override {
        QFileDialog fileDialog(parent, dialog.title);
        fileDialog.setFileMode(QFileDialog::ExistingFiles);
        fileDialog.setAcceptMode(QFileDialog::AcceptOpen);
        // Qt's own dialog: it shows the filters' texts as the system words them and matches
        // their patterns without regard to letter case, as the names are matched there.
        fileDialog.setOptions(QFileDialog::DontUseNativeDialog |
                              QFileDialog::HideNameFilterDetails);
        const QStringList filters = NameFiltersOf(dialog.filter);
        fileDialog.setNameFilters(filters);
        if (dialog.filterIndex >= 0 && dialog.filterIndex < filters.size()) {
            fileDialog.selectNameFilter(filters.at(dialog.filterIndex));
        }
        if (!dialog.initialDirectory.isEmpty()) {
            fileDialog.setDirectory(dialog.initialDirectory);
        }
        if (!dialog.fileName.isEmpty()) {
            fileDialog.selectFile(QFileInfo(dialog.fileName).fileName());
        }
        if (fileDialog.exec() != QDialog::Accepted) {
            return {};
        }
        dialog.filterIndex = static_cast<int>(filters.indexOf(fileDialog.selectedNameFilter()));
        const QStringList files = fileDialog.selectedFiles();
        if (!files.isEmpty()) {
            dialog.fileName = files.first();
        }
        return files;
    }

    QString GetExistingDirectory(QWidget* parent, const QString& title,
                                 const QString& initialDirectory) override {
        return QFileDialog::getExistingDirectory(parent, title, initialDirectory);
    }
};

QtSeam& QtDialogs() {
    static QtSeam seam;
    return seam;
}

Seam* current = nullptr;

} // namespace

Seam& CurrentSeam() {
    return current != nullptr ? *current : QtDialogs();
}

SeamOverride::SeamOverride(Seam& seam) : previous_(current) {
    current = &seam;
}

SeamOverride::~SeamOverride() {
    current = previous_;
}

QStringList NameFiltersOf(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts.at(i + 1).split(QLatin1Char(';'))) {
            patterns += pattern.trimmed();
        }
        // The dialog hides the last parenthesis, so the user sees the system's text alone.
        filters +=
            parts.at(i) + QLatin1String(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

} // namespace rix::ui
