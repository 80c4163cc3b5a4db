#include "app/Form1.h"
#include "host/Text.h"
#include "platform/ProgramState.h"
#include "tests/support/Check.h"
#include "tests/support/FakeHost.h"
#include "tests/support/MemorySettings.h"
#include "tests/support/RecordingFace.h"
#include "tests/support/ScriptedPlatform.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using testsupport::FakeHost;
using testsupport::MemorySettings;
using testsupport::RecordingFace;
using testsupport::ScriptedPlatform;
using Lines = std::vector<std::u16string>;
using Ids = std::vector<std::string>;

namespace {

const std::u16string Contact = u"Please contact support@veltrane.example with this error message.";
const std::u16string LoadLabel = u"in Form1: Sub Form_Load - Line # ";
const std::u16string UnloadLabel = u"in frmMain: Sub Form_Unload - Line # ";
const std::u16string TimerLabel = u"in frmMain: Sub tmr1_Timer - Line # ";
const std::u16string Injected = u"Injected failure";
const std::u16string ErrorTitle = u"Pennaroc error";

std::u16string report(std::int32_t number, const std::u16string &description, const std::u16string &label, int line)
{
    return u"Error " + text::number(number) + u": '" + description + u"'\r" + label + text::number(line) + u"\r\r"
        + Contact;
}

// One main window on a recording face, a scripted host and desktop, and a
// settings store in memory.
struct Rig {
    RecordingFace face;
    FakeHost host;
    ScriptedPlatform desktop;
    MemorySettings store;
    std::unique_ptr<app::Form1> form;
    int status = -1;

