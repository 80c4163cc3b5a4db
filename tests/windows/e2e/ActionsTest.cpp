// Pennaroc.exe's three actions as a user meets them, against the test
// automation server: Open hands the attached file to the shell (or says the
// file cannot be reached), Remove takes the marker out of the record, Attach
// goes through the real Open File dialog, typed into with the keyboard,
// which starts in the folder of the per-user setting. The replace question,
// a write that ACT! refuses, and paths the marker cannot hold. Each row
// checks what the user sees, what reached ACT! (the record and the calls
// with their VARIANT types) and what reached the shell.
// Needs a display (CTest runs it under xvfb-run) and the test server.

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

HWND item(HWND window, std::string_view id)
{
    return driver::control(window, Main, id);
}

// The files the cases open and attach, under the prefix's folder for
// temporary files.
std::wstring base()
{
    return driver::tempFolder() + L"Pennaroc actions\\";
}

void removeTree(const std::wstring &folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

// Makes the file, and the folders above it under base(); its full path.
std::wstring makeFile(const std::wstring &relative)
{
    const std::wstring path = base() + relative;
    for (std::size_t at = base().size(); (at = path.find(L'\\', at)) != std::wstring::npos; ++at)
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    CHECK(driver::writeFile(path));
    return path;
}

bool exists(const std::wstring &path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The per-user setting as it was before the group, put back afterwards
// (the groups share the prefix).
class KeepSetting {
public:
    KeepSetting() : saved_(driver::defaultFolderSetting()) {}
    ~KeepSetting() { driver::setDefaultFolderSetting(saved_); }
    KeepSetting(const KeepSetting &) = delete;
    KeepSetting &operator=(const KeepSetting &) = delete;

private:
    std::optional<std::wstring> saved_;
};

// The system remembers the folder each program last chose a file in, and
// starts its Open File dialog there when the program names no start folder.
// Forgetting it makes every row start as a first use would: without a start
// folder, in the program's current folder.
void forgetLastFolders()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32");
}

// The record's calls to SetField, as the server logged them.
std::vector<std::wstring> setFieldCalls(Control &control)
{
    std::vector<std::wstring> found;
    for (const std::wstring &call : control.calls()) {
        if (call.rfind(L"SalesList.SetField(", 0) == 0)
            found.push_back(call);
    }
    return found;
}

std::wstring setFieldCall(std::int32_t row, const std::wstring &text)
{
    return L"SalesList.SetField(VT_I2 36, VT_I4|VT_BYREF " + std::to_wstring(row) + L", VT_BSTR|VT_BYREF \"" + text
        + L"\")";
}

// One connection to the test server for the whole program. Under Wine a COM
// server can deadlock when the last of its objects of one interface goes
// while another call is handing out a new one (a program ending as the next
// row begins): the test's own control object, held throughout, keeps the
// server's interfaces from ever going at once.
Control *server = nullptr;

// One start of the program on a record of its own.
struct Scene {
    Control &control = *server;
    std::int32_t record = 0;
    std::unique_ptr<Program> program;
    HWND window = nullptr;

    // The server's default records, one more with details made current,
    // and the program's main window; the calls of the start-up are cleared.
    bool start(const std::wstring &details)
    {
        control.reset();
        record = control.addRecord(details);
        control.setCurrentRow(record);
        driver::clearShellRequests();
        program = std::make_unique<Program>();
        window = driver::waitForMainWindow(*program);
        control.clearCalls();
        return CHECK(window != nullptr);
    }

    std::wstring details() { return control.details(record); }

    // Chooses an option and presses OK, with the mouse's messages or with
    // the keyboard (the option's mnemonic, then Enter for the default OK).
    void choose(int option, bool byKeys = false)
    {
        static const WORD mnemonics[] = {'O', 'R', 'A'};
        if (byKeys) {
            CHECK(driver::pressKey(window, mnemonics[option], {VK_MENU}));
            CHECK(driver::pressKey(window, VK_RETURN));
        } else {
            driver::press(item(window, "optAction" + std::to_string(option)));
            driver::press(item(window, "cmdOK"));
        }
    }

    // The program's Open File dialog: a dialog of its own, neither the main
    // window nor a message box.
    HWND waitForOpenDialog()
    {
        HWND found = nullptr;
        driver::waitUntil(
            [&] {
                driver::WindowQuery query;
                query.menuBar = false;
                found = driver::findWindow(program->id(), query);
                return (found && !GetDlgItem(found, 0xFFFF)) || !program->running();
            },
            30000);
        return program->running() ? found : nullptr;
    }

    // Types a path into the Open File dialog's file name box, where the
    // keyboard focus starts, and presses Enter; true once the dialog went.
    bool chooseFile(const std::wstring &typed)
    {
        HWND dialog = waitForOpenDialog();
        if (!CHECK(dialog != nullptr))
            return false;
        HWND box = driver::focusOf(dialog);
        CHECK_EQ(driver::className(box), std::wstring(L"Edit"));
        CHECK(driver::typeText(dialog, typed));
        // A long text takes the dialog a moment.
        driver::waitUntil([&] { return driver::controlText(box) == typed; }, 5000);
        CHECK_EQ(driver::controlText(box), typed);
        CHECK(driver::pressKey(dialog, VK_RETURN));
        return CHECK(driver::waitGone(dialog, 15000));
    }

    // The window is still there and takes another choice: Cancel ends the
    // program.
    void stillOpenThenCancel()
    {
        CHECK(program->running());
        CHECK(IsWindowVisible(window));
        // Enabled again once the box or dialog before it has gone.
        CHECK(driver::waitUntil([&] { return IsWindowEnabled(window) != FALSE; }));
        driver::press(item(window, "cmdCancel"));
        CHECK_EQ(program->exitStatus(30000), 0L);
    }
};

// Open hands exactly the stored path to the shell, whatever its name holds,
// and the program ends; the record is read, never written.
void openHandsThePathToTheShell()
{
    struct Case {
        const char *name;
        std::wstring file;  // under base()
        std::wstring before; // the Details text around the marker
        std::wstring after;
        std::wstring inside; // around the path inside the marker
        bool byEnter;       // Enter on the window (Open is selected), else OK pressed
    };
    const Case cases[] = {
        {"plain", L"Open\\Quote.pnrdoc", L"Quote sent ", L" on Monday", L"", false},
        {"spaces", L"Open\\My Quotes\\Quote  for May 2026.pnrdoc", L"", L"", L"", true},
        {"single brackets", L"Open\\[v2]\\Angebot [final] (3).pnrdoc", L"Quote ", L"", L"", false},
        {"non-ASCII", L"Open\\Données Ä\\Angebot Ä ß Ελληνικά.pnrdoc", L"Données ", L"", L"", false},
        {"percent, ampersand and hash", L"Open\\100% & co; #1.pnrdoc", L"", L" x", L"", false},
        {"outside the BMP", L"Open\\Quote \U0001F600 日本語.pnrdoc", L"", L"", L"", false},
        {"spaces around the path in the marker", L"Open\\Quote.pnrdoc", L"See ", L"", L"   ", false},
    };
    for (const Case &c : cases) {
        check::Row row(c.name);
        const std::wstring path = makeFile(c.file);
        const std::wstring details = c.before + L"[[" + c.inside + path + c.inside + L"]]" + c.after;
        Scene scene;
        if (!scene.start(details))
            continue;
        CHECK_EQ(driver::view(item(scene.window, "optAction0")).check, BST_CHECKED);
        if (c.byEnter)
            CHECK(driver::pressKey(scene.window, VK_RETURN));
        else
            driver::press(item(scene.window, "cmdOK"));
        CHECK_EQ(scene.program->exitStatus(30000), 0L);
        CHECK_EQ(driver::waitForShellRequests(1), std::vector<std::wstring>{path});
        CHECK_EQ(scene.details(), details);
        CHECK(setFieldCalls(scene.control).empty());
        // The file itself is only opened.
        CHECK(exists(path));
    }
}

// A stored path that leads nowhere: the program says so, opens nothing, and
// keeps its window for another choice.
void openWhenTheFileIsGone()
{
    struct Case {
        const char *name;
        std::wstring details;
        bool deleteAfterStart; // a file of base() deleted once the window is there
    };
    const std::wstring deleted = base() + L"Open\\Deleted quote.pnrdoc";
    const Case cases[] = {
        {"never there", L"Call back [[C:\\Nowhere\\Gone quote.pnrdoc]]", false},
        {"deleted after start", L"Call back [[" + deleted + L"]]", true},
        {"empty marker", L"Call back [[]]", false},
        {"spaces only in the marker", L"[[    ]] Call back", false},
    };
    for (const Case &c : cases) {
        check::Row row(c.name);
        if (c.deleteAfterStart)
            makeFile(L"Open\\Deleted quote.pnrdoc");
        Scene scene;
        if (!scene.start(c.details))
            continue;
        // Found at start: Open is offered and selected.
        CHECK(driver::view(item(scene.window, "optAction0")).enabled);
        CHECK_EQ(driver::view(item(scene.window, "optAction0")).check, BST_CHECKED);
        if (c.deleteAfterStart)
            CHECK(DeleteFileW(deleted.c_str()));
        driver::press(item(scene.window, "cmdOK"));
        const auto box = driver::waitForMessageBox(*scene.program);
        if (!CHECK(box.has_value()))
            continue;
        CHECK_EQ(box->title, std::wstring(L"Pennaroc"));
        CHECK_EQ(box->text, std::wstring(L"The path to the attachment is invalid or the file is not accessible."));
        CHECK_EQ(box->icon, std::wstring(L"none"));
        CHECK_EQ(box->buttonIds, std::vector<int>{IDOK});
        CHECK_EQ(box->defaultButton, IDOK);
        driver::answer(*box, IDOK);
        CHECK(driver::waitGone(box->window));
        CHECK_EQ(driver::view(item(scene.window, "optAction0")).check, BST_CHECKED);
        CHECK(driver::shellRequests().empty());
        CHECK_EQ(scene.details(), c.details);
        CHECK(setFieldCalls(scene.control).empty());
        scene.stillOpenThenCancel();
    }
}

// Remove writes the Details text without the marker (the text around it
// joined and trimmed of spaces) and ends the program; the file stays.
void removeAction()
{
    struct Case {
        const char *name;
        std::wstring before;
        std::wstring after;
        std::wstring expected;
        bool byKeys;
    };
    const Case cases[] = {
        {"marker at the end", L"Quote sent ", L"", L"Quote sent", false},
        {"marker at the start", L"", L" Call back", L"Call back", true},
        {"marker in the middle", L"Before ", L" after", L"Before  after", false},
        {"marker alone, spaces around", L"   ", L"  ", L"", false},
        {"a stray opening before it", L"Price [[ to confirm ", L" end", L"Price [[ to confirm  end", false},
        {"non-ASCII text", L"Données Ä ", L"", L"Données Ä", false},
    };
    const std::wstring path = makeFile(L"Remove\\Quote Ä.pnrdoc");
    for (const Case &c : cases) {
        check::Row row(c.name);
        const std::wstring details = c.before + L"[[" + path + L"]]" + c.after;
        Scene scene;
        if (!scene.start(details))
            continue;
        CHECK(driver::view(item(scene.window, "optAction1")).enabled);
        scene.choose(1, c.byKeys);
        CHECK_EQ(scene.program->exitStatus(30000), 0L);
        CHECK_EQ(scene.details(), c.expected);
        CHECK_EQ(setFieldCalls(scene.control), std::vector<std::wstring>{setFieldCall(scene.record, c.expected)});
        CHECK(driver::shellRequests().empty());
        CHECK(exists(path));
    }
}

// Attach through the real Open File dialog with the full path typed: the
// record gains the marker with exactly that path, after the text it had
// without a marker, and the program ends.
void attachTypedPath()
{
    struct Case {
        const char *name;
        std::wstring file; // under base()
        std::wstring details;
        bool byKeys;
    };
    const Case cases[] = {
        {"spaces and punctuation", L"Attach\\My Docs\\Quote 2026 (final), v2; ok.pnrdoc", L"Call back in May", false},
        {"single brackets", L"Attach\\[v2] Angebot [draft].pnrdoc", L"Call back", true},
        {"non-ASCII", L"Attach\\Données Ä\\Angebot Ä ß Ελληνικά.pnrdoc", L"Données", false},
        {"empty Details", L"Attach\\Quote.pnrdoc", L"", false},
        {"a marker with no end before", L"Attach\\Quote.pnrdoc", L"Quote sent [[C:\\Quotes", false},
    };
    for (const Case &c : cases) {
        check::Row row(c.name);
        const std::wstring path = makeFile(c.file);
        Scene scene;
        if (!scene.start(c.details))
            continue;
        // Nothing attached: Attach is the only choice, and selected.
        CHECK_EQ(driver::view(item(scene.window, "optAction2")).check, BST_CHECKED);
        scene.choose(2, c.byKeys);
        if (!scene.chooseFile(path))
            continue;
        CHECK_EQ(scene.program->exitStatus(30000), 0L);
        const std::wstring expected = c.details + L" [[" + path + L"]]";
        CHECK_EQ(scene.details(), expected);
        CHECK_EQ(setFieldCalls(scene.control), std::vector<std::wstring>{setFieldCall(scene.record, expected)});
        CHECK(driver::shellRequests().empty());
    }
}

// The Open File dialog starts in the folder of the per-user setting: a bare
// file name typed there is found in that folder. A setting that names a file
// starts it in the file's folder; a setting whose folder is gone, an empty
// one and none leave the start to the system (which, with nothing
// remembered, is the program's current folder). A file of the same name in
// both folders tells them apart.
void attachStartFolder()
{
    const KeepSetting keep;
    const std::wstring name = L"Only here.pnrdoc";
    const std::wstring start = base() + L"Start Ä";
    const std::wstring working = base() + L"Working";
    makeFile(L"Start Ä\\" + name);
    makeFile(L"Start Ä\\index.pnrdoc");
    makeFile(L"Working\\" + name);
    struct Case {
        const char *name;
        std::optional<std::wstring> setting;
        std::wstring expectedFolder;
    };
    const Case cases[] = {
        {"a folder", start, start},
        {"a folder with a closing backslash", start + L"\\", start},
        {"a file", start + L"\\index.pnrdoc", start},
        {"a folder that is gone", base() + L"Gone", working},
        {"an empty setting", std::wstring(), working},
        {"no setting", std::nullopt, working},
    };
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    // The program starts in the current folder of the test.
    CHECK(SetCurrentDirectoryW(working.c_str()));
    for (const Case &c : cases) {
        check::Row row(c.name);
        forgetLastFolders();
        driver::setDefaultFolderSetting(c.setting);
        Scene scene;
        if (!scene.start(L"Call back"))
            continue;
        driver::press(item(scene.window, "cmdOK"));
        if (!scene.chooseFile(name))
            continue;
        CHECK_EQ(scene.program->exitStatus(30000), 0L);
        CHECK_EQ(scene.details(), L"Call back [[" + c.expectedFolder + L"\\" + name + L"]]");
        // The setting is only read.
        CHECK_EQ(driver::defaultFolderSetting(), c.setting);
    }
    SetCurrentDirectoryW(current);
    forgetLastFolders();
}

// Cancel in the Open File dialog, by its button or by Escape, ends the
// choice without a word: nothing is written and the window stays.
void attachCancelled()
{
    for (const bool byKey : {false, true}) {
        check::Row row(byKey ? "Escape" : "Cancel");
        Scene scene;
        if (!scene.start(L"Call back in May"))
            continue;
        driver::press(item(scene.window, "cmdOK"));
        HWND dialog = scene.waitForOpenDialog();
        if (!CHECK(dialog != nullptr))
            continue;
        // Modal: the main window takes no input meanwhile.
        CHECK(!IsWindowEnabled(scene.window));
        if (byKey)
            CHECK(driver::pressKey(dialog, VK_ESCAPE));
        else
            driver::press(GetDlgItem(dialog, IDCANCEL));
        CHECK(driver::waitGone(dialog));
        CHECK(driver::waitUntil([&] { return IsWindowEnabled(scene.window) != FALSE; }));
        // No box follows.
        Sleep(500);
        driver::WindowQuery query;
        query.menuBar = false;
        CHECK(driver::findWindow(scene.program->id(), query) == nullptr);
        CHECK_EQ(scene.details(), std::wstring(L"Call back in May"));
        CHECK(setFieldCalls(scene.control).empty());
        CHECK_EQ(driver::view(item(scene.window, "optAction2")).check, BST_CHECKED);
        scene.stillOpenThenCancel();
    }
}

// Attach on a record that has a file asks first: a Yes/No box with No the
// default. Yes goes on to the dialog and replaces the marker; No (also by
// Enter) keeps the record and the window.
void replaceQuestion()
{
    struct Case {
        const char *name;
        int answer; // 0: Enter
    };
    const Case cases[] = {{"Yes", IDYES}, {"No", IDNO}, {"Enter takes No", 0}};
    const std::wstring old = L"[[C:\\Quotes\\Old quote.pnrdoc]] Call back";
    const std::wstring fresh = makeFile(L"Replace\\New quote.pnrdoc");
    for (const Case &c : cases) {
        check::Row row(c.name);
        Scene scene;
        if (!scene.start(old))
            continue;
        scene.choose(2);
        const auto box = driver::waitForMessageBox(*scene.program);
        if (!CHECK(box.has_value()))
            continue;
        CHECK_EQ(box->title, std::wstring(L"Pennaroc"));
        CHECK_EQ(box->text, std::wstring(L"There is already a file attached to this sale/opportunity. Attaching a new "
                                         L"one will remove the current attachment.\rAre you sure you want to "
                                         L"continue?"));
        CHECK_EQ(box->icon, std::wstring(L"exclamation"));
        CHECK_EQ(box->buttonIds, (std::vector<int>{IDYES, IDNO}));
        CHECK_EQ(box->buttons, (std::vector<std::wstring>{L"&Yes", L"&No"}));
        CHECK_EQ(box->defaultButton, IDNO);
        // Nothing is written while the question is open.
        CHECK_EQ(scene.details(), old);
        if (c.answer == 0)
            CHECK(driver::pressKey(box->window, VK_RETURN));
        else
            driver::answer(*box, c.answer);
        CHECK(driver::waitGone(box->window));
        if (c.answer == IDYES) {
            if (!scene.chooseFile(fresh))
                continue;
            CHECK_EQ(scene.program->exitStatus(30000), 0L);
            const std::wstring expected = L"Call back [[" + fresh + L"]]";
            CHECK_EQ(scene.details(), expected);
            CHECK_EQ(setFieldCalls(scene.control), std::vector<std::wstring>{setFieldCall(scene.record, expected)});
            continue;
        }
        // No Open File dialog follows.
        Sleep(500);
        driver::WindowQuery query;
        query.menuBar = false;
        CHECK(driver::findWindow(scene.program->id(), query) == nullptr);
        CHECK_EQ(scene.details(), old);
        CHECK(setFieldCalls(scene.control).empty());
        CHECK_EQ(driver::view(item(scene.window, "optAction2")).check, BST_CHECKED);
        scene.stillOpenThenCancel();
    }
}

// Another user of the database (a writer of its own, through ACT!'s
// objects) sets the record's Details.
void anotherWriterSets(std::int32_t row, const std::wstring &details)
{
    host::com::Host host;
    auto sales = host.createAppObject()->Views()->Create(1, L"CV")->Sales();
    std::wstring text = details;
    CHECK_EQ(sales->SetField(36, row, text), 0);
}

// A file that another writer attached while the window was open is not
// replaced without the question: before the Open File dialog when it was
// there at OK, before the write when it came while the dialog was open.
void anotherWriterAttached()
{
    struct Case {
        const char *name;
        bool duringDialog; // else before OK
        int answer;
    };
    const Case cases[] = {
        {"before OK, No", false, IDNO},
        {"during the dialog, No", true, IDNO},
        {"during the dialog, Yes", true, IDYES},
    };
    const std::wstring mine = makeFile(L"Writer\\Mine.pnrdoc");
    const std::wstring theirs = L"Call back [[C:\\Shared\\Theirs.pnrdoc]]";
    for (const Case &c : cases) {
        check::Row row(c.name);
        Scene scene;
        if (!scene.start(L"Call back"))
            continue;
        CHECK_EQ(driver::view(item(scene.window, "optAction2")).check, BST_CHECKED);
        if (!c.duringDialog)
            anotherWriterSets(scene.record, theirs);
        driver::press(item(scene.window, "cmdOK"));
        if (c.duringDialog) {
            if (!CHECK(scene.waitForOpenDialog() != nullptr))
                continue;
            anotherWriterSets(scene.record, theirs);
            if (!scene.chooseFile(mine))
                continue;
        }
        scene.control.clearCalls();
        const auto box = driver::waitForMessageBox(*scene.program);
        if (!CHECK(box.has_value()))
            continue;
        CHECK_EQ(box->title, std::wstring(L"Pennaroc"));
        CHECK(box->text.rfind(L"There is already a file attached to this sale/opportunity.", 0) == 0);
        CHECK_EQ(box->defaultButton, IDNO);
        CHECK_EQ(scene.details(), theirs);
        driver::answer(*box, c.answer);
        CHECK(driver::waitGone(box->window));
        if (c.answer == IDYES) {
            CHECK_EQ(scene.program->exitStatus(30000), 0L);
            const std::wstring expected = L"Call back [[" + mine + L"]]";
            CHECK_EQ(scene.details(), expected);
            CHECK_EQ(setFieldCalls(scene.control), std::vector<std::wstring>{setFieldCall(scene.record, expected)});
            continue;
        }
        // No Open File dialog follows, and nothing is written.
        Sleep(500);
        driver::WindowQuery query;
        query.menuBar = false;
        CHECK(driver::findWindow(scene.program->id(), query) == nullptr);
        CHECK_EQ(scene.details(), theirs);
        CHECK(setFieldCalls(scene.control).empty());
        scene.stillOpenThenCancel();
        CHECK_EQ(scene.details(), theirs);
    }
}

// ACT! refuses the write. A failure of SetField is reported with the
// procedure's label and the statement's number, and the window stays; a
// write answered with a code other than 0 is "Operation aborted", after
// which Remove keeps the window and Attach ends. The record is unchanged.
void refusedWrite()
{
    const std::wstring path = makeFile(L"Refused\\Quote.pnrdoc");
    const std::wstring attached = L"Quote sent [[" + path + L"]]";
    struct Case {
        const char *name;
        int option; // 1 Remove, 2 Attach
        testserver::Fault fault;
        std::wstring title;
        std::wstring text;
        bool ends;
    };
    const std::wstring contact = L"\r\rPlease contact support@veltrane.example with this error message.";
    const std::wstring refusal = L"Error 440: 'Automation error (SetField: The record is locked by another user.)'\r"
                                 L"in Form1: Sub cmdOK_Click - Line # ";
    const Case cases[] = {
        {"Remove, a failure", 1, testserver::Fail, L"Pennaroc error", refusal + L"10280" + contact, false},
        {"Attach, a failure", 2, testserver::Fail, L"Pennaroc error", refusal + L"10800" + contact, false},
        {"Remove, a code other than 0", 1, testserver::TooLarge, L"Operation aborted",
         L"Unable to modify the Details field.", false},
        {"Attach, a code other than 0", 2, testserver::TooLarge, L"Operation aborted",
         L"Unable to modify the Details field.", true},
    };
    for (const Case &c : cases) {
        check::Row row(c.name);
        const std::wstring details = c.option == 1 ? attached : L"Call back in May";
        Scene scene;
        if (!scene.start(details))
            continue;
        scene.control.inject(L"SalesList.SetField", c.fault, L"The record is locked by another user.");
        scene.choose(c.option);
        if (c.option == 2 && !scene.chooseFile(path))
            continue;
        const auto box = driver::waitForMessageBox(*scene.program);
        if (!CHECK(box.has_value()))
            continue;
        CHECK_EQ(box->title, c.title);
        CHECK_EQ(box->text, c.text);
        CHECK_EQ(box->icon, std::wstring(L"none"));
        CHECK_EQ(box->buttonIds, std::vector<int>{IDOK});
        // The write was asked for, with the text it would have written.
        const std::wstring wanted = c.option == 1 ? std::wstring(L"Quote sent") : details + L" [[" + path + L"]]";
        CHECK_EQ(setFieldCalls(scene.control), std::vector<std::wstring>{setFieldCall(scene.record, wanted)});
        driver::answer(*box, IDOK);
        CHECK(driver::waitGone(box->window));
        if (c.ends)
            CHECK_EQ(scene.program->exitStatus(30000), 0L);
        else
            scene.stillOpenThenCancel();
        CHECK_EQ(scene.details(), details);
        CHECK(driver::shellRequests().empty());
    }
}

// A file whose path holds "[[" or "]]", or ends with "]", could not be read
// back from the marker: the program says so, writes nothing and keeps the
// window, where another file can be attached at once.
void pathsTheMarkerCannotHold()
{
    const std::wstring good = makeFile(L"Marker\\fine.pnrdoc");
    const wchar_t *const files[] = {
        L"Marker\\report]]final.pnrdoc",
        L"Marker\\[[draft.pnrdoc",
        L"Marker\\old [[2025\\quote.pnrdoc",
        L"Marker\\scan[2]",
    };
    for (const wchar_t *file : files) {
        check::Row row(check::narrow(file));
        const std::wstring path = makeFile(file);
        Scene scene;
        if (!scene.start(L"Call back in May"))
            continue;
        driver::press(item(scene.window, "cmdOK"));
        if (!scene.chooseFile(path))
            continue;
        const auto box = driver::waitForMessageBox(*scene.program);
        if (!CHECK(box.has_value()))
            continue;
        CHECK_EQ(box->title, std::wstring(L"Pennaroc"));
        CHECK_EQ(box->text, L"The file cannot be attached, because its path contains \"[[\" or \"]]\" or ends with "
                            L"\"]\":\r\r"
                                + path
                                + L"\r\rThe Details field marks the attachment with these characters, so this path "
                                  L"could not be read back. Rename the file or its folder, then attach it again.");
        CHECK_EQ(box->icon, std::wstring(L"exclamation"));
        CHECK_EQ(box->buttonIds, std::vector<int>{IDOK});
        CHECK_EQ(scene.details(), std::wstring(L"Call back in May"));
        driver::answer(*box, IDOK);
        CHECK(driver::waitGone(box->window));
        CHECK(scene.program->running());
        CHECK(setFieldCalls(scene.control).empty());

        driver::press(item(scene.window, "cmdOK"));
        if (!scene.chooseFile(good))
            continue;
        CHECK_EQ(scene.program->exitStatus(30000), 0L);
        CHECK_EQ(scene.details(), L"Call back in May [[" + good + L"]]");
    }
}

} // namespace

int main(int argc, char **argv)
{
    const testserver::EndServerAtExit endServer;
    Control control;
    server = &control;
    removeTree(base().substr(0, base().size() - 1));
    CreateDirectoryW(base().c_str(), nullptr);
    const int status = check::run(argc, argv,
                                  {{"openHandsThePathToTheShell", openHandsThePathToTheShell},
                                   {"openWhenTheFileIsGone", openWhenTheFileIsGone},
                                   {"remove", removeAction},
                                   {"attachTypedPath", attachTypedPath},
                                   {"attachStartFolder", attachStartFolder},
                                   {"attachCancelled", attachCancelled},
                                   {"replaceQuestion", replaceQuestion},
                                   {"anotherWriterAttached", anotherWriterAttached},
                                   {"refusedWrite", refusedWrite},
                                   {"pathsTheMarkerCannotHold", pathsTheMarkerCannotHold}});
    driver::clearShellRequests();
    removeTree(base().substr(0, base().size() - 1));
    return status;
}
