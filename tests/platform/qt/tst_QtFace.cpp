// The Qt face through real widgets: windows and controls of every kind built
// from tables of their own, and the rules of the forms layer as a user meets
// them with the mouse and the keyboard.

#include "platform/forms/Form.h"
#include "platform/qt/LinkLabel.h"
#include "platform/qt/QtFace.h"
#include "platform/qt/Twips.h"
#include "platform/qt/WindowFont.h"
#include "platform/qt/WindowHandle.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <climits>
#include <map>
#include <memory>
#include <string>

namespace {

using namespace forms;
using platform::twipsRect;

constexpr Font Bold{8.25, true, false};
constexpr Font Underlined{8.25, false, true};

// A dialog with a control of every kind a dialog holds. The Tab order is not
// the order of creation: Help comes before OK.
constexpr ControlSpec DialogControls[] = {
    {Kind::Frame, "fraPick", -1, "fraPick", {}, u"Pick:", {120, 120, 2400, 1200}, 0},
    {Kind::Option, "optPick", 0, "optPick0", "fraPick", u"&Alpha", {120, 240, 2000, 300}, 1},
    {Kind::Option, "optPick", 1, "optPick1", "fraPick", u"&Beta", {120, 540, 2000, 300}, 2},
    {Kind::Option, "optPick", 2, "optPick2", "fraPick", u"&Gamma", {120, 840, 2000, 300}, 3},
    {Kind::Check, "chkView", 0, "chkView0", {}, u"", {120, 1440, 255, 255}, 4, Tristate},
    {Kind::Label, "lblView", 0, "lblView0", {}, u"View", {405, 1470, 900, 270}, -1, ClickReported},
    {Kind::TextBox, "txtName", -1, "txtName", {}, u"", {120, 1860, 2400, 315}, 5},
    {Kind::Button, "cmdOK", -1, "cmdOK", {}, u"&OK", {2760, 120, 1000, 325}, 7, Default},
    {Kind::Button, "cmdCancel", -1, "cmdCancel", {}, u"&Cancel", {2760, 540, 1000, 325}, 8, Cancel},
    {Kind::Button, "cmdHelp", -1, "cmdHelp", {}, u"&Help", {2760, 960, 1000, 325}, 6, Disabled},
    {Kind::Label, "lblNote", -1, "lblNote", {}, u"Note", {120, 2280, 1500, 285}, -1, AlignTop, Bold},
    {Kind::Link, "lblLink", -1, "lblLink", {}, u"www.example.org", {1700, 2280, 1800, 255}, 9, NoFlags,
     Underlined},
    {Kind::Line, "Line1", -1, "Line1", {}, u"", {53, 2700, 3700 - 53, 0}, -1},
    {Kind::Timer, "tmrTick", -1, "tmrTick", {}, u"", {}, -1},
};
constexpr FormSpec DialogLayout{"frmSample", u"Sample", 3900, 3000, NoFormFlags, {}, "txtName", Icon::None,
                                DialogControls};

// A dialog without a cancel button, centred on the screen.
constexpr ControlSpec PlainControls[] = {
    {Kind::Button, "cmdOK", -1, "cmdOK", {}, u"&OK", {120, 120, 1000, 325}, 0, Default},
};
constexpr FormSpec PlainLayout{"frmPlain", u"Plain", 1500, 705, CentreOnScreen, {}, {}, Icon::Program, PlainControls};

// A main window with its menu bar.
constexpr ControlSpec MainControls[] = {
    {Kind::Menu, "mnuFile", -1, "mnuFile", {}, u"&File", {}, -1},
    {Kind::MenuItem, "mnuOpen", -1, "mnuOpen", "mnuFile", u"Open...", {}, -1},
    {Kind::Separator, "mnuSep", -1, "mnuSep", "mnuFile", u"-", {}, -1},
    {Kind::MenuItem, "mnuQuit", -1, "mnuQuit", "mnuFile", u"Quit", {}, -1},
    {Kind::Option, "optAct", 0, "optAct0", {}, u"O&pen", {120, 120, 1800, 375}, 0},
    {Kind::Button, "cmdOK", -1, "cmdOK", {}, u"&OK", {2400, 120, 1000, 325}, 1, Default},
    {Kind::Button, "cmdCancel", -1, "cmdCancel", {}, u"&Cancel", {2400, 540, 1000, 325}, 2, Cancel},
};
constexpr FormSpec MainLayout{"", u"Main", 3600, 1500, MainWindow | CentreOnScreen, {}, {}, Icon::Program,
                              MainControls};

const FormSpec &layoutNamed(const QString &name)
{
    if (name == u"main")
        return MainLayout;
    return name == u"plain" ? PlainLayout : DialogLayout;
}

// A window built by the Qt face, counting each control's Click by id.
struct Sample {
    explicit Sample(const FormSpec &spec) : form(spec, face)
    {
        for (const auto &control : form.controls()) {
            const std::string id(control->spec().id);
            control->Click = [this, id] { ++clicks[id]; };
        }
    }

