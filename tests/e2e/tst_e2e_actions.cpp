#include "tests/e2e/DesktopSession.h"

#include "host/dbus/BusProtocol.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QThread>
#include <QUrl>
#include <QtTest>

// The real program's three actions on the stand-in's records, driven on a
// virtual display as a user would: the options by their mnemonics, OK by
// Return, the real Open File dialog by typing a path.
class TestE2eActions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void attachThenRemove();
    void openHandsThePathToTheDesktop();
    void programAsksFirst();
    void replaceQuestion();
    void notificationWhileDialogOpen_data();
    void notificationWhileDialogOpen();
    void refusedWrites_data();
    void refusedWrites();
    void strayOpeningStaysText_data();
    void strayOpeningStaysText();
    void pathsTheMarkerCannotHold_data();
    void pathsTheMarkerCannotHold();
    void anotherWriterAttached_data();
    void anotherWriterAttached();
    void defaultFolderNamingAFile();
};

namespace {


// The xdg-open calls once there are at least count of them.
QStringList waitForXdgOpen(const e2e::DesktopSession &session, int count)
{
    QDeadlineTimer deadline(10000);
    while (session.xdgOpenCalls().size() < count && !deadline.hasExpired())
        QThread::msleep(50);
    return session.xdgOpenCalls();
}


// Chooses an option by its mnemonic, then presses OK with Return. A
// mnemonic clicks its option with a short animation, so Return waits for it.
bool chooseAndPressOk(e2e::DesktopSession &session, const QString &window, const QString &mnemonic)
{
    if (!session.keys(window, {mnemonic}))
        return false;
    QThread::msleep(400);
    return session.keys(window, {QStringLiteral("Return")});
}

// Another writer (a user of the same database elsewhere) changes a record's
// Details field through the stand-in, as the program itself does.
bool otherWriterSets(qint32 row, const QString &text)
{
    namespace protocol = host::dbus::protocol;
    QDBusMessage call = QDBusMessage::createMethodCall(protocol::Service, protocol::SalesPath,
                                                       protocol::SalesListInterface, QStringLiteral("SetField"));
    call.setArguments({QVariant::fromValue<qint16>(36), QVariant::fromValue<qint32>(row), text});
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
        && reply.arguments().constFirst().toInt() == 0;
}

QString detailsOf(e2e::DesktopSession &session, int row)
{
    return QString::fromUtf8(session.standin({QStringLiteral("details"), session.databasePath(), QString::number(row)}));
}

} // namespace

void TestE2eActions::attachThenRemove()
{
    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    // Spaces and punctuation, typed into the real file dialog.
    const QString path = e2e::DesktopSession::makeFile(session.scratch() + QStringLiteral("/My Docs"),
                                  QStringLiteral("Quote 2026 (final), v2; ok.txt"));
    QVERIFY(!path.isEmpty());
    QVERIFY(session.createDatabase({QStringLiteral("Call back in May"), QStringLiteral("Other record")}));
    QVERIFY(session.startStandin({QStringLiteral("--current"), QStringLiteral("0")}));

    // Attach is selected on a record without attachment; OK opens the dialog.
    session.startPennaroc();
    QString window = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!window.isEmpty(), qPrintable(session.visibleTitles()));
    QVERIFY(session.keys(window, {QStringLiteral("Return")}));
    QVERIFY2(session.answerOpenDialog(path), "the Open File dialog did not appear");
    QCOMPARE(session.waitForPennarocEnd(15000), 0);
    QCOMPARE(QString::fromUtf8(session.standin({QStringLiteral("details"), session.databasePath(), QStringLiteral("0")})),
             QStringLiteral("Call back in May [[") + path + QStringLiteral("]]"));
    QCOMPARE(session.standin({QStringLiteral("details"), session.databasePath(), QStringLiteral("1")}),
             QByteArray("Other record"));

    // The next start finds it; Remove takes it out again.
    session.startPennaroc();
    window = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!window.isEmpty(), qPrintable(session.visibleTitles()));
    QVERIFY(chooseAndPressOk(session, window, QStringLiteral("alt+r")));
    QCOMPARE(session.waitForPennarocEnd(15000), 0);
    QCOMPARE(session.standin({QStringLiteral("details"), session.databasePath(), QStringLiteral("0")}),
             QByteArray("Call back in May"));
    QVERIFY(session.xdgOpenCalls().isEmpty());
}

