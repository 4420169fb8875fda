#include "ui/Unit1.h"

#include "builder/Resources.h"
#include "builder/RomList.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "settings/Schema.h"
#include "ui/AnsiText.h"
#include "ui/ErrorDisplay.h"
#include "ui/Look.h"
#include "ui/UiTexts.h"
#include "ui/Unit2.h"
#include "ui_Unit1.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLayout>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QTableWidget>
#include <QUrl>

#include <algorithm>
#include <array>
#include <stdexcept>

using namespace rix;
using namespace rix::ui;

namespace {

constexpr int kClientWidth = 543;
constexpr int kClientHeight = 361;
constexpr QPoint kWindowPosition(200, 124);
constexpr std::array<int, kRomListColumnCount> kColumnWidths = {250, 60, 100, 250, 80};

// Each row's caption cell keeps the row as the build needs it, the real path included.
constexpr int kRowDataRole = Qt::UserRole;

BoxIcon BoxIconOf(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Exclamation:
        return BoxIcon::Exclamation;
    case MessageIcon::Error:
        return BoxIcon::Error;
    case MessageIcon::None:
        break;
    }
    return BoxIcon::None;
}

// The build's front end: message boxes through the seam, progress on ProgressBar1.
class WindowBuildHost final : public BuildHost {
public:
    explicit WindowBuildHost(TForm1& window) : window_(window) {}

    void ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) override {
        CurrentSeam().ShowMessageBox(
            &window_, {ToQString(caption), ToQString(text), BoxIconOf(icon), BoxButtons::Ok});
    }

    bool AskYesNo(std::string_view caption, std::string_view text, MessageIcon icon) override {
        return CurrentSeam().ShowMessageBox(&window_, {ToQString(caption), ToQString(text),
                                                       BoxIconOf(icon), BoxButtons::YesNo}) ==
               BoxAnswer::Yes;
    }

    void ProgressSetup(int minimum, int maximum, int step) override {
        QProgressBar* bar = window_.ProgressBar1();
        // The position stays where it was, within the new range.
        const int position = bar->value();
        bar->setRange(minimum, maximum);
        bar->setValue(std::clamp(position, minimum, maximum));
        step_ = step;
    }

    void ProgressStep() override {
        QProgressBar* bar = window_.ProgressBar1();
        bar->setValue(std::min(bar->value() + step_, bar->maximum()));
    }

    void ProgressSetPosition(int position) override { window_.ProgressBar1()->setValue(position); }

private:
    TForm1& window_;
    int step_ = 1;
};

QTableWidgetItem* MakeCell(const QString& text, bool editable) {
    auto item = std::make_unique<QTableWidgetItem>(text);
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (editable) {
        flags |= Qt::ItemIsEditable;
    }
    item->setFlags(flags);
    return item.release(); // the table takes it
}

// A dropped file that the open-file dialog's first filter would offer.
bool IsRomFile(const QString& path) {
    const QFileInfo info(path);
    const QString suffix = info.suffix().toLower();
    return info.isFile() && (suffix == QLatin1String("rom") || suffix == QLatin1String("col"));
}

QStringList DroppedRomFiles(const QMimeData* mime) {
    QStringList files;
    if (mime == nullptr || !mime->hasUrls()) {
        return files;
    }
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile() && IsRomFile(url.toLocalFile())) {
            files += url.toLocalFile();
        }
    }
    return files;
}

} // namespace

