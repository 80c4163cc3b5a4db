#include "tests/e2e/AccessibilityBus.h"
#include "tests/e2e/DesktopSession.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QtTest>

// The real program stays with the stand-in it started with. Its stand-in is
// killed and another one takes the bus name on another database: every
// action then fails with an error report, the program does not end as after
// a success, and neither database changes. The integration dialog, which
// makes an object of its own, reports that ACT! is no longer running.
class TestE2eHostLink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void anotherStandinIsNeverReached_data();
    void anotherStandinIsNeverReached();
    void lateWriteIsReportedAsUnknown();
    void integrationWithItsStandinGone_data();
    void integrationWithItsStandinGone();
};

namespace {

const QString ErrorText = QStringLiteral("Error 462: 'The remote server machine does not exist or is unavailable (");
const QString NotCreatedText = QStringLiteral("Error 429: 'ActiveX component can't create object (ACT! is no longer running)'");
const QString IntegrateLoadLine = QStringLiteral("in frmIntegrate: Sub Form_Load - Line # 13980");

// chkScreen(0), the Contacts toolbar box: frame at (315, 240) twips, the
// box at (210, 345) inside it, 255 x 255; its middle in pixels.
constexpr int ContactsToolbarX = (315 + 210 + 127) / 15;
constexpr int ContactsToolbarY = (240 + 345 + 127) / 15;

// Options > Integrate with ACT!...: the menu bar, its first menu, the item
// below the separator.
bool openIntegrateDialog(e2e::DesktopSession &session, const QString &window)
{
    return session.keys(window, {QStringLiteral("alt"), QStringLiteral("Down"), QStringLiteral("Down"),
                                 QStringLiteral("Return")});
}

// The texts of the windows titled title, as a screen reader reads them, once
// they contain expected (or after ten seconds).
QString textsOnceThere(e2e::AccessibilityBus &a11y, const QString &title, const QString &expected)
{
    QString text;
    QDeadlineTimer deadline(10000);
    while (!text.contains(expected) && !deadline.hasExpired()) {
        text = a11y.textsOf(title).join(QLatin1Char('\n'));
        QThread::msleep(100);
    }
    return text;
}

// Everything the command line shows of a database with one record.
QByteArray contentsOf(e2e::DesktopSession &session, const QString &database)
{
    return session.standin({QStringLiteral("details"), database, QStringLiteral("0")}) + '\n'
        + session.standin({QStringLiteral("commands"), database});
}

} // namespace

void TestE2eHostLink::anotherStandinIsNeverReached_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("details"); // of the record in both databases
    QTest::addColumn<QString>("label");   // where the report says the failure happened
    QTest::newRow("Remove") << "remove" << "Call back [[/docs/Quote.txt]]" << "in Form1: Sub cmdOK_Click - Line # ";
    QTest::newRow("Attach") << "attach" << "Call back in May" << "in Form1: Sub cmdOK_Click - Line # ";
}

void TestE2eHostLink::anotherStandinIsNeverReached()
{
    QFETCH(QString, action);
    QFETCH(QString, details);
    QFETCH(QString, label);
    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    session.setVariable(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    const QString file = e2e::DesktopSession::makeFile(session.scratch() + QStringLiteral("/docs"), QStringLiteral("New quote.txt"));
    QVERIFY(!file.isEmpty());
    const QString other = session.scratch() + QStringLiteral("/Other.actdb");
    QVERIFY(session.createDatabase({details}));
    int code = -1;
    session.standin({QStringLiteral("create"), other}, &code);
    QCOMPARE(code, 0);
    session.standin({QStringLiteral("add"), other, QStringLiteral("-")}, &code, details.toUtf8());
    QCOMPARE(code, 0);
    const QByteArray first = contentsOf(session, session.databasePath());
    const QByteArray second = contentsOf(session, other);

    QVERIFY(session.startStandin({QStringLiteral("--current"), QStringLiteral("0")}));
    session.startPennaroc();
    const QString window = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!window.isEmpty(), qPrintable(session.screenshot(QStringLiteral("no-main-window"))));

    // The program's stand-in dies; another one serves another database
    // under the same name, with the same record current.
    QVERIFY(session.killStandin());
    QVERIFY(session.startStandinOn(other, {QStringLiteral("--current"), QStringLiteral("0")}));

    if (action == u"remove") {
        QVERIFY(session.keys(window, {QStringLiteral("alt+r")}));
        QThread::msleep(400); // the option's click animation
        QVERIFY(session.keys(window, {QStringLiteral("Return")}));
    } else if (action == u"attach") {
        // Attach is selected on a record without attachment. The action may
        // fail before its Open File dialog (it reads the field first); when
        // the dialog comes, a file is chosen in it.
        QVERIFY(session.keys(window, {QStringLiteral("Return")}));
        const QString first = session.waitForNewWindow(QStringLiteral("^(Open|Pennaroc error)$"), {window});
        QVERIFY2(!first.isEmpty(), qPrintable(session.visibleTitles()));
        if (!session.windows(QStringLiteral("^Open$")).isEmpty())
            QVERIFY2(session.answerOpenDialog(file), "the Open File dialog could not be answered");
    }
    const QString report = session.waitForNewWindow(QStringLiteral("^Pennaroc( error)?$"), {window});
    QVERIFY2(!report.isEmpty(), qPrintable(session.visibleTitles()));

    // What it says, read as a screen reader would.
    e2e::AccessibilityBus a11y;
    if (!a11y.problem().isEmpty()) {
        qWarning("the report's text is not checked: %s", qPrintable(a11y.problem()));
    } else {
        const QString text = textsOnceThere(a11y, QStringLiteral("Pennaroc error"), ErrorText);
        QVERIFY2(text.contains(ErrorText), qPrintable(text));
        QVERIFY2(text.contains(label), qPrintable(text));
        // The call never reached a stand-in, so the report does not leave
        // the outcome open.
        QVERIFY2(!text.contains(QLatin1String("not known")), qPrintable(text));
    }

    // Answered, the report goes and the program stays: nothing succeeded.
    QVERIFY(session.keys(report, {QStringLiteral("Return")}));
    QTRY_VERIFY_WITH_TIMEOUT(!session.windows(QStringLiteral("^Pennaroc( error)?$")).contains(report), 5000);
    QCOMPARE(session.waitForPennarocEnd(500), -1);
    QVERIFY(session.standinRunning());
    QCOMPARE(contentsOf(session, other), second);
    QCOMPARE(contentsOf(session, session.databasePath()), first);
    QVERIFY(session.xdgOpenCalls().isEmpty());
}

