#pragma once

// A private desktop for end-to-end tests: a virtual X display (Xvfb), a
// stand-in ACT! on a scratch database, private XDG folders, and a recording
// xdg-open first on PATH. Windows are driven with xdotool, as a user would.

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace e2e {

class DesktopSession {
public:
    DesktopSession();
    ~DesktopSession();
    DesktopSession(const DesktopSession &) = delete;
    DesktopSession &operator=(const DesktopSession &) = delete;

    // Why the session cannot run (missing tools, no display), or empty.
    QString problem() const { return problem_; }

    QString binDir() const { return binDir_; }
    QString scratch() const { return dir_.path(); }
    QString databasePath() const { return dir_.filePath(QStringLiteral("Test.actdb")); }
    QProcessEnvironment environment() const { return env_; }
    // Sets a variable for the programs started from now on.
    void setVariable(const QString &name, const QString &value) { env_.insert(name, value); }

    // Installs the build into a scratch prefix (prefixName, under the
    // scratch folder, outside the desktop's data folders), makes its MIME
    // type and desktop entries known in the session's private XDG_DATA_HOME
    // as ./run does (tools/desktop-integration), and from then on
    // runs the installed programs with the real xdg-open. The prefix, or
    // empty on failure (problem() says why).
    QString installBuild(const QString &prefixName = QStringLiteral("prefix"));

    // Runs act-standin with args and waits for it; the exit code goes to
    // *exitCode when given, and standard output is returned.
    QByteArray standin(const QStringList &args, int *exitCode = nullptr, const QByteArray &input = {});
    // Creates the database with one record per text; returns false on failure.
    bool createDatabase(const QStringList &detailsTexts);
    // Starts `act-standin serve` on the database and waits until it answers.
    bool startStandin(const QStringList &extraArgs = {});
    // The same on another database; the new stand-in takes the place of the
    // one started before.
    bool startStandinOn(const QString &database, const QStringList &extraArgs = {});
    // Kills the stand-in at once (SIGKILL), as a crash would, and waits until
    // its name has left the bus.
    bool killStandin();
    bool standinRunning() const;
    // Waits for the stand-in to end; its exit code, or -1 if it did not end.
    int waitForStandinEnd(int ms);

    // Starts the Pennaroc executable on the virtual display.
    QProcess *startPennaroc();
    // Waits for Pennaroc to end; its exit code, or -1 if it did not end.
    int waitForPennarocEnd(int ms);

    // The id of a visible window whose title matches the regular
    // expression, or empty after ms milliseconds.
    QString waitForWindow(const QString &titleRegex, int ms = 15000);
    bool windowGone(const QString &titleRegex, int ms = 15000);
    // The ids of every visible window whose title matches, in stacking order.
    QStringList windows(const QString &titleRegex);
    // Waits for a visible window whose title matches and whose id is not in
    // known; empty after ms milliseconds.
    QString waitForNewWindow(const QString &titleRegex, const QStringList &known, int ms = 15000);
    // Gives the window the keyboard focus, then sends keys (xdotool key names).
    bool keys(const QString &window, const QStringList &keyNames);
    // Types text into the focused window.
    bool type(const QString &window, const QString &text);
    // Answers the real Open File dialog (titled "Open") as a user would:
    // types the file's full path and presses Return. False when the dialog
    // does not appear (a screenshot is saved as no-open-dialog.png).
    bool answerOpenDialog(const QString &path);
    // Clicks at a point inside a window (window coordinates).
    bool click(const QString &window, int x, int y);

    // The arguments that xdg-open received, one per call, in order.
    QStringList xdgOpenCalls() const;

    // The titles of the visible windows, for failure messages:
    // " (visible windows: A | B)".
    QString visibleTitles() const;
    // Creates a small file in folder (made when missing); its path, or empty.
    static QString makeFile(const QString &folder, const QString &name);

    // Saves a screenshot of the whole display (for diagnosing a failure).
    QString screenshot(const QString &name);

private:
    bool runTool(const QString &program, const QStringList &args, QByteArray *out = nullptr, int ms = 15000);

    QTemporaryDir dir_;
    QString problem_;
    QString standinPath_;
    QString pennarocPath_;
    QString binDir_;
    QProcessEnvironment env_;
    std::unique_ptr<QProcess> xvfb_;
    std::unique_ptr<QProcess> standin_;
    std::unique_ptr<QProcess> pennaroc_;
};

} // namespace e2e
