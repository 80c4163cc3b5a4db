// Pennaroc's command line, run as a user would: --help and --version answer
// on standard output with status 0 and need no display; other arguments are
// ignored and the program starts as usual.

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestProgramArguments : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void helpAndVersion_data();
    void helpAndVersion();
    void otherArgumentsAreIgnored();
};

namespace {

QString program() { return qEnvironmentVariable("PENNAROC_BIN_DIR") + QStringLiteral("/Pennaroc"); }

// No display at all: the answers must come before any window is made.
QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    return env;
}

} // namespace

void TestProgramArguments::helpAndVersion_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("begins"); // standard output begins with this
    QTest::newRow("--help") << QStringList{"--help"} << "Usage: ";
    QTest::newRow("-h") << QStringList{"-h"} << "Usage: ";
    QTest::newRow("-?") << QStringList{"-?"} << "Usage: ";
    QTest::newRow("--help-all") << QStringList{"--help-all"} << "Usage: ";
    QTest::newRow("--version") << QStringList{"--version"} << "Pennaroc 1.0.0\n";
    QTest::newRow("-v") << QStringList{"-v"} << "Pennaroc 1.0.0\n";
    QTest::newRow("help after an unknown argument") << QStringList{"--frobnicate", "--help"} << "Usage: ";
}

void TestProgramArguments::helpAndVersion()
{
    QFETCH(QStringList, args);
    QFETCH(QString, begins);
    QProcess p;
    p.setProcessEnvironment(withoutDisplay());
    p.start(program(), args);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(out.startsWith(begins), qPrintable(out));
    QCOMPARE(p.readAllStandardError(), QByteArray());
    if (begins.startsWith(u"Usage")) {
        QVERIFY2(out.contains(QLatin1String("--version")), qPrintable(out));
        QVERIFY2(out.contains(QLatin1String("Sales/Opportunity")), qPrintable(out));
    } else {
        QCOMPARE(out, begins); // the version line and nothing else
    }
}

void TestProgramArguments::otherArgumentsAreIgnored()
{
    // With arguments it does not know, the program starts as usual: here,
    // with no ACT! on the bus, it shows its "open a database" message and
    // waits for the user, instead of ending with a usage error.
    QProcess p;
    QTemporaryDir runtime; // the single-copy lock of a killed copy stays there
    QVERIFY(runtime.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
    p.setProcessEnvironment(env);
    p.start(program(), {QStringLiteral("--frobnicate"), QStringLiteral("file.txt"), QStringLiteral("-x")});
    QVERIFY(p.waitForStarted(5000));
    QVERIFY2(!p.waitForFinished(2000), p.readAllStandardError().constData());
    QCOMPARE(p.readAllStandardOutput(), QByteArray());
    p.kill();
    p.waitForFinished(5000);
}

QTEST_GUILESS_MAIN(TestProgramArguments)
#include "tst_ProgramArguments.moc"
