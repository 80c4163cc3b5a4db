// The desktop services on Windows, through the system's own dialogs and
// calls: message boxes answered from another thread, which reads them back
// (title, text, buttons, the default one); the Open File and folder
// dialogs driven the same way; paths outside any code page round-tripping;
// the shell launching this program with the parameters and folder it was
// given; and the one-copy mutex, which a killed copy does not keep.
// Needs a display (CTest runs it under xvfb-run).

#include "platform/win32/Win32PlatformServices.h"
#include "tests/windows/Check.h"

#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using platform::win32::Win32PlatformServices;

std::wstring text(HWND window)
{
    std::wstring value(std::size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    value.resize(std::size_t(GetWindowTextW(window, value.data(), int(value.size()))));
    return value;
}

// The system's dialog with the given title, once it is shown.
HWND waitForDialog(const std::wstring &title, DWORD timeoutMs = 15000)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < end) {
        HWND dialog = FindWindowW(L"#32770", title.c_str());
        if (dialog && IsWindowVisible(dialog))
            return dialog;
        Sleep(20);
    }
    return nullptr;
}

// What another thread does with a dialog while this one waits in it.
class Operator {
public:
    Operator(std::wstring title, std::function<void(HWND)> act)
        : thread_([this, title = std::move(title), act = std::move(act)] {
              HWND dialog = waitForDialog(title);
              found_ = dialog != nullptr;
              if (dialog) {
                  Sleep(100); // the dialog finishes setting itself up
                  act(dialog);
              }
          })
    {
    }
    ~Operator()
    {
        if (thread_.joinable())
            thread_.join();
    }
    bool found()
    {
        thread_.join();
        return found_;
    }

private:
    std::atomic<bool> found_{false};
    std::thread thread_;
};

// A folder of this test's own, with a name no code page has.
std::wstring scratchFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"Pennaroc \u03A9\u00E9 \U0001D11E";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::wstring makeFile(const std::wstring &path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    CHECK(file != INVALID_HANDLE_VALUE);
    CloseHandle(file);
    return path;
}

std::u16string u16(const std::wstring &text)
{
    return std::u16string(text.begin(), text.end());
}

std::wstring modulePath()
{
    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
    return std::wstring(path, length);
}

// --- message boxes --------------------------------------------------------------------

struct SeenBox {
    std::wstring text;
    bool ok = false, yes = false, no = false;
    int defaultButton = 0;
    bool icon = false;
};

BOOL CALLBACK findIcon(HWND child, LPARAM found)
{
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    if (CompareStringOrdinal(name, -1, L"Static", -1, TRUE) == CSTR_EQUAL
        && (GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child)
        && SendMessageW(child, STM_GETICON, 0, 0) != 0)
        *reinterpret_cast<bool *>(found) = true;
    return TRUE;
}

