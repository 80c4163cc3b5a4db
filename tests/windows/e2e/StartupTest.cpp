// Pennaroc.exe starting against the test automation server, as a user meets
// it: its main window (controls, places, captions, enabled and selected
// states) on records with and without an attachment; the boxes that end it
// before its window (a second copy, no link to ACT!, no current record);
// Cancel; the question before opening an attachment that is a program.
// Needs a display (CTest runs it under xvfb-run) and the test server.

#include "app/Form1.h"
#include "tests/windows/Check.h"
#include "tests/windows/TestServer.h"
#include "tests/windows/driver/Driver.h"

#include <string>

namespace {

using driver::Program;
using testserver::Control;

const forms::FormSpec &Main = app::Form1::layout();

HWND item(HWND window, std::string_view id)
{
    return driver::control(window, Main, id);
}

int pixels(int twips)
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return MulDiv(twips, dpi, 1440);
}

// Every control of the main window where the table puts it, with its
// caption; the window's client area the table's size, centred on the
// screen, with no minimise or maximise button.
void checkMainWindowLayout(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    CHECK_EQ(client.right, LONG(pixels(Main.width)));
    CHECK_EQ(client.bottom, LONG(pixels(Main.height)));
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    CHECK((style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)) == 0);
    CHECK((style & WS_SYSMENU) != 0);
    RECT frame;
    GetWindowRect(window, &frame);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    CHECK(std::abs((frame.left + frame.right) / 2 - screenWidth / 2) <= 2);
    CHECK(std::abs((frame.top + frame.bottom) / 2 - screenHeight / 2) <= 2);

    for (const forms::ControlSpec &design : Main.controls) {
        if (design.kind == forms::Kind::Menu || design.kind == forms::Kind::MenuItem
            || design.kind == forms::Kind::Separator || design.kind == forms::Kind::Timer)
            continue;
        check::Row row(std::string(design.id));
        HWND shown = item(window, design.id);
        if (!CHECK(shown != nullptr))
            continue;
        const driver::ControlView seen = driver::view(shown);
        int left = design.place.left;
        int top = design.place.top;
        if (!design.container.empty()) {
            for (const forms::ControlSpec &frameDesign : Main.controls) {
                if (frameDesign.id == design.container) {
                    left += frameDesign.place.left;
                    top += frameDesign.place.top;
                }
            }
        }
        CHECK(std::abs(seen.place.left - pixels(left)) <= 1);
        CHECK(std::abs(seen.place.top - pixels(top)) <= 1);
        CHECK(std::abs((seen.place.right - seen.place.left) - pixels(design.place.width)) <= 1);
        if (design.kind != forms::Kind::Line)
            CHECK(std::abs((seen.place.bottom - seen.place.top) - pixels(design.place.height)) <= 1);
        CHECK(seen.visible);
        if (design.kind != forms::Kind::Link)
            CHECK_EQ(check::narrow(seen.text), check::narrow(std::wstring(design.caption.begin(), design.caption.end())));
    }
    CHECK_EQ(driver::text(item(window, "lblLink")), std::wstring(L"www.veltrane.example"));
    // The window has its menu bar (under Wine another process cannot read
    // the menus' texts).
    CHECK(GetMenu(window) != nullptr);
}

