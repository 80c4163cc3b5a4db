// The stand-in's own window: driven in-process against a serving stand-in,
// watched from a second bus connection as the program would see it; and the
// act-standin executable with and without --window.

#include "host/dbus/BusProtocol.h"
#include "standin/StandinDatabase.h"
#include "standin/StandinService.h"
#include "standin/StandinWindow.h"
#include "tests/host/StandinProcess.h"
#include "tests/support/ScriptedPlatform.h"

#include <QComboBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QHeaderView>
#include <QTableView>
#include <QToolBar>
#include <QtTest>

#include <sqlite3.h>

using standin::StandinDatabase;
using standin::StandinService;
using standin::StandinWindow;
namespace protocol = host::dbus::protocol;

namespace {

const QString ObserverName = QStringLiteral("window-test-observer");

// One notification as a client sees it.
struct Seen {
    qint16 id;
    QVariantList args;
};

QString sourceFile(const QString &relative)
{
    return qEnvironmentVariable("PENNAROC_SOURCE_DIR") + QLatin1Char('/') + relative;
}

QVariant n16(int v) { return QVariant::fromValue<qint16>(qint16(v)); }

// More pages of records than the list keeps, so that it reads some twice.
constexpr qint32 NumberedRecords = (standin::RecordListModel::CachedPages + 4) * standin::RecordListModel::PageSize;

} // namespace

class EventLog : public QObject {
    Q_OBJECT
public:
    QList<Seen> seen;
public Q_SLOTS:
    void onEvent(const QDBusMessage &message)
    {
        const QVariantList args = message.arguments();
        QVariantList eventArgs;
        if (args.size() > 1)
            eventArgs = qdbus_cast<QVariantList>(args.at(1));
        seen.append(Seen{args.value(0).value<qint16>(), eventArgs});
    }
};

class TestStandinWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void detailsLine_data();
    void detailsLine();
    void titleNamesTheDatabaseFile();
    void recordsShownOnOneLineAndTextKept();
    void currentRecordSelectedAtStartWithoutNotification();
    void selectingARowMakesItCurrent();
    void selectionFollowsTheBus();
    void detailsWrittenOverTheBusShow();
    void writeToARecordAddedBesideShowsIt();
    void callsAnsweredWhileTheWindowWorks();
    void longTextsCutOnWholeCharacters_data();
    void longTextsCutOnWholeCharacters();
    void linesShowTheirOwnRecords_data();
    void linesShowTheirOwnRecords();
    void longListReadsOnlyWhatItShows();
    void commandsForChosenView_data();
    void commandsForChosenView();
    void registrationAndPlacementOverTheBusShow();
    void activatingStartsExecutableInItsFolder();
    void commandThatCannotStart_data();
    void commandThatCannotStart();
    void closeClosesDatabase_data();
    void closeClosesDatabase();
    void executableWithWindowEnds_data();
    void executableWithWindowEnds();
    void displayOnlyNeededForWindow();

private:
    // Serves the test database in this process and opens the window on it.
    void serve(StandinService::Options options = {});
    QDBusMessage call(const QString &path, const QString &interface, const QString &member,
                      const QVariantList &args = {});
    void registerCommand(const QString &name, const QString &caption, const QString &tooltip,
                         const QString &icon, const QString &largeIcon, const QString &executable = {},
                         const QString &folder = {});
    QList<QAction *> toolbarActions() const;
    QList<QAction *> menuActions() const;
    QTableView *records() const { return window_->findChild<QTableView *>(QStringLiteral("records")); }
    // What the list shows: its number of lines, a line's text in a column,
    // and the Row text of the selected line (empty when none is selected).
    int shownCount() const { return records()->model()->rowCount(); }
    QString shown(int line, int column) const { return records()->model()->index(line, column).data().toString(); }
    QString selectedRow() const;
    QRect lineRect(int line) const { return records()->visualRect(records()->model()->index(line, 0)); }
    QString db() const { return dir_->filePath(QStringLiteral("act.db")); }
    void drainEvents();
    // Makes the test database anew: records 0..count-1 with the Details
    // "record N", less the rows in removed (taken out by hand, as the
    // stand-in itself never does). Returns the rows that remain, in order.
    QList<qint32> numberedDatabase(qint32 count, const QList<qint32> &removed = {});

    std::unique_ptr<QTemporaryDir> dir_;
    testsupport::ScriptedPlatform platform_;
    std::unique_ptr<StandinService> service_;
    std::unique_ptr<StandinWindow> window_;
    EventLog events_;
    QDBusConnection observer_{QString()};
};

void TestStandinWindow::initTestCase()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "these tests need a session bus");
    QVERIFY(!testsupport::standinOnBus());
    observer_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, ObserverName);
    QVERIFY(observer_.isConnected());
    QVERIFY(observer_.connect(QString(), protocol::EventControlPath, protocol::EventControlInterface,
                              QStringLiteral("Event"), &events_, SLOT(onEvent(QDBusMessage))));
}

void TestStandinWindow::cleanupTestCase()
{
    observer_ = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(ObserverName);
}

void TestStandinWindow::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    StandinDatabase::create(db());
    StandinDatabase d(db());
    d.addRecord("Call back in May");
    d.addRecord("Offer\r\nline two\rthree\nfour\tfive");
    d.addRecord("");
    platform_ = testsupport::ScriptedPlatform();
    events_.seen.clear();
}

