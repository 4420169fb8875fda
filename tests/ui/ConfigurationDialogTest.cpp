// The ROM configuration dialog on its own, over a ROM list: filling, each pick with the row,
// document and file it leaves, the name rules, closing, and a build that carries what the
// dialog set.
#include "UiTestSupport.h"

#include "builder/RomListModel.h"
#include "settings/IniFile.h"
#include "ui/AnsiText.h"
#include "ui/Unit2.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QTest>

using namespace rix;
using namespace rix::test;
using rix::ui::BoxButtons;
using rix::ui::BoxIcon;

namespace {

const QString kPrepared = QStringLiteral("[Control Defaults]\n"
                                         "Default0=Kempston\n"
                                         "Default1=Fire Swap\n"
                                         "[Control_Kempston]\n"
                                         "Button A=Fire 1\nButton B=Fire 2\nSelect=*\nStart=#\n"
                                         "Back Left=1\nBack Right=2\n"
                                         "[Control_Fire Swap]\n"
                                         "Button A=Fire 2\nButton B=Fire 1\nSelect=3\nStart=4\n"
                                         "Back Left=5\nBack Right=6\n"
                                         "[Cycle Counts]\nCycle0=228\nCycle1=256\n"
                                         "[Collision Detection]\n"
                                         "Collision0=Normal\nCollision1=Precise\nCollision2=Off\n");

// The six button boxes in the order Back Left, Back Right, Start, Select, A, B.
const char* const kButtonBoxes[] = {"cbLeftBack", "cbRightBack", "cbStart",
                                    "cbSelect",   "cbA",         "cbB"};

// The lines of one section of a settings text (CR LF lines).
QStringList SectionLines(const QByteArray& text, const QString& section) {
    QStringList lines;
    bool inside = false;
    for (const QByteArray& line : text.split('\n')) {
        const QString trimmed = QString::fromLatin1(line).trimmed();
        if (trimmed.startsWith(QLatin1Char('['))) {
            inside = trimmed == QLatin1Char('[') + section + QLatin1Char(']');
        } else if (inside && !trimmed.isEmpty()) {
            lines += trimmed;
        }
    }
    return lines;
}

// A ROM list loaded from the settings file `settings`, the ROMs `roms` (name -> bytes) added in
// order, and the dialog over it.
struct Run {
    ScratchDirectory dir;
    ScriptedSeam seam;
    std::unique_ptr<RomListModel> model;
    std::unique_ptr<TForm2> form2; // after the list it works on

    Run(const QString& settings, const QList<std::pair<QString, QByteArray>>& roms) {
        WriteFile(dir.FilePath(QStringLiteral("Rix.INI")), IniText(settings));
        model = std::make_unique<RomListModel>(ui::PathFromQString(dir.FilePath("Rix.INI")));
        form2 = std::make_unique<TForm2>(*model);
        std::vector<std::string> files;
        for (const auto& [name, bytes] : roms) {
            WriteFile(dir.FilePath(name), bytes);
            files.push_back(ui::PathFromQString(dir.FilePath(name)));
        }
        model->AddFiles(files);
    }
    TForm2& Form2() { return *form2; }
    // Opens the dialog on `row`; see RunDialog.
    bool Dialog(std::size_t row, const std::function<void()>& whileOpen) {
        return RunDialog(
            *form2, [&] { form2->ShowModal(row); }, whileOpen);
    }
    QString Caption(std::size_t row) const { return Q(model->Row(row).caption); }
    QString Control(std::size_t row) const { return Q(model->Row(row).control); }
    QByteArray Document() {
        return QByteArray::fromStdString(dynamic_cast<TMemIniFile&>(model->Settings()).SaveText());
    }
    QByteArray FileOnDisk() { return ReadFile(dir.FilePath(QStringLiteral("Rix.INI"))); }
};

// Keeps the build's messages and answers its question with No.
class BuildMessages final : public BuildHost {
public:
    void ShowMessage(std::string_view, std::string_view text, MessageIcon) override {
        messages += Q(std::string(text));
    }
    bool AskYesNo(std::string_view, std::string_view text, MessageIcon) override {
        messages += Q(std::string(text));
        return false;
    }
    void ProgressSetup(int, int, int) override {}
    void ProgressStep() override {}
    void ProgressSetPosition(int) override {}

