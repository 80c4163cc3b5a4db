#include "tests/e2e/DesktopSession.h"

#include "resources/ProductInfo.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QRegularExpression>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QtTest>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A copy of Pennaroc with a runtime folder of its own; what it writes to
// standard error is kept.
class Copy {
public:
    Copy(const e2e::DesktopSession &session, const QString &runtime)
    {
        QProcessEnvironment environment = session.environment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        process_.setProcessEnvironment(environment);
        process_.setWorkingDirectory(session.scratch());
        process_.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        process_.setReadChannel(QProcess::StandardError);
        process_.start(session.binDir() + QStringLiteral("/Pennaroc"), QStringList{});
        process_.waitForStarted(5000);
    }
    ~Copy()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
        if (QTest::currentTestFailed() && !errors().isEmpty())
            qInfo().noquote() << "Pennaroc's standard error:" << errors();
    }
    Copy(const Copy &) = delete;
    Copy &operator=(const Copy &) = delete;

    bool running() const { return process_.state() == QProcess::Running; }
    // Its exit code, or -1 when it did not end normally within ms.
    int waitForEnd(int ms)
    {
        if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(ms))
            return -1;
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    // What it wrote to standard error so far.
    QString errors()
    {
        while (process_.state() == QProcess::Running && process_.waitForReadyRead(100)) {
        }
        errors_ += process_.readAllStandardError();
        return QString::fromLocal8Bit(errors_);
    }

private:
    QProcess process_;
    QByteArray errors_;
};

// "normal" for a main window, "dialog" for a message box, from the type the
// program gives the window; the two share the title.
QString windowType(const e2e::DesktopSession &session, const QString &window)
{
    QProcess xprop;
    xprop.setProcessEnvironment(session.environment());
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_WINDOW_TYPE")});
    xprop.waitForFinished(5000);
    const QByteArray out = xprop.readAllStandardOutput();
    if (out.contains("_NET_WM_WINDOW_TYPE_DIALOG"))
        return QStringLiteral("dialog");
    if (out.contains("_NET_WM_WINDOW_TYPE_NORMAL"))
        return QStringLiteral("normal");
    return QStringLiteral("unknown");
}

// Waits for a window titled Pennaroc that is not in known and is of the
// given type; empty when none comes, or when one of the other type does.
QString waitForPennarocWindow(e2e::DesktopSession &session, const QString &type, const QStringList &known = {})
{
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        for (const QString &id : session.windows(QStringLiteral("^Pennaroc$"))) {
            if (known.contains(id))
                continue;
            const QString seen = windowType(session, id);
            if (seen == type)
                return id;
            if (seen != u"unknown")
                return {};
        }
        QThread::msleep(100);
    }
    return {};
}

// The runtime folder a case starts Pennaroc with, in whatever state the case
// needs; it unmounts what it mounted.
class RuntimeFolder {
public:
    explicit RuntimeFolder(const QString &path)
        : path_(path)
    {
        QDir().mkpath(path_);
        ::chmod(QFile::encodeName(path_).constData(), 0700);
    }
    ~RuntimeFolder()
    {
        if (mounted_)
            ::umount2(QFile::encodeName(path_).constData(), MNT_DETACH);
    }
    RuntimeFolder(const RuntimeFolder &) = delete;
    RuntimeFolder &operator=(const RuntimeFolder &) = delete;

    QString path() const { return path_; }
    QString lockPath() const { return path_ + QStringLiteral("/Pennaroc.lock"); }