// The main window and its three actions, for Details texts with a marker, a
// marker with no end, plain text, spaces only and nothing.
void mainWindow()
{
    struct Case {
        const char *name;
        std::wstring details;
        bool attached;
    };
    const Case cases[] = {
        {"marker found", L"Quote sent [[C:\\Quotes\\Quote.pnrdoc]] on Monday", true},
        {"non-ASCII path", L"[[C:\\Données\\Angebot Ä.pnrdoc]]", true},
        {"marker with no end", L"Quote sent [[C:\\Quotes\\Quote.pnrdoc", false},
        {"no marker", L"Call back in May", false},
        {"spaces only", L"     ", false},
        {"empty", L"", false},
    };
    bool layoutChecked = false;
    for (const Case &c : cases) {
        check::Row row(c.name);
        Control control;
        control.reset();
        const std::int32_t record = control.addRecord(c.details);
        control.setCurrentRow(record);
        Program program;
        HWND window = driver::waitForMainWindow(program);
        if (!CHECK(window != nullptr))
            continue;
        CHECK_EQ(driver::text(window), std::wstring(L"Pennaroc"));
        if (!layoutChecked) {
            checkMainWindowLayout(window);
            layoutChecked = true;
        }
        const driver::ControlView open = driver::view(item(window, "optAction0"));
        const driver::ControlView remove = driver::view(item(window, "optAction1"));
        const driver::ControlView attach = driver::view(item(window, "optAction2"));
        CHECK_EQ(open.enabled, c.attached);
        CHECK_EQ(remove.enabled, c.attached);
        CHECK(attach.enabled);
        CHECK_EQ(open.check, c.attached ? BST_CHECKED : BST_UNCHECKED);
        CHECK_EQ(remove.check, BST_UNCHECKED);
        CHECK_EQ(attach.check, c.attached ? BST_UNCHECKED : BST_CHECKED);
        CHECK(driver::view(item(window, "cmdOK")).enabled);
        // The record is read, never written, at start.
        CHECK_EQ(check::narrow(control.details(record)), check::narrow(c.details));
        driver::press(item(window, "cmdCancel"));
        CHECK_EQ(program.exitStatus(30000), 0L);
    }
}

// A second copy says so and ends; the first one stays. A killed copy does
// not stop the next one from starting.
void secondCopy()
{
    Control control;
    control.reset();
    control.setCurrentRow(2);
    {
        Program killed;
        CHECK(driver::waitForMainWindow(killed) != nullptr);
        killed.kill();
    }
    Program program;
    HWND window = driver::waitForMainWindow(program);
    if (!CHECK(window != nullptr))
        return;
    {
        Program second;
        const auto box = driver::waitForMessageBox(second);
        if (CHECK(box.has_value())) {
            CHECK_EQ(box->title, std::wstring(L"Pennaroc"));
            CHECK_EQ(box->text,
                     std::wstring(L"Another instance of Pennaroc is already open. This instance will now close."));
            CHECK_EQ(box->icon, std::wstring(L"none"));
            CHECK_EQ(box->buttonIds.size(), std::size_t(1));
            driver::answer(*box, IDOK);
        }
        CHECK_EQ(second.exitStatus(30000), 0L);
        // It showed no main window of its own.
    }
    CHECK(program.running());
    CHECK(IsWindowVisible(window));

    // ACT! closes its database: the program ends.
    control.raiseEvent(10);
    CHECK_EQ(program.exitStatus(30000), 0L);
}

// The boxes that end the program before its window shows: no link to ACT!
// (the event control answers it is not linked; whether ACT! itself is
// reachable decides which words), and no current record.
void startupBoxes()
{
    struct Case {
        const char *name;
        void (*scene)(Control &);
        std::wstring title;
        std::wstring text;
        std::wstring icon;
    };
    const Case cases[] = {
        {"no link, ACT! not registered", [](Control &c) { c.refuseLink(true); }, L"Pennaroc",
         L"Problem communicating with ACT!. Please run actreg.exe in ACT folder and try again.", L"none"},
        {"no link, no database open", [](Control &c) { c.setDatabaseOpen(false); },
         L"Pennaroc. More at www.veltrane.example", L"Please open a database before running Pennaroc", L"none"},
        {"no current record", [](Control &c) { c.setCurrentRow(-1); }, L"Pennaroc",
         L"You need to select a Sale/Opportunity record before running Pennaroc!", L"exclamation"},
    };
    for (const Case &c : cases) {
        check::Row row(c.name);
        Control control;
        control.reset();
        c.scene(control);
        Program program;
        const auto box = driver::waitForMessageBox(program);
        if (!CHECK(box.has_value()))
            continue;
        CHECK_EQ(check::narrow(box->title), check::narrow(c.title));
        CHECK_EQ(check::narrow(box->text), check::narrow(c.text));
        CHECK_EQ(check::narrow(box->icon), check::narrow(c.icon));
        CHECK_EQ(box->buttonIds, std::vector<int>{IDOK});
        CHECK_EQ(box->defaultButton, IDOK);
        driver::WindowQuery main;
        main.menuBar = true;
        CHECK(driver::findWindow(program.id(), main) == nullptr);
        driver::answer(*box, IDOK);
        CHECK_EQ(program.exitStatus(30000), 0L);
    }
}

