#include "ui/Unit1.h"

#include "builder/RomList.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "settings/Schema.h"
#include "settings/VersionApi.h"
#include "ui/AnsiText.h"
#include "ui/ErrorDisplay.h"
#include "ui/Look.h"
#include "ui/UiTexts.h"
#include "ui/Unit2.h"
#include "ui_Unit1.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QShortcut>
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
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
    if (editable) {
        flags |= Qt::ItemIsEditable;
    }
    item->setFlags(flags);
    return item.release(); // the table takes it
}

// "Version 0.9.7": the same in the banner and in the About box.
std::string VersionLine() {
    return FormatText(text::kVersionText, ShownVersion(OwnVersionInfoValues()));
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

TForm1::TForm1(BuildOptions buildOptions, QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::TForm1>()),
      buildOptions_(std::move(buildOptions)) {
    ui_->setupUi(this);
    setFont(FormFont());

    // Fixed client area at a fixed place; the menu bar sits above it.
    centralWidget()->setFixedSize(kClientWidth, kClientHeight);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();
    move(kWindowPosition);

    // The banner panel: white, the picture drawn from its corner, the version over it, as the
    // About box gives it.
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
    ui_->Label1->setText(ToQString(VersionLine()));
    ui_->Label1->adjustSize(); // as wide as its text

    // The ROM list: report view, fixed column widths, never sorted.
    RomListView* list = ui_->ListView1;
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
    list->installEventFilter(this);
    list->viewport()->installEventFilter(this);

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
    connect(list, &RomListView::RowsDropped, this,
            [this](int row) { RunGuarded(this, [this, row] { MoveSelectedRomsTo(row); }); });

    // F10 opens the first menu, as on the desktop.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this, [this] {
        ui_->MainMenu1->setActiveAction(ui_->File1->menuAction());
        ui_->File1->setActiveAction(ui_->AddROM1);
    });

    // Tab order 0: the list has the focus when the window opens.
    list->setFocus();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
    // The settings file stays the one of the folder the program started in.
    startupDirectory_ = CurrentDirectory();
    const std::string path = schema::SettingsFilePath(
        startupDirectory_, versionInfo_.VersionString(TQzVersionInfo::kInternalName));
    model_ = std::make_unique<RomListModel>(path);
    model_->SetObserver(this);
    form2_ = std::make_unique<TForm2>(*model_);
}

RomListModel& TForm1::Model() {
    if (!model_) {
        throw std::logic_error("the settings document is not loaded");
    }
    return *model_;
}

TCustomIniFile& TForm1::Settings() {
    return Model().Settings();
}

TForm2& TForm1::Form2() {
    if (!form2_) {
        throw std::logic_error("the settings document is not loaded");
    }
    return *form2_;
}

RomListView* TForm1::ListView1() const {
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
    Model().Build(host, buildOptions_);
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
    const QString chosen = CurrentSeam().GetExistingDirectory(
        this, ToQString(text::kOutputFolderTitle), PathToQString(Model().OutputDirectory()));
    if (!chosen.isEmpty()) {
        // Kept in the document; the file gets it with the next save.
        Model().SetOutputDirectory(PathFromQString(chosen));
    }
}

void TForm1::AboutRix1Click() {
    const std::string message = FormatText(text::kAboutText, VersionLine());
    CurrentSeam().ShowMessageBox(this, {ToQString(text::kAboutCaption), ToQString(message),
                                        BoxIcon::Information, BoxButtons::Ok});
}

void TForm1::ListView1Changing(int row, ItemChange change) {
    // Only a change of text matters; the model cuts the caption and stores it, and the cell
    // then shows the caption as stored ("?" for what the settings cannot hold).
    if (change == ItemChange::Text) {
        Model().Rename(static_cast<std::size_t>(row),
                       ToAnsi(ui_->ListView1->item(row, kColumnName)->text()));
    }
}

// --- Operations ------------------------------------------------------------------------------

