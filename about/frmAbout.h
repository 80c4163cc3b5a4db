#pragma once

// The About box: product name, version, maker, freeware notice and the
// support address as a mail link.

#include "platform/PlatformServices.h"
#include "platform/forms/Form.h"

#include <string>

// "Version " and the three numbers, in decimal, joined by dots.
std::u16string aboutVersionText(int major, int minor, int revision);

class frmAbout {
public:
    // Loads the box at once; owner is the window it opens over.
    frmAbout(forms::Face &face, platform::PlatformServices &desktop, platform::WindowHandle owner = nullptr);

    forms::Form &form() { return form_; }
    void showModal() { form_.showModal(); }

    // Event procedures.
    void cmdOK_Click();
    void lblMail_Click();

    static const forms::FormSpec &layout();

private:
    void Form_Load();
    // The designed widths suit the designed font. Where the face's font
    // needs more room, a label grows to the right, within the window, so
    // that no text is cut.
    void fitLabels();

    platform::PlatformServices &desktop_;
    forms::Form form_;
};
