// The program's four windows as the Qt face builds them, through real
// widgets: what a user meets of them that only the real windows show. Pixel
// places and fonts, window frames, focus and keys, real modal loops and
// message boxes, the real Open File dialog and folder chooser, real files and
// the real settings file. What the windows' procedures do is tested with the
// recording face; here they run on the real one.

#include "about/frmAbout.h"
#include "app/Form1.h"
#include "integrate/clsFrmIntegrate.h"
#include "platform/ProgramState.h"
#include "platform/qt/LinkLabel.h"
#include "platform/qt/QtFace.h"
#include "platform/qt/QtPlatformServices.h"
#include "platform/qt/WindowFont.h"
#include "platform/qt/WindowHandle.h"
#include "settings/frmLocation.h"
#include "settings/qt/QtSettingsStore.h"
#include "tests/settings/qt/IsolatedSettings.h"
#include "tests/support/FakeHost.h"
#include "tests/support/MemorySettings.h"
#include "tests/support/ScriptedPlatform.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFontInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

testsupport::IsolatedSettings *testsupport::IsolatedSettings::current = nullptr;

namespace {

using platform::qt::widgetOf;

QString q(const std::u16string &text)
{
    return QString::fromStdU16String(text);
}

std::u16string u(const QString &text)
{
    return text.toStdU16String();
}

QStringList list(const std::vector<std::u16string> &texts)
{
    QStringList out;
    for (const std::u16string &text : texts)
        out << q(text);
    return out;
}

const QString P = QStringLiteral("Pennaroc");
const QString Contact = QStringLiteral("Please contact support@veltrane.example with this error message.");

// Twips to pixels as the windows were designed: 15 to a pixel, rounded.
QRect pixels(const QRect &twips)
{
    const auto px = [](int t) { return qRound(t / 15.0); };
    return QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height()));
}

QString textOf(const QWidget *widget)
{
    if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->text();
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (auto *link = qobject_cast<const platform::LinkLabel *>(widget))
        return link->text();
    if (auto *frame = qobject_cast<const QGroupBox *>(widget))
        return frame->title();
    if (auto *edit = qobject_cast<const QLineEdit *>(widget))
        return edit->text();
    return QString();
}

bool nearlyCentred(const QRect &window, const QPoint &centre)
{
    return qAbs(window.center().x() - centre.x()) <= 1 && qAbs(window.center().y() - centre.y()) <= 1;
}

// What the desktop was asked, one line a request: message boxes, Open File
// dialogs, then shell requests.
QStringList requestsOf(const testsupport::ScriptedPlatform &desktop)
{
    QStringList out;
    for (const auto &m : desktop.messages)
        out << QStringLiteral("MsgBox %1 %2: %3").arg(m.style).arg(q(m.title), q(m.text));
    for (const auto &o : desktop.openFileRequests)
        out << QStringLiteral("OpenFile %1 from '%2'").arg(q(o.filter), q(o.initialDir));
    for (const auto &s : desktop.shellRequests)
        out << QStringLiteral("ShellExecute %1 %2 with %3 in %4, %5")
                   .arg(q(s.operation), q(s.target),
                        s.parameters ? "'" + q(*s.parameters) + "'" : QStringLiteral("nothing"), q(s.directory))
                   .arg(s.showCommand);
    return out;
}

// Counts the presses of a button as its window receives them; the button's
// own procedure still runs.
std::shared_ptr<int> countClicks(forms::Control &control)
{
    auto count = std::make_shared<int>(0);
    control.Click = [count, inner = control.Click] {
        ++*count;
        if (inner)
            inner();
    };
    return count;
}

// The scripted desktop, which records every request; a test may hand the
// file system, the shell, the Open File dialog or the folder chooser to
// the real desktop services, which then answer.
class Desktop : public testsupport::ScriptedPlatform {
public:
    bool realFiles = false, realShell = false, realOpenFile = false, realFolders = false;
    platform::QtPlatformServices real;

    bool PathExists(const std::u16string &path) override
    {
        if (!realFiles)
            return ScriptedPlatform::PathExists(path);
        pathQueries.push_back(path);
        return real.PathExists(path);
    }
    bool ShellExecute(platform::WindowHandle owner, const std::u16string &operation, const std::u16string &target,
                      const std::optional<std::u16string> &parameters, const std::u16string &directory,
                      int show) override
    {
        const bool answer = ScriptedPlatform::ShellExecute(owner, operation, target, parameters, directory, show);
        return realShell ? real.ShellExecute(owner, operation, target, parameters, directory, show) : answer;
    }
    std::optional<std::u16string> OpenFile(const platform::OpenFileRequest &request) override
    {
        if (!realOpenFile)
            return ScriptedPlatform::OpenFile(request);
        openFileRequests.push_back(request);
        return real.OpenFile(request);
    }
    std::optional<std::u16string> BrowseForFolder(platform::WindowHandle owner) override
    {
        if (!realFolders)
            return ScriptedPlatform::BrowseForFolder(owner);
        folderOwners.push_back(owner);
        return real.BrowseForFolder(owner);
    }
};

// Takes the URLs of one scheme that the desktop is asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    explicit UrlRecorder(const QString &scheme) : scheme_(scheme)
    {
        QDesktopServices::setUrlHandler(scheme_, this, "open");
    }
    ~UrlRecorder() override { QDesktopServices::unsetUrlHandler(scheme_); }

    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl &url) { urls << url; }

private:
    QString scheme_;
};

// The default folder in the real settings file; nothing removes the entry.
void storeDefaultFolder(const std::optional<QString> &folder)
{
    if (folder) {
        settings::QtSettingsStore().write(u"Pennaroc", u"Settings", u"DefaultFolder", u(*folder));
        return;
    }
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, P, P);
    store.remove(QStringLiteral("Settings/DefaultFolder"));
    store.sync();
}

// A window of the program on the Qt face, over a scripted host and desktop;
// its widgets are found by the ids of its table.
struct Window {
    platform::qt::QtFace face;
    testsupport::FakeHost host;
    Desktop desktop;

    Window() { program::RestartAct = false; }
    virtual ~Window() { program::RestartAct = false; }
    virtual forms::Form &form() const = 0;

    QWidget *window() const { return widgetOf(form().handle()); }
    template <class T = QWidget>
    T *find(const QString &id) const
    {
        return window()->findChild<T *>(id);
    }
    bool showActive() const
    {
        form().show();
        QApplication::setActiveWindow(window());
        return QTest::qWaitForWindowActive(window());
    }
};

// The main window, its setting in memory or in the real settings file.
struct Main : Window {
    testsupport::MemorySettings memory;
    settings::QtSettingsStore settingsFile;
    std::unique_ptr<app::Form1> main;

    app::Form1 &make(bool realSettings = false)
    {
        main = std::make_unique<app::Form1>(face, host, desktop,
                                            realSettings ? static_cast<settings::SettingsStore &>(settingsFile)
                                                         : static_cast<settings::SettingsStore &>(memory));
        return *main;
    }
    forms::Form &form() const override { return main->form(); }
    QRadioButton *option(int index) const { return find<QRadioButton>(QStringLiteral("optAction%1").arg(index)); }
    // Enabled and selected states of the three options, as "E-E/s--".
    QString states() const
    {
        QString enabled, selected;
        for (int i = 0; i < 3; ++i) {
            enabled += option(i)->isEnabled() ? u'E' : u'-';
            selected += option(i)->isChecked() ? u's' : u'-';
        }
        return enabled + u'/' + selected;
    }
    QString written(int row = 3) const
    {
        const auto found = host.details.find(row);
        return found == host.details.end() ? QString() : q(found->second);
    }
};

// The integration dialog as the main window sets it up.
struct Integrate : Window {
    int mainUnloads = 0;
    std::unique_ptr<clsFrmIntegrate> dlg;

    explicit Integrate(std::int16_t language = 0, platform::WindowHandle owner = nullptr)
    {
        dlg = std::make_unique<clsFrmIntegrate>(face, host, desktop, [this] { ++mainUnloads; }, owner);
        dlg->setLanguage(language);
        dlg->setAppName(u"Pennaroc");
        dlg->setContactScreen(true);
        dlg->setIntegrateIcon(forms::Icon::Program);
    }
    forms::Form &form() const override { return dlg->form(); }
    QCheckBox *box(int i) const { return find<QCheckBox>(QStringLiteral("chkScreen_%1").arg(i)); }
    QLabel *label(int i) const { return find<QLabel>(QStringLiteral("lblScreen_%1").arg(i)); }
    QGroupBox *frame(int i) const { return find<QGroupBox>(QStringLiteral("Frame1_%1").arg(i)); }
};

struct Location : Window {
    testsupport::MemorySettings memory;
    settings::QtSettingsStore settingsFile;
    std::unique_ptr<frmLocation> dlg;

