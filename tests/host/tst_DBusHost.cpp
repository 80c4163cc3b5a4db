// The D-Bus client against the real stand-in ACT!, started by each test on
// the session bus.

#include "host/dbus/BusProtocol.h"
#include "host/dbus/BusTexts.h"
#include "host/dbus/DBusHost.h"
#include "tests/host/StandinProcess.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using host::EventArgument;
using host::Failure;
using host::dbus::DBusHostFactory;
using testsupport::runStandin;
using testsupport::ServingStandin;
namespace protocol = host::dbus::protocol;

namespace {

// The interfaces' texts, compared and shown as QStrings.
QString q(const std::u16string &text)
{
    return host::dbus::toQString(text);
}
std::u16string u(const QString &text)
{
    return host::dbus::toU16(text);
}

// Runs body and returns the number of the failure it raised, 0 for none.
template <class F>
int failureOf(F body, QString *description = nullptr)
{
    try {
        body();
    } catch (const Failure &f) {
        if (description)
            *description = q(f.description());
        return f.number();
    }
    return 0;
}

// What a handler received, one argument after another: "int32 1",
// "double 2.5", "bool true", "text abc" or "empty", joined by " | ".
QString describe(const std::vector<EventArgument> &args)
{
    QStringList parts;
    for (const EventArgument &arg : args) {
        if (const auto *n = std::get_if<std::int32_t>(&arg))
            parts << QStringLiteral("int32 %1").arg(*n);
        else if (const auto *d = std::get_if<double>(&arg))
            parts << QStringLiteral("double %1").arg(QString::number(*d, 'g', 17));
        else if (const auto *b = std::get_if<bool>(&arg))
            parts << (*b ? QStringLiteral("bool true") : QStringLiteral("bool false"));
        else if (const auto *t = std::get_if<std::u16string>(&arg))
            parts << QStringLiteral("text ") + q(*t);
        else
            parts << QStringLiteral("empty");
    }
    return parts.join(QLatin1String(" | "));
}

struct Event {
    qint16 id;
    std::vector<EventArgument> args;
};

} // namespace

// A host that answers with values of the wrong width or type, as a foreign
// automation server might. It lives on its own connection and thread, since
// the client blocks the test's thread while it waits.
class WrongFactory : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.pennaroc.ActStandin.Factory")
public Q_SLOTS:
    QDBusObjectPath CreateObject(const QString &) { return QDBusObjectPath(QStringLiteral("/AuxCommands")); }
};

class WrongAuxCommands : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.pennaroc.ActStandin.AuxCommands")
public Q_SLOTS:
    // 32 bits where 16 are expected; the name carries the answer.
    qint32 AuxCommandExists(const QString &name) { return name.toInt(); }
    // A text where a number is expected.
    QString AuxCommandExistsInToolbar(qint16, const QString &name) { return name; }
    // 64 bits, unsigned, where 16 are expected.
    quint64 AuxCommandExistsInToolsMenu(qint16, const QString &name) { return name.toULongLong(); }
    // 64 bits where 32 are expected.
    qint64 AddAuxCommandToToolbar(qint16, const QString &name) { return name.toLongLong(); }
    // No answer at all where a number is expected.
    void AddAuxCommandToToolsMenu(qint16, const QString &) {}
};

class TestDBusHost : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void noStandinOnTheBus_data();
    void noStandinOnTheBus();
    void linkTest_data();
    void linkTest();
    void startupChain();
    void hostErrors_data();
    void hostErrors();
    void setField_data();
    void setField();
    void unicodeRoundTrip_data();
    void unicodeRoundTrip();
    void textsThatCannotCross_data();
    void textsThatCannotCross();
    void auxCommandsRegistrationAndPlacement();
    void auxCommandRefusals_data();
    void auxCommandRefusals();
    void selectRaisesEvent22();
    void closeRaisesEvent10();
    void command150ClosesAndAnswersFirst();
    void sigtermClosesCleanly();
    void eventsFollowARestartedStandin();
    void eventArguments_data();
    void eventArguments();
    void handlerMayReleaseTheHost();
    void killedStandinFailsNextCall();
    void hungStandinFailsWithinTimeout();
    void answeredWriteSurvivesKill9();
    void callsStayWithTheFirstHost_data();
    void callsStayWithTheFirstHost();
    void notificationsOnlyFromTheFirstHost();
    void secondStandinIsRefused_data();
    void secondStandinIsRefused();
    void unansweredWriteIsReportedAsUnknown();
    void hostLeavesWithTheCallUnanswered_data();
    void hostLeavesWithTheCallUnanswered();
    void resultConversion_data();
    void resultConversion();
    void wrongAnswers_data();
    void wrongAnswers();
    void tooLargeTextsAreRefusedAtOnce();
    void descriptorsTheStandinRefuses_data();
    void descriptorsTheStandinRefuses();

private:
    QString db() const { return dir_->filePath(QStringLiteral("act.db")); }
    QString otherDb() const { return dir_->filePath(QStringLiteral("other.db")); }
    // A database with two records: row 0 "first", row 1 "second".
    void makeDatabase();
    // A second database, "other first" and "other second", with the
    // command Pennaroc registered and placed on view 1's toolbar and menu.
    void makeOtherDatabase();
    // What the command line shows of a database: both records and the
    // commands.
    QByteArray contentsOf(const QString &path) const
    {
        QByteArray all;
        for (const char *row : {"0", "1"})
            all += runStandin({QStringLiteral("details"), path, QString::fromLatin1(row)}).out + '\n';
        return all + runStandin({QStringLiteral("commands"), path}).out;
    }
    QByteArray storedDetails(int row) const
    {
        return runStandin({QStringLiteral("details"), db(), QString::number(row)}).out;
    }
    std::shared_ptr<host::SalesList> salesList(DBusHostFactory &host)
    {
        auto app = host.createAppObject();
        app->OpenFile({});
        return app->Views()->Create(1, u"CV")->Sales();
    }
    void recordEvents(DBusHostFactory &host)
    {
        host.eventControl().setHandler(
            [this](std::int16_t id, const std::vector<EventArgument> &args) { events_.append({id, args}); });
    }

    std::unique_ptr<QTemporaryDir> dir_;
    QList<Event> events_;
};

void TestDBusHost::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    events_.clear();
    QVERIFY2(testsupport::waitForStandinOnBus(false), "a stand-in from an earlier test is still on the bus");
}

void TestDBusHost::cleanup()
{
    QVERIFY(testsupport::waitForStandinOnBus(false));
}

void TestDBusHost::makeDatabase()
{
    QCOMPARE(runStandin({QStringLiteral("create"), db()}).exitCode, 0);
    QCOMPARE(runStandin({QStringLiteral("add"), db(), QStringLiteral("first")}).out, QByteArray("0\n"));
    QCOMPARE(runStandin({QStringLiteral("add"), db(), QStringLiteral("second")}).out, QByteArray("1\n"));
}

void TestDBusHost::makeOtherDatabase()
{
    QCOMPARE(runStandin({QStringLiteral("create"), otherDb()}).exitCode, 0);
    QCOMPARE(runStandin({QStringLiteral("add"), otherDb(), QStringLiteral("other first")}).out, QByteArray("0\n"));
    QCOMPARE(runStandin({QStringLiteral("add"), otherDb(), QStringLiteral("other second")}).out, QByteArray("1\n"));
    ServingStandin standin;
    QVERIFY(standin.start({otherDb()}));
    DBusHostFactory host;
    auto aux = host.createAuxCommands();
    QCOMPARE(aux->AddAuxCommand(u"Pennaroc", {}, {}, {}, {}, {}, {}, 1), 0);
    QCOMPARE(aux->AddAuxCommandToToolbar(1, u"Pennaroc"), 0);
    QCOMPARE(aux->AddAuxCommandToToolsMenu(1, u"Pennaroc"), 0);
}