    QStringList messages;
};

QString RomSection(const QString& lines, const QByteArray& rom) {
    return QStringLiteral("[%1]\n").arg(Q(RomKeyOf(rom))) + lines;
}

} // namespace

class ConfigurationDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { ui::InitialiseApplication(*qApp); }

    void window();
    void filling_data();
    void filling();
    void presetAndCustomPicks();
    void cycleCountAndCollisionPicks();
    void blankNameIsRefused();
    void nameField();
    void unchangedOpenAndCloseWritesNothing();
    void keys();
    void buildCarriesTheConfiguration();
};

void ConfigurationDialogTest::window() {
    Run run(kPrepared, {{"a.rom", RomBytes(32, 1)}});
    TForm2& form2 = run.Form2();
    QCOMPARE(form2.windowTitle(), QStringLiteral("Rix Configuration"));
    QCOMPARE(form2.minimumSize(), QSize(657, 412));
    QCOMPARE(form2.maximumSize(), QSize(657, 412));
    QVERIFY(form2.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(form2.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    auto* ok = Find<QPushButton>(form2, "Button2");
    QCOMPARE(ok->geometry(), QRect(564, 376, 89, 33));
    QVERIFY(!ok->isDefault() && !ok->autoDefault());

    // The picture's pixel (0, 0) falls on the client point (10, 49) ...
    auto* image = Find<QLabel>(form2, "Image2");
    const QImage picture = image->pixmap().toImage();
    QCOMPARE(picture.size(), QSize(639, 320));
    const QPoint offset((image->width() - picture.width()) / 2,
                        (image->height() - picture.height()) / 2);
    const QPoint origin = image->mapTo(&form2, offset);
    QCOMPARE(origin, QPoint(10, 49));
    // ... so each button box covers its black call-out label whole.
    struct Callout {
        const char* box;
        QRect label; // in picture pixels
    };
    const Callout callouts[] = {
        {"cbLeftBack", {188, 0, 79, 21}}, {"cbRightBack", {372, 0, 79, 21}},
        {"cbStart", {0, 236, 79, 21}},    {"cbSelect", {0, 264, 79, 21}},
        {"cbA", {560, 160, 79, 21}},      {"cbB", {560, 188, 79, 21}},
    };
    const QImage drawn = form2.grab().toImage();
    for (const Callout& c : callouts) {
        auto* box = Find<QComboBox>(form2, c.box);
        const QRect r = box->geometry();
        for (const QPoint corner : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}) {
            QVERIFY2(drawn.pixelColor(corner) != QColor(Qt::black), c.box); // nothing shows through
        }
        QVERIFY2(box->geometry().contains(c.label.translated(origin)), c.box);
        QVERIFY(box->parentWidget() == &form2); // drawn over the picture, not inside it
        for (const QPoint corner : {c.label.topLeft(), c.label.bottomRight()}) {
            QCOMPARE(picture.pixelColor(corner), QColor(Qt::black));
        }
        QCOMPARE(Items(box), QStringList({"<unassigned>", "Fire 1", "Fire 2", "*", "#", "0", "1",
                                          "2", "3", "4", "5", "6", "7", "8", "9"}));
        // Every choice shows whole in the box's text field, and the box stays over the
        // picture, clear of the others.
        QStyleOptionComboBox option;
        option.initFrom(box);
        const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                         QStyle::SC_ComboBoxEditField, box);
        for (const QString& item : Items(box)) {
            QVERIFY2(box->fontMetrics().horizontalAdvance(item) <= field.width() - 2,
                     qPrintable(QStringLiteral("%1: %2").arg(c.box, item)));
        }
        QVERIFY2(Find<QWidget>(form2, "Panel1")->geometry().contains(box->geometry()), c.box);
        for (const char* other : kButtonBoxes) {
            QVERIFY2(other == c.box ||
                         !box->geometry().intersects(Find<QComboBox>(form2, other)->geometry()),
                     c.box);
        }
    }
}