    // Empty when done, "skip: ..." when this machine cannot, else what failed.
    QString prepare(const QString &state)
    {
        const QByteArray lock = QFile::encodeName(lockPath());
        if (state == u"empty")
            return write({});
        if (state == u"garbled")
            return write(QByteArray("\x01\xfe not a lock\n\n\n"));
        if (state == u"fifo")
            return ::mkfifo(lock.constData(), 0600) == 0 ? QString() : QStringLiteral("mkfifo failed");
        if (state == u"read-only" || state == u"full") {
            if (::geteuid() != 0)
                return QStringLiteral("skip: mounting a runtime folder needs root");
            if (::mount("tmpfs", QFile::encodeName(path_).constData(), "tmpfs", 0, "size=64k,mode=0700") != 0)
                return QStringLiteral("skip: mount is not permitted here: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(errno)));
            mounted_ = true;
            if (state == u"read-only") {
                return ::mount(nullptr, QFile::encodeName(path_).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                               nullptr)
                        == 0
                    ? QString()
                    : QStringLiteral("cannot remount read-only");
            }
            const int fd = ::open(QFile::encodeName(path_ + QStringLiteral("/filler")).constData(),
                                  O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
            const char byte = 'x';
            while (fd >= 0 && ::write(fd, &byte, 1) == 1) {
            }
            if (fd >= 0)
                ::close(fd);
            return {};
        }
        return {};
    }

private:
    QString write(const QByteArray &content)
    {
        QFile file(lockPath());
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size()
            ? QString()
            : QStringLiteral("cannot write the lock file");
    }

    QString path_;
    bool mounted_ = false;
};

} // namespace

// The real program starts on the stand-in's current record, and ends with
// its host. Only a running copy keeps another from starting.
class TestE2eStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void endsOnCancelAndOnHostClosing_data();
    void endsOnCancelAndOnHostClosing();
    void refusesWithoutCurrentRecord();
    void startsUnlessACopyRuns_data();
    void startsUnlessACopyRuns();
    void windowClassMatchesTheDesktopEntry();
};

void TestE2eStartup::endsOnCancelAndOnHostClosing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Escape presses Cancel") << "escape";
    QTest::newRow("the stand-in closes its database") << "close";
    QTest::newRow("another record becomes current") << "select";
}

void TestE2eStartup::endsOnCancelAndOnHostClosing()
{
    QFETCH(QString, how);
    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    QVERIFY(session.createDatabase({QStringLiteral("Call back in May"), QStringLiteral("Second")}));
    QVERIFY(session.startStandin({QStringLiteral("--current"), QStringLiteral("0")}));
    session.startPennaroc();
    const QString window = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!window.isEmpty(), "the main window did not appear");

    if (how == u"escape") {
        QVERIFY(session.keys(window, {QStringLiteral("Escape")}));
    } else if (how == u"close") {
        int code = -1;
        session.standin({QStringLiteral("close")}, &code);
        QCOMPARE(code, 0);
    } else {
        int code = -1;
        session.standin({QStringLiteral("select"), QStringLiteral("1")}, &code);
        QCOMPARE(code, 0);
    }
    QCOMPARE(session.waitForPennarocEnd(15000), 0);
}

void TestE2eStartup::refusesWithoutCurrentRecord()
{
    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    QVERIFY(session.createDatabase({QStringLiteral("Only record")}));
    QVERIFY(session.startStandin());
    session.startPennaroc();
    // The refusal is a message box titled with the application title.
    const QString box = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!box.isEmpty(), "no refusal message appeared");
    QVERIFY(session.keys(box, {QStringLiteral("Return")}));
    QCOMPARE(session.waitForPennarocEnd(15000), 0);
    QCOMPARE(session.standin({QStringLiteral("details"), session.databasePath(), QStringLiteral("0")}),
             QByteArray("Only record"));
}

void TestE2eStartup::startsUnlessACopyRuns_data()
{
    // What is at the lock's path before the first copy starts; whether the
    // lock can be made there (then a second copy is refused); and if not,
    // a piece of the reason the first copy gives on standard error.
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("lockWorks");
    QTest::addColumn<QString>("reason");
    QTest::newRow("free path") << QStringLiteral("free") << true << QString();
    QTest::newRow("empty lock file") << QStringLiteral("empty") << true << QString();
    QTest::newRow("garbled lock file") << QStringLiteral("garbled") << true << QString();
    QTest::newRow("full runtime folder") << QStringLiteral("full") << true << QString();
    QTest::newRow("FIFO at the path") << QStringLiteral("fifo") << false << QStringLiteral("a FIFO");
    QTest::newRow("read-only runtime folder") << QStringLiteral("read-only") << false
                                              << QString::fromLocal8Bit(std::strerror(EROFS));
}

