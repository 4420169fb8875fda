#include "builder/ControlCodes.h"

#include "format/CartTable.h"

namespace rix {

std::uint16_t ControlChoiceToCode(std::string_view choice) {
    // 1. One character: a keypad key or nothing.
    if (choice.size() == 1) {
        switch (choice[0]) {
        case '*': return 6;
        case '#': return 9;
        case '0': return 5;
        case '1': return 2;
        case '2': return 8;
        case '3': return 3;
        case '4': return 13;
        case '5': return 12;
        case '6': return 1;
        case '7': return 10;
        case '8': return 14;
        case '9': return 4;
        default: return 0;
        }
    }
    // 2. The two fire buttons; "<unassigned>" and everything else give 0.
    if (choice == "Fire 1") {
        return format::kControlFire1;
    }
    if (choice == "Fire 2") {
        return format::kControlFire2;
    }
    return 0;
}

} // namespace rix
