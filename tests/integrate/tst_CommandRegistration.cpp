#include "integrate/CommandRegistration.h"

#include <QtTest>

using integrate::PathForm;

Q_DECLARE_METATYPE(integrate::PathForm)

class TestCommandRegistration : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void values_data();
    void values();
    void baseName_data();
    void baseName();
};

void TestCommandRegistration::values_data()
{
    QTest::addColumn<PathForm>("form");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QStringList>("expected");

    const QString en = QStringLiteral("Click to launch ");
    QTest::newRow("windows, installed as F\\Pennaroc.exe")
        << PathForm::Windows << "F" << "Pennaroc.exe" << en
        << QStringList{"Pennaroc", "F\\Pennaroc.EXE", "F", "Pennaroc", "Click to launch Pennaroc",
                       "F\\Pennaroc.ico", "F\\Pennaroc32.ico", "1"};
    QTest::newRow("windows, .EXE upper case whatever the real case")
        << PathForm::Windows << "C:\\Program Files\\Pennaroc" << "pennaroc.Exe" << en
        << QStringList{"Pennaroc", "C:\\Program Files\\Pennaroc\\pennaroc.EXE", "C:\\Program Files\\Pennaroc",
                       "Pennaroc", "Click to launch Pennaroc", "C:\\Program Files\\Pennaroc\\pennaroc.ico",
                       "C:\\Program Files\\Pennaroc\\pennaroc32.ico", "1"};
    QTest::newRow("windows, folder given with slashes")
        << PathForm::Windows << "C:/Tools/Pen" << "Pennaroc.exe" << en
        << QStringList{"Pennaroc", "C:\\Tools\\Pen\\Pennaroc.EXE", "C:\\Tools\\Pen", "Pennaroc",
                       "Click to launch Pennaroc", "C:\\Tools\\Pen\\Pennaroc.ico", "C:\\Tools\\Pen\\Pennaroc32.ico",
                       "1"};
    QTest::newRow("windows, root folder gets no second backslash")
        << PathForm::Windows << "D:\\" << "Pennaroc.exe" << en
        << QStringList{"Pennaroc", "D:\\Pennaroc.EXE", "D:\\", "Pennaroc", "Click to launch Pennaroc",
                       "D:\\Pennaroc.ico", "D:\\Pennaroc32.ico", "1"};
    QTest::newRow("linux, real file name, no extension added")
        << PathForm::Linux << "/opt/pennaroc/bin" << "Pennaroc" << en
        << QStringList{"Pennaroc", "/opt/pennaroc/bin/Pennaroc", "/opt/pennaroc/bin", "Pennaroc",
                       "Click to launch Pennaroc", "/opt/pennaroc/bin/Pennaroc.ico",
                       "/opt/pennaroc/bin/Pennaroc32.ico", "1"};
    QTest::newRow("linux, a file name with an extension keeps it")
        << PathForm::Linux << "/home/u/my tools" << "Pennaroc.bin" << QStringLiteral("Cliquez pour lancer ")
        << QStringList{"Pennaroc", "/home/u/my tools/Pennaroc.bin", "/home/u/my tools", "Pennaroc",
                       "Cliquez pour lancer Pennaroc", "/home/u/my tools/Pennaroc.ico",
                       "/home/u/my tools/Pennaroc32.ico", "1"};
    QTest::newRow("linux, root folder")
        << PathForm::Linux << "/" << "Pennaroc" << QString()
        << QStringList{"Pennaroc", "/Pennaroc", "/", "Pennaroc", "Pennaroc", "/Pennaroc.ico", "/Pennaroc32.ico",
                       "1"};
}

void TestCommandRegistration::values()
{
    QFETCH(PathForm, form);
    QFETCH(QString, folder);
    QFETCH(QString, fileName);
    QFETCH(QString, prefix);
    QFETCH(QStringList, expected);
    const integrate::CommandRegistration r =
        integrate::registrationValues(QStringLiteral("Pennaroc"), prefix, folder, fileName, form);
    QCOMPARE(r.values(), expected);
    QCOMPARE(r.flags, qint16(1));
}

void TestCommandRegistration::baseName_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("base");
    QTest::newRow("extension") << "Pennaroc.exe" << "Pennaroc";
    QTest::newRow("none") << "Pennaroc" << "Pennaroc";
    QTest::newRow("only the last extension") << "pen.naroc.exe" << "pen.naroc";
    QTest::newRow("leading dot is no extension") << ".pennaroc" << ".pennaroc";
}

void TestCommandRegistration::baseName()
{
    QFETCH(QString, fileName);
    QFETCH(QString, base);
    QCOMPARE(integrate::executableBaseName(fileName), base);
}

QTEST_GUILESS_MAIN(TestCommandRegistration)
#include "tst_CommandRegistration.moc"
