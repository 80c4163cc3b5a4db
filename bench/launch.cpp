// Launch time of Pennaroc, from exec to its main window shown and ready,
// beside a bare Qt dialog program (bench_launch_bare) built the same way,
// with the ratio of the two medians, all in one run; and beside the same
// program showing the main window's menus, controls and texts with none of
// Pennaroc behind them (bench_launch_bare --texts), which leaves Pennaroc's
// own part.
//
// Run under a session bus:
//   dbus-run-session -- build/bin/bench_launch [--runs N] [--bin DIR]
//
//   --runs N   launches of each program, taking turns (default 20), after one
//              uncounted warm-up launch of each
//   --bin DIR  where Pennaroc, act-standin and bench_launch_bare are
//              (default: this program's own folder)
//
// Needs Xvfb. The benchmark makes its own desktop: a private Xvfb display, a
// scratch stand-in database served by `act-standin serve DB --current 0` on
// the session bus, and private XDG folders (Pennaroc's one-copy lock lives in
// the runtime folder). Pennaroc shows its main window only after it has
// linked to the stand-in and read the current record, so that is all inside
// the figure.
//
// Both programs are watched from outside, by the same small X11 client:
//   shown  the program's top-level window is mapped (MapNotify on the root);
//   ready  the program answers the close request (WM_DELETE_WINDOW) that a
//          window manager would send, sent the moment the window was mapped:
//          its window is withdrawn (UnmapNotify). The answer comes from the
//          program's event loop, after the events queued before it (the
//          window's first expose among them), so the program is taking input.
// The next launch starts only once the program has ended. Its peak memory is
// the largest resident set the kernel saw it use in its whole life, taken
// when it has ended (wait4).

#include "host/dbus/BusProtocol.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// A reason the benchmark cannot go on; main reports it once everything it
// started has been stopped.
struct Failed {
    QString message;
};

[[noreturn]] void fail(const QString &message)
{
    throw Failed{message};
}

struct FreeEvent {
    void operator()(xcb_generic_event_t *event) const { std::free(event); }
};
using EventPointer = std::unique_ptr<xcb_generic_event_t, FreeEvent>;

// Whether the process has ended; it is left to be reaped by its waiter.
bool ended(pid_t pid)
{
    siginfo_t info{};
    return waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

// One launch as seen from outside.
struct Launch {
    double shownMs = 0;
    double readyMs = 0;
    double peakMiB = 0;
    QString title;
    int width = 0;
    int height = 0;
};

// A small X11 client on the benchmark's display: it sees every top-level
// window being mapped and talks to windows as a window manager would.
class Watcher {
public:
    explicit Watcher(const QByteArray &display)
    {
        connection_ = xcb_connect(display.constData(), &screenNumber_);
        if (xcb_connection_has_error(connection_))
            fail(QStringLiteral("cannot connect to the display %1").arg(QString::fromLatin1(display)));
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
        for (int i = 0; i < screenNumber_; ++i)
            xcb_screen_next(&screens);
        root_ = screens.data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        wmProtocols_ = atom("WM_PROTOCOLS");
        wmDeleteWindow_ = atom("WM_DELETE_WINDOW");
        netWmPid_ = atom("_NET_WM_PID");
        netWmName_ = atom("_NET_WM_NAME");
        xcb_flush(connection_);
    }
    ~Watcher() { xcb_disconnect(connection_); }
    Watcher(const Watcher &) = delete;
    Watcher &operator=(const Watcher &) = delete;

    // Throws away whatever happened on the display so far.
    void drain()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection_))
            std::free(event);
    }

    // The next event and the moment it was taken from the connection, or
    // nothing once the deadline passes or the process pid has ended.
    EventPointer next(QDeadlineTimer deadline, pid_t pid, Clock::time_point *when)
    {
        for (;;) {
            if (xcb_generic_event_t *event = xcb_poll_for_event(connection_)) {
                *when = Clock::now();
                return EventPointer(event);
            }
            if (xcb_connection_has_error(connection_))
                fail(QStringLiteral("the display connection broke"));
            if (deadline.hasExpired() || ended(pid))
                return {};
            pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
            poll(&descriptor, 1, 10);
        }
    }

    // Starts argv with envp and follows it until its window is shown and
    // ready, which also asks it to end; nothing if that does not happen
    // within 30 seconds.
    std::optional<Launch> launch(const std::vector<char *> &argv, const std::vector<char *> &envp,
                                 const QByteArray &logPath, pid_t *pidOut)
    {
        drain();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, logPath.constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);

        const Clock::time_point start = Clock::now();
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            fail(QStringLiteral("cannot start %1").arg(QString::fromLocal8Bit(argv[0])));
        *pidOut = pid;

        const QDeadlineTimer deadline(30000);
        Clock::time_point when;
        Launch result;
        xcb_window_t window = XCB_NONE;
        bool ready = false;
        while (auto event = next(deadline, pid, &when)) {
            const uint8_t type = event->response_type & 0x7f;
            if (window == XCB_NONE && type == XCB_MAP_NOTIFY) {
                const auto *map = reinterpret_cast<const xcb_map_notify_event_t *>(event.get());
                // Only the program under test maps windows on this display;
                // pop-ups (override-redirect) are not its window.
                if (map->override_redirect)
                    continue;
                window = map->window;
                result.shownMs = millisecondsBetween(start, when);
                // The close request goes at once; the server answers the
                // questions about the window before the program can react.
                close(window);
                const auto pidCookie = property(window, netWmPid_);
                const auto titleCookie = property(window, netWmName_);
                const auto geometryCookie = xcb_get_geometry(connection_, window);
                xcb_flush(connection_);
                if (cardinal(pidCookie) != uint32_t(pid))
                    fail(QStringLiteral("a window of another process appeared on the benchmark's display"));
                result.title = text(titleCookie);
                if (auto *reply = xcb_get_geometry_reply(connection_, geometryCookie, nullptr)) {
                    result.width = reply->width;
                    result.height = reply->height;
                    std::free(reply);
                }
            } else if (window != XCB_NONE && type == XCB_UNMAP_NOTIFY) {
                if (reinterpret_cast<const xcb_unmap_notify_event_t *>(event.get())->window == window) {
                    result.readyMs = millisecondsBetween(start, when);
                    ready = true;
                    break;
                }
            }
        }
        if (!ready)
            return std::nullopt;
        return result;
    }

