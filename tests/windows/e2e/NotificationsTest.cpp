// Pennaroc.exe and what ACT! tells it or does to it, as a user meets it:
// ACT!'s notifications that its database closed (10) or that the current
// record changed (22) end the program, from its main window and from every
// modal window over it; a failure at each step of the start-up gives the
// error report with the step's label and line, after which the window opens
// with every action offered and none chosen; ACT! killed in the middle of a
// call gives error 462 at once, ACT! hung in one gives it after 5 s.
// Needs a display (CTest runs it under xvfb-run) and the test server.

#include "app/Form1.h"
#include "integrate/clsFrmIntegrate.h"
#include "settings/frmLocation.h"
#include "tests/windows/Check.h"
#include "tests/windows/TestServer.h"
#include "tests/windows/driver/Driver.h"

#include <optional>
#include <string>
#include <vector>

namespace {

using driver::Program;
using testserver::Control;

const forms::FormSpec &Main = app::Form1::layout();
const std::wstring ContactLine = L"\r\rPlease contact support@veltrane.example with this error message.";

HWND item(HWND window, std::string_view id)
{
    return driver::control(window, Main, id);
}

std::string narrow(const std::wstring &text)
{
    return check::narrow(text);
}

HWND waitForDialog(const Program &program, const std::wstring &caption)
{
    driver::WindowQuery query;
    query.caption = caption;
    query.menuBar = false;
    return driver::waitForWindow(program, query);
}

// The start-up's calls on a record, in order, with their VARIANT types.
std::vector<std::wstring> startupCalls(int row)
{
    return {L"ActEvent.Id1(VT_I4 0)",
            L"ActApp.OpenFile(VT_BSTR \"\")",
            L"ActApp.Views()",
            L"ActViews.Create(VT_I2 1, VT_BSTR \"CV\")",
            L"ContactView.Sales()",
            L"SalesList.GetCurrentRow()",
            L"SalesList.GetField(VT_I2 36, VT_I4|VT_BYREF " + std::to_wstring(row) + L")"};
}

// --- notifications -------------------------------------------------------------------

enum class Modal {
    None,
    About,
    Location,
    FolderBrowser,
    MessageBox,
    OpenFile,
    Integration,
    RestartQuestion,
    // Boxes of the start-up, before the main window shows.
    StartupReport,
    NoRecordMessage,
};

bool beforeMainWindow(Modal modal)
{
    return modal == Modal::StartupReport || modal == Modal::NoRecordMessage;
}

// Opens the modal window over the main window, as a user does; true once it
// is there.
bool openModal(Modal modal, const Program &program, HWND main, Control &control)
{
    switch (modal) {
    case Modal::None:
        return true;
    case Modal::StartupReport:
    case Modal::NoRecordMessage:
        return driver::waitForMessageBox(program).has_value();
    case Modal::About:
        driver::chooseMenu(main, Main, "mnuAbout");
        return waitForDialog(program, L"Pennaroc") != nullptr;
    case Modal::Location:
    case Modal::FolderBrowser: {
        driver::chooseMenu(main, Main, "mnuLocation");
        HWND location = waitForDialog(program, L"Default Attachment Location");
        if (!location || modal == Modal::Location)
            return location != nullptr;
        driver::press(driver::control(location, frmLocation::layout(), "cmdBrowse"));
        driver::WindowQuery browser;
        browser.menuBar = false;
        browser.not1 = location;
        return driver::waitForWindow(program, browser) != nullptr;
    }
    case Modal::MessageBox:
        // Open on an attachment that is not there says so.
        driver::press(item(main, "cmdOK"));
        return driver::waitForMessageBox(program).has_value();
    case Modal::OpenFile: {
        // Attach is chosen on a record without an attachment.
        driver::press(item(main, "cmdOK"));
        driver::WindowQuery open;
        open.caption = L"Open";
        open.menuBar = false;
        return driver::waitForWindow(program, open) != nullptr;
    }
    case Modal::Integration:
        driver::chooseMenu(main, Main, "mnuIntegrate");
        return waitForDialog(program, L"Integrate with ACT!") != nullptr;
    case Modal::RestartQuestion: {
        driver::chooseMenu(main, Main, "mnuIntegrate");
        HWND dialog = waitForDialog(program, L"Integrate with ACT!");
        if (!dialog)
            return false;
        const std::size_t before = control.calls().size();
        driver::press(driver::control(dialog, clsFrmIntegrate::layout(), "chkScreen_0"));
        // The change reached ACT! (registration and placement).
        driver::waitUntil([&] { return control.calls().size() >= before + 3; });
        driver::press(driver::control(dialog, clsFrmIntegrate::layout(), "cmdOK"));
        return driver::waitForMessageBox(program).has_value();
    }
    }
    return false;
}

// Either notification ends the program at once, whatever window is open:
// the program answers the event control (Id2), writes nothing, closes
// nothing in ACT!, opens nothing, and ends with status 0.
void eventsEndTheProgram()
{
    struct Case {
        const char *name;
        Modal modal;
        std::wstring details;
    };
    const std::wstring gone = L"Quote [[C:\\Nowhere\\Gone.pnrdoc]]";
    const Case cases[] = {
        {"main window", Modal::None, gone},
        {"About box", Modal::About, gone},
        {"location dialog", Modal::Location, gone},
        {"folder browser", Modal::FolderBrowser, gone},
        {"message box", Modal::MessageBox, gone},
        {"Open File dialog", Modal::OpenFile, L"Call back in May"},
        {"integration dialog", Modal::Integration, gone},
        {"restart question", Modal::RestartQuestion, gone},
        {"start-up error report", Modal::StartupReport, gone},
        {"no current record message", Modal::NoRecordMessage, gone},
    };
    for (const Case &c : cases) {
        const std::wstring &details = c.details;
        for (const std::int16_t event : {std::int16_t(10), std::int16_t(22)}) {
            check::Row row(std::string(c.name) + ", event " + std::to_string(event));
            driver::clearShellRequests();
            Control control;
            control.reset();
            const std::int32_t record = control.addRecord(details);
            control.setCurrentRow(c.modal == Modal::NoRecordMessage ? -1 : record);
            if (c.modal == Modal::StartupReport)
                control.inject(L"SalesList.GetField", testserver::Fail, L"Busy");
            Program program;
            HWND main = beforeMainWindow(c.modal) ? nullptr : driver::waitForMainWindow(program);
            if (!beforeMainWindow(c.modal) && !CHECK(main != nullptr))
                continue;
            if (!CHECK(openModal(c.modal, program, main, control)))
                continue;
            if (main && c.modal != Modal::None)
                CHECK(!IsWindowEnabled(main));
            control.clearCalls();
            control.raiseEvent(event);
            CHECK_EQ(program.exitStatus(15000), 0L);
            const std::vector<std::wstring> calls = control.calls();
            CHECK(!calls.empty() && calls.front() == L"ActEvent.Id2()");
            for (const std::wstring &call : calls) {
                CHECK(call.find(L"SetField") == std::wstring::npos);
                CHECK(call.find(L"ActApp.Command") == std::wstring::npos);
            }
            CHECK_EQ(narrow(control.details(record)), narrow(details));
            CHECK(driver::shellRequests().empty());
            // A start-up box ends the program without its main window.
            if (beforeMainWindow(c.modal))
                CHECK(calls == std::vector<std::wstring>{L"ActEvent.Id2()"});
        }
    }
}

// --- failures --------------------------------------------------------------------------

// A failure at each step of the start-up: the report names the failure, the
// start-up's label and the step's line; the calls stop at the failing one;
// then the window opens with every action offered and none chosen, and
// Cancel ends the program.
void startupFailures()
{
    struct Case {
        const char *name;
        void (*scene)(Control &);
        std::wstring error;   // the report's first line
        int line;
        std::size_t calls;    // how many of the start-up's calls were made
        bool linkRefused;
    };
    const Case cases[] = {
        {"event control Id1", [](Control &c) { c.inject(L"ActEvent.Id1", testserver::Fail, L"Not now"); },
         L"Error 440: 'Automation error (Id1: Not now)'", 11000, 1, false},
        {"event control Id3",
         [](Control &c) {
             c.refuseLink(true);
             c.inject(L"ActEvent.Id3", testserver::Fail, L"Not now");
         },
         L"Error 440: 'Automation error (Id3: Not now)'", 11040, 1, true},
        {"creating ACTOLE.APPOBJECT", [](Control &c) { c.refuseCreation(L"ACTOLE.APPOBJECT"); },
         L"Error 429: 'ActiveX component can't create object: the ACT! automation object \"ACTOLE.APPOBJECT\" "
         L"cannot be created (ACT! did not make it: Access denied (0x80070005))'",
         11240, 1, false},
        {"OpenFile", [](Control &c) { c.inject(L"ActApp.OpenFile", testserver::Fail, L"Database locked"); },
         L"Error 440: 'Automation error (OpenFile: Database locked)'", 11260, 2, false},
        {"Views", [](Control &c) { c.inject(L"ActApp.Views", testserver::Fail, L"Database locked"); },
         L"Error 440: 'Automation error (Views: Database locked)'", 11280, 3, false},
        {"Create", [](Control &c) { c.inject(L"ActViews.Create", testserver::Fail, L"Database locked"); },
         L"Error 440: 'Automation error (Create: Database locked)'", 11300, 4, false},
        {"Sales", [](Control &c) { c.inject(L"ContactView.Sales", testserver::Fail, L"Database locked"); },
         L"Error 440: 'Automation error (Sales: Database locked)'", 11320, 5, false},
        {"GetCurrentRow", [](Control &c) { c.inject(L"SalesList.GetCurrentRow", testserver::Fail, L"Busy"); },
         L"Error 440: 'Automation error (GetCurrentRow: Busy)'", 11340, 6, false},
        {"GetField", [](Control &c) { c.inject(L"SalesList.GetField", testserver::Fail, L"Busy"); },
         L"Error 440: 'Automation error (GetField: Busy)'", 11380, 7, false},
        {"GetField answers no text", [](Control &c) { c.inject(L"SalesList.GetField", testserver::TooLarge); },
         L"Error 13: 'Type mismatch: GetField answered VT_I4 where a text was expected'", 11380, 7, false},
    };
    for (const Case &c : cases) {
        check::Row row(c.name);
        Control control;
        control.reset();
        control.setCurrentRow(2);
        control.clearCalls();
        c.scene(control);
        Program program;
        const auto report = driver::waitForMessageBox(program);
        if (!CHECK(report.has_value()))
            continue;
        CHECK_EQ(narrow(report->title), std::string("Pennaroc error"));
        CHECK_EQ(narrow(report->text), narrow(c.error + L"\rin Form1: Sub Form_Load - Line # "
                                              + std::to_wstring(c.line) + ContactLine));
        CHECK_EQ(narrow(report->icon), std::string("none"));
        CHECK_EQ(report->buttonIds, std::vector<int>{IDOK});
        driver::WindowQuery mainQuery;
        mainQuery.menuBar = true;
        CHECK(driver::findWindow(program.id(), mainQuery) == nullptr);
        std::vector<std::wstring> expected = startupCalls(2);
        expected.resize(c.calls);
        if (c.linkRefused)
            expected.push_back(L"ActEvent.Id3()");
        CHECK_EQ(control.calls(), expected);
        driver::answer(*report, IDOK);

        HWND main = driver::waitForMainWindow(program);
        if (!CHECK(main != nullptr))
            continue;
        for (const char *option : {"optAction0", "optAction1", "optAction2"}) {
            check::Row optionRow(std::string(c.name) + ", " + option);
            const driver::ControlView seen = driver::view(item(main, option));
            CHECK(seen.enabled);
            CHECK_EQ(seen.check, BST_UNCHECKED);
        }
        driver::press(item(main, "cmdCancel"));
        CHECK_EQ(program.exitStatus(30000), 0L);
        // Nothing more reached ACT!.
        CHECK_EQ(control.calls(), expected);
        CHECK_EQ(narrow(control.details(2)), std::string("Quote sent [[C:\\Quotes\\Quote.txt]]"));
    }
}

// ACT! killed in the middle of a call: error 462, with the call's name, in
// the report of the procedure that made it; the program goes on, and ends
// without waiting on the dead host.
void hostKilled()
{
    enum class Where { Startup, Remove, Integration };
    struct Case {
        const char *name;
        Where where;
        std::wstring member;
        std::wstring text;    // of the report
        std::wstring title;
    };
    // The system's words for the broken call, as Wine gives them.
    const std::wstring gone = L"Error 462: 'The remote server machine does not exist or is unavailable (";
    const std::wstring failed = L": RPC call failed (0x800706BE)";
    const Case cases[] = {
        {"start-up, GetField", Where::Startup, L"SalesList.GetField",
         gone + L"GetField" + failed + L")'\rin Form1: Sub Form_Load - Line # 11380" + ContactLine, L"Pennaroc error"},
        {"Remove, SetField", Where::Remove, L"SalesList.SetField",
         gone + L"SetField" + failed
             + L"; ACT! went away without answering, so whether the Details field was changed is not known)'\r"
               L"in Form1: Sub cmdOK_Click - Line # 10280"
             + ContactLine,
         L"Pennaroc error"},
        {"integration dialog, AddAuxCommandToToolbar", Where::Integration, L"AuxCommands.AddAuxCommandToToolbar",
         gone + L"AddAuxCommandToToolbar" + failed
             + L"; ACT! went away without answering, so whether the command was given its place on the toolbar is "
               L"not known)'\rin frmIntegrate: Sub chkScreen_Click - Line # 15120"
             + ContactLine,
         L"Pennaroc"},
    };
    for (const Case &c : cases) {
        check::Row row(c.name);
        std::int32_t server = 0;
        std::optional<Program> started;
        {
            Control control;
            control.reset();
            server = control.processId();
            control.setCurrentRow(2);
            if (c.where == Where::Startup)
                control.inject(c.member, testserver::Die);
            started.emplace();
            if (c.where != Where::Startup) {
                HWND main = driver::waitForMainWindow(*started);
                if (!CHECK(main != nullptr))
                    continue;
                if (c.where == Where::Remove) {
                    driver::press(item(main, "optAction1"));
                    CHECK(driver::waitUntil(
                        [&] { return driver::view(item(main, "optAction1")).check == BST_CHECKED; }));
                    control.inject(c.member, testserver::Die);
                    driver::press(item(main, "cmdOK"));
                } else {
                    driver::chooseMenu(main, Main, "mnuIntegrate");
                    HWND dialog = waitForDialog(*started, L"Integrate with ACT!");
                    if (!CHECK(dialog != nullptr))
                        continue;
                    control.inject(c.member, testserver::Die);
                    driver::press(driver::control(dialog, clsFrmIntegrate::layout(), "chkScreen_0"));
                }
            }
        }
        const Program &program = *started;
        const auto report = driver::waitForMessageBox(program);
        if (!CHECK(report.has_value()))
            continue;
        CHECK_EQ(narrow(report->text), narrow(c.text));
        CHECK_EQ(narrow(report->title), narrow(c.title));
        CHECK_EQ(report->buttonIds, std::vector<int>{IDOK});
        driver::answer(*report, IDOK);
        CHECK(driver::waitGone(report->window));

        // The program goes on: its main window is there and takes Cancel.
        HWND main = driver::waitForMainWindow(program);
        if (!CHECK(main != nullptr))
            continue;
        if (c.where == Where::Integration) {
            HWND dialog = waitForDialog(program, L"Integrate with ACT!");
            if (CHECK(dialog != nullptr)) {
                driver::press(driver::control(dialog, clsFrmIntegrate::layout(), "cmdCancel"));
                CHECK(driver::waitGone(dialog));
            }
        }
        const ULONGLONG start = GetTickCount64();
        driver::press(item(main, "cmdCancel"));
        CHECK_EQ(program.exitStatus(30000), 0L);
        CHECK(GetTickCount64() - start < 5000);
        // A new server serves the next row.
        Control next;
        CHECK(next.processId() != server);
    }
}

// ACT! that stops answering in the middle of a call: after 5 s the call
// fails with 462 and says so (a write's outcome is not known), the report
// names the procedure and line, and the program goes on and ends at once,
// leaving the hung call behind.
void hostHangs()
{
    struct Case {
        const char *name;
        bool atStartup;
        std::wstring member;
        std::wstring text;
    };
    const std::wstring hung = L"Error 462: 'The remote server machine does not exist or is unavailable (";
    const Case cases[] = {
        {"start-up, GetField", true, L"SalesList.GetField",
         hung + L"GetField: ACT! did not answer within 5 s)'\rin Form1: Sub Form_Load - Line # 11380" + ContactLine},
        {"Remove, SetField", false, L"SalesList.SetField",
         hung + L"SetField: ACT! did not answer within 5 s, so whether the Details field was changed is not known)'\r"
                L"in Form1: Sub cmdOK_Click - Line # 10280"
             + ContactLine},
    };
    for (const Case &c : cases) {
        check::Row row(c.name);
        std::optional<Program> started;
        {
            Control control;
            control.reset();
            control.setCurrentRow(2);
            if (c.atStartup)
                control.inject(c.member, testserver::Hang);
            started.emplace();
            if (!c.atStartup) {
                HWND main = driver::waitForMainWindow(*started);
                if (!CHECK(main != nullptr))
                    continue;
                driver::press(item(main, "optAction1"));
                CHECK(driver::waitUntil([&] { return driver::view(item(main, "optAction1")).check == BST_CHECKED; }));
                control.inject(c.member, testserver::Hang);
                driver::press(item(main, "cmdOK"));
            }
        }
        const Program &program = *started;
        const ULONGLONG asked = GetTickCount64();
        const auto report = driver::waitForMessageBox(program);
        if (CHECK(report.has_value())) {
            // Not before the call's limit, and not long after it.
            CHECK(GetTickCount64() - asked >= 4000);
            CHECK(GetTickCount64() - asked < 15000);
            CHECK_EQ(narrow(report->text), narrow(c.text));
            CHECK_EQ(narrow(report->title), std::string("Pennaroc error"));
            driver::answer(*report, IDOK);
            HWND main = driver::waitForMainWindow(program);
            if (CHECK(main != nullptr)) {
                const ULONGLONG start = GetTickCount64();
                driver::press(item(main, "cmdCancel"));
                CHECK_EQ(program.exitStatus(30000), 0L);
                CHECK(GetTickCount64() - start < 5000);
            }
        }
        // The hung server ends, and a new one serves the next row.
        Control().quit();
    }
}

} // namespace

int main(int argc, char **argv)
{
    const testserver::EndServerAtExit endServer;
    return check::run(argc, argv,
                      {{"eventsEndTheProgram", eventsEndTheProgram},
                       {"startupFailures", startupFailures},
                       {"hostKilled", hostKilled},
                       {"hostHangs", hostHangs}});
}