// A stand-in too busy to answer Remove's write within the call limit: the
// report says that whether the field was changed is not known, which is
// true, since the write lands once the stand-in gets to it.
void TestE2eHostLink::lateWriteIsReportedAsUnknown()
{
    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    session.setVariable(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    QVERIFY(session.createDatabase({QStringLiteral("Call back [[/old.txt]]")}));
    QVERIFY(session.startStandin(
        {QStringLiteral("--current"), QStringLiteral("0"), QStringLiteral("--write-delay"), QStringLiteral("7000")}));
    session.startPennaroc();
    const QString window = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!window.isEmpty(), qPrintable(session.visibleTitles()));
    QVERIFY(session.keys(window, {QStringLiteral("alt+r")}));
    QThread::msleep(400); // the option's click animation
    QVERIFY(session.keys(window, {QStringLiteral("Return")}));
    const QString report = session.waitForNewWindow(QStringLiteral("^Pennaroc error$"), {window}, 20000);
    QVERIFY2(!report.isEmpty(), qPrintable(session.visibleTitles()));

    e2e::AccessibilityBus a11y;
    if (!a11y.problem().isEmpty()) {
        qWarning("the report's text is not checked: %s", qPrintable(a11y.problem()));
    } else {
        QString text;
        QDeadlineTimer deadline(10000);
        while (!text.contains(QLatin1String("not known")) && !deadline.hasExpired()) {
            text = a11y.textsOf(QStringLiteral("Pennaroc error")).join(QLatin1Char('\n'));
            QThread::msleep(100);
        }
        QVERIFY2(text.contains(ErrorText), qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("SetField")), qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("whether the Details field was changed is not known")), qPrintable(text));
    }
    // The write lands after all; the window stays, as after any failure.
    QTRY_COMPARE_WITH_TIMEOUT(
        session.standin({QStringLiteral("details"), session.databasePath(), QStringLiteral("0")}),
        QByteArray("Call back"), 15000);
    QVERIFY(session.keys(report, {QStringLiteral("Return")}));
    QVERIFY(session.windowGone(QStringLiteral("^Pennaroc error$")));
    QCOMPARE(session.waitForPennarocEnd(500), -1);
    QVERIFY(session.keys(window, {QStringLiteral("Escape")}));
    QCOMPARE(session.waitForPennarocEnd(15000), 0);
}

void TestE2eHostLink::integrationWithItsStandinGone_data()
{
    QTest::addColumn<bool>("reloadAfterNo"); // opened before the kill, closed with a change, restart answered No
    QTest::addColumn<bool>("anotherStandin"); // another stand-in takes the name on another database
    QTest::newRow("opening, no stand-in") << false << false;
    QTest::newRow("opening, another stand-in") << false << true;
    QTest::newRow("reload after No, no stand-in") << true << false;
    QTest::newRow("reload after No, another stand-in") << true << true;
}

