// The main window: the view of the ROM list (RomListModel) with its buttons and menus, the
// progress bar, and the configuration dialog it opens on the focused row.
#pragma once

#include "builder/RomListModel.h"
#include "settings/IniFile.h"
#include "settings/VersionInfo.h"
#include "ui/RomListView.h"
#include "ui/Seam.h"

#include <QMainWindow>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QKeyEvent;
class QMenu;
class QProgressBar;

namespace Ui {
class TForm1;
}

class TForm2;

class TForm1 : public QMainWindow, private rix::RomListObserver {
    Q_OBJECT

public:
    // What kind of change a row is about to undergo (ListView1Changing).
    enum class ItemChange { Text, Image, State };

    // Creates the window from its layout; QzVersionInfo1 reads the version information here.
    // "Build Rix >" builds with `buildOptions`.
    explicit TForm1(rix::BuildOptions buildOptions = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // Start-up: loads the settings document into the ROM list and creates the configuration
    // dialog over it. Fails with "Cannot open file %s" when the settings file exists but cannot
    // be read; then no document exists.
    void FormCreate();

    // The ROM list this window shows, and its settings document; both fail when no document
    // exists.
    rix::RomListModel& Model();
    rix::TCustomIniFile& Settings();
    bool HasSettings() const { return model_ != nullptr; }
    const std::string& StartupDirectory() const { return startupDirectory_; }
    const std::string& DefaultPresetName() { return Model().DefaultPresetName(); }
    TForm2& Form2();
    RomListView* ListView1() const;
    QProgressBar* ProgressBar1() const;
    const rix::TQzVersionInfo& QzVersionInfo1() const { return versionInfo_; }

    // The list row that carries the focus mark; -1 when none does.
    int FocusedRow() const;
    int SelectedRowCount() const;
    std::vector<std::size_t> SelectedRows() const;

    // Operations shared by several handlers.
    void AddRoms();
    void DeleteSelectedRoms();
    void ShowRomConfiguration();
    // Files dropped onto the list: each ROM file in turn, as AddRoms adds a chosen file.
    void AddDroppedFiles(const QStringList& paths);
    // The selected rows one place up (`step` -1) or down (+1), or to stand before `row`
    // (rowCount(): at the end). They stay selected and the focus mark stays on its row.
    void MoveSelectedRoms(int step);
    void MoveSelectedRomsTo(int row);

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
    // A key pressed in the list, which has the focus; false when the list is to handle it.
    bool ListView1KeyDown(int key, Qt::KeyboardModifiers shift);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The list's cells follow the model's rows.
    void RowInserted(std::size_t row) override;
    void RowRemoved(std::size_t row) override;
    void RowChanged(std::size_t row) override;
    void RowMoved(std::size_t from, std::size_t to) override;

    // Close steps; false when the settings could not be written and the window stays open.
    bool FormClose();
    void ShowPopupMenu(const QPoint& at);
    // The pop-up as the keyboard opens it: at the focused row, its first item that can be
    // chosen highlighted.
    void ShowPopupMenuAtFocusedRow();
    // Moves the selected rows with `move`, which returns where each row went.
    void MoveSelectedRomsWith(
        const std::function<std::vector<std::size_t>(std::vector<std::size_t>)>& move);
    void OnListDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                           const QList<int>& roles);

    std::unique_ptr<Ui::TForm1> ui_;
    QMenu* PopupMenu1 = nullptr; // owned by the window
    rix::TQzVersionInfo versionInfo_;
    rix::ui::OpenDialogState openDialog1_;
    rix::BuildOptions buildOptions_;
    std::string startupDirectory_;
    std::unique_ptr<rix::RomListModel> model_;
    std::unique_ptr<TForm2> form2_; // after the model it works on, so destroyed first
    // Set while the cells are written from the model, whose change that already is.
    bool showingModel_ = false;
};
