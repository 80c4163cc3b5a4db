// The integration dialog of Pennaroc.exe (Options > Integrate with ACT!...)
// against the test automation server, as a user meets it: its texts, its
// boxes as ACT! has the command placed, each box change as the registration
// and placement calls that reach ACT! (with their VARIANT types), a refused
// registration, and Close with the restart question: No goes back to the
// main window, Yes closes ACT! with command 150, opens its database again
// through the shell and ends the program on the second tick of its timer.
// The French texts come from IntegrateEntry.exe, the dialog on its own in
// the language its command line names.
// Needs a display (CTest runs it under xvfb-run) and the test server.

#include "app/Form1.h"
#include "integrate/clsFrmIntegrate.h"
#include "tests/windows/Check.h"
#include "tests/windows/TestServer.h"
#include "tests/windows/driver/Driver.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using driver::Program;
using testserver::Control;

const forms::FormSpec &Main = app::Form1::layout();
const forms::FormSpec &Dialog = clsFrmIntegrate::layout();
const std::wstring Name = L"Pennaroc";
const std::wstring Database = L"C:\\ACT\\Database\\Demo.dbf";

// What a language shows and says.
struct Texts {
    std::wstring caption;
    std::wstring toolbarFrame;
    std::wstring menuFrame;
    std::vector<std::wstring> views;
    std::wstring close;
    std::wstring cancel;
    std::wstring restartHint;
    std::wstring contactLine;
    std::wstring tooltipPrefix;
    std::wstring question;
    std::wstring cannotAdd;
};

const Texts English{
    L"Integrate with ACT!",
    L"Toolbar Button added to the following Views :",
    L"Menu Item added to the following Views :",
    {L"Contacts", L"Contact List", L"Groups", L"Task List", L"Calendars", L"E-mail"},
    L"&Close",
    L"&Cancel",
    L"You will need to re-start ACT! to see the changes.",
    L"Please contact support@veltrane.example with this error message.",
    L"Click to launch ",
    L"You need to re-start ACT! for the changes to take effect!\r\nDo you want to re-start it now?",
    L"Can't add icon or menu item automatically. You will need to proceed manually.",
};

const Texts French{
    L"Int\u00e9gration \u00e0 ACT!",
    L"Bouton ajout\u00e9 \u00e0 la barre d'outils des \u00e9crans suivants : ",
    L"Entr\u00e9e ajout\u00e9e au menu Outils des \u00e9crans suivants :",
    {L"Contacts", L"Liste des contacts", L"Groupes", L"Liste des t\u00e2ches", L"Agendas", L"E-mail"},
    L"&Fermer",
    L"&Annuler",
    L"Vous devrez red\u00e9marrer ACT! pour que les changements soient pris en compte.",
    L"S.V.P. contactez support@veltrane.example avec ce message.",
    L"Cliquez pour lancer ",
    L"Vous devez red\u00e9marrer ACT! pour que les changements soient pris en compte!\r\n"
    L"Voulez-vous red\u00e9marrez ACT! maintenant?",
    L"Impossible d'ajouter l'ic\u00f4ne ou l'entr\u00e9e du menu. Vous devrez le faire manuellement.",
};

HWND item(HWND window, const forms::FormSpec &layout, const std::string &id)
{
    return driver::control(window, layout, id);
}
HWND box(HWND dialog, int index)
{
    return item(dialog, Dialog, "chkScreen_" + std::to_string(index));
}
HWND label(HWND dialog, int index)
{
    return item(dialog, Dialog, "lblScreen_" + std::to_string(index));
}

std::string narrow(const std::wstring &text)
{
    return check::narrow(text);
}

// The folder of Pennaroc.exe as the program writes it: no closing backslash.
std::wstring programFolder()
{
    std::wstring folder = driver::programFolder();
    folder.pop_back();
    return folder;
}

// --- what reaches ACT! -----------------------------------------------------------

std::wstring placementCall(const wchar_t *member, int view)
{
    return L"AuxCommands." + std::wstring(member) + L"(VT_I2 " + std::to_wstring(view) + L", VT_BSTR \"" + Name
        + L"\")";
}
const std::wstring ExistsCall = L"AuxCommands.AuxCommandExists(VT_BSTR \"Pennaroc\")";