// The integration dialog makes its own object when it loads, also when it
// loads again after the restart question. With the program's stand-in
// killed (no notification comes), that object cannot be created: the report
// says so in a user's words, and no database changes.
void TestE2eHostLink::integrationWithItsStandinGone()
{
    QFETCH(bool, reloadAfterNo);
    QFETCH(bool, anotherStandin);
    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    session.setVariable(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    const QString details = QStringLiteral("Call back in May");
    const QString other = session.scratch() + QStringLiteral("/Other.actdb");
    QVERIFY(session.createDatabase({details}));
    int code = -1;
    session.standin({QStringLiteral("create"), other}, &code);
    QCOMPARE(code, 0);
    session.standin({QStringLiteral("add"), other, QStringLiteral("-")}, &code, details.toUtf8());
    QCOMPARE(code, 0);

    QVERIFY(session.startStandin({QStringLiteral("--current"), QStringLiteral("0")}));
    session.startPennaroc();
    const QString window = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!window.isEmpty(), qPrintable(session.screenshot(QStringLiteral("no-main-window"))));

    QString dialog;
    if (reloadAfterNo) {
        // A change of the user's, which makes Close ask the restart question.
        QVERIFY(openIntegrateDialog(session, window));
        dialog = session.waitForWindow(QStringLiteral("^Integrate with ACT!$"));
        QVERIFY2(!dialog.isEmpty(), "the integration dialog did not appear");
        QVERIFY(session.click(dialog, ContactsToolbarX, ContactsToolbarY));
        QTRY_VERIFY_WITH_TIMEOUT(contentsOf(session, session.databasePath()).contains("toolbar\t1\tPennaroc"), 10000);
    }
    QVERIFY(session.killStandin());
    if (anotherStandin)
        QVERIFY(session.startStandinOn(other, {QStringLiteral("--current"), QStringLiteral("0")}));
    const QByteArray first = contentsOf(session, session.databasePath());
    const QByteArray second = contentsOf(session, other);

    QStringList known{window};
    if (reloadAfterNo) {
        QVERIFY(session.keys(dialog, {QStringLiteral("Return")}));
        const QString question = session.waitForNewWindow(QStringLiteral("^Pennaroc$"), known);
        QVERIFY2(!question.isEmpty(), qPrintable(session.visibleTitles()));
        known << question;
        QVERIFY(session.keys(question, {QStringLiteral("alt+n")}));
    } else {
        QVERIFY(openIntegrateDialog(session, window));
    }
    const QString report = session.waitForNewWindow(QStringLiteral("^Pennaroc$"), known);
    QVERIFY2(!report.isEmpty(), qPrintable(session.visibleTitles()));
    e2e::AccessibilityBus a11y;
    if (!a11y.problem().isEmpty()) {
        qWarning("the report's text is not checked: %s", qPrintable(a11y.problem()));
    } else {
        const QString text = textsOnceThere(a11y, QStringLiteral("Pennaroc"), NotCreatedText);
        QVERIFY2(text.contains(NotCreatedText), qPrintable(text));
        QVERIFY2(text.contains(IntegrateLoadLine), qPrintable(text));
        // Nothing of the bus's own words reaches the user.
        QVERIFY2(!text.contains(QLatin1String(".service")), qPrintable(text));
    }
    QVERIFY(session.keys(report, {QStringLiteral("Return")}));
    QTRY_VERIFY_WITH_TIMEOUT(!session.windows(QStringLiteral("^Pennaroc$")).contains(report), 5000);

    if (reloadAfterNo) {
        // No: the dialog closes as Close does, and the program goes on.
        QVERIFY2(session.windowGone(QStringLiteral("^Integrate with ACT!$")), qPrintable(session.visibleTitles()));
    } else {
        dialog = session.waitForWindow(QStringLiteral("^Integrate with ACT!$"));
        QVERIFY2(!dialog.isEmpty(), "the integration dialog did not appear");
        // A click on the Contacts toolbar box reaches no stand-in either.
        QVERIFY(session.click(dialog, ContactsToolbarX, ContactsToolbarY));
        const QString clickReport = session.waitForNewWindow(QStringLiteral("^Pennaroc$"), known, 3000);
        if (!clickReport.isEmpty()) {
            QVERIFY(session.keys(clickReport, {QStringLiteral("Return")}));
            QTRY_VERIFY_WITH_TIMEOUT(!session.windows(QStringLiteral("^Pennaroc$")).contains(clickReport), 5000);
        }
        // Close without a change asks nothing and goes back to the window.
        QVERIFY(session.keys(dialog, {QStringLiteral("Escape")}));
        QVERIFY2(session.windowGone(QStringLiteral("^Integrate with ACT!$")), qPrintable(session.visibleTitles()));
    }
    QCOMPARE(session.waitForPennarocEnd(500), -1);
    QCOMPARE(session.standinRunning(), anotherStandin);
    QCOMPARE(contentsOf(session, other), second);
    QCOMPARE(contentsOf(session, session.databasePath()), first);
    QVERIFY(session.xdgOpenCalls().isEmpty());
    QVERIFY(session.keys(window, {QStringLiteral("Escape")}));
    QCOMPARE(session.waitForPennarocEnd(15000), 0);
}

QTEST_GUILESS_MAIN(TestE2eHostLink)
#include "tst_e2e_hostlink.moc"