void ConfigurationDialogTest::filling_data() {
    QTest::addColumn<QString>("prepared");
    QTest::addColumn<QString>("romSection");
    QTest::addColumn<QStringList>("quickItems");
    QTest::addColumn<QString>("quickText");
    QTest::addColumn<QStringList>("cycleItems");
    QTest::addColumn<int>("cycleIndex");
    QTest::addColumn<QStringList>("collisionItems");
    QTest::addColumn<int>("collisionIndex");
    QTest::addColumn<bool>("custom");
    QTest::addColumn<QStringList>("buttons"); // Back Left, Back Right, Start, Select, A, B
    QTest::addColumn<QString>("error");

    const QStringList presets = {"Kempston", "Fire Swap", "Custom"};
    const QStringList cycles = {"Default", "00E4", "0100"};
    const QStringList modes = {"Normal", "Precise", "Off"};
    const QStringList kempston = {"1", "2", "#", "*", "Fire 1", "Fire 2"};
    const QStringList unassigned(6, QStringLiteral("<unassigned>"));
    QString noDefaults = kPrepared;
    noDefaults.remove(
        QStringLiteral("[Control Defaults]\nDefault0=Kempston\nDefault1=Fire Swap\n"));
    QString gap = kPrepared;
    gap.replace(QStringLiteral("Default1="), QStringLiteral("Default2="));

    QTest::newRow("stored preset and values")
        << kPrepared << "Control=Kempston\nCycle Count=256\nCollision Detection=2\n"
        << presets << "Kempston" << cycles << 2 << modes << 2 << false << kempston << "";
    QTest::newRow("no Control Defaults")
        << noDefaults << "Control=Kempston\n"
        << QStringList{"Custom"} << "" << cycles << 0 << modes << 0 << false << unassigned << "";
    QTest::newRow("gap in the numbering") << gap << "Control=Kempston\n"
                                          << QStringList{"Kempston", "Custom"} << "Kempston"
                                          << cycles << 0 << modes << 0 << false << kempston << "";
    QTest::newRow("preset in another letter case")
        << kPrepared << "Control=KEMPSTON\n"
        << presets << "Kempston" << cycles << 0 << modes << 0 << false << kempston << "";
    QTest::newRow("unlisted preset reads Control_")
        << kPrepared + "[Control_]\nButton A=9\n"
        << "Control=Arcade\n"
        << presets << "" << cycles << 0 << modes << 0 << false
        << QStringList{"<unassigned>", "<unassigned>", "<unassigned>", "<unassigned>", "9",
                       "<unassigned>"}
        << "";
    QTest::newRow("custom") << kPrepared
                            << "Control=Custom\nButton A=5\nBack Right=#\nStart=fire 2\n"
                            << presets << "Custom" << cycles << 0 << modes << 0 << true
                            << QStringList{"<unassigned>", "#", "Fire 2",
                                           "<unassigned>", "5", "<unassigned>"}
                            << "";
    QTest::newRow("cycle count matching nothing")
        << kPrepared << "Control=Kempston\nCycle Count=0228\n"
        << presets << "Kempston" << cycles << 0 << modes << 0 << false << kempston << "";
    QTest::newRow("cycle count matching twice")
        << QString(kPrepared).replace("Cycle1=256\n", "Cycle1=256\nCycle2=228\n")
        << "Control=Kempston\nCycle Count=228\n"
        << presets << "Kempston" << QStringList{"Default", "00E4", "0100", "00E4"} << 3 << modes
        << 0 << false << kempston << "";
    QTest::newRow("wide and negative cycle counts")
        << QString(kPrepared).replace("Cycle0=228\nCycle1=256\n", "Cycle0=70000\nCycle1=-1\n")
        << "Control=Kempston\nCycle Count=-1\n"
        << presets << "Kempston" << QStringList{"Default", "11170", "FFFFFFFF"} << 2 << modes << 0
        << false << kempston << "";
    QTest::newRow("collision mode beyond the list")
        << QString(kPrepared).remove("Collision2=Off\n")
        << "Control=Kempston\nCollision Detection=2\n"
        << presets << "Kempston" << cycles << 0 << QStringList{"Normal", "Precise"} << 0 << false
        << kempston << "";
    // The list with the bad value ends there; everything else is filled for this ROM.
    QTest::newRow("cycle value not an integer")
        << QString(kPrepared).replace("Cycle1=256\n", "Cycle1=fast\nCycle2=256\n")
        << "Control=Kempston\nCycle Count=256\nCollision Detection=1\n"
        << presets << "Kempston" << QStringList{"Default", "00E4"} << 0 << modes << 1 << false
        << kempston << "'fast' is not a valid integer value.";
    QTest::newRow("stored collision not an integer")
        << kPrepared << "Control=Kempston\nCollision Detection=high\n"
        << presets << "Kempston" << cycles << 0 << modes << 0 << false << kempston
        << "'high' is not a valid integer value.";
    QTest::newRow("stored collision not an integer, no modes")
        << QString(kPrepared).remove(
               "[Collision Detection]\nCollision0=Normal\nCollision1=Precise\nCollision2=Off\n")
        << "Control=Kempston\nCollision Detection=high\n"
        << presets << "Kempston" << cycles << 0 << QStringList{} << -1 << false << kempston << "";
}

