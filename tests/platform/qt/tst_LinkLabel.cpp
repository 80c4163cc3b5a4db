#include "platform/qt/LinkLabel.h"
#include "platform/qt/WindowFont.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

// The link label: what activates it and what does not, its focus and focus
// frame, and what a screen reader is told about it.
class TestLinkLabel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void activation_data();
    void activation();
    void takesTheFocusByTabOnly();
    void drawnAsAPlainLabel_data();
    void drawnAsAPlainLabel();
    void focusFrameAroundTheText();
    void accessibleLink_data();
    void accessibleLink();
    void newText_data();
    void newText();

private:
    std::unique_ptr<QWidget> window;
    QPushButton *before = nullptr;
    platform::LinkLabel *link = nullptr;
};

void TestLinkLabel::init()
{
    window = std::make_unique<QWidget>();
    window->resize(240, 60);
    before = new QPushButton(QStringLiteral("Before"), window.get());
    before->setGeometry(4, 4, 80, 24);
    link = new platform::LinkLabel(QStringLiteral("www.example.org"), window.get());
    link->setGeometry(4, 36, 160, 17);
    link->setFont(platform::windowFont(8.25, false, true));
    window->show();
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
}

void TestLinkLabel::cleanup()
{
    window.reset();
}

void TestLinkLabel::activation_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("activations");
    QTest::newRow("left click") << "click" << 1;
    QTest::newRow("right click") << "right click" << 0;
    QTest::newRow("press inside, release outside") << "drag out" << 0;
    QTest::newRow("press outside, release inside") << "drag in" << 0;
    QTest::newRow("Return") << "Return" << 1;
    QTest::newRow("keypad Enter") << "Enter" << 1;
    QTest::newRow("Space") << "Space" << 1;
    QTest::newRow("Space held down") << "Space repeat" << 1;
    QTest::newRow("Shift+Space") << "Shift+Space" << 0;
    QTest::newRow("Ctrl+Return") << "Ctrl+Return" << 0;
    QTest::newRow("a letter") << "x" << 0;
    QTest::newRow("disabled, Return") << "disabled Return" << 0;
    QTest::newRow("disabled, click") << "disabled click" << 0;
}

void TestLinkLabel::activation()
{
    QFETCH(QString, input);
    QFETCH(int, activations);
    QSignalSpy activated(link, &platform::LinkLabel::activated);
    if (input.startsWith(u"disabled"))
        link->setEnabled(false);
    else
        link->setFocus(Qt::TabFocusReason);
    const QPoint inside = link->rect().center();
    const QPoint outside(-5, -5);
    if (input.endsWith(u"click")) {
        QTest::mouseClick(link, input.startsWith(u"right") ? Qt::RightButton : Qt::LeftButton, {}, inside);
    } else if (input == u"drag out") {
        QTest::mousePress(link, Qt::LeftButton, {}, inside);
        QTest::mouseRelease(link, Qt::LeftButton, {}, outside);
    } else if (input == u"drag in") {
        QTest::mousePress(before, Qt::LeftButton);
        QTest::mouseRelease(link, Qt::LeftButton, {}, inside);
    } else if (input.endsWith(u"Return")) {
        QTest::keyClick(link, Qt::Key_Return, input.startsWith(u"Ctrl") ? Qt::ControlModifier : Qt::NoModifier);
    } else if (input == u"Enter") {
        QTest::keyClick(link, Qt::Key_Enter, Qt::KeypadModifier);
    } else if (input == u"Space") {
        QTest::keyClick(link, Qt::Key_Space);
    } else if (input == u"Space repeat") {
        QTest::keyPress(link, Qt::Key_Space);
        for (int i = 0; i < 3; ++i) {
            QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
            QApplication::sendEvent(link, &repeat);
        }
        QTest::keyRelease(link, Qt::Key_Space);
    } else if (input == u"Shift+Space") {
        QTest::keyClick(link, Qt::Key_Space, Qt::ShiftModifier);
    } else {
        QTest::keyClick(link, Qt::Key_X);
    }
    QCOMPARE(activated.size(), activations);
}

void TestLinkLabel::takesTheFocusByTabOnly()
{
    before->setFocus();
    // A click opens the link but leaves the focus where it was.
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), before);
    QTest::keyClick(before, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), link);
    QTest::keyClick(link, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), before);
    QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
}

void TestLinkLabel::drawnAsAPlainLabel_data()
{
    QTest::addColumn<int>("alignment");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("top left") << int(Qt::AlignLeft | Qt::AlignTop) << true;
    QTest::newRow("centred") << int(Qt::AlignCenter) << true;
    QTest::newRow("right, disabled") << int(Qt::AlignRight | Qt::AlignVCenter) << false;
}