namespace {

// The objects the program holds, made while a host answered.
struct HostObjects {
    DBusHostFactory *host = nullptr;
    std::shared_ptr<host::ActApp> app;
    std::shared_ptr<host::SalesList> sales;
    std::shared_ptr<host::AuxCommands> aux;
};

// Runs one host operation by its member name on objects made before.
void runOperation(const QString &operation, HostObjects &o)
{
    const std::u16string name = u"Pennaroc";
    qint32 row = 0;
    std::u16string text = u"changed";
    if (operation == u"GetCurrentRow")
        o.sales->GetCurrentRow();
    else if (operation == u"GetField")
        o.sales->GetField(host::DetailsField, row);
    else if (operation == u"SetField")
        o.sales->SetField(host::DetailsField, row, text);
    else if (operation == u"Views")
        o.app->Views();
    else if (operation == u"GetOpenDBName")
        o.app->GetOpenDBName();
    else if (operation == u"OpenFile")
        o.app->OpenFile({});
    else if (operation == u"Command")
        o.app->Command(host::CloseCommand);
    else if (operation == u"AuxCommandExists")
        o.aux->AuxCommandExists(name);
    else if (operation == u"AuxCommandExistsInToolbar")
        o.aux->AuxCommandExistsInToolbar(1, name);
    else if (operation == u"AddAuxCommand")
        o.aux->AddAuxCommand(name, u"changed", {}, {}, {}, {}, {}, 1);
    else if (operation == u"AddAuxCommandToToolbar")
        o.aux->AddAuxCommandToToolbar(2, name);
    else if (operation == u"RemoveAuxCommandFromToolbar")
        o.aux->RemoveAuxCommandFromToolbar(1, name);
    else if (operation == u"AddAuxCommandToToolsMenu")
        o.aux->AddAuxCommandToToolsMenu(2, name);
    else if (operation == u"RemoveAuxCommandFromToolsMenu")
        o.aux->RemoveAuxCommandFromToolsMenu(1, name);
    else if (operation == u"Id1")
        o.host->eventControl().Id1(0);
    else if (operation == u"Id2")
        o.host->eventControl().Id2();
    else if (operation == u"Id3")
        o.host->eventControl().Id3();
    else if (operation == u"createAppObject")
        o.host->createAppObject();
    else if (operation == u"createAuxCommands")
        o.host->createAuxCommands();
    else
        QTest::qFail("unknown operation", __FILE__, __LINE__);
}

const QString unavailable = QStringLiteral("The remote server machine does not exist or is unavailable (");
const QString notCreated = QStringLiteral("ActiveX component can't create object (");

} // namespace

void TestDBusHost::noStandinOnTheBus_data()
{
    QTest::addColumn<bool>("busReachable");
    QTest::newRow("bus without a stand-in") << true;
    QTest::newRow("no bus at all") << false;
}

void TestDBusHost::noStandinOnTheBus()
{
    QFETCH(bool, busReachable);
    DBusHostFactory host(busReachable ? QDBusConnection::sessionBus()
                                      : QDBusConnection(QStringLiteral("never-connected")));
    QString description;
    QCOMPARE(failureOf([&] { host.createAppObject(); }, &description), 429);
    QCOMPARE(description, notCreated + QLatin1String("ACT! is not running)"));
    QCOMPARE(failureOf([&] { host.createAuxCommands(); }, &description), 429);
    QCOMPARE(description, notCreated + QLatin1String("ACT! is not running)"));

    // The link test answers rather than fails.
    QCOMPARE(host.eventControl().Id1(0), 0);
    QCOMPARE(host.eventControl().Id3(), false);
    // Acknowledging to nobody is a failure.
    QCOMPARE(failureOf([&] { host.eventControl().Id2(); }), 462);
}

void TestDBusHost::linkTest_data()
{
    QTest::addColumn<bool>("withDatabase");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("id1");
    QTest::addColumn<bool>("id3");
    QTest::newRow("database open") << true << QStringList{} << 1 << false;
    QTest::newRow("no database") << false << QStringList{} << 0 << false;
    QTest::newRow("link refused") << true << QStringList{QStringLiteral("--refuse-link")} << 0 << true;
    QTest::newRow("link refused, no database") << false << QStringList{QStringLiteral("--refuse-link")} << 0 << true;
}

void TestDBusHost::linkTest()
{
    QFETCH(bool, withDatabase);
    QFETCH(QStringList, options);
    QFETCH(int, id1);
    QFETCH(bool, id3);
    makeDatabase();
    ServingStandin standin;
    QVERIFY(standin.start((withDatabase ? QStringList{db()} : QStringList{}) + options));
    DBusHostFactory host;
    QCOMPARE(host.eventControl().Id1(0), id1);
    QCOMPARE(host.eventControl().Id3(), id3);
    host.eventControl().Id2();
}

void TestDBusHost::startupChain()
{
    makeDatabase();
    ServingStandin standin;
    QVERIFY(standin.start({db(), QStringLiteral("--current"), QStringLiteral("1")}));
    DBusHostFactory host;
    auto app = host.createAppObject();
    app->OpenFile({});
    QCOMPARE(q(app->GetOpenDBName()), QFileInfo(db()).absoluteFilePath());
    auto sales = app->Views()->Create(1, u"CV")->Sales();
    qint32 row = sales->GetCurrentRow();
    QCOMPARE(row, 1);
    QCOMPARE(q(sales->GetField(host::DetailsField, row)), QStringLiteral("second"));
    QCOMPARE(row, 1);
    qint32 other = 0;
    QCOMPARE(q(sales->GetField(host::DetailsField, other)), QStringLiteral("first"));
    // Every view serves the same list.
    auto emailSales = app->Views()->Create(6, u"EM")->Sales();
    QCOMPARE(q(emailSales->GetField(host::DetailsField, row)), QStringLiteral("second"));
}

void TestDBusHost::hostErrors_data()
{
    QTest::addColumn<bool>("withDatabase");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("member");

    QTest::newRow("GetField, no such row") << true << "GetField 36 9" << "GetField";
    QTest::newRow("GetField, row -1") << true << "GetField 36 -1" << "GetField";
    QTest::newRow("GetField, other field") << true << "GetField 35 0" << "GetField";
    QTest::newRow("Create, view 0") << true << "Create 0" << "Create";
    QTest::newRow("Create, view 7") << true << "Create 7" << "Create";
    QTest::newRow("Command other than 150") << true << "Command 151" << "Command";
    QTest::newRow("OpenFile, not a database") << true << "OpenFile /nonexistent/a.db" << "OpenFile";
    QTest::newRow("OpenFile, none open") << false << "OpenFile" << "OpenFile";
    QTest::newRow("GetCurrentRow, none open") << false << "GetCurrentRow" << "GetCurrentRow";
    QTest::newRow("GetField, none open") << false << "GetField 36 0" << "GetField";
    QTest::newRow("AuxCommandExists, none open") << false << "AuxCommandExists" << "AuxCommandExists";
}

void TestDBusHost::hostErrors()
{
    QFETCH(bool, withDatabase);
    QFETCH(QString, operation);
    QFETCH(QString, member);
    makeDatabase();
    ServingStandin standin;
    QVERIFY(standin.start(withDatabase ? QStringList{db()} : QStringList{}));
    DBusHostFactory host;
    auto app = host.createAppObject();
    const QStringList op = operation.split(QLatin1Char(' '));
    QString description;
    const int number = failureOf(
        [&] {
            if (op[0] == QLatin1String("GetField")) {
                auto sales = app->Views()->Create(1, u"CV")->Sales();
                qint32 row = op[2].toInt();
                sales->GetField(qint16(op[1].toInt()), row);
            } else if (op[0] == QLatin1String("Create")) {
                app->Views()->Create(qint16(op[1].toInt()), u"CV");
            } else if (op[0] == QLatin1String("Command")) {
                app->Command(qint16(op[1].toInt()));
            } else if (op[0] == QLatin1String("OpenFile")) {
                app->OpenFile(u(op.value(1)));
            } else if (op[0] == QLatin1String("GetCurrentRow")) {
                app->Views()->Create(1, u"CV")->Sales()->GetCurrentRow();
            } else if (op[0] == QLatin1String("AuxCommandExists")) {
                host.createAuxCommands()->AuxCommandExists(u"Pennaroc");
            } else {
                QFAIL("unknown operation");
            }
        },
        &description);
    QCOMPARE(number, 440);
    QVERIFY2(description.startsWith(QLatin1String("Automation error (") + member + QLatin1String(": ")),
             qPrintable(description));
    // The stand-in is still there and still serves.
    QCOMPARE(host.eventControl().Id1(0), withDatabase ? 1 : 0);
}

