// Qt's own texts in the user's language: the message box's buttons follow
// the locale, the program's own words do not.

#include "platform/PlatformServices.h"
#include "platform/qt/QtPlatformServices.h"
#include "platform/qt/QtTranslations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

class TestQtTranslations : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup();
    void messageBoxButtons_data();
    void messageBoxButtons();
};

void TestQtTranslations::cleanup()
{
    QLocale::setDefault(QLocale::c());
    platform::loadQtTranslations();
}

void TestQtTranslations::messageBoxButtons_data()
{
    QTest::addColumn<QString>("earlier"); // a locale loaded before, or empty
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("yes");
    QTest::addColumn<QString>("no");
    QTest::newRow("French") << "" << "fr_FR" << true << "&Oui" << "&Non";
    QTest::newRow("French of Canada") << "" << "fr_CA" << true << "&Oui" << "&Non";
    QTest::newRow("German") << "" << "de_DE" << true << "&Ja" << "&Nein";
    QTest::newRow("C") << "" << "C" << false << "&Yes" << "&No";
    QTest::newRow("a language Qt has no texts for") << "" << "kl_GL" << false << "&Yes" << "&No";
    // The translation loaded before goes: nothing of it stays.
    QTest::newRow("French, then C") << "fr_FR" << "C" << false << "&Yes" << "&No";
    QTest::newRow("German, then French") << "de_DE" << "fr_FR" << true << "&Oui" << "&Non";
}

void TestQtTranslations::messageBoxButtons()
{
    QFETCH(QString, earlier);
    QFETCH(QString, locale);
    QFETCH(bool, found);
    QFETCH(QString, yes);
    QFETCH(QString, no);
    if (!earlier.isEmpty()) {
        QLocale::setDefault(QLocale(earlier));
        QVERIFY(platform::loadQtTranslations());
    }
    QLocale::setDefault(QLocale(locale));
    QCOMPARE(platform::loadQtTranslations(), found);

    const QString text = QStringLiteral("Do you want to re-start it now?");
    QString shownText, shownTitle;
    QStringList buttons;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        shownText = box->text();
        shownTitle = box->windowTitle();
        for (QAbstractButton *button : box->buttons())
            buttons << button->text();
        box->button(QMessageBox::No)->click();
    });
    platform::QtPlatformServices desktop;
    QCOMPARE(desktop.MsgBox(text.toStdU16String(), platform::vbYesNo, u"Pennaroc"), int(platform::vbNo));
    buttons.sort();
    QStringList expected{yes, no};
    expected.sort();
    QCOMPARE(buttons, expected);
    QCOMPARE(shownText, text);
    QCOMPARE(shownTitle, QStringLiteral("Pennaroc"));
}

QTEST_MAIN(TestQtTranslations)
#include "tst_QtTranslations.moc"
