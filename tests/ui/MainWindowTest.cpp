// The main window driven as a user would: start-up, adding, deleting and renaming rows, the
// menu enabling rules, building, the error display and closing.
#include "UiTestSupport.h"

#include "platform/Paths.h"
#include "settings/Schema.h"
#include "ui/AnsiText.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <algorithm>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace rix;
using namespace rix::test;
using rix::ui::BoxButtons;
using rix::ui::BoxIcon;

namespace {

QString Text(QTableWidget* list, int row, int column) {
    const QTableWidgetItem* item = list->item(row, column);
    return item != nullptr ? item->text() : QString();
}

QStringList Captions(QTableWidget* list) {
    QStringList captions;
    for (int row = 0; row < list->rowCount(); ++row) {
        captions += Text(list, row, kColumnName);
    }
    return captions;
}

// An item's caption as shown: the access letter is underlined, its "&" not shown.
QString Caption(const QAction* action) {
    return QString(action->text()).remove(QLatin1Char('&'));
}

void SelectRows(QTableWidget* list, const QList<int>& rows) {
    list->clearSelection();
    for (const int row : rows) {
        list->selectionModel()->select(list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

// Holds an exclusive lock on a file, as another program that has it open would.
class FileLock {
public:
    explicit FileLock(const QString& path) : fd_(::open(QFile::encodeName(path), O_RDONLY)) {
        if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0) {
            qFatal("cannot lock %s", qPrintable(path));
        }
    }
    ~FileLock() { ::close(fd_); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_;
};

// The main window shown and active over ROMs r0, r1, ... (ROM i has 16 + i bytes), added in
// that order, with the focus in the list.
class ShownList {
public:
    explicit ShownList(int count) {
        for (int i = 0; i < count; ++i) {
            files += dir.FilePath(QStringLiteral("r%1.rom").arg(i));
            WriteFile(files.last(), RomBytes(16 + i, i));
        }
        program = StartProgram();
        if (!program) {
            qFatal("no program");
        }
        seam.openFileChoices = {files};
        Form1().AddRoms();
        Form1().show();
        if (!QTest::qWaitForWindowActive(&Form1())) {
            qFatal("the window is not active");
        }
        List()->setFocus();
    }
    TForm1& Form1() { return program->Form1(); }
    TForm2& Form2() { return program->Form2(); }
    QTableWidget* List() { return Form1().ListView1(); }
    QList<int> Selected() {
        QList<int> rows;
        for (const QModelIndex& index : List()->selectionModel()->selectedRows()) {
            rows += index.row();
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    int ScrolledBy() { return List()->horizontalScrollBar()->value(); }

    ScratchDirectory dir;
    ScriptedSeam seam;
    QStringList files;
    std::unique_ptr<ui::Program> program;
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { ui::InitialiseApplication(*qApp); }

    void startUp_data();
    void startUp();
    void startUpReadsTheCurrentDirectorysFile();
    void unreadableSettingsFileEndsTheProgram_data();
    void unreadableSettingsFileEndsTheProgram();
    void layout();

    void openFileDialogFilters();
    void addRoms();
    void addStopsAtAFileThatCannotBeRead_data();
    void addStopsAtAFileThatCannotBeRead();
    void dropFiles();
    void deleteSelectedRows();
    void renameInPlace();
    void enablingRules_data();
    void enablingRules();
    void doubleClick();
    void configurationDialogOnTheFocusedRow();
    void selectedRowShowsWholeWhateverItsName();

    void keysMoveAlongTheList();
    void keysRenameOpenAndDelete();
    void keysMoveRowsAndTheBuildFollows();
    void keysReachTheMenus();
    void dragRowsWithinTheList();

    void buildEmptyList();
    void buildReplaceQuestion();
    void buildErrorIsShownAndProgramGoesOn();

    void closeWritesTheSettings();
    void closeKeepsWhatRixBuildAddedMeanwhile();
    void closeInReadOnlyFolderKeepsWindowOpen();
    void menuItems();
};

// --- Start-up --------------------------------------------------------------------------------

void MainWindowTest::startUp_data() {
    QTest::addColumn<QString>("settings"); // empty: no settings file
    QTest::addColumn<QString>("preset");
    QTest::newRow("no settings file") << QString() << QStringLiteral("Kempston");
    QTest::newRow("Default0 set") << QStringLiteral("[Control Defaults]\nDefault0=Joystick\n")
                                  << QStringLiteral("Joystick");
    QTest::newRow("Default0 empty")
        << QStringLiteral("[Control Defaults]\nDefault0=\n") << QString();
}

void MainWindowTest::startUp() {
    QFETCH(QString, settings);
    QFETCH(QString, preset);
    ScratchDirectory dir;
    ScriptedSeam seam;
    const QString file = dir.FilePath(QStringLiteral("Rix.INI"));
    if (!settings.isEmpty()) {
        WriteFile(file, IniText(settings));
    }
    auto program = StartProgram();
    QVERIFY(program);
    TForm1& form1 = program->Form1();
    QCOMPARE(Q(form1.DefaultPresetName()), preset);
    QCOMPARE(ui::PathToQString(form1.Settings().FileName()), file);
    QCOMPARE(form1.ListView1()->rowCount(), 0);
    QVERIFY(!program->Form2().isVisible());
    QVERIFY(seam.boxes.isEmpty());
}

void MainWindowTest::startUpReadsTheCurrentDirectorysFile() {
    ScratchDirectory startDir;
    ScriptedSeam seam;
    WriteFile(startDir.FilePath(QStringLiteral("Rix.INI")),
              IniText(QStringLiteral("[Settings]\nRixBinary=out\n")));
    auto program = StartProgram();
    QVERIFY(program);
    // Moving elsewhere later changes nothing: the file stays the one of the start-up folder.
    QTemporaryDir elsewhere;
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    program->Form1().Settings().WriteEntry("Settings", "LastDir", "/roms/");
    QVERIFY(program->Form1().close());
    QCOMPARE(ReadFile(startDir.FilePath(QStringLiteral("Rix.INI"))),
             IniText(QStringLiteral("[Settings]\nRixBinary=out\nLastDir=/roms/\n\n")));
    QVERIFY(!QFile::exists(elsewhere.filePath(QStringLiteral("Rix.INI"))));
}

void MainWindowTest::unreadableSettingsFileEndsTheProgram_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("a folder") << QStringLiteral("folder");
    QTest::newRow("no settings file") << QStringLiteral("binary");
}

void MainWindowTest::unreadableSettingsFileEndsTheProgram() {
    // Shown, and nothing written over what is there.
    QFETCH(QString, kind);
    ScratchDirectory dir;
    ScriptedSeam seam;
    const QString file = dir.FilePath(QStringLiteral("Rix.INI"));
    const QByteArray content("\x55\xAA\x00\x12game", 8);
    QString expected;
    if (kind == QStringLiteral("folder")) {
        QVERIFY(QDir(dir.Path()).mkdir(QStringLiteral("Rix.INI")));
        expected = QStringLiteral("Cannot open file %1.").arg(file);
    } else {
        WriteFile(file, content);
        expected = QStringLiteral("%1 is not a settings file.").arg(file);
    }
    QVERIFY(!StartProgram());
    QCOMPARE(seam.boxes.size(), 1);
    QCOMPARE(seam.boxes[0].caption, QStringLiteral("Rix Colecovision Emulator"));
    QCOMPARE(seam.boxes[0].text, expected);
    QCOMPARE(seam.boxes[0].icon, BoxIcon::Error);
    QCOMPARE(seam.boxes[0].buttons, BoxButtons::Ok);
    if (kind != QStringLiteral("folder")) {
        QCOMPARE(ReadFile(file), content);
    }
}

void MainWindowTest::layout() {
    ScratchDirectory dir;
    ScriptedSeam seam;
    auto program = StartProgram();
    QVERIFY(program);
    TForm1& form1 = program->Form1();
    QWidget* client = form1.centralWidget();
    QCOMPARE(form1.windowTitle(), QStringLiteral("Rix"));
    QCOMPARE(form1.minimumSize(), form1.maximumSize()); // not resizable

    // What a user would see go wrong: parts on top of one another or cut off by the window's
    // edge, and texts that do not fit their button, column or banner.
    QList<QRect> taken;
    for (const char* name :
         {"Panel1", "ListView1", "Button1", "Button3", "Button2", "ProgressBar1"}) {
        auto* widget = Find<QWidget>(form1, name);
        const QRect rect(widget->mapTo(client, QPoint(0, 0)), widget->size());
        QVERIFY2(client->rect().contains(rect), name);
        for (const QRect& other : taken) {
            QVERIFY2(!rect.intersects(other), name);
        }
        taken += rect;
    }
    const std::pair<const char*, const char*> buttons[] = {
        {"Button1", "Add"}, {"Button3", "Delete"}, {"Button2", "Build Rix >"}};
    for (const auto& [name, text] : buttons) {
        auto* button = Find<QPushButton>(form1, name);
        QCOMPARE(button->text(), QLatin1String(text));
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) < button->width() - 8,
                 name);
    }
    auto* panel = Find<QWidget>(form1, "Panel1");
    auto* version = Find<QLabel>(form1, "Label1");
    QCOMPARE(version->text(), QStringLiteral("Version 0.9.7"));
    QVERIFY(version->fontMetrics().horizontalAdvance(version->text()) <= version->width());
    QVERIFY(panel->rect().contains(QRect(version->mapTo(panel, QPoint(0, 0)), version->size())));

    QTableWidget* list = form1.ListView1();
    const QStringList headers = {"ROM Name", "Control", "Filename", "Path", "CRC-32"};
    QCOMPARE(list->columnCount(), 5);
    for (int column = 0; column < 5; ++column) {
        QCOMPARE(list->horizontalHeaderItem(column)->text(), headers[column]);
        QVERIFY2(list->horizontalHeader()->fontMetrics().horizontalAdvance(headers[column]) <
                     list->horizontalHeader()->sectionSize(column) - 4,
                 qPrintable(headers[column]));
    }
    // The key column shows a whole ROM key.
    QVERIFY(list->fontMetrics().horizontalAdvance(QStringLiteral("DEADBEEF")) <
            list->horizontalHeader()->sectionSize(kColumnCrc) - 4);
    QVERIFY(!list->horizontalHeader()->sectionsClickable());
    QVERIFY(!list->isSortingEnabled());
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);

    // Tab order: the list, Add, Build, Delete; the list has the focus at first.
    form1.show();
    QVERIFY(QTest::qWaitForWindowActive(&form1));
    QCOMPARE(QApplication::focusWidget(), list);
    QStringList order;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order += QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, QStringList({"Button1", "Button2", "Button3"}));

    // Menus and their items; the pop-up's items start disabled, "Configure" its default.
    QStringList menus;
    for (QAction* action : Find<QMenuBar>(form1, "MainMenu1")->actions()) {
        menus += Caption(action);
    }
    QCOMPARE(menus, QStringList({"File", "Options", "Help"}));
    QStringList fileItems;
    for (QAction* action : Find<QMenu>(form1, "File1")->actions()) {
        fileItems += action->isSeparator() ? QStringLiteral("-") : Caption(action);
    }
    QCOMPARE(fileItems, QStringList({"Add ROM", "Delete ROM", "Configure ROM", "-", "Exit"}));
    auto* popup = Find<QMenu>(form1, "PopupMenu1");
    QCOMPARE(popup->defaultAction(), Find<QAction>(form1, "Configure1"));
    QVERIFY(!Find<QAction>(form1, "Configure1")->isEnabled());
    QVERIFY(!Find<QAction>(form1, "Delete1")->isEnabled());
    form1.close();
}

// --- The ROM list ----------------------------------------------------------------------------

void MainWindowTest::openFileDialogFilters() {
    // Qt's own dialog with the three filters shows the system's texts, and each filter takes
    // its extensions in any letter case (file names match by case on this platform).
    QTemporaryDir dir;
    for (const char* name : {"a.col", "B.ROM", "c.Rom", "d.COL", "notes.txt"}) {
        WriteFile(dir.filePath(QLatin1String(name)), "x");
    }
    QFileDialog dialog;
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(ui::NameFiltersOf(QStringLiteral(
        "All ROMS (*.ROM, *.COL)|*.ROM;*.COL|Coleco ROM (*.ROM)|*.ROM|Coleco COL (*.COL)|*.COL")));
    dialog.setDirectory(dir.path());
    auto* types = Find<QComboBox>(dialog, "fileTypeCombo");
    QCOMPARE(Items(types),
             QStringList({"All ROMS (*.ROM, *.COL)", "Coleco ROM (*.ROM)", "Coleco COL (*.COL)"}));
    auto* model = dialog.findChild<QFileSystemModel*>();
    const auto listed = [&] {
        QStringList names;
        const QModelIndex root = model->index(dir.path());
        for (int i = 0; i < model->rowCount(root); ++i) {
            names += model->fileName(model->index(i, 0, root));
        }
        names.sort();
        return names;
    };
    const QList<QStringList> expected = {
        {"B.ROM", "a.col", "c.Rom", "d.COL"}, {"B.ROM", "c.Rom"}, {"a.col", "d.COL"}};
    for (int filter = 0; filter < 3; ++filter) {
        dialog.selectNameFilter(dialog.nameFilters().at(filter));
        QTRY_COMPARE(listed(), expected[filter]);
    }
}

void MainWindowTest::addRoms() {
    ScratchDirectory dir;
    ScriptedSeam seam;
    QDir(dir.Path()).mkdir(QStringLiteral("Roms"));
    const QString roms = dir.FilePath(QStringLiteral("Roms"));
    const QByteArray known = RomBytes(1024, 1);
    const QByteArray fresh = RomBytes(2048, 2);
    const QByteArray dotOnly = RomBytes(16, 3);
    WriteFile(roms + "/Known Game.ROM", known);
    WriteFile(roms + "/Fresh.Game.col", fresh);
    WriteFile(roms + "/.col", dotOnly);
    // A ROM added in an earlier run keeps its stored name and preset.
    const QString settings = QStringLiteral("[Settings]\nLastDir=%1/\n[%2]\nFilename=Stored "
                                            "Name\nControl=Custom\n")
                                 .arg(dir.Path(), Q(RomKeyOf(known)));
    WriteFile(dir.FilePath(QStringLiteral("Rix.INI")), IniText(settings));
    auto program = StartProgram();
    QVERIFY(program);
    TForm1& form1 = program->Form1();
    QTableWidget* list = form1.ListView1();

    // Cancelling changes nothing.
    seam.openFileChoices = {{},
                            {roms + "/Fresh.Game.col", roms + "/Known Game.ROM", roms + "/.col",
                             roms + "/Fresh.Game.col"}};
    QTest::mouseClick(Find<QPushButton>(form1, "Button1"), Qt::LeftButton);
    QCOMPARE(list->rowCount(), 0);
    QCOMPARE(Q(form1.Settings().ReadEntry("Settings", "LastDir", "")), dir.Path() + "/");

    Find<QAction>(form1, "AddROM1")->trigger();
    QCOMPARE(seam.openDialogs.size(), 2);
    const ui::OpenDialogState& shown = seam.openDialogs[1];
    QCOMPARE(shown.title, QStringLiteral("Select Colecovision ROMs"));
    QCOMPARE(shown.filter, QStringLiteral("All ROMS (*.ROM, *.COL)|*.ROM;*.COL|Coleco ROM "
                                          "(*.ROM)|*.ROM|Coleco COL (*.COL)|*.COL"));
    QCOMPARE(shown.initialDirectory, dir.Path()); // "LastDir" without its trailing "/"

    // Rows in the dialog's order; stored names and presets win over the defaults.
    const QString freshKey = Q(RomKeyOf(fresh));
    const QString knownKey = Q(RomKeyOf(known));
    const QString dotKey = Q(RomKeyOf(dotOnly));
    const QList<QStringList> expected = {
        {"fresh.game", "Kempston", "fresh.game.col", roms + "/", freshKey},
        {"Stored Name", "Custom", "known game.rom", roms + "/", knownKey},
        {"", "Kempston", ".col", roms + "/", dotKey},
        {"fresh.game", "Kempston", "fresh.game.col", roms + "/", freshKey},
    };
    QCOMPARE(list->rowCount(), expected.size());
    for (int row = 0; row < list->rowCount(); ++row) {
        for (int column = 0; column < kRomListColumnCount; ++column) {
            QCOMPARE(Text(list, row, column), expected[row][column]);
        }
    }
    QVERIFY(list->selectionModel()->selectedRows().isEmpty());
    // The build opens the files by their real names.
    const std::vector<RomRow>& rows = form1.Model().Rows();
    QCOMPARE(ui::PathToQString(rows[1].realPath), roms + "/Known Game.ROM");

    // The document has both keys of each ROM; the file is written only at close.
    const TCustomIniFile& ini = form1.Settings();
    QCOMPARE(Q(ini.ReadEntry("Settings", "LastDir", "")), roms + "/");
    QCOMPARE(Q(ini.ReadEntry(RomKeyOf(fresh), "Filename", "-")), QStringLiteral("fresh.game"));
    QCOMPARE(Q(ini.ReadEntry(RomKeyOf(fresh), "Control", "-")), QStringLiteral("Kempston"));
    QCOMPARE(Q(ini.ReadEntry(RomKeyOf(dotOnly), "Filename", "-")), QString());
    QCOMPARE(ReadFile(dir.FilePath(QStringLiteral("Rix.INI"))), IniText(settings));

    // The next showing starts in the new "LastDir" and offers the last first file again.
    seam.openFileChoices = {{}};
    form1.AddRoms();
    QCOMPARE(seam.openDialogs[2].initialDirectory, roms);
    QCOMPARE(seam.openDialogs[2].fileName, roms + "/Fresh.Game.col");
    QVERIFY2(seam.problems.isEmpty(), qPrintable(seam.problems.join("; ")));
}

void MainWindowTest::addStopsAtAFileThatCannotBeRead_data() {
    QTest::addColumn<bool>("locked"); // otherwise missing
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << false << QStringLiteral("File not found.");
    QTest::newRow("locked by another program") << true << QStringLiteral("I/O error 32.");
}

void MainWindowTest::addStopsAtAFileThatCannotBeRead() {
    QFETCH(bool, locked);
    QFETCH(QString, message);
    ScratchDirectory dir;
    ScriptedSeam seam;
    WriteFile(dir.FilePath("a.rom"), RomBytes(64, 1));
    WriteFile(dir.FilePath("c.rom"), RomBytes(64, 3));
    if (locked) {
        WriteFile(dir.FilePath("b.rom"), RomBytes(64, 2));
    }
    auto program = StartProgram();
    QVERIFY(program);
    TForm1& form1 = program->Form1();
    seam.openFileChoices = {{dir.FilePath("a.rom"), dir.FilePath("b.rom"), dir.FilePath("c.rom")}};
    {
        std::unique_ptr<FileLock> lock;
        if (locked) {
            lock = std::make_unique<FileLock>(dir.FilePath("b.rom"));
        }
        QTest::mouseClick(Find<QPushButton>(form1, "Button1"), Qt::LeftButton);
    }
    // The file before stays added, the one after is never read; "LastDir" is written.
    QCOMPARE(Captions(form1.ListView1()), QStringList({"a"}));
    QVERIFY(!form1.Settings().ReadEntry(RomKeyOf(RomBytes(64, 3)), "Filename", "").size());
    QCOMPARE(Q(form1.Settings().ReadEntry("Settings", "LastDir", "")), dir.Path() + "/");
    QCOMPARE(seam.boxes.size(), 1);
    QCOMPARE(seam.boxes[0].caption, QStringLiteral("Rix Colecovision Emulator"));
    QCOMPARE(seam.boxes[0].text, message);
    QCOMPARE(seam.boxes[0].icon, BoxIcon::Error);
}

void MainWindowTest::dropFiles() {
    ScratchDirectory dir;
    ScriptedSeam seam;
    WriteFile(dir.FilePath("one.COL"), RomBytes(32, 1));
    WriteFile(dir.FilePath("notes.txt"), "not a ROM");
    WriteFile(dir.FilePath("two.rom"), RomBytes(32, 2));
    auto program = StartProgram();
    QVERIFY(program);
    TForm1& form1 = program->Form1();
    QWidget* viewport = form1.ListView1()->viewport();

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(dir.FilePath("two.rom")),
                  QUrl::fromLocalFile(dir.FilePath("notes.txt")),
                  QUrl::fromLocalFile(dir.FilePath("one.COL"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(Captions(form1.ListView1()), QStringList({"two", "one"}));
    QCOMPARE(Q(form1.Settings().ReadEntry(RomKeyOf(RomBytes(32, 1)), "Control", "")),
             QStringLiteral("Kempston"));
    // Only the open-file dialog remembers its folder.
    QCOMPARE(Q(form1.Settings().ReadEntry("Settings", "LastDir", "-")), QStringLiteral("-"));

    QMimeData other;
    other.setUrls({QUrl::fromLocalFile(dir.FilePath("notes.txt"))});
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &other, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &refused);
    QVERIFY(!refused.isAccepted());
}

void MainWindowTest::deleteSelectedRows() {
    ScratchDirectory dir;
    ScriptedSeam seam;
    QStringList files;
    for (int i = 1; i <= 5; ++i) {
        files += dir.FilePath(QStringLiteral("rom%1.rom").arg(i));
        WriteFile(files.last(), RomBytes(16, i));
    }
    auto program = StartProgram();
    QVERIFY(program);
    TForm1& form1 = program->Form1();
    seam.openFileChoices = {files};
    form1.AddRoms();
    QTableWidget* list = form1.ListView1();

    // With nothing selected, "Delete" does nothing.
    Find<QAction>(form1, "DeleteROM1")->trigger();
    QCOMPARE(list->rowCount(), 5);

    SelectRows(list, {0, 1, 3});
    QTest::mouseClick(Find<QPushButton>(form1, "Button3"), Qt::LeftButton);
    QCOMPARE(Captions(list), QStringList({"rom3", "rom5"}));
    // The sections stay.
    QCOMPARE(Q(form1.Settings().ReadEntry(RomKeyOf(RomBytes(16, 1)), "Filename", "")),
             QStringLiteral("rom1"));
    // The selection is gone with its rows, and the pop-up follows.
    QVERIFY(!Find<QAction>(form1, "Delete1")->isEnabled());
}

void MainWindowTest::renameInPlace() {
    ScratchDirectory dir;
    ScriptedSeam seam;
    WriteFile(dir.FilePath("game.rom"), RomBytes(40, 1));
    const std::string key = RomKeyOf(RomBytes(40, 1));
    auto program = StartProgram();
    QVERIFY(program);
    TForm1& form1 = program->Form1();
    seam.openFileChoices = {{dir.FilePath("game.rom")}};
    form1.AddRoms();
    QTableWidget* list = form1.ListView1();
    form1.show();
    QVERIFY(QTest::qWaitForWindowActive(&form1));

    // Edits the first row's caption in place; false when no editor opened.
    const auto rename = [&](const QString& text, Qt::Key finish) {
        list->setCurrentCell(0, kColumnName);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        if (editor == nullptr) {
            return false;
        }
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Delete);
        editor->insert(text); // as typed; keyClicks knows ASCII only
        QTest::keyClick(editor, finish);
        // The list commits and closes its editor through queued calls.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return true;
    };

    const QString sixty = QStringLiteral("A Rather Long Name For A Game That Goes On And On, "
                                         "And On...");
    QCOMPARE(sixty.size(), 60);
    QVERIFY(rename(sixty, Qt::Key_Return));
    QCOMPARE(Text(list, 0, kColumnName), sixty.left(47));
    QCOMPARE(Q(form1.Settings().ReadEntry(key, "Filename", "")), sixty.left(47));

    // Escape abandons the edit.
    QVERIFY(rename(QStringLiteral("Never Mind"), Qt::Key_Escape));
    QCOMPARE(Text(list, 0, kColumnName), sixty.left(47));
    QCOMPARE(Q(form1.Settings().ReadEntry(key, "Filename", "")), sixty.left(47));

    // The settings hold Windows-1252 bytes; what they cannot hold becomes "?", in the list too.
    QVERIFY(rename(QStringLiteral("\u00C7a co\u00FBte 5\u20AC \u65E5\u672C"), Qt::Key_Return));
    QCOMPARE(form1.Settings().ReadEntry(key, "Filename", ""), std::string("\xC7"
                                                                          "a co\xFB"
                                                                          "te 5\x80 ??"));
    QCOMPARE(Text(list, 0, kColumnName), QStringLiteral("\u00C7a co\u00FBte 5\u20AC ??"));

    // Empty is a name too (the build then leaves the ROM without a record).
    QVERIFY(rename(QString(), Qt::Key_Return));
    QCOMPARE(Text(list, 0, kColumnName), QString());
    QCOMPARE(Q(form1.Settings().ReadEntry(key, "Filename", "-")), QString());

    // Only the first column can be edited.
    QTest::ignoreMessage(QtWarningMsg, "edit: editing failed");
    list->edit(list->model()->index(0, kColumnControl));
    QCOMPARE(QApplication::focusWidget(), list);
    form1.close();
}

void MainWindowTest::enablingRules_data() {
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<bool>("popupConfigure");
    QTest::addColumn<bool>("popupDelete");
    QTest::addColumn<bool>("fileItems"); // "Delete ROM" and "Configure ROM"
    QTest::newRow("none") << QList<int>{} << false << false << false;
    QTest::newRow("one") << QList<int>{1} << true << true << true;
    QTest::newRow("two") << QList<int>{0, 2} << false << true << true;
}

void MainWindowTest::enablingRules() {
    QFETCH(QList<int>, selected);
    QFETCH(bool, popupConfigure);
    QFETCH(bool, popupDelete);
    QFETCH(bool, fileItems);
    ScratchDirectory dir;
    ScriptedSeam seam;
    WriteFile(dir.FilePath("a.rom"), RomBytes(8, 1));
    auto program = StartProgram();
    QVERIFY(program);
    TForm1& form1 = program->Form1();
    seam.openFileChoices = {{dir.FilePath("a.rom"), dir.FilePath("a.rom"), dir.FilePath("a.rom")}};
    form1.AddRoms();
    SelectRows(form1.ListView1(), {0, 1, 2}); // start from the opposite state
    SelectRows(form1.ListView1(), selected);
    QCOMPARE(Find<QAction>(form1, "Configure1")->isEnabled(), popupConfigure);
    QCOMPARE(Find<QAction>(form1, "Delete1")->isEnabled(), popupDelete);

    // The File menu's items change only when the menu opens; "Add ROM" and "Exit" never.
    auto* file = Find<QMenu>(form1, "File1");
    Find<QAction>(form1, "DeleteROM1")->setEnabled(!fileItems);
    Find<QAction>(form1, "ConfigureROM1")->setEnabled(!fileItems);
    emit file->aboutToShow();
    QCOMPARE(Find<QAction>(form1, "DeleteROM1")->isEnabled(), fileItems);
    QCOMPARE(Find<QAction>(form1, "ConfigureROM1")->isEnabled(), fileItems);
    QVERIFY(Find<QAction>(form1, "AddROM1")->isEnabled());
    QVERIFY(Find<QAction>(form1, "Exit1")->isEnabled());
}

void MainWindowTest::doubleClick() {
    ScratchDirectory dir;
    ScriptedSeam seam;
    WriteFile(dir.FilePath("a.rom"), RomBytes(8, 1));
    WriteFile(dir.FilePath("b.rom"), RomBytes(8, 2));
    WriteFile(dir.FilePath("c.rom"), RomBytes(8, 3));
    auto program = StartProgram();
    QVERIFY(program);
    TForm1& form1 = program->Form1();
    TForm2& form2 = program->Form2();
    seam.openFileChoices = {{dir.FilePath("a.rom"), dir.FilePath("b.rom"), dir.FilePath("c.rom")}};
    form1.AddRoms();
    QTableWidget* list = form1.ListView1();
    form1.show();
    QVERIFY(QTest::qWaitForWindowActive(&form1));

    // A double click below the rows, with nothing selected, opens nothing.
    list->setCurrentCell(1, 0, QItemSelectionModel::NoUpdate);
    QVERIFY(list->selectionModel()->selectedRows().isEmpty());
    bool opened = false;
    QTimer::singleShot(0, &form2, [&] {
        opened = form2.isVisible();
        form2.close();
    });
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, 120));
    QCoreApplication::processEvents();
    QVERIFY(!opened);

    // With several rows selected the dialog works on the focused row.
    SelectRows(list, {0, 2});
    list->setCurrentCell(2, 0, QItemSelectionModel::NoUpdate);
    QString shownName;
    QTimer::singleShot(0, &form2, [&] {
        shownName = form2.findChild<QLineEdit*>(QStringLiteral("edRomName"))->text();
        form2.close();
    });
    form1.ListView1DblClick();
    QCOMPARE(shownName, QStringLiteral("c"));
    form1.close();
}

