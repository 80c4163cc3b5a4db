#include "platform/qt/Twips.h"

#include <QtTest>

class TestTwips : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pixels_data();
    void pixels();
};

void TestTwips::pixels_data()
{
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("one pixel") << 15 << 1;
    QTest::newRow("just under half") << 7 << 0;
    QTest::newRow("just over half") << 8 << 1;
    QTest::newRow("1.47 rounds down") << 22 << 1;
    QTest::newRow("1.53 rounds up") << 23 << 2;
    QTest::newRow("main window width") << 5265 << 351;
    QTest::newRow("main window height") << 2520 << 168;
    QTest::newRow("negative rounds away from zero") << -8 << -1;
}

void TestTwips::pixels()
{
    QFETCH(int, twips);
    QFETCH(int, pixels);
    QCOMPARE(platform::px(twips), pixels);
    QCOMPARE(platform::twipsRect(twips, 0, twips, 15), QRect(pixels, 0, pixels, 1));
}

QTEST_GUILESS_MAIN(TestTwips)
#include "tst_Twips.moc"