Q_DECLARE_METATYPE(rix::RomRow)

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::TForm1>()), imageSource_(&EmulatorImage) {
    ui_->setupUi(this);
    setFont(FormFont());

    // Fixed client area at a fixed place; the menu bar sits above it.
    centralWidget()->setFixedSize(kClientWidth, kClientHeight);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();
    move(kWindowPosition);

    // The banner panel: white, the picture drawn from its corner, the version over it.
    QPalette white = ui_->Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    ui_->Panel1->setPalette(white);
    PlaceChildrenInClientArea(ui_->Panel1);
    QFont bold = FormFont();
    bold.setBold(true);
    ui_->Label1->setFont(bold);
    QPalette black = ui_->Label1->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    ui_->Label1->setPalette(black);
    ui_->Label1->setAttribute(Qt::WA_TranslucentBackground);
    ui_->Label1->adjustSize(); // as wide as its text

    // The ROM list: report view, fixed column widths, never sorted.
    QTableWidget* list = ui_->ListView1;
    QHeaderView* header = list->horizontalHeader();
    header->setSectionsClickable(false);
    header->setSortIndicatorShown(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < kRomListColumnCount; ++column) {
        header->resizeSection(column, kColumnWidths[static_cast<std::size_t>(column)]);
    }
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->viewport()->installEventFilter(this);
    list->viewport()->setAcceptDrops(true);

    // Menus: the separator before "Exit", and the list's pop-up with its bold default item.
    ui_->File1->insertSeparator(ui_->Exit1)->setObjectName(QStringLiteral("N1"));
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(ui_->Configure1);
    PopupMenu1->addAction(ui_->Delete1);
    PopupMenu1->setDefaultAction(ui_->Configure1);

    connect(ui_->Button1, &QPushButton::clicked, this, Guarded(this, &TForm1::Button1Click));
    connect(ui_->Button2, &QPushButton::clicked, this, Guarded(this, &TForm1::Button2Click));
    connect(ui_->Button3, &QPushButton::clicked, this, Guarded(this, &TForm1::Button3Click));
    connect(ui_->AddROM1, &QAction::triggered, this, Guarded(this, &TForm1::AddROM1Click));
    connect(ui_->DeleteROM1, &QAction::triggered, this, Guarded(this, &TForm1::DeleteROM1Click));
    connect(ui_->ConfigureROM1, &QAction::triggered, this,
            Guarded(this, &TForm1::ConfigureROM1Click));
    connect(ui_->Exit1, &QAction::triggered, this, Guarded(this, &TForm1::Exit1Click));
    connect(ui_->Settings1, &QAction::triggered, this, Guarded(this, &TForm1::Settings1Click));
    connect(ui_->AboutRix1, &QAction::triggered, this, Guarded(this, &TForm1::AboutRix1Click));
    connect(ui_->Configure1, &QAction::triggered, this, Guarded(this, &TForm1::Configure1Click));
    connect(ui_->Delete1, &QAction::triggered, this, Guarded(this, &TForm1::Delete1Click));
    connect(ui_->File1, &QMenu::aboutToShow, this, Guarded(this, &TForm1::File1Click));
    connect(list, &QTableWidget::itemSelectionChanged, this,
            Guarded(this, &TForm1::ListView1SelectItem));
    connect(list, &QWidget::customContextMenuRequested, this, &TForm1::ShowPopupMenu);
    connect(list->model(), &QAbstractItemModel::dataChanged, this, &TForm1::OnListDataChanged);

    // Tab order 0: the list has the focus when the window opens.
    list->setFocus();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
    // 1. The current directory is the start-up directory.
    startupDirectory_ = CurrentDirectory();
    // 2. The settings file: start-up directory, "/", InternalName, ".INI".
    const std::string path = schema::SettingsFilePath(
        startupDirectory_, versionInfo_.VersionString(TQzVersionInfo::kInternalName));
    // 3. The settings document: the file's content, or empty when there is no file.
    ini_ = std::make_unique<TMemIniFile>(path);
    // 4. The preset that newly added ROMs get.
    defaultPresetName_ = schema::ReadStartupPresetName(*ini_);
}

TCustomIniFile& TForm1::Settings() {
    if (!ini_) {
        throw std::logic_error("the settings document is not loaded");
    }
    return *ini_;
}

QTableWidget* TForm1::ListView1() const {
    return ui_->ListView1;
}

QProgressBar* TForm1::ProgressBar1() const {
    return ui_->ProgressBar1;
}

// --- Handlers --------------------------------------------------------------------------------

void TForm1::Button1Click() {
    AddRoms();
}

void TForm1::AddROM1Click() {
    AddRoms();
}

void TForm1::Button3Click() {
    DeleteSelectedRoms();
}

void TForm1::DeleteROM1Click() {
    DeleteSelectedRoms();
}

void TForm1::Delete1Click() {
    DeleteSelectedRoms();
}

void TForm1::ConfigureROM1Click() {
    ShowRomConfiguration();
}

void TForm1::Configure1Click() {
    ShowRomConfiguration();
}

void TForm1::ListView1DblClick() {
    if (SelectedRowCount() > 0) {
        ShowRomConfiguration();
    }
}

void TForm1::Button2Click() {
    WindowBuildHost host(*this);
    RunBuild(Settings(), Rows(), host, {}, imageSource_);
}

void TForm1::ListView1SelectItem() {
    // Only the number of selected rows counts.
    const int selected = SelectedRowCount();
    ui_->Configure1->setEnabled(selected == 1);
    ui_->Delete1->setEnabled(selected >= 1);
}

