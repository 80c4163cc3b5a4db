#pragma once

// Scripted desktop services for tests: answers come from queues filled by
// the test, and every request is recorded in order.

#include "platform/PlatformServices.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

namespace testsupport {

class ScriptedPlatform : public platform::PlatformServices {
public:
    struct Message {
        QString text;
        int style = 0;
        QString title;
    };
    struct Shell {
        QString operation;
        QString target;
        QString parameters; // null when none was given
        QString directory;
        int showCommand = 0;
    };

    // --- answers -------------------------------------------------------------
    // Answers for message boxes, taken in order; when empty, an OK-only box
    // answers vbOK and a Yes/No box answers vbNo.
    QList<int> msgBoxAnswers;
    // Runs while a message box is "open", before it answers (a test can
    // raise a host event here, as if it arrived during the modal box).
    std::function<void(const Message &)> whileMsgBoxOpen;
    // Answers for the Open File dialog; when empty, the user cancels.
    QList<std::optional<QString>> openFileAnswers;
    std::function<void(const platform::OpenFileRequest &)> whileOpenFileOpen;
    // Answers for the folder chooser; when empty, the user cancels.
    QList<std::optional<QString>> folderAnswers;
    bool anotherInstance = false;
    QString programFolder = QStringLiteral("/opt/pennaroc");
    QString executableName = QStringLiteral("Pennaroc");

    // --- requests ------------------------------------------------------------
    QList<Message> messages;
    QList<platform::OpenFileRequest> openFileRequests;
    QList<QPointer<QWidget>> folderOwners;
    QList<Shell> shellRequests;
    QList<QPointer<QWidget>> foregroundWindows;
    int instanceChecks = 0;
    QStringList *journal = nullptr; // when set, requests are appended here too

    int MsgBox(const QString &text, int style, const QString &title) override;
    std::optional<QString> OpenFile(const platform::OpenFileRequest &request) override;
    std::optional<QString> BrowseForFolder(QWidget *owner) override;
    bool ShellExecute(QWidget *owner, const QString &operation, const QString &target, const QString &parameters,
                      const QString &directory, int showCommand) override;
    void SetForegroundWindow(QWidget *window) override;
    bool AnotherInstanceRunning() override;
    QString ProgramFolder() override { return programFolder; }
    QString ExecutableName() override { return executableName; }
};

// How a shell request differs from the one the program makes for a link:
// "open" of target, with no parameters, from the scripted program folder, and
// the normal show command. Empty when it does not differ.
QString linkRequestMismatch(const ScriptedPlatform::Shell &shell, const QString &target);

} // namespace testsupport
