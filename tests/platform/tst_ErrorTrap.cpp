#include "platform/ErrorTrap.h"
#include "tests/support/ScriptedPlatform.h"

#include <QtTest>

using platform::ComposeErrorReport;
using platform::ErrorTrap;

class TestErrorTrap : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void compose_data();
    void compose();
    void trapReportsCurrentLine();
    void calleeFailureReportsCallerLine();
    void trapReadsTitleAndContactWhenReporting();
    void failureWhileReportingIsNotTrappedAgain();
    void bodyWithoutFailureShowsNothing();
};

void TestErrorTrap::compose_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("contact");
    QTest::addColumn<QString>("expected");

    const QString label = QStringLiteral("in Form1: Sub Form_Load - Line # ");
    const QString contact = QStringLiteral("Please contact support@veltrane.example with this error message.");
    QTest::newRow("plain") << 440 << "Automation error" << label << 11380 << contact
                           << "Error 440: 'Automation error'\rin Form1: Sub Form_Load - Line # 11380\r\r"
                              "Please contact support@veltrane.example with this error message.";
    QTest::newRow("empty description keeps both apostrophes")
        << 91 << "" << label << 11240 << contact
        << "Error 91: ''\rin Form1: Sub Form_Load - Line # 11240\r\r"
           "Please contact support@veltrane.example with this error message.";
    QTest::newRow("negative number keeps its sign")
        << -2147418113 << "Catastrophic failure" << label << 11000 << contact
        << "Error -2147418113: 'Catastrophic failure'\rin Form1: Sub Form_Load - Line # 11000\r\r"
           "Please contact support@veltrane.example with this error message.";
    QTest::newRow("empty contact line ends in two CRs")
        << 429 << "x" << "in frmIntegrate: Sub Form_Load - Line # " << 13980 << ""
        << "Error 429: 'x'\rin frmIntegrate: Sub Form_Load - Line # 13980\r\r";
    QTest::newRow("description kept unchanged, CR and quotes included")
        << 6 << "a'b\r\nc" << label << 10900 << contact
        << "Error 6: 'a'b\r\nc'\rin Form1: Sub Form_Load - Line # 10900\r\r"
           "Please contact support@veltrane.example with this error message.";
}

void TestErrorTrap::compose()
{
    QFETCH(int, number);
    QFETCH(QString, description);
    QFETCH(QString, label);
    QFETCH(int, line);
    QFETCH(QString, contact);
    QFETCH(QString, expected);
    const QString text = ComposeErrorReport(number, description, label, line, contact);
    QCOMPARE(text, expected);
    QVERIFY(!text.contains(QLatin1Char('\n')) || description.contains(QLatin1Char('\n')));
}

void TestErrorTrap::trapReportsCurrentLine()
{
    testsupport::ScriptedPlatform desktop;
    ErrorTrap trap(desktop, QStringLiteral("in frmMain: Sub tmr1_Timer - Line # "),
                   [] { return QStringLiteral("Pennaroc error"); }, [] { return QStringLiteral("contact"); });
    int reached = 0;
    const bool finished = trap.run([&] {
        trap.at(13260);
        reached = 1;
        trap.at(13280);
        throw host::Failure(6, QStringLiteral("Overflow"));
    });
    QVERIFY(!finished);
    QCOMPARE(reached, 1);
    QCOMPARE(desktop.messages.size(), 1);
    QCOMPARE(desktop.messages[0].text,
             QStringLiteral("Error 6: 'Overflow'\rin frmMain: Sub tmr1_Timer - Line # 13280\r\rcontact"));
    QCOMPARE(desktop.messages[0].style, 0);
    QCOMPARE(desktop.messages[0].title, QStringLiteral("Pennaroc error"));
}

void TestErrorTrap::calleeFailureReportsCallerLine()
{
    testsupport::ScriptedPlatform desktop;
    ErrorTrap trap(desktop, QStringLiteral("L "), [] { return QString(); }, [] { return QString(); });
    auto untrappedCallee = [](int depth) {
        if (depth > 0)
            throw host::Failure(91, QStringLiteral("Object variable or With block variable not set"));
    };
    trap.run([&] {
        trap.at(15680);
        untrappedCallee(0);
        trap.at(15700);
        untrappedCallee(1);
    });
    QCOMPARE(desktop.messages.size(), 1);
    QVERIFY(desktop.messages[0].text.contains(QStringLiteral("L 15700\r")));
}

void TestErrorTrap::trapReadsTitleAndContactWhenReporting()
{
    testsupport::ScriptedPlatform desktop;
    QString contact;
    ErrorTrap trap(desktop, QStringLiteral("L "), [] { return QStringLiteral("T"); }, [&] { return contact; });
    trap.run([&] {
        trap.at(13960);
        contact = QStringLiteral("set later");
        trap.at(13980);
        throw host::Failure(429, QStringLiteral("x"));
    });
    QVERIFY(desktop.messages[0].text.endsWith(QStringLiteral("\r\rset later")));
}

void TestErrorTrap::failureWhileReportingIsNotTrappedAgain()
{
    testsupport::ScriptedPlatform desktop;
    ErrorTrap trap(desktop, QStringLiteral("L "), [] { return QString(); },
                   []() -> QString { throw host::Failure(7, QStringLiteral("Out of memory")); });
    bool escaped = false;
    try {
        trap.run([] { throw host::Failure(440, QStringLiteral("first")); });
    } catch (const host::Failure &f) {
        escaped = f.number() == 7;
    }
    QVERIFY(escaped);
    QCOMPARE(desktop.messages.size(), 0);
}

void TestErrorTrap::bodyWithoutFailureShowsNothing()
{
    testsupport::ScriptedPlatform desktop;
    ErrorTrap trap(desktop, QStringLiteral("L "), [] { return QString(); }, [] { return QString(); });
    QVERIFY(trap.run([&] { trap.at(20); }));
    QVERIFY(desktop.messages.isEmpty());
}

QTEST_GUILESS_MAIN(TestErrorTrap)
#include "tst_ErrorTrap.moc"