    QWidget *window() const { return platform::qt::widgetOf(form.handle()); }
    template <class T = QWidget>
    T *find(const char *id) const
    {
        return window()->findChild<T *>(QLatin1String(id));
    }
    Control &control(const char *id) const { return *form.find(id); }
    int clicksOf(const char *id) const
    {
        const auto found = clicks.find(id);
        return found == clicks.end() ? 0 : found->second;
    }
    bool showActive()
    {
        form.show();
        QApplication::setActiveWindow(window());
        return QTest::qWaitForWindowActive(window());
    }

    platform::qt::QtFace face;
    Form form;
    std::map<std::string, int> clicks;
};

// An option takes a click on its circle and its text only.
QPoint onIndicator(const QWidget *option)
{
    return QPoint(6, option->height() / 2);
}

QRect linePlace(const Twips &t)
{
    return QRect(platform::px(t.left), platform::px(t.top), platform::px(t.right()) - platform::px(t.left), 1);
}

} // namespace

class TestQtFace : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void windows_data();
    void windows();
    void controls_data();
    void controls();
    void optionClicks_data();
    void optionClicks();
    void optionValuesSetByTheProgram();
    void checkBoxClicks_data();
    void checkBoxClicks();
    void clicksOnDisabledControls();
    void keys_data();
    void keys();
    void closeBox_data();
    void closeBox();
    void tabOrder();
    void mnemonics_data();
    void mnemonics();
    void fonts();
    void textBox();
    void menus();
    void modalShow();
    void clientSizeKeepsTheCentre();
    void neededWidth_data();
    void neededWidth();
    void destroyedFormTakesItsWindow();
    // Last: the program's end leaves Qt's loops unable to run again.
    void quitEndsAModalShow();
};

void TestQtFace::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestQtFace::windows_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("icon");
    const int fixedFrame = int(Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                               | Qt::WindowCloseButtonHint);
    QTest::newRow("dialog") << "dialog" << "QDialog" << "frmSample"
                            << int(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) + fixedFrame << QSize(260, 200)
                            << false;
    QTest::newRow("dialog with the program's icon")
        << "plain" << "QDialog" << "frmPlain" << int(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) + fixedFrame
        << QSize(100, 47) << true;
    // The menu bar's height comes on top of the client area.
    QTest::newRow("main window") << "main" << "QMainWindow" << "" << int(Qt::Window) + fixedFrame
                                 << QSize(240, 100) << true;
}

void TestQtFace::windows()
{
    QFETCH(QString, layout);
    QFETCH(QString, className);
    QFETCH(QString, objectName);
    QFETCH(int, flags);
    QFETCH(QSize, size);
    QFETCH(bool, icon);
    Sample s(layoutNamed(layout));
    QWidget *window = s.window();
    QVERIFY(window);
    QCOMPARE(QString::fromLatin1(window->metaObject()->className()), className);
    QCOMPARE(window->objectName(), objectName);
    QCOMPARE(int(window->windowFlags()), flags);
    QCOMPARE(window->windowTitle(), QString::fromStdU16String(std::u16string(layoutNamed(layout).caption)));
    QCOMPARE(!window->windowIcon().isNull(), icon);
    QSize expected = size;
    if (auto *main = qobject_cast<QMainWindow *>(window)) {
        QCOMPARE(main->centralWidget()->objectName(), QStringLiteral("client"));
        QCOMPARE(main->centralWidget()->size(), size);
        expected.rheight() += main->menuBar()->sizeHint().height();
    }
    QCOMPARE(window->minimumSize(), expected);
    QCOMPARE(window->maximumSize(), expected);
    if (layoutNamed(layout).flags & CentreOnScreen) {
        const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY2((window->geometry().center() - centre).manhattanLength() <= 1,
                 qPrintable(QStringLiteral("%1,%2").arg(window->geometry().center().x()).arg(window->geometry().center().y())));
    }
}