// The registration the program makes from executable (its file's base
// name) in the program folder, with the tooltip's words.
std::wstring registrationCall(const std::wstring &executable, const std::wstring &tooltipPrefix)
{
    const std::wstring folder = programFolder();
    return L"AuxCommands.AddAuxCommand(VT_BSTR \"Pennaroc\", VT_BSTR \"" + folder + L"\\" + executable
        + L".EXE\", VT_BSTR \"" + folder + L"\", VT_BSTR \"Pennaroc\", VT_BSTR \"" + tooltipPrefix
        + L"Pennaroc\", VT_BSTR \"" + folder + L"\\" + executable + L".ico\", VT_BSTR \"" + folder + L"\\"
        + executable + L"32.ico\", VT_I2 1)";
}
std::wstring registrationValues(const std::wstring &executable, const std::wstring &tooltipPrefix)
{
    const std::wstring folder = programFolder();
    return L"Pennaroc|" + folder + L"\\" + executable + L".EXE|" + folder + L"|Pennaroc|" + tooltipPrefix
        + L"Pennaroc|" + folder + L"\\" + executable + L".ico|" + folder + L"\\" + executable + L"32.ico|1";
}

// Where ACT! has the command before the dialog opens: views (1 to 6) with
// it on the toolbar and in the Tools menu.
struct Placed {
    bool registered = false;
    std::set<int> toolbar;
    std::set<int> menu;
};

// Sets ACT! up as an earlier session left it, through ACT!'s own commands
// object, and forgets those calls.
void prepare(Control &control, const Placed &placed)
{
    {
        host::com::Host act;
        auto aux = act.createAuxCommands();
        if (placed.registered)
            aux->AddAuxCommand(Name, L"C:\\Old\\Pennaroc.EXE", L"C:\\Old", Name, L"Click to launch Pennaroc",
                               L"C:\\Old\\Pennaroc.ico", L"C:\\Old\\Pennaroc32.ico", 1);
        for (int view : placed.toolbar)
            CHECK_EQ(aux->AddAuxCommandToToolbar(std::int16_t(view), Name), 0);
        for (int view : placed.menu)
            CHECK_EQ(aux->AddAuxCommandToToolsMenu(std::int16_t(view), Name), 0);
    }
    control.clearCalls();
}

// Where ACT! has the command now (read without leaving calls behind).
Placed placedNow(Control &control)
{
    Placed now;
    {
        host::com::Host act;
        auto aux = act.createAuxCommands();
        now.registered = aux->AuxCommandExists(Name) != 0;
        for (int view = 1; view <= 6; ++view) {
            if (aux->AuxCommandExistsInToolbar(std::int16_t(view), Name))
                now.toolbar.insert(view);
            if (aux->AuxCommandExistsInToolsMenu(std::int16_t(view), Name))
                now.menu.insert(view);
        }
    }
    control.clearCalls();
    return now;
}

void checkPlaced(Control &control, const Placed &expected)
{
    const Placed now = placedNow(control);
    CHECK_EQ(now.registered, expected.registered);
    CHECK_EQ(std::vector<int>(now.toolbar.begin(), now.toolbar.end()),
             std::vector<int>(expected.toolbar.begin(), expected.toolbar.end()));
    CHECK_EQ(std::vector<int>(now.menu.begin(), now.menu.end()),
             std::vector<int>(expected.menu.begin(), expected.menu.end()));
}

// The calls with which the dialog reads the boxes from ACT!, the boxes
// showing what shown says: each box is set to what ACT! reports, and a box
// that changes so runs its handling, which places the command there again
// or takes it away (the command being registered).
std::vector<std::wstring> loadCalls(const Placed &placed, const Placed &shown = {})
{
    std::vector<std::wstring> calls;
    const auto read = [&](const wchar_t *exists, const wchar_t *add, const wchar_t *remove, const std::set<int> &in,
                          const std::set<int> &seen) {
        for (int view = 1; view <= 6; ++view) {
            calls.push_back(placementCall(exists, view));
            if (in.count(view) != seen.count(view)) {
                calls.push_back(ExistsCall);
                calls.push_back(placementCall(in.count(view) ? add : remove, view));
            }
        }
    };
    read(L"AuxCommandExistsInToolbar", L"AddAuxCommandToToolbar", L"RemoveAuxCommandFromToolbar", placed.toolbar,
         shown.toolbar);
    read(L"AuxCommandExistsInToolsMenu", L"AddAuxCommandToToolsMenu", L"RemoveAuxCommandFromToolsMenu", placed.menu,
         shown.menu);
    return calls;
}

