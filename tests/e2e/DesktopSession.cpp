#include "tests/e2e/DesktopSession.h"

#include "host/dbus/BusProtocol.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

namespace e2e {
namespace {

void pause(int ms)
{
    QThread::msleep(static_cast<unsigned long>(ms));
}

} // namespace

DesktopSession::DesktopSession()
{
    binDir_ = qEnvironmentVariable("PENNAROC_BIN_DIR");
    if (!dir_.isValid()) {
        problem_ = QStringLiteral("no scratch folder");
        return;
    }
    if (binDir_.isEmpty() || !QFileInfo::exists(binDir_ + QStringLiteral("/act-standin"))) {
        problem_ = QStringLiteral("act-standin not built (PENNAROC_BIN_DIR)");
        return;
    }
    for (const char *tool : {"Xvfb", "xdotool"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            problem_ = QStringLiteral("%1 is not installed").arg(QString::fromLatin1(tool));
            return;
        }
    }
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        problem_ = QStringLiteral("no session bus");
        return;
    }

    // Private folders, and a recording xdg-open first on PATH.
    const QString scratchDir = dir_.path();
    for (const char *sub : {"config", "data", "cache", "runtime", "path"})
        QDir(scratchDir).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(scratchDir + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile recorder(scratchDir + QStringLiteral("/path/xdg-open"));
    if (recorder.open(QIODevice::WriteOnly)) {
        recorder.write("#!/bin/sh\n"
                       "# Records each call, one line per call, arguments joined by tabs.\n"
                       "printf '%s' \"$1\" >> \"$PENNAROC_XDG_OPEN_LOG\"\n"
                       "shift\n"
                       "for a in \"$@\"; do printf '\\t%s' \"$a\" >> \"$PENNAROC_XDG_OPEN_LOG\"; done\n"
                       "printf '\\n' >> \"$PENNAROC_XDG_OPEN_LOG\"\n");
        recorder.close();
        recorder.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    standinPath_ = binDir_ + QStringLiteral("/act-standin");
    pennarocPath_ = binDir_ + QStringLiteral("/Pennaroc");
    env_ = QProcessEnvironment::systemEnvironment();
    env_.insert(QStringLiteral("XDG_CONFIG_HOME"), scratchDir + QStringLiteral("/config"));
    env_.insert(QStringLiteral("XDG_DATA_HOME"), scratchDir + QStringLiteral("/data"));
    env_.insert(QStringLiteral("XDG_CACHE_HOME"), scratchDir + QStringLiteral("/cache"));
    env_.insert(QStringLiteral("XDG_RUNTIME_DIR"), scratchDir + QStringLiteral("/runtime"));
    env_.insert(QStringLiteral("PENNAROC_XDG_OPEN_LOG"), scratchDir + QStringLiteral("/xdg-open.log"));
    env_.insert(QStringLiteral("PATH"), scratchDir + QStringLiteral("/path:") + env_.value(QStringLiteral("PATH")));
    env_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env_.remove(QStringLiteral("WAYLAND_DISPLAY"));

    // A display number nobody uses, well away from the low numbers that
    // real desktops take. Xvfb writes the number to its standard output
    // once it accepts connections, and ends at once when the number is
    // taken, so two sessions never share a display.
    // Each session of a test program starts one number further on, so that
    // it never takes the number of a display that the session before has
    // only just closed (whose socket may still be going away).
    // -noreset: by default Xvfb resets itself whenever its last client
    // leaves, and refuses a client that connects during the reset; between
    // two runs of Pennaroc beside a stand-in without a window, there is no
    // client at all.
    static int offset = 0;
    const int first = 90 + offset++ % 100;
    for (int i = 0; i < 100 && !xvfb_; ++i) {
        const int n = 90 + (first - 90 + i) % 100;
        if (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            continue;
        auto xvfb = std::make_unique<QProcess>();
        // Kept, so that a failing test can say what the display server said.
        xvfb->setStandardErrorFile(scratchDir + QStringLiteral("/xvfb.log"));
        xvfb->start(QStringLiteral("Xvfb"),
                    {QStringLiteral(":%1").arg(n), QStringLiteral("-displayfd"), QStringLiteral("1"),
                     QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1024x768x24"),
                     QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")});
        if (!xvfb->waitForStarted(5000))
            continue;
        QByteArray number;
        QDeadlineTimer deadline(15000);
        while (xvfb->state() == QProcess::Running && !number.endsWith('\n') && !deadline.hasExpired()) {
            xvfb->waitForReadyRead(100);
            number += xvfb->readAllStandardOutput();
        }
        // The display counts once a client really connects to it.
        QByteArray ignored;
        if (xvfb->state() == QProcess::Running && number.trimmed() == QByteArray::number(n)
            && runTool(QStringLiteral("xdpyinfo"), {QStringLiteral("-display"), QStringLiteral(":%1").arg(n)},
                       &ignored, 10000)) {
            env_.insert(QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(n));
            xvfb_ = std::move(xvfb);
        } else if (xvfb->state() != QProcess::NotRunning) {
            xvfb->kill();
            xvfb->waitForFinished(3000);
        }
    }
    if (!xvfb_)
        problem_ = QStringLiteral("Xvfb could not start");
}

DesktopSession::~DesktopSession()
{
    for (auto *process : {pennaroc_.get(), standin_.get(), xvfb_.get()}) {
        if (process && process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(3000)) {
                process->kill();
                process->waitForFinished(3000);
            }
        }
    }
}

QString DesktopSession::installBuild(const QString &prefixName)
{
    const QString prefix = dir_.filePath(prefixName);
    const QString buildDir = qEnvironmentVariable("PENNAROC_BUILD_DIR");
    QByteArray out;
    if (buildDir.isEmpty()
        || !runTool(QStringLiteral("cmake"), {QStringLiteral("--install"), buildDir, QStringLiteral("--prefix"), prefix},
                    &out, 60000)) {
        problem_ = QStringLiteral("cmake --install failed");
        return {};
    }
    // The installed programs first on PATH, and the real xdg-open: the
    // recording one goes.
    QStringList path = env_.value(QStringLiteral("PATH")).split(QLatin1Char(':'));
    path.removeAll(dir_.filePath(QStringLiteral("path")));
    path.prepend(prefix + QStringLiteral("/bin"));
    env_.insert(QStringLiteral("PATH"), path.join(QLatin1Char(':')));
    // The desktop's own data folders, which do not hold the prefix: the
    // programs become known to it as ./run makes them known, in the
    // session's private XDG_DATA_HOME.
    env_.insert(QStringLiteral("XDG_DATA_DIRS"), QStringLiteral("/usr/local/share:/usr/share"));
    for (const char *variable : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID"})
        env_.remove(QString::fromLatin1(variable));
    const QString integration = qEnvironmentVariable("PENNAROC_SOURCE_DIR") + QStringLiteral("/tools/desktop-integration");
    if (!runTool(integration, {QStringLiteral("register"), prefix, dir_.filePath(QStringLiteral("registered.txt"))},
                 nullptr, 60000)) {
        problem_ = QStringLiteral("the MIME type or desktop entries could not be registered");
        return {};
    }
    standinPath_ = prefix + QStringLiteral("/bin/act-standin");
    pennarocPath_ = prefix + QStringLiteral("/bin/Pennaroc");
    return prefix;
}

bool DesktopSession::runTool(const QString &program, const QStringList &args, QByteArray *out, int ms)
{
    QProcess tool;
    tool.setProcessEnvironment(env_);
    tool.start(program, args);
    if (!tool.waitForFinished(ms)) {
        tool.kill();
        tool.waitForFinished(1000);
        return false;
    }
    if (out)
        *out = tool.readAllStandardOutput();
    return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

QByteArray DesktopSession::standin(const QStringList &args, int *exitCode, const QByteArray &input)
{
    QProcess tool;
    tool.setProcessEnvironment(env_);
    tool.start(standinPath_, args);
    if (!input.isNull()) {
        tool.write(input);
    }
    tool.closeWriteChannel();
    tool.waitForFinished(15000);
    if (exitCode)
        *exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    return tool.readAllStandardOutput();
}

bool DesktopSession::createDatabase(const QStringList &detailsTexts)
{
    int code = 0;
    standin({QStringLiteral("create"), databasePath()}, &code);
    if (code != 0)
        return false;
    for (const QString &text : detailsTexts) {
        standin({QStringLiteral("add"), databasePath(), QStringLiteral("-")}, &code, text.toUtf8());
        if (code != 0)
            return false;
    }
    return true;
}

bool DesktopSession::startStandin(const QStringList &extraArgs)
{
    return startStandinOn(databasePath(), extraArgs);
}

bool DesktopSession::startStandinOn(const QString &database, const QStringList &extraArgs)
{
    standin_ = std::make_unique<QProcess>();
    standin_->setProcessEnvironment(env_);
    standin_->setProcessChannelMode(QProcess::ForwardedChannels);
    standin_->start(standinPath_, QStringList{QStringLiteral("serve"), database} + extraArgs);
    if (!standin_->waitForStarted(5000))
        return false;
    // Ready once its name is on the bus.
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (standin_->state() != QProcess::Running)
            return false;
        if (QDBusConnection::sessionBus().interface()->isServiceRegistered(host::dbus::protocol::Service).value())
            return true;
        pause(20);
    }
    return false;
}

bool DesktopSession::killStandin()
{
    if (!standinRunning())
        return false;
    standin_->kill();
    if (!standin_->waitForFinished(5000))
        return false;
    QDeadlineTimer deadline(5000);
    while (QDBusConnection::sessionBus().interface()->isServiceRegistered(host::dbus::protocol::Service).value()) {
        if (deadline.hasExpired())
            return false;
        pause(20);
    }
    return true;
}

bool DesktopSession::standinRunning() const
{
    return standin_ && standin_->state() == QProcess::Running;
}

int DesktopSession::waitForStandinEnd(int ms)
{
    if (!standin_)
        return -1;
    if (standin_->state() != QProcess::NotRunning && !standin_->waitForFinished(ms))
        return -1;
    return standin_->exitStatus() == QProcess::NormalExit ? standin_->exitCode() : -1;
}

QProcess *DesktopSession::startPennaroc()
{
    pennaroc_ = std::make_unique<QProcess>();
    pennaroc_->setProcessEnvironment(env_);
    pennaroc_->setProcessChannelMode(QProcess::ForwardedChannels);
    pennaroc_->setWorkingDirectory(dir_.path());
    pennaroc_->start(pennarocPath_, QStringList{});
    pennaroc_->waitForStarted(5000);
    return pennaroc_.get();
}

int DesktopSession::waitForPennarocEnd(int ms)
{
    if (!pennaroc_)
        return -1;
    if (pennaroc_->state() != QProcess::NotRunning && !pennaroc_->waitForFinished(ms))
        return -1;
    return pennaroc_->exitStatus() == QProcess::NormalExit ? pennaroc_->exitCode() : -1;
}

QString DesktopSession::waitForWindow(const QString &titleRegex, int ms)
{
    return waitForNewWindow(titleRegex, {}, ms);
}

bool DesktopSession::windowGone(const QString &titleRegex, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        if (windows(titleRegex).isEmpty())
            return true;
        pause(100);
    }
    return false;
}

QStringList DesktopSession::windows(const QString &titleRegex)
{
    QByteArray out;
    runTool(QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), titleRegex}, &out,
            5000);
    QStringList ids;
    for (const QString &line : QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        ids << line.trimmed();
    return ids;
}

QString DesktopSession::waitForNewWindow(const QString &titleRegex, const QStringList &known, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        for (const QString &id : windows(titleRegex)) {
            if (!known.contains(id))
                return id;
        }
        pause(100);
    }
    return {};
}

bool DesktopSession::keys(const QString &window, const QStringList &keyNames)
{
    if (!runTool(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}))
        return false;
    pause(150);
    return runTool(QStringLiteral("xdotool"),
                   QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60")} + keyNames);
}

bool DesktopSession::type(const QString &window, const QString &text)
{
    if (!runTool(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}))
        return false;
    pause(150);
    return runTool(QStringLiteral("xdotool"),
                   {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), QStringLiteral("--"), text},
                   nullptr, 60000);
}

