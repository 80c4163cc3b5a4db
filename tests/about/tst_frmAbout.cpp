#include "about/frmAbout.h"
#include "platform/LinkLabel.h"
#include "tests/support/ScriptedPlatform.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <memory>

class TestFrmAbout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();

    void versionText_data();
    void versionText();

    void window();
    void controls_data();
    void controls();
    void fontsAndSeparator();
    void makerAndNoticeBetweenVersionAndSeparator();

    void closes_data();
    void closes();

    void mailLinkStartsMessage();
    void tabReachesTheAddress();
    void addressByKeyboard_data();
    void addressByKeyboard();
    void onlyLeftClickOnAddressSendsMail_data();
    void onlyLeftClickOnAddressSendsMail();
    void failedMailLinkShowsNothing();

private:
    std::unique_ptr<frmAbout> open();

    testsupport::ScriptedPlatform desktop_;
};

namespace {

// A desktop with no mail program: every shell request fails.
class NoMailProgram : public testsupport::ScriptedPlatform {
public:
    bool ShellExecute(QWidget *owner, const QString &operation, const QString &target, const QString &parameters,
                      const QString &directory, int showCommand) override
    {
        ScriptedPlatform::ShellExecute(owner, operation, target, parameters, directory, showCommand);
        return false;
    }
};

} // namespace

void TestFrmAbout::init()
{
    desktop_ = testsupport::ScriptedPlatform();
    desktop_.programFolder = QStringLiteral("/opt/pennaroc");
}

std::unique_ptr<frmAbout> TestFrmAbout::open()
{
    auto box = std::make_unique<frmAbout>(desktop_);
    box->show();
    QApplication::setActiveWindow(box.get());
    if (!QTest::qWaitForWindowActive(box.get()))
        qWarning("the About box did not become active");
    return box;
}

void TestFrmAbout::versionText_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("expected");
    QTest::newRow("this version") << 1 << 0 << 0 << "Version 1.0.0";
    QTest::newRow("revision 12") << 1 << 0 << 12 << "Version 1.0.12";
    QTest::newRow("no fill or leading zeros") << 10 << 2 << 305 << "Version 10.2.305";
    QTest::newRow("all zero") << 0 << 0 << 0 << "Version 0.0.0";
    QTest::newRow("large revision") << 1 << 0 << 65535 << "Version 1.0.65535";
}

void TestFrmAbout::versionText()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    QFETCH(QString, expected);
    QCOMPARE(aboutVersionText(major, minor, revision), expected);
}

void TestFrmAbout::window()
{
    frmAbout box(desktop_);
    QCOMPARE(box.windowTitle(), QStringLiteral("Pennaroc"));
    QCOMPARE(box.size(), QSize(382, 219));
    QCOMPARE(box.minimumSize(), box.maximumSize());
    const Qt::WindowFlags flags = box.windowFlags();
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
    QVERIFY(box.cmdOK->isDefault());
    // Centred on the screen.
    const QPoint centre = box.screen()->availableGeometry().center();
    QVERIFY2(qAbs(box.geometry().center().x() - centre.x()) <= 1 && qAbs(box.geometry().center().y() - centre.y()) <= 1,
             "not centred on the screen");
}

void TestFrmAbout::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("geometry");
    // Twips / 15, rounded.
    QTest::newRow("lblTitle") << "lblTitle" << "Pennaroc" << QRect(70, 16, 259, 24);
    QTest::newRow("lblVersion") << "lblVersion" << "Version 1.0.0" << QRect(70, 52, 259, 15);
    QTest::newRow("lblProblem") << "lblProblem" << "Any problem, question or suggestion, please contact:"
                                << QRect(16, 176, 257, 17);
    QTest::newRow("lblMail") << "lblMail" << "support@veltrane.example" << QRect(16, 192, 161, 17);
    QTest::newRow("cmdOK") << "cmdOK" << "Close" << QRect(299, 136, 73, 25);
    QTest::newRow("lblCopyright") << "lblCopyright" << QString::fromUtf8("\xC2\xA9 2026 Veltrane") << QRect();
    QTest::newRow("lblFreeware") << "lblFreeware" << "This program is freeware." << QRect();
}