void MainWindowTest::configurationDialogOnTheFocusedRow() {
    ScratchDirectory dir;
    ScriptedSeam seam;
    WriteFile(dir.FilePath("a.rom"), RomBytes(8, 1));
    WriteFile(dir.FilePath("b.rom"), RomBytes(8, 2));
    auto program = StartProgram();
    QVERIFY(program);
    TForm1& form1 = program->Form1();
    TForm2& form2 = program->Form2();
    seam.openFileChoices = {{dir.FilePath("a.rom"), dir.FilePath("b.rom")}};
    form1.AddRoms();
    QTableWidget* list = form1.ListView1();
    const auto open = [&] { form1.ShowRomConfiguration(); };

    // A selection without the focus mark opens nothing.
    list->selectRow(0);
    list->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    QCOMPARE(form1.FocusedRow(), -1);
    QVERIFY(!RunDialog(form2, open, [] {}));

    // The dialog's changes show in the focused row as they are made.
    list->selectRow(1);
    list->setCurrentCell(1, 0);
    QVERIFY(RunDialog(form2, open, [&] {
        QCOMPARE(Find<QLineEdit>(form2, "edRomName")->text(), QStringLiteral("b"));
        QVERIFY(Pick(Find<QComboBox>(form2, "cbQuickConfig"), "Custom"));
        QCOMPARE(Text(list, 1, kColumnControl), QStringLiteral("Custom"));
        auto* name = Find<QLineEdit>(form2, "edRomName");
        name->clear();
        QTest::keyClicks(name, QString(50, QLatin1Char('t')));
    }));
    QCOMPARE(Captions(list), QStringList({"a", QString(47, QLatin1Char('t'))}));
    QCOMPARE(Text(list, 0, kColumnControl), QStringLiteral("Kempston"));
    QCOMPARE(Q(form1.Settings().ReadEntry(RomKeyOf(RomBytes(8, 2)), "Filename", "")),
             QString(47, QLatin1Char('t')));
    QVERIFY2(seam.problems.isEmpty(), qPrintable(seam.problems.join("; ")));
}

