// The stand-in's command line, as scripts and people use it.

#include "standin/StandinDatabase.h"
#include "tests/host/StandinProcess.h"

#include <QDBusMessage>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

using testsupport::runStandin;
using testsupport::ServingStandin;
using testsupport::StandinRun;

namespace {

// Every entry of a folder with its bytes: what must be the same after a
// refused command.
QMap<QString, QByteArray> folderContents(const QString &folder)
{
    QMap<QString, QByteArray> contents;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        QFile file(dir.filePath(name));
        contents.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(not a readable file)"));
    }
    return contents;
}

bool runTool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A small tmpfs mounted on a folder for the life of this object (root only).
class TmpfsMount {
public:
    TmpfsMount(const QString &where, const QString &size) : where_(where)
    {
        mounted_ = runTool(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                     QStringLiteral("size=") + size, QStringLiteral("tmpfs"), where});
    }
    ~TmpfsMount()
    {
        if (mounted_ && !runTool(QStringLiteral("umount"), {where_}))
            runTool(QStringLiteral("umount"), {QStringLiteral("-l"), where_});
    }
    TmpfsMount(const TmpfsMount &) = delete;
    TmpfsMount &operator=(const TmpfsMount &) = delete;
    bool mounted() const { return mounted_; }
    bool setReadOnly(bool readOnly)
    {
        return runTool(QStringLiteral("mount"), {QStringLiteral("-o"),
                                                 readOnly ? QStringLiteral("remount,ro") : QStringLiteral("remount,rw"),
                                                 where_});
    }

private:
    QString where_;
    bool mounted_ = false;
};

// Writes file until the file system holding it has no byte left.
bool fillDisk(const QString &file)
{
    const QByteArray name = QFile::encodeName(file);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const QByteArray chunk(65536, 'f');
    while (::write(fd, chunk.constData(), size_t(chunk.size())) > 0) {
    }
    while (::write(fd, "f", 1) > 0) {
    }
    ::close(fd);
    struct statvfs fs {};
    return ::statvfs(name.constData(), &fs) == 0 && fs.f_bavail == 0;
}

// Root reads and writes whatever the permission bits say; the unprivileged
// user does not. Without root the test itself is such a user.
bool runsAsRoot() { return ::geteuid() == 0; }

StandinRun runStandinAsNobody(const QStringList &args)
{
    if (!runsAsRoot())
        return runStandin(args);
    return runStandin(args, {},
                      {QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                       QStringLiteral("--clear-groups")});
}

