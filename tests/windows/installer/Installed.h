#pragma once

// What the installer leaves in the system, as other programs find it: the
// entry in the list of programs, and a started program's main window.
// Shared by the installer tests and the demo's set-up program.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace installed {

inline constexpr const wchar_t *UninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pennaroc";

// A text value of the program's entry in the list of programs, or nothing.
// (A 64-bit program, like the installer, sees the 64-bit registry.)
inline std::optional<std::wstring> entryText(const wchar_t *name)
{
    wchar_t data[2048] = {};
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, UninstallKey, name, RRF_RT_REG_SZ, nullptr, data,
                     &size)
        != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

inline std::optional<DWORD> entryNumber(const wchar_t *name)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, UninstallKey, name, RRF_RT_REG_DWORD, nullptr, &value,
                     &size)
        != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

// A started process, ended (if it still runs) when this goes.
class Process {
public:
    explicit Process(std::wstring commandLine)
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                  &process_)
            != FALSE;
    }
    ~Process()
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
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

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
    HANDLE handle() const { return process_.hProcess; }

private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

// The process's shown main window (a dialog-class window with a menu bar),
// once it is there; nothing when the process ended or timeoutMs passed.
inline HWND waitForMainWindow(const Process &process, DWORD timeoutMs = 30000)
{
    struct Search {
        DWORD process;
        HWND found;
    };
    const auto look = [](HWND window, LPARAM data) -> BOOL {
        auto *search = reinterpret_cast<Search *>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (owner == search->process && IsWindowVisible(window) && std::wstring_view(name) == L"#32770"
            && GetMenu(window) != nullptr) {
            search->found = window;
            return FALSE;
        }
        return TRUE;
    };
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < end && process.running()) {
        Search search{process.id(), nullptr};
        EnumWindows(look, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Sleep(50);
    }
    return nullptr;
}

inline std::wstring windowText(HWND window)
{
    std::wstring value(std::size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    value.resize(std::size_t(GetWindowTextW(window, value.data(), int(value.size()))));
    return value;
}

} // namespace installed