void TestDBusHost::setField_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("result");

    const QString smiles = QString::fromUtf8("\xF0\x9F\x98\x80\xF0\x9F\x98\x80");
    QTest::newRow("written") << QStringList{} << 36 << 0 << "Call back [[/tmp/a.pdf]]" << 0;
    QTest::newRow("second row written") << QStringList{} << 36 << 1 << "other" << 0;
    QTest::newRow("empty text written") << QStringList{} << 36 << 0 << "" << 0;
    QTest::newRow("read-only") << QStringList{QStringLiteral("--read-only")} << 36 << 0 << "x" << 1;
    QTest::newRow("at the length limit")
        << QStringList{QStringLiteral("--max-details"), QStringLiteral("5")} << 36 << 0 << "abcde" << 0;
    QTest::newRow("over the length limit")
        << QStringList{QStringLiteral("--max-details"), QStringLiteral("5")} << 36 << 0 << "abcdef" << 2;
    QTest::newRow("limit counts characters, not halves")
        << QStringList{QStringLiteral("--max-details"), QStringLiteral("2")} << 36 << 0 << smiles << 0;
    QTest::newRow("limit zero refuses one character")
        << QStringList{QStringLiteral("--max-details"), QStringLiteral("0")} << 36 << 0 << "a" << 2;
    QTest::newRow("no such row") << QStringList{} << 36 << 2 << "x" << 3;
    QTest::newRow("row -1") << QStringList{} << 36 << -1 << "x" << 3;
    QTest::newRow("other field") << QStringList{} << 35 << 0 << "x" << 4;
}

void TestDBusHost::setField()
{
    QFETCH(QStringList, options);
    QFETCH(int, field);
    QFETCH(int, row);
    QFETCH(QString, text);
    QFETCH(int, result);
    makeDatabase();
    {
        ServingStandin standin;
        QVERIFY(standin.start(QStringList{db()} + options));
        DBusHostFactory host;
        auto sales = salesList(host);
        qint32 r = row;
        std::u16string t = u(text);
        QCOMPARE(sales->SetField(qint16(field), r, t), result);
        // The by-reference arguments come back as they went.
        QCOMPARE(r, row);
        QCOMPARE(q(t), text);
        if (result == 0) {
            QCOMPARE(q(sales->GetField(host::DetailsField, r)), text);
        }
    }
    const QByteArray before[2] = {"first", "second"};
    for (int i = 0; i < 2; ++i)
        QCOMPARE(storedDetails(i), result == 0 && i == row ? text.toUtf8() : before[i]);
}

void TestDBusHost::unicodeRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("CR LF tab") << QStringLiteral("one\r\ntwo\rthree\nfour\tfive");
    QTest::newRow("beyond the BMP") << QString::fromUtf8("\xF0\x9F\x98\x80 \xF0\x9D\x84\x9E \xF4\x8F\xBF\xBF");
    QTest::newRow("BOM after the first character") << QStringLiteral("a") + QChar(0xFEFF) + QStringLiteral("b");
    QTest::newRow("non-characters") << QString(QChar(0xFFFE)) + QChar(0xFFFF);
    QTest::newRow("accents and symbols") << QString::fromUtf8("R\xC3\xA9sum\xC3\xA9 \xE2\x82\xAC \xE2\x80\x94 \xC3\x9F");
    QTest::newRow("markers and quotes") << QStringLiteral("a \"b\" 'c' [[C:\\Docs\\x y.doc]] \\\\server");
    QTest::newRow("leading and trailing blanks") << QStringLiteral("  padded \t ");
    QTest::newRow("control characters") << QStringLiteral("\x01\x1b[0m\x7f");
    QTest::newRow("large") << QString(200000, QLatin1Char('z')) + QString::fromUtf8("\xF0\x9F\x98\x80");
    // Longer than the inline limit, these cross as descriptors of files.
    const qsizetype limit = protocol::InlineTextBytes;
    QTest::newRow("the longest inline text") << QString(limit, QLatin1Char('a'));
    QTest::newRow("one byte more") << QString(limit + 1, QLatin1Char('b'));
    // A character of four bytes that straddles the limit.
    QTest::newRow("a character across the limit")
        << QString(limit - 2, QLatin1Char('c')) + QString::fromUtf8("\xF0\x9F\x98\x80") + QStringLiteral("end");
    QString mixed;
    while (mixed.size() < 3 * 1024 * 1024)
        mixed += QString::fromUtf8("Call back \xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80\r\n\t[[x]] ");
    QTest::newRow("3 MiB of mixed scripts") << mixed;
}

void TestDBusHost::unicodeRoundTrip()
{
    QFETCH(QString, text);
    makeDatabase();
    {
        ServingStandin standin;
        QVERIFY(standin.start({db()}));
        DBusHostFactory host;
        auto sales = salesList(host);
        qint32 row = 1;
        std::u16string sent = u(text);
        QCOMPARE(sales->SetField(host::DetailsField, row, sent), 0);
        QCOMPARE(row, 1);
        QVERIFY(q(sent) == text);
        const QString back = q(sales->GetField(host::DetailsField, row));
        QCOMPARE(back.size(), text.size());
        QCOMPARE(back, text);
    }
    QCOMPARE(storedDetails(1), text.toUtf8());
    // And what the command line stores, the client reads.
    QCOMPARE(runStandin({QStringLiteral("add"), db(), QStringLiteral("-")}, text.toUtf8()).out, QByteArray("2\n"));
    ServingStandin standin;
    QVERIFY(standin.start({db()}));
    DBusHostFactory host;
    qint32 row = 2;
    QCOMPARE(q(salesList(host)->GetField(host::DetailsField, row)), text);
}

void TestDBusHost::textsThatCannotCross_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("why");
    QTest::newRow("NUL") << QStringLiteral("before") + QChar(0) + QStringLiteral("after") << "NUL character";
    QTest::newRow("NUL alone") << QString(QChar(0)) << "NUL character";
    QTest::newRow("lone high surrogate") << QStringLiteral("a") + QChar(0xD83D) << "unpaired surrogate";
    QTest::newRow("lone low surrogate") << QString(QChar(0xDE00)) + QStringLiteral("b") << "unpaired surrogate";
    QTest::newRow("pair reversed") << QString(QChar(0xDE00)) + QChar(0xD83D) << "unpaired surrogate";
    // Qt's bus reader would take it for a byte order mark and drop it.
    QTest::newRow("BOM first") << QString(QChar(0xFEFF)) + QStringLiteral("after a BOM") << "byte order mark";
}

void TestDBusHost::textsThatCannotCross()
{
    QFETCH(QString, text);
    QFETCH(QString, why);
    makeDatabase();
    ServingStandin standin;
    QVERIFY(standin.start({db()}));
    DBusHostFactory host;
    auto sales = salesList(host);
    qint32 row = 0;
    std::u16string t = u(text);
    QString description;
    QCOMPARE(failureOf([&] { sales->SetField(host::DetailsField, row, t); }, &description), 5);
    QVERIFY2(description.contains(QLatin1String("SetField")) && description.contains(why), qPrintable(description));
    QCOMPARE(q(t), text);
    QCOMPARE(q(sales->GetField(host::DetailsField, row)), QStringLiteral("first"));

    auto aux = host.createAuxCommands();
    QCOMPARE(failureOf([&] { aux->AuxCommandExists(u(text)); }), 5);
    QCOMPARE(failureOf([&] { aux->AddAuxCommand(u"P", u(text), {}, {}, {}, {}, {}, 1); }), 5);
    QCOMPARE(aux->AuxCommandExists(u"P"), qint16(0));
}