void ConfigurationDialogTest::filling() {
    QFETCH(QString, prepared);
    QFETCH(QString, romSection);
    QFETCH(QStringList, quickItems);
    QFETCH(QString, quickText);
    QFETCH(QStringList, cycleItems);
    QFETCH(int, cycleIndex);
    QFETCH(QStringList, collisionItems);
    QFETCH(int, collisionIndex);
    QFETCH(bool, custom);
    QFETCH(QStringList, buttons);
    QFETCH(QString, error);

    // A first opening on another ROM leaves its own state behind in the dialog.
    const QByteArray other = RomBytes(64, 1);
    const QByteArray game = RomBytes(64, 2);
    Run run(prepared +
                RomSection("Filename=Other\nControl=Custom\nButton A=7\nButton B=7\nSelect=7\n"
                           "Start=7\nBack Left=7\nBack Right=7\nCycle Count=228\n",
                           other) +
                RomSection("Filename=Game\n" + romSection, game),
            {{"other.rom", other}, {"game.rom", game}});
    TForm2& form2 = run.Form2();
    QVERIFY(run.Dialog(0, [] {}));
    run.seam.boxes.clear();

    const QByteArray before = run.Document();
    bool checked = false;
    QVERIFY(run.Dialog(1, [&] {
        auto* quick = Find<QComboBox>(form2, "cbQuickConfig");
        QCOMPARE(Items(quick), quickItems);
        QCOMPARE(quick->currentText(), quickText);
        auto* cycle = Find<QComboBox>(form2, "cbCycleCount");
        QCOMPARE(Items(cycle), cycleItems);
        QCOMPARE(cycle->currentIndex(), cycleIndex);
        auto* collision = Find<QComboBox>(form2, "cbCollision");
        QCOMPARE(Items(collision), collisionItems);
        QCOMPARE(collision->currentIndex(), collisionIndex);
        QCOMPARE(Find<QLineEdit>(form2, "edRomName")->text(), QStringLiteral("Game"));
        for (int i = 0; i < 6; ++i) {
            auto* box = Find<QComboBox>(form2, kButtonBoxes[i]);
            QCOMPARE(box->isEnabled(), custom);
            QCOMPARE(box->currentText(), buttons[i]);
        }
        checked = true;
    }));
    QVERIFY(checked);
    if (error.isEmpty()) {
        QCOMPARE(run.seam.boxes.size(), 0);
    } else {
        QCOMPARE(run.seam.boxes.size(), 1);
        QCOMPARE(run.seam.boxes[0].caption, QStringLiteral("Rix Colecovision Emulator"));
        QCOMPARE(run.seam.boxes[0].text, error);
        QCOMPARE(run.seam.boxes[0].icon, BoxIcon::Error);
    }
    // Filling and closing without a pick leave the document as it was.
    QCOMPARE(run.Document(), before);
}