void TestE2eActions::openHandsThePathToTheDesktop()
{
    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    // Names a shell would misread; none may run anything.
    const QString folder = session.scratch() + QStringLiteral("/files");
    const QStringList names{QStringLiteral("plain.txt"),
                            QStringLiteral("two  spaces.txt"),
                            QStringLiteral("say \"hi\" it's.txt"),
                            QStringLiteral("a;touch pwned;b.txt"),
                            QStringLiteral("$(touch pwned).txt"),
                            QStringLiteral("`touch pwned`.txt"),
                            QStringLiteral(" leading blank.txt"),
                            QStringLiteral("Ελληνικά 日本語 😀.txt"),
                            QStringLiteral("100% #1?&x=y.txt")};
    QStringList paths, records;
    for (const QString &name : names) {
        paths << e2e::DesktopSession::makeFile(folder, name);
        QVERIFY2(!paths.constLast().isEmpty(), qPrintable(name));
        records << QStringLiteral("Note [[") + paths.constLast() + QStringLiteral("]]");
    }
    QVERIFY(session.createDatabase(records));
    QVERIFY(session.startStandin({QStringLiteral("--current"), QStringLiteral("0")}));

    for (int row = 0; row < paths.size(); ++row) {
        int code = -1;
        session.standin({QStringLiteral("select"), QString::number(row)}, &code);
        QCOMPARE(code, 0);
        session.startPennaroc();
        const QString window = session.waitForWindow(QStringLiteral("^Pennaroc$"));
        QVERIFY2(!window.isEmpty(), qPrintable(names[row] + session.visibleTitles()));
        // Open is selected on a record with an attachment.
        QVERIFY(session.keys(window, {QStringLiteral("Return")}));
        QCOMPARE(session.waitForPennarocEnd(15000), 0);
        const QStringList calls = waitForXdgOpen(session, row + 1);
        QCOMPARE(calls.size(), row + 1);
        // One argument: the file URL, which decodes to the stored path.
        const QString url = calls[row];
        QVERIFY2(!url.contains(QLatin1Char('\t')), qPrintable(url));
        QCOMPARE(url, QString::fromLatin1(QUrl::fromLocalFile(paths[row]).toEncoded()));
        QCOMPARE(QUrl(url).toLocalFile(), paths[row]);
        // The record is left as it was.
        QCOMPARE(QString::fromUtf8(session.standin({QStringLiteral("details"), session.databasePath(),
                                                    QString::number(row)})),
                 records[row]);
    }
    QVERIFY(!QFile::exists(folder + QStringLiteral("/pwned")));
    QVERIFY(!QFile::exists(session.scratch() + QStringLiteral("/pwned")));
}

// An attachment that is an executable script is opened only after Yes; No
// (the default) hands nothing to the desktop and keeps the window.
void TestE2eActions::programAsksFirst()
{
    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    const QString folder = session.scratch() + QStringLiteral("/files");
    const QString script = e2e::DesktopSession::makeFile(folder, QStringLiteral("quote.sh"));
    QVERIFY(!script.isEmpty());
    QVERIFY(QFile::setPermissions(script, QFile::permissions(script) | QFile::ExeOwner | QFile::ExeUser));
    const QString record = QStringLiteral("See [[") + script + QStringLiteral("]]");
    QVERIFY(session.createDatabase({record}));
    QVERIFY(session.startStandin({QStringLiteral("--current"), QStringLiteral("0")}));
    session.startPennaroc();
    const QString window = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!window.isEmpty(), qPrintable(session.visibleTitles()));

    // Open is selected; OK asks first, and Return takes No.
    QVERIFY(session.keys(window, {QStringLiteral("Return")}));
    QString question = session.waitForNewWindow(QStringLiteral("^Pennaroc$"), {window});
    QVERIFY2(!question.isEmpty(), "the question did not appear");
    QVERIFY(session.keys(question, {QStringLiteral("Return")}));
    QTRY_COMPARE_WITH_TIMEOUT(session.windows(QStringLiteral("^Pennaroc$")).size(), 1, 5000);
    QCOMPARE(session.waitForPennarocEnd(500), -1);
    QVERIFY(session.xdgOpenCalls().isEmpty());

    // Yes opens it, and the program ends as after any Open.
    QVERIFY(session.keys(window, {QStringLiteral("Return")}));
    question = session.waitForNewWindow(QStringLiteral("^Pennaroc$"), {window});
    QVERIFY2(!question.isEmpty(), "the question did not appear again");
    QVERIFY(session.keys(question, {QStringLiteral("alt+y")}));
    QCOMPARE(session.waitForPennarocEnd(15000), 0);
    const QStringList calls = waitForXdgOpen(session, 1);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(QUrl(calls[0]).toLocalFile(), script);
    QCOMPARE(detailsOf(session, 0), record);
}