void TestDBusHost::auxCommandsRegistrationAndPlacement()
{
    makeDatabase();
    {
        ServingStandin standin;
        QVERIFY(standin.start({db()}));
        DBusHostFactory host;
        auto aux = host.createAuxCommands();
        const std::u16string name = u"Pennaroc";
        QCOMPARE(aux->AuxCommandExists(name), qint16(0));
        QCOMPARE(aux->AuxCommandExistsInToolbar(1, name), qint16(0));
        QCOMPARE(aux->AddAuxCommandToToolbar(1, name), protocol::ResultNotRegistered);
        QCOMPARE(aux->AddAuxCommand(name, u"/opt/p\\Pennaroc.EXE", u"/opt/p", name, u"Click to launch Pennaroc",
                                    u"/opt/p\\Pennaroc.ico", u"/opt/p\\Pennaroc32.ico", 1),
                 0);
        QCOMPARE(aux->AuxCommandExists(name), qint16(1));
        QCOMPARE(aux->AuxCommandExists(u"pennaroc"), qint16(0));

        QCOMPARE(aux->AddAuxCommandToToolbar(1, name), 0);
        QCOMPARE(aux->AddAuxCommandToToolbar(1, name), 0); // twice is still once
        QCOMPARE(aux->AddAuxCommandToToolsMenu(1, name), 0);
        QCOMPARE(aux->AddAuxCommandToToolsMenu(6, name), 0);
        QCOMPARE(aux->AuxCommandExistsInToolbar(1, name), qint16(1));
        QCOMPARE(aux->AuxCommandExistsInToolsMenu(1, name), qint16(1));
        QCOMPARE(aux->AuxCommandExistsInToolbar(6, name), qint16(0));
        QCOMPARE(aux->AuxCommandExistsInToolsMenu(6, name), qint16(1));
        QCOMPARE(aux->AuxCommandExistsInToolbar(2, name), qint16(0));

        QCOMPARE(aux->RemoveAuxCommandFromToolbar(1, name), 0);
        QCOMPARE(aux->RemoveAuxCommandFromToolbar(1, name), 0); // not there: done all the same
        QCOMPARE(aux->AuxCommandExistsInToolbar(1, name), qint16(0));
        QCOMPARE(aux->AuxCommandExistsInToolsMenu(1, name), qint16(1));

        // Registering again replaces the values and keeps the order.
        QCOMPARE(aux->AddAuxCommand(u"Other", u"o", u"f", u"c", u"t", u"i", u"l", 0), 0);
        QCOMPARE(aux->AddAuxCommandToToolbar(2, u"Other"), 0);
        QCOMPARE(aux->AddAuxCommand(name, u"/opt/q\\Pennaroc.EXE", u"/opt/q", name, u"Cliquez pour lancer Pennaroc",
                                    u"/opt/q\\Pennaroc.ico", u"/opt/q\\Pennaroc32.ico", 1),
                 0);
    }
    const auto listed = runStandin({QStringLiteral("commands"), db()});
    QCOMPARE(listed.exitCode, 0);
    QCOMPARE(QString::fromUtf8(listed.out),
             QStringLiteral("Pennaroc\t/opt/q\\Pennaroc.EXE\t/opt/q\tPennaroc\tCliquez pour lancer Pennaroc\t"
                            "/opt/q\\Pennaroc.ico\t/opt/q\\Pennaroc32.ico\t1\n"
                            "Other\to\tf\tc\tt\ti\tl\t0\n"
                            "menu\t1\tPennaroc\n"
                            "toolbar\t2\tOther\n"
                            "menu\t6\tPennaroc\n"));
}

void TestDBusHost::auxCommandRefusals_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("member");
    QTest::addColumn<int>("view");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("result");

    const QStringList ro{QStringLiteral("--read-only")};
    QTest::newRow("toolbar view 0") << QStringList{} << "AddAuxCommandToToolbar" << 0 << "Pennaroc" << 5;
    QTest::newRow("toolbar view 7") << QStringList{} << "AddAuxCommandToToolbar" << 7 << "Pennaroc" << 5;
    QTest::newRow("menu view -1") << QStringList{} << "AddAuxCommandToToolsMenu" << -1 << "Pennaroc" << 5;
    QTest::newRow("remove view 32767") << QStringList{} << "RemoveAuxCommandFromToolsMenu" << 32767 << "Pennaroc" << 5;
    QTest::newRow("place unregistered") << QStringList{} << "AddAuxCommandToToolsMenu" << 3 << "Unknown" << 6;
    QTest::newRow("remove unregistered is done") << QStringList{} << "RemoveAuxCommandFromToolbar" << 3 << "Unknown" << 0;
    QTest::newRow("place empty name") << QStringList{} << "AddAuxCommandToToolbar" << 3 << "" << 7;
    QTest::newRow("register empty name") << QStringList{} << "AddAuxCommand" << 0 << "" << 7;
    QTest::newRow("read-only register") << ro << "AddAuxCommand" << 0 << "Pennaroc" << 1;
    QTest::newRow("read-only toolbar add") << ro << "AddAuxCommandToToolbar" << 1 << "Pennaroc" << 1;
    QTest::newRow("read-only toolbar remove") << ro << "RemoveAuxCommandFromToolbar" << 1 << "Pennaroc" << 1;
    QTest::newRow("read-only menu add") << ro << "AddAuxCommandToToolsMenu" << 1 << "Pennaroc" << 1;
    QTest::newRow("read-only menu remove") << ro << "RemoveAuxCommandFromToolsMenu" << 1 << "Pennaroc" << 1;
}

void TestDBusHost::auxCommandRefusals()
{
    QFETCH(QStringList, options);
    QFETCH(QString, member);
    QFETCH(int, view);
    QFETCH(QString, name);
    QFETCH(int, result);
    makeDatabase();
    {
        // Registered and on the toolbar of view 1 before the refusal.
        ServingStandin standin;
        QVERIFY(standin.start({db()}));
        DBusHostFactory host;
        auto aux = host.createAuxCommands();
        QCOMPARE(aux->AddAuxCommand(u"Pennaroc", {}, {}, {}, {}, {}, {}, 1), 0);
        QCOMPARE(aux->AddAuxCommandToToolbar(1, u"Pennaroc"), 0);
    }
    const QByteArray before = runStandin({QStringLiteral("commands"), db()}).out;
    {
        ServingStandin standin;
        QVERIFY(standin.start(QStringList{db()} + options));
        DBusHostFactory host;
        auto aux = host.createAuxCommands();
        const qint16 v = qint16(view);
        const std::u16string n = u(name);
        qint32 got = -100;
        if (member == QLatin1String("AddAuxCommand"))
            got = aux->AddAuxCommand(n, u"x", {}, {}, {}, {}, {}, 1);
        else if (member == QLatin1String("AddAuxCommandToToolbar"))
            got = aux->AddAuxCommandToToolbar(v, n);
        else if (member == QLatin1String("RemoveAuxCommandFromToolbar"))
            got = aux->RemoveAuxCommandFromToolbar(v, n);
        else if (member == QLatin1String("AddAuxCommandToToolsMenu"))
            got = aux->AddAuxCommandToToolsMenu(v, n);
        else if (member == QLatin1String("RemoveAuxCommandFromToolsMenu"))
            got = aux->RemoveAuxCommandFromToolsMenu(v, n);
        QCOMPARE(got, result);
        // Asking about a view outside 1..6 is simply "absent".
        QCOMPARE(aux->AuxCommandExistsInToolbar(v, n), qint16(v == 1 && name == QLatin1String("Pennaroc")));
    }
    QCOMPARE(runStandin({QStringLiteral("commands"), db()}).out, before);
}

void TestDBusHost::selectRaisesEvent22()
{
    makeDatabase();
    ServingStandin standin;
    QVERIFY(standin.start({db()}));
    DBusHostFactory host;
    recordEvents(host);
    auto sales = salesList(host);
    QCOMPARE(sales->GetCurrentRow(), -1);

    QCOMPARE(runStandin({QStringLiteral("select"), QStringLiteral("1")}).exitCode, 0);
    QTRY_COMPARE(events_.size(), 1);
    QCOMPARE(events_[0].id, qint16(22));
    QCOMPARE(describe(events_[0].args), QStringLiteral("int32 1"));
    QCOMPARE(sales->GetCurrentRow(), 1);

    QCOMPARE(runStandin({QStringLiteral("select"), QStringLiteral("-1")}).exitCode, 0);
    QTRY_COMPARE(events_.size(), 2);
    QCOMPARE(describe(events_[1].args), QStringLiteral("int32 -1"));
    QCOMPARE(sales->GetCurrentRow(), -1);

    // A row that does not exist is refused and raises nothing.
    const auto refused = runStandin({QStringLiteral("select"), QStringLiteral("5")});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY(refused.err.contains("row 5"));
    QTest::qWait(100);
    QCOMPARE(events_.size(), 2);
    host.eventControl().Id2();
}