void MainWindowTest::selectedRowShowsWholeWhateverItsName() {
    // Like some desktops' styles, this one highlights only the text of a selected cell, and
    // so nothing of a cell without any.
    class TextOnlyHighlight final : public QProxyStyle {
    public:
        TextOnlyHighlight() : QProxyStyle(QStringLiteral("Fusion")) {}
        void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                           const QWidget* widget) const override {
            const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option);
            if (item == nullptr || !item->state.testFlag(State_Selected) ||
                (element != PE_PanelItemViewRow && element != PE_PanelItemViewItem)) {
                QProxyStyle::drawPrimitive(element, option, painter, widget);
            } else if (element == PE_PanelItemViewItem) {
                const QRect text = subElementRect(SE_ItemViewItemText, option, widget);
                const int width = item->fontMetrics.horizontalAdvance(item->text.trimmed());
                painter->fillRect(QRect(text.topLeft(), QSize(width, text.height())),
                                  item->palette.brush(QPalette::Highlight));
            }
        }
    };
    ShownList shown(3);
    TextOnlyHighlight style;
    shown.List()->setStyle(&style);
    shown.Form1().Model().Rename(0, "");
    shown.Form1().Model().Rename(1, "   ");
    SelectRows(shown.List(), {0, 1, 2});
    const QImage drawn = shown.List()->viewport()->grab().toImage();
    const QColor highlight = shown.List()->palette().color(QPalette::Active, QPalette::Highlight);
    for (int row = 0; row < 3; ++row) {
        // Right of any text, in the name's cell and in the next.
        for (const int column : {kColumnName, kColumnControl}) {
            const QRect cell = shown.List()->visualRect(shown.List()->model()->index(row, column));
            const QColor drawnThere = drawn.pixelColor(cell.right() - 3, cell.center().y());
            QVERIFY2(qAbs(drawnThere.red() - highlight.red()) < 8 &&
                         qAbs(drawnThere.green() - highlight.green()) < 8 &&
                         qAbs(drawnThere.blue() - highlight.blue()) < 8,
                     qPrintable(QStringLiteral("row %1 column %2: %3")
                                    .arg(row)
                                    .arg(column)
                                    .arg(drawnThere.name())));
        }
    }
    shown.List()->setStyle(nullptr);
}

