// Whether the standard streams are a terminal the user types at and reads.
#pragma once

namespace rix {

bool StandardInputIsTerminal();
bool StandardErrorIsTerminal();

} // namespace rix
