// Pennaroc.exe's About box (Help > About) and the main window's link to the
// maker's site, as a user meets them: the box's texts and version, the mail
// link opening a mail to the support address through the shell (by a
// click, Enter or Space), the ways to close it; the web link opening the
// site through the shell.
// Needs a display (CTest runs it under xvfb-run) and the test server.

#include "about/frmAbout.h"
#include "app/Form1.h"
#include "tests/windows/Check.h"
#include "tests/windows/TestServer.h"
#include "tests/windows/driver/Driver.h"

#include <string>
#include <vector>

namespace {

using driver::Program;
using testserver::Control;

const forms::FormSpec &Main = app::Form1::layout();
const forms::FormSpec &About = frmAbout::layout();
const std::wstring MailRequest = L"mailto:support@veltrane.example";
const std::wstring SiteRequest = L"https://www.veltrane.example/";

std::string narrow(const std::wstring &text)
{
    return check::narrow(text);
}

HWND mainItem(HWND window, std::string_view id)
{
    return driver::control(window, Main, id);
}
HWND aboutItem(HWND box, std::string_view id)
{
    return driver::control(box, About, id);
}

// Opens the About box over the main window.
HWND openAbout(const Program &program, HWND main)
{
    driver::chooseMenu(main, Main, "mnuAbout");
    driver::WindowQuery query;
    query.caption = L"Pennaroc";
    query.menuBar = false;
    return driver::waitForWindow(program, query);
}

// Moves the keyboard focus with Tab until it is on target; false when Tab
// never reaches it.
bool tabTo(HWND window, HWND target)
{
    for (int presses = 0; presses < 8 && driver::focusOf(window) != target; ++presses)
        driver::pressKey(window, VK_TAB);
    return driver::focusOf(window) == target;
}

// The version the executable's version information gives, as "a.b.c".
std::wstring fileVersion(const std::wstring &path)
{
    DWORD ignored = 0;
    std::vector<BYTE> data(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    VS_FIXEDFILEINFO *info = nullptr;
    UINT size = 0;
    if (data.empty() || !GetFileVersionInfoW(path.c_str(), 0, DWORD(data.size()), data.data())
        || !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void **>(&info), &size) || !info)
        return {};
    return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionMS))
        + L"." + std::to_wstring(HIWORD(info->dwFileVersionLS));
}