std::vector<std::wstring> callsOnce(Control &control, std::size_t count)
{
    std::vector<std::wstring> calls;
    driver::waitUntil([&] { return (calls = control.calls()).size() >= count; });
    return calls;
}

void checkCalls(Control &control, const std::vector<std::wstring> &expected)
{
    const std::vector<std::wstring> calls = callsOnce(control, expected.size());
    CHECK_EQ(calls, expected);
}

// --- the windows -------------------------------------------------------------------

struct Running {
    Program program;
    HWND main = nullptr;
    HWND dialog = nullptr;
};

HWND waitForDialog(const Program &program, const std::wstring &caption)
{
    driver::WindowQuery query;
    query.caption = caption;
    query.menuBar = false;
    return driver::waitForWindow(program, query);
}

// Pennaroc on the scene's record, with its integration dialog open and the
// server's calls cleared.
bool openDialog(Running &running, Control &control)
{
    running.main = driver::waitForMainWindow(running.program);
    if (!CHECK(running.main != nullptr))
        return false;
    control.clearCalls();
    driver::chooseMenu(running.main, Main, "mnuIntegrate");
    running.dialog = waitForDialog(running.program, English.caption);
    return CHECK(running.dialog != nullptr);
}

// Every text of the dialog in a language, and its controls in order: in each
// row of a frame, box, label, box, label, box, label from left to right
// without overlapping, inside the frame; the buttons right of the frames;
// everything inside the dialog.
void checkDialogTexts(HWND dialog, const Texts &texts)
{
    CHECK_EQ(narrow(driver::text(dialog)), narrow(texts.caption));
    CHECK_EQ(narrow(driver::text(item(dialog, Dialog, "Frame1_0"))), narrow(texts.toolbarFrame));
    CHECK_EQ(narrow(driver::text(item(dialog, Dialog, "Frame1_1"))), narrow(texts.menuFrame));
    for (int i = 0; i < clsFrmIntegrate::BoxCount; ++i) {
        check::Row row("view " + std::to_string(i));
        CHECK_EQ(narrow(driver::text(label(dialog, i))), narrow(texts.views[std::size_t(i % 6)]));
        CHECK(driver::view(label(dialog, i)).visible);
        CHECK(driver::view(box(dialog, i)).visible);
        CHECK_EQ(driver::text(box(dialog, i)), std::wstring());
    }
    CHECK_EQ(narrow(driver::text(item(dialog, Dialog, "cmdOK"))), narrow(texts.close));
    CHECK_EQ(narrow(driver::text(item(dialog, Dialog, "cmdCancel"))), narrow(texts.cancel));
    CHECK_EQ(narrow(driver::text(item(dialog, Dialog, "lblRestart"))), narrow(texts.restartHint));

    RECT client;
    GetClientRect(dialog, &client);
    const auto inside = [](const RECT &inner, const RECT &outer) {
        return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right
               && inner.bottom <= outer.bottom;
    };
    LONG framesRight = 0;
    for (int f = 0; f < 2; ++f) {
        const RECT frame = driver::view(item(dialog, Dialog, "Frame1_" + std::to_string(f))).place;
        framesRight = std::max(framesRight, frame.right);
        CHECK(inside(frame, client));
        for (int r = 0; r < 2; ++r) {
            LONG right = frame.left;
            for (int c = 0; c < 3; ++c) {
                const int i = f * 6 + r * 3 + c;
                check::Row row("place of view " + std::to_string(i));
                const RECT boxPlace = driver::view(box(dialog, i)).place;
                const RECT labelPlace = driver::view(label(dialog, i)).place;
                CHECK(boxPlace.left >= right);
                CHECK(labelPlace.left >= boxPlace.right);
                right = labelPlace.right;
                CHECK(inside(boxPlace, frame));
                CHECK(inside(labelPlace, frame));
            }
        }
    }
    for (const char *button : {"cmdOK", "cmdCancel"}) {
        const RECT place = driver::view(item(dialog, Dialog, button)).place;
        CHECK(place.left >= framesRight);
        CHECK(inside(place, client));
    }
    CHECK(inside(driver::view(item(dialog, Dialog, "lblRestart")).place, client));
}

