#include "host/Failure.h"
#include "settings/qt/QtSettingsStore.h"
#include "tests/settings/qt/IsolatedSettings.h"

#include <QtTest>

#include <functional>

using settings::SettingsStore;

namespace {

// The store as the program uses it, through the portable interface, with
// the tests' texts converted at the edge.
struct Store {
    static QString read(const QString &application, const QString &section, const QString &key,
                        const QString &valueIfMissing)
    {
        settings::QtSettingsStore store;
        SettingsStore &portable = store;
        return QString::fromStdU16String(portable.read(application.toStdU16String(), section.toStdU16String(),
                                                       key.toStdU16String(), valueIfMissing.toStdU16String()));
    }

    static void write(const QString &application, const QString &section, const QString &key, const QString &text)
    {
        settings::QtSettingsStore store;
        SettingsStore &portable = store;
        portable.write(application.toStdU16String(), section.toStdU16String(), key.toStdU16String(),
                       text.toStdU16String());
    }

    static QString fileName(const QString &application)
    {
        return settings::QtSettingsStore::fileName(application.toStdU16String());
    }
};

QString descriptionOf(const host::Failure &failure)
{
    return QString::fromStdU16String(failure.description());
}

const QString App = QStringLiteral("Pennaroc");
const QString Section = QStringLiteral("Settings");
const QString Key = QStringLiteral("DefaultFolder");

QString storeFile()
{
    return Store::fileName(App);
}

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void fileLivesInUserConfigFolder();
    void roundTrip_data();
    void roundTrip();
    void missingEntryGivesReadersOwnValue_data();
    void missingEntryGivesReadersOwnValue();
    void emptyEntryIsNotMissing();
    void laterWriteReplacesEarlier();
    void otherEntriesSurviveWrite();
    void readSeesWriteOfAnotherCopy();
    void otherFilesAreIgnored_data();
    void otherFilesAreIgnored();
    void handEditedList();
    void damagedLinesDoNotBlockTheEntry();
    void unreadableStoreFails();
    void unwritableStoreFails();
    void emptyAddressIsRefused_data();
    void emptyAddressIsRefused();
};

void TestSettingsStore::init()
{
    QFile::remove(storeFile());
}

void TestSettingsStore::cleanup()
{
    QFileInfo info(storeFile());
    if (info.isDir())
        QDir(info.filePath()).removeRecursively();
    QFile::remove(storeFile());
    QDir(testsupport::IsolatedSettings::current->systemConfig()).removeRecursively();
}

void TestSettingsStore::fileLivesInUserConfigFolder()
{
    Store::write(App, Section, Key, QStringLiteral("/srv/files"));
    const QString expected = testsupport::IsolatedSettings::current->userConfig() + "/Pennaroc/Pennaroc.conf";
    QCOMPARE(storeFile(), expected);
    QVERIFY(QFileInfo(expected).isFile());
    QFile file(expected);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY2(content.contains("[Settings]\nDefaultFolder=/srv/files\n"), content.constData());
}

void TestSettingsStore::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain folder") << "/home/ann/Documents";
    QTest::newRow("empty") << "";
    QTest::newRow("leading and trailing blanks") << "  /home/ann/Documents  ";
    QTest::newRow("blanks only") << "   ";
    QTest::newRow("tabs, CR and LF") << "\t/a\r\nb\r/c\n";
    QTest::newRow("starts with @") << "@Variant(\\0\\0\\0\\x7f)";
    QTest::newRow("starts with @@") << "@@x";
    QTest::newRow("commas") << "a, b,c";
    QTest::newRow("quotes") << "\"quoted\" and 'single'";
    QTest::newRow("INI punctuation") << "[Settings]\nk=v ;c #d";
    QTest::newRow("backslashes") << "C:\\Documents and Settings\\ann\\";
    QTest::newRow("looks like a number") << "0012";
    QTest::newRow("looks like a boolean") << "true";
    QTest::newRow("accents and CJK") << QString::fromUtf8("/home/zoë/文件");
    QTest::newRow("beyond the BMP") << QString::fromUtf8("/tmp/\xF0\x9F\x93\x8E clip");
    QTest::newRow("long") << QString(100000, QLatin1Char('d'));
}

void TestSettingsStore::roundTrip()
{
    QFETCH(QString, text);
    Store::write(App, Section, Key, text);
    QCOMPARE(Store::read(App, Section, Key, QStringLiteral("<missing>")), text);
}

void TestSettingsStore::missingEntryGivesReadersOwnValue_data()
{
    QTest::addColumn<bool>("fileExists");
    QTest::newRow("no file yet") << false;
    QTest::newRow("file without the entry") << true;
}

void TestSettingsStore::missingEntryGivesReadersOwnValue()
{
    QFETCH(bool, fileExists);
    if (fileExists)
        Store::write(App, Section, QStringLiteral("Other"), QStringLiteral("x"));
    // The dialog offers the program's folder, the attach action no folder.
    QCOMPARE(Store::read(App, Section, Key, QStringLiteral("/opt/pennaroc")), QStringLiteral("/opt/pennaroc"));
    QCOMPARE(Store::read(App, Section, Key, QString()), QString());
}

void TestSettingsStore::emptyEntryIsNotMissing()
{
    Store::write(App, Section, Key, QString());
    QCOMPARE(Store::read(App, Section, Key, QStringLiteral("/opt/pennaroc")), QString());
}

void TestSettingsStore::laterWriteReplacesEarlier()
{
    Store::write(App, Section, Key, QStringLiteral("/first"));
    Store::write(App, Section, Key, QStringLiteral("/second/longer"));
    Store::write(App, Section, Key, QStringLiteral("/3"));
    QCOMPARE(Store::read(App, Section, Key, QString()), QStringLiteral("/3"));
}