void TestStandinWindow::cleanup()
{
    window_.reset();
    if (service_) {
        service_.reset();
        QDBusConnection::sessionBus().interface()->unregisterService(protocol::Service);
    }
    QVERIFY(testsupport::waitForStandinOnBus(false));
    drainEvents();
    events_.seen.clear();
}

void TestStandinWindow::drainEvents()
{
    // Whatever was sent before this reaches the observer before its answer.
    standin::flushConnection(QDBusConnection::sessionBus());
    standin::flushConnection(observer_);
    QCoreApplication::processEvents();
    QTest::qWait(20);
}

QList<qint32> TestStandinWindow::numberedDatabase(qint32 count, const QList<qint32> &removed)
{
    QFile::remove(db());
    StandinDatabase::create(db());
    StandinDatabase(db()).addRecords(count, QByteArray());
    sqlite3 *handle = nullptr;
    if (sqlite3_open(QFile::encodeName(db()).constData(), &handle) == SQLITE_OK) {
        sqlite3_exec(handle, "UPDATE sales SET details = 'record ' || row", nullptr, nullptr, nullptr);
        for (const qint32 row : removed) {
            const QByteArray sql = "DELETE FROM sales WHERE row = " + QByteArray::number(row);
            sqlite3_exec(handle, sql.constData(), nullptr, nullptr, nullptr);
        }
    }
    sqlite3_close(handle);
    QList<qint32> rows;
    for (qint32 row = 0; row < count; ++row)
        if (!removed.contains(row))
            rows.append(row);
    return rows;
}

void TestStandinWindow::serve(StandinService::Options options)
{
    auto database = std::make_unique<StandinDatabase>(db());
    if (options.currentRow != -1)
        database->setCurrentRow(options.currentRow);
    service_ = std::make_unique<StandinService>(std::move(database), options, QDBusConnection::sessionBus());
    QString error;
    QVERIFY2(service_->start(&error), qPrintable(error));
    window_ = std::make_unique<StandinWindow>(*service_, platform_);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

QDBusMessage TestStandinWindow::call(const QString &path, const QString &interface, const QString &member,
                                     const QVariantList &args)
{
    QDBusMessage message = QDBusMessage::createMethodCall(protocol::Service, path, interface, member);
    message.setArguments(args);
    // The service answers on this thread, so the caller must keep the
    // event loop turning while it waits.
    return observer_.call(message, QDBus::BlockWithGui, protocol::CallTimeoutMs);
}

void TestStandinWindow::registerCommand(const QString &name, const QString &caption, const QString &tooltip,
                                        const QString &icon, const QString &largeIcon, const QString &executable,
                                        const QString &folder)
{
    const QDBusMessage reply =
        call(protocol::AuxCommandsPath, protocol::AuxCommandsInterface, QStringLiteral("AddAuxCommand"),
             {name, executable.isNull() ? QStringLiteral("/bin/true") : executable,
              folder.isNull() ? QStringLiteral("/") : folder, caption, tooltip, icon, largeIcon, n16(0)});
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    QCOMPARE(reply.arguments().value(0).toInt(), 0);
}

QString TestStandinWindow::selectedRow() const
{
    const QModelIndexList selected = records()->selectionModel()->selectedRows(0);
    return selected.size() == 1 ? selected.first().data().toString() : QString();
}

QList<QAction *> TestStandinWindow::toolbarActions() const
{
    return window_->findChild<QToolBar *>(QStringLiteral("commandBar"))->actions();
}

QList<QAction *> TestStandinWindow::menuActions() const
{
    return window_->findChild<QMenu *>(QStringLiteral("toolsMenu"))->actions();
}

// ---------------------------------------------------------------------------

void TestStandinWindow::detailsLine_data()
{
    QTest::addColumn<QString>("details");
    QTest::addColumn<QString>("shown");
    const QString mark(QChar(0x21B5));
    QTest::newRow("plain") << QStringLiteral("Call back in May") << QStringLiteral("Call back in May");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("CR LF is one break") << QStringLiteral("a\r\nb") << QStringLiteral("a") + mark + QStringLiteral("b");
    QTest::newRow("lone CR and lone LF") << QStringLiteral("a\rb\nc")
                                         << QStringLiteral("a") + mark + QStringLiteral("b") + mark + QStringLiteral("c");
    QTest::newRow("LF CR is two breaks") << QStringLiteral("a\n\rb") << QStringLiteral("a") + mark + mark + QStringLiteral("b");
    QTest::newRow("tab becomes a space") << QStringLiteral("a\tb") << QStringLiteral("a b");
    QTest::newRow("trailing break stays visible") << QStringLiteral("x\r\n") << QStringLiteral("x") + mark;
    QTest::newRow("exactly the limit is not cut") << QString(StandinWindow::PreviewCharacters, QLatin1Char('x'))
                                                  << QString(StandinWindow::PreviewCharacters, QLatin1Char('x'));
    QTest::newRow("one over the limit is cut")
        << QString(StandinWindow::PreviewCharacters + 1, QLatin1Char('x'))
        << QString(StandinWindow::PreviewCharacters, QLatin1Char('x')) + QChar(0x2026);
    // Characters beyond the BMP count once and are never split in two.
    const QString smile = QStringLiteral("\U0001F600");
    QString smiles;
    for (int i = 0; i <= StandinWindow::PreviewCharacters; ++i)
        smiles += smile;
    QTest::newRow("beyond the BMP cut whole") << smiles << smiles.left(2 * StandinWindow::PreviewCharacters) + QChar(0x2026);
    QTest::newRow("CR LF counts as one character")
        << QString(StandinWindow::PreviewCharacters - 1, QLatin1Char('x')) + QStringLiteral("\r\n")
        << QString(StandinWindow::PreviewCharacters - 1, QLatin1Char('x')) + mark;
}

void TestStandinWindow::detailsLine()
{
    QFETCH(QString, details);
    QFETCH(QString, shown);
    QCOMPARE(StandinWindow::detailsLine(details), shown);
}

void TestStandinWindow::titleNamesTheDatabaseFile()
{
    serve();
    QCOMPARE(window_->windowTitle(), QStringLiteral("ACT! stand-in - act.db"));
    // Another database opened over the bus: the title and rows follow.
    const QString other = dir_->filePath(QStringLiteral("second file.db"));
    StandinDatabase::create(other);
    StandinDatabase(other).addRecord("only one");
    const QDBusMessage reply =
        call(protocol::ApplicationPath, protocol::ApplicationInterface, QStringLiteral("OpenFile"), {other});
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    QCOMPARE(window_->windowTitle(), QStringLiteral("ACT! stand-in - second file.db"));
    QCOMPARE(shownCount(), 1);
    QCOMPARE(shown(0, 1), QStringLiteral("only one"));
}

void TestStandinWindow::recordsShownOnOneLineAndTextKept()
{
    {
        StandinDatabase d(db());
        d.addRecord(QByteArray(5000, 'y') + "\xF0\x9F\x98\x80");
    }
    serve();
    QCOMPARE(shownCount(), 4);
    const QString mark(QChar(0x21B5));
    const QStringList expected{QStringLiteral("Call back in May"),
                               QStringLiteral("Offer") + mark + QStringLiteral("line two") + mark
                                   + QStringLiteral("three") + mark + QStringLiteral("four five"),
                               QString(), QString(StandinWindow::PreviewCharacters, QLatin1Char('y')) + QChar(0x2026)};
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(shown(i, 0), QString::number(i));
        QCOMPARE(shown(i, 1), expected.at(i));
    }
    // Showing the records changed nothing stored.
    const QDBusMessage reply = call(protocol::SalesPath, protocol::SalesListInterface, QStringLiteral("GetField"),
                                    {n16(36), QVariant::fromValue<qint32>(1)});
    QCOMPARE(reply.arguments().value(0).toString(), QStringLiteral("Offer\r\nline two\rthree\nfour\tfive"));

    // A record added beside the service (as `act-standin add` does) shows on
    // Refresh, and the current record stays selected.
    call(protocol::ControlPath, protocol::ControlInterface, QStringLiteral("Select"), {QVariant::fromValue<qint32>(1)});
    StandinDatabase(db()).addRecord("added later");
    window_->findChild<QAction *>(QStringLiteral("refreshAction"))->trigger();
    QCOMPARE(shownCount(), 5);
    QCOMPARE(shown(4, 1), QStringLiteral("added later"));
    QCOMPARE(selectedRow(), QStringLiteral("1"));
}

