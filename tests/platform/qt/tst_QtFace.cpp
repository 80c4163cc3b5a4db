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

#include <algorithm>
#include <climits>
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

// A table's rows as data rows: the data function adds one per entry, by its
// name, and the test takes its entry.
template <class Row, std::size_t N>
void addRows(const Row (&rows)[N])
{
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < N; ++i)
        QTest::newRow(rows[i].name) << int(i);
}
template <class Row, std::size_t N>
const Row &rowOf(const Row (&rows)[N])
{
    return rows[*static_cast<const int *>(QTest::qData("row", qMetaTypeId<int>()))];
}

// A window built by the Qt face, recording each control's Click by id, in
// order.
struct Sample {
    explicit Sample(const FormSpec &design) : form(design, face)
    {
        for (const auto &control : form.controls()) {
            const std::string_view id = control->design().id;
            control->Click = [this, id] { clicked << QString::fromLatin1(id.data(), qsizetype(id.size())); };
        }
    }

    QWidget *window() const { return platform::qt::widgetOf(form.handle()); }
    template <class T = QWidget>
    T *find(const char *id) const { return window()->findChild<T *>(QLatin1String(id)); }
    Control &control(const char *id) const { return *form.find(id); }
    int clicksOf(const char *id) const { return int(clicked.count(QLatin1String(id))); }
    bool showActive()
    {
        form.show();
        QApplication::setActiveWindow(window());
        return QTest::qWaitForWindowActive(window());
    }

    platform::qt::QtFace face;
    Form form;
    QStringList clicked;
};

// An option takes a click on its circle and its text only.
QPoint onIndicator(const QWidget *option)
{
    return QPoint(6, option->height() / 2);
}

bool nearScreenCentre(const QWidget *window)
{
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    return (window->geometry().center() - centre).manhattanLength() <= 1;
}

} // namespace

class TestQtFace : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void windows_data(); void windows();
    void controls_data(); void controls();
    void optionClicks_data(); void optionClicks();
    void optionValuesSetByTheProgram();
    void checkBoxClicks_data(); void checkBoxClicks();
    void clicksOnDisabledControls();
    void keys_data(); void keys();
    void closeBox_data(); void closeBox();
    void tabOrder();
    void menus();
    void clientSizeKeepsTheCentre();
    void neededWidth_data(); void neededWidth();
    // Last: the program's end leaves Qt's loops unable to run again.
    void modalShow_data(); void modalShow();
};

const Qt::WindowFlags FixedFrame =
    Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
const Qt::WindowFlags FixedDialog = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint;
// flags: besides the fixed frame's.
const struct WindowRow { const char *name; const FormSpec *layout; const char *className, *objectName;
                         Qt::WindowFlags flags; QSize size; bool icon; } WindowRows[] = {
    {"dialog", &DialogLayout, "QDialog", "frmSample", FixedDialog, {260, 200}, false},
    {"dialog with the program's icon", &PlainLayout, "QDialog", "frmPlain", FixedDialog, {100, 47}, true},
    // The menu bar's height comes on top of the client area.
    {"main window", &MainLayout, "QMainWindow", "", Qt::Window, {240, 100}, true},
};
void TestQtFace::windows_data() { addRows(WindowRows); }

void TestQtFace::windows()
{
    const WindowRow &r = rowOf(WindowRows);
    Sample s(*r.layout);
    QWidget *window = s.window();
    QVERIFY(window);
    QCOMPARE(window->metaObject()->className(), r.className);
    QCOMPARE(window->objectName(), QString(r.objectName));
    QCOMPARE(int(window->windowFlags()), int(r.flags | FixedFrame));
    QCOMPARE(window->windowTitle(), QString::fromStdU16String(std::u16string(r.layout->caption)));
    QCOMPARE(!window->windowIcon().isNull(), r.icon);
    QCOMPARE(window->font(), platform::windowFont());
    QSize expected = r.size;
    if (auto *main = qobject_cast<QMainWindow *>(window)) {
        QCOMPARE(main->centralWidget()->objectName(), QStringLiteral("client"));
        QCOMPARE(main->centralWidget()->size(), r.size);
        expected.rheight() += main->menuBar()->sizeHint().height();
    }
    QCOMPARE(window->minimumSize(), expected);
    QCOMPARE(window->maximumSize(), expected);
    if (r.layout->flags & CentreOnScreen)
        QVERIFY(nearScreenCentre(window));
}