void TestE2eActions::replaceQuestion()
{
    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    const QString path = e2e::DesktopSession::makeFile(session.scratch() + QStringLiteral("/docs"), QStringLiteral("New quote.txt"));
    const QString old = QStringLiteral("[[/gone/Old quote.txt]] Call back");
    QVERIFY(session.createDatabase({old}));
    QVERIFY(session.startStandin({QStringLiteral("--current"), QStringLiteral("0")}));
    session.startPennaroc();
    const QString window = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!window.isEmpty(), qPrintable(session.visibleTitles()));

    // No is the default answer: Return keeps everything and the window.
    QVERIFY(chooseAndPressOk(session, window, QStringLiteral("alt+a")));
    QString question = session.waitForNewWindow(QStringLiteral("^Pennaroc$"), {window});
    QVERIFY2(!question.isEmpty(), "the replace question did not appear");
    QVERIFY(session.keys(question, {QStringLiteral("Return")}));
    QTRY_COMPARE_WITH_TIMEOUT(session.windows(QStringLiteral("^Pennaroc$")).size(), 1, 5000);
    QCOMPARE(session.waitForPennarocEnd(300), -1);
    QCOMPARE(QString::fromUtf8(session.standin({QStringLiteral("details"), session.databasePath(), QStringLiteral("0")})),
             old);

    // Yes goes on to the dialog, and the new marker replaces the old one.
    QVERIFY(session.keys(window, {QStringLiteral("Return")}));
    question = session.waitForNewWindow(QStringLiteral("^Pennaroc$"), {window});
    QVERIFY2(!question.isEmpty(), "the replace question did not appear again");
    QVERIFY(session.keys(question, {QStringLiteral("alt+y")}));
    QVERIFY2(session.answerOpenDialog(path), "the Open File dialog did not appear");
    QCOMPARE(session.waitForPennarocEnd(15000), 0);
    QCOMPARE(QString::fromUtf8(session.standin({QStringLiteral("details"), session.databasePath(), QStringLiteral("0")})),
             QStringLiteral("Call back [[") + path + QStringLiteral("]]"));
}

void TestE2eActions::notificationWhileDialogOpen_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("another record becomes current") << "select";
    QTest::newRow("the database closes") << "close";
}

void TestE2eActions::notificationWhileDialogOpen()
{
    QFETCH(QString, how);
    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    QVERIFY(session.createDatabase({QStringLiteral("Call back in May"), QStringLiteral("Other")}));
    QVERIFY(session.startStandin({QStringLiteral("--current"), QStringLiteral("0")}));
    session.startPennaroc();
    const QString window = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!window.isEmpty(), qPrintable(session.visibleTitles()));
    QVERIFY(session.keys(window, {QStringLiteral("Return")}));
    QVERIFY2(!session.waitForWindow(QStringLiteral("^Open$")).isEmpty(), "the Open File dialog did not appear");
    int code = -1;
    if (how == u"select")
        session.standin({QStringLiteral("select"), QStringLiteral("1")}, &code);
    else
        session.standin({QStringLiteral("close")}, &code);
    QCOMPARE(code, 0);
    // The program ends cleanly, with nothing written.
    QCOMPARE(session.waitForPennarocEnd(15000), 0);
    QCOMPARE(session.standin({QStringLiteral("details"), session.databasePath(), QStringLiteral("0")}),
             QByteArray("Call back in May"));
}

