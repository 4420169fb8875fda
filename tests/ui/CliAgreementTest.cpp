// A cartridge built through the window equals, byte for byte, the one the command line builds
// from the same settings file and ROM files.
#include "UiTestSupport.h"

#include "ui/Unit1.h"

#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QTest>

using namespace rix;
using namespace rix::test;

namespace {

const QString kSettings = QStringLiteral("[Control Defaults]\nDefault0=Kempston\n"
                                         "[Control_Kempston]\nButton A=Fire 1\nButton B=Fire 2\n"
                                         "Select=*\nStart=#\nBack Left=1\nBack Right=2\n"
                                         "[Cycle Counts]\nCycle0=228\n"
                                         "[Collision Detection]\nCollision0=Normal\n"
                                         "Collision1=Off\n"
                                         "[0BADF00D]\nFilename=No Longer Listed\nControl=Custom\n"
                                         "Button A=7\nBack Left=#\nCycle Count=228\n"
                                         "Collision Detection=1\n");

// The ROMs, in the order both front ends get them.
const QList<std::pair<QString, QByteArray>> kRoms = {
    {QStringLiteral("First Game.ROM"), RomBytes(8192, 1)},
    {QStringLiteral("second.col"), RomBytes(24576, 2)},
    {QStringLiteral("first again.rom"), RomBytes(8192, 1)},
};

QStringList PrepareFolder(const QString& folder) {
    WriteFile(folder + QStringLiteral("/Rix.INI"), IniText(kSettings));
    QStringList files;
    for (const auto& [name, bytes] : kRoms) {
        files += folder + QLatin1Char('/') + name;
        WriteFile(files.last(), bytes);
    }
    return files;
}

} // namespace

class CliAgreementTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { ui::InitialiseApplication(*qApp); }
    void windowAndCommandLineBuildTheSameImage();
};

void CliAgreementTest::windowAndCommandLineBuildTheSameImage() {
    QTemporaryDir cliFolder;
    const QStringList cliFiles = PrepareFolder(cliFolder.path());
    QProcess cli;
    cli.setWorkingDirectory(cliFolder.path());
    cli.start(QStringLiteral(RIX_BUILD_EXECUTABLE), cliFiles);
    QVERIFY(cli.waitForFinished(-1));
    QVERIFY2(cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0,
             cli.readAllStandardError().constData());
    const QByteArray fromCli = ReadFile(cliFolder.filePath(QStringLiteral("Rix.gba")));
    QVERIFY(!fromCli.isEmpty());

    ScratchDirectory windowFolder;
    ScriptedSeam seam;
    const QStringList windowFiles = PrepareFolder(windowFolder.Path());
    std::unique_ptr<ui::Program> program = ui::Program::Start(); // the embedded image
    QVERIFY(program);
    seam.openFileChoices = {windowFiles};
    program->Form1().AddRoms();
    QTest::mouseClick(program->Form1().findChild<QPushButton*>(QStringLiteral("Button2")),
                      Qt::LeftButton);
    QCOMPARE(seam.boxes.size(), 1);
    QCOMPARE(seam.boxes[0].text, QStringLiteral("Rix binary created. Have fun!"));

    const QByteArray fromWindow = ReadFile(windowFolder.FilePath(QStringLiteral("Rix.gba")));
    QCOMPARE(fromWindow.size(), fromCli.size());
    QVERIFY(fromWindow == fromCli);
}

QTEST_MAIN(CliAgreementTest)
#include "CliAgreementTest.moc"