    explicit Location(bool realSettings = false)
    {
        dlg = std::make_unique<frmLocation>(face, desktop,
                                            realSettings ? static_cast<settings::SettingsStore &>(settingsFile)
                                                         : static_cast<settings::SettingsStore &>(memory));
    }
    forms::Form &form() const override { return dlg->form(); }
    QString stored() const
    {
        const auto entry = memory.entry(u"Pennaroc", u"Settings", u"DefaultFolder");
        return entry ? q(*entry) : QStringLiteral("<missing>");
    }
};

struct About : Window {
    std::unique_ptr<frmAbout> box = std::make_unique<frmAbout>(face, desktop);
    forms::Form &form() const override { return box->form(); }
};

// One of the four windows by its name, built and not yet shown.
std::unique_ptr<Window> build(const QString &name)
{
    if (name == u"Form1") {
        auto m = std::make_unique<Main>();
        m->make();
        return m;
    }
    if (name == u"frmIntegrate")
        return std::make_unique<Integrate>();
    if (name == u"frmLocation")
        return std::make_unique<Location>();
    return std::make_unique<About>();
}

// Acts as the user, in steps separated by ", ": "click <id>", "right-click
// <id>", "release outside <id>" (pressed on it, released off it), "close
// box", or a key on a control, which takes the focus first: "<key> on <id>"
// with key Return, keypad Enter, Space, Escape, Ctrl+Return or W. False for
// a step it cannot take.
bool act(const Window &w, const QString &how)
{
    static const struct {
        const char *name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    } keys[] = {{"Return", Qt::Key_Return, Qt::NoModifier},       {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier},
                {"Space", Qt::Key_Space, Qt::NoModifier},         {"Escape", Qt::Key_Escape, Qt::NoModifier},
                {"Ctrl+Return", Qt::Key_Return, Qt::ControlModifier}, {"W", Qt::Key_W, Qt::NoModifier}};
    for (const QString &step : how.split(QStringLiteral(", "))) {
        if (step == u"close box") {
            if (!w.window()->close())
                return false;
            continue;
        }
        QWidget *target = w.find(step.section(u' ', -1));
        if (!target)
            return false;
        if (step.startsWith(u"click ")) {
            QTest::mouseClick(target, Qt::LeftButton);
        } else if (step.startsWith(u"right-click ")) {
            QTest::mouseClick(target, Qt::RightButton);
        } else if (step.startsWith(u"release outside ")) {
            QTest::mousePress(target, Qt::LeftButton);
            QTest::mouseRelease(target, Qt::LeftButton, {}, QPoint(-5, -5));
        } else {
            const QString name = step.section(QStringLiteral(" on "), 0, 0);
            const auto key = std::find_if(std::begin(keys), std::end(keys),
                                          [&](const auto &k) { return name == QLatin1String(k.name); });
            if (key == std::end(keys))
                return false;
            target->setFocus(Qt::TabFocusReason);
            QTest::keyClick(target, key->key, key->modifiers);
        }
    }
    return true;
}

// Runs whileOpen once a modal window of type T shows, inside the modal loop
// that run() starts; whileOpen closes it. True when it ran.
template <class T>
bool whileModal(const std::function<void()> &run, const std::function<void(T *)> &whileOpen)
{
    bool ran = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *modal = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!modal || !modal->isVisible() || ran)
            return;
        ran = true;
        poll.stop();
        whileOpen(modal);
    });
    poll.start(20);
    run();
    return ran;
}

} // namespace

class TestQtWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup();

    // Every window.
    void windowFrames_data();
    void windowFrames();
    void controlPlaces_data();
    void controlPlaces();
    void tabOrder_data();
    void tabOrder();
    void links_data();
    void links();
    void closing_data();
    void closing();
    void oneFaceEverywhere_data();
    void oneFaceEverywhere();

    // The main window.
    void mainMenusFontsAndState();
    void mainLinkTextFits();
    void mainEnterPressesOk();
    void mainMenusOpenModalDialogs_data();
    void mainMenusOpenModalDialogs();
    void mainRestartEndsOnSecondRealTick();
    void mainNotificationInRealModalWindows_data();
    void mainNotificationInRealModalWindows();
    void mainOkWithRealFilesAndSettings_data();
    void mainOkWithRealFilesAndSettings();
    void mainUnusualRealFileNames_data();
    void mainUnusualRealFileNames();
    void mainRealOpenFileDialog_data();
    void mainRealOpenFileDialog();

    // The dialogs.
    void integrateTextsFit_data();
    void integrateTextsFit();
    void integrateAccessibleNames_data();
    void integrateAccessibleNames();
    void integrateClicks_data();
    void integrateClicks();
    void integrateRestartFromModalLoop();
    void locationKeys_data();
    void locationKeys();
    void locationShowsStoredTextWhole_data();
    void locationShowsStoredTextWhole();
    void locationRealFolderChooser_data();
    void locationRealFolderChooser();
    void locationModalShowEndsOnEnter();
    void locationUnreadableSettingsFile();
    void aboutFontsAndSeparator();
};

void TestQtWindows::cleanup()
{
    program::RestartAct = false;
    storeDefaultFolder(std::nullopt);
    // A window that ended the program asked the application to quit, and Qt
    // keeps that request: every modal loop after it would end at once. One
    // pass of the application's own loop clears it.
    QTimer now;
    now.setSingleShot(true);
    connect(&now, &QTimer::timeout, [] { QCoreApplication::exit(0); });
    now.start(0);
    QApplication::exec();
}

// ================================================================ every window

void TestQtWindows::windowFrames_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("size"); // of the client area
    QTest::addColumn<QStringList>("buttons"); // the default one first
    QTest::addColumn<bool>("centred");        // on the screen, as built
    QTest::newRow("main window") << "Form1" << P << QSize(351, 168) << QStringList{"cmdOK", "cmdCancel"} << true;
    QTest::newRow("integration dialog") << "frmIntegrate" << "Integrate with ACT!" << QSize(468, 216)
                                        << QStringList{"cmdOK", "cmdCancel"} << false;
    QTest::newRow("location dialog") << "frmLocation" << "Default Attachment Location" << QSize(469, 114)
                                     << QStringList{"cmdOK", "cmdCancel", "cmdBrowse"} << false;
    QTest::newRow("About box") << "frmAbout" << P << QSize(382, 219) << QStringList{"cmdOK"} << true;
}

void TestQtWindows::windowFrames()
{
    QFETCH(QString, window);
    QFETCH(QString, title);
    QFETCH(QSize, size);
    QFETCH(QStringList, buttons);
    QFETCH(bool, centred);
    const auto w = build(window);
    QWidget *frame = w->window();
    QWidget *client = window == u"Form1" ? w->find(QStringLiteral("client")) : frame;
    QCOMPARE(frame->windowTitle(), title);
    QCOMPARE(client->size(), size);
    // Fixed, with a close box and no minimise, maximise or help button.
    QCOMPARE(frame->minimumSize(), frame->maximumSize());
    const Qt::WindowFlags flags = frame->windowFlags();
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint)));
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    for (const QString &id : buttons)
        QCOMPARE(w->find<QPushButton>(id)->isDefault(), id == buttons.first());
    if (centred)
        QVERIFY2(nearlyCentred(frame->geometry(), frame->screen()->availableGeometry().center()),
                 "not centred on the screen");

    w->form().show();
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    QCOMPARE(client->size(), size);
    if (window == u"Form1") {
        // The client area just below the menu bar.
        auto *main = static_cast<QMainWindow *>(frame);
        QCOMPARE(client->geometry().top(), main->menuBar()->geometry().bottom() + 1);
        QVERIFY(!frame->windowIcon().isNull());
    }
}