void TestStandinWindow::currentRecordSelectedAtStartWithoutNotification()
{
    StandinService::Options options;
    options.currentRow = 2;
    serve(options);
    QCOMPARE(selectedRow(), QStringLiteral("2"));
    drainEvents();
    QCOMPARE(events_.seen.size(), 0);
    QCOMPARE(service_->currentRow(), 2);
}

void TestStandinWindow::selectingARowMakesItCurrent()
{
    serve();
    QVERIFY(!records()->selectionModel()->hasSelection());
    QTest::mouseClick(records()->viewport(), Qt::LeftButton, {}, lineRect(1).center());
    QCOMPARE(service_->currentRow(), 1);
    QCOMPARE(service_->database()->currentRow(), 1);
    QTRY_COMPARE(events_.seen.size(), 1);
    QCOMPARE(events_.seen.at(0).id, qint16(22));
    QCOMPARE(events_.seen.at(0).args, QVariantList{QVariant::fromValue<qint32>(1)});
    // The program sees the same row.
    const QDBusMessage reply =
        call(protocol::SalesPath, protocol::SalesListInterface, QStringLiteral("GetCurrentRow"));
    QCOMPARE(reply.arguments().value(0).toInt(), 1);

    // Keys move the current record too, one notification each.
    QTest::keyClick(records(), Qt::Key_Down);
    QCOMPARE(service_->currentRow(), 2);
    QTRY_COMPARE(events_.seen.size(), 2);
    QCOMPARE(events_.seen.at(1).args, QVariantList{QVariant::fromValue<qint32>(2)});
    // Clicking the current record again raises nothing.
    QTest::mouseClick(records()->viewport(), Qt::LeftButton, {}, lineRect(2).center());
    drainEvents();
    QCOMPARE(events_.seen.size(), 2);
}

void TestStandinWindow::selectionFollowsTheBus()
{
    serve();
    const QDBusMessage reply = call(protocol::ControlPath, protocol::ControlInterface, QStringLiteral("Select"),
                                    {QVariant::fromValue<qint32>(2)});
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    QCOMPARE(selectedRow(), QStringLiteral("2"));
    drainEvents();
    // One notification: showing the selection does not select again.
    QCOMPARE(events_.seen.size(), 1);
    call(protocol::ControlPath, protocol::ControlInterface, QStringLiteral("Select"), {QVariant::fromValue<qint32>(-1)});
    QVERIFY(!records()->selectionModel()->hasSelection());
    drainEvents();
    QCOMPARE(events_.seen.size(), 2);
    QCOMPARE(service_->currentRow(), -1);
}