// An SQLite connection of the test's own, as another program would hold one.
class Connection {
public:
    explicit Connection(const QString &file)
    {
        if (sqlite3_open(QFile::encodeName(file).constData(), &db_) != SQLITE_OK) {
            sqlite3_close(db_);
            db_ = nullptr;
        }
    }
    ~Connection() { sqlite3_close(db_); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    bool exec(const char *sql) { return db_ && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

private:
    sqlite3 *db_ = nullptr;
};

// The places where only the permission bits stand in the way.
bool needsNobody(const QString &place)
{
    return place == QLatin1String("unreadable file") || place == QLatin1String("write-protected file")
        || place == QLatin1String("folder not writable") || place == QLatin1String("folder not searchable");
}

} // namespace

class TestStandinCommandLine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void createRefusesExistingFile();
    void addAndDetails_data();
    void addAndDetails();
    void rowsAreZeroBasedAndStable();
    void refusals_data();
    void refusals();
    void usage_data();
    void usage();
    void helpAndVersion_data();
    void helpAndVersion();
    void commandsOnFreshDatabaseIsEmpty();
    void selectAndCloseWithoutStandin_data();
    void selectAndCloseWithoutStandin();
    void secondServeIsRefused();
    void currentRecordIsKept_data();
    void currentRecordIsKept();
    void utf8Validator_data();
    void utf8Validator();
    void unopenableDatabase_data();
    void unopenableDatabase();
    void createInUnluckyPlace_data();
    void createInUnluckyPlace();

private:
    QString db() const { return dir_->filePath(QStringLiteral("act.db")); }
    // Mounts a tmpfs on folder when the place needs one, and checks that the
    // place can be made here; returns why not, or nothing.
    QString enterPlace(const QString &place, const QString &folder, std::unique_ptr<TmpfsMount> &mount);
    // Makes folder the unlucky place, holding a database with one record
    // "kept" unless withDatabase is false.
    void preparePlace(const QString &place, const QString &folder, bool withDatabase, TmpfsMount *mount);
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestStandinCommandLine::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TestStandinCommandLine::createRefusesExistingFile()
{
    const auto first = runStandin({QStringLiteral("create"), db()});
    QCOMPARE(first.exitCode, 0);
    QCOMPARE(first.out, QByteArray());
    QVERIFY(QFileInfo::exists(db()));
    const qint64 size = QFileInfo(db()).size();

    const auto second = runStandin({QStringLiteral("create"), db()});
    QCOMPARE(second.exitCode, 1);
    QCOMPARE(second.err.count('\n'), 1);
    QVERIFY(second.err.endsWith('\n'));
    QVERIFY(second.err.contains("exists"));
    QCOMPARE(QFileInfo(db()).size(), size);
    // The file still serves as a database.
    QCOMPARE(runStandin({QStringLiteral("add"), db(), QStringLiteral("x")}).out, QByteArray("0\n"));
}

void TestStandinCommandLine::addAndDetails_data()
{
    QTest::addColumn<QString>("mode"); // "argument", "omitted", "stdin"
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("argument") << "argument" << QByteArray("Call back in May");
    QTest::newRow("argument with brackets") << "argument" << QByteArray("Offer [[/home/u/a b.pdf]]");
    QTest::newRow("omitted is empty") << "omitted" << QByteArray();
    QTest::newRow("stdin empty") << "stdin" << QByteArray();
    QTest::newRow("stdin CR LF tab") << "stdin" << QByteArray("line one\r\nline two\rthree\n\tfour\t");
    QTest::newRow("stdin trailing newline kept") << "stdin" << QByteArray("text\n");
    QTest::newRow("stdin beyond the BMP") << "stdin" << QByteArray("smile \xF0\x9F\x98\x80 note \xF0\x9D\x84\x9E");
    QTest::newRow("stdin BOM first") << "stdin" << QByteArray("\xEF\xBB\xBFstarts with a BOM");
    QTest::newRow("stdin accents") << "stdin" << QByteArray("R\xC3\xA9sum\xC3\xA9 \xE2\x82\xAC");
    QTest::newRow("stdin only a dash") << "stdin" << QByteArray("-");
    QTest::newRow("stdin large") << "stdin" << QByteArray(300000, 'x') + "\xE2\x82\xAC";
}

void TestStandinCommandLine::addAndDetails()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, text);
    QCOMPARE(runStandin({QStringLiteral("create"), db()}).exitCode, 0);

    QStringList args{QStringLiteral("add"), db()};
    QByteArray input;
    if (mode == QLatin1String("argument"))
        args << QString::fromUtf8(text);
    else if (mode == QLatin1String("stdin")) {
        args << QStringLiteral("-");
        input = text;
    }
    const auto added = runStandin(args, input);
    QCOMPARE(added.exitCode, 0);
    QCOMPARE(added.out, QByteArray("0\n"));

    const auto details = runStandin({QStringLiteral("details"), db(), QStringLiteral("0")});
    QCOMPARE(details.exitCode, 0);
    QCOMPARE(details.err, QByteArray());
    QCOMPARE(details.out, text);
}

void TestStandinCommandLine::rowsAreZeroBasedAndStable()
{
    QCOMPARE(runStandin({QStringLiteral("create"), db()}).exitCode, 0);
    for (int i = 0; i < 3; ++i) {
        const auto added = runStandin({QStringLiteral("add"), db(), QStringLiteral("record %1").arg(i)});
        QCOMPARE(added.out, QByteArray::number(i) + '\n');
    }
    // A refused add takes no row.
    QCOMPARE(runStandin({QStringLiteral("add"), db(), QStringLiteral("-")}, "\xFF").exitCode, 1);
    QCOMPARE(runStandin({QStringLiteral("add"), db()}).out, QByteArray("3\n"));
    QCOMPARE(runStandin({QStringLiteral("details"), db(), QStringLiteral("1")}).out, QByteArray("record 1"));
    QCOMPARE(runStandin({QStringLiteral("details"), db(), QStringLiteral("3")}).out, QByteArray());
}