void TestQtFace::controls_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");

    QTest::newRow("frame") << "dialog" << "fraPick" << "QGroupBox" << "frmSample" << twipsRect(120, 120, 2400, 1200)
                           << "Pick:";
    QTest::newRow("option in its frame") << "dialog" << "optPick1" << "QRadioButton" << "fraPick"
                                         << twipsRect(120, 540, 2000, 300) << "&Beta";
    QTest::newRow("check box") << "dialog" << "chkView0" << "QCheckBox" << "frmSample"
                               << twipsRect(120, 1440, 255, 255) << "";
    QTest::newRow("label that reports clicks") << "dialog" << "lblView0" << "QLabel" << "frmSample"
                                               << twipsRect(405, 1470, 900, 270) << "View";
    QTest::newRow("text box") << "dialog" << "txtName" << "QLineEdit" << "frmSample"
                              << twipsRect(120, 1860, 2400, 315) << "";
    QTest::newRow("button") << "dialog" << "cmdOK" << "QPushButton" << "frmSample" << twipsRect(2760, 120, 1000, 325)
                            << "&OK";
    QTest::newRow("label") << "dialog" << "lblNote" << "QLabel" << "frmSample" << twipsRect(120, 2280, 1500, 285)
                           << "Note";
    QTest::newRow("link") << "dialog" << "lblLink" << "platform::LinkLabel" << "frmSample"
                          << twipsRect(1700, 2280, 1800, 255) << "www.example.org";
    QTest::newRow("line, one pixel high") << "dialog" << "Line1" << "QFrame" << "frmSample"
                                          << linePlace({53, 2700, 3700 - 53, 0}) << "";
    QTest::newRow("option of the main window") << "main" << "optAct0" << "QRadioButton" << "client"
                                               << twipsRect(120, 120, 1800, 375) << "O&pen";
}

void TestQtFace::controls()
{
    QFETCH(QString, layout);
    QFETCH(QString, id);
    QFETCH(QString, className);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    Sample s(layoutNamed(layout));
    QWidget *w = s.find(qPrintable(id));
    QVERIFY(w);
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), className);
    QCOMPARE(w->parentWidget()->objectName(), parent);
    QCOMPARE(w->geometry(), geometry);
    QString shown;
    if (auto *box = qobject_cast<QGroupBox *>(w))
        shown = box->title();
    else if (auto *button = qobject_cast<QAbstractButton *>(w))
        shown = button->text();
    else if (auto *label = qobject_cast<QLabel *>(w))
        shown = label->text();
    else if (auto *link = qobject_cast<platform::LinkLabel *>(w))
        shown = link->text();
    QCOMPARE(shown, text);

    // What a kind brings with it.
    if (id == u"lblNote")
        QCOMPARE(static_cast<QLabel *>(w)->alignment(), Qt::AlignLeft | Qt::AlignTop);
    if (id == u"lblView0")
        QCOMPARE(w->focusPolicy(), Qt::NoFocus);
    if (id == u"chkView0")
        QVERIFY(static_cast<QCheckBox *>(w)->isTristate());
    if (id == u"txtName")
        QCOMPARE(static_cast<QLineEdit *>(w)->maxLength(), INT_MAX);
    if (id == u"cmdOK") {
        QVERIFY(static_cast<QPushButton *>(w)->isDefault());
        QVERIFY(static_cast<QPushButton *>(w)->autoDefault());
        QVERIFY(!s.find<QPushButton>("cmdCancel")->isDefault());
        QVERIFY(!s.find("cmdHelp")->isEnabled());
    }
    if (id == u"Line1") {
        auto *line = static_cast<QFrame *>(w);
        QCOMPARE(line->frameShape(), QFrame::HLine);
        QCOMPARE(line->palette().color(QPalette::WindowText), QColor(128, 128, 128));
        QVERIFY(s.window()->findChild<QTimer *>(QStringLiteral("tmrTick")));
    }
    // Moving the control through the model moves it by its twips.
    if (id != u"Line1") {
        s.control(qPrintable(id)).setPlace({300, 150, 600, 450});
        QCOMPARE(w->geometry(), QRect(20, 10, 40, 30));
    }
}

