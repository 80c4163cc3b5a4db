#pragma once

#include "platform/PlatformServices.h"
#include "platform/qt/SingleInstanceLock.h"

#include <QString>

#include <memory>

namespace platform {

// The desktop services of a Qt program on Linux. Windows are the Qt face's
// (platform/qt/WindowHandle.h).
class QtPlatformServices : public PlatformServices {
public:
    QtPlatformServices();
    ~QtPlatformServices() override;

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

    // Where the single-instance lock lives: the user's runtime folder
    // ($XDG_RUNTIME_DIR), or without one the temporary folder, under a name
    // of the user's own. Nothing is created on the way.
    static QString lockFilePath();

private:
    // An flock, not a QLockFile: see SingleInstanceLock.h.
    std::unique_ptr<SingleInstanceLock> lock_;
};

// The folder the Open File dialog starts in for an initial folder: the folder
// itself, or the folder that holds it when it names a file.
QString startingFolder(const QString &initialDir);

// Turns each CR or CRLF into LF, for display only.
QString displayText(const QString &text);

} // namespace platform
