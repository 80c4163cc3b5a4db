#pragma once

#include "platform/PlatformServices.h"
#include "platform/SingleInstanceLock.h"

#include <memory>

namespace platform {

// The desktop services of a Qt program on Linux.
class QtPlatformServices : public PlatformServices {
public:
    QtPlatformServices();
    ~QtPlatformServices() override;

    int MsgBox(const QString &text, int style, const QString &title) override;
    std::optional<QString> OpenFile(const OpenFileRequest &request) override;
    std::optional<QString> BrowseForFolder(QWidget *owner) override;
    bool ShellExecute(QWidget *owner, const QString &operation, const QString &target, const QString &parameters,
                      const QString &directory, int showCommand) override;
    void SetForegroundWindow(QWidget *window) override;
    bool AnotherInstanceRunning() override;
    QString ProgramFolder() override;
    QString ExecutableName() override;

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
