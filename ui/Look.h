// What both windows share of their look.
#pragma once

#include <QFont>

class QFrame;

namespace rix::ui {

// The windows' font: "MS Sans Serif" at 8 points, 11 pixels high at 96 dots per inch, with
// the nearest face of this system standing in for it.
QFont FormFont();

// The children of a framed panel are laid out relative to its client area, the part inside
// the frame, and are clipped to it.
void PlaceChildrenInClientArea(QFrame* panel);

} // namespace rix::ui