void TestE2eActions::refusedWrites_data()
{
    QTest::addColumn<QStringList>("serve");
    QTest::addColumn<QString>("details");
    QTest::addColumn<QString>("option"); // the option's mnemonic
    QTest::addColumn<bool>("closes");      // after the refusal is answered
    QTest::newRow("attach beyond the longest Details")
        << QStringList{"--max-details", "20"} << "Call back in May" << "alt+a" << true;
    QTest::newRow("remove on a read-only database")
        << QStringList{"--read-only"} << "Call back [[/nowhere.txt]]" << "alt+r" << false;
    QTest::newRow("attach on a read-only database")
        << QStringList{"--read-only"} << "Call back in May" << "alt+a" << true;
}

void TestE2eActions::refusedWrites()
{
    QFETCH(QStringList, serve);
    QFETCH(QString, details);
    QFETCH(QString, option);
    QFETCH(bool, closes);
    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    const QString path = e2e::DesktopSession::makeFile(session.scratch() + QStringLiteral("/docs"), QStringLiteral("Quote.txt"));
    QVERIFY(session.createDatabase({details}));
    QVERIFY(session.startStandin(QStringList{QStringLiteral("--current"), QStringLiteral("0")} + serve));

    session.startPennaroc();
    const QString window = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!window.isEmpty(), qPrintable(session.visibleTitles()));
    QVERIFY(chooseAndPressOk(session, window, option));
    if (option == u"alt+a") {
        const QString dialog = session.waitForWindow(QStringLiteral("^Open$"));
        QVERIFY2(!dialog.isEmpty(), "the Open File dialog did not appear");
        QVERIFY(session.type(dialog, path));
        QVERIFY(session.keys(dialog, {QStringLiteral("Return")}));
    }
    const QString refusal = session.waitForWindow(QStringLiteral("^Operation aborted$"));
    QVERIFY2(!refusal.isEmpty(), qPrintable(session.screenshot(QStringLiteral("no-refusal"))));
    QVERIFY(session.keys(refusal, {QStringLiteral("Return")}));
    if (closes) {
        QCOMPARE(session.waitForPennarocEnd(15000), 0);
    } else {
        // The window stays for another choice; Escape then cancels.
        QVERIFY(session.windowGone(QStringLiteral("^Operation aborted$")));
        QCOMPARE(session.waitForPennarocEnd(500), -1);
        QVERIFY(session.keys(window, {QStringLiteral("Escape")}));
        QCOMPARE(session.waitForPennarocEnd(15000), 0);
    }
    QCOMPARE(QString::fromUtf8(session.standin({QStringLiteral("details"), session.databasePath(), QStringLiteral("0")})),
             details);
}

// A "[[" that the user typed before the attachment stays the user's text:
// the program opens, removes or replaces only the marker itself.
void TestE2eActions::strayOpeningStaysText_data()
{
    QTest::addColumn<QString>("option"); // the option's mnemonic; "" keeps Open, the default
    QTest::newRow("open") << "";
    QTest::newRow("remove") << "alt+r";
    QTest::newRow("attach") << "alt+a";
}

void TestE2eActions::strayOpeningStaysText()
{
    QFETCH(QString, option);
    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    const QString real = e2e::DesktopSession::makeFile(session.scratch() + QStringLiteral("/x"), QStringLiteral("real.txt"));
    const QString fresh = e2e::DesktopSession::makeFile(session.scratch() + QStringLiteral("/x"), QStringLiteral("new.txt"));
    const QString record = QStringLiteral("Price [[ to confirm with the client [[") + real + QStringLiteral("]] end");
    QVERIFY(session.createDatabase({record}));
    QVERIFY(session.startStandin({QStringLiteral("--current"), QStringLiteral("0")}));
    session.startPennaroc();
    const QString window = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!window.isEmpty(), qPrintable(session.visibleTitles()));

    if (option.isEmpty()) {
        QVERIFY(session.keys(window, {QStringLiteral("Return")}));
        QCOMPARE(session.waitForPennarocEnd(15000), 0);
        QCOMPARE(waitForXdgOpen(session, 1), QStringList{QString::fromLatin1(QUrl::fromLocalFile(real).toEncoded())});
        QCOMPARE(detailsOf(session, 0), record);
        return;
    }
    QVERIFY(chooseAndPressOk(session, window, option));
    if (option == u"alt+r") {
        QCOMPARE(session.waitForPennarocEnd(15000), 0);
        QCOMPARE(detailsOf(session, 0), QStringLiteral("Price [[ to confirm with the client  end"));
        return;
    }
    const QString question = session.waitForNewWindow(QStringLiteral("^Pennaroc$"), {window});
    QVERIFY2(!question.isEmpty(), "the replace question did not appear");
    QVERIFY(session.keys(question, {QStringLiteral("alt+y")}));
    QVERIFY2(session.answerOpenDialog(fresh), "the Open File dialog did not appear");
    QCOMPARE(session.waitForPennarocEnd(15000), 0);
    QCOMPARE(detailsOf(session, 0), QStringLiteral("Price [[ to confirm with the client  end [[") + fresh
                                        + QStringLiteral("]]"));
}

