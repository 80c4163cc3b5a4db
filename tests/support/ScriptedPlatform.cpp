#include "tests/support/ScriptedPlatform.h"

#include "host/Text.h"

namespace testsupport {

void ScriptedPlatform::note(const std::u16string &line)
{
    if (journal)
        journal->push_back(line);
}

int ScriptedPlatform::MsgBox(const std::u16string &text, int style, const std::u16string &title)
{
    const Message message{text, style, title};
    messages.push_back(message);
    note(u"MsgBox(" + text::number(style) + u"," + title + u")");
    if (whileMsgBoxOpen)
        whileMsgBoxOpen(message);
    if (!msgBoxAnswers.empty()) {
        const int answer = msgBoxAnswers.front();
        msgBoxAnswers.pop_front();
        return answer;
    }
    return (style & 7) == platform::vbYesNo ? platform::vbNo : platform::vbOK;
}

std::optional<std::u16string> ScriptedPlatform::OpenFile(const platform::OpenFileRequest &request)
{
    openFileRequests.push_back(request);
    note(u"OpenFile");
    if (whileOpenFileOpen)
        whileOpenFileOpen(request);
    if (openFileAnswers.empty())
        return std::nullopt;
    std::optional<std::u16string> answer = std::move(openFileAnswers.front());
    openFileAnswers.pop_front();
    return answer;
}

std::optional<std::u16string> ScriptedPlatform::BrowseForFolder(platform::WindowHandle owner)
{
    folderOwners.push_back(owner);
    note(u"BrowseForFolder");
    if (whileFolderOpen)
        whileFolderOpen(owner);
    if (folderAnswers.empty())
        return std::nullopt;
    std::optional<std::u16string> answer = std::move(folderAnswers.front());
    folderAnswers.pop_front();
    return answer;
}

bool ScriptedPlatform::ShellExecute(platform::WindowHandle owner, const std::u16string &operation,
                                    const std::u16string &target, const std::optional<std::u16string> &parameters,
                                    const std::u16string &directory, int showCommand)
{
    shellRequests.push_back(Shell{owner, operation, target, parameters, directory, showCommand});
    note(u"ShellExecute(" + operation + u"," + target + u")");
    return shellAnswer;
}

void ScriptedPlatform::SetForegroundWindow(platform::WindowHandle window)
{
    foregroundWindows.push_back(window);
    note(u"SetForegroundWindow");
}

bool ScriptedPlatform::AnotherInstanceRunning()
{
    ++instanceChecks;
    return anotherInstance;
}

bool ScriptedPlatform::PathExists(const std::u16string &path)
{
    pathQueries.push_back(path);
    note(u"PathExists(" + path + u")");
    return !path.empty() && existingPaths.count(path) > 0;
}

bool ScriptedPlatform::OpensAsProgram(const std::u16string &path)
{
    programQueries.push_back(path);
    note(u"OpensAsProgram(" + path + u")");
    return programPaths.count(path) > 0;
}

std::u16string linkRequestMismatch(const ScriptedPlatform::Shell &shell, const std::u16string &target,
                                   const std::u16string &folder)
{
    std::u16string wrong;
    const auto add = [&wrong](const std::u16string &what) { wrong += (wrong.empty() ? u"" : u", ") + what; };
    if (shell.operation != u"open")
        add(u"operation '" + shell.operation + u"'");
    if (shell.target != target)
        add(u"target '" + shell.target + u"'");
    if (shell.parameters)
        add(u"parameters '" + *shell.parameters + u"'");
    if (shell.directory != folder)
        add(u"folder '" + shell.directory + u"'");
    if (shell.showCommand != platform::SW_SHOW)
        add(u"show command " + text::number(shell.showCommand));
    return wrong;
}

} // namespace testsupport