void TestDBusHost::closeRaisesEvent10()
{
    makeDatabase();
    ServingStandin standin;
    QVERIFY(standin.start({db(), QStringLiteral("--current"), QStringLiteral("0")}));
    DBusHostFactory host;
    recordEvents(host);
    QCOMPARE(runStandin({QStringLiteral("close")}).exitCode, 0);
    QTRY_COMPARE(events_.size(), 1);
    QCOMPARE(events_[0].id, qint16(10));
    QVERIFY(events_[0].args.empty());
    QVERIFY(standin.waitForExit());
    QCOMPARE(standin.process().exitCode(), 0);
    // Served again, it carries on with the record that was current, as
    // after a restart of ACT!.
    ServingStandin again;
    QVERIFY(again.start({db()}));
    QCOMPARE(salesList(host)->GetCurrentRow(), 0);
}

void TestDBusHost::command150ClosesAndAnswersFirst()
{
    makeDatabase();
    ServingStandin standin;
    QVERIFY(standin.start({db()}));
    DBusHostFactory host;
    recordEvents(host);
    auto app = host.createAppObject();
    QCOMPARE(q(app->GetOpenDBName()), QFileInfo(db()).absoluteFilePath());
    QCOMPARE(failureOf([&] { app->Command(host::CloseCommand); }), 0);
    // The name is free once the answer came: the stand-in that the desktop
    // starts next, when a restart reopens the database, can take it at once.
    QVERIFY(!testsupport::standinOnBus());
    ServingStandin next;
    QVERIFY(next.start({db()}));
    QTRY_COMPARE(events_.size(), 1);
    QCOMPARE(events_[0].id, qint16(10));
    QVERIFY(standin.waitForExit());
    QCOMPARE(standin.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(standin.process().exitCode(), 0);
    // Calls stay with the stand-in that answered, which is gone.
    QCOMPARE(failureOf([&] { app->GetOpenDBName(); }), 462);
    QCOMPARE(failureOf([&] { host.eventControl().Id1(0); }), 462);
}

void TestDBusHost::sigtermClosesCleanly()
{
    makeDatabase();
    ServingStandin standin;
    QVERIFY(standin.start({db()}));
    DBusHostFactory host;
    recordEvents(host);
    standin.signal(SIGTERM);
    QTRY_COMPARE(events_.size(), 1);
    QCOMPARE(events_[0].id, qint16(10));
    QVERIFY(standin.waitForExit());
    QCOMPARE(standin.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(standin.process().exitCode(), 0);
}

void TestDBusHost::eventsFollowARestartedStandin()
{
    makeDatabase();
    DBusHostFactory host; // listening before any stand-in runs
    recordEvents(host);
    {
        ServingStandin first;
        QVERIFY(first.start({db()}));
        QCOMPARE(runStandin({QStringLiteral("select"), QStringLiteral("0")}).exitCode, 0);
        QTRY_COMPARE(events_.size(), 1);
    }
    QTRY_COMPARE(events_.size(), 2); // the first one closed its database on SIGTERM
    QCOMPARE(events_[1].id, qint16(10));
    ServingStandin second;
    QVERIFY(second.start({db()}));
    QCOMPARE(runStandin({QStringLiteral("select"), QStringLiteral("1")}).exitCode, 0);
    QTRY_COMPARE(events_.size(), 3);
    QCOMPARE(events_[2].id, qint16(22));
    QCOMPARE(describe(events_[2].args), QStringLiteral("int32 1"));
}

void TestDBusHost::eventArguments_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("heard");
    QTest::addColumn<QVariantList>("sent");
    QTest::addColumn<QString>("received"); // as describe() shows it

    const auto one = [](const QVariant &value) { return QVariantList{value}; };
    QTest::newRow("the row, 32 bits") << 22 << true << one(QVariant::fromValue<qint32>(7)) << "int32 7";
    QTest::newRow("16 bits") << 22 << true << one(QVariant::fromValue<qint16>(-3)) << "int32 -3";
    QTest::newRow("a byte") << 22 << true << one(QVariant::fromValue<uchar>(200)) << "int32 200";
    QTest::newRow("unsigned 32 bits beyond 31") << 22 << true << one(QVariant::fromValue<quint32>(3000000000U))
                                                << "double 3000000000";
    QTest::newRow("64 bits that fit 32") << 22 << true << one(QVariant::fromValue<qint64>(-2147483647 - 1))
                                         << "int32 -2147483648";
    QTest::newRow("64 bits that do not") << 22 << true << one(QVariant::fromValue<qint64>(-(1LL << 40)))
                                         << "double -1099511627776";
    QTest::newRow("unsigned 64 bits, the largest") << 22 << true << one(QVariant::fromValue<quint64>(~0ULL))
                                                   << "double 1.8446744073709552e+19";
    // A Boolean stays one, not the -1 a reply's number would make of it.
    QTest::newRow("Boolean true") << 22 << true << one(QVariant(true)) << "bool true";
    QTest::newRow("Boolean false") << 22 << true << one(QVariant(false)) << "bool false";
    QTest::newRow("double") << 22 << true << one(QVariant(2.5)) << "double 2.5";
    QTest::newRow("text beyond the BMP")
        << 22 << true << one(QString::fromUtf8("R\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80"))
        << QString::fromUtf8("text R\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80");
    QTest::newRow("empty text") << 22 << true << one(QString()) << "text ";
    QTest::newRow("object") << 22 << true << one(QVariant::fromValue(QDBusObjectPath(QStringLiteral("/Sales"))))
                            << "empty";
    QTest::newRow("bytes") << 22 << true << one(QByteArray("ab")) << "empty";
    QTest::newRow("list of texts") << 22 << true << one(QStringList{QStringLiteral("a")}) << "empty";
    QTest::newRow("several, in order")
        << 5 << true
        << QVariantList{QVariant::fromValue<qint32>(1), QStringLiteral("a"), QVariant(false), QVariant(0.25)}
        << "int32 1 | text a | bool false | double 0.25";
    QTest::newRow("none") << 10 << true << QVariantList{} << "";
    QTest::newRow("event 23 is none of the control's") << 23 << false << one(QVariant::fromValue<qint32>(1)) << "";
    QTest::newRow("event -1 is none of the control's") << -1 << false << QVariantList{} << "";
}

void TestDBusHost::eventArguments()
{
    QFETCH(int, id);
    QFETCH(bool, heard);
    QFETCH(QVariantList, sent);
    QFETCH(QString, received);

    // A host of the test's own that raises the event as the stand-in would.
    const QString connectionName = QStringLiteral("event-host");
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
    const auto release = qScopeGuard([&] {
        bus.unregisterService(protocol::Service);
        bus = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(connectionName);
    });
    QVERIFY(bus.registerService(protocol::Service));
    DBusHostFactory host;
    recordEvents(host);
    const auto raise = [&](int eventId, const QVariantList &args) {
        QDBusMessage signal = QDBusMessage::createSignal(protocol::EventControlPath, protocol::EventControlInterface,
                                                         QStringLiteral("Event"));
        signal.setArguments({QVariant::fromValue<qint16>(qint16(eventId)), QVariant::fromValue(args)});
        return bus.send(signal);
    };
    QVERIFY(raise(id, sent));
    // One more that is surely heard, and heard after it.
    QVERIFY(raise(0, {}));
    QTRY_COMPARE(events_.isEmpty() ? qint16(-1) : events_.constLast().id, qint16(0));
    if (!heard) {
        QCOMPARE(events_.size(), 1);
        return;
    }
    QCOMPARE(events_.size(), 2);
    QCOMPARE(events_[0].id, qint16(id));
    QCOMPARE(describe(events_[0].args), received);
}

void TestDBusHost::handlerMayReleaseTheHost()
{
    makeDatabase();
    ServingStandin standin;
    QVERIFY(standin.start({db()}));
    auto host = std::make_unique<DBusHostFactory>();
    QList<qint16> seen;
    host->eventControl().setHandler([&](std::int16_t id, const std::vector<EventArgument> &) {
        seen.append(id);
        host.reset(); // the program ends on this notification
        seen.append(-1);
    });
    QCOMPARE(runStandin({QStringLiteral("select"), QStringLiteral("0")}).exitCode, 0);
    QTRY_COMPARE(seen, (QList<qint16>{22, -1}));
    QVERIFY(!host);
    // Nothing listens any more; the next notification reaches no one.
    QCOMPARE(runStandin({QStringLiteral("select"), QStringLiteral("1")}).exitCode, 0);
    QTest::qWait(100);
    QCOMPARE(seen.size(), 2);
}

void TestDBusHost::killedStandinFailsNextCall()
{
    makeDatabase();
    ServingStandin standin;
    QVERIFY(standin.start({db()}));
    DBusHostFactory host;
    auto app = host.createAppObject();
    auto sales = salesList(host);
    auto aux = host.createAuxCommands();
    qint32 row = 0;
    QCOMPARE(q(sales->GetField(host::DetailsField, row)), QStringLiteral("first"));
    standin.kill9();

    QElapsedTimer clock;
    clock.start();
    QString description;
    QCOMPARE(failureOf([&] { sales->GetField(host::DetailsField, row); }, &description), 462);
    QCOMPARE(description, unavailable + QLatin1String("GetField: ACT! is no longer running)"));
    QCOMPARE(failureOf([&] { app->Views(); }), 462);
    QCOMPARE(failureOf([&] { aux->AuxCommandExists(u"x"); }), 462);
    QCOMPARE(failureOf([&] { host.eventControl().Id2(); }), 462);
    // The host that answered is gone: the link test fails like every other
    // call rather than report "no ACT! running", and an object is refused as
    // one that cannot be created.
    QCOMPARE(failureOf([&] { host.eventControl().Id1(0); }), 462);
    QCOMPARE(failureOf([&] { host.eventControl().Id3(); }), 462);
    QCOMPARE(failureOf([&] { host.createAppObject(); }, &description), 429);
    QCOMPARE(description, notCreated + QLatin1String("ACT! is no longer running)"));
    QCOMPARE(failureOf([&] { host.createAuxCommands(); }, &description), 429);
    QCOMPARE(description, notCreated + QLatin1String("ACT! is no longer running)"));
    QVERIFY(clock.elapsed() < protocol::CallTimeoutMs);
}

void TestDBusHost::hungStandinFailsWithinTimeout()
{
    makeDatabase();
    ServingStandin standin;
    QVERIFY(standin.start({db()}));
    DBusHostFactory host;
    auto sales = salesList(host);
    QVERIFY(standin.suspend());
    QElapsedTimer clock;
    clock.start();
    qint32 row = 0;
    QString description;
    const int number = failureOf([&] { sales->GetField(host::DetailsField, row); }, &description);
    const qint64 elapsed = clock.elapsed();
    standin.signal(SIGCONT);
    QCOMPARE(number, 462);
    // A read changes nothing: its report names the call and the wait, and
    // no more.
    QCOMPARE(description, unavailable + QLatin1String("GetField: ACT! did not answer within 5 s)"));
    QVERIFY2(elapsed >= protocol::CallTimeoutMs - 500 && elapsed < protocol::CallTimeoutMs + 2000,
             qPrintable(QString::number(elapsed)));
    // An object asked of a silent host is one that cannot be created.
    QVERIFY(standin.suspend());
    QCOMPARE(failureOf([&] { host.createAuxCommands(); }, &description), 429);
    standin.signal(SIGCONT);
    QCOMPARE(description, notCreated + QLatin1String("ACT! did not answer within 5 s)"));
    // Once it answers again, so does the client.
    QCOMPARE(q(sales->GetField(host::DetailsField, row)), QStringLiteral("first"));
}

void TestDBusHost::answeredWriteSurvivesKill9()
{
    makeDatabase();
    const QString text = QString::fromUtf8("kept \xF0\x9F\x98\x80\r\n[[/home/u/f.txt]]");
    {
        ServingStandin standin;
        QVERIFY(standin.start({db()}));
        DBusHostFactory host;
        auto sales = salesList(host);
        auto aux = host.createAuxCommands();
        qint32 row = 1;
        std::u16string t = u(text);
        QCOMPARE(sales->SetField(host::DetailsField, row, t), 0);
        QCOMPARE(aux->AddAuxCommand(u"Pennaroc", {}, {}, {}, {}, {}, {}, 1), 0);
        QCOMPARE(aux->AddAuxCommandToToolsMenu(4, u"Pennaroc"), 0);
        standin.kill9();
    }
    QCOMPARE(storedDetails(1), text.toUtf8());
    QCOMPARE(runStandin({QStringLiteral("commands"), db()}).out,
             QByteArray("Pennaroc\t\t\t\t\t\t\t1\nmenu\t4\tPennaroc\n"));
}

void TestDBusHost::callsStayWithTheFirstHost_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("member"); // as the report names it
    for (const char *op : {"GetCurrentRow", "GetField", "SetField", "Views", "GetOpenDBName", "OpenFile", "Command",
                           "AuxCommandExists", "AuxCommandExistsInToolbar", "AddAuxCommand", "AddAuxCommandToToolbar",
                           "RemoveAuxCommandFromToolbar", "AddAuxCommandToToolsMenu", "RemoveAuxCommandFromToolsMenu",
                           "Id1", "Id2", "Id3"})
        QTest::newRow(op) << op << op;
    QTest::newRow("createAppObject") << "createAppObject" << "CreateObject";
    QTest::newRow("createAuxCommands") << "createAuxCommands" << "CreateObject";
}