void TestStandinWindow::detailsWrittenOverTheBusShow()
{
    serve();
    const QDBusMessage reply = call(protocol::SalesPath, protocol::SalesListInterface, QStringLiteral("SetField"),
                                    {n16(36), QVariant::fromValue<qint32>(0),
                                     QStringLiteral("Call back in May [[/home/u/offer.pdf]]\r\nnext")});
    QCOMPARE(reply.arguments().value(0).toInt(), 0);
    QCOMPARE(shown(0, 1),
             QStringLiteral("Call back in May [[/home/u/offer.pdf]]") + QChar(0x21B5) + QStringLiteral("next"));
    // The other rows are untouched.
    QCOMPARE(shown(2, 1), QString());
    QCOMPARE(shownCount(), 3);
}

void TestStandinWindow::writeToARecordAddedBesideShowsIt()
{
    serve();
    QCOMPARE(shownCount(), 3);
    // Added beside the service, not shown yet; a write to it over the bus
    // brings it into the list, with what was written.
    QCOMPARE(StandinDatabase(db()).addRecord("added"), 3);
    const QDBusMessage reply = call(protocol::SalesPath, protocol::SalesListInterface, QStringLiteral("SetField"),
                                    {n16(36), QVariant::fromValue<qint32>(3), QStringLiteral("written\tlater")});
    QCOMPARE(reply.arguments().value(0).toInt(), 0);
    QCOMPARE(shownCount(), 4);
    QCOMPARE(shown(3, 0), QStringLiteral("3"));
    QCOMPARE(shown(3, 1), QStringLiteral("written later"));
    QCOMPARE(shown(0, 1), QStringLiteral("Call back in May"));
}

// The service answers on the bus thread while the window reads the same
// database and makes records current: every write lands, in order, and
// what the window shows in the end is what was written last.
void TestStandinWindow::callsAnsweredWhileTheWindowWorks()
{
    constexpr qint32 Records = 50;
    constexpr int Writes = 400;
    numberedDatabase(Records);
    serve();
    QList<QDBusPendingCall> pending;
    for (int i = 0; i < Writes; ++i) {
        QDBusMessage message = QDBusMessage::createMethodCall(protocol::Service, protocol::SalesPath,
                                                              protocol::SalesListInterface, QStringLiteral("SetField"));
        message.setArguments({n16(36), QVariant::fromValue<qint32>(i % Records), QStringLiteral("write %1").arg(i)});
        pending.append(observer_.asyncCall(message, protocol::CallTimeoutMs));
        if (i % 8 == 0) {
            service_->select((i / 8) % Records);
            QVERIFY(!shown(i % Records, 1).isEmpty());
            QCoreApplication::processEvents();
        }
    }
    for (QDBusPendingCall &call : pending) {
        call.waitForFinished();
        QCOMPARE(call.reply().type(), QDBusMessage::ReplyMessage);
        QCOMPARE(call.reply().arguments().value(0).toInt(), 0);
    }
    drainEvents();
    StandinDatabase check(db());
    for (qint32 row = 0; row < Records; ++row) {
        const QString last = QStringLiteral("write %1").arg(Writes - Records + row);
        QCOMPARE(QString::fromUtf8(check.details(row).value_or(QByteArray())), last);
        QCOMPARE(shown(row, 1), last);
    }
    // The last record made current: the one of the last eighth write.
    QCOMPARE(service_->currentRow(), ((Writes - 1) / 8) % Records);
}

void TestStandinWindow::longTextsCutOnWholeCharacters_data()
{
    // The list reads only the first bytes of each text: its cut must fall
    // between characters, and still see whether more than the shown
    // characters follow.
    QTest::addColumn<QString>("details");
    QTest::addColumn<QString>("line");
    const int limit = StandinWindow::PreviewCharacters;
    const auto times = [](const QString &piece, int n) { return piece.repeated(n); };
    const QString smile = QStringLiteral("\U0001F600");
    const QString ellipsis(QChar(0x2026));
    QTest::newRow("four-byte characters, one too many") << times(smile, limit + 1) << times(smile, limit) + ellipsis;
    QTest::newRow("four-byte characters, exactly the limit") << times(smile, limit) << times(smile, limit);
    QTest::newRow("two-byte characters, far too many")
        << times(QStringLiteral("\u00e9"), 5 * limit) << times(QStringLiteral("\u00e9"), limit) + ellipsis;
    QTest::newRow("three-byte characters after one ASCII")
        << QStringLiteral("x") + times(QStringLiteral("\u20ac"), limit)
        << QStringLiteral("x") + times(QStringLiteral("\u20ac"), limit - 1) + ellipsis;
    QTest::newRow("a big text of line breaks")
        << times(QStringLiteral("\r\n"), 1 << 20) << times(QString(QChar(0x21B5)), limit) + ellipsis;
}

void TestStandinWindow::longTextsCutOnWholeCharacters()
{
    QFETCH(QString, details);
    QFETCH(QString, line);
    QCOMPARE(StandinDatabase(db()).addRecord(details.toUtf8()), 3);
    serve();
    QCOMPARE(shown(3, 1), line);
    // Written over the bus, it shows the same.
    const QDBusMessage reply = call(protocol::SalesPath, protocol::SalesListInterface, QStringLiteral("SetField"),
                                    {n16(36), QVariant::fromValue<qint32>(0), details});
    QCOMPARE(reply.arguments().value(0).toInt(), 0);
    QCOMPARE(shown(0, 1), line);
}