void TestStandinCommandLine::refusals_data()
{
    QTest::addColumn<QStringList>("args"); // DB stands for the database path
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("messagePart");

    const QStringList addStdin{QStringLiteral("add"), QStringLiteral("DB"), QStringLiteral("-")};
    QTest::newRow("stdin lone byte") << addStdin << QByteArray("ok \xFF") << QByteArray("not valid UTF-8");
    QTest::newRow("stdin overlong slash") << addStdin << QByteArray("\xC0\xAF") << QByteArray("not valid UTF-8");
    QTest::newRow("stdin encoded surrogate") << addStdin << QByteArray("\xED\xA0\x80") << QByteArray("not valid UTF-8");
    QTest::newRow("stdin cut short") << addStdin << QByteArray("euro \xE2\x82") << QByteArray("not valid UTF-8");
    QTest::newRow("stdin beyond U+10FFFF") << addStdin << QByteArray("\xF4\x90\x80\x80") << QByteArray("not valid UTF-8");
    QTest::newRow("stdin NUL") << addStdin << QByteArray("a\0b", 3) << QByteArray("NUL");
    QTest::newRow("argument not UTF-8")
        << QStringList{QStringLiteral("add"), QStringLiteral("DB"), QStringLiteral("LATIN1")} << QByteArray()
        << QByteArray("not valid UTF-8");
    QTest::newRow("details missing row")
        << QStringList{QStringLiteral("details"), QStringLiteral("DB"), QStringLiteral("5")} << QByteArray()
        << QByteArray("row 5");
    QTest::newRow("details row -1")
        << QStringList{QStringLiteral("details"), QStringLiteral("DB"), QStringLiteral("-1")} << QByteArray()
        << QByteArray("row -1");
    QTest::newRow("details row not a number")
        << QStringList{QStringLiteral("details"), QStringLiteral("DB"), QStringLiteral("first")} << QByteArray()
        << QByteArray("not a row number");
    QTest::newRow("add to missing file")
        << QStringList{QStringLiteral("add"), QStringLiteral("MISSING"), QStringLiteral("x")} << QByteArray()
        << QByteArray("no such database file");
    QTest::newRow("create in a folder that does not exist")
        << QStringList{QStringLiteral("create"), QStringLiteral("NOFOLDER")} << QByteArray()
        << QByteArray("cannot create the database");
    QTest::newRow("details of a file that is not ours")
        << QStringList{QStringLiteral("details"), QStringLiteral("FOREIGN"), QStringLiteral("0")} << QByteArray()
        << QByteArray("not a stand-in ACT! database");
    QTest::newRow("serve a file that is not ours")
        << QStringList{QStringLiteral("serve"), QStringLiteral("FOREIGN")} << QByteArray()
        << QByteArray("not a stand-in ACT! database");
    QTest::newRow("serve a foreign SQLite file")
        << QStringList{QStringLiteral("serve"), QStringLiteral("SQLITE")} << QByteArray()
        << QByteArray("not a stand-in ACT! database");
    QTest::newRow("serve with a current row that does not exist")
        << QStringList{QStringLiteral("serve"), QStringLiteral("DB"), QStringLiteral("--current"), QStringLiteral("4")}
        << QByteArray() << QByteArray("row 4");
}

