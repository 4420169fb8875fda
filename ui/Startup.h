// Start-up: the application, then the main window with the ROM list and its hidden
// configuration dialog, then the message loop until the main window has closed.
#pragma once

#include "builder/Build.h"

#include <memory>

class QApplication;
class TForm1;
class TForm2;

namespace rix::ui {

// Readies an application object that exists: its title, icon and the windows' font.
void InitialiseApplication(QApplication& application);

// The windows of a run.
class Program {
public:
    // Creates the main window, which loads the settings; "Build Rix >" builds with
    // `buildOptions`. Null when the settings file exists but cannot be read: the error has
    // been shown and the program must end without writing anything.
    static std::unique_ptr<Program> Start(const BuildOptions& buildOptions = {});

    TForm1& Form1() { return *form1_; }
    TForm2& Form2();

    // Shows the main window and runs the message loop until it has closed.
    int Run();

    // Use Start.
    Program();
    ~Program();

private:
    std::unique_ptr<TForm1> form1_;
};

// The whole program; returns its exit code.
int RunRix(int argc, char** argv);

} // namespace rix::ui
