// The main window: the ROM list, its buttons and menus, the progress bar, and the settings
// document that every part of the program reaches through it.
#pragma once

#include "builder/Build.h"
#include "settings/IniFile.h"
#include "settings/VersionInfo.h"
#include "ui/Seam.h"

#include <QMainWindow>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class QMenu;
class QProgressBar;
class QTableWidget;
class QTableWidgetItem;

namespace Ui {
class TForm1;
}

class TForm2;

// Columns of ListView1: the caption, then the four sub-items.
enum RomListColumn : int {
    kColumnName = 0,
    kColumnControl = 1,
    kColumnFilename = 2,
    kColumnPath = 3,
    kColumnCrc = 4,
    kRomListColumnCount = 5,
};

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    // What kind of change a row is about to undergo (ListView1Changing).
    enum class ItemChange { Text, Image, State };
    using ImageSource = std::span<const std::uint8_t> (*)();

    // Creates the window from its layout; QzVersionInfo1 reads the version information here.
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Start-up step 2: loads the settings document. Fails with "Cannot open file %s" when the
    // settings file exists but cannot be read; then no document exists.
    void FormCreate();
    // The dialog that ShowRomConfiguration shows; created after this window.
    void SetConfigurationDialog(TForm2* dialog) { form2_ = dialog; }

    // What the main window offers the other parts. Settings() fails when no document exists.
    rix::TCustomIniFile& Settings();
    bool HasSettings() const { return ini_ != nullptr; }
    const std::string& StartupDirectory() const { return startupDirectory_; }
    const std::string& DefaultPresetName() const { return defaultPresetName_; }
    QTableWidget* ListView1() const;
    QProgressBar* ProgressBar1() const;
    const rix::TQzVersionInfo& QzVersionInfo1() const { return versionInfo_; }

    // The list row that carries the focus mark; -1 when none does.
    int FocusedRow() const;
    int SelectedRowCount() const;
    std::string RowCaption(int row) const;
    // Setting a caption to a different text is a change of the row's text (ListView1Changing).
    void SetRowCaption(int row, std::string_view caption);
    std::string RowControl(int row) const;
    void SetRowControl(int row, std::string_view control);
    std::string RowKey(int row) const;
    // The rows in list order, as the build reads them.
    std::vector<rix::RomRow> Rows() const;

    // Operations shared by several handlers.
    void AddRoms();
    void DeleteSelectedRoms();
    void ShowRomConfiguration();
    // Files dropped onto the list: each ROM file in turn, as AddRoms adds a chosen file.
    void AddDroppedFiles(const QStringList& paths);

    // The emulator image that Build Rix > writes (the program's embedded one by default).
    void SetEmulatorImageSource(ImageSource source) { imageSource_ = source; }

    // The open-file dialog's settings, kept between showings.
    const rix::ui::OpenDialogState& OpenDialog1() const { return openDialog1_; }

public slots:
    void Button1Click();
    void AddROM1Click();
    void Button3Click();
    void DeleteROM1Click();
    void Delete1Click();
    void ConfigureROM1Click();
    void Configure1Click();
    void ListView1DblClick();
    void Button2Click();
    void ListView1SelectItem();
    void File1Click();
    void Exit1Click();
    void Settings1Click();
    void AboutRix1Click();

public:
    // Rename handling: runs when a row's text, image or state has changed.
    void ListView1Changing(int row, ItemChange change);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Close steps; false when the settings could not be written and the window stays open.
    bool FormClose();
    void AppendRow(const rix::RomRow& row);
    QTableWidgetItem* Cell(int row, int column) const;
    bool RowHasSubItems(int row) const;
    void ShowPopupMenu(const QPoint& at);
    void OnListDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                           const QList<int>& roles);

    std::unique_ptr<Ui::TForm1> ui_;
    QMenu* PopupMenu1 = nullptr; // owned by the window
    rix::TQzVersionInfo versionInfo_;
    rix::ui::OpenDialogState openDialog1_;
    std::unique_ptr<rix::TMemIniFile> ini_;
    std::string startupDirectory_;
    std::string defaultPresetName_;
    TForm2* form2_ = nullptr;
    ImageSource imageSource_;
};