void TestStandinWindow::linesShowTheirOwnRecords_data()
{
    QTest::addColumn<QList<qint32>>("removed");
    const int page = standin::RecordListModel::PageSize;
    QTest::newRow("rows without gaps") << QList<qint32>{};
    // The stand-in never leaves a gap, but a file edited by hand may: the
    // rows then no longer match the lines.
    QList<qint32> gaps{0, 3, page * 3 - 1};
    for (qint32 row = page - 10; row < page + 30; ++row)
        gaps << row;
    QTest::newRow("rows with gaps, the first and the last gone") << (gaps << NumberedRecords - 1);
}

void TestStandinWindow::linesShowTheirOwnRecords()
{
    QFETCH(QList<qint32>, removed);
    const int page = standin::RecordListModel::PageSize;
    const QList<qint32> rows = numberedDatabase(NumberedRecords, removed);
    StandinService::Options options;
    options.currentRow = rows.at(2);
    serve(options);
    QCOMPARE(shownCount(), rows.size());
    QCOMPARE(selectedRow(), QString::number(rows.at(2)));

    // Around each page's ends, twice over, and from the end back.
    QList<int> lines{0, 1, 2, 3, int(rows.size()) - 1};
    for (int p = 1; p * page < rows.size(); ++p)
        lines << p * page - 1 << p * page << p * page + 1;
    const auto check = [&](int line) {
        QCOMPARE(shown(line, 0), QString::number(rows.at(line)));
        QCOMPARE(shown(line, 1), QStringLiteral("record %1").arg(rows.at(line)));
    };
    for (int round = 0; round < 2; ++round) {
        for (const int line : std::as_const(lines))
            check(line);
        for (int line = int(rows.size()) - 1; line >= 0; line -= 97)
            check(line);
    }

    // A record chosen over the bus is the line that shows it, and a click
    // on a line makes that line's record current.
    const int far = int(rows.size()) - 2;
    call(protocol::ControlPath, protocol::ControlInterface, QStringLiteral("Select"),
         {QVariant::fromValue<qint32>(rows.at(far))});
    QCOMPARE(selectedRow(), QString::number(rows.at(far)));
    QVERIFY(records()->viewport()->rect().contains(lineRect(far).center()));
    QTest::mouseClick(records()->viewport(), Qt::LeftButton, {}, lineRect(far - 1).center());
    QCOMPARE(service_->currentRow(), rows.at(far - 1));
    QTRY_COMPARE(events_.seen.size(), 2);
    QCOMPARE(events_.seen.at(1).args, QVariantList{QVariant::fromValue<qint32>(rows.at(far - 1))});

    // A write shows on the line of its record, whether that line's page is
    // kept or has to be read again.
    for (const int line : {far - 1, 1}) {
        const QDBusMessage reply = call(protocol::SalesPath, protocol::SalesListInterface, QStringLiteral("SetField"),
                                        {n16(36), QVariant::fromValue<qint32>(rows.at(line)),
                                         QStringLiteral("new %1").arg(line)});
        QCOMPARE(reply.arguments().value(0).toInt(), 0);
        QCOMPARE(shown(line, 1), QStringLiteral("new %1").arg(line));
        QCOMPARE(shown(line + 1, 1), QStringLiteral("record %1").arg(rows.at(line + 1)));
    }
}