const struct ControlRow { const char *name; const FormSpec *layout; const char *id, *className, *parent;
                          QRect geometry; const char *text; } ControlRows[] = {
    {"frame", &DialogLayout, "fraPick", "QGroupBox", "frmSample", twipsRect(120, 120, 2400, 1200), "Pick:"},
    {"option in its frame", &DialogLayout, "optPick1", "QRadioButton", "fraPick", twipsRect(120, 540, 2000, 300),
     "&Beta"},
    {"check box", &DialogLayout, "chkView0", "QCheckBox", "frmSample", twipsRect(120, 1440, 255, 255), ""},
    {"label that reports clicks", &DialogLayout, "lblView0", "QLabel", "frmSample", twipsRect(405, 1470, 900, 270),
     "View"},
    {"text box", &DialogLayout, "txtName", "QLineEdit", "frmSample", twipsRect(120, 1860, 2400, 315), ""},
    {"button", &DialogLayout, "cmdOK", "QPushButton", "frmSample", twipsRect(2760, 120, 1000, 325), "&OK"},
    {"bold label", &DialogLayout, "lblNote", "QLabel", "frmSample", twipsRect(120, 2280, 1500, 285), "Note"},
    {"link", &DialogLayout, "lblLink", "platform::LinkLabel", "frmSample", twipsRect(1700, 2280, 1800, 255),
     "www.example.org"},
    // From 53 to 3700 twips across, one pixel high.
    {"line", &DialogLayout, "Line1", "QFrame", "frmSample", {4, 180, 243, 1}, ""},
    {"option of the main window", &MainLayout, "optAct0", "QRadioButton", "client", twipsRect(120, 120, 1800, 375),
     "O&pen"},
};
void TestQtFace::controls_data() { addRows(ControlRows); }

void TestQtFace::controls()
{
    const ControlRow &r = rowOf(ControlRows);
    const QString id = QString::fromLatin1(r.id);
    Sample s(*r.layout);
    QWidget *w = s.find(r.id);
    QVERIFY(w);
    QCOMPARE(w->metaObject()->className(), r.className);
    QCOMPARE(w->parentWidget()->objectName(), QString(r.parent));
    QCOMPARE(w->geometry(), r.geometry);
    QString shown;
    if (auto *box = qobject_cast<QGroupBox *>(w))
        shown = box->title();
    else if (auto *button = qobject_cast<QAbstractButton *>(w))
        shown = button->text();
    else if (auto *label = qobject_cast<QLabel *>(w))
        shown = label->text();
    else if (auto *link = qobject_cast<platform::LinkLabel *>(w))
        shown = link->text();
    QCOMPARE(shown, QString(r.text));
    // The window's face, in the size and style of the table; a control of
    // the window's own size and style takes it from the window.
    const Font &font = s.control(r.id).design().font;
    QCOMPARE(w->font(), platform::windowFont(font.points, font.bold, font.underline));
    QCOMPARE(QFontInfo(w->font()).family(), QFontInfo(platform::windowFont()).family());
    QCOMPARE(w->testAttribute(Qt::WA_SetFont), !(font == Font{}));

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
        return;
    }
    // Moving the control through the model moves it by its twips.
    s.control(r.id).setPlace({300, 150, 600, 450});
    QCOMPARE(w->geometry(), QRect(20, 10, 40, 30));
}

