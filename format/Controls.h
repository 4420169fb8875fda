// What a record's control codes mean, for the builder that writes them and the GBA program
// that reads them. Freestanding: <cstdint> only.
#pragma once

#include "format/CartTable.h"

#include <cstdint>

namespace rix::format {

// The ColecoVision keypad key of each code in bits 0-3 (the value the controller puts on its
// port for that key); 0 where a code belongs to no key: 0, 7, 11 and 15.
inline constexpr char kKeypadKeys[16] = {0,   '6', '1', '3', '9', '0', '*', 0,
                                         '2', '#', '7', 0,   '5', '4', '8', 0};

// The code of a keypad key ('0'-'9', '*', '#'); 0 for any other character.
constexpr std::uint16_t KeypadCode(char key) {
    for (std::uint16_t code = 1; code < 16; ++code) {
        if (key != 0 && kKeypadKeys[code] == key) {
            return code;
        }
    }
    return 0;
}

// The shoulder buttons' slots. Presets keep Back Left in slot 5 and Back Right in slot 6;
// a ROM's own ("Custom") controls put them the other way round.
constexpr ControlSlot BackLeftSlot(bool custom) {
    return custom ? kSlot6 : kSlot5;
}
constexpr ControlSlot BackRightSlot(bool custom) {
    return custom ? kSlot5 : kSlot6;
}

} // namespace rix::format