void TestQtWindows::controlPlaces_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("place");  // in pixels; none: anywhere
    QTest::addColumn<QString>("parent"); // the frame it stands in; empty: the window's client area
    QTest::addColumn<bool>("grows");   // a label that may grow to the right to fit this desktop's font

    const auto main = [](const char *id, const char *text, QRect twips) {
        QTest::addRow("Form1 %s", id) << "Form1" << id << text << pixels(twips)
                                      << (QByteArray(id).startsWith("opt") ? "fraAction" : "") << false;
    };
    main("fraAction", "Action:", {210, 225, 3600, 1755});
    main("optAction0", "&Open the attachment", {255, 375, 2055, 375});
    main("optAction1", "&Remove the attachment", {255, 750, 2055, 375});
    main("optAction2", "&Attach a new file", {255, 1125, 3195, 375});
    main("cmdOK", "&OK", {4050, 360, 1000, 325});
    main("cmdCancel", "&Cancel", {4050, 795, 1000, 325});
    main("lblMore", "Find more free ACT! add-ons at ", {1035, 2280, 2385, 285});
    main("lblLink", "www.veltrane.example", {3435, 2280, 1755, 255});

    const auto row = [](const char *window, const char *id, const QString &text, QRect place,
                        const QString &parent = QString(), bool grows = false) {
        QTest::addRow("%s %s", window, id) << window << id << text << place << parent << grows;
    };
    row("frmIntegrate", "Frame1_0", "Toolbar Button added to the following Views :", {21, 16, 341, 79});
    row("frmIntegrate", "Frame1_1", "Menu Item added to the following Views :", {21, 105, 342, 79});
    row("frmIntegrate", "lblRestart", "You will need to re-start ACT! to see the changes.", {33, 190, 378, 21});
    row("frmIntegrate", "cmdOK", "&Close", {388, 24, 67, 22});
    row("frmIntegrate", "cmdCancel", "&Cancel", {388, 56, 67, 22});
    // Box left, top, width; label left, top, width (inside the frame).
    const int places[12][6] = {{14, 23, 17, 33, 25, 80},  {121, 23, 17, 140, 25, 98}, {240, 21, 17, 258, 23, 67},
                               {14, 46, 17, 33, 48, 88},  {121, 46, 17, 140, 48, 98}, {240, 44, 17, 258, 46, 68},
                               {14, 23, 15, 33, 25, 62},  {121, 23, 17, 140, 25, 100}, {242, 23, 17, 260, 25, 62},
                               {14, 46, 17, 33, 48, 88},  {121, 46, 17, 140, 48, 101}, {242, 46, 17, 260, 48, 62}};
    const QStringList views{"Contacts", "Contact List", "Groups", "Task List", "Calendars", "E-mail"};
    for (int i = 0; i < 12; ++i) {
        const auto &p = places[i];
        const QString frame = QStringLiteral("Frame1_%1").arg(i / 6);
        const QByteArray box = "chkScreen_" + QByteArray::number(i);
        const QByteArray label = "lblScreen_" + QByteArray::number(i);
        row("frmIntegrate", box.constData(), QString(), {p[0], p[1], p[2], 17}, frame);
        row("frmIntegrate", label.constData(), views[i % 6], {p[3], p[4], p[5], 18}, frame);
    }

    row("frmLocation", "cmdOK", "&OK", {165, 78, 67, 22});
    row("frmLocation", "cmdCancel", "&Cancel", {237, 78, 67, 22});
    row("frmLocation", "cmdBrowse", "Browse...", {391, 41, 67, 22});
    row("frmLocation", "txtPath", "/opt/pennaroc", {20, 41, 367, 21});
    row("frmLocation", "lblPath", "Default Attachment Folder :", {20, 22, 367, 19});

    row("frmAbout", "lblTitle", P, {70, 16, 259, 24}, {}, true);
    row("frmAbout", "lblVersion", "Version 1.0.0", {70, 52, 259, 15}, {}, true);
    row("frmAbout", "lblCopyright", QString::fromUtf8("\xC2\xA9 2026 Veltrane"), {}, {}, true);
    row("frmAbout", "lblFreeware", "This program is freeware.", {}, {}, true);
    row("frmAbout", "Line1", QString(), {4, 120, 375, 1});
    row("frmAbout", "lblProblem", "Any problem, question or suggestion, please contact:", {16, 176, 257, 17}, {},
        true);
    row("frmAbout", "lblMail", "support@veltrane.example", {16, 192, 161, 17}, {}, true);
    row("frmAbout", "cmdOK", "Close", {299, 136, 73, 25});
}

void TestQtWindows::controlPlaces()
{
    QFETCH(QString, window);
    QFETCH(QString, id);
    QFETCH(QString, text);
    QFETCH(QRect, place);
    QFETCH(QString, parent);
    QFETCH(bool, grows);
    const auto w = build(window);
    w->form().show();
    QVERIFY(QTest::qWaitForWindowExposed(w->window()));
    QWidget *control = w->find(id);
    QVERIFY(control);
    QCOMPARE(textOf(control), text);
    QWidget *container = w->find(parent.isEmpty() ? QStringLiteral("client") : parent);
    QCOMPARE(control->parentWidget(), container ? container : w->window());
    if (place.isValid()) {
        QCOMPARE(control->pos(), place.topLeft());
        QCOMPARE(control->height(), place.height());
        if (grows)
            QVERIFY(control->width() >= place.width());
        else
            QCOMPARE(control->width(), place.width());
    }
    if (window == u"frmAbout" && !text.isEmpty()) {
        // No text is cut, and nothing reaches past the window's right edge.
        const int needed = grows ? control->sizeHint().width() : control->fontMetrics().horizontalAdvance(text);
        QVERIFY2(needed <= control->width(), qPrintable(QString::number(needed)));
        QVERIFY(control->geometry().right() < w->window()->width());
    }
}

void TestQtWindows::tabOrder_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("stops"); // where the focus is, then each Tab's stop
    QTest::addColumn<QString>("backtab");   // Backtab's stop from there
    QTest::addColumn<QStringList>("noFocus");
    QTest::addColumn<QString>("link"); // a click on it leaves the focus where it was
    // Tab stops at the selected option (Attach), OK, Cancel and the link,
    // and comes round again.
    QTest::newRow("main window") << "Form1"
                                 << QStringList{"optAction2", "cmdOK", "cmdCancel", "lblLink", "optAction2"}
                                 << "lblLink" << QStringList{"fraAction", "lblMore"} << "lblLink";
    QStringList boxes, labels{"Frame1_0", "Frame1_1", "lblRestart"};
    for (int i : {0, 1, 2, 3, 4, 5, 11, 10, 9, 8, 7, 6})
        boxes << QStringLiteral("chkScreen_%1").arg(i);
    for (int i = 0; i < 12; ++i)
        labels << QStringLiteral("lblScreen_%1").arg(i);
    QTest::newRow("integration dialog, every view enabled")
        << "frmIntegrate" << boxes + QStringList{"cmdOK", "cmdCancel", "chkScreen_0"} << "cmdCancel" << labels
        << "";
    QTest::newRow("location dialog") << "frmLocation"
                                     << QStringList{"cmdOK", "cmdCancel", "cmdBrowse", "txtPath", "cmdOK"}
                                     << "txtPath" << QStringList{"lblPath"} << "";
    QTest::newRow("About box") << "frmAbout" << QStringList{"cmdOK", "lblMail", "cmdOK"} << "lblMail"
                               << QStringList{"lblTitle", "lblVersion", "lblCopyright", "lblFreeware", "lblProblem"}
                               << "lblMail";
}

void TestQtWindows::tabOrder()
{
    QFETCH(QString, window);
    QFETCH(QStringList, stops);
    QFETCH(QString, backtab);
    QFETCH(QStringList, noFocus);
    QFETCH(QString, link);
    const auto w = build(window);
    if (auto *d = dynamic_cast<Integrate *>(w.get())) {
        d->dlg->setContactListScreen(true);
        d->dlg->setGroupScreen(true);
        d->dlg->setTaskListScreen(true);
        d->dlg->setCalendarsScreen(true);
        d->dlg->setEmailScreen(true);
    }
    if (window == u"Form1") {
        // The focus chain as laid out; only the options, the buttons and the
        // link take the focus.
        const QStringList chain{"fraAction", "optAction0", "optAction1", "optAction2",
                                "cmdOK",     "cmdCancel",  "lblMore",    "lblLink"};
        for (qsizetype i = 0; i + 1 < chain.size(); ++i)
            QCOMPARE(w->find(chain[i])->nextInFocusChain(), w->find(chain[i + 1]));
    }
    QVERIFY(w->showActive());
    const auto calls = w->host.calls.size();
    if (window == u"Form1")
        w->find(stops.first())->setFocus(Qt::TabFocusReason); // the face's choice, else
    QCOMPARE(QApplication::focusWidget(), w->find(stops.first()));
    for (qsizetype k = 1; k < stops.size(); ++k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w->find(stops[k]));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), w->find(backtab));
    for (const QString &id : noFocus)
        QCOMPARE(w->find(id)->focusPolicy(), Qt::NoFocus);
    // Moving the focus does nothing else.
    QCOMPARE(w->host.calls.size(), calls);
    QVERIFY(w->desktop.shellRequests.empty());
    QVERIFY(w->desktop.messages.empty());
    if (!link.isEmpty()) {
        // The link takes the focus by Tab only.
        QCOMPARE(w->find(link)->focusPolicy(), Qt::TabFocus);
        w->find(QStringLiteral("cmdOK"))->setFocus(Qt::TabFocusReason);
        QVERIFY(act(*w, QStringLiteral("click ") + link));
        QCOMPARE(QApplication::focusWidget(), w->find(QStringLiteral("cmdOK")));
        QCOMPARE(w->desktop.shellRequests.size(), size_t(1));
    }
}