SeenBox look(HWND box)
{
    SeenBox seen;
    // The text is the box's static control 0xFFFF.
    seen.text = text(GetDlgItem(box, 0xFFFF));
    seen.ok = GetDlgItem(box, IDOK) != nullptr;
    seen.yes = GetDlgItem(box, IDYES) != nullptr;
    seen.no = GetDlgItem(box, IDNO) != nullptr;
    // The default button is drawn as such.
    for (int button : {IDOK, IDYES, IDNO}) {
        HWND window = GetDlgItem(box, button);
        if (window && (GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            seen.defaultButton = button;
    }
    EnumChildWindows(box, findIcon, reinterpret_cast<LPARAM>(&seen.icon));
    return seen;
}

// Each style value the program uses, answered with each of its buttons or
// with Enter: the buttons, the default one, the icon, and the answer.
void messageBoxes()
{
    Win32PlatformServices desktop(L"Local\\PennarocServicesTest.MessageBoxes");
    const struct {
        int style;
        const char *answerWith; // "ok", "yes", "no", "enter"
        int answer;
        bool yesNo;
        int defaultButton;
        bool icon;
    } rows[] = {
        {0, "ok", platform::vbOK, false, IDOK, false},
        {0, "enter", platform::vbOK, false, IDOK, false},
        {48, "ok", platform::vbOK, false, IDOK, true},
        {4, "yes", platform::vbYes, true, IDYES, false},
        {4, "no", platform::vbNo, true, IDYES, false},
        {4, "enter", platform::vbYes, true, IDYES, false},
        {308, "yes", platform::vbYes, true, IDNO, true},
        {308, "enter", platform::vbNo, true, IDNO, true},
    };
    const std::u16string message = u"First line\rSecond line \u03A9\r\nThird";
    int row = 0;
    for (const auto &r : rows) {
        std::printf("  style %d, %s\n", r.style, r.answerWith);
        const std::u16string title = u"Pennaroc box " + std::u16string(1, char16_t(u'A' + row++));
        SeenBox seen;
        const std::string answerWith = r.answerWith;
        Operator op(std::wstring(title.begin(), title.end()), [&](HWND box) {
            seen = look(box);
            if (answerWith == "enter") {
                // The box has the focus on its default button.
                HWND target = GetDlgItem(box, seen.defaultButton ? seen.defaultButton : IDOK);
                PostMessageW(target ? target : box, WM_KEYDOWN, VK_RETURN, 1);
                PostMessageW(target ? target : box, WM_KEYUP, VK_RETURN, LPARAM(0xC0000001u));
            } else {
                const int button = answerWith == "ok" ? IDOK : answerWith == "yes" ? IDYES : IDNO;
                SendMessageW(GetDlgItem(box, button), BM_CLICK, 0, 0);
            }
        });
        const int answer = desktop.MsgBox(message, r.style, title);
        if (!CHECK(op.found()))
            continue;
        CHECK_EQ(answer, r.answer);
        CHECK(seen.text == L"First line\rSecond line \u03A9\r\nThird");
        CHECK_EQ(seen.yes, r.yesNo);
        CHECK_EQ(seen.no, r.yesNo);
        CHECK_EQ(seen.ok, !r.yesNo);
        CHECK_EQ(seen.defaultButton, r.defaultButton);
        CHECK_EQ(seen.icon, r.icon);
    }
}

// --- the Open File dialog -------------------------------------------------------------

// The file name box of the Open File dialog and its OK button.
void chooseFile(HWND dialog, const std::wstring &name)
{
    HWND box = GetDlgItem(dialog, 0x47C); // the file name combo box
    if (!box)
        box = GetDlgItem(dialog, 0x480); // an edit box in older dialogs
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
}

std::vector<std::wstring> filterNames(HWND dialog)
{
    std::vector<std::wstring> names;
    HWND filters = GetDlgItem(dialog, 0x470);
    const LRESULT count = SendMessageW(filters, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring name(std::size_t(SendMessageW(filters, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
        name.resize(std::size_t(SendMessageW(filters, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name.data()))));
        names.push_back(name);
    }
    return names;
}

void openFile()
{
    Win32PlatformServices desktop(L"Local\\PennarocServicesTest.OpenFile");
    const std::wstring folder = scratchFolder();
    const std::wstring file = makeFile(folder + L"\\Na\u00EFve \u03A9 \U0001D11E.txt");

    // A name typed into the dialog is taken in the folder it starts in:
    // the path comes back whole.
    std::vector<std::wstring> filters;
    {
        Operator op(L"Open", [&](HWND dialog) {
            filters = filterNames(dialog);
            chooseFile(dialog, L"Na\u00EFve \u03A9 \U0001D11E.txt");
        });
        const std::optional<std::u16string> chosen =
            desktop.OpenFile({u"Text files|*.txt|All files|*.*", u16(folder), nullptr});
        CHECK(op.found());
        CHECK(chosen.has_value());
        if (chosen)
            CHECK(*chosen == u16(file));
        CHECK(filters == std::vector<std::wstring>({L"Text files", L"All files"}));
    }
    // Started from a stored setting that names a file, it opens in that
    // file's folder.
    {
        Operator op(L"Open", [&](HWND dialog) { chooseFile(dialog, L"Na\u00EFve \u03A9 \U0001D11E.txt"); });
        const std::optional<std::u16string> chosen = desktop.OpenFile({u"All files|*.*", u16(file), nullptr});
        CHECK(op.found());
        if (CHECK(chosen.has_value()))
            CHECK(*chosen == u16(file));
    }
    // Cancel: nothing.
    {
        Operator op(L"Open",
                    [](HWND dialog) { SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); });
        CHECK(!desktop.OpenFile({u"All files|*.*", u16(folder), nullptr}).has_value());
        CHECK(op.found());
    }
}

void filterAndFolder()
{
    CHECK(Win32PlatformServices::openFileFilter(u"Text|*.txt|All|*.*") == std::wstring(L"Text\0*.txt\0All\0*.*\0", 19));
    CHECK(Win32PlatformServices::openFileFilter(u"").empty());

    const std::wstring folder = scratchFolder();
    const std::wstring file = makeFile(folder + L"\\stored.txt");
    CHECK_EQ(Win32PlatformServices::startingFolder(u16(file)), folder);
    CHECK_EQ(Win32PlatformServices::startingFolder(u16(folder)), folder);
    CHECK_EQ(Win32PlatformServices::startingFolder(u"Q:\\No such folder"), std::wstring(L"Q:\\No such folder"));
    CHECK_EQ(Win32PlatformServices::startingFolder(u""), std::wstring());
}

// --- the folder chooser ---------------------------------------------------------------

void browseForFolder()
{
    Win32PlatformServices desktop(L"Local\\PennarocServicesTest.Browse");
    // It opens at the desktop, the top of the shell's namespace, which is a
    // folder of the file system: OK at once gives its path.
    wchar_t desktopFolder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktopFolder);
    {
        Operator op(L"Browse for Folder",
                    [](HWND dialog) { SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0); });
        const std::optional<std::u16string> chosen = desktop.BrowseForFolder(nullptr);
        CHECK(op.found());
        if (CHECK(chosen.has_value()))
            CHECK(*chosen == u16(desktopFolder));
    }
    {
        Operator op(L"Browse for Folder",
                    [](HWND dialog) { SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); });
        CHECK(!desktop.BrowseForFolder(nullptr).has_value());
        CHECK(op.found());
    }
}