void TestStandinWindow::longListReadsOnlyWhatItShows()
{
    // Enough records that reading them all would show in the counts below.
    constexpr qint32 count = 200000;
    {
        QFile::remove(db());
        StandinDatabase::create(db());
        StandinDatabase d(db());
        d.addRecords(count, "the same text");
        d.setDetails(count / 2, "the middle one");
        d.setDetails(count - 1, "the last one");
    }
    StandinService::Options options;
    options.currentRow = count - 1;
    serve(options);
    const standin::RecordListModel *model = window_->recordModel();
    const qint64 bound = 4 * standin::RecordListModel::PageSize;
    QCOMPARE(shownCount(), count);
    QCOMPARE(selectedRow(), QString::number(count - 1));
    QVERIFY(records()->viewport()->rect().contains(lineRect(count - 1).center()));
    QCOMPARE(shown(count - 1, 1), QStringLiteral("the last one"));
    QVERIFY2(model->recordsRead() <= bound, qPrintable(QString::number(model->recordsRead())));
    // The Row column fits the highest number, not only those on show.
    QVERIFY(records()->horizontalHeader()->sectionSize(0)
            > records()->fontMetrics().horizontalAdvance(QString::number(count - 1)));

    // The service moves the current record to the middle, and a key to the
    // top: each shows there at once, and is read there alone.
    call(protocol::ControlPath, protocol::ControlInterface, QStringLiteral("Select"),
         {QVariant::fromValue<qint32>(count / 2)});
    QCOMPARE(selectedRow(), QString::number(count / 2));
    QVERIFY(records()->viewport()->rect().contains(lineRect(count / 2).center()));
    QCOMPARE(shown(count / 2, 1), QStringLiteral("the middle one"));
    QTest::keyClick(records(), Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(service_->currentRow(), 0);
    QTRY_COMPARE(events_.seen.size(), 2);
    QCOMPARE(events_.seen.at(1).args, QVariantList{QVariant::fromValue<qint32>(0)});
    QCoreApplication::processEvents();
    QVERIFY2(model->recordsRead() <= 3 * bound, qPrintable(QString::number(model->recordsRead())));

    // Refresh counts the records again and shows one added meanwhile.
    StandinDatabase(db()).addRecord("added beside");
    window_->findChild<QAction *>(QStringLiteral("refreshAction"))->trigger();
    QCOMPARE(shownCount(), count + 1);
    QCOMPARE(shown(count, 1), QStringLiteral("added beside"));
    QCOMPARE(selectedRow(), QStringLiteral("0"));
    QCoreApplication::processEvents();
    QVERIFY2(model->recordsRead() <= 5 * bound, qPrintable(QString::number(model->recordsRead())));
}

void TestStandinWindow::commandsForChosenView_data()
{
    QTest::addColumn<int>("view");
    QTest::addColumn<bool>("large");
    QTest::addColumn<QStringList>("toolbar"); // command names, in order
    QTest::addColumn<QStringList>("menu");

    // Registered in the order Zeta, Alpha, Mid, Ghost (see the test body).
    QTest::newRow("Contacts") << 1 << false << QStringList{"Zeta", "Alpha"} << QStringList{"Zeta", "Mid"};
    QTest::newRow("Contacts, large icons") << 1 << true << QStringList{"Zeta", "Alpha"} << QStringList{"Zeta", "Mid"};
    QTest::newRow("Contact List") << 2 << false << QStringList{} << QStringList{"Alpha"};
    QTest::newRow("Groups: nothing") << 3 << false << QStringList{} << QStringList{};
    QTest::newRow("E-mail") << 6 << false << QStringList{"Mid", "Ghost"} << QStringList{};
    QTest::newRow("E-mail, large icons") << 6 << true << QStringList{"Mid", "Ghost"} << QStringList{};
}

void TestStandinWindow::commandsForChosenView()
{
    QFETCH(int, view);
    QFETCH(bool, large);
    QFETCH(QStringList, toolbar);
    QFETCH(QStringList, menu);
    serve();

    const QString small = sourceFile(QStringLiteral("resources/Pennaroc.ico"));
    const QString big = sourceFile(QStringLiteral("resources/Pennaroc32.ico"));
    const QString missing = dir_->filePath(QStringLiteral("missing.ico"));
    registerCommand(QStringLiteral("Zeta"), QStringLiteral("&Zeta"), QStringLiteral("Zeta tip"), small, big);
    registerCommand(QStringLiteral("Alpha"), QStringLiteral("Alpha"), QStringLiteral("Alpha tip"), big, small);
    registerCommand(QStringLiteral("Mid"), QStringLiteral("Mid caption"), QStringLiteral("Mid tip"), small, big);
    registerCommand(QStringLiteral("Ghost"), QStringLiteral("Ghost"), QStringLiteral("Ghost tip"), missing, missing);
    registerCommand(QStringLiteral("Unplaced"), QStringLiteral("Unplaced"), QStringLiteral("-"), small, big);
    const auto place = [this](const char *member, int v, const QString &name) {
        const QDBusMessage reply = call(protocol::AuxCommandsPath, protocol::AuxCommandsInterface,
                                        QString::fromLatin1(member), {n16(v), name});
        QCOMPARE(reply.arguments().value(0).toInt(), 0);
    };
    // Placed out of registration order on purpose.
    place("AddAuxCommandToToolbar", 1, QStringLiteral("Alpha"));
    place("AddAuxCommandToToolbar", 1, QStringLiteral("Zeta"));
    place("AddAuxCommandToToolsMenu", 1, QStringLiteral("Mid"));
    place("AddAuxCommandToToolsMenu", 1, QStringLiteral("Zeta"));
    place("AddAuxCommandToToolsMenu", 2, QStringLiteral("Alpha"));
    place("AddAuxCommandToToolbar", 6, QStringLiteral("Mid"));
    place("AddAuxCommandToToolbar", 6, QStringLiteral("Ghost"));
    // Placed and taken away again.
    place("AddAuxCommandToToolbar", 3, QStringLiteral("Zeta"));
    place("RemoveAuxCommandFromToolbar", 3, QStringLiteral("Zeta"));

    auto *chooser = window_->findChild<QComboBox *>(QStringLiteral("viewChooser"));
    QCOMPARE(chooser->count(), 6);
    QCOMPARE(chooser->itemText(view - 1), StandinWindow::viewName(qint16(view)));
    chooser->setCurrentIndex(view - 1);
    QCOMPARE(window_->chosenView(), qint16(view));
    if (large)
        window_->findChild<QAction *>(QStringLiteral("largeIcons"))->setChecked(true);

    const QHash<QString, QStringList> expected{
        // name -> caption, tooltip, icon, large icon
        {QStringLiteral("Zeta"), {QStringLiteral("&Zeta"), QStringLiteral("Zeta tip"), small, big}},
        {QStringLiteral("Alpha"), {QStringLiteral("Alpha"), QStringLiteral("Alpha tip"), big, small}},
        {QStringLiteral("Mid"), {QStringLiteral("Mid caption"), QStringLiteral("Mid tip"), small, big}},
        {QStringLiteral("Ghost"), {QStringLiteral("Ghost"), QStringLiteral("Ghost tip"), missing, missing}},
    };
    const auto check = [&](const QList<QAction *> &actions, const QStringList &names) {
        QStringList got;
        for (QAction *a : actions)
            got << a->property("commandName").toString();
        QCOMPARE(got, names);
        for (QAction *a : actions) {
            const QStringList values = expected.value(a->property("commandName").toString());
            QCOMPARE(a->text(), values.at(0));
            QCOMPARE(a->toolTip(), values.at(1));
            const QString iconFile = large ? values.at(3) : values.at(2);
            QCOMPARE(a->property("iconFile").toString(), iconFile);
            if (iconFile == missing) {
                QVERIFY(a->icon().isNull());
            } else {
                // The .ico file is really read: its one image has its own size.
                const QList<QSize> sizes = a->icon().availableSizes();
                QCOMPARE(sizes.size(), 1);
                QCOMPARE(sizes.first(), iconFile == big ? QSize(32, 32) : QSize(16, 16));
            }
        }
    };
    check(toolbarActions(), toolbar);
    check(menuActions(), menu);
    const int iconSize = large ? 32 : 16;
    QCOMPARE(window_->findChild<QToolBar *>(QStringLiteral("commandBar"))->iconSize(), QSize(iconSize, iconSize));

    // Back to small icons and to the Contacts view: the first view's commands
    // with their small icons, whatever was shown before.
    window_->findChild<QAction *>(QStringLiteral("largeIcons"))->setChecked(false);
    chooser->setCurrentIndex(0);
    QCOMPARE(toolbarActions().size(), 2);
    QCOMPARE(toolbarActions().at(0)->property("iconFile").toString(), small);
    QCOMPARE(toolbarActions().at(1)->property("iconFile").toString(), big);
    QCOMPARE(menuActions().size(), 2);
}

void TestStandinWindow::registrationAndPlacementOverTheBusShow()
{
    serve();
    QVERIFY(toolbarActions().isEmpty());
    QVERIFY(menuActions().isEmpty());
    registerCommand(QStringLiteral("Pennaroc"), QStringLiteral("Pennaroc"), QStringLiteral("Attach a file"),
                    sourceFile(QStringLiteral("resources/Pennaroc.ico")),
                    sourceFile(QStringLiteral("resources/Pennaroc32.ico")));
    // Registered but not placed: nothing shows.
    QVERIFY(toolbarActions().isEmpty());
    call(protocol::AuxCommandsPath, protocol::AuxCommandsInterface, QStringLiteral("AddAuxCommandToToolbar"),
         {n16(1), QStringLiteral("Pennaroc")});
    QCOMPARE(toolbarActions().size(), 1);
    QVERIFY(menuActions().isEmpty());
    call(protocol::AuxCommandsPath, protocol::AuxCommandsInterface, QStringLiteral("AddAuxCommandToToolsMenu"),
         {n16(1), QStringLiteral("Pennaroc")});
    QCOMPARE(menuActions().size(), 1);
    // A placement in another view does not show in this one.
    call(protocol::AuxCommandsPath, protocol::AuxCommandsInterface, QStringLiteral("AddAuxCommandToToolbar"),
         {n16(4), QStringLiteral("Pennaroc")});
    QCOMPARE(toolbarActions().size(), 1);
    // A new registration under the same name replaces the shown values.
    registerCommand(QStringLiteral("Pennaroc"), QStringLiteral("Pennaroc 2"), QStringLiteral("New tip"),
                    QString(), QString());
    QCOMPARE(toolbarActions().size(), 1);
    QCOMPARE(toolbarActions().at(0)->text(), QStringLiteral("Pennaroc 2"));
    QCOMPARE(toolbarActions().at(0)->toolTip(), QStringLiteral("New tip"));
    QVERIFY(toolbarActions().at(0)->icon().isNull());
    call(protocol::AuxCommandsPath, protocol::AuxCommandsInterface, QStringLiteral("RemoveAuxCommandFromToolbar"),
         {n16(1), QStringLiteral("Pennaroc")});
    QVERIFY(toolbarActions().isEmpty());
    QCOMPARE(menuActions().size(), 1);
}

void TestStandinWindow::activatingStartsExecutableInItsFolder()
{
    // Spaces and a quote in both paths: a shell in between would split or
    // misread them.
    const QString folder = dir_->filePath(QStringLiteral("work folder 'q'"));
    const QString binFolder = dir_->filePath(QStringLiteral("bin dir"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QDir().mkpath(binFolder));
    const QString record = dir_->filePath(QStringLiteral("started.txt"));
    const QString script = binFolder + QStringLiteral("/record folder.sh");
    {
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\npwd -P > \"$0.tmp\" && mv \"$0.tmp\" '" + record.toUtf8() + "'\n");
        f.close();
        QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    serve();
    registerCommand(QStringLiteral("Recorder"), QStringLiteral("Recorder"), QStringLiteral("tip"), QString(),
                    QString(), script, folder);
    call(protocol::AuxCommandsPath, protocol::AuxCommandsInterface, QStringLiteral("AddAuxCommandToToolsMenu"),
         {n16(1), QStringLiteral("Recorder")});
    QCOMPARE(menuActions().size(), 1);
    menuActions().first()->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(record), 10000);
    QFile f(record);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()).trimmed(), QFileInfo(folder).canonicalFilePath());
    QVERIFY(platform_.messages.empty());
    QVERIFY(window_->isVisible());
}

