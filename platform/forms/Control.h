#pragma once

// A control of a window, as the procedures see it: its properties and its
// events. The rules the procedures rely on live here, once for every face:
//   - setting Value raises Click only when the value changes (an option:
//     only when it becomes selected);
//   - an option group (the options of one container) may have none
//     selected; selecting one clears the others, which raise nothing;
//   - a user's click on a check box only toggles checked and unchecked,
//     even on a box that shows greyed;
//   - a click on a label that reports clicks is reported whatever the state
//     of the box beside it;
//   - a disabled or hidden control takes no click from the user.

#include "platform/forms/Face.h"
#include "platform/forms/Layout.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace forms {

class Form;

class Control {
public:
    Control(Form &form, const ControlSpec &design);
    Control(const Control &) = delete;
    Control &operator=(const Control &) = delete;

    const ControlSpec &design() const { return design_; }
    Kind kind() const { return design_.kind; }
    Form &form() const { return form_; }

    // --- properties ---------------------------------------------------------
    const std::u16string &Caption() const { return caption_; }
    void setCaption(std::u16string caption);
    bool Enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool Visible() const { return visible_; }
    void setVisible(bool visible);
    // Options: 0 or 1. Check boxes: 0 unchecked, 1 checked, 2 greyed (a
    // box without the Tristate flag takes 2 too, as the program may set it).
    // Any other value fails with 380, "Invalid property value".
    std::int16_t Value() const { return value_; }
    void setValue(std::int16_t value);
    // A text box's text.
    const std::u16string &Text() const { return text_; }
    void setText(std::u16string text);
    // Within its container, in twips.
    const Twips &place() const { return place_; }
    void setPlace(const Twips &place);
    // What assistive technology calls the control; empty: its caption.
    const std::u16string &accessibleName() const { return accessibleName_; }
    void setAccessibleName(std::u16string name);
    // Timers: milliseconds between ticks, 0 stopping it.
    int Interval() const { return interval_; }
    void setInterval(int milliseconds);
    // The width the caption needs, in twips, as the face draws it.
    int neededWidth() const;

    // --- events -------------------------------------------------------------
    std::function<void()> Click; // buttons, options, check boxes, labels, links, menu items
    std::function<void()> Timer; // timers

    // --- what the user does, as the face reports it ---------------------------
    // A click, Space, the mnemonic, or for the default and cancel buttons
    // Enter and Escape.
    void userClick();
    // Text typed into a text box.
    void userText(std::u16string text);
    // A tick of the timer.
    void tick();

    ControlPeer *peer() const { return peer_.get(); }
    void attach(std::unique_ptr<ControlPeer> peer);

private:
    friend class Form;
    // Sets the value without raising Click (an option cleared by another).
    void showValue(std::int16_t value);
    // A timer runs while its window is loaded, it is enabled and it has an
    // interval; the face is told whenever that may have changed.
    bool timerRuns() const;
    void showTimer();
    void raise(const std::function<void()> &event);

    Form &form_;
    const ControlSpec &design_;
    std::unique_ptr<ControlPeer> peer_;
    std::u16string caption_;
    std::u16string text_;
    std::u16string accessibleName_;
    Twips place_;
    bool enabled_;
    bool visible_;
    std::int16_t value_ = 0;
    int interval_ = 0;
};

} // namespace forms