// The boxes as a user sees them: checked and enabled, one letter each.
std::string boxStates(HWND dialog)
{
    std::string states;
    for (int i = 0; i < clsFrmIntegrate::BoxCount; ++i) {
        const driver::ControlView seen = driver::view(box(dialog, i));
        states += seen.check == BST_CHECKED ? (seen.enabled ? 'X' : 'x') : (seen.enabled ? 'O' : 'o');
        if (i == 5)
            states += '/';
    }
    return states;
}

void cancelDialog(Running &running)
{
    driver::press(item(running.dialog, Dialog, "cmdCancel"));
    CHECK(driver::waitGone(running.dialog));
}

// Ends the program from its main window as a user does.
void endProgram(Running &running)
{
    driver::press(item(running.main, Main, "cmdCancel"));
    CHECK_EQ(running.program.exitStatus(30000), 0L);
}

// --- the cases ---------------------------------------------------------------------

// The dialog in English, over the main window, which it disables: its
// texts, the first box focused, and the boxes as ACT! has the command: only
// the Contacts view's two boxes can be changed, every box shows where the
// command is. Reading them places the command again where it is found. Cancel
// asks nothing, changes nothing, and gives the main window back.
void englishDialog()
{
    struct Case {
        const char *name;
        Placed placed;
        std::string states; // toolbar boxes / menu boxes, X checked, O not, lower case disabled
    };
    const Case cases[] = {
        {"nowhere", {}, "Oooooo/Oooooo"},
        {"registered only", {true, {}, {}}, "Oooooo/Oooooo"},
        {"Contacts toolbar", {true, {1}, {}}, "Xooooo/Oooooo"},
        {"Contacts menu", {true, {}, {1}}, "Oooooo/Xooooo"},
        {"other views too", {true, {1, 3, 6}, {2, 5}}, "Xoxoox/Oxooxo"},
    };
    bool textsChecked = false;
    for (const Case &c : cases) {
        check::Row row(c.name);
        driver::clearShellRequests();
        Control control;
        control.reset();
        prepare(control, c.placed);
        Running running;
        if (!openDialog(running, control))
            continue;
        CHECK_EQ(boxStates(running.dialog), c.states);
        checkCalls(control, loadCalls(c.placed));
        CHECK(!IsWindowEnabled(running.main));
        CHECK_EQ(GetWindow(running.dialog, GW_OWNER), running.main);
        if (!textsChecked) {
            textsChecked = true;
            checkDialogTexts(running.dialog, English);
            // Tab goes from the first box to the Tools-menu boxes (of which
            // only the Contacts one takes the focus), then to Close and
            // Cancel; Shift+Tab goes back.
            HWND dialog = running.dialog;
            const HWND order[] = {box(dialog, 0), box(dialog, 6), item(dialog, Dialog, "cmdOK"),
                                  item(dialog, Dialog, "cmdCancel"), box(dialog, 0)};
            CHECK_EQ(driver::focusOf(dialog), order[0]);
            for (std::size_t i = 1; i < std::size(order); ++i) {
                CHECK(driver::pressKey(dialog, VK_TAB));
                CHECK_EQ(driver::focusOf(dialog), order[i]);
            }
            CHECK(driver::pressKey(dialog, VK_TAB, {VK_SHIFT}));
            CHECK_EQ(driver::focusOf(dialog), order[3]);
            // Moving the focus changes nothing in ACT!.
            CHECK_EQ(control.calls(), loadCalls(c.placed));
        }
        cancelDialog(running);
        CHECK(IsWindowEnabled(running.main));
        CHECK(running.program.running());
        checkPlaced(control, c.placed);
        CHECK(driver::shellRequests().empty());
        endProgram(running);
        // The program's own unload closes nothing in ACT!.
        for (const std::wstring &call : control.calls())
            CHECK(call.find(L"ActApp.Command") == std::wstring::npos);
    }
}

