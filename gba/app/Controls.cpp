#include "Controls.h"

#include "format/CartTable.h"

namespace rix::gba {

namespace fmt = rix::format;

namespace {

// Keypad key per code in bits 0-3; codes 0, 7, 11 and 15 belong to no key.
constexpr const char* kKeypad[16] = {nullptr, "6", "1", "3",     "9", "0", "*", nullptr,
                                     "2",     "#", "7", nullptr, "5", "4", "8", nullptr};

} // namespace

void DescribeControl(std::uint16_t code, Line& line) {
    const std::uint16_t keypad = code & fmt::kControlKeypadMask;
    const std::uint16_t known = fmt::kControlKeypadMask | fmt::kControlFire1 | fmt::kControlFire2;
    if (code == 0) {
        line.Text("none");
        return;
    }
    if ((code & ~known) != 0 || (keypad != 0 && kKeypad[keypad] == nullptr)) {
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
        line.Text(separator).Text("Keypad ").Text(kKeypad[keypad]);
    }
}

} // namespace rix::gba