void TestQtFace::optionClicks_data()
{
    QTest::addColumn<int>("selected"); // by the program before; -1: none
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("nowSelected");
    QTest::addColumn<int>("clicked"); // the option whose Click ran once; -1: none ran

    QTest::newRow("click with none selected") << -1 << "click 1" << 1 << 1;
    QTest::newRow("click another") << 0 << "click 2" << 2 << 2;
    QTest::newRow("click the selected one") << 1 << "click 1" << 1 << -1;
    QTest::newRow("Space on another") << 0 << "space 2" << 2 << 2;
    QTest::newRow("Down arrow from the selected one") << 0 << "down 0" << 1 << 1;
}

void TestQtFace::optionClicks()
{
    QFETCH(int, selected);
    QFETCH(QString, input);
    QFETCH(int, nowSelected);
    QFETCH(int, clicked);
    Sample s(DialogLayout);
    QVERIFY(s.showActive());
    if (selected >= 0)
        s.form.control("optPick", selected).setValue(1);
    s.clicks.clear();

    const QStringList parts = input.split(u' ');
    const std::string target = "optPick" + parts[1].toStdString();
    auto *option = s.find<QRadioButton>(target.c_str());
    if (parts[0] == u"click") {
        QTest::mouseClick(option, Qt::LeftButton, {}, onIndicator(option));
    } else {
        option->setFocus(Qt::TabFocusReason);
        QTest::keyClick(option, parts[0] == u"space" ? Qt::Key_Space : Qt::Key_Down);
    }

    for (int i = 0; i < 3; ++i) {
        const std::string id = "optPick" + std::to_string(i);
        QCOMPARE(s.find<QRadioButton>(id.c_str())->isChecked(), i == nowSelected);
        QCOMPARE(s.form.control("optPick", i).Value(), std::int16_t(i == nowSelected));
        QCOMPARE(s.clicksOf(id.c_str()), i == clicked ? 1 : 0);
    }
}

void TestQtFace::optionValuesSetByTheProgram()
{
    Sample s(DialogLayout);
    Control &alpha = s.form.control("optPick", 0);
    Control &beta = s.form.control("optPick", 1);
    alpha.setValue(1);
    QVERIFY(s.find<QRadioButton>("optPick0")->isChecked());
    // The value it has raises nothing.
    alpha.setValue(1);
    QCOMPARE(s.clicksOf("optPick0"), 1);
    beta.setValue(1);
    QVERIFY(!s.find<QRadioButton>("optPick0")->isChecked());
    QVERIFY(s.find<QRadioButton>("optPick1")->isChecked());
    QCOMPARE(s.clicksOf("optPick0"), 1);
    QCOMPARE(s.clicksOf("optPick1"), 1);
    // None selected: the exclusive group shows no option checked.
    beta.setValue(0);
    for (const char *id : {"optPick0", "optPick1", "optPick2"})
        QVERIFY2(!s.find<QRadioButton>(id)->isChecked(), id);
    QVERIFY(s.find<QRadioButton>("optPick1")->autoExclusive());
    // And a user's click still selects exactly one.
    QTest::mouseClick(s.find("optPick2"), Qt::LeftButton, {}, onIndicator(s.find("optPick2")));
    QCOMPARE(s.window()->findChildren<QRadioButton *>().count(), 3);
    int checked = 0;
    for (QRadioButton *option : s.window()->findChildren<QRadioButton *>())
        checked += option->isChecked();
    QCOMPARE(checked, 1);
}

void TestQtFace::checkBoxClicks_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<bool>("bySpace");
    QTest::addColumn<int>("after");
    QTest::addColumn<int>("state");
    QTest::newRow("greyed, click") << 2 << false << 1 << int(Qt::Checked);
    QTest::newRow("checked, click") << 1 << false << 0 << int(Qt::Unchecked);
    QTest::newRow("unchecked, click") << 0 << false << 1 << int(Qt::Checked);
    QTest::newRow("greyed, Space") << 2 << true << 1 << int(Qt::Checked);
}