bool DesktopSession::answerOpenDialog(const QString &path)
{
    const QString dialog = waitForWindow(QStringLiteral("^Open$"));
    if (dialog.isEmpty()) {
        screenshot(QStringLiteral("no-open-dialog"));
        return false;
    }
    return type(dialog, path) && keys(dialog, {QStringLiteral("Return")});
}

bool DesktopSession::click(const QString &window, int x, int y)
{
    return runTool(QStringLiteral("xdotool"),
                   {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x),
                    QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
}

QStringList DesktopSession::xdgOpenCalls() const
{
    QFile log(env_.value(QStringLiteral("PENNAROC_XDG_OPEN_LOG")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString DesktopSession::visibleTitles() const
{
    const auto run = [&](const QStringList &args) {
        QProcess tool;
        tool.setProcessEnvironment(env_);
        tool.start(QStringLiteral("xdotool"), args);
        tool.waitForFinished(5000);
        return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
    };
    QStringList titles;
    const QString ids = run({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                             QStringLiteral(".")});
    for (const QString &id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        titles << run({QStringLiteral("getwindowname"), id});
    QString report = QStringLiteral(" (visible windows: ") + titles.join(QStringLiteral(" | ")) + QLatin1Char(')');
    if (!xvfb_ || xvfb_->state() != QProcess::Running)
        report += QStringLiteral(" (the display server has ended)");
    QFile log(dir_.filePath(QStringLiteral("xvfb.log")));
    if (log.open(QIODevice::ReadOnly)) {
        const QByteArray said = log.readAll().trimmed();
        if (!said.isEmpty())
            report += QStringLiteral(" (display server: ") + QString::fromLocal8Bit(said.right(2000)) + QLatin1Char(')');
    }
    return report;
}

QString DesktopSession::makeFile(const QString &folder, const QString &name)
{
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("attachment\n");
    return path;
}

QString DesktopSession::screenshot(const QString &name)
{
    const QString path = dir_.filePath(name + QStringLiteral(".png"));
    runTool(QStringLiteral("import"),
            {QStringLiteral("-display"), env_.value(QStringLiteral("DISPLAY")), QStringLiteral("-window"),
             QStringLiteral("root"), path});
    return path;
}

} // namespace e2e