// --- The keyboard ----------------------------------------------------------------------------

void MainWindowTest::keysMoveAlongTheList() {
    ShownList shown(5);
    QTableWidget* list = shown.List();
    list->setCurrentCell(1, kColumnCrc);
    QVERIFY(shown.ScrolledBy() > 0); // the names are out of sight

    // Home and End go to the first and last row, with Ctrl too, and select it as the arrow
    // keys do; the names come back into sight.
    struct Step {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int focused;
        QList<int> selected;
    };
    const Step steps[] = {
        {Qt::Key_End, Qt::NoModifier, 4, {4}},
        {Qt::Key_Home, Qt::NoModifier, 0, {0}},
        {Qt::Key_End, Qt::ControlModifier, 4, {4}},
        {Qt::Key_Up, Qt::NoModifier, 3, {3}},
        {Qt::Key_Home, Qt::ShiftModifier, 0, {0, 1, 2, 3}},
        {Qt::Key_End, Qt::NoModifier, 4, {4}},
        {Qt::Key_Home, Qt::ControlModifier, 0, {0}},
        {Qt::Key_End, Qt::ShiftModifier, 4, {0, 1, 2, 3, 4}},
    };
    for (const Step& step : steps) {
        QTest::keyClick(list, step.key, step.modifiers);
        const QByteArray what = QKeySequence(step.key | step.modifiers).toString().toUtf8();
        QVERIFY2(shown.Form1().FocusedRow() == step.focused, what);
        QVERIFY2(shown.Selected() == step.selected, what);
        QVERIFY2(shown.ScrolledBy() == 0, what);
    }
}