void TestFrmAbout::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, geometry);
    frmAbout box(desktop_);
    auto *control = box.findChild<QWidget *>(name);
    QVERIFY(control);
    const bool isLabel = qobject_cast<QLabel *>(control) || qobject_cast<platform::LinkLabel *>(control);
    if (geometry.isValid()) {
        QCOMPARE(control->pos(), geometry.topLeft());
        QCOMPARE(control->height(), geometry.height());
        // A label may grow to the right to fit this desktop's font.
        if (isLabel)
            QVERIFY(control->width() >= geometry.width());
        else
            QCOMPARE(control->width(), geometry.width());
    }
    // No text is cut, and nothing reaches past the window's right edge.
    const int needed = isLabel
        ? control->sizeHint().width()
        : control->fontMetrics().horizontalAdvance(text);
    QVERIFY2(needed <= control->width(), qPrintable(QString::number(needed)));
    QVERIFY(control->geometry().right() < box.width());
    if (auto *button = qobject_cast<QPushButton *>(control))
        QCOMPARE(button->text(), text);
    else if (auto *link = qobject_cast<platform::LinkLabel *>(control))
        QCOMPARE(link->text(), text);
    else
        QCOMPARE(qobject_cast<QLabel *>(control)->text(), text);
}

void TestFrmAbout::fontsAndSeparator()
{
    frmAbout box(desktop_);
    QCOMPARE(box.lblTitle->font().pointSizeF(), 13.5);
    QVERIFY(box.lblTitle->font().bold());
    QVERIFY(!box.lblTitle->font().underline());
    QCOMPARE(box.lblMail->font().pointSizeF(), 8.25);
    QVERIFY(box.lblMail->font().bold());
    QVERIFY(box.lblMail->font().underline());
    QCOMPARE(box.lblMail->cursor().shape(), Qt::PointingHandCursor);

    QCOMPARE(box.Line1->frameShape(), QFrame::HLine);
    QCOMPARE(box.Line1->geometry(), QRect(4, 120, 375, 1));
    QCOMPARE(box.Line1->palette().color(QPalette::WindowText), QColor(128, 128, 128));
}

void TestFrmAbout::makerAndNoticeBetweenVersionAndSeparator()
{
    frmAbout box(desktop_);
    const int versionBottom = box.lblVersion->geometry().bottom();
    int previousBottom = versionBottom;
    for (QLabel *label : {box.lblCopyright, box.lblFreeware}) {
        QVERIFY(label->geometry().top() > previousBottom);
        QVERIFY(label->geometry().bottom() < box.Line1->geometry().top());
        QCOMPARE(label->geometry().left(), box.lblVersion->geometry().left());
        previousBottom = label->geometry().bottom();
    }
}

void TestFrmAbout::closes_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("click on Close") << "click";
    QTest::newRow("Enter") << "enter";
    QTest::newRow("keypad Enter") << "keypad";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("Space on Close") << "space";
    QTest::newRow("close box") << "close";
}

void TestFrmAbout::closes()
{
    QFETCH(QString, how);
    auto box = open();
    QCOMPARE(QApplication::focusWidget(), box->cmdOK);
    if (how == QLatin1String("click"))
        QTest::mouseClick(box->cmdOK, Qt::LeftButton);
    else if (how == QLatin1String("enter"))
        QTest::keyClick(box->cmdOK, Qt::Key_Return);
    else if (how == QLatin1String("keypad"))
        QTest::keyClick(box->cmdOK, Qt::Key_Enter, Qt::KeypadModifier);
    else if (how == QLatin1String("escape"))
        QTest::keyClick(box->cmdOK, Qt::Key_Escape);
    else if (how == QLatin1String("space"))
        QTest::keyClick(box->cmdOK, Qt::Key_Space);
    else
        QVERIFY(box->close());
    QVERIFY(!box->isVisible());
    QVERIFY(desktop_.shellRequests.isEmpty());
    QVERIFY(desktop_.messages.isEmpty());
}