private:
    xcb_atom_t atom(const char *name)
    {
        const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection_, 0, uint16_t(qstrlen(name)), name);
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection_, cookie, nullptr);
        if (!reply)
            fail(QStringLiteral("cannot name the X11 atom %1").arg(QString::fromLatin1(name)));
        const xcb_atom_t value = reply->atom;
        std::free(reply);
        return value;
    }

    // The window manager's request to close the window, sent to its owner.
    void close(xcb_window_t window)
    {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = wmProtocols_;
        message.data.data32[0] = wmDeleteWindow_;
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&message));
        xcb_flush(connection_);
    }

    xcb_get_property_cookie_t property(xcb_window_t window, xcb_atom_t name)
    {
        return xcb_get_property(connection_, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 256);
    }

    uint32_t cardinal(xcb_get_property_cookie_t cookie)
    {
        uint32_t value = 0;
        if (xcb_get_property_reply_t *reply = xcb_get_property_reply(connection_, cookie, nullptr)) {
            if (reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
                value = *static_cast<const uint32_t *>(xcb_get_property_value(reply));
            std::free(reply);
        }
        return value;
    }

    QString text(xcb_get_property_cookie_t cookie)
    {
        QString value;
        if (xcb_get_property_reply_t *reply = xcb_get_property_reply(connection_, cookie, nullptr)) {
            value = QString::fromUtf8(static_cast<const char *>(xcb_get_property_value(reply)),
                                      xcb_get_property_value_length(reply));
            std::free(reply);
        }
        return value;
    }

    xcb_connection_t *connection_ = nullptr;
    int screenNumber_ = 0;
    xcb_window_t root_ = XCB_NONE;
    xcb_atom_t wmProtocols_ = XCB_NONE;
    xcb_atom_t wmDeleteWindow_ = XCB_NONE;
    xcb_atom_t netWmPid_ = XCB_NONE;
    xcb_atom_t netWmName_ = XCB_NONE;
};