// --- paths ----------------------------------------------------------------------------

void pathExists()
{
    Win32PlatformServices desktop(L"Local\\PennarocServicesTest.Paths");
    const std::wstring folder = scratchFolder();
    const std::wstring file = makeFile(folder + L"\\\u00C9t\u00E9 \U0001D11E.doc");
    const struct {
        std::wstring path;
        bool exists;
    } rows[] = {
        {file, true},
        {folder, true},
        {L"C:\\", true},
        {folder + L"\\missing.doc", false},
        {L"Q:\\Nowhere\\file.txt", false},
        {L"", false},
    };
    for (const auto &r : rows)
        CHECK_EQ(desktop.PathExists(u16(r.path)), r.exists);
}

// Whether opening a path runs a program: by the name's last extension,
// whatever its case; shortcuts always; folders and documents never.
void opensAsProgram()
{
    Win32PlatformServices desktop(L"Local\\PennarocServicesTest.Programs");
    const struct {
        const char *name;
        std::u16string path;
        bool program;
    } rows[] = {
        {"document", u"C:\\Docs\\Quote.doc", false},
        {"PDF", u"C:\\Docs\\invoice.pdf", false},
        {"text, several dots", u"C:\\Docs\\quote.2026.05.txt", false},
        {"upper-case document", u"C:\\Docs\\INVOICE.PDF", false},
        {"no extension", u"C:\\Docs\\README", false},
        {"a dot in the folder only", u"C:\\Docs.old\\README", false},
        {"program on a share", u"\\\\server\\share\\quote.exe", true},
        {"upper-case program", u"C:\\Docs\\QUOTE.EXE", true},
        {"shortcut after a document's name", u"C:\\Users\\x\\Downloads\\invoice.pdf.lnk", true},
        {"web shortcut", u"C:\\Docs\\site.url", true},
        {"old shortcut", u"C:\\Docs\\app.PIF", true},
        {"batch file", u"C:\\Docs\\go.bat", true},
        {"command script", u"C:\\Docs\\go.cmd", true},
        {"script host file", u"C:\\Docs\\a.vbs", true},
        {"installer", u"C:\\Docs\\setup.msi", true},
        {"screen saver", u"C:\\Docs\\x.scr", true},
        {"forward slashes", u"C:/Docs/quote.exe", true},
        {"empty", u"", false},
    };
    for (const auto &r : rows) {
        check::Row row(r.name);
        CHECK_EQ(desktop.OpensAsProgram(r.path), r.program);
    }
}

void programPaths()
{
    Win32PlatformServices desktop(L"Local\\PennarocServicesTest.Program");
    const std::wstring path = modulePath();
    const std::u16string folder = desktop.ProgramFolder();
    const std::u16string name = desktop.ExecutableName();
    CHECK(name == u"WindowsWin32Services.exe");
    CHECK(folder + u"\\" + name == u16(path));
}

// --- the shell ------------------------------------------------------------------------

