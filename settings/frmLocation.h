#pragma once

// The default attachment location dialog: shows the stored default
// attachment folder in an editable box, lets the user browse for a folder,
// and stores the box's text on OK.

#include "platform/PlatformServices.h"
#include "platform/forms/Form.h"
#include "settings/SettingsStore.h"

#include <string>

class frmLocation {
public:
    // Loads the dialog at once; owner is the window it opens over.
    frmLocation(forms::Face &face, platform::PlatformServices &desktop, settings::SettingsStore &store,
                platform::WindowHandle owner = nullptr);

    forms::Form &form() { return form_; }
    void showModal() { form_.showModal(); }

    // The texts of the load step's error report.
    static std::u16string errorTitle();
    static std::u16string contactLine();

    // Event procedures.
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdBrowse_Click();

    static const forms::FormSpec &layout();

private:
    void Form_Load();

    platform::PlatformServices &desktop_;
    settings::SettingsStore &store_;
    forms::Form form_;
};
