#include "settings/frmLocation.h"

#include "host/Failure.h"
#include "platform/ErrorTrap.h"
#include "resources/ProductInfo.h"
#include "settings/ModSHBrowse.h"

#include <optional>

namespace {

using namespace forms;

constexpr ControlSpec Controls[] = {
    {Kind::Button, "cmdOK", -1, "cmdOK", {}, u"&OK", {2478, 1170, 1000, 325}, 0, Default},
    // Escape and the close box write nothing, as Cancel does.
    {Kind::Button, "cmdCancel", -1, "cmdCancel", {}, u"&Cancel", {3558, 1170, 1000, 325}, 1, Cancel},
    {Kind::Button, "cmdBrowse", -1, "cmdBrowse", {}, u"Browse...", {5865, 615, 1000, 325}, 2},
    // The stored folder has no length limit of its own, nor has the box.
    {Kind::TextBox, "txtPath", -1, "txtPath", {}, u"", {300, 615, 5505, 315}, 3},
    {Kind::Label, "lblPath", -1, "lblPath", {}, u"Default Attachment Folder :", {300, 330, 5505, 285}, -1},
};

constexpr FormSpec Layout{"frmLocation", u"Default Attachment Location", 7035, 1710, NoFormFlags, {}, "cmdOK",
                          Icon::None, Controls};

const std::u16string Section = u"Settings";
const std::u16string Key = u"DefaultFolder";

} // namespace

const forms::FormSpec &frmLocation::layout()
{
    return Layout;
}

frmLocation::frmLocation(forms::Face &face, platform::PlatformServices &desktop, settings::SettingsStore &store,
                         platform::WindowHandle owner)
    : desktop_(desktop), store_(store), form_(Layout, face, owner)
{
    form_.control("cmdOK").Click = [this] { cmdOK_Click(); };
    form_.control("cmdCancel").Click = [this] { cmdCancel_Click(); };
    form_.control("cmdBrowse").Click = [this] { cmdBrowse_Click(); };
    form_.Load = [this] { Form_Load(); };
    form_.load();
}

std::u16string frmLocation::errorTitle()
{
    return product::applicationTitle() + u" error";
}

std::u16string frmLocation::contactLine()
{
    return product::supportContactLine();
}

void frmLocation::Form_Load()
{
    platform::ErrorTrap trap(desktop_, u"in frmAdo: Sub Form_Load - Line # ", &errorTitle, &contactLine);
    trap.at(17680);
    trap.run([&] {
        trap.at(17700);
        form_.control("txtPath").setText(
            store_.read(product::applicationTitle(), Section, Key, desktop_.ProgramFolder()));
    });
}

void frmLocation::cmdOK_Click()
{
    try {
        store_.write(product::applicationTitle(), Section, Key, form_.control("txtPath").Text());
    } catch (const host::Failure &failure) {
        // The folder could not be stored: say so and keep the dialog open
        // with the text, so that the user can try again or cancel.
        desktop_.MsgBox(u"The default attachment folder could not be saved.\r" + failure.description(),
                        platform::vbOKOnly | platform::vbExclamation, product::applicationTitle());
        return;
    }
    form_.unload();
}

void frmLocation::cmdCancel_Click()
{
    form_.unload();
}

void frmLocation::cmdBrowse_Click()
{
    const std::optional<std::u16string> folder = ModSHBrowse::browseForFolder(desktop_, form_.handle());
    if (folder)
        form_.control("txtPath").setText(*folder);
}