void TestStandinCommandLine::refusals()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, messagePart);
    QCOMPARE(runStandin({QStringLiteral("create"), db()}).exitCode, 0);
    QCOMPARE(runStandin({QStringLiteral("add"), db(), QStringLiteral("kept")}).exitCode, 0);
    QFile foreign(dir_->filePath(QStringLiteral("foreign.db")));
    QVERIFY(foreign.open(QIODevice::WriteOnly));
    foreign.write("this is a text file, not a database\n");
    foreign.close();
    const QString sqlitePath = dir_->filePath(QStringLiteral("other.sqlite"));
    {
        // A real SQLite file made by someone else.
        QProcess p;
        p.start(QStringLiteral("sqlite3"), {sqlitePath, QStringLiteral("CREATE TABLE t(x);")});
        if (!p.waitForFinished(5000) || p.exitCode() != 0)
            QFile(sqlitePath).open(QIODevice::WriteOnly); // no sqlite3 tool: an empty file refuses alike
    }
    for (QString &a : args) {
        if (a == QLatin1String("DB"))
            a = db();
        else if (a == QLatin1String("MISSING"))
            a = dir_->filePath(QStringLiteral("missing.db"));
        else if (a == QLatin1String("FOREIGN"))
            a = foreign.fileName();
        else if (a == QLatin1String("SQLITE"))
            a = sqlitePath;
        else if (a == QLatin1String("NOFOLDER"))
            a = dir_->filePath(QStringLiteral("missing/act.db"));
    }

    testsupport::StandinRun run;
    if (args.contains(QLatin1String("LATIN1"))) {
        // An argument in Latin-1, byte for byte, which only a shell can pass.
        QProcess p;
        p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exec \"$0\" add \"$1\" \"$(printf 'caf\\351')\""),
                                            testsupport::standinExecutable(), db()});
        QVERIFY(p.waitForFinished(10000));
        run.exitCode = p.exitCode();
        run.out = p.readAllStandardOutput();
        run.err = p.readAllStandardError();
    } else {
        run = runStandin(args, input);
    }
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(run.err.contains(messagePart), run.err.constData());
    // Nothing was added, nothing changed.
    QCOMPARE(runStandin({QStringLiteral("details"), db(), QStringLiteral("0")}).out, QByteArray("kept"));
    QCOMPARE(runStandin({QStringLiteral("details"), db(), QStringLiteral("1")}).exitCode, 1);
    QVERIFY(!QFileInfo::exists(dir_->filePath(QStringLiteral("missing.db"))));
}

void TestStandinCommandLine::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate")};
    QTest::newRow("create without DB") << QStringList{QStringLiteral("create")};
    QTest::newRow("create with two") << QStringList{QStringLiteral("create"), QStringLiteral("a"), QStringLiteral("b")};
    QTest::newRow("add with too much") << QStringList{QStringLiteral("add"), QStringLiteral("a"), QStringLiteral("b"),
                                                       QStringLiteral("c")};
    QTest::newRow("details without row") << QStringList{QStringLiteral("details"), QStringLiteral("a")};
    QTest::newRow("select without row") << QStringList{QStringLiteral("select")};
    QTest::newRow("select not a number") << QStringList{QStringLiteral("select"), QStringLiteral("two")};
    QTest::newRow("select below -1") << QStringList{QStringLiteral("select"), QStringLiteral("-2")};
    QTest::newRow("close with argument") << QStringList{QStringLiteral("close"), QStringLiteral("now")};
    QTest::newRow("serve unknown option") << QStringList{QStringLiteral("serve"), QStringLiteral("--fast")};
    QTest::newRow("serve max-details not a number")
        << QStringList{QStringLiteral("serve"), QStringLiteral("--max-details"), QStringLiteral("many")};
    QTest::newRow("serve max-details missing") << QStringList{QStringLiteral("serve"), QStringLiteral("--max-details")};
    QTest::newRow("serve two databases")
        << QStringList{QStringLiteral("serve"), QStringLiteral("a"), QStringLiteral("b")};
    QTest::newRow("help after a command") << QStringList{QStringLiteral("close"), QStringLiteral("--help")};
    QTest::newRow("help with more") << QStringList{QStringLiteral("--help"), QStringLiteral("create")};
}

// --help and --version answer on standard output with status 0, with no
// display and no bus needed.
void TestStandinCommandLine::helpAndVersion_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QByteArray>("begins");
    for (const char *help : {"--help", "-h", "-?", "--help-all"})
        QTest::newRow(help) << QString::fromLatin1(help) << QByteArray("Usage: ");
    QTest::newRow("--version") << "--version" << QByteArray("act-standin 1.0.0\n");
    QTest::newRow("-v") << "-v" << QByteArray("act-standin 1.0.0\n");
}

void TestStandinCommandLine::helpAndVersion()
{
    QFETCH(QString, option);
    QFETCH(QByteArray, begins);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS"})
        env.remove(QString::fromLatin1(name));
    p.setProcessEnvironment(env);
    p.start(testsupport::standinExecutable(), {option});
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    const QByteArray out = p.readAllStandardOutput();
    QVERIFY2(out.startsWith(begins), out.constData());
    QCOMPARE(p.readAllStandardError(), QByteArray());
    if (begins.startsWith("Usage")) {
        // Every command is named.
        for (const char *command : {"create DB", "add DB", "details DB ROW", "serve [DB]", "select ROW", "close",
                                    "commands DB", "--version"})
            QVERIFY2(out.contains(command), command);
    } else {
        QCOMPARE(out, begins);
    }
}

