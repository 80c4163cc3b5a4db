#pragma once

// Every service the program asks of the desktop, behind one small interface,
// so that tests can script a user's answers and record each request.

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace platform {

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
    QString filter;      // "label|pattern|label|pattern..."
    QString initialDir;  // empty: the dialog's own default folder
    QWidget *owner = nullptr;
};

class PlatformServices {
public:
    virtual ~PlatformServices() = default;

    // A modal message box. The text keeps its carriage returns; each CR or
    // CRLF is shown as one line break. Returns vbOK, vbYes or vbNo.
    virtual int MsgBox(const QString &text, int style, const QString &title) = 0;

    // The Open File dialog: the chosen file's full path, or nothing when the
    // user cancels.
    virtual std::optional<QString> OpenFile(const OpenFileRequest &request) = 0;

    // The folder chooser, modal over owner, starting at the top of the file
    // system: a full path, or nothing when the user cancels.
    virtual std::optional<QString> BrowseForFolder(QWidget *owner) = 0;

    // Asks the desktop to open target (a file, folder or URL). A null
    // parameters string means none. The result is the desktop's answer;
    // the program's callers ignore it.
    virtual bool ShellExecute(QWidget *owner, const QString &operation, const QString &target,
                              const QString &parameters, const QString &directory, int showCommand) = 0;

    // Brings a window to the front.
    virtual void SetForegroundWindow(QWidget *window) = 0;

    // True when another copy of the program already runs. The first call
    // claims the single-instance lock for this copy when it is free.
    virtual bool AnotherInstanceRunning() = 0;

    // The folder that holds the running executable, and its file name.
    virtual QString ProgramFolder() = 0;
    virtual QString ExecutableName() = 0;
};

} // namespace platform