void MainWindowTest::keysRenameOpenAndDelete() {
    ShownList shown(4);
    TForm1& form1 = shown.Form1();
    QTableWidget* list = shown.List();

    // F2 renames the focused row's name whichever cell was clicked last; Return ends the
    // rename and opens nothing.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(2, kColumnControl)).center());
    QTest::keyClick(list, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor != nullptr);
    QCOMPARE(editor->text(), QStringLiteral("r2"));
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Renamed"));
    bool opened = false;
    QTimer::singleShot(0, &shown.Form2(), [&] {
        opened = shown.Form2().isVisible();
        shown.Form2().close();
    });
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    QVERIFY(!opened);
    QCOMPARE(Text(list, 2, kColumnName), QStringLiteral("Renamed"));
    QCOMPARE(Q(form1.Settings().ReadEntry(RomKeyOf(RomBytes(18, 2)), "Filename", "")),
             QStringLiteral("Renamed"));

    // Return opens the dialog on the focused row as a double click does: only with a row
    // selected.
    list->setFocus();
    const auto pressReturn = [&] { QTest::keyClick(list, Qt::Key_Return); };
    list->clearSelection();
    QVERIFY(!RunDialog(shown.Form2(), pressReturn, [] {}));
    QTest::keyClick(list, Qt::Key_Home);
    QTest::keyClick(list, Qt::Key_Down);
    QString shownName;
    QVERIFY(RunDialog(shown.Form2(), pressReturn,
                      [&] { shownName = Find<QLineEdit>(shown.Form2(), "edRomName")->text(); }));
    QCOMPARE(shownName, QStringLiteral("r1"));
    form1.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form1));
    list->setFocus();

    // Delete removes the selected rows as "Delete" does; their sections stay.
    SelectRows(list, {0, 3});
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(Captions(list), QStringList({"r1", "Renamed"}));
    QCOMPARE(Q(form1.Settings().ReadEntry(RomKeyOf(RomBytes(16, 0)), "Filename", "")),
             QStringLiteral("r0"));
    list->clearSelection();
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(list->rowCount(), 2);

    // With every row gone the list shows its first column again.
    list->setCurrentCell(0, kColumnCrc);
    QVERIFY(shown.ScrolledBy() > 0);
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(list->rowCount(), 0);
    QCOMPARE(shown.ScrolledBy(), 0);
    QVERIFY2(shown.seam.problems.isEmpty(), qPrintable(shown.seam.problems.join("; ")));
}

