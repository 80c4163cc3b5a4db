#pragma once

// Scripted desktop services for tests: answers come from queues filled by
// the test, and every request is recorded in order.
//
// Journal lines, when a shared journal is set: "MsgBox(<style>,<title>)",
// "OpenFile", "BrowseForFolder", "ShellExecute(<operation>,<target>)",
// "SetForegroundWindow", "PathExists(<path>)".

#include "platform/PlatformServices.h"

#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

class ScriptedPlatform : public platform::PlatformServices {
public:
    struct Message {
        std::u16string text;
        int style = 0;
        std::u16string title;
    };
    struct Shell {
        platform::WindowHandle owner = nullptr;
        std::u16string operation;
        std::u16string target;
        std::optional<std::u16string> parameters; // nothing when none were given
        std::u16string directory;
        int showCommand = 0;
    };

    // --- answers -------------------------------------------------------------
    // Answers for message boxes, taken in order; when empty, an OK-only box
    // answers vbOK and a Yes/No box answers vbNo.
    std::deque<int> msgBoxAnswers;
    // Runs while a message box is "open", before it answers (a test can
    // raise a host event here, as if it arrived during the modal box).
    std::function<void(const Message &)> whileMsgBoxOpen;
    // Answers for the Open File dialog; when empty, the user cancels.
    std::deque<std::optional<std::u16string>> openFileAnswers;
    std::function<void(const platform::OpenFileRequest &)> whileOpenFileOpen;
    // Answers for the folder chooser; when empty, the user cancels.
    std::deque<std::optional<std::u16string>> folderAnswers;
    std::function<void(platform::WindowHandle owner)> whileFolderOpen;
    // What ShellExecute answers.
    bool shellAnswer = true;
    bool anotherInstance = false;
    std::u16string programFolder = u"/opt/pennaroc";
    std::u16string executableName = u"Pennaroc";
    // The paths that exist, exactly as written; nothing else does, and
    // empty text never does.
    std::set<std::u16string> existingPaths;
    // The paths that open as programs (OpensAsProgram).
    std::set<std::u16string> programPaths;

    // --- requests ------------------------------------------------------------
    std::vector<Message> messages;
    std::vector<platform::OpenFileRequest> openFileRequests;
    std::vector<platform::WindowHandle> folderOwners;
    std::vector<Shell> shellRequests;
    std::vector<platform::WindowHandle> foregroundWindows;
    std::vector<std::u16string> pathQueries; // each path asked of PathExists, in order
    std::vector<std::u16string> programQueries; // each path asked of OpensAsProgram, in order
    int instanceChecks = 0;
    std::vector<std::u16string> *journal = nullptr; // when set, requests are appended here too

    int MsgBox(const std::u16string &text, int style, const std::u16string &title) override;
    std::optional<std::u16string> OpenFile(const platform::OpenFileRequest &request) override;
    std::optional<std::u16string> BrowseForFolder(platform::WindowHandle owner) override;
    bool ShellExecute(platform::WindowHandle owner, const std::u16string &operation, const std::u16string &target,
                      const std::optional<std::u16string> &parameters, const std::u16string &directory,
                      int showCommand) override;
    void SetForegroundWindow(platform::WindowHandle window) override;
    bool AnotherInstanceRunning() override;
    std::u16string ProgramFolder() override { return programFolder; }
    std::u16string ExecutableName() override { return executableName; }
    bool PathExists(const std::u16string &path) override;
    bool OpensAsProgram(const std::u16string &path) override;

private:
    void note(const std::u16string &line);
};

// How a shell request differs from the one the program makes for a link:
// "open" of target, with no parameters, from folder (the scripted program
// folder by default), and the normal show command. Empty when it does not
// differ; otherwise each difference, e.g. "operation 'Open', parameters ''".
std::u16string linkRequestMismatch(const ScriptedPlatform::Shell &shell, const std::u16string &target,
                                   const std::u16string &folder = u"/opt/pennaroc");

} // namespace testsupport