void TestStandinCommandLine::usage()
{
    QFETCH(QStringList, args);
    const auto run = runStandin(args);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QByteArray());
    QVERIFY(run.err.startsWith("usage: act-standin"));
    QVERIFY(!testsupport::standinOnBus());
}

void TestStandinCommandLine::commandsOnFreshDatabaseIsEmpty()
{
    QCOMPARE(runStandin({QStringLiteral("create"), db()}).exitCode, 0);
    const auto run = runStandin({QStringLiteral("commands"), db()});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray());
}

void TestStandinCommandLine::selectAndCloseWithoutStandin_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("select") << QStringList{QStringLiteral("select"), QStringLiteral("0")};
    QTest::newRow("close") << QStringList{QStringLiteral("close")};
}

void TestStandinCommandLine::selectAndCloseWithoutStandin()
{
    QFETCH(QStringList, args);
    QVERIFY(!testsupport::standinOnBus());
    const auto run = runStandin(args);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QByteArray("act-standin: no stand-in ACT! runs on the session bus\n"));
}

void TestStandinCommandLine::secondServeIsRefused()
{
    QCOMPARE(runStandin({QStringLiteral("create"), db()}).exitCode, 0);
    ServingStandin first;
    QVERIFY(first.start({db()}));
    const auto second = runStandin({QStringLiteral("serve")});
    QCOMPARE(second.exitCode, 1);
    QVERIFY(second.err.contains("already runs"));
    // The first one still serves, and `close` ends it.
    const auto close = runStandin({QStringLiteral("close")});
    QCOMPARE(close.exitCode, 0);
    QVERIFY(first.waitForExit());
    QCOMPARE(first.process().exitCode(), 0);
}

// The database keeps its current record: serving it again without --current
// (as the desktop does when it reopens the database after a restart) makes
// the same record current again.
void TestStandinCommandLine::currentRecordIsKept_data()
{
    QTest::addColumn<QStringList>("first");  // options of the first serve
    QTest::addColumn<int>("select");         // selected while it serves; -2 for none
    QTest::addColumn<QStringList>("second"); // options of the second serve
    QTest::addColumn<int>("current");        // the second serve's current row
    QTest::newRow("given at the first start") << QStringList{"--current", "1"} << -2 << QStringList{} << 1;
    QTest::newRow("selected while serving") << QStringList{"--current", "1"} << 2 << QStringList{} << 2;
    QTest::newRow("selected, none given at start") << QStringList{} << 0 << QStringList{} << 0;
    QTest::newRow("none selected ever") << QStringList{} << -2 << QStringList{} << -1;
    QTest::newRow("none selected last") << QStringList{"--current", "2"} << -1 << QStringList{} << -1;
    QTest::newRow("--current wins over the kept one") << QStringList{"--current", "2"} << -2
                                                      << QStringList{"--current", "0"} << 0;
    QTest::newRow("a read-only serve keeps nothing") << QStringList{"--current", "1"} << -2
                                                     << QStringList{"--read-only", "--current", "2"} << 2;
}

void TestStandinCommandLine::currentRecordIsKept()
{
    QFETCH(QStringList, first);
    QFETCH(int, select);
    QFETCH(QStringList, second);
    QFETCH(int, current);
    QCOMPARE(runStandin({QStringLiteral("create"), db()}).exitCode, 0);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(runStandin({QStringLiteral("add"), db(), QStringLiteral("record %1").arg(i)}).exitCode, 0);
    const auto currentRow = [] {
        namespace protocol = host::dbus::protocol;
        const QDBusMessage reply = QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall(protocol::Service, protocol::SalesPath, protocol::SalesListInterface,
                                           QStringLiteral("GetCurrentRow")),
            QDBus::Block, 5000);
        return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
            ? reply.arguments().constFirst().toInt()
            : -100;
    };
    {
        ServingStandin standin;
        QVERIFY(standin.start(QStringList{db()} + first));
        if (select != -2)
            QCOMPARE(runStandin({QStringLiteral("select"), QString::number(select)}).exitCode, 0);
        QCOMPARE(runStandin({QStringLiteral("close")}).exitCode, 0);
        // Once close has its answer, the name is free for the next one.
        QVERIFY(!testsupport::standinOnBus());
        QVERIFY(standin.waitForExit());
    }
    ServingStandin again;
    QVERIFY(again.start(QStringList{db()} + second));
    QCOMPARE(currentRow(), current);
    if (second.contains(QStringLiteral("--read-only"))) {
        // What the read-only one was told is not kept either.
        QCOMPARE(runStandin({QStringLiteral("close")}).exitCode, 0);
        QVERIFY(again.waitForExit());
        QVERIFY(testsupport::waitForStandinOnBus(false));
        ServingStandin third;
        QVERIFY(third.start({db()}));
        QCOMPARE(currentRow(), 1);
    }
}