void MainWindowTest::keysMoveRowsAndTheBuildFollows() {
    ShownList shown(4);
    QTableWidget* list = shown.List();
    SelectRows(list, {1, 2});
    list->setCurrentCell(2, kColumnFilename, QItemSelectionModel::NoUpdate);

    // Ctrl+Up and Ctrl+Down move the selected rows; they stay selected and the focus mark
    // stays with its row. Rows against an end stay.
    struct Step {
        Qt::Key key;
        QStringList captions;
        QList<int> selected;
        int focused;
    };
    const Step steps[] = {
        {Qt::Key_Up, {"r1", "r2", "r0", "r3"}, {0, 1}, 1},
        {Qt::Key_Up, {"r1", "r2", "r0", "r3"}, {0, 1}, 1},
        {Qt::Key_Down, {"r0", "r1", "r2", "r3"}, {1, 2}, 2},
        {Qt::Key_Down, {"r0", "r3", "r1", "r2"}, {2, 3}, 3},
        {Qt::Key_Down, {"r0", "r3", "r1", "r2"}, {2, 3}, 3},
    };
    for (const Step& step : steps) {
        QTest::keyClick(list, step.key, Qt::ControlModifier);
        QCOMPARE(Captions(list), step.captions);
        QCOMPARE(shown.Selected(), step.selected);
        QCOMPARE(shown.Form1().FocusedRow(), step.focused);
        QCOMPARE(list->currentIndex().column(), int(kColumnFilename));
    }
    // Each row's cells moved with it.
    QCOMPARE(Text(list, 1, kColumnFilename), QStringLiteral("r3.rom"));
    QCOMPARE(Text(list, 1, kColumnCrc), Q(RomKeyOf(RomBytes(19, 3))));
    // A move is not saved: the list's order is not the settings'.
    QVERIFY(!QFile::exists(shown.dir.FilePath("Rix.INI")));

    // The cartridge carries the ROMs in the list's new order.
    QTest::mouseClick(Find<QPushButton>(shown.Form1(), "Button2"), Qt::LeftButton);
    const QByteArray image = ReadFile(shown.dir.FilePath("Rix.gba"));
    QByteArray roms;
    for (const int i : {0, 3, 1, 2}) {
        roms += RomBytes(16 + i, i);
    }
    QCOMPARE(image.right(roms.size()), roms);
}

