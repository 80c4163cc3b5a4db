#include "tests/e2e/DesktopSession.h"

#include <QtTest>

// The real program starts on the stand-in's current record, and ends with
// its host.
class TestE2eStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void endsOnCancelAndOnHostClosing_data();
    void endsOnCancelAndOnHostClosing();
    void refusesWithoutCurrentRecord();
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

QTEST_GUILESS_MAIN(TestE2eStartup)
#include "tst_e2e_startup.moc"