void TestStandinCommandLine::utf8Validator_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("where");
    QTest::newRow("empty") << QByteArray() << true << 0;
    QTest::newRow("ASCII") << QByteArray("abc\r\n") << true << 0;
    QTest::newRow("two, three, four bytes") << QByteArray("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80") << true << 0;
    QTest::newRow("U+10FFFF") << QByteArray("\xF4\x8F\xBF\xBF") << true << 0;
    QTest::newRow("U+FFFF") << QByteArray("\xEF\xBF\xBF") << true << 0;
    QTest::newRow("continuation first") << QByteArray("a\x80") << false << 1;
    QTest::newRow("overlong two") << QByteArray("ab\xC1\xBF") << false << 2;
    QTest::newRow("overlong three") << QByteArray("\xE0\x9F\xBF") << false << 0;
    QTest::newRow("overlong four") << QByteArray("\xF0\x8F\xBF\xBF") << false << 0;
    QTest::newRow("high surrogate") << QByteArray("\xED\xA0\x80") << false << 0;
    QTest::newRow("low surrogate") << QByteArray("x\xED\xBF\xBF") << false << 1;
    QTest::newRow("truncated at end") << QByteArray("\xF0\x9F\x98") << false << 0;
    QTest::newRow("bad continuation") << QByteArray("\xE2\x28\xA1") << false << 0;
    QTest::newRow("five-byte lead") << QByteArray("\xF8\x88\x80\x80\x80") << false << 0;
}

void TestStandinCommandLine::utf8Validator()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QFETCH(int, where);
    qsizetype at = -1;
    QCOMPARE(standin::isValidUtf8(bytes, &at), valid);
    if (!valid)
        QCOMPARE(at, qsizetype(where));
}

QString TestStandinCommandLine::enterPlace(const QString &place, const QString &folder,
                                           std::unique_ptr<TmpfsMount> &mount)
{
    if (place == QLatin1String("read-only mount") || place == QLatin1String("full disk")) {
        mount = std::make_unique<TmpfsMount>(folder, QStringLiteral("256k"));
        if (!mount->mounted())
            return QStringLiteral("cannot mount a tmpfs here (mounting needs root)");
    }
    if (needsNobody(place) && runsAsRoot()) {
        // The unprivileged user must reach the folder and run the program.
        QFile::setPermissions(dir_->path(), QFile::permissions(dir_->path()) | QFile::ReadGroup | QFile::ExeGroup
                                                | QFile::ReadOther | QFile::ExeOther);
        if (runStandinAsNobody({}).exitCode != 2)
            return QStringLiteral("cannot run act-standin as an unprivileged user (setpriv)");
    }
    return QString();
}