void TestStandinWindow::commandThatCannotStart_data()
{
    QTest::addColumn<QString>("executable"); // DIR stands for the test folder
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no such program") << "DIR/missing program" << "DIR" << "The program cannot be started.";
    QTest::newRow("not executable") << "DIR/act.db" << "DIR" << "The program cannot be started.";
    QTest::newRow("a folder") << "DIR" << "DIR" << "The program cannot be started.";
    QTest::newRow("no program registered") << "" << "DIR" << "No program is registered for it.";
    QTest::newRow("folder does not exist") << "/bin/true" << "DIR/gone" << "Its folder does not exist.";
}

void TestStandinWindow::commandThatCannotStart()
{
    QFETCH(QString, executable);
    QFETCH(QString, folder);
    QFETCH(QString, reason);
    executable.replace(QLatin1String("DIR"), dir_->path());
    folder.replace(QLatin1String("DIR"), dir_->path());
    serve();
    registerCommand(QStringLiteral("Broken"), QStringLiteral("Broken tool"), QStringLiteral("tip"), QString(),
                    QString(), executable, folder);
    call(protocol::AuxCommandsPath, protocol::AuxCommandsInterface, QStringLiteral("AddAuxCommandToToolbar"),
         {n16(1), QStringLiteral("Broken")});
    QCOMPARE(toolbarActions().size(), 1);
    toolbarActions().first()->trigger();
    QCOMPARE(platform_.messages.size(), std::size_t(1));
    const auto &message = platform_.messages.front();
    QCOMPARE(QString::fromStdU16String(message.text), QStringLiteral("The command \"Broken tool\" could not be started.\r%1\r\rProgram: %2\rFolder: %3")
                               .arg(reason, executable, folder));
    QCOMPARE(message.style, 48);
    QCOMPARE(message.title, std::u16string(u"ACT! stand-in"));
    // The window stays, and still serves.
    QVERIFY(window_->isVisible());
    QVERIFY(service_->database());
    QCOMPARE(call(protocol::SalesPath, protocol::SalesListInterface, QStringLiteral("GetCurrentRow")).type(),
             QDBusMessage::ReplyMessage);
}

