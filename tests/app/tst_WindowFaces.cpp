// Every window of the program is drawn in one face: the one the windows'
// fixed layouts were made for, or the same stand-in for it everywhere.

#include "about/frmAbout.h"
#include "app/Form1.h"
#include "integrate/clsFrmIntegrate.h"
#include "platform/WindowFont.h"
#include "settings/frmLocation.h"
#include "tests/support/FakeHost.h"
#include "tests/support/ScriptedPlatform.h"

#include <QFontInfo>
#include <QMenu>
#include <QtTest>

#include <memory>

class TestWindowFaces : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void oneFamilyEverywhere_data();
    void oneFamilyEverywhere();
};

void TestWindowFaces::oneFamilyEverywhere_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("main window") << "Form1";
    QTest::newRow("integration dialog") << "clsFrmIntegrate";
    QTest::newRow("default location dialog") << "frmLocation";
    QTest::newRow("About box") << "frmAbout";
}

void TestWindowFaces::oneFamilyEverywhere()
{
    QFETCH(QString, window);
    testsupport::FakeHost host;
    testsupport::ScriptedPlatform desktop;
    std::unique_ptr<QWidget> shown;
    if (window == u"Form1")
        shown = std::make_unique<app::Form1>(host, desktop);
    else if (window == u"clsFrmIntegrate")
        shown = std::make_unique<clsFrmIntegrate>(host, desktop, [] {});
    else if (window == u"frmLocation")
        shown = std::make_unique<frmLocation>(desktop);
    else
        shown = std::make_unique<frmAbout>(desktop);
    shown->show();
    QVERIFY(QTest::qWaitForWindowExposed(shown.get()));

    const QString family = QFontInfo(platform::windowFont()).family();
    QVERIFY(!family.isEmpty());
    QCOMPARE(QFontInfo(shown->font()).family(), family);
    // Down to the last control, bold and underlined ones included. The
    // menus, which size themselves to their items as message boxes do,
    // take the desktop's menu face.
    const QList<QWidget *> controls = shown->findChildren<QWidget *>();
    QVERIFY(controls.size() >= 5);
    for (QWidget *control : controls) {
        if (qobject_cast<QMenu *>(control))
            continue;
        const QString name = control->objectName().isEmpty() ? QString::fromLatin1(control->metaObject()->className())
                                                             : control->objectName();
        QVERIFY2(QFontInfo(control->font()).family() == family,
                 qPrintable(name + QStringLiteral(": ") + QFontInfo(control->font()).family()));
    }
}

QTEST_MAIN(TestWindowFaces)
#include "tst_WindowFaces.moc"