// A file whose path the marker cannot hold is refused with a message, and
// nothing is written; the window stays for another choice.
void TestE2eActions::pathsTheMarkerCannotHold_data()
{
    QTest::addColumn<QString>("folder"); // under the scratch folder
    QTest::addColumn<QString>("name");
    QTest::newRow("]] in the name") << "docs" << "report]]final.txt";
    QTest::newRow("[[ in the name") << "docs" << "[[draft.txt";
    QTest::newRow("[[ in a folder's name") << "old [[2025" << "quote.txt";
    QTest::newRow("a name ending in ]") << "docs" << "scan[2]";
}

void TestE2eActions::pathsTheMarkerCannotHold()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    const QString path = e2e::DesktopSession::makeFile(session.scratch() + QLatin1Char('/') + folder, name);
    QVERIFY(!path.isEmpty());
    const QString good = e2e::DesktopSession::makeFile(session.scratch() + QStringLiteral("/docs"), QStringLiteral("fine.txt"));
    QVERIFY(session.createDatabase({QStringLiteral("Call back in May")}));
    QVERIFY(session.startStandin({QStringLiteral("--current"), QStringLiteral("0")}));
    session.startPennaroc();
    const QString window = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!window.isEmpty(), qPrintable(session.visibleTitles()));

    QVERIFY(session.keys(window, {QStringLiteral("Return")}));
    QVERIFY2(session.answerOpenDialog(path), "the Open File dialog did not appear");
    const QString refusal = session.waitForNewWindow(QStringLiteral("^Pennaroc$"), {window});
    QVERIFY2(!refusal.isEmpty(), qPrintable(session.screenshot(QStringLiteral("no-refusal")) + session.visibleTitles()));
    QCOMPARE(detailsOf(session, 0), QStringLiteral("Call back in May"));
    QVERIFY(session.keys(refusal, {QStringLiteral("Return")}));
    QTRY_COMPARE_WITH_TIMEOUT(session.windows(QStringLiteral("^Pennaroc$")).size(), 1, 5000);
    QCOMPARE(session.waitForPennarocEnd(300), -1);
    QCOMPARE(detailsOf(session, 0), QStringLiteral("Call back in May"));

    // Another file can be attached at once.
    QVERIFY(session.keys(window, {QStringLiteral("Return")}));
    QVERIFY2(session.answerOpenDialog(good), "the Open File dialog did not appear again");
    QCOMPARE(session.waitForPennarocEnd(15000), 0);
    QCOMPARE(detailsOf(session, 0), QStringLiteral("Call back in May [[") + good + QStringLiteral("]]"));
}

// A file that another writer attached while the window was open is not
// replaced without the question.
void TestE2eActions::anotherWriterAttached_data()
{
    QTest::addColumn<bool>("duringDialog"); // attached while the Open File dialog is open, else before OK
    QTest::addColumn<bool>("yes");
    QTest::newRow("before OK, No") << false << false;
    QTest::newRow("during the dialog, No") << true << false;
    QTest::newRow("during the dialog, Yes") << true << true;
}

