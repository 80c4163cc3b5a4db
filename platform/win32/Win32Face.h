#pragma once

// The Win32 face: every window of the program built from its table with
// the system's own controls, each control kind once. It shows what the
// forms layer holds and reports what the user does; the rules live in the
// forms layer.
//
// A window is a dialog box (the system's dialog class, made from an empty
// template) whose controls are made with CreateWindowExW at the table's
// places, twips turned into pixels at the display's dots per inch. Every
// loop of the program (the face's own, modal ones included) hands each
// message to IsDialogMessageW for the window it belongs to, which gives
// Tab, the arrow keys, Enter, Escape and the & mnemonics their usual
// meaning. Messages for windows that are not the program's (the host's
// notifications, a message box) are dispatched as they come, so they keep
// arriving while a window is shown modally.
//
// Control ids: each control's window has the id 100 + its row in the
// table; a menu item's command and a timer's id are the same number.

#include "platform/PlatformServices.h"
#include "platform/forms/Face.h"

#include "platform/win32/SystemHeaders.h"

#include <memory>
#include <vector>

namespace platform::win32 {

class WindowFonts;
class Win32FormPeer;

class Win32Face : public forms::Face {
public:
    Win32Face();
    ~Win32Face() override;
    Win32Face(const Win32Face &) = delete;
    Win32Face &operator=(const Win32Face &) = delete;

    std::unique_ptr<forms::FormPeer> createForm(forms::Form &form, WindowHandle owner) override;
    // The thread's message loop until quit(); returns quit's status.
    int run() override;
    // PostQuitMessage(status): every modal loop ends, then run().
    void quit(int status) override;

    // What every loop does with one message of the thread's queue: the
    // dialog keys for the program's window it is meant for, else translation
    // and dispatch.
    void dispatchMessage(MSG &message);

    // The display's dots per inch, the fonts, the program's icons and the
    // hand pointer, as every window uses them.
    int dpi() const { return dpi_; }
    WindowFonts &fonts() { return *fonts_; }
    HICON programIcon(bool small) const { return small ? smallIcon_ : largeIcon_; }
    HCURSOR handCursor() const { return handCursor_; }

    // The id of the first control of a window.
    static constexpr int FirstControlId = 100;

private:
    friend class Win32FormPeer;
    Win32FormPeer *formOf(HWND window) const;
    void attach(Win32FormPeer *form);
    void detach(Win32FormPeer *form);

    int dpi_;
    std::unique_ptr<WindowFonts> fonts_;
    HICON largeIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    HCURSOR handCursor_ = nullptr;
    std::vector<Win32FormPeer *> forms_;
    int quitStatus_ = 0;
};

} // namespace platform::win32