void TestQtFace::checkBoxClicks()
{
    QFETCH(int, before);
    QFETCH(bool, bySpace);
    QFETCH(int, after);
    QFETCH(int, state);
    Sample s(DialogLayout);
    QVERIFY(s.showActive());
    Control &box = s.control("chkView0");
    box.setValue(std::int16_t(before));
    const Qt::CheckState shown[] = {Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked};
    auto *widget = s.find<QCheckBox>("chkView0");
    QCOMPARE(widget->checkState(), shown[before]);
    s.clicks.clear();
    // The model decides; the box shows its answer and nothing in between.
    QSignalSpy changes(widget, &QCheckBox::stateChanged);
    if (bySpace) {
        widget->setFocus(Qt::TabFocusReason);
        QTest::keyClick(widget, Qt::Key_Space);
    } else {
        QTest::mouseClick(widget, Qt::LeftButton);
    }
    QCOMPARE(box.Value(), std::int16_t(after));
    QCOMPARE(int(widget->checkState()), state);
    QCOMPARE(changes.size(), 1);
    QCOMPARE(s.clicksOf("chkView0"), 1);
}

void TestQtFace::clicksOnDisabledControls()
{
    Sample s(DialogLayout);
    QVERIFY(s.showActive());
    s.control("chkView0").setEnabled(false);
    QVERIFY(!s.find("chkView0")->isEnabled());
    QTest::mouseClick(s.find("chkView0"), Qt::LeftButton);
    QCOMPARE(s.clicksOf("chkView0"), 0);
    // The label beside a disabled box still reports its click.
    QTest::mouseClick(s.find("lblView0"), Qt::LeftButton);
    QCOMPARE(s.clicksOf("lblView0"), 1);
    // Pressed inside and released outside is no click.
    QTest::mousePress(s.find("lblView0"), Qt::LeftButton);
    QTest::mouseRelease(s.find("lblView0"), Qt::LeftButton, {}, QPoint(-5, -5));
    QCOMPARE(s.clicksOf("lblView0"), 1);

    // A disabled button takes no click; enabled again by the program, it does.
    QTest::mouseClick(s.find("cmdHelp"), Qt::LeftButton);
    QCOMPARE(s.clicksOf("cmdHelp"), 0);
    s.control("cmdHelp").setEnabled(true);
    QTest::mouseClick(s.find("cmdHelp"), Qt::LeftButton);
    QCOMPARE(s.clicksOf("cmdHelp"), 1);
    // Hidden, neither.
    s.control("cmdHelp").setVisible(false);
    QVERIFY(s.find("cmdHelp")->isHidden());
    s.find<QPushButton>("cmdHelp")->click();
    QCOMPARE(s.clicksOf("cmdHelp"), 1);
}

void TestQtFace::keys_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("pressed"); // the button clicked, or "close box"

    const int none = Qt::NoModifier;
    QTest::newRow("dialog, Return in a text box") << "dialog" << "txtName" << int(Qt::Key_Return) << none << "cmdOK";
    QTest::newRow("dialog, keypad Enter") << "dialog" << "txtName" << int(Qt::Key_Enter) << int(Qt::KeypadModifier)
                                          << "cmdOK";
    QTest::newRow("dialog, Escape") << "dialog" << "txtName" << int(Qt::Key_Escape) << none << "cmdCancel";
    QTest::newRow("dialog, Return on a focused button") << "dialog" << "cmdCancel" << int(Qt::Key_Return) << none
                                                        << "cmdCancel";
    QTest::newRow("dialog without a cancel button, Escape") << "plain" << "cmdOK" << int(Qt::Key_Escape) << none
                                                            << "close box";
    QTest::newRow("main window, Return on an option") << "main" << "optAct0" << int(Qt::Key_Return) << none
                                                      << "cmdOK";
    QTest::newRow("main window, keypad Enter") << "main" << "optAct0" << int(Qt::Key_Enter)
                                               << int(Qt::KeypadModifier) << "cmdOK";
    QTest::newRow("main window, Escape") << "main" << "optAct0" << int(Qt::Key_Escape) << none << "cmdCancel";
    QTest::newRow("main window, Return on a focused button") << "main" << "cmdCancel" << int(Qt::Key_Return) << none
                                                             << "cmdCancel";
    QTest::newRow("main window, Shift+Return") << "main" << "optAct0" << int(Qt::Key_Return)
                                               << int(Qt::ShiftModifier) << "";
}

