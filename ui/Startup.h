// Start-up: the application, then the main window with the settings document, then the hidden
// configuration dialog, then the message loop until the main window has closed.
#pragma once

#include <memory>

class QApplication;
class TForm1;
class TForm2;

namespace rix::ui {

// Step 1 for an application object that exists: its title, icon and the windows' font.
void InitialiseApplication(QApplication& application);

// The two windows of a run.
class Program {
public:
    // Steps 2 and 3. Null when the settings file exists but cannot be read: the error has been
    // shown and the program must end without writing anything.
    static std::unique_ptr<Program> Start();

    TForm1& Form1() { return *form1_; }
    TForm2& Form2() { return *form2_; }

    // Step 4: shows the main window and runs the message loop until it has closed.
    int Run();

    // Use Start.
    Program();
    ~Program();

private:
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm2> form2_; // declared last, so destroyed first
};

// The whole program; returns its exit code.
int RunRix(int argc, char** argv);

} // namespace rix::ui