// A box changed by the user becomes its placement call in ACT! at once,
// registering the command first when ACT! does not know it. A label's click
// changes its box, also a disabled one; the space bar changes the focused
// box.
void boxChanges()
{
    enum class How { Press, ClickLabel, Space };
    struct Case {
        const char *name;
        Placed before;
        How how;
        int index;
        std::vector<std::wstring> calls; // after the load's
        Placed after;
        int check;
    };
    const std::wstring registration = registrationCall(L"Pennaroc", English.tooltipPrefix);
    const Case cases[] = {
        {"Contacts toolbar on, not registered", {}, How::Press, 0,
         {ExistsCall, registration, placementCall(L"AddAuxCommandToToolbar", 1)}, {true, {1}, {}}, BST_CHECKED},
        {"Contacts toolbar off", {true, {1}, {}}, How::Press, 0,
         {ExistsCall, placementCall(L"RemoveAuxCommandFromToolbar", 1)}, {true, {}, {}}, BST_UNCHECKED},
        {"Contacts menu on, registered", {true, {}, {}}, How::Press, 6,
         {ExistsCall, placementCall(L"AddAuxCommandToToolsMenu", 1)}, {true, {}, {1}}, BST_CHECKED},
        {"Contacts menu off, other places stay", {true, {4}, {1, 2}}, How::Press, 6,
         {ExistsCall, placementCall(L"RemoveAuxCommandFromToolsMenu", 1)}, {true, {4}, {2}}, BST_UNCHECKED},
        {"space bar on the first box", {}, How::Space, 0,
         {ExistsCall, registration, placementCall(L"AddAuxCommandToToolbar", 1)}, {true, {1}, {}}, BST_CHECKED},
        {"label of the Contacts menu box", {true, {}, {}}, How::ClickLabel, 6,
         {ExistsCall, placementCall(L"AddAuxCommandToToolsMenu", 1)}, {true, {}, {1}}, BST_CHECKED},
        {"label of a disabled toolbar box", {}, How::ClickLabel, 1,
         {ExistsCall, registration, placementCall(L"AddAuxCommandToToolbar", 2)}, {true, {2}, {}}, BST_CHECKED},
        {"label of a disabled menu box, checked", {true, {}, {6}}, How::ClickLabel, 11,
         {ExistsCall, placementCall(L"RemoveAuxCommandFromToolsMenu", 6)}, {true, {}, {}}, BST_UNCHECKED},
    };
    for (const Case &c : cases) {
        check::Row row(c.name);
        Control control;
        control.reset();
        prepare(control, c.before);
        Running running;
        if (!openDialog(running, control))
            continue;
        std::vector<std::wstring> expected = loadCalls(c.before);
        checkCalls(control, expected);
        switch (c.how) {
        case How::Press:
            driver::press(box(running.dialog, c.index));
            break;
        case How::ClickLabel:
            CHECK(driver::click(label(running.dialog, c.index)));
            break;
        case How::Space:
            CHECK(driver::pressKey(running.dialog, VK_SPACE));
            break;
        }
        expected.insert(expected.end(), c.calls.begin(), c.calls.end());
        checkCalls(control, expected);
        CHECK_EQ(driver::view(box(running.dialog, c.index)).check, c.check);
        // Nothing is asked while boxes change.
        CHECK(!driver::waitForMessageBox(running.program, 300));
        cancelDialog(running);
        CHECK_EQ(control.calls(), expected);
        if (c.before.registered)
            CHECK_EQ(narrow(control.registration(Name)),
                     std::string("Pennaroc|C:\\Old\\Pennaroc.EXE|C:\\Old|Pennaroc|Click to launch Pennaroc|"
                                 "C:\\Old\\Pennaroc.ico|C:\\Old\\Pennaroc32.ico|1"));
        else
            CHECK_EQ(narrow(control.registration(Name)),
                     narrow(registrationValues(L"Pennaroc", English.tooltipPrefix)));
        checkPlaced(control, c.after);
        endProgram(running);
    }
    // The registration names the program and its two icons, beside it.
    for (const wchar_t *file : {L"Pennaroc.EXE", L"Pennaroc.ico", L"Pennaroc32.ico"})
        CHECK(GetFileAttributesW((programFolder() + L"\\" + file).c_str()) != INVALID_FILE_ATTRIBUTES);
}