void TestE2eActions::anotherWriterAttached()
{
    QFETCH(bool, duringDialog);
    QFETCH(bool, yes);
    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    const QString mine = e2e::DesktopSession::makeFile(session.scratch() + QStringLiteral("/docs"), QStringLiteral("mine.txt"));
    const QString theirs = QStringLiteral("Call back [[/shared/theirs.txt]]");
    QVERIFY(session.createDatabase({QStringLiteral("Call back")}));
    QVERIFY(session.startStandin({QStringLiteral("--current"), QStringLiteral("0")}));
    session.startPennaroc();
    const QString window = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!window.isEmpty(), qPrintable(session.visibleTitles()));
    // Started on a record without a file: Attach is selected.

    if (!duringDialog)
        QVERIFY(otherWriterSets(0, theirs));
    QVERIFY(session.keys(window, {QStringLiteral("Return")}));
    QString question;
    if (!duringDialog) {
        question = session.waitForNewWindow(QStringLiteral("^Pennaroc$"), {window});
        QVERIFY2(!question.isEmpty(), "the replace question did not appear before the dialog");
    } else {
        const QString dialog = session.waitForWindow(QStringLiteral("^Open$"));
        QVERIFY2(!dialog.isEmpty(), "the Open File dialog did not appear");
        QVERIFY(otherWriterSets(0, theirs));
        QVERIFY(session.answerOpenDialog(mine));
        question = session.waitForNewWindow(QStringLiteral("^Pennaroc$"), {window});
        QVERIFY2(!question.isEmpty(), "the replace question did not appear before the write");
    }
    QCOMPARE(detailsOf(session, 0), theirs);
    if (yes) {
        QVERIFY(session.keys(question, {QStringLiteral("alt+y")}));
        QCOMPARE(session.waitForPennarocEnd(15000), 0);
        QCOMPARE(detailsOf(session, 0), QStringLiteral("Call back [[") + mine + QStringLiteral("]]"));
        return;
    }
    // No is the default: Return keeps their file and the window.
    QVERIFY(session.keys(question, {QStringLiteral("Return")}));
    QTRY_COMPARE_WITH_TIMEOUT(session.windows(QStringLiteral("^Pennaroc$")).size(), 1, 5000);
    QVERIFY(session.windows(QStringLiteral("^Open$")).isEmpty());
    QCOMPARE(session.waitForPennarocEnd(300), -1);
    QCOMPARE(detailsOf(session, 0), theirs);
    QVERIFY(session.keys(window, {QStringLiteral("Escape")}));
    QCOMPARE(session.waitForPennarocEnd(15000), 0);
    QCOMPARE(detailsOf(session, 0), theirs);
}

// The location dialog stores what was typed, a file's path included: the
// Open File dialog then starts in the folder that holds that file, where a
// bare file name is found.
void TestE2eActions::defaultFolderNamingAFile()
{
    e2e::DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    const QString folder = session.scratch() + QStringLiteral("/Quotes");
    const QString stored = e2e::DesktopSession::makeFile(folder, QStringLiteral("index.txt"));
    const QString wanted = e2e::DesktopSession::makeFile(folder, QStringLiteral("Quote 7.txt"));
    {
        QSettings settings(session.environment().value(QStringLiteral("XDG_CONFIG_HOME"))
                               + QStringLiteral("/Pennaroc/Pennaroc.conf"),
                           QSettings::IniFormat);
        settings.setValue(QStringLiteral("Settings/DefaultFolder"), stored);
        settings.sync();
        QCOMPARE(settings.status(), QSettings::NoError);
    }
    QVERIFY(session.createDatabase({QStringLiteral("Call back")}));
    QVERIFY(session.startStandin({QStringLiteral("--current"), QStringLiteral("0")}));
    session.startPennaroc();
    const QString window = session.waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!window.isEmpty(), qPrintable(session.visibleTitles()));
    QVERIFY(session.keys(window, {QStringLiteral("Return")}));
    QVERIFY2(session.answerOpenDialog(QStringLiteral("Quote 7.txt")), "the Open File dialog did not appear");
    QCOMPARE(session.waitForPennarocEnd(15000), 0);
    QCOMPARE(detailsOf(session, 0), QStringLiteral("Call back [[") + wanted + QStringLiteral("]]"));
}

QTEST_GUILESS_MAIN(TestE2eActions)
#include "tst_e2e_actions.moc"