void TestStandinCommandLine::preparePlace(const QString &place, const QString &folder, bool withDatabase,
                                          TmpfsMount *mount)
{
    const QString file = folder + QStringLiteral("/act.db");
    if (withDatabase) {
        QCOMPARE(runStandin({QStringLiteral("create"), file}).exitCode, 0);
        QCOMPARE(runStandin({QStringLiteral("add"), file, QStringLiteral("kept")}).exitCode, 0);
    }

    const auto setMode = [](const QString &path, QFile::Permissions permissions) {
        QVERIFY(QFile::setPermissions(path, permissions));
    };
    const QFile::Permissions rw = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    const QFile::Permissions r = QFile::ReadOwner | QFile::ReadUser;
    const QFile::Permissions rwx = rw | QFile::ExeOwner | QFile::ExeUser;
    const QFile::Permissions othersRead = QFile::ReadGroup | QFile::ReadOther;
    const QFile::Permissions othersEnter = QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    const QFile::Permissions othersWrite = QFile::WriteGroup | QFile::WriteOther;
    if (place == QLatin1String("read-only mount")) {
        QVERIFY(mount->setReadOnly(true));
    } else if (place == QLatin1String("full disk")) {
        QVERIFY(fillDisk(folder + QStringLiteral("/filler")));
    } else if (place == QLatin1String("unreadable file")) {
        setMode(folder, rwx | othersEnter);
        setMode(file, rw);
    } else if (place == QLatin1String("write-protected file")) {
        // In a folder anyone may write to, where SQLite would quietly open
        // the file read-only and leave its journal files behind.
        setMode(folder, rwx | othersEnter | othersWrite);
        setMode(file, r | othersRead);
    } else if (place == QLatin1String("folder not writable")) {
        setMode(folder, rwx | othersEnter);
        if (withDatabase)
            setMode(file, rw | othersRead | othersWrite);
    } else if (place == QLatin1String("folder not searchable")) {
        setMode(folder, rwx);
        setMode(file, rw | othersRead | othersWrite);
    }
}

void TestStandinCommandLine::unopenableDatabase_data()
{
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("reason"); // what follows "act-standin: PATH: "

    const QString readOnly = QStringLiteral("cannot open the database: the file system is read-only");
    const QString full = QStringLiteral("cannot open the database: the disk is full");
    const QString denied = QStringLiteral("cannot open the database: permission denied");
    const QString locked = QStringLiteral("cannot open the database: the database is locked by another process");
    const QString notOurs = QStringLiteral("not a stand-in ACT! database");
    const QList<std::pair<QString, QString>> places{
        // A valid database in a place where it cannot be used.
        {QStringLiteral("read-only mount"), readOnly},
        {QStringLiteral("full disk"), full},
        {QStringLiteral("unreadable file"), denied},
        {QStringLiteral("write-protected file"), denied},
        {QStringLiteral("folder not writable"), denied},
        {QStringLiteral("folder not searchable"), denied},
        {QStringLiteral("locked by another process"), locked},
        // Files that are not a stand-in database at all.
        {QStringLiteral("text file"), notOurs},
        {QStringLiteral("empty file"), notOurs},
        {QStringLiteral("other SQLite database"), notOurs},
        {QStringLiteral("other SQLite database with a hot journal"), notOurs},
        {QStringLiteral("other SQLite database with an unfinished log"), notOurs},
    };
    for (const auto &[place, reason] : places) {
        for (const QString &command : {QStringLiteral("details"), QStringLiteral("serve")})
            QTest::addRow("%s, %s", qPrintable(place), qPrintable(command)) << place << command << reason;
    }
}