void TestDBusHost::callsStayWithTheFirstHost()
{
    QFETCH(QString, operation);
    QFETCH(QString, member);
    makeDatabase();
    makeOtherDatabase();
    const QByteArray first = contentsOf(db());
    const QByteArray other = contentsOf(otherDb());

    ServingStandin standin;
    QVERIFY(standin.start({db(), QStringLiteral("--current"), QStringLiteral("0")}));
    DBusHostFactory host;
    HostObjects objects{&host, host.createAppObject(), salesList(host), host.createAuxCommands()};
    QCOMPARE(host.eventControl().Id1(0), 1);
    standin.kill9();

    // Another stand-in takes the name, on another database.
    ServingStandin next;
    QVERIFY(next.start({otherDb(), QStringLiteral("--current"), QStringLiteral("0")}));
    QElapsedTimer clock;
    clock.start();
    QString description;
    const int number = failureOf([&] { runOperation(operation, objects); }, &description);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    // The call never reached a host, so nothing can have changed; an object
    // is refused as one that cannot be created, and made nowhere else.
    if (member == u"CreateObject") {
        QCOMPARE(number, 429);
        QCOMPARE(description, notCreated + QLatin1String("ACT! is no longer running)"));
    } else {
        QCOMPARE(number, 462);
        QCOMPARE(description, unavailable + member + QLatin1String(": ACT! is no longer running)"));
    }

    // The other stand-in is there, serves a newcomer, and was not touched.
    QCOMPARE(next.process().state(), QProcess::Running);
    DBusHostFactory newcomer;
    QCOMPARE(newcomer.eventControl().Id1(0), 1);
    QCOMPARE(q(newcomer.createAppObject()->GetOpenDBName()), QFileInfo(otherDb()).absoluteFilePath());
    next.stop();
    QCOMPARE(contentsOf(otherDb()), other);
    QCOMPARE(contentsOf(db()), first);
}