void TestQtWindows::links_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("requests"); // to open the link's target
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("shellWorks");
    const auto row = [](const char *window, const char *how, int requests, bool closes = false, bool works = true) {
        QTest::addRow("%s: %s", window, how) << window << how << requests << closes << works;
    };
    row("Form1", "click lblLink", 1);
    row("Form1", "release outside lblLink", 0); // a press whose release ends off the label is no click
    row("Form1", "Return on lblLink", 1);
    row("Form1", "keypad Enter on lblLink", 1);
    row("Form1", "Space on lblLink", 1);
    row("Form1", "Ctrl+Return on lblLink", 0);
    row("Form1", "W on lblLink", 0);
    row("Form1", "Escape on lblLink", 0, true); // the window's own: Cancel
    row("frmAbout", "click lblMail", 1);
    row("frmAbout", "click lblMail, click lblMail", 2);
    row("frmAbout", "click lblMail", 1, false, false); // no mail program: nothing shown
    row("frmAbout", "right-click lblMail", 0);
    row("frmAbout", "click lblProblem", 0);
    row("frmAbout", "release outside lblMail", 0);
    row("frmAbout", "Return on lblMail", 1);
    row("frmAbout", "keypad Enter on lblMail", 1);
    row("frmAbout", "Space on lblMail", 1);
    row("frmAbout", "Escape on lblMail", 0, true); // the box's own: it closes
}

void TestQtWindows::links()
{
    QFETCH(QString, window);
    QFETCH(QString, how);
    QFETCH(int, requests);
    QFETCH(bool, closes);
    QFETCH(bool, shellWorks);
    const auto w = build(window);
    w->desktop.shellAnswer = shellWorks;
    QVERIFY(w->showActive());
    const auto presses = countClicks(*w->form().find("cmdOK"));
    QVERIFY(act(*w, how));
    // The same request each time: the site or the mail address, from the
    // program's folder. The link's keys are no press of the default button.
    QCOMPARE(int(w->desktop.shellRequests.size()), requests);
    const std::u16string target =
        window == u"Form1" ? u"https://www.veltrane.example/" : u"mailto:support@veltrane.example";
    for (const auto &shell : w->desktop.shellRequests)
        QCOMPARE(q(testsupport::linkRequestMismatch(shell, target)), QString());
    QCOMPARE(*presses, 0);
    QCOMPARE(w->form().isUnloaded(), closes);
    QCOMPARE(w->window()->isVisible(), !closes);
    QVERIFY(w->desktop.messages.empty());
}

void TestQtWindows::closing_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("asks"); // message boxes on the way
    // The main window ends the program, and never restarts ACT! then.
    QTest::newRow("main window: Cancel clicked") << "Form1" << "click cmdCancel" << 0;
    QTest::newRow("main window: Escape") << "Form1" << "Escape on optAction2" << 0;
    QTest::newRow("main window: close box") << "Form1" << "close box" << 0;
    // After a change, Close asks about restarting ACT!; Cancel does not.
    QTest::newRow("integration: Close button") << "frmIntegrate" << "click cmdOK" << 1;
    QTest::newRow("integration: Enter presses Close") << "frmIntegrate" << "Return on chkScreen_0" << 1;
    QTest::newRow("integration: Cancel button") << "frmIntegrate" << "click cmdCancel" << 0;
    QTest::newRow("integration: Escape presses Cancel") << "frmIntegrate" << "Escape on chkScreen_0" << 0;
    QTest::newRow("integration: close box") << "frmIntegrate" << "close box" << 0;
    QTest::newRow("About: click on Close") << "frmAbout" << "click cmdOK" << 0;
    QTest::newRow("About: Enter") << "frmAbout" << "Return on cmdOK" << 0;
    QTest::newRow("About: keypad Enter") << "frmAbout" << "keypad Enter on cmdOK" << 0;
    QTest::newRow("About: Escape") << "frmAbout" << "Escape on cmdOK" << 0;
    QTest::newRow("About: Space on Close") << "frmAbout" << "Space on cmdOK" << 0;
    QTest::newRow("About: close box") << "frmAbout" << "close box" << 0;
}

void TestQtWindows::closing()
{
    QFETCH(QString, window);
    QFETCH(QString, how);
    QFETCH(int, asks);
    const auto w = build(window);
    QVERIFY(w->showActive());
    auto *integrate = dynamic_cast<Integrate *>(w.get());
    if (integrate) {
        QVERIFY(!integrate->dlg->AuxCommands().isNothing());
        QVERIFY(act(*w, QStringLiteral("click lblScreen_6")));
        QVERIFY(integrate->host.toolsMenu.count({std::int16_t(1), u"Pennaroc"}));
        integrate->desktop.messages.clear();
    }
    const auto calls = w->host.calls.size();
    QVERIFY(act(*w, how));
    QCOMPARE(int(w->desktop.messages.size()), asks);
    QVERIFY(!w->window()->isVisible());
    QVERIFY(w->form().isUnloaded());
    QVERIFY(w->desktop.shellRequests.empty());
    if (integrate) {
        QVERIFY(integrate->dlg->AuxCommands().isNothing());
        QVERIFY(!program::RestartAct);
        QCOMPARE(integrate->mainUnloads, 0);
    }
    if (window == u"Form1") {
        QCOMPARE(w->host.calls.size(), calls);
        QVERIFY(!w->find<QTimer>(QStringLiteral("tmr1"))->isActive());
    }
}

void TestQtWindows::oneFaceEverywhere_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("main window") << "Form1";
    QTest::newRow("integration dialog") << "frmIntegrate";
    QTest::newRow("location dialog") << "frmLocation";
    QTest::newRow("About box") << "frmAbout";
}

void TestQtWindows::oneFaceEverywhere()
{
    QFETCH(QString, window);
    const auto w = build(window);
    w->form().show();
    QWidget *shown = w->window();
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    const QString family = QFontInfo(platform::windowFont()).family();
    QVERIFY(!family.isEmpty());
    QCOMPARE(QFontInfo(shown->font()).family(), family);
    // Down to the last control, bold and underlined ones included. The
    // menus, which size themselves to their items as message boxes do, take
    // the desktop's menu face.
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

// ================================================================ main window

void TestQtWindows::mainMenusFontsAndState()
{
    Main m;
    m.make();
    // As built: every option enabled and none selected; no tick.
    QCOMPARE(m.states(), QStringLiteral("EEE/---"));
    auto *timer = m.find<QTimer>(QStringLiteral("tmr1"));
    QVERIFY(timer);
    QVERIFY(!timer->isActive());
    QCOMPARE(timer->interval(), 0);
    QWidget *link = m.find(QStringLiteral("lblLink"));
    QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(link->font().underline());
    QVERIFY(!link->font().bold());

    QStringList menus;
    for (QAction *menu : static_cast<QMainWindow *>(m.window())->menuBar()->actions()) {
        menus << menu->text();
        for (QAction *item : menu->menu()->actions())
            menus << QStringLiteral("  ") + (item->isSeparator() ? QStringLiteral("-") : item->text());
    }
    QCOMPARE(menus, (QStringList{"Options", "  Default Attachment Location...", "  -", "  Integrate with ACT!...",
                                 "Help", "  About"}));
}

void TestQtWindows::mainLinkTextFits()
{
    Main m;
    m.make();
    m.form().show();
    QVERIFY(QTest::qWaitForWindowExposed(m.window()));
    const auto *link = m.find<platform::LinkLabel>(QStringLiteral("lblLink"));
    const QWidget *client = m.find(QStringLiteral("client"));
    const QFontMetrics metrics = link->fontMetrics();
    // The whole line of text, descenders and underline included, inside the
    // label and inside the client area whose bottom edge cuts it.
    const QRect text = link->textRect();
    QVERIFY2(link->height() >= metrics.height(), qPrintable(QString::number(metrics.height())));
    QVERIFY(text.height() >= metrics.height());
    QVERIFY(metrics.horizontalAdvance(link->text()) <= link->width());
    QVERIFY(link->rect().contains(text));
    const QRect onClient = text.translated(link->pos());
    QVERIFY2(client->rect().contains(onClient),
             qPrintable(QStringLiteral("text %1,%2 %3x%4 on a client area of %5x%6")
                            .arg(onClient.x()).arg(onClient.y()).arg(onClient.width()).arg(onClient.height())
                            .arg(client->width()).arg(client->height())));
    // On the same line as the words before it: one baseline.
    const auto *more = m.find<QLabel>(QStringLiteral("lblMore"));
    const QRect moreText = more->style()->itemTextRect(more->fontMetrics(), more->contentsRect(),
                                                       int(more->alignment()), true, more->text());
    QCOMPARE(onClient.top() + metrics.ascent(), more->y() + moreText.top() + more->fontMetrics().ascent());
    QVERIFY(more->fontMetrics().horizontalAdvance(more->text()) <= more->width());
    QVERIFY(more->geometry().right() < link->geometry().left());
}

void TestQtWindows::mainEnterPressesOk()
{
    Main m;
    m.make();
    QVERIFY(m.showActive());
    const auto ok = countClicks(m.main->control("cmdOK"));
    const auto cancel = countClicks(m.main->control("cmdCancel"));
    // Real key events on the selected option (Attach, whose Open File dialog
    // is cancelled) press OK.
    QVERIFY(act(m, QStringLiteral("Return on optAction2, keypad Enter on optAction2")));
    QCOMPARE(*ok, 2);
    QCOMPARE(m.desktop.openFileRequests.size(), size_t(2));
    // A focused Cancel takes Enter itself.
    QVERIFY(act(m, QStringLiteral("Return on cmdCancel")));
    QCOMPARE(*ok, 2);
    QCOMPARE(*cancel, 1);
    QVERIFY(m.main->isUnloaded());
}

void TestQtWindows::mainMenusOpenModalDialogs_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("seen"); // the modal window's name and title
    QTest::addColumn<int>("event");    // raised while it is open, or 0
    QTest::newRow("Default Attachment Location...") << "mnuLocation" << "frmLocation|Default Attachment Location" << 0;
    QTest::newRow("Integrate with ACT!...") << "mnuIntegrate" << "frmIntegrate|Integrate with ACT!" << 0;
    QTest::newRow("About") << "mnuAbout" << "frmAbout|Pennaroc" << 0;
    QTest::newRow("About, event 10 while open") << "mnuAbout" << "frmAbout|Pennaroc" << 10;
    QTest::newRow("About, event 22 while open") << "mnuAbout" << "frmAbout|Pennaroc" << 22;
}