// ACT! refuses to register the command: with an error (the report names
// the procedure and line), or with a result that is not 0 (the program says
// it cannot add the command). The placement is asked for all the same and
// refused; Close then says again that it cannot add the command, asks
// nothing about a restart and closes.
void refusedRegistration()
{
    struct Case {
        const char *name;
        testserver::Fault fault;
        std::wstring text;
        std::wstring title;
    };
    const Case cases[] = {
        {"error", testserver::Fail,
         L"Error 440: 'Automation error (AddAuxCommand: The command list is full)'\r"
         L"in frmIntegrate: Sub CheckCommand - Line # 15680\r\r"
             + English.contactLine,
         Name},
        {"result not 0", testserver::Refuse, English.cannotAdd, Name},
    };
    for (const Case &c : cases) {
        check::Row row(c.name);
        driver::clearShellRequests();
        Control control;
        control.reset();
        Running running;
        if (!openDialog(running, control))
            continue;
        std::vector<std::wstring> expected = loadCalls({});
        checkCalls(control, expected);
        control.inject(L"AuxCommands.AddAuxCommand", c.fault, L"The command list is full");
        driver::press(box(running.dialog, 0));
        const auto report = driver::waitForMessageBox(running.program);
        if (!CHECK(report.has_value()))
            continue;
        CHECK_EQ(narrow(report->title), narrow(c.title));
        CHECK_EQ(narrow(report->text), narrow(c.text));
        CHECK_EQ(narrow(report->icon), std::string("none"));
        CHECK_EQ(report->buttonIds, std::vector<int>{IDOK});
        expected.push_back(ExistsCall);
        expected.push_back(registrationCall(L"Pennaroc", English.tooltipPrefix));
        CHECK_EQ(control.calls(), expected);
        driver::answer(*report, IDOK);
        CHECK(driver::waitGone(report->window));
        expected.push_back(placementCall(L"AddAuxCommandToToolbar", 1));
        checkCalls(control, expected);
        checkPlaced(control, {});

        driver::press(item(running.dialog, Dialog, "cmdOK"));
        const auto cannotAdd = driver::waitForMessageBox(running.program);
        if (CHECK(cannotAdd.has_value())) {
            CHECK_EQ(narrow(cannotAdd->text), narrow(English.cannotAdd));
            CHECK_EQ(narrow(cannotAdd->title), narrow(Name));
            CHECK_EQ(cannotAdd->buttonIds, std::vector<int>{IDOK});
            driver::answer(*cannotAdd, IDOK);
        }
        CHECK(driver::waitGone(running.dialog));
        CHECK(running.program.running());
        CHECK(IsWindowEnabled(running.main));
        CHECK(control.calls().empty());
        endProgram(running);
        CHECK(driver::shellRequests().empty());
    }
}

