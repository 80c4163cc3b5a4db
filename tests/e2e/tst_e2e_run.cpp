// ./run as a newcomer meets it, headless: installed into a prefix outside
// the desktop's data folders, with XDG_DATA_HOME set and no runtime folder,
// it shows both windows, has the desktop reopen the database as a restart of
// ACT! does, and ./run --uninstall then leaves nothing behind. When the
// desktop cannot reopen the database, ./run says so and fails.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestE2eRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void demoAndUninstall_data();
    void demoAndUninstall();
    void reopeningThatDoesNotHappenFails();
};

namespace {

struct Result {
    int exitCode = -1;
    QString output;
};

// Every file and folder under root, relative to it.
QStringList contents(const QString &root)
{
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(root).relativeFilePath(it.next());
    found.sort();
    return found;
}

class Newcomer {
public:
    Newcomer()
    {
        for (const char *sub : {"home", "data", "config", "tmp", "path"})
            QDir(dir.path()).mkpath(QString::fromLatin1(sub));
        env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR",
                                 "XDG_DATA_DIRS", "XDG_CURRENT_DESKTOP", "QT_QPA_PLATFORM", "PENNAROC_PREFIX"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("TMPDIR"), dir.filePath(QStringLiteral("tmp")));
        // The tree the tests built, installed as ./run installs its own.
        env.insert(QStringLiteral("PENNAROC_RUN_BUILD"), qEnvironmentVariable("PENNAROC_BUILD_DIR"));
    }

    Result run(const QStringList &args = {})
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(qEnvironmentVariable("PENNAROC_SOURCE_DIR") + QStringLiteral("/run"), args);
        Result result;
        if (!p.waitForStarted(5000))
            return result;
        if (!p.waitForFinished(180000)) {
            p.kill();
            p.waitForFinished(5000);
        }
        result.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        result.output = QString::fromUtf8(p.readAll());
        return result;
    }

    QTemporaryDir dir;
    QProcessEnvironment env;
};

} // namespace

void TestE2eRun::demoAndUninstall_data()
{
    QTest::addColumn<QString>("prefix"); // under the scratch folder; empty: the default folders
    QTest::addColumn<bool>("runtimeFolder"); // XDG_RUNTIME_DIR set
    QTest::newRow("a prefix of its own, no runtime folder") << "opt/pennaroc" << false;
    QTest::newRow("a prefix with a blank, a runtime folder") << "my programs" << true;
    // ~/.local as the prefix and ~/.local/share as the data folder, neither
    // there before: the install itself makes the desktop's folders.
    QTest::newRow("a new user's default folders") << "" << true;
}

void TestE2eRun::demoAndUninstall()
{
    QFETCH(QString, prefix);
    QFETCH(bool, runtimeFolder);
    if (qEnvironmentVariableIsEmpty("PENNAROC_BUILD_DIR"))
        QSKIP("PENNAROC_BUILD_DIR is not set");
    Newcomer user;
    QVERIFY(user.dir.isValid());
    const QString home = user.dir.filePath(QStringLiteral("home"));
    const QString prefixPath = prefix.isEmpty() ? home + QStringLiteral("/.local") : user.dir.filePath(prefix);
    const QString data =
        prefix.isEmpty() ? home + QStringLiteral("/.local/share") : user.dir.filePath(QStringLiteral("data"));
    if (prefix.isEmpty()) {
        user.env.remove(QStringLiteral("XDG_DATA_HOME"));
        user.env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    } else {
        user.env.insert(QStringLiteral("PENNAROC_PREFIX"), prefixPath);
    }
    const QString runtime = user.dir.filePath(QStringLiteral("runtime"));
    if (runtimeFolder) {
        QVERIFY(QDir().mkpath(runtime));
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        user.env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    }
    const QStringList before = contents(user.dir.path());

    const Result demo = user.run();
    QVERIFY2(demo.exitCode == 0, qPrintable(demo.output));
    QVERIFY2(demo.output.contains(QLatin1String("the desktop opened the database again")), qPrintable(demo.output));
    QVERIFY(QFile::exists(data + QStringLiteral("/Pennaroc/demo/Demo.actdb")));
    QVERIFY(QFile::exists(data + QStringLiteral("/Pennaroc/demo/pennaroc-screenshot.png")));
    QVERIFY(QFile::exists(prefixPath + QStringLiteral("/bin/act-standin")));
    QVERIFY(QFile::exists(data + QStringLiteral("/applications/act-standin.desktop")));
    // Nothing of the run itself stays: no single-copy lock (Pennaroc ended
    // with the stand-in, as it always does), no private runtime folder.
    QCOMPARE(contents(user.dir.filePath(QStringLiteral("tmp"))), QStringList());
    if (runtimeFolder)
        QCOMPARE(contents(runtime), QStringList());

    const Result gone = user.run({QStringLiteral("--uninstall")});
    QVERIFY2(gone.exitCode == 0, qPrintable(gone.output));
    QCOMPARE(contents(user.dir.path()), before);
}

void TestE2eRun::reopeningThatDoesNotHappenFails()
{
    if (qEnvironmentVariableIsEmpty("PENNAROC_BUILD_DIR"))
        QSKIP("PENNAROC_BUILD_DIR is not set");
    Newcomer user;
    QVERIFY(user.dir.isValid());
    user.env.insert(QStringLiteral("PENNAROC_PREFIX"), user.dir.filePath(QStringLiteral("prefix")));
    // A desktop whose xdg-open opens nothing.
    QFile broken(user.dir.filePath(QStringLiteral("path/xdg-open")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("#!/bin/sh\nexit 0\n");
    broken.close();
    broken.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    user.env.insert(QStringLiteral("PATH"), user.dir.filePath(QStringLiteral("path")) + QLatin1Char(':')
                                                + user.env.value(QStringLiteral("PATH")));

    const Result demo = user.run();
    QVERIFY2(demo.exitCode == 1, qPrintable(demo.output));
    QVERIFY2(demo.output.contains(QLatin1String("the desktop did not open")), qPrintable(demo.output));
    QVERIFY(user.run({QStringLiteral("--uninstall")}).exitCode == 0);
}

QTEST_GUILESS_MAIN(TestE2eRun)
#include "tst_e2e_run.moc"