void TestQtWindows::mainMenusOpenModalDialogs()
{
    QFETCH(QString, menu);
    QFETCH(QString, seen);
    QFETCH(int, event);
    Main m;
    m.host.toolbar.insert({std::int16_t(3), u"Pennaroc"});
    m.make();
    QVERIFY(m.showActive());

    QString shown = QStringLiteral("none");
    QString boxes;
    bool sameIcon = false;
    QTimer probe;
    probe.setSingleShot(true);
    connect(&probe, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        shown = modal->objectName() + u'|' + modal->windowTitle();
        if (menu == u"mnuIntegrate") {
            // Only the Contacts view enabled, and the boxes as ACT! has them.
            for (int i = 0; i < 12; ++i) {
                auto *box = modal->findChild<QCheckBox *>(QStringLiteral("chkScreen_%1").arg(i));
                boxes += box->isEnabled() ? u'E' : u'-';
                boxes += box->isChecked() ? u'1' : u'0';
            }
            // The main window's icon, the program's.
            const QIcon mine = modal->windowIcon();
            const QIcon main = m.window()->windowIcon();
            sameIcon = !mine.isNull() && !main.isNull()
                && (mine.cacheKey() == main.cacheKey() || mine.pixmap(32).toImage() == main.pixmap(32).toImage());
        }
        if (event)
            m.host.raiseEvent(std::int16_t(event));
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    probe.start(100);
    m.find<QAction>(menu)->trigger();

    QCOMPARE(shown, seen);
    if (menu == u"mnuIntegrate") {
        QCOMPARE(boxes, QStringLiteral("E0-0-1-0-0-0E0-0-0-0-0-0"));
        QVERIFY(sameIcon);
    }
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(m.main->isUnloaded(), event != 0);
    QCOMPARE(m.window()->isVisible(), event == 0);
    QVERIFY(m.desktop.messages.empty());
}

void TestQtWindows::mainRestartEndsOnSecondRealTick()
{
    Main m;
    app::Form1 &form = m.make();
    form.form().load();
    program::RestartAct = true;
    int cancel = 0;
    QElapsedTimer clock;
    clock.start();
    form.Form_Unload(cancel);
    QVERIFY(!m.window()->isVisible());
    QTimer giveUp;
    giveUp.setSingleShot(true);
    connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(3); });
    giveUp.start(6000);
    const int status = m.face.run();
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(status, 0);
    QVERIFY2(elapsed >= 1900 && elapsed < 4000, qPrintable(QString::number(elapsed)));
    QVERIFY(form.hasEnded());
    QCOMPARE(form.tickCount(), std::int16_t(2));
    QVERIFY(!m.find<QTimer>(QStringLiteral("tmr1"))->isActive());
}

// Run in a child copy of this program, so that the real event loop can end
// with the program's own exit status.
void TestQtWindows::mainNotificationInRealModalWindows_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("expected");
    QTest::newRow("event 10 during the start-up's message box") << "modal-msgbox" << "modal:QMessageBox";
    QTest::newRow("event 22 during a dialog opened from the window") << "modal-dialog" << "modal:QDialog";
}

void TestQtWindows::mainNotificationInRealModalWindows()
{
    QFETCH(QString, scenario);
    QFETCH(QString, expected);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PENNAROC_TEST_CHILD"), scenario);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(30000));
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    QVERIFY2(child.exitStatus() == QProcess::NormalExit, qPrintable(child.readAllStandardError()));
    QVERIFY2(child.exitCode() == 0, qPrintable(out + QString::fromUtf8(child.readAllStandardError())));
    QVERIFY2(out.contains(expected), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("ended unloaded")), qPrintable(out));
}

void TestQtWindows::mainOkWithRealFilesAndSettings_data()
{
    // %D is a scratch folder holding the files "Quote.odt" and "f.txt"; %F
    // the settings file.
    QTest::addColumn<QString>("details");
    QTest::addColumn<QString>("stored"); // the default folder; "<missing>": no entry; "<unreadable>": a folder there
    QTest::addColumn<QStringList>("asked"); // of the desktop
    QTest::addColumn<QStringList>("calls"); // of ACT!
    QTest::addColumn<QString>("path");      // the attachment's path afterwards
    QTest::addColumn<bool>("unloaded");
    const auto opens = [](const char *name, const char *marker, const char *path, bool exists) {
        QTest::newRow(name) << marker << "<missing>"
                            << QStringList{exists ? "ShellExecute Open " + QString::fromUtf8(path)
                                                        + " with '' in /opt/pennaroc, 5"
                                                  : QStringLiteral("MsgBox 0 Pennaroc: The path to the attachment "
                                                                   "is invalid or the file is not accessible.")}
                            << QStringList() << path << exists;
    };
    // Open, against the real file system, with the path trimmed of spaces;
    // nothing is asked of ACT!.
    opens("open: file", "[[%D/Quote.odt]]", "%D/Quote.odt", true);
    opens("open: spaces around are trimmed", "x [[  %D/Quote.odt ]]", "%D/Quote.odt", true);
    opens("open: folder", "[[%D]]", "%D", true);
    opens("open: empty path", "[[]]", "", false);
    opens("open: spaces only", "[[   ]]", "", false);
    opens("open: missing file", "[[%D/Gone.odt]]", "%D/Gone.odt", false);
    opens("open: tab around is not trimmed", "[[\t%D/Quote.odt]]", "\t%D/Quote.odt", false);
    // Attach starts where the settings file says, if that exists; read when
    // OK is pressed, not at start-up.
    const QStringList attached{"SalesList.GetField(36,3)", "SalesList.GetField(36,3)",
                               "SalesList.SetField(36,3,Call back [[/x]])"};
    const auto attaches = [&](const char *name, const char *stored, const char *from) {
        QTest::newRow(name) << "Call back" << stored
                            << QStringList{QStringLiteral("OpenFile All files (*.*)|*.* from '%1'").arg(from)}
                            << attached << "/x" << true;
    };
    attaches("attach: no entry", "<missing>", "");
    attaches("attach: empty entry", "", "");
    attaches("attach: existing folder", "%D", "%D");
    attaches("attach: folder gone", "%D/gone", "");
    attaches("attach: a file is handed over as it is", "%D/f.txt", "%D/f.txt");
    attaches("attach: blanks are part of the name", " %D", "");
    QTest::newRow("attach: unreadable settings file")
        << "Call back" << "<unreadable>"
        << QStringList{"MsgBox 0 Pennaroc error: Error 75: 'Path/File access error: the settings file %F could not "
                       "be read'\rin Form1: Sub cmdOK_Click - Line # 10620\r\r"
                       + Contact}
        << QStringList{"SalesList.GetField(36,3)"} << "" << false;
}