void ConfigurationDialogTest::presetAndCustomPicks() {
    const QByteArray game = RomBytes(64, 3);
    const QString key = Q(RomKeyOf(game));
    Run run(kPrepared, {{"game.rom", game}});
    TForm2& form2 = run.Form2();
    QVERIFY(run.Dialog(0, [&] {
        auto* quick = Find<QComboBox>(form2, "cbQuickConfig");
        // "Custom" copies the preset on show into the ROM's own keys, in key order.
        QVERIFY(Pick(quick, "Custom"));
        QCOMPARE(SectionLines(run.FileOnDisk(), key),
                 QStringList({"Filename=game", "Control=Custom", "Back Left=1", "Back Right=2",
                              "Select=*", "Start=#", "Button A=Fire 1", "Button B=Fire 2"}));
        QCOMPARE(run.FileOnDisk(), run.Document());
        QCOMPARE(run.Control(0), QStringLiteral("Custom"));
        for (const char* name : kButtonBoxes) {
            QVERIFY(Find<QComboBox>(form2, name)->isEnabled());
        }

        // Each button pick is saved at once.
        QVERIFY(Pick(Find<QComboBox>(form2, "cbA"), "5"));
        QVERIFY(SectionLines(run.FileOnDisk(), key).contains("Button A=5"));
        QVERIFY(Pick(Find<QComboBox>(form2, "cbRightBack"), "<unassigned>"));
        QVERIFY(SectionLines(run.FileOnDisk(), key).contains("Back Right=<unassigned>"));

        // A preset drops the ROM's own keys and shows the preset's, unchangeable.
        QVERIFY(Pick(quick, "Fire Swap"));
        QCOMPARE(SectionLines(run.FileOnDisk(), key),
                 QStringList({"Filename=game", "Control=Fire Swap"}));
        QCOMPARE(run.Control(0), QStringLiteral("Fire Swap"));
        QStringList shown;
        for (const char* name : kButtonBoxes) {
            auto* box = Find<QComboBox>(form2, name);
            QVERIFY(!box->isEnabled());
            shown += box->currentText();
        }
        QCOMPARE(shown, QStringList({"5", "6", "4", "3", "Fire 2", "Fire 1"}));

        // "Custom" again starts from that preset, not from the earlier own choices.
        QVERIFY(Pick(quick, "Custom"));
        QCOMPARE(SectionLines(run.FileOnDisk(), key),
                 QStringList({"Filename=game", "Control=Custom", "Back Left=5", "Back Right=6",
                              "Select=3", "Start=4", "Button A=Fire 2", "Button B=Fire 1"}));
    }));
    QCOMPARE(Q(run.model->Settings().ReadEntry(RomKeyOf(game), "Control", "")),
             QStringLiteral("Custom"));
}