// The box's texts, each label whole inside the box, Close focused, the box
// centred on the screen over the disabled main window.
void texts()
{
    Control control;
    control.reset();
    Program program;
    HWND main = driver::waitForMainWindow(program);
    if (!CHECK(main != nullptr))
        return;
    HWND box = openAbout(program, main);
    if (!CHECK(box != nullptr))
        return;
    CHECK_EQ(driver::text(box), std::wstring(L"Pennaroc"));
    CHECK_EQ(GetWindow(box, GW_OWNER), main);
    CHECK(!IsWindowEnabled(main));

    struct Label {
        const char *id;
        std::wstring text;
    };
    const Label labels[] = {
        {"lblTitle", L"Pennaroc"},
        {"lblVersion", L"Version 1.0.0"},
        {"lblCopyright", L"\u00a9 2026 Veltrane"},
        {"lblFreeware", L"This program is freeware."},
        {"lblProblem", L"Any problem, question or suggestion, please contact:"},
        {"lblMail", L"support@veltrane.example"},
        {"cmdOK", L"Close"},
    };
    RECT client;
    GetClientRect(box, &client);
    for (const Label &label : labels) {
        check::Row row(label.id);
        const driver::ControlView seen = driver::view(aboutItem(box, label.id));
        CHECK_EQ(narrow(seen.text), narrow(label.text));
        CHECK(seen.visible);
        CHECK(seen.enabled);
        CHECK(seen.place.left >= 0 && seen.place.right <= client.right);
        CHECK(seen.place.top >= 0 && seen.place.bottom <= client.bottom);
    }
    // The version shown is the executable's own.
    CHECK_EQ(narrow(L"Version " + fileVersion(driver::programFolder() + L"Pennaroc.exe")),
             narrow(driver::text(aboutItem(box, "lblVersion"))));
    CHECK_EQ(driver::focusOf(box), aboutItem(box, "cmdOK"));
    RECT frame;
    GetWindowRect(box, &frame);
    CHECK(std::abs((frame.left + frame.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2) <= 2);
    CHECK(std::abs((frame.top + frame.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2) <= 2);
    const LONG style = GetWindowLongW(box, GWL_STYLE);
    CHECK((style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)) == 0);

    driver::press(aboutItem(box, "cmdOK"));
    CHECK(driver::waitGone(box));
    CHECK(IsWindowEnabled(main));
    driver::press(mainItem(main, "cmdCancel"));
    CHECK_EQ(program.exitStatus(30000), 0L);
}

enum class Activate { Click, Enter, Space };

void activate(HWND window, HWND link, Activate how)
{
    switch (how) {
    case Activate::Click:
        CHECK(driver::click(link));
        break;
    case Activate::Enter:
    case Activate::Space:
        CHECK(tabTo(window, link));
        CHECK(driver::pressKey(window, how == Activate::Enter ? VK_RETURN : VK_SPACE));
        break;
    }
}

// The mail link asks the shell for a mail to the support address, once per
// click, Enter or Space, and the box stays open; a Space or Enter with a
// modifier held opens nothing.
void mailLink()
{
    struct Case {
        const char *name;
        Activate how;
    };
    const Case cases[] = {{"click", Activate::Click}, {"Enter", Activate::Enter}, {"Space", Activate::Space}};
    Control control;
    control.reset();
    Program program;
    HWND main = driver::waitForMainWindow(program);
    if (!CHECK(main != nullptr))
        return;
    HWND box = openAbout(program, main);
    if (!CHECK(box != nullptr))
        return;
    HWND link = aboutItem(box, "lblMail");
    for (const Case &c : cases) {
        check::Row row(c.name);
        driver::clearShellRequests();
        activate(box, link, c.how);
        CHECK_EQ(driver::waitForShellRequests(1), std::vector<std::wstring>{MailRequest});
        CHECK(IsWindowVisible(box));
        CHECK(program.running());
    }
    {
        check::Row row("Shift+Enter");
        driver::clearShellRequests();
        CHECK(tabTo(box, link));
        CHECK(driver::pressKey(box, VK_RETURN, {VK_SHIFT}));
        CHECK(driver::waitForShellRequests(1, 1000).empty());
    }
    driver::press(aboutItem(box, "cmdOK"));
    CHECK(driver::waitGone(box));
    driver::press(mainItem(main, "cmdCancel"));
    CHECK_EQ(program.exitStatus(30000), 0L);
    CHECK(driver::shellRequests().empty());
}

// Close, Enter, Escape and the close box each close the box and give the
// main window back; it opens afresh each time, with Close focused.
void closing()
{
    enum class Way { CloseButton, Enter, Escape, CloseBox };
    struct Case {
        const char *name;
        Way way;
    };
    const Case cases[] = {
        {"Close", Way::CloseButton}, {"Enter", Way::Enter}, {"Escape", Way::Escape}, {"Alt+F4", Way::CloseBox}};
    Control control;
    control.reset();
    driver::clearShellRequests();
    Program program;
    HWND main = driver::waitForMainWindow(program);
    if (!CHECK(main != nullptr))
        return;
    for (const Case &c : cases) {
        check::Row row(c.name);
        HWND box = openAbout(program, main);
        if (!CHECK(box != nullptr))
            return;
        CHECK_EQ(driver::focusOf(box), aboutItem(box, "cmdOK"));
        switch (c.way) {
        case Way::CloseButton:
            driver::press(aboutItem(box, "cmdOK"));
            break;
        case Way::Enter:
            CHECK(driver::pressKey(box, VK_RETURN));
            break;
        case Way::Escape:
            CHECK(driver::pressKey(box, VK_ESCAPE));
            break;
        case Way::CloseBox:
            CHECK(driver::pressKey(box, VK_F4, {VK_MENU}));
            break;
        }
        CHECK(driver::waitGone(box));
        CHECK(IsWindowEnabled(main));
        CHECK(IsWindowVisible(main));
        CHECK(program.running());
    }
    driver::press(mainItem(main, "cmdCancel"));
    CHECK_EQ(program.exitStatus(30000), 0L);
    CHECK(driver::shellRequests().empty());
}

// The main window's link asks the shell for the maker's site, by a click,
// Enter or Space; the window stays, its actions as they were.
void webLink()
{
    struct Case {
        const char *name;
        Activate how;
    };
    const Case cases[] = {{"click", Activate::Click}, {"Enter", Activate::Enter}, {"Space", Activate::Space}};
    Control control;
    control.reset();
    control.setCurrentRow(2);
    Program program;
    HWND main = driver::waitForMainWindow(program);
    if (!CHECK(main != nullptr))
        return;
    HWND link = mainItem(main, "lblLink");
    control.clearCalls();
    for (const Case &c : cases) {
        check::Row row(c.name);
        driver::clearShellRequests();
        activate(main, link, c.how);
        CHECK_EQ(driver::waitForShellRequests(1), std::vector<std::wstring>{SiteRequest});
        CHECK(IsWindowVisible(main));
        CHECK(program.running());
        CHECK_EQ(driver::view(mainItem(main, "optAction0")).check, BST_CHECKED);
    }
    // Opening the site asks nothing of ACT!.
    CHECK(control.calls().empty());
    driver::press(mainItem(main, "cmdCancel"));
    CHECK_EQ(program.exitStatus(30000), 0L);
}

} // namespace

int main(int argc, char **argv)
{
    const testserver::EndServerAtExit endServer;
    return check::run(argc, argv,
                      {{"texts", texts}, {"mailLink", mailLink}, {"closing", closing}, {"webLink", webLink}});
}