void TestDBusHost::notificationsOnlyFromTheFirstHost()
{
    makeDatabase();
    makeOtherDatabase();
    DBusHostFactory host;
    recordEvents(host);
    ServingStandin standin;
    QVERIFY(standin.start({db()}));
    QCOMPARE(host.eventControl().Id1(0), 1);
    QCOMPARE(runStandin({QStringLiteral("select"), QStringLiteral("1")}).exitCode, 0);
    QTRY_COMPARE(events_.size(), 1);
    standin.kill9();

    ServingStandin next;
    QVERIFY(next.start({otherDb()}));
    // A client that never met the first stand-in hears the new one, so it
    // does raise its events; the pinned client does not.
    DBusHostFactory newcomer;
    QList<qint16> heard;
    newcomer.eventControl().setHandler(
        [&](std::int16_t id, const std::vector<EventArgument> &) { heard.append(id); });
    QCOMPARE(runStandin({QStringLiteral("select"), QStringLiteral("0")}).exitCode, 0);
    QCOMPARE(runStandin({QStringLiteral("close")}).exitCode, 0);
    QTRY_COMPARE(heard, (QList<qint16>{22, 10}));
    QVERIFY(next.waitForExit());
    QTest::qWait(100);
    QCOMPARE(events_.size(), 1);
    QCOMPARE(events_[0].id, qint16(22));
}

void TestDBusHost::secondStandinIsRefused_data()
{
    QTest::addColumn<bool>("sameDatabase");
    QTest::newRow("same database") << true;
    QTest::newRow("another database") << false;
}

void TestDBusHost::secondStandinIsRefused()
{
    QFETCH(bool, sameDatabase);
    makeDatabase();
    makeOtherDatabase();
    const QString refusedDb = sameDatabase ? db() : otherDb();
    ServingStandin standin;
    QVERIFY(standin.start({db(), QStringLiteral("--current"), QStringLiteral("0")}));
    const QString owner = QDBusConnection::sessionBus().interface()->serviceOwner(protocol::Service).value();
    QVERIFY(owner.startsWith(QLatin1Char(':')));

    const auto second = runStandin({QStringLiteral("serve"), refusedDb, QStringLiteral("--current"), QStringLiteral("1")});
    QCOMPARE(second.exitCode, 1);
    QVERIFY2(second.err.contains("another stand-in ACT! already runs"), second.err.constData());
    // The first keeps the name and goes on serving its own database.
    QCOMPARE(QDBusConnection::sessionBus().interface()->serviceOwner(protocol::Service).value(), owner);
    DBusHostFactory host;
    QCOMPARE(host.eventControl().Id1(0), 1);
    QCOMPARE(q(host.createAppObject()->GetOpenDBName()), QFileInfo(db()).absoluteFilePath());
    QCOMPARE(salesList(host)->GetCurrentRow(), 0);
    standin.stop();

    // Nor did the refused one leave its --current behind in its database:
    // served again, the database carries on with the record it had.
    ServingStandin again;
    QVERIFY(again.start({refusedDb}));
    DBusHostFactory later;
    QCOMPARE(salesList(later)->GetCurrentRow(), sameDatabase ? 0 : -1);
}

void TestDBusHost::unansweredWriteIsReportedAsUnknown()
{
    makeDatabase();
    ServingStandin standin;
    QVERIFY(standin.start({db()}));
    DBusHostFactory host;
    auto sales = salesList(host);
    QVERIFY(standin.suspend());
    qint32 row = 0;
    std::u16string text = u"written late";
    QString description;
    QElapsedTimer clock;
    clock.start();
    const int number = failureOf([&] { sales->SetField(host::DetailsField, row, text); }, &description);
    const qint64 elapsed = clock.elapsed();
    standin.signal(SIGCONT);
    QCOMPARE(number, 462);
    QVERIFY2(elapsed >= protocol::CallTimeoutMs - 500, qPrintable(QString::number(elapsed)));
    QCOMPARE(description, unavailable + QLatin1String("SetField: ACT! did not answer within 5 s, so whether the "
                                                      "Details field was changed is not known)"));
    // That is no figure of speech: the stand-in works through the call it
    // had queued once it runs again.
    QTRY_COMPARE(storedDetails(0), QByteArray("written late"));
    QCOMPARE(q(sales->GetField(host::DetailsField, row)), QStringLiteral("written late"));
}

void TestDBusHost::hostLeavesWithTheCallUnanswered_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("unknown"); // what the report says is not known; empty for a read
    QTest::newRow("SetField") << "SetField" << "the Details field was changed";
    QTest::newRow("Command 150") << "Command" << "ACT! closed";
    QTest::newRow("AddAuxCommand") << "AddAuxCommand" << "the command's registration was made";
    QTest::newRow("AddAuxCommandToToolbar") << "AddAuxCommandToToolbar"
                                            << "the command was given its place on the toolbar";
    QTest::newRow("RemoveAuxCommandFromToolbar") << "RemoveAuxCommandFromToolbar"
                                                 << "the command's place on the toolbar was removed";
    QTest::newRow("AddAuxCommandToToolsMenu") << "AddAuxCommandToToolsMenu"
                                              << "the command was given its place in the Tools menu";
    QTest::newRow("RemoveAuxCommandFromToolsMenu") << "RemoveAuxCommandFromToolsMenu"
                                                   << "the command's place in the Tools menu was removed";
    QTest::newRow("GetField") << "GetField" << "";
    QTest::newRow("AuxCommandExistsInToolbar") << "AuxCommandExistsInToolbar" << "";
    QTest::newRow("Id2") << "Id2" << "";
}

void TestDBusHost::hostLeavesWithTheCallUnanswered()
{
    QFETCH(QString, operation);
    QFETCH(QString, unknown);
    makeDatabase();
    ServingStandin standin;
    QVERIFY(standin.start({db()}));
    DBusHostFactory host;
    HostObjects objects{&host, host.createAppObject(), salesList(host), host.createAuxCommands()};
    // Stopped, it takes the call and never answers; killed meanwhile, it
    // leaves the bus with the call unanswered.
    QVERIFY(standin.suspend());
    const pid_t pid = pid_t(standin.process().processId());
    std::thread killer([pid] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::kill(pid, SIGKILL);
    });
    QElapsedTimer clock;
    clock.start();
    QString description;
    const int number = failureOf([&] { runOperation(operation, objects); }, &description);
    const qint64 elapsed = clock.elapsed();
    killer.join();
    QVERIFY(standin.waitForExit());
    QVERIFY(testsupport::waitForStandinOnBus(false));
    QCOMPARE(number, 462);
    QVERIFY2(elapsed < protocol::CallTimeoutMs - 1000, qPrintable(QString::number(elapsed)));
    const QString said = unknown.isEmpty() ? QString() : QLatin1String(", so whether ") + unknown + QLatin1String(" is not known");
    QCOMPARE(description, unavailable + operation + QLatin1String(": ACT! went away without answering") + said + u')');
}

void TestDBusHost::resultConversion_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("failure16");
    QTest::addColumn<int>("value16");
    QTest::addColumn<int>("failure32");
    QTest::addColumn<int>("value32");

    QTest::newRow("int16") << QVariant::fromValue<qint16>(-7) << 0 << -7 << 0 << -7;
    QTest::newRow("int32 that fits 16") << QVariant::fromValue<qint32>(32767) << 0 << 32767 << 0 << 32767;
    QTest::newRow("int32 just over") << QVariant::fromValue<qint32>(32768) << 6 << 0 << 0 << 32768;
    QTest::newRow("int32 just under") << QVariant::fromValue<qint32>(-32769) << 6 << 0 << 0 << -32769;
    QTest::newRow("uint16 over") << QVariant::fromValue<quint16>(40000) << 6 << 0 << 0 << 40000;
    QTest::newRow("int64 over 32") << QVariant::fromValue<qint64>(1LL << 31) << 6 << 0 << 6 << 0;
    QTest::newRow("uint64 huge") << QVariant::fromValue<quint64>(~0ULL) << 6 << 0 << 6 << 0;
    QTest::newRow("Boolean true is -1") << QVariant(true) << 0 << -1 << 0 << -1;
    QTest::newRow("text") << QVariant(QStringLiteral("1")) << 13 << 0 << 13 << 0;
    QTest::newRow("double") << QVariant(1.0) << 13 << 0 << 13 << 0;
    QTest::newRow("nothing") << QVariant() << 13 << 0 << 13 << 0;
}

