// Pennaroc.exe itself, started against the test automation server: its
// main window shows the current record's actions; a second copy shows its
// message and leaves the first alone; the host's notification that the
// database closed ends it, and so does Cancel.
// Needs a display (CTest runs it under xvfb-run) and the test server.

#include "app/Form1.h"
#include "tests/windows/Check.h"
#include "tests/windows/TestServer.h"

#include <string>
#include <string_view>

namespace {

using testserver::Control;

std::wstring text(HWND window)
{
    std::wstring value(std::size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    value.resize(std::size_t(GetWindowTextW(window, value.data(), int(value.size()))));
    return value;
}

// A copy of the program, ended when the test is done with it.
class Program {
public:
    Program()
    {
        wchar_t path[32768];
        const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
        std::wstring exe(path, length);
        exe = exe.substr(0, exe.find_last_of(L'\\')) + L"\\Pennaroc.exe";
        std::wstring command = L"\"" + exe + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                  &process_) != FALSE;
    }
    ~Program()
    {
        if (!started_)
            return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 10000);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    bool started() const { return started_; }
    bool running() const { return started_ && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
    // The exit status once it ended within timeoutMs; -1 while it runs.
    long exitStatus(DWORD timeoutMs) const
    {
        if (!started_ || WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0)
            return -1;
        DWORD status = 0;
        GetExitCodeProcess(process_.hProcess, &status);
        return long(status);
    }
    DWORD id() const { return process_.dwProcessId; }

private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

struct Search {
    DWORD process;
    bool wantMenu;
    HWND found;
};

BOOL CALLBACK findTopWindow(HWND window, LPARAM data)
{
    auto *search = reinterpret_cast<Search *>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (process == search->process && IsWindowVisible(window) && std::wstring_view(name) == L"#32770"
        && (GetMenu(window) != nullptr) == search->wantMenu) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The program's shown window with a menu bar (the main window), or without
// one (a message box), once it is there.
HWND waitForWindow(const Program &program, bool mainWindow, DWORD timeoutMs = 30000)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < end && program.running()) {
        Search search{program.id(), mainWindow, nullptr};
        EnumWindows(findTopWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Sleep(50);
    }
    return nullptr;
}

// A control of the main window by its id in the window's table.
HWND item(HWND window, std::string_view id)
{
    const forms::FormSpec &layout = app::Form1::layout();
    for (std::size_t row = 0; row < layout.controls.size(); ++row) {
        if (layout.controls[row].id == id)
            return GetDlgItem(window, 100 + int(row));
    }
    return nullptr;
}

// The main window on a record with an attachment: Open selected, Remove
// enabled, the menus and the link; a second copy's message; the host's
// notification that the database closed ends the program.
void mainWindow()
{
    Control control;
    control.reset();
    control.setCurrentRow(2);
    Program program;
    if (!CHECK(program.started()))
        return;
    HWND window = waitForWindow(program, true);
    if (!CHECK(window != nullptr))
        return;
    CHECK_EQ(text(window), std::wstring(L"Pennaroc"));
    CHECK(IsWindowEnabled(item(window, "optAction0")));
    CHECK(IsWindowEnabled(item(window, "optAction1")));
    CHECK_EQ(SendMessageW(item(window, "optAction0"), BM_GETCHECK, 0, 0), BST_CHECKED);
    CHECK_EQ(SendMessageW(item(window, "optAction2"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    CHECK_EQ(text(item(window, "optAction2")), std::wstring(L"&Attach a new file"));
    CHECK_EQ(text(item(window, "lblLink")), std::wstring(L"www.veltrane.example"));

    // A second copy says so and ends; the first one stays.
    {
        Program second;
        HWND box = waitForWindow(second, false);
        if (CHECK(box != nullptr)) {
            CHECK_EQ(text(GetDlgItem(box, 0xFFFF)),
                     std::wstring(L"Another instance of Pennaroc is already open. This instance will now close."));
            SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        }
        CHECK_EQ(second.exitStatus(30000), 0L);
    }
    CHECK(program.running());
    CHECK(IsWindowVisible(window));

    // ACT! closes its database: the program ends.
    control.raiseEvent(10);
    CHECK_EQ(program.exitStatus(30000), 0L);
}

// Cancel ends the program; the next copy starts as the only one.
void cancel()
{
    Control control;
    control.reset();
    for (int run = 0; run < 2; ++run) {
        Program program;
        HWND window = waitForWindow(program, true);
        if (!CHECK(window != nullptr))
            return;
        // On a record without an attachment only Attach can be chosen.
        CHECK(!IsWindowEnabled(item(window, "optAction0")));
        CHECK_EQ(SendMessageW(item(window, "optAction2"), BM_GETCHECK, 0, 0), BST_CHECKED);
        SendMessageW(item(window, "cmdCancel"), BM_CLICK, 0, 0);
        CHECK_EQ(program.exitStatus(30000), 0L);
    }
}

// An attachment that is a program (a batch file that leaves a mark when it
// runs) is opened only after Yes: the question is a Yes/No box with No the
// default; No keeps the window and runs nothing, Yes runs it and ends.
void programQuestion()
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring script = std::wstring(temp) + L"Pennaroc quote.bat";
    const std::wstring mark = std::wstring(temp) + L"Pennaroc ran.txt";
    {
        const std::string body = "@echo ran> \"" + check::narrow(mark) + "\"\r\n";
        HANDLE file = CreateFileW(script.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (!CHECK(file != INVALID_HANDLE_VALUE))
            return;
        DWORD written = 0;
        WriteFile(file, body.data(), DWORD(body.size()), &written, nullptr);
        CloseHandle(file);
    }
    for (const int answer : {IDNO, IDYES}) {
        check::Row row(answer == IDYES ? "Yes" : "No");
        DeleteFileW(mark.c_str());
        Control control;
        control.reset();
        control.setCurrentRow(control.addRecord(L"See [[" + script + L"]]"));
        Program program;
        HWND window = waitForWindow(program, true);
        if (!CHECK(window != nullptr))
            return;
        CHECK_EQ(SendMessageW(item(window, "optAction0"), BM_GETCHECK, 0, 0), BST_CHECKED);
        // OK shows a modal box: posted, so that this test is not held by it.
        PostMessageW(item(window, "cmdOK"), BM_CLICK, 0, 0);
        HWND box = waitForWindow(program, false);
        if (!CHECK(box != nullptr))
            return;
        const std::wstring said = text(GetDlgItem(box, 0xFFFF));
        CHECK(said.rfind(L"The attachment is a program:\r\r" + script + L"\r\r", 0) == 0);
        CHECK_EQ(text(box), std::wstring(L"Pennaroc"));
        CHECK(GetDlgItem(box, IDYES) != nullptr);
        // No is the default button.
        CHECK((GetWindowLongW(GetDlgItem(box, IDNO), GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON);
        PostMessageW(GetDlgItem(box, answer), BM_CLICK, 0, 0);
        if (answer == IDNO) {
            Sleep(1500);
            CHECK(program.running());
            CHECK(IsWindowVisible(window));
            CHECK(GetFileAttributesW(mark.c_str()) == INVALID_FILE_ATTRIBUTES);
            PostMessageW(item(window, "cmdCancel"), BM_CLICK, 0, 0);
            CHECK_EQ(program.exitStatus(30000), 0L);
        } else {
            CHECK_EQ(program.exitStatus(30000), 0L);
            const ULONGLONG end = GetTickCount64() + 15000;
            while (GetFileAttributesW(mark.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < end)
                Sleep(100);
            CHECK(GetFileAttributesW(mark.c_str()) != INVALID_FILE_ATTRIBUTES);
        }
    }
    DeleteFileW(mark.c_str());
    DeleteFileW(script.c_str());
}

} // namespace

int main(int argc, char **argv)
{
    const testserver::EndServerAtExit endServer;
    return check::run(argc, argv, {{"mainWindow", mainWindow}, {"cancel", cancel}, {"programQuestion", programQuestion}});
}
