#include "app/AttachmentMarker.h"
#include "app/Form1.h"
#include "host/Text.h"
#include "platform/ProgramState.h"
#include "tests/support/Check.h"
#include "tests/support/FakeHost.h"
#include "tests/support/MemorySettings.h"
#include "tests/support/RecordingFace.h"
#include "tests/support/ScriptedPlatform.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using testsupport::FakeHost;
using testsupport::MemorySettings;
using testsupport::RecordingFace;
using testsupport::ScriptedPlatform;
using Lines = std::vector<std::u16string>;

namespace {

const std::u16string Contact = u"Please contact support@veltrane.example with this error message.";
const std::u16string Refusal = u"Unable to modify the Details field.";
const std::u16string InvalidPath = u"The path to the attachment is invalid or the file is not accessible.";
const std::u16string Question = u"There is already a file attached to this sale/opportunity. Attaching a new one "
                                u"will remove the current attachment.\rAre you sure you want to continue?";
const int QuestionStyle = 308; // Yes/No, exclamation, No the default
const std::u16string Chosen = u"C:\\Docs\\Quote.doc";
const std::u16string ReRead = u"SalesList.GetField(36,3)";
const std::u16string SettingRead = u"read(Pennaroc,Settings,DefaultFolder)";
const std::u16string Old = u"Call back [[/old.txt]]";

std::u16string report(std::int32_t number, const std::u16string &description, int line)
{
    return u"Error " + text::number(number) + u": '" + description + u"'\rin Form1: Sub cmdOK_Click - Line # "
        + text::number(line) + u"\r\r" + Contact;
}

std::u16string setFieldCall(const std::u16string &text)
{
    return u"SalesList.SetField(36,3," + text + u")";
}

template <class T>
int sizeOf(const T &values)
{
    return static_cast<int>(values.size());
}

// One main window on row 3 of a scripted host, started and waiting for the
// user; the start-up's calls are cleared.
struct Rig {
    RecordingFace face;
    FakeHost host;
    ScriptedPlatform desktop;
    MemorySettings store;
    std::unique_ptr<app::Form1> form;