void TestDBusHost::resultConversion()
{
    QFETCH(QVariant, value);
    QFETCH(int, failure16);
    QFETCH(int, value16);
    QFETCH(int, failure32);
    QFETCH(int, value32);
    const QString member = QStringLiteral("Member");
    qint16 got16 = 0;
    qint32 got32 = 0;
    QCOMPARE(failureOf([&] { got16 = host::dbus::resultToInt16(member, value); }), failure16);
    if (!failure16)
        QCOMPARE(got16, qint16(value16));
    QCOMPARE(failureOf([&] { got32 = host::dbus::resultToInt32(member, value); }), failure32);
    if (!failure32)
        QCOMPARE(got32, qint32(value32));
}

void TestDBusHost::wrongAnswers_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("failure");
    QTest::addColumn<int>("value");

    QTest::newRow("16-bit answer sent as 32 bits, fits") << "AuxCommandExists" << "1" << 0 << 1;
    QTest::newRow("16-bit answer sent as 32 bits, too big") << "AuxCommandExists" << "70000" << 6 << 0;
    QTest::newRow("16-bit answer sent as 32 bits, too small") << "AuxCommandExists" << "-32769" << 6 << 0;
    QTest::newRow("16-bit answer as text") << "AuxCommandExistsInToolbar" << "1" << 13 << 0;
    QTest::newRow("16-bit answer as unsigned 64, fits") << "AuxCommandExistsInToolsMenu" << "0" << 0 << 0;
    QTest::newRow("16-bit answer as unsigned 64, too big")
        << "AuxCommandExistsInToolsMenu" << "18446744073709551615" << 6 << 0;
    QTest::newRow("32-bit answer as 64 bits, fits") << "AddAuxCommandToToolbar" << "-2147483648" << 0 << -2147483647 - 1;
    QTest::newRow("32-bit answer as 64 bits, too big") << "AddAuxCommandToToolbar" << "2147483648" << 6 << 0;
    QTest::newRow("no answer") << "AddAuxCommandToToolsMenu" << "" << 13 << 0;
}

void TestDBusHost::wrongAnswers()
{
    QFETCH(QString, member);
    QFETCH(QString, answer);
    QFETCH(int, failure);
    QFETCH(int, value);

    const QString connectionName = QStringLiteral("wrong-host");
    QThread thread;
    WrongFactory factory;
    WrongAuxCommands aux;
    factory.moveToThread(&thread);
    aux.moveToThread(&thread);
    thread.start();
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
        QVERIFY(bus.registerObject(protocol::FactoryPath, &factory, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerObject(protocol::AuxCommandsPath, &aux, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(protocol::Service));
    }
    int got = failureOf([&] {
        DBusHostFactory host;
        auto commands = host.createAuxCommands();
        if (member == QLatin1String("AuxCommandExists"))
            QCOMPARE(commands->AuxCommandExists(u(answer)), qint16(value));
        else if (member == QLatin1String("AuxCommandExistsInToolbar"))
            QCOMPARE(commands->AuxCommandExistsInToolbar(1, u(answer)), qint16(value));
        else if (member == QLatin1String("AuxCommandExistsInToolsMenu"))
            QCOMPARE(commands->AuxCommandExistsInToolsMenu(1, u(answer)), qint16(value));
        else if (member == QLatin1String("AddAuxCommandToToolbar"))
            QCOMPARE(commands->AddAuxCommandToToolbar(1, u(answer)), qint32(value));
        else if (member == QLatin1String("AddAuxCommandToToolsMenu"))
            QCOMPARE(commands->AddAuxCommandToToolsMenu(1, u(answer)), qint32(value));
    });
    {
        QDBusConnection bus(connectionName);
        bus.unregisterService(protocol::Service);
        bus.unregisterObject(protocol::FactoryPath);
        bus.unregisterObject(protocol::AuxCommandsPath);
    }
    QDBusConnection::disconnectFromBus(connectionName);
    thread.quit();
    thread.wait();
    QCOMPARE(got, failure);
}

void TestDBusHost::tooLargeTextsAreRefusedAtOnce()
{
    makeDatabase();
    const QByteArray huge(protocol::MaxTextBytes + 1, 'h');
    QCOMPARE(runStandin({QStringLiteral("add"), db(), QStringLiteral("-")}, huge).out, QByteArray("2\n"));
    ServingStandin standin;
    QVERIFY(standin.start({db()}));
    DBusHostFactory host;
    auto sales = salesList(host);

    // Reading it: the host's own refusal, an automation error, long before
    // the call limit; the host is still there afterwards.
    QElapsedTimer clock;
    clock.start();
    qint32 row = 2;
    QString description;
    QCOMPARE(failureOf([&] { sales->GetField(host::DetailsField, row); }, &description), 440);
    QVERIFY2(clock.elapsed() < protocol::CallTimeoutMs / 2, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(description.contains(QLatin1String("256.0 MiB")) && description.contains(QLatin1String("row 2")),
             qPrintable(description));
    row = 0;
    QCOMPARE(q(sales->GetField(host::DetailsField, row)), QStringLiteral("first"));

    // Writing one: refused before anything is sent.
    std::u16string text(std::size_t(huge.size()), u'h');
    row = 0;
    clock.start();
    QCOMPARE(failureOf([&] { sales->SetField(host::DetailsField, row, text); }, &description), 5);
    QVERIFY2(clock.elapsed() < protocol::CallTimeoutMs / 2, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(description.contains(QLatin1String("not sent")), qPrintable(description));
    QCOMPARE(q(sales->GetField(host::DetailsField, row)), QStringLiteral("first"));
}

void TestDBusHost::descriptorsTheStandinRefuses_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("errorName");
    QTest::addColumn<QString>("why");
    QTest::newRow("a pipe") << "pipe" << protocol::InvalidArgumentError << "not a file";
    QTest::newRow("a file beyond the limit") << "sparse" << protocol::TextTooLargeError << "more than";
    QTest::newRow("not UTF-8") << "latin1" << protocol::InvalidArgumentError << "not valid UTF-8";
    QTest::newRow("a NUL") << "nul" << protocol::InvalidArgumentError << "NUL";
    QTest::newRow("an encoded surrogate") << "surrogate" << protocol::InvalidArgumentError << "not valid UTF-8";
}

void TestDBusHost::descriptorsTheStandinRefuses()
{
    QFETCH(QString, kind);
    QFETCH(QString, errorName);
    QFETCH(QString, why);
    makeDatabase();
    ServingStandin standin;
    QVERIFY(standin.start({db()}));

    int fd = -1;
    int pipeEnds[2] = {-1, -1};
    const QString file = dir_->filePath(QStringLiteral("text"));
    const auto fileWith = [&](const QByteArray &bytes) {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return -1;
        f.close();
        return ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    };
    if (kind == u"pipe") {
        // Nobody ever writes to it: reading it would block for ever.
        QCOMPARE(::pipe(pipeEnds), 0);
        fd = pipeEnds[0];
    } else if (kind == u"sparse") {
        fd = fileWith(QByteArray());
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.resize(protocol::MaxTextBytes + 1));
    } else if (kind == u"latin1") {
        fd = fileWith("R\xE9sum\xE9");
    } else if (kind == u"nul") {
        fd = fileWith(QByteArray("before\0after", 12));
    } else {
        fd = fileWith("\xED\xA0\x80 half of a pair");
    }
    QVERIFY(fd >= 0);
    const QDBusUnixFileDescriptor descriptor(fd); // takes a duplicate

    QDBusMessage call = QDBusMessage::createMethodCall(protocol::Service, protocol::SalesPath,
                                                       protocol::SalesListInterface,
                                                       QStringLiteral("SetFieldByDescriptor"));
    call.setArguments({QVariant::fromValue<qint16>(host::DetailsField), QVariant::fromValue<qint32>(0),
                       QVariant::fromValue(descriptor)});
    QElapsedTimer clock;
    clock.start();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, protocol::CallTimeoutMs);
    QVERIFY2(clock.elapsed() < protocol::CallTimeoutMs / 2, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
    QCOMPARE(reply.errorName(), errorName);
    QVERIFY2(reply.errorMessage().contains(why), qPrintable(reply.errorMessage()));
    ::close(fd);
    if (pipeEnds[1] >= 0)
        ::close(pipeEnds[1]);
    QCOMPARE(storedDetails(0), QByteArray("first"));
}

QTEST_GUILESS_MAIN(TestDBusHost)
#include "tst_DBusHost.moc"
