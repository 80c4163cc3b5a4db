#pragma once

// The desktop services on Windows, through the system's own shell and user
// interface, in their wide (W) forms throughout so that any path round-trips:
// MessageBoxW, the common Open File dialog, SHBrowseForFolderW from the
// desktop, ShellExecuteW, SetForegroundWindow, a named mutex for the
// one-copy test, GetModuleFileNameW and SHGetFileInfoW.
//
// The shell's dialogs need COM on the calling thread in a single-threaded
// apartment (app/win32/main.cpp initialises it).

#include "platform/PlatformServices.h"

#include "platform/win32/SystemHeaders.h"

#include <string>

namespace platform::win32 {

class Win32PlatformServices : public PlatformServices {
public:
    // mutexName: the name of the one-copy mutex (tests use names of their
    // own).
    explicit Win32PlatformServices(std::wstring mutexName = defaultMutexName());
    ~Win32PlatformServices() override;
    Win32PlatformServices(const Win32PlatformServices &) = delete;
    Win32PlatformServices &operator=(const Win32PlatformServices &) = delete;

    int MsgBox(const std::u16string &text, int style, const std::u16string &title) override;
    std::optional<std::u16string> OpenFile(const OpenFileRequest &request) override;
    std::optional<std::u16string> BrowseForFolder(WindowHandle owner) override;
    bool ShellExecute(WindowHandle owner, const std::u16string &operation, const std::u16string &target,
                      const std::optional<std::u16string> &parameters, const std::u16string &directory,
                      int showCommand) override;
    void SetForegroundWindow(WindowHandle window) override;
    bool AnotherInstanceRunning() override;
    std::u16string ProgramFolder() override;
    std::u16string ExecutableName() override;
    bool PathExists(const std::u16string &path) override;
    bool OpensAsProgram(const std::u16string &path) override;

    // One copy per user session: a mutex in the session's namespace.
    static std::wstring defaultMutexName() { return L"Local\\Pennaroc.OneCopy"; }

    // "label|pattern|label|pattern" as the Open File dialog takes it: each
    // part ended by a NUL, the whole by another.
    static std::wstring openFileFilter(const std::u16string &filter);
    // The folder the Open File dialog starts in: the folder itself, or the
    // folder that holds a file that the stored setting may name.
    static std::wstring startingFolder(const std::u16string &initialDir);

private:
    std::wstring mutexName_;
    HANDLE mutex_ = nullptr; // held for the whole run once this copy is the one
};

// The full path of the running executable.
std::wstring modulePath();

} // namespace platform::win32
