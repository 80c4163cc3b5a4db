#pragma once

// What a face (Qt on Linux, Win32 on Windows, the recording face in tests)
// provides to the forms layer. A face implements each control kind once; it
// draws what the model tells it and reports what the user does, and keeps no
// state of its own that the procedures read.

#include "platform/PlatformServices.h"
#include "platform/forms/Layout.h"

#include <cstdint>
#include <memory>
#include <string>

namespace forms {

class Control;
class Form;

// One control as the face shows it. Every setter shows a value the model
// already holds; none reports back to the model.
class ControlPeer {
public:
    virtual ~ControlPeer() = default;
    virtual void setCaption(const std::u16string &caption) = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual void setVisible(bool visible) = 0;
    // Options: 0 or 1; check boxes: 0 unchecked, 1 checked, 2 greyed.
    virtual void setValue(std::int16_t value) = 0;
    virtual void setText(const std::u16string &text) = 0;
    virtual void setPlace(const Twips &place) = 0;
    virtual void setAccessibleName(const std::u16string &name) = 0;
    // Timers: ticks every interval milliseconds while running.
    virtual void setTimer(int interval, bool running) = 0;
    // The width, in twips, that the control needs to show its whole
    // caption in its own font (a frame: its title and borders).
    virtual int neededWidth() const = 0;
};

// One window as the face shows it.
class FormPeer {
public:
    virtual ~FormPeer() = default;
    // Makes the control's window; called once per control, in table order,
    // after the containers it stands in.
    virtual std::unique_ptr<ControlPeer> createControl(Control &control) = 0;
    // Called once every control exists: Tab order, default button, size,
    // first focus and place on the screen.
    virtual void finishBuilding() = 0;

    virtual platform::WindowHandle handle() = 0;
    virtual void setCaption(const std::u16string &caption) = 0;
    virtual void setIcon(Icon icon) = 0;
    // The client area's size in twips; a window that is shown keeps its
    // centre.
    virtual void setClientSize(int width, int height) = 0;
    virtual void show() = 0;
    // Shows the window modally over its owner and returns once it is hidden
    // or closed. Notifications, timer ticks and painting go on meanwhile.
    virtual void showModal() = 0;
    virtual void hide() = 0;
    // Removes the window from the screen for good (the form unloaded).
    virtual void close() = 0;
};

class Face {
public:
    virtual ~Face() = default;
    // A window for form, owned by owner (null: none).
    virtual std::unique_ptr<FormPeer> createForm(Form &form, platform::WindowHandle owner) = 0;
    // Runs the program's event loop until quit(); returns quit's status.
    virtual int run() = 0;
    // Ends the event loop, and every modal loop inside it.
    virtual void quit(int status) = 0;
};

} // namespace forms