// Cancel ends the program, also from the keyboard (Escape); the next copy
// starts as the only one.
void cancel()
{
    Control control;
    control.reset();
    for (const bool byKey : {false, true}) {
        check::Row row(byKey ? "Escape" : "Cancel");
        Program program;
        HWND window = driver::waitForMainWindow(program);
        if (!CHECK(window != nullptr))
            return;
        if (byKey)
            CHECK(driver::pressKey(window, VK_ESCAPE));
        else
            driver::press(item(window, "cmdCancel"));
        CHECK_EQ(program.exitStatus(30000), 0L);
    }
}

// An attachment that is a program (a batch file that leaves a mark when it
// runs) is opened only after Yes: the question is a Yes/No box with No the
// default; No keeps the window and runs nothing, Yes runs it and ends.
void programQuestion()
{
    const std::wstring script = driver::tempFolder() + L"Pennaroc quote.bat";
    const std::wstring mark = driver::tempFolder() + L"Pennaroc ran.txt";
    if (!CHECK(driver::writeFile(script, "@echo ran> \"" + check::narrow(mark) + "\"\r\n")))
        return;
    for (const int answer : {IDNO, IDYES}) {
        check::Row row(answer == IDYES ? "Yes" : "No");
        DeleteFileW(mark.c_str());
        Control control;
        control.reset();
        control.setCurrentRow(control.addRecord(L"See [[" + script + L"]]"));
        Program program;
        HWND window = driver::waitForMainWindow(program);
        if (!CHECK(window != nullptr))
            return;
        driver::press(item(window, "cmdOK"));
        const auto box = driver::waitForMessageBox(program);
        if (!CHECK(box.has_value()))
            return;
        CHECK(box->text.rfind(L"The attachment is a program:\r\r" + script + L"\r\r", 0) == 0);
        CHECK_EQ(box->title, std::wstring(L"Pennaroc"));
        CHECK_EQ(box->buttonIds, (std::vector<int>{IDYES, IDNO}));
        CHECK_EQ(box->defaultButton, IDNO);
        CHECK_EQ(check::narrow(box->icon), std::string("exclamation"));
        driver::answer(*box, answer);
        if (answer == IDNO) {
            Sleep(1500);
            CHECK(program.running());
            CHECK(IsWindowVisible(window));
            CHECK(GetFileAttributesW(mark.c_str()) == INVALID_FILE_ATTRIBUTES);
            driver::press(item(window, "cmdCancel"));
            CHECK_EQ(program.exitStatus(30000), 0L);
        } else {
            CHECK_EQ(program.exitStatus(30000), 0L);
            CHECK(driver::waitUntil([&] { return GetFileAttributesW(mark.c_str()) != INVALID_FILE_ATTRIBUTES; }));
        }
    }
    DeleteFileW(mark.c_str());
    DeleteFileW(script.c_str());
}

} // namespace

int main(int argc, char **argv)
{
    const testserver::EndServerAtExit endServer;
    return check::run(argc, argv,
                      {{"mainWindow", mainWindow},
                       {"secondCopy", secondCopy},
                       {"startupBoxes", startupBoxes},
                       {"cancel", cancel},
                       {"programQuestion", programQuestion}});
}