// Closing the dialog. Unchanged, or with Cancel, nothing is asked. After a
// change, Close asks to restart ACT!: No reads the boxes again from ACT! and
// goes back to the main window; Yes closes ACT! (command 150), has the shell
// open its database again, hides the main window and ends the program on
// the second tick of its one-second timer.
void closeAndRestart()
{
    enum class Change { None, CheckBox };
    enum class Leave { CloseButton, Enter, Escape };
    struct Case {
        const char *name;
        Change change;
        Leave leave;
        int answer; // 0: no question
    };
    const Case cases[] = {
        {"unchanged, Close", Change::None, Leave::CloseButton, 0},
        {"changed, Cancel", Change::CheckBox, Leave::Escape, 0},
        {"changed, Close, No", Change::CheckBox, Leave::CloseButton, IDNO},
        {"changed, Enter, Yes", Change::CheckBox, Leave::Enter, IDYES},
    };
    CHECK(CreateDirectoryW(L"C:\\ACT", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    CHECK(CreateDirectoryW(L"C:\\ACT\\Database", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    CHECK(driver::writeFile(Database, "database\r\n"));
    for (const Case &c : cases) {
        check::Row row(c.name);
        driver::clearShellRequests();
        Control control;
        control.reset();
        prepare(control, {true, {}, {}});
        Running running;
        if (!openDialog(running, control))
            continue;
        std::vector<std::wstring> expected = loadCalls({});
        checkCalls(control, expected);
        if (c.change == Change::CheckBox) {
            driver::press(box(running.dialog, 6));
            expected.push_back(ExistsCall);
            expected.push_back(placementCall(L"AddAuxCommandToToolsMenu", 1));
            checkCalls(control, expected);
        }
        switch (c.leave) {
        case Leave::CloseButton:
            driver::press(item(running.dialog, Dialog, "cmdOK"));
            break;
        case Leave::Enter:
            CHECK(driver::pressKey(running.dialog, VK_RETURN));
            break;
        case Leave::Escape:
            CHECK(driver::pressKey(running.dialog, VK_ESCAPE));
            break;
        }
        const Placed placed{true, {}, c.change == Change::CheckBox ? std::set<int>{1} : std::set<int>{}};
        if (!c.answer) {
            CHECK(driver::waitGone(running.dialog));
            CHECK(!driver::waitForMessageBox(running.program, 300));
            CHECK(IsWindowEnabled(running.main));
            CHECK_EQ(control.calls(), expected);
            checkPlaced(control, placed);
            endProgram(running);
            CHECK(driver::shellRequests().empty());
            continue;
        }

        const auto question = driver::waitForMessageBox(running.program);
        if (!CHECK(question.has_value()))
            continue;
        CHECK_EQ(narrow(question->title), narrow(Name));
        CHECK_EQ(narrow(question->text), narrow(English.question));
        CHECK_EQ(narrow(question->icon), std::string("none"));
        CHECK_EQ(question->buttonIds, (std::vector<int>{IDYES, IDNO}));
        CHECK_EQ(question->defaultButton, IDYES);
        CHECK(IsWindowVisible(running.dialog));
        control.clearCalls();
        driver::answer(*question, c.answer);
        const ULONGLONG answered = GetTickCount64();
        // Either answer reads the boxes again from ACT!, which has them as
        // they are shown.
        std::vector<std::wstring> after = loadCalls(placed, placed);
        if (c.answer == IDNO) {
            CHECK(driver::waitGone(running.dialog));
            CHECK_EQ(control.calls(), after);
            CHECK(IsWindowEnabled(running.main));
            CHECK(IsWindowVisible(running.main));
            CHECK_EQ(running.program.exitStatus(1500), -1L);
            CHECK(driver::shellRequests().empty());
            checkPlaced(control, placed);
            // Opened again, the dialog shows the boxes as ACT! has them.
            driver::chooseMenu(running.main, Main, "mnuIntegrate");
            running.dialog = waitForDialog(running.program, English.caption);
            if (CHECK(running.dialog != nullptr)) {
                CHECK_EQ(boxStates(running.dialog), std::string("Oooooo/Xooooo"));
                checkCalls(control, loadCalls(placed));
                cancelDialog(running);
            }
            endProgram(running);
            // The main window's unload closes nothing in ACT! either.
            for (const std::wstring &call : control.calls())
                CHECK(call.find(L"ActApp.Command") == std::wstring::npos);
            CHECK(driver::shellRequests().empty());
            continue;
        }

        // Yes: ACT! is asked for its database's name and closed, then the
        // shell opens the database (which restarts ACT! on it).
        const std::vector<std::wstring> opened = driver::waitForShellRequests(1);
        CHECK_EQ(opened, std::vector<std::wstring>{L"database " + Database});
        CHECK(running.program.running());
        // ACT!'s notifications no longer end the program: it is restarting
        // ACT! and ends on its own timer.
        control.raiseEvent(22);
        control.raiseEvent(10);
        after.push_back(L"ActApp.GetOpenDBName()");
        after.push_back(L"ActApp.Command(VT_I2 150)");
        std::vector<std::wstring> calls = control.calls();
        // ACT!'s notification that its database closed costs the program
        // one call of the event control, whenever it comes.
        std::erase(calls, L"ActEvent.Id2()");
        CHECK_EQ(calls, after);
        // Between the first and the second tick: still running, its windows
        // hidden.
        const ULONGLONG firstTick = answered + 1300;
        while (GetTickCount64() < firstTick)
            Sleep(50);
        CHECK(running.program.running());
        CHECK(!IsWindow(running.dialog) || !IsWindowVisible(running.dialog));
        CHECK(!IsWindowVisible(running.main));
        CHECK_EQ(running.program.exitStatus(15000), 0L);
        const ULONGLONG elapsed = GetTickCount64() - answered;
        CHECK(elapsed >= 1900);
        CHECK(elapsed < 10000);
        std::printf("    ended %llu ms after Yes\n", elapsed);
        // Nothing more reached ACT!, and it has the database open again.
        calls = control.calls();
        std::erase(calls, L"ActEvent.Id2()");
        CHECK_EQ(calls, after);
        {
            host::com::Host act;
            CHECK_EQ(narrow(act.createAppObject()->GetOpenDBName()), narrow(Database));
        }
        checkPlaced(control, placed);
        CHECK_EQ(driver::shellRequests(), std::vector<std::wstring>{L"database " + Database});
    }
    DeleteFileW(Database.c_str());
}

// The dialog in each language through the tests' own entry: its texts; a
// registration that fails (the report's contact line) and one refused with
// a result (the message that the command cannot be added); one that works,
// with the tooltip's words; and the restart question. No closes the dialog
// after the boxes are read again: the toolbar box that ACT! refused goes
// back to unchecked, and its handling takes the command off that toolbar.
void languages()
{
    struct Case {
        const char *name;
        const wchar_t *argument;
        const Texts *texts;
    };
    const Case cases[] = {{"English", L"0", &English}, {"French", L"1", &French}};
    for (const Case &c : cases) {
        check::Row row(c.name);
        Control control;
        control.reset();
        Program program(L"IntegrateEntry.exe", c.argument);
        HWND dialog = waitForDialog(program, c.texts->caption);
        if (!CHECK(dialog != nullptr))
            continue;
        checkDialogTexts(dialog, *c.texts);
        CHECK_EQ(boxStates(dialog), std::string("Oooooo/Oooooo"));
        std::vector<std::wstring> expected = loadCalls({});
        checkCalls(control, expected);
        const std::wstring registration = registrationCall(L"IntegrateEntry", c.texts->tooltipPrefix);

        struct Step {
            const char *name;
            int box;
            std::optional<testserver::Fault> fault;
            std::wstring said;            // the box that follows; empty: none
            std::wstring placement;
            int check;
        };
        const Step steps[] = {
            {"failing registration", 0, testserver::Fail,
             L"Error 440: 'Automation error (AddAuxCommand: Busy)'\r"
             L"in frmIntegrate: Sub CheckCommand - Line # 15680\r\r"
                 + c.texts->contactLine,
             placementCall(L"AddAuxCommandToToolbar", 1), BST_CHECKED},
            {"refused registration", 6, testserver::Refuse, c.texts->cannotAdd,
             placementCall(L"AddAuxCommandToToolsMenu", 1), BST_CHECKED},
            {"registration", 6, std::nullopt, L"", placementCall(L"RemoveAuxCommandFromToolsMenu", 1), BST_UNCHECKED},
        };
        for (const Step &step : steps) {
            check::Row stepRow(std::string(c.name) + ", " + step.name);
            if (step.fault)
                control.inject(L"AuxCommands.AddAuxCommand", *step.fault, L"Busy");
            driver::press(box(dialog, step.box));
            expected.push_back(ExistsCall);
            expected.push_back(registration);
            if (!step.said.empty()) {
                const auto said = driver::waitForMessageBox(program);
                if (!CHECK(said.has_value()))
                    break;
                CHECK_EQ(narrow(said->text), narrow(step.said));
                CHECK_EQ(narrow(said->title), narrow(Name));
                CHECK_EQ(said->buttonIds, std::vector<int>{IDOK});
                CHECK_EQ(control.calls(), expected);
                driver::answer(*said, IDOK);
                CHECK(driver::waitGone(said->window));
            }
            expected.push_back(step.placement);
            checkCalls(control, expected);
            CHECK_EQ(driver::view(box(dialog, step.box)).check, step.check);
        }
        CHECK_EQ(narrow(control.registration(Name)),
                 narrow(registrationValues(L"IntegrateEntry", c.texts->tooltipPrefix)));

        driver::press(item(dialog, Dialog, "cmdOK"));
        const auto question = driver::waitForMessageBox(program);
        if (!CHECK(question.has_value()))
            continue;
        CHECK_EQ(narrow(question->text), narrow(c.texts->question));
        CHECK_EQ(narrow(question->title), narrow(Name));
        CHECK_EQ(question->buttonIds, (std::vector<int>{IDYES, IDNO}));
        driver::answer(*question, IDNO);
        CHECK_EQ(program.exitStatus(30000), 0L);
        Placed shown;
        shown.toolbar = {1};
        const std::vector<std::wstring> reload = loadCalls({true, {}, {}}, shown);
        expected.insert(expected.end(), reload.begin(), reload.end());
        CHECK_EQ(control.calls(), expected);
        checkPlaced(control, {true, {}, {}});
    }
}

} // namespace

int main(int argc, char **argv)
{
    const testserver::EndServerAtExit endServer;
    return check::run(argc, argv,
                      {{"englishDialog", englishDialog},
                       {"boxChanges", boxChanges},
                       {"refusedRegistration", refusedRegistration},
                       {"closeAndRestart", closeAndRestart},
                       {"languages", languages}});
}