void TestSettingsStore::otherEntriesSurviveWrite()
{
    writeFile(storeFile(), "[Other]\nKey=kept\n\n[Settings]\nNeighbour=also kept\n");
    Store::write(App, Section, Key, QStringLiteral("/new"));
    QCOMPARE(Store::read(App, QStringLiteral("Other"), QStringLiteral("Key"), QString()), QStringLiteral("kept"));
    QCOMPARE(Store::read(App, Section, QStringLiteral("Neighbour"), QString()), QStringLiteral("also kept"));
    QCOMPARE(Store::read(App, Section, Key, QString()), QStringLiteral("/new"));
}

void TestSettingsStore::readSeesWriteOfAnotherCopy()
{
    // Another running copy rewrites the file between two reads of this one.
    Store::write(App, Section, Key, QStringLiteral("/mine"));
    QCOMPARE(Store::read(App, Section, Key, QString()), QStringLiteral("/mine"));
    writeFile(storeFile(), "[Settings]\nDefaultFolder=/written/by/the/other/copy\n");
    QCOMPARE(Store::read(App, Section, Key, QString()), QStringLiteral("/written/by/the/other/copy"));
    QFile::remove(storeFile());
    QCOMPARE(Store::read(App, Section, Key, QStringLiteral("<missing>")), QStringLiteral("<missing>"));
}

void TestSettingsStore::otherFilesAreIgnored_data()
{
    QTest::addColumn<QString>("file");
    const auto *isolated = testsupport::IsolatedSettings::current;
    QTest::newRow("system-wide file") << isolated->systemConfig() + "/Pennaroc/Pennaroc.conf";
    QTest::newRow("system-wide shared file") << isolated->systemConfig() + "/Pennaroc.conf";
    QTest::newRow("user's shared file") << isolated->userConfig() + "/Pennaroc.conf";
}

void TestSettingsStore::otherFilesAreIgnored()
{
    QFETCH(QString, file);
    writeFile(file, "[Settings]\nDefaultFolder=/from/elsewhere\n");
    QCOMPARE(Store::read(App, Section, Key, QStringLiteral("<missing>")), QStringLiteral("<missing>"));
    Store::write(App, Section, QStringLiteral("Other"), QStringLiteral("x"));
    QCOMPARE(Store::read(App, Section, Key, QStringLiteral("<missing>")), QStringLiteral("<missing>"));
    QFile::remove(file);
}

void TestSettingsStore::handEditedList()
{
    writeFile(storeFile(), "[Settings]\nDefaultFolder=/a,b\n");
    QCOMPARE(Store::read(App, Section, Key, QString()), QStringLiteral("/a,b"));
}

void TestSettingsStore::damagedLinesDoNotBlockTheEntry()
{
    writeFile(storeFile(), "[Settings\nthis line is no entry\n[Settings]\nDefaultFolder=/still/here\n");
    QCOMPARE(Store::read(App, Section, Key, QString()), QStringLiteral("/still/here"));
    Store::write(App, Section, Key, QStringLiteral("/rewritten"));
    QCOMPARE(Store::read(App, Section, Key, QString()), QStringLiteral("/rewritten"));
}

void TestSettingsStore::unreadableStoreFails()
{
    // A folder where the file should be cannot be opened, even by root.
    QVERIFY(QDir().mkpath(storeFile()));
    try {
        Store::read(App, Section, Key, QStringLiteral("/opt/pennaroc"));
        QFAIL("the read did not fail");
    } catch (const host::Failure &failure) {
        QCOMPARE(failure.number(), SettingsStore::AccessFailure);
        QVERIFY2(descriptionOf(failure).contains(storeFile()), qPrintable(descriptionOf(failure)));
    }
}

void TestSettingsStore::unwritableStoreFails()
{
    QVERIFY(QDir().mkpath(storeFile()));
    try {
        Store::write(App, Section, Key, QStringLiteral("/lost"));
        QFAIL("the write did not fail");
    } catch (const host::Failure &failure) {
        QCOMPARE(failure.number(), SettingsStore::AccessFailure);
        QVERIFY2(descriptionOf(failure).contains(QStringLiteral("written")), qPrintable(descriptionOf(failure)));
    }
}

void TestSettingsStore::emptyAddressIsRefused_data()
{
    QTest::addColumn<QString>("application");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::newRow("application") << "" << "Settings" << "DefaultFolder";
    QTest::newRow("section") << "Pennaroc" << "" << "DefaultFolder";
    QTest::newRow("key") << "Pennaroc" << "Settings" << "";
}

void TestSettingsStore::emptyAddressIsRefused()
{
    QFETCH(QString, application);
    QFETCH(QString, section);
    QFETCH(QString, key);
    // An invalid procedure call, as the old runtime raised it; nothing is
    // written.
    const auto number = [](const std::function<void()> &call) {
        try {
            call();
        } catch (const host::Failure &failure) {
            return failure.number();
        }
        return 0;
    };
    QCOMPARE(number([&] { Store::write(application, section, key, QStringLiteral("x")); }), host::Failure::InvalidCall);
    QCOMPARE(number([&] { Store::read(application, section, key, QString()); }), host::Failure::InvalidCall);
    if (application.isEmpty())
        QCOMPARE(number([&] { Store::fileName(application); }), host::Failure::InvalidCall);
    QVERIFY(!QFileInfo::exists(storeFile()));
}

PENNAROC_SETTINGS_TEST_MAIN(TestSettingsStore)
#include "tst_SettingsStore.moc"
