#include "tests/support/ScriptedPlatform.h"

namespace testsupport {

int ScriptedPlatform::MsgBox(const QString &text, int style, const QString &title)
{
    const Message message{text, style, title};
    messages << message;
    if (journal)
        journal->append(QStringLiteral("MsgBox(") + QString::number(style) + QLatin1Char(',') + title
                        + QLatin1Char(')'));
    if (whileMsgBoxOpen)
        whileMsgBoxOpen(message);
    if (!msgBoxAnswers.isEmpty())
        return msgBoxAnswers.takeFirst();
    return (style & 7) == platform::vbYesNo ? platform::vbNo : platform::vbOK;
}

std::optional<QString> ScriptedPlatform::OpenFile(const platform::OpenFileRequest &request)
{
    openFileRequests << request;
    if (journal)
        journal->append(QStringLiteral("OpenFile"));
    if (whileOpenFileOpen)
        whileOpenFileOpen(request);
    if (openFileAnswers.isEmpty())
        return std::nullopt;
    return openFileAnswers.takeFirst();
}

std::optional<QString> ScriptedPlatform::BrowseForFolder(QWidget *owner)
{
    folderOwners << owner;
    if (journal)
        journal->append(QStringLiteral("BrowseForFolder"));
    if (folderAnswers.isEmpty())
        return std::nullopt;
    return folderAnswers.takeFirst();
}

bool ScriptedPlatform::ShellExecute(QWidget *, const QString &operation, const QString &target,
                                    const QString &parameters, const QString &directory, int showCommand)
{
    shellRequests << Shell{operation, target, parameters, directory, showCommand};
    if (journal)
        journal->append(QStringLiteral("ShellExecute(") + operation + QLatin1Char(',') + target + QLatin1Char(')'));
    return true;
}

void ScriptedPlatform::SetForegroundWindow(QWidget *window)
{
    foregroundWindows << window;
    if (journal)
        journal->append(QStringLiteral("SetForegroundWindow"));
}

bool ScriptedPlatform::AnotherInstanceRunning()
{
    ++instanceChecks;
    return anotherInstance;
}

QString linkRequestMismatch(const ScriptedPlatform::Shell &shell, const QString &target)
{
    QStringList wrong;
    if (shell.operation != QLatin1String("open"))
        wrong << QStringLiteral("operation '%1'").arg(shell.operation);
    if (shell.target != target)
        wrong << QStringLiteral("target '%1'").arg(shell.target);
    if (!shell.parameters.isNull())
        wrong << QStringLiteral("parameters '%1'").arg(shell.parameters);
    if (shell.directory != QLatin1String("/opt/pennaroc"))
        wrong << QStringLiteral("folder '%1'").arg(shell.directory);
    if (shell.showCommand != platform::SW_SHOW)
        wrong << QStringLiteral("show command %1").arg(shell.showCommand);
    return wrong.join(QStringLiteral(", "));
}

} // namespace testsupport