void TestFrmAbout::mailLinkStartsMessage()
{
    auto box = open();
    QTest::mouseClick(box->lblMail, Qt::LeftButton);
    QCOMPARE(desktop_.shellRequests.size(), 1);
    const QString mismatch =
        testsupport::linkRequestMismatch(desktop_.shellRequests[0], QStringLiteral("mailto:support@veltrane.example"));
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QVERIFY(box->isVisible());
    // A second click sends a second request.
    QTest::mouseClick(box->lblMail, Qt::LeftButton);
    QCOMPARE(desktop_.shellRequests.size(), 2);
}

void TestFrmAbout::tabReachesTheAddress()
{
    auto box = open();
    // Close first, then the address; the other texts are no stops.
    QCOMPARE(QApplication::focusWidget(), box->cmdOK);
    QTest::keyClick(box->cmdOK, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), box->lblMail);
    QTest::keyClick(box->lblMail, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), box->cmdOK);
    QTest::keyClick(box->cmdOK, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), box->lblMail);
    for (QLabel *label : {box->lblTitle, box->lblVersion, box->lblCopyright, box->lblFreeware, box->lblProblem})
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    QVERIFY(desktop_.shellRequests.isEmpty());
    QVERIFY(box->isVisible());
}

void TestFrmAbout::addressByKeyboard_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("requests");
    QTest::addColumn<bool>("stays");
    QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier) << 1 << true;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 1 << true;
    QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier) << 1 << true;
    // Escape is still the box's own: it closes, sending nothing.
    QTest::newRow("Escape") << int(Qt::Key_Escape) << int(Qt::NoModifier) << 0 << false;
}

void TestFrmAbout::addressByKeyboard()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, requests);
    QFETCH(bool, stays);
    auto box = open();
    QTest::keyClick(box->cmdOK, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), box->lblMail);
    QSignalSpy closed(box.get(), &QDialog::finished);
    QTest::keyClick(box->lblMail, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    // The same request as a click, and Enter is no press of Close.
    QCOMPARE(desktop_.shellRequests.size(), requests);
    if (requests) {
        const QString mismatch = testsupport::linkRequestMismatch(desktop_.shellRequests[0],
                                                                  QStringLiteral("mailto:support@veltrane.example"));
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }
    QCOMPARE(box->isVisible(), stays);
    QCOMPARE(closed.size(), stays ? 0 : 1);
    QVERIFY(desktop_.messages.isEmpty());
}

void TestFrmAbout::onlyLeftClickOnAddressSendsMail_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("expected");
    QTest::newRow("left click on the address") << "lblMail" << int(Qt::LeftButton) << 1;
    QTest::newRow("right click on the address") << "lblMail" << int(Qt::RightButton) << 0;
    QTest::newRow("click on the line above") << "lblProblem" << int(Qt::LeftButton) << 0;
}

void TestFrmAbout::onlyLeftClickOnAddressSendsMail()
{
    QFETCH(QString, target);
    QFETCH(int, button);
    QFETCH(int, expected);
    auto box = open();
    QTest::mouseClick(box->findChild<QWidget *>(target), Qt::MouseButton(button));
    QCOMPARE(desktop_.shellRequests.size(), expected);
    QVERIFY(box->isVisible());
}

void TestFrmAbout::failedMailLinkShowsNothing()
{
    NoMailProgram noMail;
    frmAbout box(noMail);
    box.show();
    QTest::mouseClick(box.lblMail, Qt::LeftButton);
    QCOMPARE(noMail.shellRequests.size(), 1);
    QVERIFY(noMail.messages.isEmpty());
    QVERIFY(box.isVisible());
}

QTEST_MAIN(TestFrmAbout)
#include "tst_frmAbout.moc"