void TestQtFace::keys()
{
    QFETCH(QString, layout);
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, pressed);
    Sample s(layoutNamed(layout));
    int closes = 0;
    s.form.CloseBox = [&] { ++closes; };
    QVERIFY(s.showActive());
    QWidget *focused = s.find(qPrintable(focus));
    focused->setFocus(Qt::TabFocusReason);
    QTest::keyClick(focused, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QCOMPARE(closes, pressed == u"close box" ? 1 : 0);
    for (const char *button : {"cmdOK", "cmdCancel"})
        QCOMPARE(s.clicksOf(button), pressed == QLatin1String(button) ? 1 : 0);
}

void TestQtFace::closeBox_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<bool>("handled"); // a CloseBox procedure that keeps the window
    QTest::newRow("dialog") << "dialog" << false;
    QTest::newRow("dialog that stays") << "dialog" << true;
    QTest::newRow("main window") << "main" << false;
    QTest::newRow("main window that stays") << "main" << true;
}

void TestQtFace::closeBox()
{
    QFETCH(QString, layout);
    QFETCH(bool, handled);
    Sample s(layoutNamed(layout));
    int unloads = 0;
    s.form.Unload = [&] { ++unloads; };
    if (handled)
        s.form.CloseBox = [] {};
    QVERIFY(s.showActive());
    const bool closed = s.window()->close();
    QCOMPARE(closed, !handled);
    QCOMPARE(s.window()->isVisible(), handled);
    QCOMPARE(s.form.isUnloaded(), !handled);
    QCOMPARE(s.form.isVisible(), handled);
    QCOMPARE(unloads, handled ? 0 : 1);
}

void TestQtFace::tabOrder()
{
    Sample s(DialogLayout);
    QVERIFY(s.showActive());
    // The table names the first focus.
    QCOMPARE(QApplication::focusWidget(), s.find("txtName"));
    const auto walk = [&](Qt::Key key, int steps) {
        QStringList names;
        for (int i = 0; i < steps; ++i) {
            QTest::keyClick(QApplication::focusWidget(), key);
            names << QApplication::focusWidget()->objectName();
        }
        return names;
    };
    // The disabled Help button is passed over.
    QCOMPARE(walk(Qt::Key_Tab, 3), (QStringList{"cmdOK", "cmdCancel", "lblLink"}));
    QCOMPARE(walk(Qt::Key_Backtab, 3), (QStringList{"cmdCancel", "cmdOK", "txtName"}));
    s.control("cmdHelp").setEnabled(true);
    QCOMPARE(walk(Qt::Key_Tab, 2), (QStringList{"cmdHelp", "cmdOK"}));
    s.find("chkView0")->setFocus(Qt::TabFocusReason);
    QCOMPARE(walk(Qt::Key_Tab, 1), QStringList{"txtName"});
    QCOMPARE(walk(Qt::Key_Backtab, 1), QStringList{"chkView0"});
}

void TestQtFace::mnemonics_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("clicked"); // empty: nothing runs
    QTest::newRow("option") << "dialog" << int(Qt::Key_B) << "optPick1";
    QTest::newRow("default button") << "dialog" << int(Qt::Key_O) << "cmdOK";
    QTest::newRow("cancel button") << "dialog" << int(Qt::Key_C) << "cmdCancel";
    QTest::newRow("disabled button") << "dialog" << int(Qt::Key_H) << "";
    QTest::newRow("option of the main window") << "main" << int(Qt::Key_P) << "optAct0";
}

void TestQtFace::mnemonics()
{
    QFETCH(QString, layout);
    QFETCH(int, key);
    QFETCH(QString, clicked);
    Sample s(layoutNamed(layout));
    QVERIFY(s.showActive());
    QTest::keyClick(s.window(), Qt::Key(key), Qt::AltModifier);
    if (clicked.isEmpty()) {
        QTest::qWait(300);
        int total = 0;
        for (const auto &[id, count] : s.clicks)
            total += count;
        QCOMPARE(total, 0);
        return;
    }
    // A button's mnemonic shows the press briefly before it clicks.
    QTRY_COMPARE(s.clicksOf(qPrintable(clicked)), 1);
    QTest::qWait(200);
    QCOMPARE(s.clicksOf(qPrintable(clicked)), 1);
}

