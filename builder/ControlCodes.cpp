#include "builder/ControlCodes.h"

#include "format/Controls.h"

namespace rix {

std::uint16_t ControlChoiceToCode(std::string_view choice) {
    if (choice.size() == 1) {
        return format::KeypadCode(choice[0]);
    }
    // "<unassigned>" and every other text give 0.
    if (choice == "Fire 1") {
        return format::kControlFire1;
    }
    if (choice == "Fire 2") {
        return format::kControlFire2;
    }
    return 0;
}

} // namespace rix