void TForm1::AddRoms() {
    RomListModel& model = Model();
    // Start where the last added files were.
    openDialog1_.initialDirectory = PathToQString(InitialDirectoryFromLastDir(model.Settings()));
    openDialog1_.title = ToQString(text::kOpenDialogTitle);
    openDialog1_.filter = ToQString(text::kOpenDialogFilter);
    const QStringList files = CurrentSeam().GetOpenFileNames(this, openDialog1_);
    std::vector<std::string> paths;
    for (const QString& file : files) {
        paths.push_back(PathFromQString(file));
    }
    model.AddFiles(paths);
}

void TForm1::AddDroppedFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        if (IsRomFile(path)) {
            Model().AddFile(PathFromQString(path));
        }
    }
}

void TForm1::DeleteSelectedRoms() {
    Model().DeleteRows(SelectedRows());
}

void TForm1::MoveSelectedRoms(int step) {
    MoveSelectedRomsWith(
        [this, step](std::vector<std::size_t> rows) { return Model().StepRows(rows, step); });
}

void TForm1::MoveSelectedRomsTo(int row) {
    MoveSelectedRomsWith([this, row](std::vector<std::size_t> rows) {
        return Model().MoveRows(rows, static_cast<std::size_t>(row));
    });
}

void TForm1::MoveSelectedRomsWith(
    const std::function<std::vector<std::size_t>(std::vector<std::size_t>)>& move) {
    const std::vector<std::size_t> selected = SelectedRows();
    if (selected.empty()) {
        return;
    }
    RomListView* list = ui_->ListView1;
    const QModelIndex focused = list->currentIndex();
    const std::vector<std::size_t> went = move(selected);
    // The rows' cells moved one by one; the selection and the focus mark follow their rows.
    QItemSelection selection;
    for (const std::size_t row : selected) {
        const QModelIndex first = list->model()->index(static_cast<int>(went[row]), 0);
        selection.select(first, first.siblingAtColumn(kRomListColumnCount - 1));
    }
    if (focused.isValid()) {
        const QModelIndex moved = list->model()->index(
            static_cast<int>(went[static_cast<std::size_t>(focused.row())]), focused.column());
        list->selectionModel()->setCurrentIndex(moved, QItemSelectionModel::NoUpdate);
        list->scrollTo(moved);
    }
    list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TForm1::ShowRomConfiguration() {
    // The dialog works on the focused row; without one there is nothing to configure.
    if (SelectedRowCount() == 0 || FocusedRow() < 0 || !form2_) {
        return;
    }
    form2_->ShowModal(static_cast<std::size_t>(FocusedRow()));
}

// --- Rows ------------------------------------------------------------------------------------

void TForm1::RowInserted(std::size_t index) {
    const RomRow& rom = model_->Row(index);
    QTableWidget* list = ui_->ListView1;
    const int row = static_cast<int>(index);
    const QScopedValueRollback showing(showingModel_, true);
    list->insertRow(row);
    list->setItem(row, kColumnName, MakeCell(ToQString(rom.caption), true));
    list->setItem(row, kColumnControl, MakeCell(ToQString(rom.control), false));
    list->setItem(row, kColumnFilename, MakeCell(PathToQString(rom.fileName), false));
    list->setItem(row, kColumnPath, MakeCell(PathToQString(rom.directory), false));
    list->setItem(row, kColumnCrc, MakeCell(ToQString(rom.romKey), false));
}

void TForm1::RowRemoved(std::size_t row) {
    const QScopedValueRollback showing(showingModel_, true);
    RomListView* list = ui_->ListView1;
    list->removeRow(static_cast<int>(row));
    if (list->rowCount() == 0) {
        // An empty list shows its first column, where the names go.
        list->horizontalScrollBar()->setValue(list->horizontalScrollBar()->minimum());
    }
}

void TForm1::RowMoved(std::size_t from, std::size_t to) {
    const QScopedValueRollback showing(showingModel_, true);
    RomListView* list = ui_->ListView1;
    std::array<QTableWidgetItem*, kRomListColumnCount> cells{};
    for (int column = 0; column < kRomListColumnCount; ++column) {
        cells[static_cast<std::size_t>(column)] = list->takeItem(static_cast<int>(from), column);
    }
    list->removeRow(static_cast<int>(from));
    list->insertRow(static_cast<int>(to));
    for (int column = 0; column < kRomListColumnCount; ++column) {
        list->setItem(static_cast<int>(to), column, cells[static_cast<std::size_t>(column)]);
    }
}

void TForm1::RowChanged(std::size_t index) {
    const RomRow& rom = model_->Row(index);
    const int row = static_cast<int>(index);
    const QScopedValueRollback showing(showingModel_, true);
    ui_->ListView1->item(row, kColumnName)->setText(ToQString(rom.caption));
    ui_->ListView1->item(row, kColumnControl)->setText(ToQString(rom.control));
}

int TForm1::FocusedRow() const {
    const QModelIndex current = ui_->ListView1->currentIndex();
    return current.isValid() ? current.row() : -1;
}

int TForm1::SelectedRowCount() const {
    return static_cast<int>(ui_->ListView1->selectionModel()->selectedRows().size());
}

std::vector<std::size_t> TForm1::SelectedRows() const {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : ui_->ListView1->selectionModel()->selectedRows()) {
        rows.push_back(static_cast<std::size_t>(index.row()));
    }
    return rows;
}