void TForm1::File1Click() {
    // "Add ROM" and "Exit" stay as they are.
    const bool any = SelectedRowCount() > 0;
    ui_->DeleteROM1->setEnabled(any);
    ui_->ConfigureROM1->setEnabled(any);
}

void TForm1::Exit1Click() {
    close();
}

void TForm1::Settings1Click() {
    const std::string current =
        Settings().ReadEntry(schema::kSettings, schema::kRixBinary, CurrentDirectory());
    const QString chosen = CurrentSeam().GetExistingDirectory(
        this, ToQString(text::kOutputFolderTitle), PathToQString(current));
    if (!chosen.isEmpty()) {
        // Kept in the document; the file gets it with the next save.
        Settings().WriteEntry(schema::kSettings, schema::kRixBinary, PathFromQString(chosen));
    }
}

void TForm1::AboutRix1Click() {
    const std::string message =
        FormatText(text::kAboutText, versionInfo_.VersionString(TQzVersionInfo::kFileVersion));
    CurrentSeam().ShowMessageBox(this, {ToQString(text::kAboutCaption), ToQString(message),
                                        BoxIcon::Information, BoxButtons::Ok});
}

void TForm1::ListView1Changing(int row, ItemChange change) {
    // 1. Only a change of text matters.
    if (change != ItemChange::Text) {
        return;
    }
    // 2. A row still being filled by AddRoms has no sub-items yet: nothing is written.
    if (!RowHasSubItems(row)) {
        return;
    }
    // 3. At most 47 characters. The caption is set to the text as it will be stored, so a
    //    character the settings cannot hold shows as the "?" it becomes; a caption changed
    //    here comes back once more.
    std::string caption = RowCaption(row);
    if (caption.size() > static_cast<std::size_t>(text::kDisplayNameLength)) {
        caption.resize(static_cast<std::size_t>(text::kDisplayNameLength));
    }
    SetRowCaption(row, caption);
    // 4. The caption is the ROM's display name.
    Settings().WriteEntry(RowKey(row), schema::kFilename, RowCaption(row));
}

// --- Operations ------------------------------------------------------------------------------

void TForm1::AddRoms() {
    TCustomIniFile& ini = Settings();
    // 1. Start where the last added files were.
    openDialog1_.initialDirectory = PathToQString(InitialDirectoryFromLastDir(ini));
    // 2. Title and filter.
    openDialog1_.title = ToQString(text::kOpenDialogTitle);
    openDialog1_.filter = ToQString(text::kOpenDialogFilter);
    // 3. Several existing files.
    const QStringList files = CurrentSeam().GetOpenFileNames(this, openDialog1_);
    // 4. Remember the first file's folder; nothing chosen, nothing more to do.
    if (files.isEmpty()) {
        return;
    }
    RememberLastDir(ini, PathFromQString(files.first()));
    // 5. Each file in the dialog's order: read and keyed, its name and preset read from its
    //    ROM section or the defaults and written back (AddRomFile), then its row appended.
    //    A file that cannot be read stops here; the rows before it stay.
    for (const QString& file : files) {
        AppendRow(AddRomFile(ini, PathFromQString(file), defaultPresetName_));
    }
}

void TForm1::AddDroppedFiles(const QStringList& paths) {
    TCustomIniFile& ini = Settings();
    for (const QString& path : paths) {
        if (IsRomFile(path)) {
            AppendRow(AddRomFile(ini, PathFromQString(path), defaultPresetName_));
        }
    }
}

void TForm1::DeleteSelectedRoms() {
    // 1. Nothing selected: nothing to do.
    if (SelectedRowCount() == 0) {
        return;
    }
    // 2. From the first row on: a selected row goes and the walk stays at its position.
    QTableWidget* list = ui_->ListView1;
    int row = 0;
    while (row < list->rowCount()) {
        if (list->selectionModel()->isRowSelected(row, QModelIndex())) {
            list->removeRow(row);
        } else {
            ++row;
        }
    }
}

void TForm1::ShowRomConfiguration() {
    // The dialog works on the focused row; without one there is nothing to configure.
    if (SelectedRowCount() == 0 || FocusedRow() < 0 || form2_ == nullptr) {
        return;
    }
    form2_->ShowModal();
}

// --- Rows ------------------------------------------------------------------------------------

