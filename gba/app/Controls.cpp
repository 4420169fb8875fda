#include "Controls.h"

#include "format/CartTable.h"
#include "format/Controls.h"

namespace rix::gba {

namespace fmt = rix::format;

void DescribeControl(std::uint16_t code, Line& line) {
    const std::uint16_t keypad = code & fmt::kControlKeypadMask;
    const std::uint16_t known = fmt::kControlKeypadMask | fmt::kControlFire1 | fmt::kControlFire2;
    if (code == 0) {
        line.Text("none");
        return;
    }
    if ((code & ~known) != 0 || (keypad != 0 && fmt::kKeypadKeys[keypad] == 0)) {
        line.Text("unknown (0x").Hex(code, 4).Text(")");
        return;
    }
    const char* separator = "";
    if ((code & fmt::kControlFire1) != 0) {
        line.Text("Fire 1");
        separator = " + ";
    }
    if ((code & fmt::kControlFire2) != 0) {
        line.Text(separator).Text("Fire 2");
        separator = " + ";
    }
    if (keypad != 0) {
        line.Text(separator).Text("Keypad ").Char(fmt::kKeypadKeys[keypad]);
    }
}

} // namespace rix::gba