void MainWindowTest::keysReachTheMenus() {
    ShownList shown(3);
    TForm1& form1 = shown.Form1();
    QTableWidget* list = shown.List();
    auto* file = Find<QMenu>(form1, "File1");
    auto* popup = Find<QMenu>(form1, "PopupMenu1");

    // Alt+F opens File at its first item; F10 does too. The items' access letters choose
    // them: "D" is "Delete ROM", enabled as the menu opened with a row selected.
    QTest::keyClick(&form1, Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(file->isVisible());
    QCOMPARE(file->activeAction(), Find<QAction>(form1, "AddROM1"));
    QTest::keyClick(file, Qt::Key_Escape);
    QTRY_VERIFY(!file->isVisible());
    list->setFocus();
    list->selectRow(0);
    QTest::keyClick(&form1, Qt::Key_F10);
    QTRY_VERIFY(file->isVisible());
    QTest::keyClick(file, Qt::Key_D);
    QTRY_VERIFY(!file->isVisible());
    QCOMPARE(Captions(list), QStringList({"r1", "r2"}));

    // The Menu key and Shift+F10 open the pop-up at the focused row, with the first item that
    // can be chosen highlighted (none while no row is selected).
    struct Case {
        QList<int> selected;
        int focused;
        QKeySequence key;
        const char* active;
    };
    const Case cases[] = {
        {{1}, 1, QKeySequence(Qt::Key_Menu), "Configure1"},
        {{0, 1}, 0, QKeySequence(Qt::ShiftModifier | Qt::Key_F10), "Delete1"},
        {{}, 1, QKeySequence(Qt::Key_Menu), nullptr},
    };
    for (const Case& c : cases) {
        list->setFocus();
        SelectRows(list, c.selected);
        list->setCurrentCell(c.focused, kColumnPath, QItemSelectionModel::NoUpdate);
        QTest::keySequence(list, c.key);
        QTRY_VERIFY(popup->isVisible());
        const QRect row = list->visualRect(list->model()->index(c.focused, kColumnName));
        QCOMPARE(popup->pos(), list->viewport()->mapToGlobal(row.bottomLeft()));
        QCOMPARE(popup->activeAction(),
                 c.active != nullptr ? Find<QAction>(form1, c.active) : nullptr);
        QTest::keyClick(popup, Qt::Key_Escape);
        QTRY_VERIFY(!popup->isVisible());
    }
    // The desktop's own context-menu key does the same; Return chooses the highlighted item.
    list->setFocus();
    SelectRows(list, {0, 1});
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(1, 1),
                          list->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(list, &key);
    QTRY_VERIFY(popup->isVisible());
    QCOMPARE(popup->activeAction(), Find<QAction>(form1, "Delete1"));
    QTest::keyClick(popup, Qt::Key_Return);
    QTRY_COMPARE(list->rowCount(), 0);
}

void MainWindowTest::dragRowsWithinTheList() {
    ShownList shown(4);
    auto* list = shown.Form1().ListView1();
    QWidget* viewport = list->viewport();
    SelectRows(list, {0, 1});
    list->setCurrentCell(0, kColumnName, QItemSelectionModel::NoUpdate);
    const auto lowerHalf = [&](int row) {
        const QRect cell = list->visualRect(list->model()->index(row, kColumnName));
        return QPointF(cell.center().x(), cell.bottom() - 2);
    };

    // Rows from another list, or from another run, are not taken.
    QMimeData foreign;
    foreign.setData(QStringLiteral("application/x-rix-rom-rows"), "1 2");
    QDragEnterEvent refused(lowerHalf(3).toPoint(), Qt::MoveAction, &foreign, Qt::LeftButton,
                            Qt::NoModifier);
    QApplication::sendEvent(viewport, &refused);
    QVERIFY(!refused.isAccepted());
    QDropEvent ignored(lowerHalf(3), Qt::MoveAction, &foreign, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &ignored);
    QCOMPARE(Captions(list), QStringList({"r0", "r1", "r2", "r3"}));

    // The selected rows dropped on the lower half of the last row go after it, and stay
    // selected.
    const std::unique_ptr<QMimeData> rows = list->SelectedRowsDrag();
    QDragEnterEvent enter(lowerHalf(3).toPoint(), Qt::MoveAction, rows.get(), Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(lowerHalf(3), Qt::MoveAction, rows.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(Captions(list), QStringList({"r2", "r3", "r0", "r1"}));
    QCOMPARE(shown.Selected(), QList<int>({2, 3}));
    QCOMPARE(shown.Form1().FocusedRow(), 2);
    QVERIFY(!QFile::exists(shown.dir.FilePath("Rix.INI")));
}

// --- Building --------------------------------------------------------------------------------

void MainWindowTest::buildEmptyList() {
    ScratchDirectory dir;
    ScriptedSeam seam;
    WriteFile(dir.FilePath("Rix.INI"),
              IniText(QStringLiteral("[Settings]\nRixBinary=%1/out\n[12345678]\nFilename=Old\n")
                          .arg(dir.Path())));
    auto program = StartProgram();
    QVERIFY(program);
    TForm1& form1 = program->Form1();
    QTest::mouseClick(Find<QPushButton>(form1, "Button2"), Qt::LeftButton);

    QCOMPARE(seam.boxes.size(), 2);
    QCOMPARE(seam.boxes[0].caption, QStringLiteral("Warning!"));
    QCOMPARE(seam.boxes[0].text,
             QStringLiteral("No ROMS selected!\rPreliminary Pogoshell binary will be created..."));
    QCOMPARE(seam.boxes[0].icon, BoxIcon::None);
    QCOMPARE(seam.boxes[1].caption, QStringLiteral("Rix"));
    QCOMPARE(seam.boxes[1].text, QStringLiteral("RIX4POGO binary created. Have fun!"));
    QCOMPARE(seam.boxes[1].buttons, BoxButtons::Ok);
    // Image, header, one record: the missing output folder was created.
    const QByteArray image = ReadFile(dir.FilePath("out/Rix.gba"));
    QCOMPARE(image.size(), 64 + 16 + 80);
    QCOMPARE(form1.ProgressBar1()->maximum(), 2); // both sections
    QCOMPARE(form1.ProgressBar1()->value(), 0);
}

void MainWindowTest::buildReplaceQuestion() {
    ScratchDirectory dir;
    ScriptedSeam seam;
    const QByteArray rom = RomBytes(300, 9);
    WriteFile(dir.FilePath("Game.ROM"), rom);
    WriteFile(dir.FilePath("Rix.gba"), "previous image");
    auto program = StartProgram();
    QVERIFY(program);
    TForm1& form1 = program->Form1();
    seam.openFileChoices = {{dir.FilePath("Game.ROM")}};
    form1.AddRoms();

    // No: nothing is written and nothing more is said.
    seam.questionAnswers = {ui::BoxAnswer::No, ui::BoxAnswer::Yes};
    QTest::mouseClick(Find<QPushButton>(form1, "Button2"), Qt::LeftButton);
    QCOMPARE(seam.boxes.size(), 1);
    QCOMPARE(seam.boxes[0].caption, QStringLiteral("Warning"));
    QCOMPARE(seam.boxes[0].text, QStringLiteral("Rix binary already exists.\rReplace?"));
    QCOMPARE(seam.boxes[0].icon, BoxIcon::Exclamation);
    QCOMPARE(seam.boxes[0].buttons, BoxButtons::YesNo);
    QCOMPARE(ReadFile(dir.FilePath("Rix.gba")), QByteArray("previous image"));

    // Yes: the image is replaced, the bar counts sections and rows and is reset afterwards.
    QTest::mouseClick(Find<QPushButton>(form1, "Button2"), Qt::LeftButton);
    QCOMPARE(seam.boxes.size(), 3);
    QCOMPARE(seam.boxes[2].caption, QStringLiteral("Rix"));
    QCOMPARE(seam.boxes[2].text, QStringLiteral("Rix binary created. Have fun!"));
    const QByteArray image = ReadFile(dir.FilePath("Rix.gba"));
    QCOMPARE(image.size(), 64 + 16 + 80 + 8 + 8 + rom.size());
    QCOMPARE(image.right(rom.size()), rom);
    // "Settings" (LastDir) and the ROM's section; one row counted twice.
    QCOMPARE(form1.ProgressBar1()->maximum(), 2 + 2);
    QCOMPARE(form1.ProgressBar1()->value(), 0);
}

void MainWindowTest::buildErrorIsShownAndProgramGoesOn() {
    ScratchDirectory dir;
    ScriptedSeam seam;
    WriteFile(dir.FilePath("game.rom"), RomBytes(100, 4));
    auto program = StartProgram();
    QVERIFY(program);
    TForm1& form1 = program->Form1();
    seam.openFileChoices = {{dir.FilePath("game.rom")}};
    form1.AddRoms();
    QVERIFY(QFile::rename(dir.FilePath("game.rom"), dir.FilePath("gone.rom")));

    QTest::mouseClick(Find<QPushButton>(form1, "Button2"), Qt::LeftButton);
    QCOMPARE(seam.boxes.size(), 1);
    QCOMPARE(seam.boxes[0].caption, QStringLiteral("Rix Colecovision Emulator"));
    QCOMPARE(seam.boxes[0].text,
             QStringLiteral("Cannot open file %1.").arg(dir.FilePath("game.rom")));
    QCOMPARE(seam.boxes[0].icon, BoxIcon::Error);
    QCOMPARE(seam.boxes[0].buttons, BoxButtons::Ok);
    QVERIFY(!QFile::exists(dir.FilePath("Rix.gba")));
    // The bar stays where the build stopped: after the one record.
    QCOMPARE(form1.ProgressBar1()->value(), 1);

    // The program goes on: with the file back, the next build succeeds.
    QVERIFY(QFile::rename(dir.FilePath("gone.rom"), dir.FilePath("game.rom")));
    QTest::mouseClick(Find<QPushButton>(form1, "Button2"), Qt::LeftButton);
    QCOMPARE(seam.boxes.size(), 2);
    QCOMPARE(seam.boxes[1].text, QStringLiteral("Rix binary created. Have fun!"));
    QVERIFY(QFile::exists(dir.FilePath("Rix.gba")));
}

// --- Closing and the other menu items --------------------------------------------------------

void MainWindowTest::closeWritesTheSettings() {
    ScratchDirectory dir;
    ScriptedSeam seam;
    WriteFile(dir.FilePath("a.rom"), RomBytes(8, 1));
    auto program = StartProgram();
    QVERIFY(program);
    TForm1& form1 = program->Form1();
    seam.openFileChoices = {{dir.FilePath("a.rom")}};
    form1.AddRoms();
    form1.show();
    // "Exit" closes the window the normal way.
    Find<QAction>(form1, "Exit1")->trigger();
    QVERIFY(!form1.isVisible());
    QVERIFY(!form1.HasSettings());
    const QString expected = QStringLiteral("[Settings]\nLastDir=%1/\n\n[%2]\nFilename=a\n"
                                            "Control=Kempston\n\n")
                                 .arg(dir.Path(), Q(RomKeyOf(RomBytes(8, 1))));
    QCOMPARE(ReadFile(dir.FilePath("Rix.INI")), IniText(expected));
}

void MainWindowTest::closeKeepsWhatRixBuildAddedMeanwhile() {
    // The window is open on the folder's settings while rix-build adds a ROM to the same file;
    // the window's save at closing keeps that ROM beside its own.
    ScratchDirectory dir;
    ScriptedSeam seam;
    WriteFile(dir.FilePath("a.rom"), RomBytes(8, 1));
    WriteFile(dir.FilePath("b.rom"), RomBytes(8, 2));
    auto program = StartProgram();
    QVERIFY(program);
    TForm1& form1 = program->Form1();
    seam.openFileChoices = {{dir.FilePath("a.rom")}};
    form1.AddRoms();

    QProcess cli;
    cli.setWorkingDirectory(dir.Path());
    cli.start(QStringLiteral(RIX_BUILD_EXECUTABLE), {QStringLiteral("-y"), QStringLiteral("-o"),
                                                     dir.FilePath("out"), dir.FilePath("b.rom")});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);

    QVERIFY(form1.close());
    const QByteArray saved = ReadFile(dir.FilePath("Rix.INI"));
    QVERIFY2(
        saved.contains(QByteArray("[") + RomKeyOf(RomBytes(8, 1)).c_str() + "]\r\nFilename=a\r\n"),
        saved.constData());
    QVERIFY2(
        saved.contains(QByteArray("[") + RomKeyOf(RomBytes(8, 2)).c_str() + "]\r\nFilename=b\r\n"),
        saved.constData());
}

void MainWindowTest::closeInReadOnlyFolderKeepsWindowOpen() {
    ScratchDirectory dir;
    ScriptedSeam seam;
    auto program = StartProgram();
    QVERIFY(program);
    TForm1& form1 = program->Form1();
    form1.show();
    form1.Settings().WriteEntry("Settings", "RixBinary", "/out");
    const QByteArray path = QFile::encodeName(dir.Path());
    QCOMPARE(::chmod(path.constData(), 0555), 0);
    QVERIFY(!form1.close());
    QCOMPARE(::chmod(path.constData(), 0755), 0);
    QVERIFY(form1.isVisible());
    QCOMPARE(seam.boxes.size(), 1);
    QCOMPARE(seam.boxes[0].caption, QStringLiteral("Rix Colecovision Emulator"));
    QCOMPARE(seam.boxes[0].text, QStringLiteral("Cannot create file %1/Rix.INI.").arg(dir.Path()));
    QCOMPARE(seam.boxes[0].icon, BoxIcon::Error);
    // The document is alive and whole: the next close writes it.
    QVERIFY(form1.close());
    QCOMPARE(ReadFile(dir.FilePath("Rix.INI")), IniText("[Settings]\nRixBinary=/out\n\n"));
}

void MainWindowTest::menuItems() {
    ScratchDirectory dir;
    ScriptedSeam seam;
    auto program = StartProgram();
    QVERIFY(program);
    TForm1& form1 = program->Form1();

    // Options > Settings: the output folder, kept in the document.
    seam.directoryChoices = {QString(), dir.FilePath("out")};
    Find<QAction>(form1, "Settings1")->trigger();
    QCOMPARE(Q(form1.Settings().ReadEntry("Settings", "RixBinary", "-")), QStringLiteral("-"));
    Find<QAction>(form1, "Settings1")->trigger();
    QCOMPARE(Q(form1.Settings().ReadEntry("Settings", "RixBinary", "-")), dir.FilePath("out"));

    // Help > About Rix: the version as the banner shows it (the build number, the version
    // information's fourth part, is not shown in either).
    Find<QAction>(form1, "AboutRix1")->trigger();
    QCOMPARE(seam.boxes.size(), 1);
    QCOMPARE(seam.boxes[0].caption, QStringLiteral("About Rix"));
    QCOMPARE(seam.boxes[0].text.split(QLatin1Char('\r')).value(1), QStringLiteral("Version 0.9.7"));
    QCOMPARE(Find<QLabel>(form1, "Label1")->text(), QStringLiteral("Version 0.9.7"));
    QVERIFY2(seam.problems.isEmpty(), qPrintable(seam.problems.join("; ")));
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
