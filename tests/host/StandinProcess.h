#pragma once

// Runs the real act-standin from the build for tests: one-shot commands, and
// `serve` in the background until its name is on the session bus.

#include "host/dbus/BusProtocol.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTest>

#include <csignal>

namespace testsupport {

struct StandinRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline QString standinExecutable()
{
    return qEnvironmentVariable("PENNAROC_BIN_DIR") + QStringLiteral("/act-standin");
}

inline bool standinOnBus()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(host::dbus::protocol::Service).value();
}

// Waits until the service name is free (or taken, with taken = true).
inline bool waitForStandinOnBus(bool taken, int ms = 5000)
{
    QDeadlineTimer deadline(ms);
    while (standinOnBus() != taken) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
    return true;
}

// Runs act-standin with args; through the command in runAs when given (for
// example setpriv, to run it as another user).
inline StandinRun runStandin(const QStringList &args, const QByteArray &input = {}, const QStringList &runAs = {})
{
    QProcess p;
    if (runAs.isEmpty())
        p.start(standinExecutable(), args);
    else
        p.start(runAs.constFirst(), runAs.mid(1) + QStringList{standinExecutable()} + args);
    if (!p.waitForStarted(5000))
        return {};
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    StandinRun run;
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

// A stand-in serving on the session bus for the life of this object.
class ServingStandin {
public:
    ServingStandin() = default;
    ServingStandin(const ServingStandin &) = delete;
    ServingStandin &operator=(const ServingStandin &) = delete;
    ~ServingStandin() { stop(); }

    // Starts `act-standin serve args...` and waits for its name on the bus.
    bool start(const QStringList &args)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(standinExecutable(), QStringList{QStringLiteral("serve")} + args);
        if (!process_.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(5000);
        while (!standinOnBus()) {
            if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
                return false;
            QTest::qWait(10);
        }
        return true;
    }
    // Ends it with SIGTERM (its clean way out) and waits for the name to go.
    void stop()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(5000);
            }
        }
        waitForStandinOnBus(false);
    }
    void kill9()
    {
        ::kill(pid_t(process_.processId()), SIGKILL);
        process_.waitForFinished(5000);
        waitForStandinOnBus(false);
    }
    void signal(int sig) { ::kill(pid_t(process_.processId()), sig); }
    // Suspends the stand-in (SIGSTOP) and returns once every one of its
    // threads has stopped: a signal lands a little later, and a call sent
    // in between would still be answered.
    bool suspend()
    {
        const qint64 pid = process_.processId();
        ::kill(pid_t(pid), SIGSTOP);
        for (QDeadlineTimer deadline(5000); !deadline.hasExpired(); QThread::msleep(1)) {
            const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
            const QStringList threads = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
            bool allStopped = !threads.isEmpty();
            for (const QString &thread : threads) {
                QFile stat(tasks.filePath(thread + QStringLiteral("/stat")));
                // The state follows the command name, which is in brackets.
                const QByteArray text = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
                const qsizetype close = text.lastIndexOf(')');
                if (close < 0 || text.mid(close + 2, 1) != "T")
                    allStopped = false;
            }
            if (allStopped)
                return true;
        }
        return false;
    }
    bool waitForExit(int ms = 5000)
    {
        // waitForFinished() is false for a process already seen to end.
        return process_.state() == QProcess::NotRunning || process_.waitForFinished(ms);
    }
    QProcess &process() { return process_; }

private:
    QProcess process_;
};

} // namespace testsupport
