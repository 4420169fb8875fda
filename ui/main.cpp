// The Rix desktop program.
#include "ui/Startup.h"

int main(int argc, char** argv) {
    return rix::ui::RunRix(argc, argv);
}