void TestStandinCommandLine::unopenableDatabase()
{
    QFETCH(QString, place);
    QFETCH(QString, command);
    QFETCH(QString, reason);
    const QString folder = dir_->filePath(QStringLiteral("place"));
    QVERIFY(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/act.db");
    const bool ours = !reason.startsWith(QLatin1String("not a"));

    std::unique_ptr<TmpfsMount> mount;
    const QString impossible = enterPlace(place, folder, mount);
    if (!impossible.isEmpty())
        QSKIP(qPrintable(impossible));
    preparePlace(place, folder, ours, mount.get());
    if (QTest::currentTestFailed())
        return;
    const bool asNobody = needsNobody(place);

    // Another program's files, made by SQLite in the states in which opening
    // them would change them.
    const QString work = dir_->filePath(QStringLiteral("work.sqlite"));
    if (place == QLatin1String("text file")) {
        QFile text(file);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("SQLite format 3 is what this text file says, and no more\n");
    } else if (place == QLatin1String("empty file")) {
        QVERIFY(QFile(file).open(QIODevice::WriteOnly));
    } else if (place == QLatin1String("other SQLite database")) {
        QVERIFY(Connection(file).exec("CREATE TABLE t(x); INSERT INTO t VALUES ('theirs');"));
    } else if (place == QLatin1String("other SQLite database with a hot journal")) {
        // A copy taken in the middle of a transaction whose pages already went
        // to the file: the journal is hot, and a writer would roll it back.
        Connection other(work);
        QVERIFY(other.exec("PRAGMA journal_mode=DELETE; PRAGMA cache_size=2; CREATE TABLE t(x);"
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
                           "INSERT INTO t SELECT randomblob(1000) FROM n;"
                           "BEGIN; UPDATE t SET x = randomblob(1000);"));
        QVERIFY(QFile::copy(work, file));
        QVERIFY(QFile::copy(work + QStringLiteral("-journal"), file + QStringLiteral("-journal")));
        QVERIFY(QFileInfo(file + QStringLiteral("-journal")).size() > 0);
    } else if (place == QLatin1String("other SQLite database with an unfinished log")) {
        // Writes still in the log, which closing the last connection would
        // copy into the file.
        Connection other(work);
        QVERIFY(other.exec("PRAGMA journal_mode=WAL; CREATE TABLE t(x); INSERT INTO t VALUES ('theirs');"));
        QVERIFY(QFile::copy(work, file));
        QVERIFY(QFile::copy(work + QStringLiteral("-wal"), file + QStringLiteral("-wal")));
        QVERIFY(QFileInfo(file + QStringLiteral("-wal")).size() > 0);
    }

    const QMap<QString, QByteArray> before = folderContents(folder);
    QVERIFY(before.contains(QStringLiteral("act.db")));
    StandinRun run;
    {
        std::unique_ptr<Connection> holder;
        if (place == QLatin1String("locked by another process")) {
            // Held until this connection closes; the stand-in gives up after
            // its busy timeout.
            holder = std::make_unique<Connection>(file);
            QVERIFY(holder->exec("PRAGMA locking_mode=EXCLUSIVE; SELECT count(*) FROM sales;"));
        }
        const QStringList args = command == QLatin1String("details")
            ? QStringList{command, file, QStringLiteral("0")}
            : QStringList{command, file};
        run = asNobody ? runStandinAsNobody(args) : runStandin(args);
    }
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(QString::fromUtf8(run.err), QStringLiteral("act-standin: %1: %2\n").arg(file, reason));
    QVERIFY(!testsupport::standinOnBus());
    // Not a byte changed, and nothing was left beside the file.
    QCOMPARE(folderContents(folder).keys(), before.keys());
    QVERIFY(folderContents(folder) == before);

    if (ours) {
        // Out of the unlucky place, the database serves as before.
        if (place == QLatin1String("read-only mount"))
            QVERIFY(mount->setReadOnly(false));
        else if (place == QLatin1String("full disk"))
            QVERIFY(QFile::remove(folder + QStringLiteral("/filler")));
        const auto details = runStandin({QStringLiteral("details"), file, QStringLiteral("0")});
        QCOMPARE(details.err, QByteArray());
        QCOMPARE(details.out, QByteArray("kept"));
    }
}

void TestStandinCommandLine::createInUnluckyPlace_data()
{
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("reason");
    QTest::newRow("read-only mount") << "read-only mount"
                                     << "cannot create the database: the file system is read-only";
    QTest::newRow("full disk") << "full disk" << "cannot create the database: the disk is full";
    QTest::newRow("folder not writable") << "folder not writable" << "cannot create the database: permission denied";
}

void TestStandinCommandLine::createInUnluckyPlace()
{
    QFETCH(QString, place);
    QFETCH(QString, reason);
    const QString folder = dir_->filePath(QStringLiteral("place"));
    QVERIFY(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/act.db");
    std::unique_ptr<TmpfsMount> mount;
    const QString impossible = enterPlace(place, folder, mount);
    if (!impossible.isEmpty())
        QSKIP(qPrintable(impossible));
    preparePlace(place, folder, false, mount.get());
    if (QTest::currentTestFailed())
        return;
    const bool asNobody = needsNobody(place);

    const QMap<QString, QByteArray> before = folderContents(folder);
    const QStringList args{QStringLiteral("create"), file};
    const StandinRun run = asNobody ? runStandinAsNobody(args) : runStandin(args);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(QString::fromUtf8(run.err), QStringLiteral("act-standin: %1: %2\n").arg(file, reason));
    // No half-made database, and no journal files.
    QCOMPARE(folderContents(folder).keys(), before.keys());
}

QTEST_GUILESS_MAIN(TestStandinCommandLine)
#include "tst_StandinCommandLine.moc"
