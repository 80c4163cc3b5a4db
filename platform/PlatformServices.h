#pragma once

// Every service the program asks of the desktop, behind one small interface,
// so that tests can script a user's answers and record each request. Texts
// are UTF-16; windows are named by an opaque handle that only the face that
// made them can read.

#include <optional>
#include <string>

namespace platform {

// A window of the program, as the face knows it; null means none.
using WindowHandle = struct OpaqueWindow *;

// Message box style values, as the program composes them.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbYesNo = 4,
    vbExclamation = 48,
    vbDefaultButton2 = 256,
};
// Message box answers.
enum MsgBoxResult : int {
    vbOK = 1,
    vbYes = 6,
    vbNo = 7,
};
inline constexpr int SW_SHOW = 5;

struct OpenFileRequest {
    std::u16string filter;     // "label|pattern|label|pattern..."
    std::u16string initialDir; // empty: the dialog's own default folder
    WindowHandle owner = nullptr;
};

class PlatformServices {
public:
    virtual ~PlatformServices() = default;

    // A modal message box. The text keeps its carriage returns; each CR or
    // CRLF is shown as one line break. Returns vbOK, vbYes or vbNo.
    virtual int MsgBox(const std::u16string &text, int style, const std::u16string &title) = 0;

    // The Open File dialog: the chosen file's full path, or nothing when the
    // user cancels.
    virtual std::optional<std::u16string> OpenFile(const OpenFileRequest &request) = 0;

    // The folder chooser, modal over owner, starting at the top of the file
    // system: a full path, or nothing when the user cancels.
    virtual std::optional<std::u16string> BrowseForFolder(WindowHandle owner) = 0;

    // Asks the desktop to open target (a file, folder or URL). No parameters
    // (nullopt) differs from empty ones. The result is the desktop's answer;
    // the program's callers ignore it.
    virtual bool ShellExecute(WindowHandle owner, const std::u16string &operation, const std::u16string &target,
                              const std::optional<std::u16string> &parameters, const std::u16string &directory,
                              int showCommand) = 0;

    // Brings a window to the front.
    virtual void SetForegroundWindow(WindowHandle window) = 0;

    // True when another copy of the program already runs. The first call
    // claims the single-instance lock for this copy when it is free.
    virtual bool AnotherInstanceRunning() = 0;

    // The folder that holds the running executable, and its file name.
    virtual std::u16string ProgramFolder() = 0;
    virtual std::u16string ExecutableName() = 0;

    // True when path, exactly as given, names an existing file or folder.
    virtual bool PathExists(const std::u16string &path) = 0;

    // True when opening path through the shell would run a program rather
    // than open a document: an executable, a script the desktop runs, a
    // launcher or a shortcut (which may point anywhere).
    virtual bool OpensAsProgram(const std::u16string &path) = 0;
};

} // namespace platform
