#include "ui/Startup.h"

#include "ui/AnsiText.h"
#include "ui/ErrorDisplay.h"
#include "ui/Look.h"
#include "ui/UiTexts.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"

#ifndef _WIN32
#include "platform/DesktopFolder.h"
#endif
#include "platform/Paths.h"
#include "settings/Schema.h"
#include "settings/VersionInfo.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

// Resources compiled into the static library are brought in by name.
static void InitialiseResources() {
    Q_INIT_RESOURCE(rix);
}

namespace rix::ui {

void InitialiseApplication(QApplication& application) {
    InitialiseResources();
    // The title names the program to the desktop and captions every error box.
    application.setApplicationName(ToQString(text::kApplicationTitle));
    QIcon icon;
    for (const char* size : {"16", "32", "48"}) {
        icon.addFile(QStringLiteral(":/rix/icon-%1.png").arg(QLatin1String(size)));
    }
    application.setWindowIcon(icon);
    application.setFont(FormFont());
}

Program::Program() = default;
Program::~Program() = default;

std::unique_ptr<Program> Program::Start(const BuildOptions& buildOptions) {
    auto program = std::make_unique<Program>();
    program->form1_ = std::make_unique<TForm1>(buildOptions);
    if (!RunGuarded(program->form1_.get(), [&program] { program->form1_->FormCreate(); })) {
        return nullptr;
    }
    return program;
}

TForm2& Program::Form2() {
    return form1_->Form2();
}

int Program::Run() {
    form1_->show();
    return QApplication::exec();
}

namespace {

constexpr char kUsage[] =
    "Usage: rix [--desktop]\n"
    "Starts the Rix desktop program: ColecoVision ROM files in a list, each with its name and\n"
    "controls, built into Rix.gba for the Game Boy Advance. The program keeps its settings in\n"
    "Rix.INI in the folder it starts in.\n"
    "\n"
    "      --desktop  start in the user's own Rix folder, $XDG_DATA_HOME/rix (by default\n"
    "                 ~/.local/share/rix), made with a copy of the prepared settings file\n"
    "                 the first time (what the desktop's menu entry does)\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n";

#ifndef _WIN32
// The menu entry's start: a folder of the program's own under the user's data folder, which
// gets the installed prepared settings file the first time and is the current folder from
// then on, as a folder chosen in a terminal would be. (The Linux desktop's; on Windows the
// folder the program starts in holds its settings, as ever.)
void EnterDesktopFolder() {
    const TQzVersionInfo versionInfo;
    const std::string name = versionInfo.VersionString(TQzVersionInfo::kInternalName);
    const std::string folder =
        UserDataFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")) + "/rix";
    // The package installs it in share/rix; RIX_DATA_FROM_BINDIR leads there from bin/.
    const std::string dataFolder = DirectoryOf(RunningProgramPath()) + "/" RIX_DATA_FROM_BINDIR;
    const std::string prepared =
        std::filesystem::path(schema::SettingsFilePath(dataFolder, name)).lexically_normal();
    PrepareWorkingFolder(folder, FileNameOf(schema::SettingsFilePath(folder, name)), prepared);
    EnterFolder(folder);
}
#endif

} // namespace

int RunRix(int argc, char** argv) {
    // Answered before any window, so that they work without a display.
    bool desktop = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            const TQzVersionInfo versionInfo;
            std::printf("rix %s\n",
                        versionInfo.VersionString(TQzVersionInfo::kFileVersion).c_str());
            return 0;
        }
        desktop = desktop || std::strcmp(argv[i], "--desktop") == 0;
    }
    QApplication application(argc, argv);
    InitialiseApplication(application);
    // The settings file is looked for in the current folder, so it is entered first.
#ifndef _WIN32
    if (desktop && !RunGuarded(nullptr, EnterDesktopFolder)) {
        return 1;
    }
#else
    (void)desktop;
#endif
    // A settings file that cannot be read ends the program here, before anything could
    // overwrite it.
    std::unique_ptr<Program> program = Program::Start();
    if (!program) {
        return 1;
    }
    return program->Run();
}

} // namespace rix::ui