// What this program, started by the shell with --record FILE, writes down.
int recordStart(const wchar_t *file)
{
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    const std::wstring record = std::wstring(GetCommandLineW()) + L"\n" + folder + L"\n"
        + std::to_wstring((startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1) + L"\n";
    HANDLE out = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(out, record.data(), DWORD(record.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(out);
    return 0;
}

std::wstring readRecord(const std::wstring &file, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < end) {
        HANDLE in = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (in != INVALID_HANDLE_VALUE) {
            std::wstring record(4096, L'\0');
            DWORD read = 0;
            ReadFile(in, record.data(), DWORD(record.size() * sizeof(wchar_t)), &read, nullptr);
            CloseHandle(in);
            record.resize(read / sizeof(wchar_t));
            if (!record.empty() && record.back() == L'\n')
                return record;
        }
        Sleep(50);
    }
    return {};
}

void shellExecute()
{
    Win32PlatformServices desktop(L"Local\\PennarocServicesTest.Shell");
    const std::wstring folder = scratchFolder();
    const std::wstring record = folder + L"\\record \u03A9.txt";
    DeleteFileW(record.c_str());
    const bool started = desktop.ShellExecute(nullptr, u"open", u16(modulePath()),
                                              u"--record \"" + u16(record) + u"\"", u16(folder), SW_SHOW);
    CHECK(started);
    const std::wstring seen = readRecord(record, 15000);
    CHECK(seen.find(L"--record \"" + record + L"\"") != std::wstring::npos);
    CHECK(seen.find(L"\n" + folder + L"\n") != std::wstring::npos);
    CHECK(seen.find(L"\n5\n") != std::wstring::npos);

    // Nothing to open: the shell's answer is false.
    CHECK(!desktop.ShellExecute(nullptr, u"open", u16(folder + L"\\no such file.xyz"), std::nullopt, u16(folder),
                                SW_SHOW));
}

// --- one copy at a time ---------------------------------------------------------------

// This program, started with --hold NAME EVENT: claims the one-copy mutex,
// says so, and waits to be killed.
int holdMutex(const wchar_t *name, const wchar_t *event)
{
    Win32PlatformServices copy(name);
    if (copy.AnotherInstanceRunning())
        return 2;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, event);
    SetEvent(ready);
    CloseHandle(ready);
    Sleep(INFINITE);
    return 0;
}

void oneCopy()
{
    const std::wstring name = L"Local\\PennarocServicesTest.OneCopy." + std::to_wstring(GetCurrentProcessId());
    {
        Win32PlatformServices first(name);
        CHECK(!first.AnotherInstanceRunning());
        CHECK(!first.AnotherInstanceRunning()); // it holds the mutex itself
        Win32PlatformServices second(name);
        CHECK(second.AnotherInstanceRunning());
        CHECK(second.AnotherInstanceRunning());
    }
    // Once the first copy is gone, the next one starts.
    {
        Win32PlatformServices next(name);
        CHECK(!next.AnotherInstanceRunning());
    }

    // A copy that is killed leaves nothing behind.
    const std::wstring eventName = L"PennarocServicesTest.Ready." + std::to_wstring(GetCurrentProcessId());
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    std::wstring command = L"\"" + modulePath() + L"\" --hold \"" + name + L"\" \"" + eventName + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!CHECK(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &child)))
        return;
    CHECK(WaitForSingleObject(ready, 15000) == WAIT_OBJECT_0);
    {
        Win32PlatformServices another(name);
        CHECK(another.AnotherInstanceRunning());
    }
    TerminateProcess(child.hProcess, 9);
    CHECK(WaitForSingleObject(child.hProcess, 15000) == WAIT_OBJECT_0);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    CloseHandle(ready);
    Win32PlatformServices after(name);
    CHECK(!after.AnotherInstanceRunning());
}

} // namespace

int main(int argc, char **argv)
{
    int count = 0;
    wchar_t **args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (count >= 3 && std::wstring(args[1]) == L"--record")
        return recordStart(args[2]);
    if (count >= 4 && std::wstring(args[1]) == L"--hold")
        return holdMutex(args[2], args[3]);

    OleInitialize(nullptr);
    const int status = check::run(argc, argv,
                                  {
                                      {"messageBoxes", messageBoxes},
                                      {"filterAndFolder", filterAndFolder},
                                      {"openFile", openFile},
                                      {"browseForFolder", browseForFolder},
                                      {"pathExists", pathExists},
                                      {"programPaths", programPaths},
                                      {"opensAsProgram", opensAsProgram},
                                      {"shellExecute", shellExecute},
                                      {"oneCopy", oneCopy},
                                  });
    OleUninitialize();
    return status;
}