void TestQtFace::fonts()
{
    Sample s(DialogLayout);
    const QFont windowFont = platform::windowFont();
    QCOMPARE(s.window()->font(), windowFont);
    const QString family = QFontInfo(windowFont).family();
    // A control with the window's face takes it from the window.
    QVERIFY(!s.find("cmdOK")->testAttribute(Qt::WA_SetFont));
    QCOMPARE(s.find("cmdOK")->font(), windowFont);
    QVERIFY(!s.find("optPick0")->testAttribute(Qt::WA_SetFont));
    const QFont note = s.find("lblNote")->font();
    QVERIFY(note.bold());
    QVERIFY(!note.underline());
    const QFont link = s.find("lblLink")->font();
    QVERIFY(link.underline());
    QVERIFY(!link.bold());
    for (const QFont &font : {note, link}) {
        QCOMPARE(QFontInfo(font).family(), family);
        QCOMPARE(font.pointSizeF(), windowFont.pointSizeF());
    }
}

void TestQtFace::textBox()
{
    Sample s(DialogLayout);
    QVERIFY(s.showActive());
    Control &text = s.control("txtName");
    auto *edit = s.find<QLineEdit>("txtName");
    text.setText(u"/srv/files");
    QCOMPARE(edit->text(), QStringLiteral("/srv/files"));
    edit->setFocus();
    edit->end(false);
    QTest::keyClicks(edit, QStringLiteral("/a"));
    QCOMPARE(text.Text(), std::u16string(u"/srv/files/a"));
    // Beyond the Basic Multilingual Plane, and longer than Qt's default limit.
    const QString long_ = QString(40000, QLatin1Char('x')) + QString::fromUtf8("\xF0\x9F\x93\x8E");
    text.setText(long_.toStdU16String());
    QCOMPARE(edit->text(), long_);
}

void TestQtFace::menus()
{
    Sample s(MainLayout);
    auto *main = qobject_cast<QMainWindow *>(s.window());
    QVERIFY(main);
    const QList<QAction *> bar = main->menuBar()->actions();
    QCOMPARE(bar.size(), 1);
    QMenu *file = s.find<QMenu>("mnuFile");
    QVERIFY(file);
    QCOMPARE(bar[0]->menu(), file);
    QCOMPARE(file->title(), QStringLiteral("&File"));
    const QList<QAction *> items = file->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items[0]->objectName(), QStringLiteral("mnuOpen"));
    QCOMPARE(items[0]->text(), QStringLiteral("Open..."));
    QCOMPARE(items[1]->objectName(), QStringLiteral("mnuSep"));
    QVERIFY(items[1]->isSeparator());
    QCOMPARE(items[2]->objectName(), QStringLiteral("mnuQuit"));

    items[2]->trigger();
    QCOMPARE(s.clicksOf("mnuQuit"), 1);
    s.control("mnuOpen").setEnabled(false);
    QVERIFY(!items[0]->isEnabled());
    items[0]->trigger();
    QCOMPARE(s.clicksOf("mnuOpen"), 0);
    s.control("mnuOpen").setCaption(u"Open a file...");
    QCOMPARE(items[0]->text(), QStringLiteral("Open a file..."));
    s.control("mnuFile").setVisible(false);
    QVERIFY(!bar[0]->isVisible());
}

void TestQtFace::modalShow()
{
    Sample s(DialogLayout);
    QPointer<QWidget> window = s.window();
    // A posted event and a plain timer of Qt's arrive while the dialog is up.
    bool postedWhileShown = false;
    bool timerWhileShown = false;
    QObject receiver;
    QTimer::singleShot(0, &receiver, [&] { timerWhileShown = window && window->isVisible(); });
    QMetaObject::invokeMethod(&receiver, [&] { postedWhileShown = window && window->isVisible(); },
                              Qt::QueuedConnection);
    // The form's own timer ticks, and its third tick unloads the form.
    int ticks = 0;
    bool modal = false;
    Control &timer = s.control("tmrTick");
    timer.Timer = [&] {
        modal = QApplication::activeModalWidget() == window;
        if (++ticks == 3)
            s.form.unload();
    };
    timer.setInterval(10);
    s.form.showModal();

    QCOMPARE(ticks, 3);
    QVERIFY(modal);
    QVERIFY(postedWhileShown);
    QVERIFY(timerWhileShown);
    QVERIFY(s.form.isUnloaded());
    QVERIFY(!s.form.isVisible());
    QVERIFY(window && !window->isVisible());
    // Unloaded, the timer ticks no more.
    QVERIFY(!s.window()->findChild<QTimer *>(QStringLiteral("tmrTick"))->isActive());

    // Hidden from a tick, the form ends its modal show and stays loaded.
    Sample t(DialogLayout);
    t.control("tmrTick").Timer = [&] { t.form.hide(); };
    t.control("tmrTick").setInterval(10);
    t.form.showModal();
    QVERIFY(!t.form.isUnloaded());
    QVERIFY(!t.form.isVisible());
    QVERIFY(!t.window()->isVisible());
}

