#include "about/frmAbout.h"

#include "host/Text.h"
#include "resources/ProductInfo.h"

#include <algorithm>

namespace {

using namespace forms;

// The texts are set at loading; the mail link names the support address.
constexpr ControlSpec Controls[] = {
    {Kind::Label, "lblTitle", -1, "lblTitle", {}, u"", {1050, 240, 3885, 360}, -1, NoFlags, {13.5, true, false}},
    {Kind::Label, "lblVersion", -1, "lblVersion", {}, u"", {1050, 780, 3885, 225}, -1},
    // The maker's line and the freeware notice sit between the version and
    // the separator.
    {Kind::Label, "lblCopyright", -1, "lblCopyright", {}, u"", {1050, 1110, 3885, 225}, -1},
    {Kind::Label, "lblFreeware", -1, "lblFreeware", {}, u"", {1050, 1380, 3885, 225}, -1},
    {Kind::Line, "Line1", -1, "Line1", {}, u"", {53, 1800, 5684 - 53, 0}, -1},
    {Kind::Label, "lblProblem", -1, "lblProblem", {}, u"", {240, 2640, 3855, 255}, -1},
    // Reached by Tab from Close; Enter, Space or a click sends mail.
    {Kind::Link, "lblMail", -1, "lblMail", {}, u"", {240, 2880, 2415, 255}, 1, NoFlags, {8.25, true, true}},
    // Enter presses Close; Escape closes the box just as Close does.
    {Kind::Button, "cmdOK", -1, "cmdOK", {}, u"", {4485, 2040, 1095, 375}, 0, Default},
};

constexpr FormSpec Layout{"frmAbout", u"", 5730, 3285, CentreOnScreen, {}, "cmdOK", Icon::None, Controls};

// The margin a grown label keeps to the window's right edge.
constexpr int RightMargin = 240;

} // namespace

std::u16string aboutVersionText(int major, int minor, int revision)
{
    return u"Version " + text::number(major) + u"." + text::number(minor) + u"." + text::number(revision);
}

const forms::FormSpec &frmAbout::layout()
{
    return Layout;
}

frmAbout::frmAbout(forms::Face &face, platform::PlatformServices &desktop, platform::WindowHandle owner)
    : desktop_(desktop), form_(Layout, face, owner)
{
    form_.control("cmdOK").Click = [this] { cmdOK_Click(); };
    form_.control("lblMail").Click = [this] { lblMail_Click(); };
    form_.Load = [this] {
        Form_Load();
        fitLabels();
    };
    form_.load();
}

void frmAbout::Form_Load()
{
    form_.setCaption(product::applicationTitle());
    form_.control("lblVersion")
        .setCaption(aboutVersionText(PENNAROC_VERSION_MAJOR, PENNAROC_VERSION_MINOR, PENNAROC_VERSION_PATCH));
    form_.control("lblCopyright").setCaption(u"\u00A9 2026 " + product::makerName());
    form_.control("lblTitle").setCaption(product::applicationTitle());
    form_.control("lblFreeware").setCaption(u"This program is freeware.");
    form_.control("cmdOK").setCaption(u"Close");
    form_.control("lblProblem").setCaption(u"Any problem, question or suggestion, please contact:");
    form_.control("lblMail").setCaption(product::supportAddress());
}

void frmAbout::fitLabels()
{
    for (const char *name : {"lblTitle", "lblVersion", "lblCopyright", "lblFreeware", "lblProblem", "lblMail"}) {
        forms::Control &label = form_.control(name);
        forms::Twips place = label.place();
        const int needed = label.neededWidth();
        if (needed > place.width) {
            place.width = std::min(needed, form_.width() - RightMargin - place.left);
            label.setPlace(place);
        }
    }
}

void frmAbout::cmdOK_Click()
{
    form_.unload();
}

void frmAbout::lblMail_Click()
{
    // The result is not used: with no mail program the box simply stays.
    desktop_.ShellExecute(form_.handle(), u"open", u"mailto:" + product::supportAddress(), std::nullopt,
                          desktop_.ProgramFolder(), platform::SW_SHOW);
}