// selected: by the program before (-1: none); input: a key, or a click;
// clicked: the option whose Click ran once (-1: none ran).
const struct OptionRow { const char *name; int selected; Qt::Key input; int target, nowSelected, clicked; }
    OptionRows[] = {
        {"click with none selected", -1, Qt::Key_unknown, 1, 1, 1},
        {"click another", 0, Qt::Key_unknown, 2, 2, 2},
        {"click the selected one", 1, Qt::Key_unknown, 1, 1, -1},
        {"Space on another", 0, Qt::Key_Space, 2, 2, 2},
        {"Down arrow from the selected one", 0, Qt::Key_Down, 0, 1, 1},
};
void TestQtFace::optionClicks_data() { addRows(OptionRows); }

void TestQtFace::optionClicks()
{
    const OptionRow &r = rowOf(OptionRows);
    Sample s(DialogLayout);
    QVERIFY(s.showActive());
    if (r.selected >= 0)
        s.form.control("optPick", r.selected).setValue(1);
    s.clicked.clear();
    auto *option = s.find<QRadioButton>(("optPick" + std::to_string(r.target)).c_str());
    if (r.input == Qt::Key_unknown) {
        QTest::mouseClick(option, Qt::LeftButton, {}, onIndicator(option));
    } else {
        option->setFocus(Qt::TabFocusReason);
        QTest::keyClick(option, r.input);
    }
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(s.find<QRadioButton>(("optPick" + std::to_string(i)).c_str())->isChecked(), i == r.nowSelected);
        QCOMPARE(s.form.control("optPick", i).Value(), std::int16_t(i == r.nowSelected));
    }
    QCOMPARE(s.clicked, r.clicked < 0 ? QStringList() : QStringList{QStringLiteral("optPick%1").arg(r.clicked)});
}

void TestQtFace::optionValuesSetByTheProgram()
{
    Sample s(DialogLayout);
    Control &alpha = s.form.control("optPick", 0);
    Control &beta = s.form.control("optPick", 1);
    // Each Click once: the widgets do not hand the program's changes back.
    alpha.setValue(1);
    QVERIFY(s.find<QRadioButton>("optPick0")->isChecked());
    alpha.setValue(1);
    beta.setValue(1);
    QVERIFY(!s.find<QRadioButton>("optPick0")->isChecked());
    QVERIFY(s.find<QRadioButton>("optPick1")->isChecked());
    QCOMPARE(s.clicked, (QStringList{"optPick0", "optPick1"}));
    // None selected: the exclusive group shows no option checked.
    beta.setValue(0);
    for (const char *id : {"optPick0", "optPick1", "optPick2"})
        QVERIFY2(!s.find<QRadioButton>(id)->isChecked(), id);
    QVERIFY(s.find<QRadioButton>("optPick1")->autoExclusive());
    // And a user's click still selects exactly one.
    QTest::mouseClick(s.find("optPick2"), Qt::LeftButton, {}, onIndicator(s.find("optPick2")));
    const QList<QRadioButton *> options = s.window()->findChildren<QRadioButton *>();
    QCOMPARE(options.count(), 3);
    QCOMPARE(std::count_if(options.begin(), options.end(), [](QRadioButton *o) { return o->isChecked(); }), 1);
}

const struct CheckBoxRow { const char *name; int before; bool bySpace; int after; Qt::CheckState shown; }
    CheckBoxRows[] = {
        {"greyed, click", 2, false, 1, Qt::Checked},
        {"checked, click", 1, false, 0, Qt::Unchecked},
        {"unchecked, click", 0, false, 1, Qt::Checked},
        {"greyed, Space", 2, true, 1, Qt::Checked},
};
void TestQtFace::checkBoxClicks_data() { addRows(CheckBoxRows); }

