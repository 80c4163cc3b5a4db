// The stand-in's command line, as scripts and people use it.

#include "standin/StandinDatabase.h"
#include "tests/host/StandinProcess.h"

#include <QTemporaryDir>
#include <QtTest>

using testsupport::runStandin;
using testsupport::ServingStandin;

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
    void commandsOnFreshDatabaseIsEmpty();
    void selectAndCloseWithoutStandin_data();
    void selectAndCloseWithoutStandin();
    void secondServeIsRefused();
    void utf8Validator_data();
    void utf8Validator();

private:
    QString db() const { return dir_->filePath(QStringLiteral("act.db")); }
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

QTEST_GUILESS_MAIN(TestStandinCommandLine)
#include "tst_StandinCommandLine.moc"