void TestStandinWindow::closeClosesDatabase_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Close button") << "button";
    QTest::newRow("File menu Close") << "menu";
    QTest::newRow("window's close box") << "closebox";
}

void TestStandinWindow::closeClosesDatabase()
{
    QFETCH(QString, how);
    serve();
    if (how == QLatin1String("button"))
        QTest::mouseClick(window_->findChild<QPushButton *>(QStringLiteral("closeButton")), Qt::LeftButton);
    else if (how == QLatin1String("menu"))
        window_->findChild<QAction *>(QStringLiteral("closeAction"))->trigger();
    else
        window_->close();
    QVERIFY(!window_->isVisible());
    QVERIFY(!service_->database());
    QTRY_COMPARE(events_.seen.size(), 1);
    QCOMPARE(events_.seen.at(0).id, qint16(10));
    QVERIFY(events_.seen.at(0).args.isEmpty());
    // The database file keeps what it had.
    QCOMPARE(StandinDatabase(db()).recordCount(), 3);
}

// ---------------------------------------------------------------------------
// The executable.

void TestStandinWindow::executableWithWindowEnds_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("act-standin close") << "close";
    QTest::newRow("SIGTERM") << "sigterm";
    QTest::newRow("command 150") << "command";
}

void TestStandinWindow::executableWithWindowEnds()
{
    QFETCH(QString, how);
    testsupport::ServingStandin standin;
    QVERIFY(standin.start({db(), QStringLiteral("--window"), QStringLiteral("--current"), QStringLiteral("1")}));
    // It serves as the headless one does.
    const QDBusMessage row = call(protocol::SalesPath, protocol::SalesListInterface, QStringLiteral("GetCurrentRow"));
    QCOMPARE(row.arguments().value(0).toInt(), 1);
    if (how == QLatin1String("close")) {
        QCOMPARE(testsupport::runStandin({QStringLiteral("close")}).exitCode, 0);
    } else if (how == QLatin1String("sigterm")) {
        standin.signal(SIGTERM);
    } else {
        const QDBusMessage reply =
            call(protocol::ApplicationPath, protocol::ApplicationInterface, QStringLiteral("Command"), {n16(150)});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    }
    QVERIFY(standin.waitForExit());
    QCOMPARE(standin.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(standin.process().exitCode(), 0);
    QTRY_COMPARE(events_.seen.size(), 1);
    QCOMPARE(events_.seen.at(0).id, qint16(10));
    QVERIFY(testsupport::waitForStandinOnBus(false));
}

void TestStandinWindow::displayOnlyNeededForWindow()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));

    // Without --window the service needs no display at all.
    QProcess headless;
    headless.setProcessEnvironment(env);
    headless.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    headless.start(testsupport::standinExecutable(), {QStringLiteral("serve"), db()});
    QVERIFY(headless.waitForStarted());
    QVERIFY(testsupport::waitForStandinOnBus(true));
    QCOMPARE(testsupport::runStandin({QStringLiteral("close")}).exitCode, 0);
    QVERIFY(headless.waitForFinished(5000));
    QCOMPARE(headless.exitCode(), 0);
    QVERIFY(testsupport::waitForStandinOnBus(false));

    // With it, and no display, a plain refusal instead of an abort.
    QProcess windowed;
    windowed.setProcessEnvironment(env);
    windowed.start(testsupport::standinExecutable(), {QStringLiteral("serve"), db(), QStringLiteral("--window")});
    QVERIFY(windowed.waitForFinished(5000));
    QCOMPARE(windowed.exitStatus(), QProcess::NormalExit);
    QCOMPARE(windowed.exitCode(), 1);
    QCOMPARE(windowed.readAllStandardError(),
             QByteArray("act-standin: --window needs a display, and neither DISPLAY nor WAYLAND_DISPLAY is set\n"));
    QVERIFY(!testsupport::standinOnBus());
}

QTEST_MAIN(TestStandinWindow)
#include "tst_StandinWindow.moc"