void TestQtFace::checkBoxClicks()
{
    const CheckBoxRow &r = rowOf(CheckBoxRows);
    Sample s(DialogLayout);
    QVERIFY(s.showActive());
    Control &box = s.control("chkView0");
    box.setValue(std::int16_t(r.before));
    const Qt::CheckState shown[] = {Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked};
    auto *widget = s.find<QCheckBox>("chkView0");
    QCOMPARE(widget->checkState(), shown[r.before]);
    s.clicked.clear();
    // The model decides; the box shows its answer and nothing in between.
    QSignalSpy changes(widget, &QCheckBox::stateChanged);
    if (r.bySpace) {
        widget->setFocus(Qt::TabFocusReason);
        QTest::keyClick(widget, Qt::Key_Space);
    } else {
        QTest::mouseClick(widget, Qt::LeftButton);
    }
    QCOMPARE(box.Value(), std::int16_t(r.after));
    QCOMPARE(widget->checkState(), r.shown);
    QCOMPARE(changes.size(), 1);
    QCOMPARE(s.clicked, QStringList{"chkView0"});
}

void TestQtFace::clicksOnDisabledControls()
{
    Sample s(DialogLayout);
    QVERIFY(s.showActive());
    s.control("chkView0").setEnabled(false);
    QVERIFY(!s.find("chkView0")->isEnabled());
    QTest::mouseClick(s.find("chkView0"), Qt::LeftButton);
    // The label beside a disabled box still reports its click; pressed
    // inside and released outside is no click.
    QTest::mouseClick(s.find("lblView0"), Qt::LeftButton);
    QTest::mousePress(s.find("lblView0"), Qt::LeftButton);
    QTest::mouseRelease(s.find("lblView0"), Qt::LeftButton, {}, QPoint(-5, -5));
    QCOMPARE(s.clicked, QStringList{"lblView0"});

    // A disabled button takes no click; enabled again by the program, it
    // does; hidden, neither.
    QTest::mouseClick(s.find("cmdHelp"), Qt::LeftButton);
    QCOMPARE(s.clicksOf("cmdHelp"), 0);
    s.control("cmdHelp").setEnabled(true);
    QTest::mouseClick(s.find("cmdHelp"), Qt::LeftButton);
    QCOMPARE(s.clicksOf("cmdHelp"), 1);
    s.control("cmdHelp").setVisible(false);
    QVERIFY(s.find("cmdHelp")->isHidden());
    s.find<QPushButton>("cmdHelp")->click();
    QCOMPARE(s.clicksOf("cmdHelp"), 1);
}

// A key on a focused control, or without one Alt and a mnemonic on the
// window; pressed: the buttons or options clicked, or the close box.
const struct KeyRow { const char *name; const FormSpec *layout; const char *focus; Qt::Key key;
                      Qt::KeyboardModifiers modifiers; const char *pressed; } KeyRows[] = {
    {"dialog, Return in a text box", &DialogLayout, "txtName", Qt::Key_Return, {}, "cmdOK"},
    {"dialog, keypad Enter", &DialogLayout, "txtName", Qt::Key_Enter, Qt::KeypadModifier, "cmdOK"},
    {"dialog, Escape", &DialogLayout, "txtName", Qt::Key_Escape, {}, "cmdCancel"},
    {"dialog, Return on a focused button", &DialogLayout, "cmdCancel", Qt::Key_Return, {}, "cmdCancel"},
    {"dialog without a cancel button, Escape", &PlainLayout, "cmdOK", Qt::Key_Escape, {}, "close box"},
    {"main window, Return on an option", &MainLayout, "optAct0", Qt::Key_Return, {}, "cmdOK"},
    {"main window, keypad Enter", &MainLayout, "optAct0", Qt::Key_Enter, Qt::KeypadModifier, "cmdOK"},
    {"main window, Escape", &MainLayout, "optAct0", Qt::Key_Escape, {}, "cmdCancel"},
    {"main window, Return on a focused button", &MainLayout, "cmdCancel", Qt::Key_Return, {}, "cmdCancel"},
    {"main window, Shift+Return", &MainLayout, "optAct0", Qt::Key_Return, Qt::ShiftModifier, ""},
    {"mnemonic of an option", &DialogLayout, nullptr, Qt::Key_B, Qt::AltModifier, "optPick1"},
    {"mnemonic of the default button", &DialogLayout, nullptr, Qt::Key_O, Qt::AltModifier, "cmdOK"},
    {"mnemonic of the cancel button", &DialogLayout, nullptr, Qt::Key_C, Qt::AltModifier, "cmdCancel"},
    {"mnemonic of a disabled button", &DialogLayout, nullptr, Qt::Key_H, Qt::AltModifier, ""},
    {"mnemonic of an option of the main window", &MainLayout, nullptr, Qt::Key_P, Qt::AltModifier, "optAct0"},
};
void TestQtFace::keys_data() { addRows(KeyRows); }