// Without the focus, the link looks exactly like a label with its text,
// font, place and alignment, and its size hint is the label's.
void TestLinkLabel::drawnAsAPlainLabel()
{
    QFETCH(int, alignment);
    QFETCH(bool, enabled);
    auto *label = new QLabel(link->text(), window.get());
    label->setTextFormat(Qt::PlainText);
    for (QWidget *w : {static_cast<QWidget *>(link), static_cast<QWidget *>(label)}) {
        w->setGeometry(QRect(4, 36, 160, 17));
        w->setFont(platform::windowFont(8.25, false, true));
        w->setEnabled(enabled);
    }
    link->setAlignment(Qt::Alignment(alignment));
    label->setAlignment(Qt::Alignment(alignment));
    QCOMPARE(link->alignment(), Qt::Alignment(alignment));
    label->show();
    before->setFocus();
    QCOMPARE(link->grab().toImage(), label->grab().toImage());
    QCOMPARE(link->sizeHint(), label->sizeHint());
}

void TestLinkLabel::focusFrameAroundTheText()
{
    before->setFocus();
    const QImage plain = link->grab().toImage();
    link->setFocus(Qt::TabFocusReason);
    const QImage focused = link->grab().toImage();
    QCOMPARE(focused.size(), plain.size());

    // Something changes, and only on the frame around the text.
    const QRect text = link->textRect();
    QVERIFY(link->rect().contains(text));
    QVERIFY(text.width() >= link->fontMetrics().horizontalAdvance(link->text()));
    const QRect frame = text.adjusted(-1, 0, 1, 0) & link->rect();
    int changed = 0;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            if (plain.pixel(x, y) == focused.pixel(x, y))
                continue;
            ++changed;
            const bool onFrame = x == frame.left() || x == frame.right() || y == frame.top() || y == frame.bottom();
            QVERIFY2(onFrame, qPrintable(QStringLiteral("(%1, %2) changed inside the frame").arg(x).arg(y)));
        }
    }
    QVERIFY2(changed > text.width() / 2, qPrintable(QString::number(changed)));

    // And it goes with the focus.
    before->setFocus();
    QCOMPARE(link->grab().toImage(), plain);
}

void TestLinkLabel::accessibleLink_data()
{
    QTest::addColumn<QString>("accessibleName");
    QTest::addColumn<QString>("expectedName");
    QTest::newRow("named by its text") << QString() << "www.example.org";
    QTest::newRow("a name of its own") << "The example site" << "The example site";
}

void TestLinkLabel::accessibleLink()
{
    QFETCH(QString, accessibleName);
    QFETCH(QString, expectedName);
    link->setAccessibleName(accessibleName);
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(link);
    QVERIFY(face);
    QCOMPARE(face->role(), QAccessible::Link);
    QCOMPARE(face->text(QAccessible::Name), expectedName);
    QVERIFY(face->state().focusable);

    QAccessibleActionInterface *actions = face->actionInterface();
    QVERIFY(actions);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    QCOMPARE(actions->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
             (QStringList{QStringLiteral("Return"), QStringLiteral("Space")}));
    QSignalSpy activated(link, &platform::LinkLabel::activated);
    actions->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(activated.size(), 1);
    // Asking for the focus is no press.
    actions->doAction(QAccessibleActionInterface::setFocusAction());
    QCOMPARE(activated.size(), 1);
    QCOMPARE(QApplication::focusWidget(), link);
    QVERIFY(face->state().focused);

    // A disabled link is not pressed by a screen reader either.
    link->setEnabled(false);
    actions->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(activated.size(), 1);
}

void TestLinkLabel::newText_data()
{
    QTest::addColumn<QString>("accessibleName");
    QTest::addColumn<QString>("expectedName");
    QTest::newRow("named by its text") << QString() << "support@example.org";
    QTest::newRow("a name of its own") << "Mail to support" << "Mail to support";
}

// A text set later is drawn and measured as a label with that text would
// be, and names the link for a screen reader unless it has a name of its own.
void TestLinkLabel::newText()
{
    QFETCH(QString, accessibleName);
    QFETCH(QString, expectedName);
    link->setAccessibleName(accessibleName);
    const QSize oldHint = link->sizeHint();
    link->setText(QStringLiteral("support@example.org"));
    QCOMPARE(link->text(), QStringLiteral("support@example.org"));
    QVERIFY(link->sizeHint().width() > oldHint.width());

    auto *label = new QLabel(link->text(), window.get());
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(link->geometry());
    label->setFont(link->font());
    label->show();
    before->setFocus();
    QCOMPARE(link->sizeHint(), label->sizeHint());
    QCOMPARE(link->grab().toImage(), label->grab().toImage());
    QCOMPARE(QAccessible::queryAccessibleInterface(link)->text(QAccessible::Name), expectedName);
}

QTEST_MAIN(TestLinkLabel)
#include "tst_LinkLabel.moc"