void TForm1::AppendRow(const RomRow& rom) {
    QTableWidget* list = ui_->ListView1;
    const int row = list->rowCount();
    list->insertRow(row);
    // The caption first: without sub-items the rename handling leaves the document alone.
    QTableWidgetItem* caption = MakeCell(ToQString(rom.caption), true);
    caption->setData(kRowDataRole, QVariant::fromValue(rom));
    list->setItem(row, kColumnName, caption);
    list->setItem(row, kColumnControl, MakeCell(ToQString(rom.control), false));
    list->setItem(row, kColumnFilename, MakeCell(PathToQString(rom.fileName), false));
    list->setItem(row, kColumnPath, MakeCell(PathToQString(rom.directory), false));
    list->setItem(row, kColumnCrc, MakeCell(ToQString(rom.romKey), false));
}

QTableWidgetItem* TForm1::Cell(int row, int column) const {
    return ui_->ListView1->item(row, column);
}

bool TForm1::RowHasSubItems(int row) const {
    return Cell(row, kColumnCrc) != nullptr;
}

int TForm1::FocusedRow() const {
    const QModelIndex current = ui_->ListView1->currentIndex();
    return current.isValid() ? current.row() : -1;
}

int TForm1::SelectedRowCount() const {
    return static_cast<int>(ui_->ListView1->selectionModel()->selectedRows().size());
}

std::string TForm1::RowCaption(int row) const {
    const QTableWidgetItem* item = Cell(row, kColumnName);
    return item != nullptr ? ToAnsi(item->text()) : std::string();
}

void TForm1::SetRowCaption(int row, std::string_view caption) {
    if (QTableWidgetItem* item = Cell(row, kColumnName)) {
        item->setText(ToQString(caption));
    }
}

std::string TForm1::RowControl(int row) const {
    const QTableWidgetItem* item = Cell(row, kColumnControl);
    return item != nullptr ? ToAnsi(item->text()) : std::string();
}

void TForm1::SetRowControl(int row, std::string_view control) {
    if (QTableWidgetItem* item = Cell(row, kColumnControl)) {
        item->setText(ToQString(control));
    }
}

std::string TForm1::RowKey(int row) const {
    const QTableWidgetItem* item = Cell(row, kColumnCrc);
    return item != nullptr ? ToAnsi(item->text()) : std::string();
}

std::vector<RomRow> TForm1::Rows() const {
    std::vector<RomRow> rows;
    for (int row = 0; row < ui_->ListView1->rowCount(); ++row) {
        RomRow rom = Cell(row, kColumnName)->data(kRowDataRole).value<RomRow>();
        rom.caption = RowCaption(row);
        rom.control = RowControl(row);
        rows.push_back(std::move(rom));
    }
    return rows;
}

// --- Events ----------------------------------------------------------------------------------

bool TForm1::FormClose() {
    if (!ini_) {
        return true;
    }
    // 1. Write the document back. When that fails the window stays open and the document
    //    stays as it is, so the next close tries again.
    if (!RunGuarded(this, [this] { ini_->SaveDocument(); })) {
        return false;
    }
    // 2. Release the document; 3. the window closes and the program ends.
    ini_.reset();
    return true;
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (FormClose()) {
        event->accept();
    } else {
        event->ignore();
    }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched != ui_->ListView1->viewport()) {
        return QMainWindow::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        RunGuarded(this, [this] { ListView1DblClick(); });
        return false; // the list still sees its double click
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (!DroppedRomFiles(drag->mimeData()).isEmpty()) {
            drag->acceptProposedAction();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList files = DroppedRomFiles(drop->mimeData());
        if (files.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        RunGuarded(this, [this, &files] { AddDroppedFiles(files); });
        return true;
    }
    default:
        return QMainWindow::eventFilter(watched, event);
    }
}

void TForm1::ShowPopupMenu(const QPoint& at) {
    PopupMenu1->popup(ui_->ListView1->viewport()->mapToGlobal(at));
}

void TForm1::OnListDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                               const QList<int>& roles) {
    if (topLeft.column() > kColumnName) {
        return; // a sub-item: no change of the row
    }
    const bool text =
        roles.isEmpty() || roles.contains(Qt::DisplayRole) || roles.contains(Qt::EditRole);
    const ItemChange change = text                                 ? ItemChange::Text
                              : roles.contains(Qt::DecorationRole) ? ItemChange::Image
                                                                   : ItemChange::State;
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        RunGuarded(this, [this, row, change] { ListView1Changing(row, change); });
    }
}