void TestQtWindows::mainOkWithRealFilesAndSettings()
{
    QFETCH(QString, details);
    QFETCH(QString, stored);
    QFETCH(QStringList, asked);
    QFETCH(QStringList, calls);
    QFETCH(QString, path);
    QFETCH(bool, unloaded);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char *name : {"Quote.odt", "f.txt"}) {
        QFile file(dir.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString settingsFile = settings::QtSettingsStore::fileName(u"Pennaroc");
    const auto fill = [&](QString text) {
        return text.replace(QStringLiteral("%D"), dir.path()).replace(QStringLiteral("%F"), settingsFile);
    };
    for (QString &line : asked)
        line = fill(line);

    Main m;
    m.desktop.realFiles = true;
    m.desktop.openFileAnswers = {u"/x"};
    m.host.currentRow = 3;
    m.host.details = {{3, u(fill(details))}};
    app::Form1 &form = m.make(true);
    QVERIFY(m.showActive());
    m.host.calls.clear();
    if (stored == u"<unreadable>") {
        QFile::remove(settingsFile);
        QVERIFY(QDir().mkpath(settingsFile));
    } else if (stored != u"<missing>") {
        storeDefaultFolder(fill(stored));
    }
    const auto restore = qScopeGuard([&] { QDir(settingsFile).removeRecursively(); });
    QVERIFY(act(m, QStringLiteral("click cmdOK"))); // a real click

    QCOMPARE(requestsOf(m.desktop), asked);
    for (const auto &request : m.desktop.openFileRequests)
        QVERIFY(request.owner == m.form().handle());
    QCOMPARE(list(m.host.calls), calls);
    QCOMPARE(q(form.attachmentPath()), fill(path));
    QCOMPARE(form.isUnloaded(), unloaded);
}

void TestQtWindows::mainUnusualRealFileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("spaces") << "my file  2.txt";
    QTest::newRow("quotes") << "say \"hi\" it's.txt";
    QTest::newRow("semicolon") << "a;rm -rf x.txt";
    QTest::newRow("command substitution") << "$(touch pwned).txt";
    QTest::newRow("backticks") << "`touch pwned`.txt";
    QTest::newRow("leading blank") << " lead.txt";
    QTest::newRow("non-Latin") << QString::fromUtf8("Ελληνικά 日本語 😀.txt");
    QTest::newRow("percent and hash") << "100% #1?.txt";
}

void TestQtWindows::mainUnusualRealFileNames()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.close();

    UrlRecorder files(QStringLiteral("file"));
    Main open;
    open.desktop.realFiles = true;
    open.desktop.realShell = true;
    open.host.currentRow = 3;
    open.host.details = {{3, u"Note [[" + u(path) + u"]]"}};
    app::Form1 &form = open.make();
    QVERIFY(open.showActive());
    QCOMPARE(q(form.attachmentPath()), path);
    QVERIFY(act(open, QStringLiteral("click cmdOK")));
    // The real file is found, and the desktop receives it as a file URL that
    // decodes to the same path; no shell runs any part of it.
    QCOMPARE(open.desktop.shellRequests.size(), size_t(1));
    QCOMPARE(q(open.desktop.shellRequests[0].target), path);
    QCOMPARE(files.urls.size(), 1);
    QCOMPARE(files.urls[0].scheme(), QStringLiteral("file"));
    QCOMPARE(files.urls[0].toLocalFile(), path);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("pwned"))));
    QVERIFY(form.isUnloaded());
}

void TestQtWindows::mainRealOpenFileDialog_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("the folder") << "";
    // The location dialog stores what was typed, a file's path included:
    // the dialog then starts in the folder that holds the file.
    QTest::newRow("a file in the folder") << "notes.txt";
    QTest::newRow("the folder, with a trailing slash") << "/";
}

void TestQtWindows::mainRealOpenFileDialog()
{
    QFETCH(QString, stored);
    QTemporaryDir dir;
    for (const char *name : {"README", "notes.txt"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    storeDefaultFolder(stored == u"/" ? dir.path() + stored : stored.isEmpty() ? dir.path() : dir.filePath(stored));
    Main m;
    m.desktop.realFiles = true;
    m.desktop.realOpenFile = true;
    m.host.details = {{0, u"Call back"}};
    app::Form1 &form = m.make(true);
    QVERIFY(m.showActive());

    QString title, filterShown, shownFolder;
    QStringList listed;
    QElapsedTimer waited;
    waited.start();
    const bool ran = whileModal<QFileDialog>([&] { act(m, QStringLiteral("click cmdOK")); }, [&](QFileDialog *dialog) {
        // What the user sees once the folder is listed.
        auto *view = dialog->findChild<QListView *>(QStringLiteral("listView"));
        while (view && view->model()->rowCount(view->rootIndex()) < 2 && waited.elapsed() < 10000)
            QTest::qWait(20);
        title = dialog->windowTitle();
        shownFolder = dialog->directory().absolutePath();
        auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        filterShown = combo ? combo->currentText() : QString();
        for (int row = 0; view && row < view->model()->rowCount(view->rootIndex()); ++row)
            listed << view->model()->index(row, 0, view->rootIndex()).data().toString();
        // A bare name typed into the file-name box, as a user would: it is
        // found in the folder the dialog shows.
        if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))) {
            edit->setText(QStringLiteral("README"));
            QTest::keyClick(edit, Qt::Key_Return);
        }
        if (dialog->isVisible())
            dialog->reject();
    });

    QVERIFY(ran);
    QCOMPARE(title, QStringLiteral("Open"));
    QCOMPARE(shownFolder, QDir(dir.path()).absolutePath());
    QCOMPARE(filterShown, QStringLiteral("All files (*.*)"));
    listed.sort();
    QCOMPARE(listed, (QStringList{QStringLiteral("README"), QStringLiteral("notes.txt")}));
    QCOMPARE(m.written(0), QStringLiteral("Call back [[") + dir.filePath(QStringLiteral("README")) + "]]");
    QVERIFY(form.isUnloaded());
}

// ================================================================ the dialogs

void TestQtWindows::integrateTextsFit_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("points"); // of a wider face than the windows' own, or 0
    QTest::newRow("English") << 0 << 0;
    QTest::newRow("French") << 1 << 0;
    // The desktop's usual face, in which the French captions were cut.
    QTest::newRow("English in a wide face") << 0 << 9;
    QTest::newRow("French in a wide face") << 1 << 9;
    QTest::newRow("French in a wider face") << 1 << 10;
}

void TestQtWindows::integrateTextsFit()
{
    QFETCH(int, language);
    QFETCH(int, points);
    QWidget owner;
    owner.setGeometry(40, 90, 720, 420);
    owner.show();
    Integrate d(std::int16_t(language), platform::qt::handleOf(&owner));
    if (points)
        d.window()->setFont(QFont(QStringLiteral("DejaVu Sans"), points));
    d.form().show();
    QWidget *dialog = d.window();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(d.label(7)->text(), language ? QStringLiteral("Liste des contacts") : QStringLiteral("Contact List"));

    // Every text is whole in its control.
    QList<QLabel *> labels{d.find<QLabel>(QStringLiteral("lblRestart"))};
    for (int i = 0; i < 12; ++i)
        labels << d.label(i);
    for (QLabel *label : labels) {
        const QString what = label->objectName() + QStringLiteral(": ") + label->text();
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(), qPrintable(what));
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(what));
        QVERIFY2(label->sizeHint().height() <= label->height(), qPrintable(what));
    }
    for (int f = 0; f < 2; ++f)
        QVERIFY2(d.frame(f)->minimumSizeHint().width() <= d.frame(f)->width(), qPrintable(d.frame(f)->title()));
    for (const char *id : {"cmdOK", "cmdCancel"}) {
        auto *button = d.find<QPushButton>(QLatin1String(id));
        QVERIFY(button->fontMetrics().horizontalAdvance(QString(button->text()).remove(u'&')) < button->width() - 8);
    }

    // Nothing overlaps, and every control is inside what holds it.
    for (QWidget *parent : {dialog, static_cast<QWidget *>(d.frame(0)), static_cast<QWidget *>(d.frame(1))}) {
        const QList<QWidget *> children = parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        QVERIFY(children.size() >= 5);
        for (qsizetype a = 0; a < children.size(); ++a) {
            const QString name = children[a]->objectName();
            QVERIFY2(parent->rect().contains(children[a]->geometry()), qPrintable(name));
            for (qsizetype b = a + 1; b < children.size(); ++b)
                QVERIFY2(!children[a]->geometry().intersects(children[b]->geometry()),
                         qPrintable(name + QStringLiteral(" and ") + children[b]->objectName()));
        }
    }
    // Each box still stands before its label, on its row.
    for (int i = 0; i < 12; ++i) {
        QVERIFY(d.box(i)->geometry().right() < d.label(i)->geometry().left());
        QVERIFY(qAbs(d.box(i)->geometry().center().y() - d.label(i)->geometry().center().y()) <= 3);
    }

    // The dialog may grow wider, never taller, and stays fixed and centred on
    // its owner.
    QVERIFY(dialog->width() >= 468);
    QCOMPARE(dialog->height(), 216);
    QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
    QVERIFY(nearlyCentred(dialog->geometry(), owner.geometry().center()));
    if (!points) {
        // In the windows' own face the design holds the English texts as
        // they are, and the French ones with the restart hint widened.
        QCOMPARE(dialog->size(), QSize(468, 216));
        if (language == 0)
            QCOMPARE(d.find(QStringLiteral("lblRestart"))->geometry(), QRect(33, 190, 378, 21));
        else
            QVERIFY(d.find(QStringLiteral("lblRestart"))->width() > 378);
    }
}

