#include "ui/Startup.h"

#include "ui/AnsiText.h"
#include "ui/ErrorDisplay.h"
#include "ui/Look.h"
#include "ui/UiTexts.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"

#include <QApplication>
#include <QIcon>

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

int RunRix(int argc, char** argv) {
    QApplication application(argc, argv);
    InitialiseApplication(application);
    // A settings file that cannot be read ends the program here, before anything could
    // overwrite it.
    std::unique_ptr<Program> program = Program::Start();
    if (!program) {
        return 1;
    }
    return program->Run();
}

} // namespace rix::ui