    explicit Rig(const std::u16string &details)
    {
        program::RestartAct = false;
        host.currentRow = 3;
        host.details = {{3, details}};
    }
    ~Rig()
    {
        form.reset();
        program::RestartAct = false;
    }
    app::Form1 &load()
    {
        form = std::make_unique<app::Form1>(face, host, desktop, store);
        form->runProgram();
        host.calls.clear();
        return *form;
    }
    // The user picks an option, then presses OK.
    void choose(int option) { form->optAction(option).userClick(); }
    void ok() { form->control("cmdOK").userClick(); }
    // Answers for the next OK: message boxes, then the Open File dialog.
    void answer(std::deque<int> boxes, std::optional<std::u16string> file)
    {
        desktop.msgBoxAnswers = std::move(boxes);
        desktop.openFileAnswers = {std::move(file)};
    }
    std::u16string written() const { return host.details.at(3); }
    int selected() const
    {
        for (int i = 0; i < 3; ++i)
            if (form->optAction(i).Value() == 1)
                return i;
        return -1;
    }
    bool ended() const { return form->isUnloaded() && face.quits == 1; }
    platform::WindowHandle handle() const { return form->form().handle(); }
};

bool checkMessage(const ScriptedPlatform::Message &m, const std::u16string &text, int style,
                  const std::u16string &title)
{
    return CHECK_EQ(m.text, text) && CHECK_EQ(m.style, style) && CHECK_EQ(m.title, title);
}

// ------------------------------------------------------- the marker rules

void markerRules()
{
    struct Row { const char *name; std::u16string before; int action; std::u16string after; };
    const Row rows[] = {
        // The format's example table: attach C:\Docs\Quote.doc.
        {"empty", u"", 2, u" [[C:\\Docs\\Quote.doc]]"},
        {"no marker", u"Call back in May", 2, u"Call back in May [[C:\\Docs\\Quote.doc]]"},
        {"marker at the end", u"Call back in May [[C:\\Old.txt]]", 2, u"Call back in May [[C:\\Docs\\Quote.doc]]"},
        {"marker first", u"[[C:\\Old.txt]] Call back", 2, u"Call back [[C:\\Docs\\Quote.doc]]"},
        {"two markers", u"a [[x]] b [[y]]", 2, u"a  b [[y]] [[C:\\Docs\\Quote.doc]]"},
        {"no closing marker", u"note [[C:\\Old.txt", 2, u"note [[C:\\Old.txt [[C:\\Docs\\Quote.doc]]"},
        {"empty path", u"[[]]", 2, u" [[C:\\Docs\\Quote.doc]]"},
        // Its removals.
        {"remove at the end", u"Call back in May [[C:\\Old.txt]]", 1, u"Call back in May"},
        {"remove first", u"[[C:\\Old.txt]] Call back", 1, u"Call back"},
        {"remove the first of two", u"a [[x]] b [[y]]", 1, u"a  b [[y]]"},
        {"remove an empty path", u"[[]]", 1, u""},
        // The format's edge cases.
        {"remove between words keeps both spaces", u"  left [[/p]] right  ", 1, u"left  right"},
        {"spaces only", u"   ", 2, u"    [[C:\\Docs\\Quote.doc]]"},
        {"trailing spaces kept", u"note  ", 2, u"note   [[C:\\Docs\\Quote.doc]]"},
        {"closing marker alone", u"x ]] y", 2, u"x ]] y [[C:\\Docs\\Quote.doc]]"},
        {"stray opening marker stays the user's text", u"a [[ b [[/p]] c", 1, u"a [[ b  c"},
        {"stray opening marker, attach", u"Price [[ to confirm [[/x/real.txt]] end", 2,
         u"Price [[ to confirm  end [[C:\\Docs\\Quote.doc]]"},
        {"path holding ]] leaves its rest", u"[[/a]]b]]", 1, u"b]]"},
        {"text after the marker moves before it", u"x [[/old]] y", 2, u"x  y [[C:\\Docs\\Quote.doc]]"},
        {"tabs and line breaks stay", u"\tx\r\n [[/p]]\n", 2, u"\tx\r\n \n [[C:\\Docs\\Quote.doc]]"},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        Rig rig(r.before);
        rig.answer({platform::vbYes}, Chosen);
        const bool hadAttachment = rig.load().optAction(0).Enabled();
        rig.choose(r.action);
        rig.ok();

        CHECK_EQ(rig.written(), r.after);
        // Attach reads the field before its question and again before writing.
        CHECK_EQ(rig.host.calls, (r.action == 2 ? Lines{ReRead, ReRead, setFieldCall(r.after)}
                                                : Lines{ReRead, setFieldCall(r.after)}));
        CHECK(rig.ended());
        // Attaching over an attachment asks once; nothing else is shown.
        const bool asked = r.action == 2 && hadAttachment;
        if (CHECK_EQ(sizeOf(rig.desktop.messages), asked ? 1 : 0) && asked)
            checkMessage(rig.desktop.messages[0], Question, QuestionStyle, u"Pennaroc");
        CHECK_EQ(sizeOf(rig.desktop.openFileRequests), r.action == 2 ? 1 : 0);
    }
}

// ------------------------------------------------------------------ Open

void open()
{
    // opened empty: the invalid-path message; asked: the paths whose existence is asked.
    struct Row { const char *name; std::u16string details, opened; Lines asked; };
    const std::u16string file = u"/home/u/Docs/Quote.odt";
    const Row rows[] = {
        {"file", u"[[/home/u/Docs/Quote.odt]]", file, {file}},
        {"spaces around are trimmed", u"x [[  /home/u/Docs/Quote.odt ]]", file, {file}},
        {"folder", u"[[/home/u/Docs]]", u"/home/u/Docs", {u"/home/u/Docs"}},
        {"empty path", u"[[]]", u"", {}},
        {"spaces only", u"[[   ]]", u"", {}},
        {"missing file", u"[[/home/u/Docs/Gone.odt]]", u"", {u"/home/u/Docs/Gone.odt"}},
        {"tab around is not trimmed", u"[[\t/home/u/Docs/Quote.odt]]", u"", {u"\t/home/u/Docs/Quote.odt"}},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        Rig rig(r.details);
        rig.desktop.existingPaths = {file, u"/home/u/Docs"};
        app::Form1 &form = rig.load();
        CHECK_EQ(rig.selected(), 0);
        rig.ok();

        CHECK(rig.host.calls.empty()); // Open asks nothing of ACT!
        CHECK_EQ(rig.desktop.pathQueries, r.asked);
        CHECK(rig.store.calls.empty());
        if (r.opened.empty()) {
            if (CHECK_EQ(sizeOf(rig.desktop.messages), 1))
                checkMessage(rig.desktop.messages[0], InvalidPath, 0, u"Pennaroc");
            CHECK(rig.desktop.shellRequests.empty());
            CHECK(!form.isUnloaded());
            CHECK_EQ(rig.face.quits, 0);
            continue;
        }
        CHECK(rig.desktop.messages.empty());
        if (CHECK_EQ(sizeOf(rig.desktop.shellRequests), 1)) {
            const ScriptedPlatform::Shell &shell = rig.desktop.shellRequests[0];
            CHECK_EQ(shell.operation, u"Open");
            CHECK_EQ(shell.target, r.opened);
            // An empty parameter string, not a missing one.
            CHECK_EQ(shell.parameters, std::optional<std::u16string>(u""));
            CHECK_EQ(shell.directory, u"/opt/pennaroc");
            CHECK_EQ(shell.showCommand, 5);
            CHECK(shell.owner == rig.handle());
        }
        CHECK_EQ(form.attachmentPath(), r.opened); // stored back trimmed
        CHECK(rig.ended());
    }
}

// A path that would run a program is opened only after a Yes; a document
// asks nothing, and No leaves the window open on the same record.
void programQuestion()
{
    const std::u16string program = u"/srv/share/quote.exe";
    const std::u16string question =
        u"The attachment is a program:\r\r/srv/share/quote.exe\r\rOpening it will run it with your rights: it can "
        u"do anything you can do. Open it only if you trust it and know where it came from.\r\rDo you want to run "
        u"it?";
    struct Row { const char *name; bool isProgram; std::deque<int> answers; bool opened; };
    const Row rows[] = {
        {"a document opens without a question", false, {}, true},
        {"a program, Yes", true, {platform::vbYes}, true},
        {"a program, No", true, {platform::vbNo}, false},
        {"a program, the box closed (No)", true, {}, false},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        Rig rig(u"See [[" + program + u"]]");
        rig.desktop.existingPaths = {program};
        if (r.isProgram)
            rig.desktop.programPaths = {program};
        rig.desktop.msgBoxAnswers = r.answers;
        app::Form1 &form = rig.load();
        rig.ok();
        CHECK_EQ(rig.desktop.programQueries, Lines{program});
        if (r.isProgram) {
            if (CHECK_EQ(sizeOf(rig.desktop.messages), 1))
                checkMessage(rig.desktop.messages[0], question, 308, u"Pennaroc");
        } else {
            CHECK(rig.desktop.messages.empty());
        }
        CHECK_EQ(sizeOf(rig.desktop.shellRequests), r.opened ? 1 : 0);
        CHECK_EQ(rig.ended(), r.opened);
        if (!r.opened) {
            // The window stays on the same record, Open still selected.
            CHECK_EQ(rig.selected(), 0);
            CHECK_EQ(form.attachmentPath(), program);
            CHECK(rig.host.calls.empty());
        }
    }
    // A notification while the question is open ends the program; nothing
    // is opened afterwards.
    Rig rig(u"See [[" + program + u"]]");
    rig.desktop.existingPaths = {program};
    rig.desktop.programPaths = {program};
    rig.desktop.msgBoxAnswers = {platform::vbYes};
    rig.desktop.whileMsgBoxOpen = [&](const ScriptedPlatform::Message &) { rig.host.raiseEvent(22); };
    rig.load();
    rig.ok();
    CHECK(rig.desktop.shellRequests.empty());
    CHECK(rig.ended());
}

// ------------------------------------------------------------- Attach

void startingFolder()
{
    struct Row { const char *name; std::optional<std::u16string> stored; std::u16string initialDir; };
    const Row rows[] = {
        {"no entry", std::nullopt, u""},
        {"empty entry", u"", u""},
        {"existing folder", u"/home/u/Docs", u"/home/u/Docs"},
        {"folder gone", u"/home/u/Docs/gone", u""},
        {"a file is handed over as it is", u"/home/u/Docs/f.txt", u"/home/u/Docs/f.txt"},
        {"blanks are part of the name", u" /home/u/Docs", u""},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        Rig rig(u"Call back");
        rig.desktop.existingPaths = {u"/home/u/Docs", u"/home/u/Docs/f.txt"};
        rig.answer({}, u"/x");
        rig.load();
        // Read when OK is pressed, not at start-up.
        CHECK(rig.store.calls.empty());
        if (r.stored)
            rig.store.setEntry(u"Pennaroc", u"Settings", u"DefaultFolder", *r.stored);
        Lines journal;
        rig.host.journal = &journal;
        rig.desktop.journal = &journal;
        rig.store.journal = &journal;
        rig.ok();

        Lines expected{ReRead, SettingRead};
        if (r.stored && !r.stored->empty())
            expected.push_back(u"PathExists(" + *r.stored + u")");
        for (const std::u16string &line : Lines{u"OpenFile", ReRead, setFieldCall(u"Call back [[/x]]")})
            expected.push_back(line);
        CHECK_EQ(journal, expected);
        if (CHECK_EQ(sizeOf(rig.desktop.openFileRequests), 1)) {
            const platform::OpenFileRequest &request = rig.desktop.openFileRequests[0];
            CHECK_EQ(request.filter, u"All files (*.*)|*.*");
            CHECK_EQ(request.initialDir, r.initialDir);
            CHECK(request.owner == rig.handle());
        }
        CHECK(rig.desktop.messages.empty()); // no question without an attachment
        CHECK_EQ(rig.store.writes, 0);
        CHECK_EQ(rig.written(), u"Call back [[/x]]");
        CHECK(rig.ended());
    }
}

void cancelIsSilent()
{
    Rig rig(Old);
    rig.answer({platform::vbYes}, std::nullopt);
    app::Form1 &form = rig.load();
    rig.choose(2);
    rig.ok();
    CHECK_EQ(sizeOf(rig.desktop.openFileRequests), 1);
    CHECK_EQ(sizeOf(rig.desktop.messages), 1); // the question, nothing after it
    CHECK_EQ(rig.host.calls, Lines{ReRead});
    CHECK(!form.isUnloaded());
    CHECK_EQ(rig.selected(), 2);
    CHECK_EQ(form.attachmentPath(), u"/old.txt");

    // The window is still usable: OK asks again.
    rig.answer({platform::vbYes}, u"/new.txt");
    rig.ok();
    CHECK_EQ(sizeOf(rig.desktop.messages), 2);
    CHECK_EQ(rig.written(), u"Call back [[/new.txt]]");
    CHECK(rig.ended());
}

void refusedWrites()
{
    {
        // A refused Remove leaves the window open on the same text.
        Rig rig(Old);
        rig.host.setFieldResult = 2;
        app::Form1 &form = rig.load();
        rig.choose(1);
        rig.ok();
        if (CHECK_EQ(sizeOf(rig.desktop.messages), 1))
            checkMessage(rig.desktop.messages[0], Refusal, 0, u"Operation aborted");
        CHECK(!form.isUnloaded());
        CHECK_EQ(rig.selected(), 1);

        rig.host.setFieldResult = 0;
        rig.ok();
        CHECK_EQ(rig.host.calls,
                 (Lines{ReRead, setFieldCall(u"Call back"), ReRead, setFieldCall(u"Call back")}));
        CHECK_EQ(rig.written(), u"Call back");
        CHECK(rig.ended());
    }
    {
        // An edit made in ACT! between a refused Remove and the next OK is kept.
        Rig rig(Old);
        rig.host.setFieldResult = 1;
        rig.load();
        rig.choose(1);
        rig.ok();
        rig.host.setFieldResult = 0;
        rig.host.details[3] = u"Call back, signed [[/old.txt]]";
        rig.ok();
        CHECK_EQ(rig.written(), u"Call back, signed");
        CHECK(rig.ended());
    }
    {
        // A refused Attach shows the same message, then the window closes.
        Rig rig(u"Call back");
        rig.host.setFieldResult = 1;
        rig.answer({}, u"/new.txt");
        rig.load();
        rig.ok();
        if (CHECK_EQ(sizeOf(rig.desktop.messages), 1))
            checkMessage(rig.desktop.messages[0], Refusal, 0, u"Operation aborted");
        CHECK_EQ(rig.host.calls, (Lines{ReRead, ReRead, setFieldCall(u"Call back [[/new.txt]]")}));
        CHECK_EQ(rig.written(), u"Call back");
        CHECK(rig.ended());
    }
}

// ------------------------------------------------------ no lost edits

void editsMadeInActSurvive()
{
    // edited: the field as ACT! holds it when it is read again.
    struct Row { const char *name; int action; std::u16string edited, after; };
    const Row rows[] = {
        {"remove, unchanged", 1, Old, u"Call back"},
        {"remove, text added", 1, u"Call back, said yes [[/old.txt]] in June", u"Call back, said yes  in June"},
        {"remove, marker gone", 1, u"Call back, no file", u"Call back, no file"},
        {"remove, other marker", 1, u"[[/other.txt]] Call back", u"Call back"},
        {"attach, unchanged", 2, Old, u"Call back [[/new.txt]]"},
        {"attach, text added", 2, u"Call back soon [[/old.txt]]", u"Call back soon [[/new.txt]]"},
        {"attach, marker gone", 2, u"Call back, no file", u"Call back, no file [[/new.txt]]"},
        {"attach, emptied", 2, u"", u" [[/new.txt]]"},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        Rig rig(Old);
        rig.answer({platform::vbYes}, u"/new.txt");
        // The edit lands while the Open File dialog is open, or before Remove.
        rig.desktop.whileOpenFileOpen = [&](const platform::OpenFileRequest &) { rig.host.details[3] = r.edited; };
        app::Form1 &form = rig.load();
        if (r.action == 1)
            rig.host.details[3] = r.edited;
        rig.choose(r.action);
        rig.ok();
        CHECK_EQ(rig.host.calls, (r.action == 2 ? Lines{ReRead, ReRead, setFieldCall(r.after)}
                                                : Lines{ReRead, setFieldCall(r.after)}));
        CHECK_EQ(form.detailsText(), Old);
        CHECK(rig.ended());
    }
}

// Attach asks before it replaces an attachment, and asks again whenever
// the field about to be replaced holds a marker that the user has not
// agreed to replace: another writer may attach or remove a file while the
// window is open. No keeps everything as it was, before the Open File
// dialog or after it.
void replaceQuestion()
{
    // beforeOk: the field when OK is pressed; duringDialog: once the file is
    // chosen; dialogs: Open File dialogs shown.
    struct Row { const char *name; std::u16string start; std::optional<std::u16string> beforeOk, duringDialog;
                 std::deque<int> answers; int questions, dialogs; std::u16string after; };
    const int yes = platform::vbYes, no = platform::vbNo;
    const std::u16string theirs = u"Call back [[/theirs.txt]]", mine = u"Call back [[/new.txt]]";
    const Row rows[] = {
        {"attached, No keeps everything", Old, {}, {}, {no}, 1, 0, Old},
        {"attached, Yes goes on to the dialog", u"Call back [[/old.txt]] soon", {}, {}, {yes}, 1, 1,
         u"Call back  soon [[/new.txt]]"},
        {"attached before OK, No", u"Call back", theirs, {}, {no}, 1, 0, theirs},
        {"attached before OK, Yes", u"Call back", theirs, {}, {yes}, 1, 1, mine},
        {"attached during the dialog, No", u"Call back", {}, theirs, {no}, 1, 1, theirs},
        {"attached during the dialog, Yes", u"Call back", {}, theirs, {yes}, 1, 1, mine},
        {"removed before OK: nothing to ask", Old, u"Call back", {}, {no}, 0, 1, mine},
        {"agreed, then the same file with new text", Old, {}, u"Call back, signed [[/old.txt]]", {yes}, 1, 1,
         u"Call back, signed [[/new.txt]]"},
        {"agreed, then another file: asked again, No", Old, {}, theirs, {yes, no}, 2, 1, theirs},
        {"agreed, then another file: asked again, Yes", Old, {}, theirs, {yes, yes}, 2, 1, mine},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        Rig rig(r.start);
        rig.answer(r.answers, u"/new.txt");
        if (r.duringDialog)
            rig.desktop.whileOpenFileOpen = [&](const platform::OpenFileRequest &) {
                rig.host.details[3] = *r.duringDialog;
            };
        app::Form1 &form = rig.load();
        if (r.beforeOk)
            rig.host.details[3] = *r.beforeOk;
        rig.choose(2);
        rig.ok();

        CHECK_EQ(sizeOf(rig.desktop.messages), r.questions);
        for (const ScriptedPlatform::Message &message : rig.desktop.messages)
            checkMessage(message, Question, QuestionStyle, u"Pennaroc");
        CHECK_EQ(sizeOf(rig.desktop.openFileRequests), r.dialogs);
        CHECK_EQ(rig.written(), r.after);
        const bool closed = r.after.ends_with(u"[[/new.txt]]");
        CHECK_EQ(rig.host.countOf(u"SalesList.SetField"), closed ? 1 : 0);
        CHECK_EQ(form.isUnloaded(), closed);
        if (closed) {
            CHECK_EQ(form.attachmentPath(), u"/new.txt");
        } else {
            // The window stays as it was, ready for another choice.
            CHECK_EQ(rig.selected(), 2);
            CHECK_EQ(form.attachmentPath(), app::ReadAttachment(r.start).path);
        }
    }
}

// A chosen path that the marker cannot hold is refused before anything is
// written; the window stays open for another choice.
void pathsTheMarkerCannotHoldAreRefused()
{
    struct Row { const char *name; std::u16string start; std::u16string chosen; };
    const Row rows[] = {
        {"]] in the name", u"Call back", u"/home/u/report]]final.txt"},
        {"[[ in a folder name", u"Call back", u"/home/u/[[old/a.txt"},
        {"name ending in ]", u"Call back", u"/home/u/scan[2]"},
        {"over an attachment", Old, u"/home/u/report]]final.txt"},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        Rig rig(r.start);
        rig.answer({platform::vbYes}, r.chosen);
        app::Form1 &form = rig.load();
        rig.choose(2);
        rig.ok();

        if (CHECK(!rig.desktop.messages.empty()))
            checkMessage(rig.desktop.messages.back(),
                         u"The file cannot be attached, because its path contains \"[[\" or \"]]\" or ends with "
                         u"\"]\":\r\r"
                             + r.chosen
                             + u"\r\rThe Details field marks the attachment with these characters, so this path "
                               u"could not be read back. Rename the file or its folder, then attach it again.",
                         48, u"Pennaroc");
        CHECK_EQ(rig.host.countOf(u"SalesList.SetField"), 0);
        CHECK_EQ(rig.written(), r.start);
        CHECK(!form.isUnloaded());
        CHECK_EQ(rig.selected(), 2);
        // Open still names the file that is attached, not the refused one.
        CHECK_EQ(form.attachmentPath(), app::ReadAttachment(r.start).path);

        // Another file can be attached at once.
        rig.answer({platform::vbYes}, u"/home/u/report final.txt");
        rig.ok();
        CHECK_EQ(rig.written(), u"Call back [[/home/u/report final.txt]]");
        CHECK(rig.ended());
    }
}

// ------------------------------------------- failures are never silent

// Each call of cmdOK_Click that can fail, failing in turn: one report at
// the failing statement's line, the window kept with the field untouched,
// and the next OK succeeding.
void faultSweep()
{
    enum class Fails { Host, Settings, Question, OpenFile };
    struct Row { const char *name; int action; Fails fails; std::u16string member; int occurrence;
                 std::int32_t number; std::u16string description; int line; };
    const std::u16string away = u"The host went away";
    const std::u16string memory = u"Out of memory";
    const Row rows[] = {
        {"remove, reading the field again", 1, Fails::Host, u"SalesList.GetField", 1, 440, away, 10280},
        {"remove, writing", 1, Fails::Host, u"SalesList.SetField", 1, 440, away, 10280},
        {"remove, negative number", 1, Fails::Host, u"SalesList.SetField", 1, -2147221503, away, 10280},
        {"attach, reading the field for the question", 2, Fails::Host, u"SalesList.GetField", 1, 440, away, 10440},
        {"attach, reading the field before writing", 2, Fails::Host, u"SalesList.GetField", 2, 440, away, 10800},
        {"attach, writing", 2, Fails::Host, u"SalesList.SetField", 1, 462, away, 10800},
        {"attach, the settings unreadable", 2, Fails::Settings, u"", 0, 75,
         u"Path/File access error: the settings could not be read", 10620},
        {"attach, the question fails", 2, Fails::Question, u"", 0, 7, memory, 10480},
        {"attach, the Open File dialog fails", 2, Fails::OpenFile, u"", 0, 7, memory, 10740},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        Rig rig(Old);
        rig.answer({platform::vbYes}, u"/new.txt");
        app::Form1 &form = rig.load();
        switch (r.fails) {
        case Fails::Host:
            rig.host.failCall(r.member, r.occurrence, host::Failure(r.number, r.description));
            break;
        case Fails::Settings:
            rig.store.readFailure = testsupport::settingsAccessFailure();
            break;
        case Fails::Question:
            rig.desktop.whileMsgBoxOpen = [&](const ScriptedPlatform::Message &m) {
                if (m.text == Question)
                    throw host::Failure(r.number, r.description);
            };
            break;
        case Fails::OpenFile:
            rig.desktop.whileOpenFileOpen = [&](const platform::OpenFileRequest &) {
                throw host::Failure(r.number, r.description);
            };
            break;
        }
        rig.choose(r.action);
        rig.ok();

        if (CHECK(!rig.desktop.messages.empty()))
            checkMessage(rig.desktop.messages.back(), report(r.number, r.description, r.line), 0, u"Pennaroc error");
        CHECK(!form.isUnloaded());
        CHECK_EQ(rig.face.quits, 0);
        CHECK_EQ(rig.selected(), r.action);
        CHECK_EQ(rig.written(), Old);
        if (r.line < 10760) // no file chosen yet: Open still names the attached one
            CHECK_EQ(form.attachmentPath(), u"/old.txt");
        if (r.fails == Fails::Settings) {
            CHECK(rig.desktop.openFileRequests.empty());
            CHECK_EQ(rig.host.calls, Lines{ReRead}); // read for the question; nothing written
        }

        // The window stays usable; OK now succeeds.
        rig.store.readFailure.reset();
        rig.desktop.whileMsgBoxOpen = nullptr;
        rig.desktop.whileOpenFileOpen = nullptr;
        rig.answer({platform::vbYes}, u"/new.txt");
        rig.ok();
        CHECK_EQ(rig.written(), r.action == 1 ? u"Call back" : u"Call back [[/new.txt]]");
        CHECK(rig.ended());
    }
}

// A start-up that failed half way leaves references unset: the actions
// that need them report failure 91; Open, which needs none, finds no file.
void actingAfterFailedStartup()
{
    // failing: the start-up call that fails; message: the click's last one.
    struct Row { const char *name; std::u16string failing; int action; std::u16string message; };
    const std::u16string notSet = u"Object variable or With block variable not set";
    const Row rows[] = {
        {"no application object, remove", u"CreateObject", 1, report(91, notSet, 10280)},
        {"no views, remove", u"ActApp.Views", 1, report(91, notSet, 10280)},
        {"no sales list, attach", u"ContactView.Sales", 2, report(91, notSet, 10440)},
        {"no current row read, open", u"SalesList.GetCurrentRow", 0, InvalidPath},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        Rig rig(Old);
        rig.host.failCall(r.failing);
        app::Form1 &form = rig.load();
        CHECK_EQ(sizeOf(rig.desktop.messages), 1); // the start-up's own report
        CHECK(!form.isUnloaded());
        rig.answer({platform::vbYes}, u"/new.txt");
        rig.choose(r.action);
        rig.ok();
        if (CHECK_EQ(sizeOf(rig.desktop.messages), 2))
            CHECK_EQ(rig.desktop.messages.back().text, r.message);
        CHECK(!form.isUnloaded());
        CHECK_EQ(rig.host.countOf(u"SalesList.SetField"), 0);
    }
}

// ----------------------------------------- notifications during the click

// ACT! closes the database (10) or moves to another record (22) while the
// click waits on a box, a dialog or a host call: the window unloads and the
// click stops there, silently, writing nothing.
void notificationsStopTheClick()
{
    enum class When { Question, Dialog, AttachFirstRead, AttachRead, RemoveRead, Refusal };
    struct Row { const char *name; When when; int option; int setFields; int openFiles; int messages; };
    const Row rows[] = {
        {"during the question", When::Question, 2, 0, 0, 1},
        {"during the Open File dialog", When::Dialog, 2, 0, 1, 1},
        {"during the attach's first read", When::AttachFirstRead, 2, 0, 0, 0},
        {"during the attach's read before writing", When::AttachRead, 2, 0, 1, 1},
        {"during the remove's read", When::RemoveRead, 1, 0, 0, 0},
        {"during the refusal message", When::Refusal, 1, 1, 0, 1},
    };
    for (const std::int16_t event : {std::int16_t(10), std::int16_t(22)}) {
        for (const Row &r : rows) {
            check::Row row(std::to_string(event) + " " + r.name);
            Rig rig(Old);
            rig.answer({platform::vbYes}, u"/new.txt");
            rig.load();
            const auto raise = [&] { rig.host.raiseEvent(event, {std::int32_t(0)}); };
            if (r.when == When::Question || r.when == When::Refusal)
                rig.desktop.whileMsgBoxOpen = [&](const ScriptedPlatform::Message &) { raise(); };
            if (r.when == When::Dialog)
                rig.desktop.whileOpenFileOpen = [&](const platform::OpenFileRequest &) { raise(); };
            // Attach reads the field twice: before its question and before writing.
            int reads = 0;
            const int raisingRead = r.when == When::AttachRead ? 2 : 1;
            if (r.when == When::AttachFirstRead || r.when == When::AttachRead || r.when == When::RemoveRead)
                rig.host.duringCall = [&](const std::u16string &member) {
                    if (member == u"SalesList.GetField" && ++reads == raisingRead)
                        raise();
                };
            if (r.when == When::Refusal)
                rig.host.setFieldResult = 1;
            rig.choose(r.option);
            rig.ok();

            CHECK(rig.ended());
            CHECK_EQ(rig.written(), Old);
            CHECK_EQ(rig.host.countOf(u"SalesList.SetField"), r.setFields);
            CHECK_EQ(sizeOf(rig.desktop.openFileRequests), r.openFiles);
            CHECK_EQ(sizeOf(rig.desktop.messages), r.messages);
            CHECK_EQ(rig.host.countOf(u"ActEvent1.Id2"), 1);
            // A later click does nothing.
            const Lines calls = rig.host.calls;
            rig.ok();
            CHECK_EQ(rig.face.quits, 1);
            CHECK_EQ(rig.host.calls, calls);
            CHECK_EQ(sizeOf(rig.desktop.messages), r.messages);
        }
    }
}

// --------------------------------------------------------- unusual paths

// A path goes into the field and back to the desktop exactly as chosen.
void unusualPaths()
{
    const char16_t *names[] = {
        u"my file  2.txt", u"say \"hi\" it's.txt", u"a;rm -rf x.txt", u"$(touch pwned).txt", u"`touch pwned`.txt",
        u" lead.txt",      u"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac \u65e5\u672c\u8a9e \U0001F600.txt", u"100% #1?.txt",
    };
    for (const char16_t *name : names) {
        const std::u16string path = u"/home/u/" + std::u16string(name);
        check::Row row(text::utf8(path));
        Rig attach(u"Note");
        attach.answer({}, path);
        attach.load();
        attach.ok();
        CHECK_EQ(attach.written(), u"Note [[" + path + u"]]");

        Rig open(attach.written());
        open.desktop.existingPaths = {path};
        app::Form1 &form = open.load();
        CHECK_EQ(form.attachmentPath(), path);
        open.ok();
        if (CHECK_EQ(sizeOf(open.desktop.shellRequests), 1))
            CHECK_EQ(open.desktop.shellRequests[0].target, path);
        CHECK(open.ended());
    }
}

} // namespace

int main(int argc, char **argv)
{
    return check::run(argc, argv,
                      {
                          {"markerRules", markerRules},
                          {"open", open},
                          {"programQuestion", programQuestion},
                          {"startingFolder", startingFolder},
                          {"cancelIsSilent", cancelIsSilent},
                          {"refusedWrites", refusedWrites},
                          {"editsMadeInActSurvive", editsMadeInActSurvive},
                          {"replaceQuestion", replaceQuestion},
                          {"pathsTheMarkerCannotHoldAreRefused", pathsTheMarkerCannotHoldAreRefused},
                          {"faultSweep", faultSweep},
                          {"actingAfterFailedStartup", actingAfterFailedStartup},
                          {"notificationsStopTheClick", notificationsStopTheClick},
                          {"unusualPaths", unusualPaths},
                      });
}
