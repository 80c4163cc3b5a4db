#pragma once

// The end-to-end tests' driver: runs Pennaroc.exe (or another program beside
// the tests), finds its windows by caption and class, reads each control's
// text, state, place and size, presses buttons and keys, reads message boxes
// (text, icon, buttons, default button, title), and reads what the shell was
// asked to open (ShellRecorder.exe, registered for the test prefix's file
// and URL types, writes each request to a log).
//
// Everything goes through Win32 from another process, as a user's own tools
// would; nothing here links the program's windows.

#include <windows.h>

#include <commctrl.h>

#include "platform/forms/Layout.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace driver {

// The folder of the test programs (and of Pennaroc.exe, ShellRecorder.exe and
// the test server), with a trailing backslash.
std::wstring programFolder();
// The prefix's folder for temporary files, with a trailing backslash.
std::wstring tempFolder();

std::wstring text(HWND window);
std::wstring className(HWND window);

// A program started by the test, ended (killed) when the test is done with
// it unless it ended by itself.
class Program {
public:
    // name: a program in programFolder() ("Pennaroc.exe"), or a full path;
    // arguments: the rest of the command line, as it is given.
    explicit Program(const std::wstring &name = L"Pennaroc.exe", const std::wstring &arguments = {});
    ~Program();
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    bool started() const { return started_; }
    bool running() const;
    // The exit status once it ended within timeoutMs; -1 while it runs.
    long exitStatus(DWORD timeoutMs) const;
    DWORD id() const { return process_.dwProcessId; }
    HANDLE handle() const { return process_.hProcess; }
    void kill();

private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

// What a top-level window is looked for by. Empty fields match anything.
struct WindowQuery {
    std::wstring caption;               // exact
    std::wstring windowClass = L"#32770";
    std::optional<bool> menuBar;        // true: the main window; false: dialogs and boxes
    HWND not1 = nullptr;                // a window that does not count (one already found)
};

// The shown top-level window of the process that matches, once it is there
// (nullptr after timeoutMs, or once the program ended).
HWND waitForWindow(const Program &program, const WindowQuery &query, DWORD timeoutMs = 30000);
HWND findWindow(DWORD process, const WindowQuery &query);
// True once the window is gone or hidden.
bool waitGone(HWND window, DWORD timeoutMs = 30000);
// Waits until condition() holds; false after timeoutMs.
template <class Condition>
bool waitUntil(Condition condition, DWORD timeoutMs = 15000)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= end)
            return false;
        Sleep(50);
    }
    return true;
}

// The main window of a freshly started Pennaroc.exe.
inline HWND waitForMainWindow(const Program &program, DWORD timeoutMs = 30000)
{
    WindowQuery query;
    query.menuBar = true;
    return waitForWindow(program, query, timeoutMs);
}

// A control of a window built from layout, by its id in the table
// ("optAction0", "cmdOK"); nullptr when the table has none.
HWND control(HWND window, const forms::FormSpec &layout, std::string_view id);
// The window id of a control or menu item (the face gives each row of the
// table the id 100 + its row).
int controlId(const forms::FormSpec &layout, std::string_view id);

// What a user sees of a control.
struct ControlView {
    std::wstring text;
    bool enabled = false;
    bool visible = false;
    int check = 0;  // BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE (buttons)
    RECT place{};   // in the client area of its top-level window, in pixels
};
ControlView view(HWND control);

// Presses a button as a click does (posted, so that a modal window it opens
// does not hold the test).
void press(HWND button);
// Chooses a menu item of a window, as the menu does.
void chooseMenu(HWND window, const forms::FormSpec &layout, std::string_view id);
// Makes window the foreground window and types keys into it: virtual key
// codes, with the modifier keys held (VK_SHIFT, VK_MENU, VK_CONTROL).
bool pressKey(HWND window, WORD key, std::initializer_list<WORD> modifiers = {});
// Types text into the window that has the keyboard focus in window's
// thread, one character at a time (Unicode input).
bool typeText(HWND window, std::wstring_view text);
// The control that has the keyboard focus in window's thread.
HWND focusOf(HWND window);

// A message box as the user sees it.
struct MessageBoxView {
    HWND window = nullptr;
    std::wstring title;
    std::wstring text;
    // "none", "question", "exclamation", "information", "error", or
    // "unknown" (an icon that is none of the system's).
    std::wstring icon;
    std::vector<std::wstring> buttons; // their texts, left to right
    std::vector<int> buttonIds;        // IDOK, IDCANCEL, IDYES, IDNO, ...
    int defaultButton = 0;             // the id of the default button
};
// The next message box of the program (a dialog with a static text
// 0xFFFF and no menu bar).
std::optional<MessageBoxView> waitForMessageBox(const Program &program, DWORD timeoutMs = 30000);
MessageBoxView readMessageBox(HWND box);
// Presses one of its buttons (IDYES, ...).
void answer(const MessageBoxView &box, int buttonId);

// What the shell was asked to open, one line per request, as ShellRecorder
// wrote it: the target for a document or a URL, "database <path>" for an
// ACT! database.
std::vector<std::wstring> shellRequests();
void clearShellRequests();
// Waits until at least count requests are there.
std::vector<std::wstring> waitForShellRequests(std::size_t count, DWORD timeoutMs = 15000);

// The per-user setting, where the program keeps it.
std::optional<std::wstring> defaultFolderSetting();
void setDefaultFolderSetting(const std::optional<std::wstring> &value);

// Writes a file (its folder must be there); true on success.
bool writeFile(const std::wstring &path, std::string_view contents = "attachment\r\n");

// Clicks the middle of a control with the left mouse button, as a user does:
// its window is brought forward, the pointer moved there, and the button
// pressed and released through SendInput. True when the input was sent.
bool click(HWND control);

// The text a control holds, as it answers WM_GETTEXT. An edit box keeps its
// text itself: text() (GetWindowTextW from another process) reads only what
// the system keeps for a window, and misses it.
std::wstring controlText(HWND control);

// The text of an item of a tree view of another process.
std::wstring treeItemText(HWND tree, HTREEITEM item);
// The item selected in a tree view, with the items above it: their texts
// from the top of the tree down to it; empty when nothing is selected.
std::vector<std::wstring> treeSelection(HWND tree);

} // namespace driver
