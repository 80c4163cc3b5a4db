#pragma once

// The one face every window of the program is drawn in.

#include <QFont>

namespace platform {

// The windows are laid out, in fixed places, for a small sans-serif face of
// the width of MS Sans Serif or Arial: the first of those this desktop has,
// else its own sans-serif face. points is the size; bold and underline as
// asked. Every window, and every control that needs its own size or style,
// takes its font from here, so that they all resolve to the same family.
QFont windowFont(qreal points = 8.25, bool bold = false, bool underline = false);

} // namespace platform