void ConfigurationDialogTest::cycleCountAndCollisionPicks() {
    const QByteArray game = RomBytes(64, 4);
    const QString key = Q(RomKeyOf(game));
    Run run(QString(kPrepared).replace("Cycle1=256\n", "Cycle1=0x100\nCycle2=228\n") +
                RomSection("Filename=Game\nControl=Kempston\nCycle Count=0x100\n", game),
            {{"game.rom", game}});
    TForm2& form2 = run.Form2();
    QVERIFY(run.Dialog(0, [&] {
        auto* cycle = Find<QComboBox>(form2, "cbCycleCount");
        QCOMPARE(cycle->currentText(), QStringLiteral("0100"));
        // "Default" deletes the key; a value is stored as the list holds it, not as shown.
        QVERIFY(Pick(cycle, "Default"));
        QCOMPARE(SectionLines(run.FileOnDisk(), key),
                 QStringList({"Filename=Game", "Control=Kempston"}));
        QVERIFY(Pick(cycle, "0100"));
        QVERIFY(SectionLines(run.FileOnDisk(), key).contains("Cycle Count=0x100"));
        cycle->setCurrentIndex(3); // the second "00E4"
        emit cycle->activated(3);
        QVERIFY(SectionLines(run.FileOnDisk(), key).contains("Cycle Count=228"));

        // Collision picks change the document only.
        const QByteArray onDisk = run.FileOnDisk();
        auto* collision = Find<QComboBox>(form2, "cbCollision");
        QVERIFY(Pick(collision, "Off"));
        QVERIFY(SectionLines(run.Document(), key).contains("Collision Detection=2"));
        QVERIFY(Pick(collision, "Normal"));
        QVERIFY(!SectionLines(run.Document(), key).join(";").contains("Collision"));
        QVERIFY(Pick(collision, "Precise"));
        QCOMPARE(run.FileOnDisk(), onDisk);
    }));
    // The next save takes it along.
    run.model->Save();
    QVERIFY(SectionLines(run.FileOnDisk(), key).contains("Collision Detection=1"));
}

void ConfigurationDialogTest::blankNameIsRefused() {
    Run run(kPrepared, {{"game.rom", RomBytes(64, 5)}});
    TForm2& form2 = run.Form2();
    QVERIFY(run.Dialog(0, [&] {
        Find<QLineEdit>(form2, "edRomName")->clear();
        Find<QPushButton>(form2, "Button2")->click(); // "OK"
        form2.close();                                // the title bar's close button
        QVERIFY(form2.isVisible());
        QCOMPARE(run.seam.boxes.size(), 2);
        for (const ScriptedSeam::Box& box : run.seam.boxes) {
            QCOMPARE(box.caption, QStringLiteral("Rix Configuration Error"));
            QCOMPARE(box.text, QStringLiteral("ROM Name cannot be blank. Enter a valid ROM name."));
            QCOMPARE(box.icon, BoxIcon::None);
            QCOMPARE(box.buttons, BoxButtons::Ok);
        }
        // Blanks are a name.
        Find<QLineEdit>(form2, "edRomName")->setText(QStringLiteral("  "));
        Find<QPushButton>(form2, "Button2")->click();
        QVERIFY(!form2.isVisible());
    }));
    QCOMPARE(run.Caption(0), QStringLiteral("  "));
}

void ConfigurationDialogTest::nameField() {
    const QByteArray game = RomBytes(64, 6);
    const QString sixty(60, QLatin1Char('n'));
    Run run(kPrepared + RomSection("Filename=" + sixty + "\nControl=Kempston\n", game),
            {{"game.rom", game}});
    TForm2& form2 = run.Form2();
    // A longer stored name is shown whole, and kept when the dialog closes unchanged.
    QVERIFY(run.Dialog(0, [&] { QCOMPARE(Find<QLineEdit>(form2, "edRomName")->text(), sixty); }));
    QCOMPARE(Q(run.model->Settings().ReadEntry(RomKeyOf(game), "Filename", "")), sixty);

    // Typing stops at 47 characters; the name becomes the caption and "Filename".
    QVERIFY(run.Dialog(0, [&] {
        auto* name = Find<QLineEdit>(form2, "edRomName");
        name->selectAll();
        QTest::keyClick(name, Qt::Key_Delete);
        QTest::keyClicks(name, QString(50, QLatin1Char('t')));
        QCOMPARE(name->text().size(), 47);
    }));
    const QString typed(47, QLatin1Char('t'));
    QCOMPARE(run.Caption(0), typed);
    QCOMPARE(Q(run.model->Settings().ReadEntry(RomKeyOf(game), "Filename", "")), typed);
}

