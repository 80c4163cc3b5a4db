#pragma once

// The Qt face: every window of the program built from its table with Qt
// Widgets, each control kind once. It shows what the forms layer holds and
// reports what the user does; the rules live in the forms layer.
//
// A window with the MainWindow flag is a QMainWindow: its menus on a menu
// bar, its other controls on a central widget named "client" of the table's
// size. Any other window is a fixed-size QDialog over its owner. Every
// window and control carries the table's id as its object name, so that
// tests and assistive technology find it by name.

#include "platform/PlatformServices.h"
#include "platform/forms/Face.h"

#include <memory>

namespace platform::qt {

class QtFace : public forms::Face {
public:
    std::unique_ptr<forms::FormPeer> createForm(forms::Form &form, WindowHandle owner) override;
    // QApplication::exec().
    int run() override;
    // QCoreApplication::exit(), which ends every modal loop as well.
    void quit(int status) override;
};

} // namespace platform::qt
