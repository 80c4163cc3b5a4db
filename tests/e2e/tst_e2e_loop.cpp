#include "tests/e2e/DesktopSession.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QtTest>

#include "host/dbus/BusProtocol.h"

// The whole loop of an installed Pennaroc beside the stand-in's window:
// integrate through the real dialog, restart "ACT!" through the desktop,
// start Pennaroc from the stand-in's toolbar, and attach a file.
class TestE2eLoop : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void integrateRestartLaunchAndAttach_data();
    void integrateRestartLaunchAndAttach();
};

static bool standinOnBus()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(host::dbus::protocol::Service).value();
}

// The session has its own XDG_DATA_HOME, and the prefix lies outside the
// desktop's data folders: the restart must still reopen the database.
void TestE2eLoop::integrateRestartLaunchAndAttach_data()
{
    QTest::addColumn<QString>("prefixName");
    QTest::newRow("a prefix of its own") << "prefix";
    QTest::newRow("a prefix with a blank and non-ASCII") << "my pr\u00e9fix";
}

void TestE2eLoop::integrateRestartLaunchAndAttach()
{
    QFETCH(QString, prefixName);
    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    const QString prefix = session.installBuild(prefixName);
    QVERIFY2(!prefix.isEmpty(), qPrintable(session.problem()));
    QVERIFY(session.createDatabase({QStringLiteral("Call back in May"), QStringLiteral("Quote requested")}));
    const QString file = session.scratch() + QStringLiteral("/Offer 2026.txt");
    {
        QFile offer(file);
        QVERIFY(offer.open(QIODevice::WriteOnly));
        offer.write("offer\n");
    }

    // 1. The stand-in's window on the database, record 0 current.
    QVERIFY(session.startStandin({QStringLiteral("--current"), QStringLiteral("0"), QStringLiteral("--window")}));
    const QString standinTitle = QStringLiteral("^ACT! stand-in - Test.actdb$");
    QVERIFY2(!session.waitForWindow(standinTitle).isEmpty(), "the stand-in's window did not appear");

    // 2. Pennaroc, integrated into the Contacts toolbar through its dialog.
    session.startPennaroc();
    const QString main = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!main.isEmpty(), "Pennaroc did not appear");
    QVERIFY(session.keys(main, {QStringLiteral("alt"), QStringLiteral("Down"), QStringLiteral("Down"),
                                QStringLiteral("Return")}));
    const QString dialog = session.waitForWindow(QStringLiteral("^Integrate with ACT!$"));
    QVERIFY2(!dialog.isEmpty(), "the integration dialog did not appear");
    QVERIFY(session.click(dialog, (315 + 210 + 127) / 15, (240 + 345 + 127) / 15));
    QTRY_VERIFY_WITH_TIMEOUT(session.standin({QStringLiteral("commands"), session.databasePath()})
                                 .contains("toolbar\t1\tPennaroc\n"),
                             10000);

    // 3. Close, then Yes: the stand-in ends, the desktop opens the database
    // again in a new stand-in, and Pennaroc ends.
    const QStringList before = session.windows(QStringLiteral("^Pennaroc$"));
    QVERIFY(session.keys(dialog, {QStringLiteral("Return")}));
    const QString question = session.waitForNewWindow(QStringLiteral("^Pennaroc$"), before);
    QVERIFY2(!question.isEmpty(), "the restart question did not appear");
    QVERIFY(session.keys(question, {QStringLiteral("Return")}));
    QCOMPARE(session.waitForStandinEnd(10000), 0);
    QCOMPARE(session.waitForPennarocEnd(10000), 0);
    QTRY_VERIFY_WITH_TIMEOUT(standinOnBus(), 15000);
    const QString standin = session.waitForWindow(standinTitle);
    QVERIFY2(!standin.isEmpty(), qPrintable(QStringLiteral("the stand-in did not come back: ")
                                            + session.screenshot(QStringLiteral("no-standin"))));

    // The reopened stand-in carries on with the record that was current.
    {
        namespace protocol = host::dbus::protocol;
        const QDBusMessage reply = QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall(protocol::Service, protocol::SalesPath, protocol::SalesListInterface,
                                           QStringLiteral("GetCurrentRow")),
            QDBus::Block, 5000);
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(reply.arguments().value(0).toInt(), 0);
    }

    // 4. The command stands on the Contacts toolbar; started from there,
    // Pennaroc opens on the selected record.
    int code = -1;
    session.standin({QStringLiteral("select"), QStringLiteral("1")}, &code);
    QCOMPARE(code, 0);
    QVERIFY(session.click(standin, 16, 34));
    const QString launched = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!launched.isEmpty(), qPrintable(QStringLiteral("Pennaroc did not start from the toolbar: ")
                                             + session.screenshot(QStringLiteral("no-launch"))));

    // 5. Attach there: Attach is selected (no marker yet); OK opens the
    // real file dialog, where the user types the file's path.
    QVERIFY(session.keys(launched, {QStringLiteral("Return")}));
    QVERIFY2(session.answerOpenDialog(file), "the Open File dialog did not appear");
    QTRY_COMPARE_WITH_TIMEOUT(
        QString::fromUtf8(session.standin({QStringLiteral("details"), session.databasePath(), QStringLiteral("1")})),
        QStringLiteral("Quote requested [[") + file + QStringLiteral("]]"), 15000);
    QVERIFY(session.windowGone(QStringLiteral("^Pennaroc$")));

    session.standin({QStringLiteral("close")}, &code);
    QTRY_VERIFY_WITH_TIMEOUT(!standinOnBus(), 10000);
}

QTEST_GUILESS_MAIN(TestE2eLoop)
#include "tst_e2e_loop.moc"