void ConfigurationDialogTest::unchangedOpenAndCloseWritesNothing() {
    Run run(kPrepared, {{"game.rom", RomBytes(64, 7)}});
    const QByteArray onDisk = run.FileOnDisk();
    const QDateTime modified = QFileInfo(run.dir.FilePath("Rix.INI")).lastModified();
    QVERIFY(run.Dialog(0, [] {}));
    QCOMPARE(run.FileOnDisk(), onDisk);
    QCOMPARE(QFileInfo(run.dir.FilePath("Rix.INI")).lastModified(), modified);
    QCOMPARE(run.Caption(0), QStringLiteral("game"));
}

void ConfigurationDialogTest::keys() {
    Run run(kPrepared, {{"game.rom", RomBytes(64, 8)}});
    TForm2& form2 = run.Form2();
    QVERIFY(run.Dialog(0, [&] {
        QVERIFY(QTest::qWaitForWindowActive(&form2));
        auto* name = Find<QLineEdit>(form2, "edRomName");
        name->setFocus();
        QTest::keyClick(name, Qt::Key_Escape);
        QTest::keyClick(name, Qt::Key_Return);
        QVERIFY(form2.isVisible());
        auto* ok = Find<QPushButton>(form2, "Button2");
        ok->setFocus();
        QTest::keyClick(ok, Qt::Key_Escape);
        QVERIFY(form2.isVisible());
        QTest::keyClick(ok, Qt::Key_Return);
        QVERIFY(!form2.isVisible());
    }));
}

void ConfigurationDialogTest::buildCarriesTheConfiguration() {
    const QByteArray game = RomBytes(512, 10);
    Run run(kPrepared, {{"game.col", game}});
    TForm2& form2 = run.Form2();
    QVERIFY(run.Dialog(0, [&] {
        auto* name = Find<QLineEdit>(form2, "edRomName");
        name->clear();
        QTest::keyClicks(name, QStringLiteral("Space Game"));
        QVERIFY(Pick(Find<QComboBox>(form2, "cbQuickConfig"), "Custom"));
        QVERIFY(Pick(Find<QComboBox>(form2, "cbB"), "9"));
        QVERIFY(Pick(Find<QComboBox>(form2, "cbRightBack"), "0"));
        QVERIFY(Pick(Find<QComboBox>(form2, "cbCycleCount"), "00E4"));
        QVERIFY(Pick(Find<QComboBox>(form2, "cbCollision"), "Off"));
    }));
    BuildMessages host;
    QCOMPARE(run.model->Build(host, {.emulatorImage = &FakeEmulatorImage}), BuildOutcome::Written);
    QCOMPARE(host.messages, QStringList({"Rix binary created. Have fun!"}));

    const QByteArray image = ReadFile(run.dir.FilePath("Rix.gba"));
    const int e = static_cast<int>(FakeEmulatorImage().size());
    QCOMPARE(image.mid(e, 16), QByteArray::fromHex("10000000"
                                                   "60000000"
                                                   "0000000000000000"));
    const std::uint32_t crc = std::stoul(RomKeyOf(game), nullptr, 16);
    QByteArray record;
    for (int shift = 0; shift < 32; shift += 8) {
        record += static_cast<char>((crc >> shift) & 0xFF);
    }
    record += QByteArray("Space Game").leftJustified(47, ' ');
    record += QByteArray::fromHex("00"       // 51
                                  "E4000000" // 52: cycle count 228
                                  "00"       // 56
                                  "02"       // 57: collision mode 2
                                  "0000"     // 58
                                  "0040"     // A: Fire 1
                                  "0400"     // B: "9"
                                  "0600"     // Select: "*"
                                  "0900"     // Start: "#"
                                  "0500"     // Custom: Back Right ("0") first
                                  "0200"     // then Back Left ("1")
                                  "0000000000000000");
    QCOMPARE(image.mid(e + 16, 80).toHex(' '), record.toHex(' '));
    QCOMPARE(image.right(game.size()), game);
}

QTEST_MAIN(ConfigurationDialogTest)
#include "ConfigurationDialogTest.moc"
