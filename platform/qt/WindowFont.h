#pragma once

// The one face every window of the program is drawn in.

#include <QFont>

#include <thread>

namespace platform {

// The windows are laid out, in fixed places, for a small sans-serif face of
// the width of MS Sans Serif or Arial: the first of those this desktop has,
// else its own sans-serif face. points is the size; bold and underline as
// asked. Every window, and every control that needs its own size or style,
// takes its font from here, so that they all resolve to the same family.
QFont windowFont(qreal points = 8.25, bool bold = false, bool underline = false);

// Reads the desktop's font configuration (many small files, parsed one by
// one) on a thread of its own while the application object connects to the
// display, so that the first window to draw text finds it read. Made before
// the QApplication; wait() returns once the configuration is read, and must
// be called before any font is looked up. Where the desktop has no such
// configuration it does nothing.
class FontConfigurationLoader {
public:
    FontConfigurationLoader();
    ~FontConfigurationLoader();
    FontConfigurationLoader(const FontConfigurationLoader &) = delete;
    FontConfigurationLoader &operator=(const FontConfigurationLoader &) = delete;

    void wait();

private:
    std::thread thread_;
};

} // namespace platform