    Rig() { program::RestartAct = false; }
    ~Rig()
    {
        form.reset();
        program::RestartAct = false;
    }
    app::Form1 &make()
    {
        form = std::make_unique<app::Form1>(face, host, desktop, store);
        return *form;
    }
    // Runs the program: start-up, the window shown, then the event loop, in
    // which face.whileRunning acts as the user.
    app::Form1 &start()
    {
        make();
        status = form->runProgram();
        return *form;
    }
    platform::WindowHandle handle() const { return form->form().handle(); }
    // What the face was told of the windows' lives (the main window has no
    // id of its own: "show ").
    Lines life() const { return testsupport::only(face.told, {u"show", u"hide", u"close", u"run", u"quit"}); }
    bool timerRuns() const { return face.peerOf(form->control("tmr1")).running; }
};

// Enabled and selected states of the three options, as "EE-/s--".
std::string states(const app::Form1 &form)
{
    std::string enabled, selected;
    for (int i = 0; i < 3; ++i) {
        enabled += form.optAction(i).Enabled() ? 'E' : '-';
        selected += form.optAction(i).Value() == 1 ? 's' : '-';
    }
    return enabled + '/' + selected;
}

Lines startupCalls(std::int32_t row, std::size_t count = 8)
{
    Lines calls{u"ActEvent1.Id1(0)",      u"CreateObject(ACTOLE.APPOBJECT)", u"ActApp.OpenFile()",
                u"ActApp.Views()",        u"ActViews.Create(1,CV)",          u"ContactView.Sales()",
                u"SalesList.GetCurrentRow()", u"SalesList.GetField(36," + text::number(row) + u")"};
    calls.resize(count);
    return calls;
}

bool checkMessage(const ScriptedPlatform &desktop, std::size_t index, const std::u16string &text, int style,
                  const std::u16string &title)
{
    if (!CHECK(index < desktop.messages.size()))
        return false;
    const ScriptedPlatform::Message &m = desktop.messages[index];
    return CHECK_EQ(m.text, text) && CHECK_EQ(m.style, style) && CHECK_EQ(m.title, title);
}

// The start-up ended the program: the window unloaded unseen, and no event
// loop ran.
void checkEndedUnseen(const Rig &rig)
{
    CHECK(rig.form->isUnloaded());
    CHECK_EQ(rig.life(), (Lines{u"close ", u"quit 0"}));
    CHECK_EQ(rig.status, 0);
    CHECK(rig.desktop.foregroundWindows.empty());
}

// The start-up ended early without ending the program: the window opens
// in its stored state, not brought to the front.
void checkStarted(const Rig &rig)
{
    CHECK(!rig.form->isUnloaded());
    CHECK_EQ(rig.life(), (Lines{u"show ", u"run"}));
    CHECK(rig.desktop.foregroundWindows.empty());
}

// ---------------------------------------------------------------- start-up

// Each refusal: its message after the host calls that led to it, then the
// window unloads unseen and the program ends without an event loop. When
// the message box itself fails, the start-up's trap reports that at the
// message's line instead, and the window opens in its stored state.
void refusals()
{
    struct Row { const char *name; bool another; std::int32_t id1; bool id3; std::int32_t row; std::u16string text;
                 int style; std::u16string title; Lines calls; int line; };
    const std::u16string moreAt = u"Pennaroc. More at www.veltrane.example";
    const std::u16string openFirst = u"Please open a database before running Pennaroc";
    const Lines noLink{u"ActEvent1.Id1(0)", u"ActEvent1.Id3()"};
    const Row rows[] = {
        {"second copy", true, 1, false, 0,
         u"Another instance of Pennaroc is already open. This instance will now close.", 0, u"Pennaroc", {}, 10920},
        {"no link, id 3 true", false, 0, true, 0,
         u"Problem communicating with ACT!. Please run actreg.exe in ACT folder and try again.", 0, u"Pennaroc",
         noLink, 11140},
        {"no link, id 3 false", false, 0, false, 0, openFirst, 0, moreAt, noLink, 11060},
        {"negative link, id 3 false", false, -7, false, 0, openFirst, 0, moreAt, noLink, 11060},
        {"no current record", false, 1, false, -1,
         u"You need to select a Sale/Opportunity record before running Pennaroc!", 48, u"Pennaroc",
         startupCalls(-1, 7), 11660},
    };
    for (const Row &r : rows) {
        for (const bool boxFails : {false, true}) {
            check::Row row(std::string(r.name) + (boxFails ? ", the box fails" : ""));
            Rig rig;
            rig.desktop.anotherInstance = r.another;
            rig.host.id1Result = r.id1;
            rig.host.id3Result = r.id3;
            rig.host.currentRow = r.row;
            Lines journal;
            rig.host.journal = &journal;
            rig.desktop.journal = &journal;
            if (boxFails)
                rig.desktop.whileMsgBoxOpen = [&](const ScriptedPlatform::Message &m) {
                    if (m.text == r.text)
                        throw host::Failure(7, u"Out of memory");
                };
            app::Form1 &form = rig.start();

            Lines expected = r.calls;
            expected.push_back(u"MsgBox(" + text::number(r.style) + u"," + r.title + u")");
            if (boxFails)
                expected.push_back(u"MsgBox(0,Pennaroc error)");
            CHECK_EQ(journal, expected);
            CHECK_EQ(rig.desktop.instanceChecks, 1);
            CHECK_EQ(rig.desktop.messages.size(), boxFails ? 2u : 1u);
            checkMessage(rig.desktop, 0, r.text, r.style, r.title);
            if (boxFails) {
                checkMessage(rig.desktop, 1, report(7, u"Out of memory", LoadLabel, r.line), 0, ErrorTitle);
                checkStarted(rig);
                CHECK_EQ(states(form), "EEE/---");
            } else {
                checkEndedUnseen(rig);
                CHECK(!form.hasAppObject()); // released on unload, or never made
            }
        }
    }
}

void optionStates()
{
    struct Row { const char *name; std::u16string details; std::string states; std::u16string path;
                 std::int32_t start, end; };
    const Row rows[] = {
        {"marker", u"Call back [[ /home/u/Quote.odt ]]", "EEE/s--", u" /home/u/Quote.odt ", 11, 32},
        {"empty marker is an attachment", u"[[]]", "EEE/s--", u"", 1, 3},
        {"no marker", u"Call back in May", "--E/--s", u"", 0, 0},
        {"unclosed marker", u"note [[x", "--E/--s", u"", 6, 0},
        {"empty field", u"", "--E/--s", u"", 0, 0},
        {"spaces only", u"     ", "--E/--s", u"", 0, 0},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        Rig rig;
        rig.host.currentRow = 4;
        rig.host.details = {{4, r.details}};
        Lines journal;
        rig.host.journal = &journal;
        rig.desktop.journal = &journal;
        app::Form1 &form = rig.start();

        // Last, the window is brought to the front; then it is shown.
        Lines expected = startupCalls(4);
        expected.push_back(u"SetForegroundWindow");
        CHECK_EQ(journal, expected);
        CHECK(rig.desktop.foregroundWindows == std::vector<platform::WindowHandle>{rig.handle()});
        CHECK_EQ(rig.desktop.instanceChecks, 1);
        CHECK(rig.desktop.messages.empty());
        CHECK_EQ(states(form), r.states);
        CHECK_EQ(rig.face.mismatches(form.form()), u"");
        CHECK_EQ(form.detailsText(), r.details);
        CHECK_EQ(form.attachmentPath(), r.path);
        CHECK_EQ(form.markerStart(), r.start);
        CHECK_EQ(form.markerEnd(), r.end);
        CHECK_EQ(form.currentRow(), 4);
        CHECK(form.hasAppObject() && form.hasSalesList());
        CHECK_EQ(rig.life(), (Lines{u"show ", u"run"}));
    }
}

// Each host call of the start-up in turn. Failing, it is reported at its
// line, the start-up ends there and the window opens in its stored state.
// A notification arriving while the program waits on it unloads the window,
// and the start-up stops right after that call.
void startupCallSweep()
{
    struct Row { std::u16string member; std::int32_t id1; int line; };
    const Row rows[] = {
        {u"ActEvent1.Id1", 1, 11000},        {u"ActEvent1.Id3", 0, 11040},     {u"CreateObject", 1, 11240},
        {u"ActApp.OpenFile", 1, 11260},      {u"ActApp.Views", 1, 11280},      {u"ActViews.Create", 1, 11300},
        {u"ContactView.Sales", 1, 11320},    {u"SalesList.GetCurrentRow", 1, 11340},
        {u"SalesList.GetField", 1, 11380},
    };
    for (const Row &r : rows) {
        Lines upTo;
        for (const std::u16string &call : r.id1 ? startupCalls(0) : Lines{u"ActEvent1.Id1(0)", u"ActEvent1.Id3()"}) {
            upTo.push_back(call);
            if (call.starts_with(r.member + u"("))
                break;
        }
        for (const std::int16_t event : {std::int16_t(0), std::int16_t(10), std::int16_t(22)}) {
            check::Row row(text::utf8(r.member) + (event ? ", event " + std::to_string(event) : ", failing"));
            Rig rig;
            rig.host.id1Result = r.id1;
            bool raised = false;
            if (event)
                rig.host.duringCall = [&](const std::u16string &called) {
                    if (called == r.member && !std::exchange(raised, true))
                        rig.host.raiseEvent(event, {std::int32_t(0)});
                };
            else
                rig.host.failCall(r.member);
            app::Form1 &form = rig.start();

            if (!event) {
                CHECK_EQ(rig.host.calls, upTo);
                CHECK_EQ(rig.desktop.messages.size(), 1u);
                checkMessage(rig.desktop, 0, report(440, Injected, LoadLabel, r.line), 0, ErrorTitle);
                checkStarted(rig);
                CHECK_EQ(states(form), "EEE/---");
                continue;
            }
            Lines expected = upTo;
            expected.push_back(u"ActEvent1.Id2()");
            CHECK_EQ(rig.host.calls, expected);
            CHECK(rig.desktop.messages.empty());
            checkEndedUnseen(rig);
            // The unload released the application object made before that call.
            if (r.line > 11240)
                CHECK(!form.hasAppObject());
        }
    }
}

// A notification while a start-up message is shown ends the program.
void notificationDuringMessageBox()
{
    struct Row { const char *name; std::int16_t event; std::u16string failing; std::int32_t row; };
    const Row rows[] = {
        {"10 during the no-record message", 10, u"", -1},
        {"22 during the no-record message", 22, u"", -1},
        {"10 during an error report", 10, u"SalesList.GetField", 0},
        {"22 during an error report", 22, u"ActApp.Views", 0},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        Rig rig;
        rig.host.currentRow = r.row;
        if (!r.failing.empty())
            rig.host.failCall(r.failing);
        rig.desktop.whileMsgBoxOpen = [&](const ScriptedPlatform::Message &) { rig.host.raiseEvent(r.event); };
        app::Form1 &form = rig.start();

        CHECK_EQ(rig.desktop.messages.size(), 1u);
        checkEndedUnseen(rig);
        CHECK_EQ(rig.host.countOf(u"ActEvent1.Id2"), 1);
        CHECK_EQ(rig.host.callNames().back(), u"ActEvent1.Id2");
        CHECK(!form.hasAppObject());
    }
}

// ----------------------------------------------------------- fault sweeps

void unloadFaultSweep()
{
    struct Row { const char *name; std::u16string member; bool loaded; std::int32_t number;
                 std::u16string description; int line; };
    const Row rows[] = {
        {"GetOpenDBName", u"ActApp.GetOpenDBName", true, 440, Injected, 12000},
        {"Command", u"ActApp.Command", true, 440, Injected, 12020},
        {"no application object", u"", false, 91, u"Object variable or With block variable not set", 12000},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        Rig rig;
        if (!r.loaded)
            rig.host.failCall(u"CreateObject"); // the start-up made no application object
        app::Form1 &form = rig.start();
        rig.desktop.messages.clear();
        rig.host.failCall(r.member);
        program::RestartAct = true;
        int cancel = 0;
        form.Form_Unload(cancel);

        CHECK_EQ(rig.desktop.messages.size(), 1u);
        checkMessage(rig.desktop, 0, report(r.number, r.description, UnloadLabel, r.line), 0, ErrorTitle);
        CHECK_EQ(cancel, 0);
        // The routine stopped at the failing statement.
        CHECK(rig.desktop.shellRequests.empty());
        CHECK(form.form().isVisible());
        CHECK_EQ(form.control("tmr1").Interval(), 0);
        CHECK(!rig.timerRuns());
        CHECK_EQ(form.hasAppObject(), r.loaded);
        CHECK_EQ(rig.face.quits, 0);
    }
}

void timerFault()
{
    Rig rig;
    app::Form1 &form = rig.start();
    form.control("tmr1").setInterval(60000);
    form.setTickCount(32767);
    CHECK_EQ(rig.face.tick("tmr1"), 1);
    CHECK_EQ(rig.desktop.messages.size(), 1u);
    checkMessage(rig.desktop, 0, report(6, u"Overflow", TimerLabel, 13260), 0, ErrorTitle);
    CHECK_EQ(form.tickCount(), 32767);
    CHECK(rig.timerRuns()); // the tick ends, the timer keeps running
    CHECK_EQ(rig.face.quits, 0);
}

// ---------------------------------------------------------- notifications

void notifications()
{
    struct Row { std::int16_t event; bool restart, id2Fails, ends; };
    std::vector<Row> rows;
    for (const std::int16_t event : {std::int16_t(10), std::int16_t(22)}) {
        rows.push_back({event, false, false, true});
        rows.push_back({event, false, true, true}); // closes although Id2 fails
        rows.push_back({event, true, false, false}); // during a restart
        rows.push_back({event, true, true, false});
    }
    rows.push_back({11, false, false, false}); // other events are ignored
    for (const Row &r : rows) {
        check::Row row("event " + std::to_string(r.event) + (r.restart ? ", restarting" : "")
                       + (r.id2Fails ? ", Id2 fails" : ""));
        Rig rig;
        app::Form1 &form = rig.start();
        rig.host.calls.clear();
        if (r.id2Fails)
            rig.host.failCall(u"ActEvent1.Id2");
        program::RestartAct = r.restart;
        rig.host.raiseEvent(r.event, {std::int32_t(3)});

        CHECK_EQ(rig.host.calls, r.event == 11 ? Lines{} : Lines{u"ActEvent1.Id2()"});
        CHECK(rig.desktop.messages.empty());
        CHECK_EQ(form.isUnloaded(), r.ends);
        CHECK_EQ(rig.face.quits, r.ends ? 1 : 0);
        CHECK_EQ(form.form().isVisible(), !r.ends);
        CHECK_EQ(rig.face.mismatches(form.form()), u"");
        // A real unload never runs the restart steps, and releases the
        // application object.
        CHECK_EQ(form.hasAppObject(), !r.ends);
        // Once unloaded, later notifications reach nothing.
        rig.host.raiseEvent(r.event);
        CHECK_EQ(rig.face.quits, r.ends ? 1 : 0);
        CHECK_EQ(rig.host.countOf(u"ActEvent1.Id2"), r.event == 11 ? 0 : (r.ends ? 1 : 2));
    }
}

// ---------------------------------------------------------------- restart

// The restart, as the integration dialog leaves it to the unload routine
// inside the event loop: ACT! is closed and its database handed to the
// desktop, the window hides, and the program ends on the second tick.
void restartSteps()
{
    Rig rig;
    rig.desktop.programFolder = u"/opt/p";
    rig.host.openDbName = u"/home/u/My Contacts.actdb";
    Lines journal;
    rig.face.whileRunning = [&] {
        app::Form1 &form = *rig.form;
        rig.host.journal = &journal;
        rig.desktop.journal = &journal;
        program::RestartAct = true;
        int cancel = 0;
        form.Form_Unload(cancel);

        CHECK_EQ(journal, (Lines{u"ActApp.GetOpenDBName()", u"ActApp.Command(150)",
                                 u"ShellExecute(open,/home/u/My Contacts.actdb)"}));
        CHECK(!form.hasAppObject());
        CHECK(form.hasSalesList()); // the other references stay
        if (CHECK_EQ(rig.desktop.shellRequests.size(), 1u)) {
            const ScriptedPlatform::Shell &shell = rig.desktop.shellRequests[0];
            CHECK_EQ(testsupport::linkRequestMismatch(shell, u"/home/u/My Contacts.actdb", u"/opt/p"), u"");
            CHECK(shell.owner == rig.handle());
        }
        // Hidden, not unloaded, ticking every second.
        CHECK(!form.form().isVisible() && !form.isUnloaded());
        CHECK_EQ(form.control("tmr1").Interval(), 1000);
        CHECK(rig.timerRuns());
        CHECK_EQ(form.tickCount(), 0);

        // ACT!'s closing notifications do not end the program now.
        rig.host.raiseEvent(10);
        rig.host.raiseEvent(22, {std::int32_t(1)});
        CHECK_EQ(rig.face.quits, 0);
        CHECK_EQ(rig.face.tickAll(), 1);
        CHECK_EQ(form.tickCount(), 1);
        CHECK_EQ(rig.face.quits, 0);
        CHECK_EQ(rig.face.tickAll(), 1);
        CHECK_EQ(rig.face.quits, 1);
        CHECK(form.hasEnded());
        CHECK(!rig.timerRuns());
        CHECK_EQ(rig.face.tickAll(), 0);
        form.tmr1_Timer(); // nothing runs after the end
        rig.host.raiseEvent(10);
    };
    app::Form1 &form = rig.start();
    CHECK_EQ(rig.status, 0);
    CHECK_EQ(rig.life(), (Lines{u"show ", u"run", u"hide ", u"quit 0"}));
    CHECK_EQ(form.tickCount(), 2);
    CHECK_EQ(rig.host.countOf(u"ActEvent1.Id2"), 2);
    CHECK(rig.desktop.messages.empty());
    CHECK(!form.isUnloaded());
}

// ------------------------------------------------------------ the user

void userEndsTheProgram()
{
    struct Row { const char *name; void (*act)(app::Form1 &); };
    const Row rows[] = {
        {"Cancel clicked", [](app::Form1 &f) { f.control("cmdCancel").userClick(); }},
        {"Escape", [](app::Form1 &f) { f.form().userEscape(); }},
        {"close box", [](app::Form1 &f) { f.form().userClose(); }},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        Rig rig;
        rig.host.details = {{0, u"x [[/tmp/a]]"}};
        app::Form1 &form = rig.start();
        rig.host.calls.clear();
        r.act(form);

        CHECK(form.isUnloaded());
        CHECK_EQ(rig.life(), (Lines{u"show ", u"run", u"close ", u"quit 0"}));
        CHECK(!form.form().isVisible());
        CHECK(rig.host.calls.empty());
        CHECK(!form.hasAppObject());
        CHECK(rig.desktop.shellRequests.empty());
        CHECK(rig.desktop.messages.empty());
        CHECK(!rig.timerRuns());
        // Nothing is pressed on a window that is gone.
        r.act(form);
        form.form().userEnter();
        CHECK_EQ(rig.face.quits, 1);
        CHECK(rig.desktop.openFileRequests.empty());
    }
}

void enterPressesOk()
{
    Rig rig;
    app::Form1 &form = rig.start(); // no attachment: Attach is selected
    form.form().userEnter();
    // OK ran: the Open File dialog opened, and its cancel ends the click.
    CHECK_EQ(rig.desktop.openFileRequests.size(), 1u);
    CHECK(!form.isUnloaded());
    // A disabled OK takes no Enter.
    form.control("cmdOK").setEnabled(false);
    form.form().userEnter();
    CHECK_EQ(rig.desktop.openFileRequests.size(), 1u);
}

void linkOpensWebSite()
{
    Rig rig;
    app::Form1 &form = rig.start();
    form.control("lblLink").userClick();
    if (CHECK_EQ(rig.desktop.shellRequests.size(), 1u)) {
        CHECK_EQ(testsupport::linkRequestMismatch(rig.desktop.shellRequests[0], u"https://www.veltrane.example/"), u"");
        CHECK(rig.desktop.shellRequests[0].owner == rig.handle());
    }
    CHECK(!form.isUnloaded());
    CHECK(rig.desktop.messages.empty());
}

// ----------------------------------------------------------------- layout

void layout()
{
    using forms::Kind;
    struct Row { std::string id; Kind kind; std::string container; std::u16string caption; forms::Twips place;
                 int tabIndex; unsigned flags; forms::Font font = {}; };
    const Row rows[] = {
        {"mnuOptions", Kind::Menu, "", u"Options", {}, -1, 0},
        {"mnuLocation", Kind::MenuItem, "mnuOptions", u"Default Attachment Location...", {}, -1, 0},
        {"mnuSep", Kind::Separator, "mnuOptions", u"", {}, -1, 0},
        {"mnuIntegrate", Kind::MenuItem, "mnuOptions", u"Integrate with ACT!...", {}, -1, 0},
        {"mnuHelp", Kind::Menu, "", u"Help", {}, -1, 0},
        {"mnuAbout", Kind::MenuItem, "mnuHelp", u"About", {}, -1, 0},
        {"fraAction", Kind::Frame, "", u"Action:", {210, 225, 3600, 1755}, 0, 0},
        {"optAction0", Kind::Option, "fraAction", u"&Open the attachment", {255, 375, 2055, 375}, 1, forms::Group},
        {"optAction1", Kind::Option, "fraAction", u"&Remove the attachment", {255, 750, 2055, 375}, 2, 0},
        {"optAction2", Kind::Option, "fraAction", u"&Attach a new file", {255, 1125, 3195, 375}, 3, 0},
        {"cmdOK", Kind::Button, "", u"&OK", {4050, 360, 1000, 325}, 4, forms::Default | forms::Group},
        {"cmdCancel", Kind::Button, "", u"&Cancel", {4050, 795, 1000, 325}, 5, forms::Cancel},
        {"lblMore", Kind::Label, "", u"Find more free ACT! add-ons at ", {1035, 2280, 2385, 285}, 6, forms::AlignTop},
        {"lblLink", Kind::Link, "", u"www.veltrane.example", {3435, 2280, 1755, 255}, 7, forms::AlignTop,
         {8.25, false, true}},
        {"tmr1", Kind::Timer, "", u"", {}, -1, 0},
    };
    Rig rig;
    app::Form1 &form = rig.make();
    const forms::Form &window = form.form();
    Ids ids, expectedIds;
    for (const auto &c : window.controls())
        ids.push_back(std::string(c->design().id));
    for (const Row &r : rows)
        expectedIds.push_back(r.id);
    CHECK_EQ(ids, expectedIds); // table order: each container before what it holds

    for (const Row &r : rows) {
        check::Row row(r.id);
        const forms::Control *c = window.find(r.id);
        if (!CHECK(c))
            continue;
        CHECK(c->kind() == r.kind);
        CHECK_EQ(std::string(c->design().container), r.container);
        CHECK_EQ(c->Caption(), r.caption);
        CHECK(c->place() == r.place);
        CHECK_EQ(c->design().tabIndex, r.tabIndex);
        CHECK_EQ(c->design().flags, r.flags);
        CHECK(c->design().font == r.font);
        CHECK_EQ(rig.face.peerOf(*c).caption, r.caption);
    }
    // The options are the group optAction(0..2).
    for (int i = 0; i < 3; ++i)
        CHECK_EQ(std::string(form.optAction(i).design().id), "optAction" + std::to_string(i));

    // The window: a main window centred on the screen, its client area
    // exactly the laid-out size, the program's icon and name.
    CHECK_EQ(window.Caption(), u"Pennaroc");
    CHECK(window.icon() == forms::Icon::Program);
    CHECK_EQ(window.width(), 5265);
    CHECK_EQ(window.height(), 2520);
    CHECK_EQ(window.design().flags, unsigned(forms::MainWindow | forms::CentreOnScreen));
    CHECK(window.design().focus.empty());
    CHECK(rig.face.peerOf(window).built);
    CHECK_EQ(rig.face.mismatches(window), u"");
    // Before start-up: every option enabled and none selected; no tick.
    CHECK_EQ(states(form), "EEE/---");
    CHECK_EQ(form.control("tmr1").Interval(), 0);
    CHECK(!rig.timerRuns());
    CHECK(!window.isLoaded() && !window.isVisible());
}

// ------------------------------------------------------------------- menus

void menusOpenTheirDialogs()
{
    Rig rig;
    rig.host.toolbar.insert({std::int16_t(3), u"Pennaroc"});
    rig.desktop.existingPaths = {u"/home/u/Docs"};
    app::Form1 &form = rig.start();
    rig.host.calls.clear();
    const auto ownedByTheWindow = [&](const char *id) {
        const testsupport::RecordingFormPeer *peer = rig.face.window(id);
        return peer && peer->owner() == rig.handle() && rig.face.modalStack() == Ids{id};
    };

    // Each opening is a fresh dialog that shows the stored folder; what it
    // stores reaches Attach through the store.
    Lines shown;
    rig.face.whileModalOf["frmLocation"] = [&](forms::Form &dialog) {
        CHECK(ownedByTheWindow("frmLocation"));
        CHECK_EQ(dialog.Caption(), u"Default Attachment Location");
        shown.push_back(dialog.control("txtPath").Text());
        if (shown.size() == 1) {
            rig.face.typeText(dialog.control("txtPath"), u"/home/u/Docs");
            dialog.control("cmdOK").userClick();
        } else {
            dialog.userEscape();
        }
    };
    form.control("mnuLocation").userClick();
    form.control("mnuLocation").userClick();
    CHECK_EQ(shown, (Lines{u"/opt/pennaroc", u"/home/u/Docs"}));
    CHECK_EQ(testsupport::only(rig.face.told, {u"create", u"modal", u"close"}),
             (Lines{u"create ", u"create frmLocation over ", u"modal frmLocation", u"close frmLocation",
                    u"create frmLocation over ", u"modal frmLocation", u"close frmLocation"}));
    CHECK_EQ(rig.store.entry(u"Pennaroc", u"Settings", u"DefaultFolder"), std::optional<std::u16string>(u"/home/u/Docs"));
    form.control("cmdOK").userClick(); // Attach, the dialog cancelled
    if (CHECK_EQ(rig.desktop.openFileRequests.size(), 1u))
        CHECK_EQ(rig.desktop.openFileRequests[0].initialDir, u"/home/u/Docs");

    // The integration dialog gets its fixed properties: English, the
    // application's name, only the Contacts view's boxes enabled, the
    // window's icon.
    std::vector<std::string> boxes;
    bool opened = false;
    rig.face.whileModalOf["frmIntegrate"] = [&](forms::Form &dialog) {
        opened = true;
        CHECK(ownedByTheWindow("frmIntegrate"));
        CHECK_EQ(dialog.Caption(), u"Integrate with ACT!");
        CHECK(dialog.icon() == forms::Icon::Program);
        for (int i = 0; i < 12; ++i) {
            const forms::Control &box = dialog.control("chkScreen", i);
            boxes.push_back(std::to_string(box.Enabled()) + std::to_string(box.Value()));
        }
        dialog.userEscape();
    };
    rig.host.calls.clear();
    form.control("mnuIntegrate").userClick();
    CHECK(opened);
    CHECK_EQ(boxes, (std::vector<std::string>{"10", "00", "01", "00", "00", "00", "10", "00", "00", "00", "00", "00"}));
    CHECK_EQ(rig.host.countOf(u"CreateObject"), 1);
    CHECK(std::count(rig.host.calls.begin(), rig.host.calls.end(), u"AuxCommands.AuxCommandExistsInToolbar(1,Pennaroc)")
          == 1);

    CHECK(form.form().isVisible());
    CHECK(!form.isUnloaded());
    CHECK(rig.desktop.messages.empty());
    CHECK(rig.face.modalStack().empty());
    CHECK_EQ(rig.face.openIds(), Ids{""});
}

// A notification ends the program while a dialog opened from the menus is
// modal: the dialog's show ends, the window unloads, the loop ends with 0.
void notificationsWhileDialogsAreModal()
{
    struct Dialog { const char *menu; const char *id; };
    const Dialog dialogs[] = {{"mnuAbout", "frmAbout"}, {"mnuLocation", "frmLocation"}, {"mnuIntegrate", "frmIntegrate"}};
    for (const Dialog &d : dialogs) {
        for (const std::int16_t event : {std::int16_t(0), std::int16_t(10), std::int16_t(22)}) {
            check::Row row(std::string(d.id) + (event ? ", event " + std::to_string(event) : ", closed by the user"));
            Rig rig;
            Ids modal;
            bool owned = false;
            rig.face.whileModalOf[d.id] = [&](forms::Form &) {
                modal = rig.face.modalStack();
                const testsupport::RecordingFormPeer *peer = rig.face.window(d.id);
                owned = peer && peer->owner() == rig.handle();
                if (event)
                    rig.host.raiseEvent(event, {std::int32_t(0)});
            };
            rig.face.whileRunning = [&] { rig.form->control(d.menu).userClick(); };
            app::Form1 &form = rig.start();

            CHECK_EQ(modal, Ids{d.id});
            CHECK(owned);
            CHECK_EQ(form.isUnloaded(), event != 0);
            CHECK_EQ(rig.face.quits, event ? 1 : 0);
            CHECK_EQ(rig.status, 0);
            CHECK(rig.face.modalStack().empty());
            CHECK_EQ(rig.face.openIds(), event ? Ids{} : Ids{""});
            CHECK(rig.desktop.messages.empty());
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    return check::run(argc, argv,
                      {
                          {"refusals", refusals},
                          {"optionStates", optionStates},
                          {"startupCallSweep", startupCallSweep},
                          {"notificationDuringMessageBox", notificationDuringMessageBox},
                          {"unloadFaultSweep", unloadFaultSweep},
                          {"timerFault", timerFault},
                          {"notifications", notifications},
                          {"restartSteps", restartSteps},
                          {"userEndsTheProgram", userEndsTheProgram},
                          {"enterPressesOk", enterPressesOk},
                          {"linkOpensWebSite", linkOpensWebSite},
                          {"layout", layout},
                          {"menusOpenTheirDialogs", menusOpenTheirDialogs},
                          {"notificationsWhileDialogsAreModal", notificationsWhileDialogsAreModal},
                      });
}