void TestQtFace::clientSizeKeepsTheCentre()
{
    Sample s(DialogLayout);
    QVERIFY(s.showActive());
    QVERIFY(QTest::qWaitForWindowExposed(s.window()));
    const QPoint centre = s.window()->frameGeometry().center();
    s.form.setClientSize(3900 + 1500, 3000 + 300);
    QCOMPARE(s.window()->size(), QSize(360, 220));
    QCOMPARE(s.window()->minimumSize(), s.window()->maximumSize());
    QVERIFY((s.window()->frameGeometry().center() - centre).manhattanLength() <= 1);

    // Not yet shown, a window centred on the screen stays so.
    Sample p(PlainLayout);
    p.form.setClientSize(3000, 1500);
    const QPoint screen = QGuiApplication::primaryScreen()->availableGeometry().center();
    QCOMPARE(p.window()->size(), QSize(200, 100));
    QVERIFY((p.window()->geometry().center() - screen).manhattanLength() <= 1);

    // A main window grows its client area; the menu bar stays on top.
    Sample m(MainLayout);
    auto *main = static_cast<QMainWindow *>(m.window());
    m.form.setClientSize(4500, 1800);
    QCOMPARE(main->centralWidget()->size(), QSize(300, 120));
    QCOMPARE(main->size(), QSize(300, 120 + main->menuBar()->sizeHint().height()));
}

void TestQtFace::neededWidth_data()
{
    QTest::addColumn<QString>("id");
    QTest::newRow("label") << "lblNote";
    QTest::newRow("link") << "lblLink";
    QTest::newRow("frame") << "fraPick";
    QTest::newRow("button") << "cmdOK";
    QTest::newRow("option") << "optPick0";
}

void TestQtFace::neededWidth()
{
    QFETCH(QString, id);
    Sample s(DialogLayout);
    Control &control = s.control(qPrintable(id));
    control.setCaption(u"Short");
    const int shortWidth = control.neededWidth();
    control.setCaption(u"A caption a good deal longer than the short one");
    const int longWidth = control.neededWidth();
    QVERIFY2(shortWidth > 0 && longWidth > shortWidth, qPrintable(QStringLiteral("%1 %2").arg(shortWidth).arg(longWidth)));
    // Whole pixels, in twips; the whole text fits.
    QCOMPARE(longWidth % platform::TwipsPerPixel, 0);
    QWidget *w = s.find(qPrintable(id));
    QVERIFY(longWidth / platform::TwipsPerPixel
            >= w->fontMetrics().horizontalAdvance(QStringLiteral("A caption a good deal longer than the short one")));
    // Grown to it, a label shows its whole text.
    if (id == u"lblNote") {
        Twips place = control.place();
        place.width = longWidth;
        control.setPlace(place);
        QCOMPARE(w->width() * platform::TwipsPerPixel, longWidth);
    }
}

void TestQtFace::destroyedFormTakesItsWindow()
{
    QPointer<QWidget> window;
    QPointer<QWidget> button;
    {
        Sample s(DialogLayout);
        QVERIFY(s.showActive());
        window = s.window();
        button = s.find("cmdOK");
    }
    QVERIFY(!window);
    QVERIFY(!button);
}

void TestQtFace::quitEndsAModalShow()
{
    Sample s(DialogLayout);
    s.control("tmrTick").Timer = [&] { s.face.quit(3); };
    s.control("tmrTick").setInterval(10);
    s.form.showModal();
    QVERIFY(!s.form.isVisible());
    QVERIFY(!s.window()->isVisible());
    QVERIFY(!s.form.isUnloaded());
}

QTEST_MAIN(TestQtFace)
#include "tst_QtFace.moc"
