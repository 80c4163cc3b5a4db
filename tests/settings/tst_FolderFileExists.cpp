#include "settings/modFolderFileExists.h"

#include <QtTest>

class TestFolderFileExists : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void exists_data();
    void exists();

private:
    QTemporaryDir dir_;
};

void TestFolderFileExists::initTestCase()
{
    QVERIFY(dir_.isValid());
    QDir root(dir_.path());
    QVERIFY(root.mkpath(QStringLiteral("folder")));
    QVERIFY(root.mkpath(QStringLiteral("spaced folder ")));
    const QStringList files{QStringLiteral("file.txt"), QStringLiteral(" lead.txt"), QStringLiteral("trail.txt "),
                            QString::fromUtf8("r\xC3\xA9sum\xC3\xA9 \xF0\x9F\x93\x8E.pdf")};
    for (const QString &name : files) {
        QFile file(root.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QFile::link(root.filePath(QStringLiteral("folder")), root.filePath(QStringLiteral("folder-link"))));
    QVERIFY(QFile::link(root.filePath(QStringLiteral("gone")), root.filePath(QStringLiteral("dangling-link"))));
}

void TestFolderFileExists::exists_data()
{
    QTest::addColumn<QString>("relative"); // to the scratch folder; an absolute path when it starts with /
    QTest::addColumn<bool>("expected");

    QTest::newRow("empty text") << "" << false;
    QTest::newRow("root of the file system") << "/" << true;
    QTest::newRow("existing folder") << "folder" << true;
    QTest::newRow("existing folder with trailing separator") << "folder/" << true;
    QTest::newRow("existing file") << "file.txt" << true;
    QTest::newRow("file named beyond the BMP") << QString::fromUtf8("r\xC3\xA9sum\xC3\xA9 \xF0\x9F\x93\x8E.pdf") << true;
    QTest::newRow("link to a folder") << "folder-link" << true;
    QTest::newRow("path to nothing") << "missing.txt" << false;
    QTest::newRow("inside a missing folder") << "missing/file.txt" << false;
    QTest::newRow("link to nothing") << "dangling-link" << false;
    // Blanks are part of the name: the path is tested unchanged.
    QTest::newRow("file with a leading blank") << " lead.txt" << true;
    QTest::newRow("leading blank trimmed away") << "lead.txt" << false;
    QTest::newRow("file with a trailing blank") << "trail.txt " << true;
    QTest::newRow("trailing blank trimmed away") << "trail.txt" << false;
    QTest::newRow("blank added to an existing file") << "file.txt " << false;
    QTest::newRow("folder with a trailing blank") << "spaced folder " << true;
    QTest::newRow("trailing blank trimmed from a folder") << "spaced folder" << false;
}

void TestFolderFileExists::exists()
{
    QFETCH(QString, relative);
    QFETCH(bool, expected);
    QString path = relative;
    if (!relative.isEmpty() && !relative.startsWith(QLatin1Char('/')))
        path = dir_.path() + QLatin1Char('/') + relative;
    QCOMPARE(FolderFileExists(path), expected);
}

QTEST_GUILESS_MAIN(TestFolderFileExists)
#include "tst_FolderFileExists.moc"