// --- Events ----------------------------------------------------------------------------------

bool TForm1::FormClose() {
    if (!model_) {
        return true;
    }
    // When the settings cannot be written the window stays open and the document stays as it
    // is, so the next close tries again.
    if (!RunGuarded(this, [this] { model_->Save(); })) {
        return false;
    }
    form2_.reset();
    model_.reset();
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
    RomListView* list = ui_->ListView1;
    if (watched == list) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            bool handled = false;
            RunGuarded(this, [this, key, &handled] {
                handled = ListView1KeyDown(key->key(), key->modifiers());
            });
            return handled;
        }
        // The desktop's own context-menu key.
        if (event->type() == QEvent::ContextMenu &&
            static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
            ShowPopupMenuAtFocusedRow();
            return true;
        }
        return QMainWindow::eventFilter(watched, event);
    }
    if (watched != list->viewport()) {
        return QMainWindow::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        RunGuarded(this, [this] { ListView1DblClick(); });
        return false; // the list still sees its double click
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (list->IsOwnDrag(drag->mimeData())) {
            return false; // rows moved inside the list: the list's own
        }
        if (!DroppedRomFiles(drag->mimeData()).isEmpty()) {
            drag->acceptProposedAction();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (list->IsOwnDrag(drop->mimeData())) {
            return false;
        }
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

bool TForm1::ListView1KeyDown(int key, Qt::KeyboardModifiers shift) {
    // Keys that the rename field passes on are not the list's.
    if (!ui_->ListView1->hasFocus()) {
        return false;
    }
    shift &= ~Qt::KeypadModifier;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (shift != Qt::NoModifier) {
            return false;
        }
        ListView1DblClick(); // as a double click
        return true;
    case Qt::Key_Delete:
        if (shift != Qt::NoModifier) {
            return false;
        }
        DeleteSelectedRoms(); // as "Delete"
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (shift != Qt::ControlModifier) {
            return false;
        }
        MoveSelectedRoms(key == Qt::Key_Up ? -1 : 1);
        return true;
    case Qt::Key_Menu:
    case Qt::Key_F10:
        if (shift != (key == Qt::Key_Menu ? Qt::NoModifier : Qt::ShiftModifier)) {
            return false;
        }
        ShowPopupMenuAtFocusedRow();
        return true;
    default:
        return false;
    }
}

void TForm1::ShowPopupMenuAtFocusedRow() {
    RomListView* list = ui_->ListView1;
    QPoint at(0, 0);
    if (const int row = FocusedRow(); row >= 0) {
        const QModelIndex name = list->model()->index(row, kColumnName);
        list->scrollTo(name);
        at = list->visualRect(name).bottomLeft();
    }
    PopupMenu1->popup(list->viewport()->mapToGlobal(at));
    for (QAction* action : PopupMenu1->actions()) {
        if (action->isEnabled() && !action->isSeparator()) {
            PopupMenu1->setActiveAction(action);
            break;
        }
    }
}

void TForm1::OnListDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                               const QList<int>& roles) {
    if (topLeft.column() > kColumnName || showingModel_) {
        return; // a sub-item, or the model's own change: no change of the row
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