void TestE2eStartup::startsUnlessACopyRuns()
{
    QFETCH(QString, state);
    QFETCH(bool, lockWorks);
    QFETCH(QString, reason);
    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    if (QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
        QSKIP("xprop is not installed");
    RuntimeFolder runtime(session.scratch() + QStringLiteral("/lock-runtime"));
    const QString problem = runtime.prepare(state);
    if (problem.startsWith(u"skip: "))
        QSKIP(qPrintable(problem.mid(6)));
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY(session.createDatabase({QStringLiteral("Call back in May")}));
    QVERIFY(session.startStandin({QStringLiteral("--current"), QStringLiteral("0")}));

    Copy first(session, runtime.path());
    const QString window = waitForPennarocWindow(session, QStringLiteral("normal"));
    if (window.isEmpty()) {
        const bool refused = !waitForPennarocWindow(session, QStringLiteral("dialog")).isEmpty();
        QFAIL(refused ? "a message box appeared instead of the main window"
                      : qPrintable(QStringLiteral("no window appeared; see ")
                                   + session.screenshot(QStringLiteral("no-main-window"))));
    }
    const QString errors = first.errors();
    const QString line = QStringLiteral("Pennaroc: cannot lock ") + runtime.lockPath() + QStringLiteral(": ");
    if (lockWorks) {
        QVERIFY2(!errors.contains(QStringLiteral("cannot lock")), qPrintable(errors));
    } else {
        QCOMPARE(errors.count(QStringLiteral("cannot lock")), 1);
        QVERIFY2(errors.contains(line), qPrintable(errors));
        const QString said = errors.mid(errors.indexOf(line)).section(QLatin1Char('\n'), 0, 0);
        QVERIFY2(said.contains(reason), qPrintable(said));
    }

    if (lockWorks) {
        // A second copy shows the refusal and ends; the first stays.
        Copy second(session, runtime.path());
        const QString box = waitForPennarocWindow(session, QStringLiteral("dialog"), {window});
        QVERIFY2(!box.isEmpty(), "the second copy showed no refusal");
        QVERIFY(session.keys(box, {QStringLiteral("Return")}));
        QCOMPARE(second.waitForEnd(15000), 0);
        QVERIFY(!second.errors().contains(QStringLiteral("cannot lock")));
        QVERIFY(first.running());
        QVERIFY(session.windows(QStringLiteral("^Pennaroc$")).contains(window));
    }

    QVERIFY(session.keys(window, {QStringLiteral("Escape")}));
    QCOMPARE(first.waitForEnd(15000), 0);
    // A lock the copy made goes with it; anything else stays as it was.
    if (lockWorks)
        QVERIFY(!QFileInfo::exists(runtime.lockPath()));
    if (state == u"fifo") {
        struct stat seen {};
        QVERIFY(::lstat(QFile::encodeName(runtime.lockPath()).constData(), &seen) == 0 && S_ISFIFO(seen.st_mode));
    }
}

void TestE2eStartup::windowClassMatchesTheDesktopEntry()
{
    // The desktop ties the running window to Pennaroc's desktop entry (its
    // name, its icon) by the class in WM_CLASS.
    QFile file(qEnvironmentVariable("PENNAROC_SOURCE_DIR") + QStringLiteral("/packaging/")
               + QString::fromStdU16String(product::desktopFileName()) + QStringLiteral(".desktop"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    QString startupClass;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith("StartupWMClass="))
            startupClass = QString::fromUtf8(line.mid(15));
    }
    QVERIFY2(!startupClass.isEmpty(), "the desktop entry has no StartupWMClass");

    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    QVERIFY(session.createDatabase({QStringLiteral("Call back in May")}));
    QVERIFY(session.startStandin({QStringLiteral("--current"), QStringLiteral("0")}));
    session.startPennaroc();
    const QString window = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!window.isEmpty(), "the main window did not appear");
    QProcess xprop;
    xprop.setProcessEnvironment(session.environment());
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("WM_CLASS")});
    QVERIFY(xprop.waitForFinished(5000));
    const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    // WM_CLASS(STRING) = "instance", "class"
    const auto match = QRegularExpression(QStringLiteral("^WM_CLASS\\(STRING\\) = \"([^\"]*)\", \"([^\"]*)\"$")).match(out);
    QVERIFY2(match.hasMatch(), qPrintable(out));
    QCOMPARE(match.captured(2), startupClass);
    QCOMPARE(match.captured(1), QStringLiteral("Pennaroc"));
    QVERIFY(session.keys(window, {QStringLiteral("Escape")}));
    QCOMPARE(session.waitForPennarocEnd(15000), 0);
}

QTEST_GUILESS_MAIN(TestE2eStartup)
#include "tst_e2e_startup.moc"