void TestQtFace::keys()
{
    const KeyRow &r = rowOf(KeyRows);
    Sample s(*r.layout);
    s.form.CloseBox = [&s] { s.clicked << QStringLiteral("close box"); };
    QVERIFY(s.showActive());
    QWidget *target = r.focus ? s.find(r.focus) : s.window();
    if (r.focus)
        target->setFocus(Qt::TabFocusReason);
    QTest::keyClick(target, r.key, r.modifiers);
    // A button's mnemonic shows the press briefly before it clicks.
    if (!r.focus)
        QTest::qWait(300);
    QTRY_COMPARE(s.clicked.join(u' '), QString(r.pressed));
}

// handled: a CloseBox procedure that keeps the window.
const struct CloseBoxRow { const char *name; const FormSpec *layout; bool handled; } CloseBoxRows[] = {
    {"dialog", &DialogLayout, false},
    {"dialog that stays", &DialogLayout, true},
    {"main window", &MainLayout, false},
    {"main window that stays", &MainLayout, true},
};
void TestQtFace::closeBox_data() { addRows(CloseBoxRows); }

void TestQtFace::closeBox()
{
    const CloseBoxRow &r = rowOf(CloseBoxRows);
    auto s = std::make_unique<Sample>(*r.layout);
    int unloads = 0;
    s->form.Unload = [&] { ++unloads; };
    if (r.handled)
        s->form.CloseBox = [] {};
    QVERIFY(s->showActive());
    QCOMPARE(s->window()->close(), !r.handled);
    QCOMPARE(s->window()->isVisible(), r.handled);
    QCOMPARE(s->form.isUnloaded(), !r.handled);
    QCOMPARE(s->form.isVisible(), r.handled);
    QCOMPARE(unloads, r.handled ? 0 : 1);
    // A form destroyed takes its window, shown or not, with it.
    const QPointer<QWidget> window = s->window();
    const QPointer<QWidget> button = s->find("cmdOK");
    s.reset();
    QVERIFY(!window && !button);
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

void TestQtFace::menus()
{
    Sample s(MainLayout);
    auto *main = qobject_cast<QMainWindow *>(s.window());
    QVERIFY(main);
    QStringList shown;
    for (QAction *menu : main->menuBar()->actions()) {
        shown << menu->menu()->objectName() + u' ' + menu->text();
        for (QAction *item : menu->menu()->actions())
            shown << item->objectName() + u' ' + (item->isSeparator() ? QStringLiteral("-") : item->text());
    }
    QCOMPARE(shown, (QStringList{"mnuFile &File", "mnuOpen Open...", "mnuSep -", "mnuQuit Quit"}));

    QAction *open = s.find<QAction>("mnuOpen");
    s.find<QAction>("mnuQuit")->trigger();
    s.control("mnuOpen").setEnabled(false);
    QVERIFY(!open->isEnabled());
    open->trigger();
    QCOMPARE(s.clicked, QStringList{"mnuQuit"});
    s.control("mnuOpen").setCaption(u"Open a file...");
    QCOMPARE(open->text(), QStringLiteral("Open a file..."));
    s.control("mnuFile").setVisible(false);
    QVERIFY(!main->menuBar()->actions().first()->isVisible());
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
    QCOMPARE(p.window()->size(), QSize(200, 100));
    QVERIFY(nearScreenCentre(p.window()));

    // A main window grows its client area; the menu bar stays on top.
    Sample m(MainLayout);
    auto *main = static_cast<QMainWindow *>(m.window());
    m.form.setClientSize(4500, 1800);
    QCOMPARE(main->centralWidget()->size(), QSize(300, 120));
    QCOMPARE(main->size(), QSize(300, 120 + main->menuBar()->sizeHint().height()));
}

const struct NeededWidthRow { const char *name, *id; } NeededWidthRows[] = {
    {"label", "lblNote"}, {"link", "lblLink"}, {"frame", "fraPick"}, {"button", "cmdOK"}, {"option", "optPick0"},
};
void TestQtFace::neededWidth_data() { addRows(NeededWidthRows); }

void TestQtFace::neededWidth()
{
    const NeededWidthRow &r = rowOf(NeededWidthRows);
    const QString longCaption = QStringLiteral("A caption a good deal longer than the short one");
    Sample s(DialogLayout);
    Control &control = s.control(r.id);
    control.setCaption(u"Short");
    const int shortWidth = control.neededWidth();
    control.setCaption(longCaption.toStdU16String());
    const int longWidth = control.neededWidth();
    QVERIFY2(shortWidth > 0 && longWidth > shortWidth, qPrintable(QString::number(shortWidth) + u' '
                                                                  + QString::number(longWidth)));
    // Whole pixels, in twips; the whole text fits.
    QCOMPARE(longWidth % platform::TwipsPerPixel, 0);
    QWidget *w = s.find(r.id);
    QVERIFY(longWidth / platform::TwipsPerPixel >= w->fontMetrics().horizontalAdvance(longCaption));
    // Grown to it, a label shows its whole text.
    if (control.kind() == Kind::Label) {
        control.setPlace({control.place().left, control.place().top, longWidth, control.place().height});
        QCOMPARE(w->width() * platform::TwipsPerPixel, longWidth);
    }
}

// What the form's timer does on its third tick ends the modal show. The
// last row ends the program, which leaves Qt's loops unable to run again.
enum class ModalEnd { Unload, Hide, Quit };
const struct ModalRow { const char *name; ModalEnd end; } ModalRows[] = {
    {"unloaded", ModalEnd::Unload},
    {"hidden: the form stays loaded", ModalEnd::Hide},
    {"the program quits", ModalEnd::Quit},
};
void TestQtFace::modalShow_data() { addRows(ModalRows); }

void TestQtFace::modalShow()
{
    const ModalRow &r = rowOf(ModalRows);
    Sample s(DialogLayout);
    QPointer<QWidget> window = s.window();
    // A posted event and a plain timer of Qt's arrive while the dialog is up.
    bool postedWhileShown = false;
    bool timerWhileShown = false;
    QObject receiver;
    QTimer::singleShot(0, &receiver, [&] { timerWhileShown = window && window->isVisible(); });
    QMetaObject::invokeMethod(&receiver, [&] { postedWhileShown = window && window->isVisible(); },
                              Qt::QueuedConnection);
    int ticks = 0;
    bool modal = false;
    Control &timer = s.control("tmrTick");
    timer.Timer = [&] {
        modal = QApplication::activeModalWidget() == window;
        if (++ticks < 3)
            return;
        if (r.end == ModalEnd::Unload)
            s.form.unload();
        else if (r.end == ModalEnd::Hide)
            s.form.hide();
        else
            s.face.quit(3);
    };
    timer.setInterval(10);
    s.form.showModal();

    QCOMPARE(ticks, 3);
    QVERIFY(modal && postedWhileShown && timerWhileShown);
    QCOMPARE(s.form.isUnloaded(), r.end == ModalEnd::Unload);
    QVERIFY(!s.form.isVisible());
    QVERIFY(window && !window->isVisible());
    // The timer ticks on while the form is loaded, hidden or not.
    QCOMPARE(s.window()->findChild<QTimer *>(QStringLiteral("tmrTick"))->isActive(), r.end != ModalEnd::Unload);
}

QTEST_MAIN(TestQtFace)
#include "tst_QtFace.moc"