void TestQtWindows::integrateAccessibleNames_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("reachesAct");
    QTest::addColumn<QStringList>("views"); // the labels' texts
    QTest::addColumn<QStringList>("names"); // of chkScreen(0) to (11)
    const QStringList en{"Contacts", "Contact List", "Groups", "Task List", "Calendars", "E-mail"};
    const QStringList fr{"Contacts", "Liste des contacts", "Groupes", "Liste des tâches", "Agendas", "E-mail"};
    QStringList english, french;
    for (const QString &view : en)
        english << view + QStringLiteral(", Toolbar Button");
    for (const QString &view : en)
        english << view + QStringLiteral(", Tools Menu Item");
    for (const QString &view : fr)
        french << view + QStringLiteral(", Bouton de la barre d'outils");
    for (const QString &view : fr)
        french << view + QStringLiteral(", Entrée du menu Outils");
    QTest::newRow("English") << 0 << true << en << english;
    QTest::newRow("French") << 1 << true << fr << french;
    QTest::newRow("no language") << 5 << true << QStringList(6, QString()) << QStringList(12, QString());
    // Loading stops before the captions: the boxes are named as their labels
    // read, in the English of the design.
    QTest::newRow("French, ACT! out of reach") << 1 << false << en << english;
}

void TestQtWindows::integrateAccessibleNames()
{
    QFETCH(int, language);
    QFETCH(bool, reachesAct);
    QFETCH(QStringList, views);
    QFETCH(QStringList, names);
    Integrate d{std::int16_t(language)};
    d.host.canCreateObjects = reachesAct;
    d.form().show();
    QStringList seen;
    for (int i = 0; i < 12; ++i) {
        QAccessibleInterface *box = QAccessible::queryAccessibleInterface(d.box(i));
        QVERIFY(box);
        QCOMPARE(box->role(), QAccessible::CheckBox);
        seen << box->text(QAccessible::Name);
        // What a sighted user reads does not change: the box shows no text,
        // its label the view's name.
        QVERIFY(d.box(i)->text().isEmpty());
        QCOMPARE(d.label(i)->text(), views[i % 6]);
    }
    QCOMPARE(seen, names);
    if (!names.first().isEmpty())
        QCOMPARE(QSet<QString>(seen.begin(), seen.end()).size(), 12);
}

void TestQtWindows::integrateClicks_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("before"); // the box's state: 0 unchecked, 1 checked, 2 greyed
    QTest::addColumn<int>("after");
    QTest::addColumn<QString>("request"); // of ACT!, after the registration test; empty: none
    // A click or Space on a box only toggles it, never through greyed.
    QTest::newRow("box: unchecked becomes checked") << "click chkScreen_0" << 0 << 1 << "AddAuxCommandToToolbar(1,";
    QTest::newRow("box: checked becomes unchecked")
        << "click chkScreen_0" << 1 << 0 << "RemoveAuxCommandFromToolbar(1,";
    QTest::newRow("box: greyed becomes checked") << "click chkScreen_0" << 2 << 1 << "AddAuxCommandToToolbar(1,";
    QTest::newRow("box: Space") << "Space on chkScreen_0" << 1 << 0 << "RemoveAuxCommandFromToolbar(1,";
    QTest::newRow("box: a disabled one takes no click") << "click chkScreen_1" << 0 << 0 << "";
    // A label's click toggles its box, even the box of a disabled view.
    QTest::newRow("label: unchecked becomes checked") << "click lblScreen_0" << 0 << 1 << "AddAuxCommandToToolbar(1,";
    QTest::newRow("label: checked becomes unchecked")
        << "click lblScreen_6" << 1 << 0 << "RemoveAuxCommandFromToolsMenu(1,";
    QTest::newRow("label: greyed becomes checked") << "click lblScreen_0" << 2 << 1 << "AddAuxCommandToToolbar(1,";
    QTest::newRow("label: disabled view, unchecked") << "click lblScreen_3" << 0 << 1 << "AddAuxCommandToToolbar(4,";
    QTest::newRow("label: disabled view, checked")
        << "click lblScreen_11" << 1 << 0 << "RemoveAuxCommandFromToolsMenu(6,";
}

void TestQtWindows::integrateClicks()
{
    QFETCH(QString, how);
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(QString, request);
    Integrate d;
    d.host.registered = {u"Pennaroc"};
    QVERIFY(d.showActive());
    const int index = how.section(u'_', -1).toInt();
    d.dlg->setChkScreenValue(index, std::int16_t(before));
    QCOMPARE(d.box(index)->checkState(), before == 2 ? Qt::PartiallyChecked : before ? Qt::Checked : Qt::Unchecked);
    const auto mark = qsizetype(d.host.calls.size());
    QVERIFY(act(d, how));
    QCOMPARE(d.dlg->chkScreenValue(index), std::int16_t(after));
    QCOMPARE(d.box(index)->checkState(), after ? Qt::Checked : Qt::Unchecked);
    // One handling per change.
    const QStringList handling{"AuxCommands.AuxCommandExists(Pennaroc)", "AuxCommands." + request + "Pennaroc)"};
    QCOMPARE(list(d.host.calls).mid(mark), request.isEmpty() ? QStringList() : handling);
    QCOMPARE(d.dlg->ScreensChanged(), !request.isEmpty());
}

void TestQtWindows::integrateRestartFromModalLoop()
{
    Integrate d;
    d.desktop.msgBoxAnswers = {platform::vbYes};
    QTimer act;
    act.setSingleShot(true);
    connect(&act, &QTimer::timeout, [&d] {
        QTest::mouseClick(d.label(0), Qt::LeftButton);
        QTest::mouseClick(d.find(QStringLiteral("cmdOK")), Qt::LeftButton);
    });
    act.start(0);
    d.dlg->showModal(); // returns once the restart has closed the dialog
    QVERIFY(program::RestartAct);
    QCOMPARE(d.mainUnloads, 1);
    QVERIFY(!d.window()->isVisible());
    QVERIFY(d.dlg->AuxCommands().isNothing());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void TestQtWindows::locationKeys_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("stored"); // the entry afterwards
    QTest::addColumn<bool>("stays");     // the dialog is still open
    const QString typed = QStringLiteral("  /srv/Attach ments/ ");
    const QString missing = QStringLiteral("<missing>");
    QTest::newRow("click on OK") << "click cmdOK" << typed << false;
    QTest::newRow("Enter in the text box") << "Return on txtPath" << typed << false;
    QTest::newRow("keypad Enter in the text box") << "keypad Enter on txtPath" << typed << false;
    QTest::newRow("Enter on OK") << "Return on cmdOK" << typed << false;
    QTest::newRow("Space on OK") << "Space on cmdOK" << typed << false;
    QTest::newRow("click on Cancel") << "click cmdCancel" << missing << false;
    QTest::newRow("Escape in the text box") << "Escape on txtPath" << missing << false;
    QTest::newRow("Escape on OK") << "Escape on cmdOK" << missing << false;
    QTest::newRow("Escape on Browse") << "Escape on cmdBrowse" << missing << false;
    QTest::newRow("Enter on Cancel") << "Return on cmdCancel" << missing << false;
    QTest::newRow("close box") << "close box" << missing << false;
    // Browse takes Enter itself; back in the text box, Enter is OK again.
    QTest::newRow("Enter on Browse") << "Return on cmdBrowse" << missing << true;
}

void TestQtWindows::locationKeys()
{
    QFETCH(QString, how);
    QFETCH(QString, stored);
    QFETCH(bool, stays);
    Location d;
    d.desktop.folderAnswers = {u"/picked"};
    QVERIFY(d.showActive());
    auto *text = d.find<QLineEdit>(QStringLiteral("txtPath"));
    text->setFocus();
    text->selectAll();
    const QString typed = QStringLiteral("  /srv/Attach ments/ ");
    QTest::keyClicks(text, typed);
    QCOMPARE(q(d.form().control("txtPath").Text()), typed);

    QVERIFY(act(d, how));
    QCOMPARE(d.stored(), stored);
    QCOMPARE(d.window()->isVisible(), stays);
    QCOMPARE(int(d.desktop.folderOwners.size()), stays ? 1 : 0);
    QVERIFY(d.desktop.messages.empty());
    if (stays) {
        QCOMPARE(text->text(), QStringLiteral("/picked"));
        QVERIFY(act(d, QStringLiteral("Return on txtPath")));
        QCOMPARE(d.stored(), QStringLiteral("/picked"));
        QVERIFY(!d.window()->isVisible());
    }
}