// Waits for the launched program to end after its window was closed; ends
// it by force, and says so, if it does not.
// Gives its peak resident memory in MiB.
double awaitEnd(pid_t pid, const QString &name)
{
    QDeadlineTimer deadline(10000);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, WNOHANG, &usage) != pid) {
        if (deadline.hasExpired()) {
            std::fprintf(stderr, "bench_launch: %s did not end when its window was closed; killed\n",
                         qPrintable(name));
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            return double(usage.ru_maxrss) / 1024.0;
        }
        QThread::msleep(2);
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(QStringLiteral("%1 ended with status %2").arg(name).arg(status));
    return double(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB
}

// A program under test: how to start it, and what it measured.
struct Program {
    QString name;
    QString title;
    QByteArray path;
    QByteArray argument; // one, or none when empty
    std::vector<Launch> launches;
};

struct Summary {
    double median, lower, upper, min, max;
};

double quantile(const std::vector<double> &sorted, double q)
{
    const double position = q * double(sorted.size() - 1);
    const auto below = size_t(position);
    const size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (position - double(below));
}

Summary summarise(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return {quantile(values, 0.5), quantile(values, 0.25), quantile(values, 0.75), values.front(), values.back()};
}

// The build type recorded in the build folder that bin/ belongs to.
QString buildType(const QString &binDir)
{
    QFile cache(binDir + QStringLiteral("/../CMakeCache.txt"));
    if (!cache.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    while (!cache.atEnd()) {
        const QByteArray line = cache.readLine().trimmed();
        if (line.startsWith("CMAKE_BUILD_TYPE:"))
            return QString::fromUtf8(line.mid(line.indexOf('=') + 1));
    }
    return QStringLiteral("unknown");
}

int runTool(const QString &program, const QStringList &args, const QProcessEnvironment &environment,
            const QByteArray &input = {})
{
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tool.start(program, args);
    tool.write(input);
    tool.closeWriteChannel();
    if (!tool.waitForFinished(30000)) {
        tool.kill();
        tool.waitForFinished(3000);
        return -1;
    }
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

} // namespace

// Stops a helper process when the benchmark ends, however it ends.
struct StopOnExit {
    QProcess &process;
    ~StopOnExit() { stop(process); }
};

int benchmark(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    int runs = 20;
    QString binDir = QCoreApplication::applicationDirPath();
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        bool ok = true;
        if (args[i] == u"--runs" && i + 1 < args.size())
            runs = args[++i].toInt(&ok);
        else if (args[i] == u"--bin" && i + 1 < args.size())
            binDir = QDir(args[++i]).absolutePath();
        else
            ok = false;
        if (!ok || runs < 1) {
            std::fputs("usage: bench_launch [--runs N] [--bin DIR]   (under dbus-run-session)\n", stderr);
            return 2;
        }
    }

    const QString standinPath = binDir + QStringLiteral("/act-standin");
    Program pennaroc{QStringLiteral("Pennaroc"), QStringLiteral("Pennaroc"),
                     QFile::encodeName(binDir + QStringLiteral("/Pennaroc")), {}, {}};
    Program bare{QStringLiteral("Bare Qt dialog"), QStringLiteral("Bare"),
                 QFile::encodeName(binDir + QStringLiteral("/bench_launch_bare")), {}, {}};
    Program texts{QStringLiteral("Same texts"), QStringLiteral("Bare texts"), bare.path, "--texts", {}};
    for (const QString &path : {standinPath, QFile::decodeName(pennaroc.path), QFile::decodeName(bare.path)}) {
        if (!QFileInfo(path).isExecutable())
            fail(QStringLiteral("%1 is not built").arg(path));
    }
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        fail(QStringLiteral("Xvfb is not installed"));
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || !QDBusConnection::sessionBus().isConnected())
        fail(QStringLiteral("no session bus; run under dbus-run-session"));
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    if (bus->isServiceRegistered(host::dbus::protocol::Service).value())
        fail(QStringLiteral("a stand-in already serves this bus; run under a private dbus-run-session"));

    // Private folders for everything the programs write.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        fail(QStringLiteral("no scratch folder"));
    for (const char *sub : {"config", "data", "cache", "runtime"})
        QDir(scratch.path()).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(scratch.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QByteArray logPath = QFile::encodeName(scratch.filePath(QStringLiteral("programs.log")));

    // A display of its own; Xvfb picks a free number and tells it.
    QProcess xvfb;
    const StopOnExit stopXvfb{xvfb};
    xvfb.setStandardErrorFile(QProcess::nullDevice());
    xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                        QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                                        QStringLiteral("tcp")});
    if (!xvfb.waitForStarted(5000))
        fail(QStringLiteral("Xvfb could not start"));
    QByteArray displayNumber;
    for (QDeadlineTimer deadline(15000); !displayNumber.endsWith('\n') && !deadline.hasExpired();) {
        if (xvfb.state() != QProcess::Running)
            fail(QStringLiteral("Xvfb ended at once"));
        xvfb.waitForReadyRead(100);
        displayNumber += xvfb.readAllStandardOutput();
    }
    const QByteArray display = ':' + displayNumber.trimmed();
    if (display.size() < 2)
        fail(QStringLiteral("Xvfb named no display"));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), scratch.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), scratch.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), scratch.filePath(QStringLiteral("runtime")));

    // The stand-in ACT!, serving a scratch database with its first record current.
    const QString database = scratch.filePath(QStringLiteral("Launch.actdb"));
    if (runTool(standinPath, {QStringLiteral("create"), database}, environment) != 0
        || runTool(standinPath, {QStringLiteral("add"), database, QStringLiteral("-")}, environment,
                   "Call back in May about the new price list.\r\n")
               != 0)
        fail(QStringLiteral("cannot make the stand-in database"));
    QProcess standin;
    const StopOnExit stopStandin{standin};
    standin.setProcessEnvironment(environment);
    standin.setProcessChannelMode(QProcess::ForwardedChannels);
    standin.start(standinPath, {QStringLiteral("serve"), database, QStringLiteral("--current"), QStringLiteral("0")});
    if (!standin.waitForStarted(5000))
        fail(QStringLiteral("act-standin could not start"));
    for (QDeadlineTimer deadline(15000); !bus->isServiceRegistered(host::dbus::protocol::Service).value();) {
        if (standin.state() != QProcess::Running || deadline.hasExpired())
            fail(QStringLiteral("act-standin did not come onto the bus"));
        QThread::msleep(20);
    }

    std::vector<std::string> environmentText;
    for (const QString &entry : environment.toStringList())
        environmentText.push_back(entry.toLocal8Bit().toStdString());
    std::vector<char *> envp;
    for (std::string &entry : environmentText)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    Watcher watcher(display);
    const auto launchOnce = [&](Program &program, bool counted) {
        std::vector<char *> argv{program.path.data()};
        if (!program.argument.isEmpty())
            argv.push_back(program.argument.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        const auto endByForce = [&pid] {
            if (pid > 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        };
        std::optional<Launch> launch;
        try {
            launch = watcher.launch(argv, envp, logPath, &pid);
        } catch (const Failed &) {
            endByForce();
            throw;
        }
        if (!launch) {
            endByForce();
            QFile log(QFile::decodeName(logPath));
            log.open(QIODevice::ReadOnly);
            fail(QStringLiteral("%1 showed no window within 30 seconds. Its output:\n%2")
                     .arg(program.name, QString::fromLocal8Bit(log.readAll())));
        }
        if (launch->title != program.title) {
            endByForce();
            fail(QStringLiteral("%1 showed a window titled \"%2\", not its main window \"%3\"")
                     .arg(program.name, launch->title, program.title));
        }
        launch->peakMiB = awaitEnd(pid, program.name);
        if (counted)
            program.launches.push_back(*launch);
        // Lets the stand-in settle after the program's bus connection went.
        QThread::msleep(50);
    };

    // One uncounted launch of each fills the file cache; then rounds of one
    // launch of each, each round in another order.
    Program *const programs[] = {&pennaroc, &bare, &texts};
    for (Program *program : programs)
        launchOnce(*program, false);
    for (int i = 0; i < runs; ++i) {
        for (int k = 0; k < 3; ++k)
            launchOnce(*programs[(i + k) % 3], true);
        std::fprintf(stderr, "\r%d of %d rounds", i + 1, runs);
    }
    std::fputs("\n", stderr);
    stop(standin);
    stop(xvfb);

    std::printf("Launch, from exec to the main window shown and ready\n"
                "programs from %s (%s build), %d launches of each, taking turns, on Xvfb %s\n\n",
                qPrintable(binDir), qPrintable(buildType(binDir)), runs, display.constData());
    std::printf("%-16s %-9s %-8s %9s %9s %9s %9s %9s\n", "program", "window", "ms", "median", "p25", "p75", "min",
                "max");
    Summary figures[3][3];
    int row = 0;
    for (const Program *program : programs) {
        std::vector<double> shown, ready, peak;
        for (const Launch &launch : program->launches) {
            shown.push_back(launch.shownMs);
            ready.push_back(launch.readyMs);
            peak.push_back(launch.peakMiB);
        }
        figures[row][0] = summarise(shown);
        figures[row][1] = summarise(ready);
        figures[row][2] = summarise(peak);
        const QString size = QStringLiteral("%1x%2").arg(program->launches.front().width).arg(program->launches.front().height);
        for (int column = 0; column < 2; ++column) {
            const Summary &s = figures[row][column];
            std::printf("%-16s %-9s %-8s %9.1f %9.1f %9.1f %9.1f %9.1f\n", column == 0 ? qPrintable(program->name) : "",
                        column == 0 ? qPrintable(size) : "", column == 0 ? "shown" : "ready", s.median, s.lower,
                        s.upper, s.min, s.max);
        }
        ++row;
    }
    std::printf("\nratio of medians, Pennaroc / bare: shown %.2f, ready %.2f\n",
                figures[0][0].median / figures[1][0].median, figures[0][1].median / figures[1][1].median);
    std::printf("peak memory (largest resident set), median MiB: Pennaroc %.1f, bare %.1f; ratio %.2f\n",
                figures[0][2].median, figures[1][2].median, figures[0][2].median / figures[1][2].median);
    // The same window drawn by a plain Qt program, with none of Pennaroc
    // behind it: what is left is the program's own part.
    std::printf("ratio of medians, Pennaroc / same texts: shown %.2f, ready %.2f\n",
                figures[0][0].median / figures[2][0].median, figures[0][1].median / figures[2][1].median);
    return 0;
}

int main(int argc, char *argv[])
{
    try {
        return benchmark(argc, argv);
    } catch (const Failed &failed) {
        std::fprintf(stderr, "bench_launch: %s\n", qPrintable(failed.message));
        return 1;
    }
}