void TestQtWindows::locationShowsStoredTextWhole_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("folder that no longer exists") << "/no/such/folder";
    QTest::newRow("empty: the program folder is not offered") << "";
    QTest::newRow("leading and trailing blanks") << "  /srv/attachments  ";
    QTest::newRow("a file, not a folder") << "/etc/hostname";
    QTest::newRow("line breaks and tabs") << "/a\r\nb\tc";
    QTest::newRow("beyond the BMP") << QString::fromUtf8("/srv/\xF0\x9F\x93\x8E deals");
    QTest::newRow("longer than a text box's default limit") << QString(40000, QLatin1Char('x'));
}

void TestQtWindows::locationShowsStoredTextWhole()
{
    QFETCH(QString, value);
    storeDefaultFolder(value);
    Location d(true);
    QVERIFY(d.showActive());
    QCOMPARE(d.find<QLineEdit>(QStringLiteral("txtPath"))->text(), value);
    QVERIFY(act(d, QStringLiteral("Return on cmdOK")));
    QVERIFY(!d.window()->isVisible());
    QCOMPARE(q(d.settingsFile.read(u"Pennaroc", u"Settings", u"DefaultFolder", u"<missing>")), value);
    QVERIFY(d.desktop.messages.empty());
}

void TestQtWindows::locationRealFolderChooser_data()
{
    QTest::addColumn<bool>("choose");
    QTest::newRow("a folder typed and chosen") << true;
    QTest::newRow("cancelled: the text stays") << false;
}

void TestQtWindows::locationRealFolderChooser()
{
    QFETCH(bool, choose);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Attachments 2026 ")));
    const QString folder = dir.filePath(QStringLiteral("Attachments 2026 "));
    Location d;
    d.desktop.realFolders = true;
    QVERIFY(d.showActive());
    // Modal over the dialog, at the top of the file system, for folders only.
    bool ownerSeen = false, modal = false, folders = false;
    QString startedIn;
    const auto browse = [&] { act(d, QStringLiteral("click cmdBrowse")); };
    const bool ran = whileModal<QFileDialog>(browse, [&](QFileDialog *chooser) {
        ownerSeen = chooser->parentWidget() == d.window();
        modal = chooser->isModal() && chooser->windowModality() != Qt::NonModal;
        startedIn = chooser->directory().absolutePath();
        folders = chooser->fileMode() == QFileDialog::Directory && chooser->testOption(QFileDialog::ShowDirsOnly);
        auto *name = chooser->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (choose && name) {
            name->setText(folder);
            QTest::keyClick(name, Qt::Key_Return);
        }
        if (chooser->isVisible())
            chooser->reject();
    });
    QVERIFY(ran);
    QVERIFY(ownerSeen);
    QVERIFY(modal);
    QVERIFY(folders);
    QCOMPARE(startedIn, QDir::rootPath());
    QCOMPARE(d.desktop.folderOwners.size(), size_t(1));
    QCOMPARE(d.find<QLineEdit>(QStringLiteral("txtPath"))->text(), choose ? folder : QStringLiteral("/opt/pennaroc"));
    QVERIFY(d.window()->isVisible());
    QCOMPARE(d.stored(), QStringLiteral("<missing>"));
}

void TestQtWindows::locationModalShowEndsOnEnter()
{
    Location d;
    QTimer type;
    type.setSingleShot(true);
    connect(&type, &QTimer::timeout, [&d] {
        auto *text = d.find<QLineEdit>(QStringLiteral("txtPath"));
        text->setFocus();
        text->selectAll();
        QTest::keyClicks(text, QStringLiteral("/chosen "));
        QTest::keyClick(text, Qt::Key_Return);
    });
    type.start(0);
    d.dlg->showModal();
    QCOMPARE(d.stored(), QStringLiteral("/chosen "));
    QVERIFY(!d.window()->isVisible());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void TestQtWindows::locationUnreadableSettingsFile()
{
    // A folder where the settings file belongs: it can be neither read nor
    // written. The dialog opens all the same, with an empty box.
    const QString file = settings::QtSettingsStore::fileName(u"Pennaroc");
    QFile::remove(file);
    QVERIFY(QDir().mkpath(file));
    const auto restore = qScopeGuard([&] { QDir(file).removeRecursively(); });
    Location d(true);
    QCOMPARE(requestsOf(d.desktop),
             QStringList{"MsgBox 0 Pennaroc error: Error 75: 'Path/File access error: the settings file " + file
                         + " could not be read'\rin frmAdo: Sub Form_Load - Line # 17700\r\r" + Contact});
    QVERIFY(d.showActive());
    auto *text = d.find<QLineEdit>(QStringLiteral("txtPath"));
    QCOMPARE(text->text(), QString());
    text->setFocus();
    QTest::keyClicks(text, QStringLiteral("/not lost"));
    // OK says so and keeps the dialog and its text.
    QVERIFY(act(d, QStringLiteral("click cmdOK")));
    QCOMPARE(requestsOf(d.desktop).value(1),
             "MsgBox 48 Pennaroc: The default attachment folder could not be saved.\rPath/File access error: the "
             "settings file " + file + " could not be written");
    QVERIFY(d.window()->isVisible());
    QCOMPARE(text->text(), QStringLiteral("/not lost"));
    // Once the file can be written again, OK goes through.
    QDir(file).removeRecursively();
    QVERIFY(act(d, QStringLiteral("click cmdOK")));
    QCOMPARE(q(d.settingsFile.read(u"Pennaroc", u"Settings", u"DefaultFolder", u"<missing>")),
             QStringLiteral("/not lost"));
    QVERIFY(!d.window()->isVisible());
}

void TestQtWindows::aboutFontsAndSeparator()
{
    About a;
    const QFont title = a.find(QStringLiteral("lblTitle"))->font();
    QCOMPARE(title.pointSizeF(), 13.5);
    QVERIFY(title.bold());
    QVERIFY(!title.underline());
    QWidget *mail = a.find(QStringLiteral("lblMail"));
    QCOMPARE(mail->font().pointSizeF(), 8.25);
    QVERIFY(mail->font().bold());
    QVERIFY(mail->font().underline());
    QCOMPARE(mail->cursor().shape(), Qt::PointingHandCursor);

    auto *line = a.find<QFrame>(QStringLiteral("Line1"));
    QCOMPARE(line->frameShape(), QFrame::HLine);
    QCOMPARE(line->palette().color(QPalette::WindowText), QColor(128, 128, 128));
    // The maker and the freeware notice between the version and the line.
    const QRect version = a.find(QStringLiteral("lblVersion"))->geometry();
    int previousBottom = version.bottom();
    for (const char *id : {"lblCopyright", "lblFreeware"}) {
        const QRect place = a.find(QLatin1String(id))->geometry();
        QVERIFY(place.top() > previousBottom);
        QVERIFY(place.bottom() < line->geometry().top());
        QCOMPARE(place.left(), version.left());
        previousBottom = place.bottom();
    }
}

// ============================================================ child scenarios

namespace {

// The real desktop, except that no other copy is ever running.
class ChildDesktop : public platform::QtPlatformServices {
public:
    bool AnotherInstanceRunning() override { return false; }
};

// The program on the real face and desktop services, ending with its own
// status: a notification arrives once a modal window is really open.
int runChild(const QString &scenario, int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    platform::qt::QtFace face;
    testsupport::FakeHost host;
    ChildDesktop desktop;
    testsupport::MemorySettings store;
    if (scenario == u"modal-msgbox")
        host.currentRow = -1; // the start-up's message box
    app::Form1 form(face, host, desktop, store);

    QTimer probe;
    probe.setInterval(50);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        probe.stop();
        std::printf("modal:%s\n", modal->metaObject()->className());
        std::fflush(stdout);
        host.raiseEvent(scenario == u"modal-msgbox" ? 10 : 22, {std::int32_t(0)});
    });
    probe.start();
    // The About box, opened from the window's menu.
    QTimer openDialog;
    openDialog.setSingleShot(true);
    QObject::connect(&openDialog, &QTimer::timeout, [&] {
        if (auto *about = widgetOf(form.form().handle())->findChild<QAction *>(QStringLiteral("mnuAbout")))
            about->trigger();
    });
    if (scenario == u"modal-dialog")
        openDialog.start(0);
    // Gives up rather than hang when nothing happens.
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(3); });
    giveUp.start(15000);

    const int status = form.runProgram();
    std::printf("ended %s\n", form.isUnloaded() ? "unloaded" : "open");
    std::fflush(stdout);
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    const QString scenario = qEnvironmentVariable("PENNAROC_TEST_CHILD");
    if (!scenario.isEmpty())
        return runChild(scenario, argc, argv);
    testsupport::IsolatedSettings isolated;
    testsupport::IsolatedSettings::current = &isolated;
    QApplication application(argc, argv);
    // The program ends with its main window or its restart timer, not with
    // its last window closed.
    QApplication::setQuitOnLastWindowClosed(false);
    TestQtWindows test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_QtWindows.moc"
