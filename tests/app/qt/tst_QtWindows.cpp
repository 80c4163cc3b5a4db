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
#include <string_view>

testsupport::IsolatedSettings *testsupport::IsolatedSettings::current = nullptr;

namespace {

using platform::qt::widgetOf;

QString q(const std::u16string &text) { return QString::fromStdU16String(text); }
std::u16string u(const QString &text) { return text.toStdU16String(); }

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

// Records the presses of a window's buttons by id, in order; the buttons'
// own procedures still run.
std::shared_ptr<QStringList> recordPresses(const forms::Form &form)
{
    auto pressed = std::make_shared<QStringList>();
    for (const auto &c : form.controls()) {
        if (c->kind() != forms::Kind::Button)
            continue;
        const QString id = QString::fromUtf8(c->design().id.data(), qsizetype(c->design().id.size()));
        c->Click = [pressed, id, inner = c->Click] {
            *pressed << id;
            if (inner)
                inner();
        };
    }
    return pressed;
}

// A table's rows as data rows: the data function adds one per entry, and
// the test takes its entry.
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

// A folder where the settings file belongs, which can be neither read nor
// written, until the guard goes.
struct UnreadableSettingsFile {
    const QString file = settings::QtSettingsStore::fileName(u"Pennaroc");
    UnreadableSettingsFile()
    {
        QFile::remove(file);
        QDir().mkpath(file);
    }
    ~UnreadableSettingsFile() { QDir(file).removeRecursively(); }
};

// A window of the program on the Qt face, over a scripted host and desktop;
// its widgets are found by the ids of its table.
struct Window {
    platform::qt::QtFace face;
    testsupport::FakeHost host;
    Desktop desktop;
    testsupport::MemorySettings memory;
    settings::QtSettingsStore settingsFile;

    Window() { program::RestartAct = false; }
    virtual ~Window() { program::RestartAct = false; }
    virtual forms::Form &form() const = 0;
    settings::SettingsStore &store(bool realSettings)
    {
        return realSettings ? static_cast<settings::SettingsStore &>(settingsFile) : memory;
    }

    QWidget *window() const { return widgetOf(form().handle()); }
    template <class T = QWidget>
    T *find(const QString &id) const { return window()->findChild<T *>(id); }
    bool showActive() const
    {
        form().show();
        QApplication::setActiveWindow(window());
        return QTest::qWaitForWindowActive(window());
    }
};

// The main window, its setting in memory or in the real settings file.
struct Main : Window {
    std::unique_ptr<app::Form1> main;

    app::Form1 &make(bool realSettings = false)
    {
        main = std::make_unique<app::Form1>(face, host, desktop, store(realSettings));
        return *main;
    }
    forms::Form &form() const override { return main->form(); }
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
    std::unique_ptr<frmLocation> dlg;

    explicit Location(bool realSettings = false)
    {
        dlg = std::make_unique<frmLocation>(face, desktop, store(realSettings));
    }
    forms::Form &form() const override { return dlg->form(); }
    QLineEdit *text() const { return find<QLineEdit>(QStringLiteral("txtPath")); }
    QString stored() const
    {
        const auto entry = memory.entry(u"Pennaroc", u"Settings", u"DefaultFolder");
        return entry ? q(*entry) : QStringLiteral("<missing>");
    }
    QString storedInFile()
    {
        return q(settingsFile.read(u"Pennaroc", u"Settings", u"DefaultFolder", u"<missing>"));
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
    void windows_data(); void windows();
    void controls_data(); void controls();
    void userActs_data(); void userActs();

    // The main window.
    void mainLinkTextFits();
    void mainMenusOpenModalDialogs_data(); void mainMenusOpenModalDialogs();
    void mainRestartEndsOnSecondRealTick();
    void mainNotificationInRealModalWindows_data(); void mainNotificationInRealModalWindows();
    void mainOkWithRealFiles_data(); void mainOkWithRealFiles();
    void mainRealOpenFileDialog_data(); void mainRealOpenFileDialog();

    // The dialogs.
    void integrateTextsFit_data(); void integrateTextsFit();
    void integrateAccessibleNames_data(); void integrateAccessibleNames();
    void integrateClicks_data(); void integrateClicks();
    void dialogsEndTheirRealModalLoops();
    void locationShowsStoredTextWhole_data(); void locationShowsStoredTextWhole();
    void locationRealFolderChooser_data(); void locationRealFolderChooser();
    void locationUnreadableSettingsFile();
};

void TestQtWindows::cleanup()
{
    program::RestartAct = false;
    storeDefaultFolder(std::nullopt);
    // A window that ended the program asked the application to quit, and Qt
    // keeps that request: every modal loop after it would end at once. One
    // pass of the application's own loop clears it.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QApplication::exec();
}

// ================================================================ every window

// size: of the client area; stops: where the focus is, then each Tab's
// stop; backtab: Backtab's stop from there; link: a click on it leaves the
// focus where it was.
const struct WindowRow { const char *name, *window, *title; QSize size; QStringList stops; const char *backtab;
                         QStringList noFocus; const char *link; } WindowRows[] = {
    // Tab stops at the selected option (Attach), OK, Cancel and the link,
    // and comes round again.
    {"main window", "Form1", "Pennaroc", {351, 168}, {"optAction2", "cmdOK", "cmdCancel", "lblLink", "optAction2"},
     "lblLink", {"fraAction", "lblMore"}, "lblLink"},
    // With every view enabled: the toolbar's boxes, the Tools menu's from
    // the last, then the buttons.
    {"integration dialog", "frmIntegrate", "Integrate with ACT!", {468, 216},
     {"chkScreen_0", "chkScreen_1", "chkScreen_2", "chkScreen_3", "chkScreen_4", "chkScreen_5", "chkScreen_11",
      "chkScreen_10", "chkScreen_9", "chkScreen_8", "chkScreen_7", "chkScreen_6", "cmdOK", "cmdCancel",
      "chkScreen_0"},
     "cmdCancel",
     {"Frame1_0", "Frame1_1", "lblRestart", "lblScreen_0", "lblScreen_1", "lblScreen_2", "lblScreen_3", "lblScreen_4",
      "lblScreen_5", "lblScreen_6", "lblScreen_7", "lblScreen_8", "lblScreen_9", "lblScreen_10", "lblScreen_11"},
     ""},
    {"location dialog", "frmLocation", "Default Attachment Location", {469, 114},
     {"cmdOK", "cmdCancel", "cmdBrowse", "txtPath", "cmdOK"}, "txtPath", {"lblPath"}, ""},
    {"About box", "frmAbout", "Pennaroc", {382, 219}, {"cmdOK", "lblMail", "cmdOK"}, "lblMail",
     {"lblTitle", "lblVersion", "lblCopyright", "lblFreeware", "lblProblem"}, "lblMail"},
};
void TestQtWindows::windows_data() { addRows(WindowRows); }

void TestQtWindows::windows()
{
    const WindowRow &r = rowOf(WindowRows);
    const auto w = build(r.window);
    if (auto *d = dynamic_cast<Integrate *>(w.get())) {
        d->dlg->setContactListScreen(true);
        d->dlg->setGroupScreen(true);
        d->dlg->setTaskListScreen(true);
        d->dlg->setCalendarsScreen(true);
        d->dlg->setEmailScreen(true);
    }
    QWidget *frame = w->window();
    auto *main = qobject_cast<QMainWindow *>(frame);
    QWidget *client = main ? w->find(QStringLiteral("client")) : frame;
    QCOMPARE(frame->windowTitle(), QString(r.title));
    QCOMPARE(client->size(), r.size);
    QCOMPARE(frame->minimumSize(), frame->maximumSize());
    if (main) {
        // As built: every option enabled and none selected; no tick; the
        // menus.
        for (int i = 0; i < 3; ++i) {
            auto *option = w->find<QRadioButton>(QStringLiteral("optAction%1").arg(i));
            QVERIFY(option->isEnabled() && !option->isChecked());
        }
        auto *timer = w->find<QTimer>(QStringLiteral("tmr1"));
        QVERIFY(timer && !timer->isActive());
        QCOMPARE(timer->interval(), 0);
        QStringList menus;
        for (QAction *menu : main->menuBar()->actions()) {
            menus << menu->text();
            for (QAction *item : menu->menu()->actions())
                menus << QStringLiteral("  ") + (item->isSeparator() ? QStringLiteral("-") : item->text());
        }
        QCOMPARE(menus, (QStringList{"Options", "  Default Attachment Location...", "  -",
                                     "  Integrate with ACT!...", "Help", "  About"}));
        // The focus chain as laid out; only the options, the buttons and the
        // link take the focus.
        const QStringList chain{"fraAction", "optAction0", "optAction1", "optAction2",
                                "cmdOK",     "cmdCancel",  "lblMore",    "lblLink"};
        for (qsizetype i = 0; i + 1 < chain.size(); ++i)
            QCOMPARE(w->find(chain[i])->nextInFocusChain(), w->find(chain[i + 1]));
    }

    QVERIFY(w->showActive());
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    QCOMPARE(client->size(), r.size);
    if (main) {
        // The client area just below the menu bar.
        QCOMPARE(client->geometry().top(), main->menuBar()->geometry().bottom() + 1);
        QVERIFY(!frame->windowIcon().isNull());
    }
    // One face, down to the last control, bold and underlined ones
    // included. The menus, which size themselves to their items as message
    // boxes do, take the desktop's menu face.
    const QString family = QFontInfo(platform::windowFont()).family();
    QVERIFY(!family.isEmpty());
    QCOMPARE(QFontInfo(frame->font()).family(), family);
    const QList<QWidget *> controls = frame->findChildren<QWidget *>();
    QVERIFY(controls.size() >= 5);
    for (QWidget *control : controls) {
        if (qobject_cast<QMenu *>(control))
            continue;
        const QString name = control->objectName().isEmpty() ? QString::fromLatin1(control->metaObject()->className())
                                                             : control->objectName();
        QVERIFY2(QFontInfo(control->font()).family() == family,
                 qPrintable(name + QStringLiteral(": ") + QFontInfo(control->font()).family()));
    }

    // Tab and Backtab; moving the focus does nothing else.
    const auto calls = w->host.calls.size();
    if (main)
        w->find(r.stops.first())->setFocus(Qt::TabFocusReason); // the face's choice, else
    QCOMPARE(QApplication::focusWidget(), w->find(r.stops.first()));
    for (qsizetype k = 1; k < r.stops.size(); ++k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w->find(r.stops[k]));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), w->find(r.backtab));
    for (const QString &id : r.noFocus)
        QCOMPARE(w->find(id)->focusPolicy(), Qt::NoFocus);
    QCOMPARE(w->host.calls.size(), calls);
    QVERIFY(w->desktop.shellRequests.empty() && w->desktop.messages.empty());
    if (*r.link) {
        // The link takes the focus by Tab only.
        QCOMPARE(w->find(r.link)->focusPolicy(), Qt::TabFocus);
        w->find(QStringLiteral("cmdOK"))->setFocus(Qt::TabFocusReason);
        QVERIFY(act(*w, QStringLiteral("click ") + r.link));
        QCOMPARE(QApplication::focusWidget(), w->find(QStringLiteral("cmdOK")));
        QCOMPARE(w->desktop.shellRequests.size(), size_t(1));
    }
}

void TestQtWindows::controls_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("place");    // in pixels; none: anywhere
    QTest::addColumn<QString>("parent"); // the frame it stands in; empty: the window's client area
    QTest::addColumn<bool>("grows");     // a label that may grow to the right to fit this desktop's font
    QTest::addColumn<QString>("style");  // points, bold, underline, a hand pointer; empty: not checked

    const auto main = [](const char *id, const char *text, QRect twips, const char *style = "") {
        QTest::addRow("Form1 %s", id) << "Form1" << id << text << pixels(twips)
                                      << (QByteArray(id).startsWith("opt") ? "fraAction" : "") << false << style;
    };
    main("fraAction", "Action:", {210, 225, 3600, 1755});
    main("optAction0", "&Open the attachment", {255, 375, 2055, 375});
    main("optAction1", "&Remove the attachment", {255, 750, 2055, 375});
    main("optAction2", "&Attach a new file", {255, 1125, 3195, 375});
    main("cmdOK", "&OK", {4050, 360, 1000, 325});
    main("cmdCancel", "&Cancel", {4050, 795, 1000, 325});
    main("lblMore", "Find more free ACT! add-ons at ", {1035, 2280, 2385, 285});
    main("lblLink", "www.veltrane.example", {3435, 2280, 1755, 255}, "8.25 underline hand");

    const auto row = [](const char *window, const char *id, const QString &text, QRect place,
                        const QString &parent = QString(), bool grows = false, const char *style = "") {
        QTest::addRow("%s %s", window, id) << window << id << text << place << parent << grows << style;
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

    // The maker and the freeware notice between the version and the line.
    row("frmAbout", "lblTitle", P, {70, 16, 259, 24}, {}, true, "13.5 bold");
    row("frmAbout", "lblVersion", "Version 1.0.0", {70, 52, 259, 15}, {}, true);
    row("frmAbout", "lblCopyright", QString::fromUtf8("\xC2\xA9 2026 Veltrane"), {70, 74, 259, 15}, {}, true);
    row("frmAbout", "lblFreeware", "This program is freeware.", {70, 92, 259, 15}, {}, true);
    row("frmAbout", "Line1", QString(), {4, 120, 375, 1});
    row("frmAbout", "lblProblem", "Any problem, question or suggestion, please contact:", {16, 176, 257, 17}, {},
        true);
    row("frmAbout", "lblMail", "support@veltrane.example", {16, 192, 161, 17}, {}, true, "8.25 bold underline hand");
    row("frmAbout", "cmdOK", "Close", {299, 136, 73, 25});
}

void TestQtWindows::controls()
{
    QFETCH(QString, window);
    QFETCH(QString, id);
    QFETCH(QString, text);
    QFETCH(QRect, place);
    QFETCH(QString, parent);
    QFETCH(bool, grows);
    QFETCH(QString, style);
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
    if (!style.isEmpty()) {
        const QFont font = control->font();
        QCOMPARE(QString::number(font.pointSizeF()) + (font.bold() ? " bold" : "")
                     + (font.underline() ? " underline" : "")
                     + (control->cursor().shape() == Qt::PointingHandCursor ? " hand" : ""),
                 style);
    }
}

// What the user's clicks and keys press in each window. pressed: the
// buttons pressed, in order; shell: requests to open the window's link, the
// site or the mail address from the program's folder; asks: message boxes;
// stored: the location dialog's entry afterwards, "<missing>" for none.
// The integration dialog has a change to ask about first; the location
// dialog has "  /srv/Attach ments/ " typed, and Browse picks "/picked".
const struct ActRow { const char *window, *how, *pressed; int shell = 0, asks = 0; bool closes = false;
                      const char *stored = nullptr; } ActRows[] = {
    // The main window's link takes Enter and Space; Escape is the window's
    // own: Cancel, which ends the program.
    {"Form1", "click lblLink", "", 1},
    {"Form1", "release outside lblLink", "", 0}, // a press released off the label is no click
    {"Form1", "Return on lblLink", "", 1},
    {"Form1", "keypad Enter on lblLink", "", 1},
    {"Form1", "Space on lblLink", "", 1},
    {"Form1", "Ctrl+Return on lblLink", "", 0},
    {"Form1", "W on lblLink", "", 0},
    {"Form1", "Escape on lblLink", "cmdCancel", 0, 0, true},
    // Enter on the selected option (Attach, whose Open File dialog is
    // cancelled) presses OK; a focused Cancel takes Enter itself.
    {"Form1", "Return on optAction2, keypad Enter on optAction2", "cmdOK cmdOK"},
    {"Form1", "Return on cmdCancel", "cmdCancel", 0, 0, true},
    {"Form1", "click cmdCancel", "cmdCancel", 0, 0, true},
    {"Form1", "Escape on optAction2", "cmdCancel", 0, 0, true},
    {"Form1", "close box", "", 0, 0, true},
    // After a change, Close asks about restarting ACT!; Cancel does not.
    {"frmIntegrate", "click cmdOK", "cmdOK", 0, 1, true},
    {"frmIntegrate", "Return on chkScreen_0", "cmdOK", 0, 1, true},
    {"frmIntegrate", "click cmdCancel", "cmdCancel", 0, 0, true},
    {"frmIntegrate", "Escape on chkScreen_0", "cmdCancel", 0, 0, true},
    {"frmIntegrate", "close box", "", 0, 0, true},
    // OK stores the text as typed; Browse takes Enter itself, and back in
    // the text box Enter is OK again.
    {"frmLocation", "click cmdOK", "cmdOK", 0, 0, true, "  /srv/Attach ments/ "},
    {"frmLocation", "Return on txtPath", "cmdOK", 0, 0, true, "  /srv/Attach ments/ "},
    {"frmLocation", "keypad Enter on txtPath", "cmdOK", 0, 0, true, "  /srv/Attach ments/ "},
    {"frmLocation", "Return on cmdOK", "cmdOK", 0, 0, true, "  /srv/Attach ments/ "},
    {"frmLocation", "Space on cmdOK", "cmdOK", 0, 0, true, "  /srv/Attach ments/ "},
    {"frmLocation", "click cmdCancel", "cmdCancel", 0, 0, true, "<missing>"},
    {"frmLocation", "Escape on txtPath", "cmdCancel", 0, 0, true, "<missing>"},
    {"frmLocation", "Escape on cmdOK", "cmdCancel", 0, 0, true, "<missing>"},
    {"frmLocation", "Escape on cmdBrowse", "cmdCancel", 0, 0, true, "<missing>"},
    {"frmLocation", "Return on cmdCancel", "cmdCancel", 0, 0, true, "<missing>"},
    {"frmLocation", "close box", "", 0, 0, true, "<missing>"},
    {"frmLocation", "Return on cmdBrowse", "cmdBrowse", 0, 0, false, "<missing>"},
    {"frmLocation", "Return on cmdBrowse, Return on txtPath", "cmdBrowse cmdOK", 0, 0, true, "/picked"},
    // The About box's address likewise; a right click is no click. Enter,
    // Space and a click on Close close it, and so do Escape and the close
    // box, without a cancel button.
    {"frmAbout", "click lblMail", "", 1},
    {"frmAbout", "click lblMail, click lblMail", "", 2},
    {"frmAbout", "right-click lblMail", "", 0},
    {"frmAbout", "release outside lblMail", "", 0},
    {"frmAbout", "Return on lblMail", "", 1},
    {"frmAbout", "keypad Enter on lblMail", "", 1},
    {"frmAbout", "Space on lblMail", "", 1},
    {"frmAbout", "Escape on lblMail", "", 0, 0, true},
    {"frmAbout", "click cmdOK", "cmdOK", 0, 0, true},
    {"frmAbout", "Return on cmdOK", "cmdOK", 0, 0, true},
    {"frmAbout", "keypad Enter on cmdOK", "cmdOK", 0, 0, true},
    {"frmAbout", "Space on cmdOK", "cmdOK", 0, 0, true},
    {"frmAbout", "Escape on cmdOK", "", 0, 0, true},
    {"frmAbout", "close box", "", 0, 0, true},
};

void TestQtWindows::userActs_data()
{
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < std::size(ActRows); ++i)
        QTest::addRow("%s: %s", ActRows[i].window, ActRows[i].how) << int(i);
}

void TestQtWindows::userActs()
{
    const ActRow &r = rowOf(ActRows);
    const auto w = build(r.window);
    w->desktop.folderAnswers = {u"/picked"};
    QVERIFY(w->showActive());
    const auto pressed = recordPresses(w->form());
    auto *integrate = dynamic_cast<Integrate *>(w.get());
    if (integrate) {
        QVERIFY(!integrate->dlg->AuxCommands().isNothing());
        QVERIFY(act(*w, QStringLiteral("click lblScreen_6")));
        QVERIFY(integrate->host.toolsMenu.count({std::int16_t(1), u"Pennaroc"}));
        integrate->desktop.messages.clear();
    }
    auto *location = dynamic_cast<Location *>(w.get());
    const QString typed = QStringLiteral("  /srv/Attach ments/ ");
    if (location) {
        location->text()->setFocus();
        location->text()->selectAll();
        QTest::keyClicks(location->text(), typed);
        QCOMPARE(q(w->form().control("txtPath").Text()), typed);
    }
    const auto calls = w->host.calls.size();
    QVERIFY(act(*w, r.how));

    QCOMPARE(pressed->join(u' '), QString(r.pressed));
    QCOMPARE(int(w->desktop.shellRequests.size()), r.shell);
    const std::u16string target =
        std::string_view(r.window) == "Form1" ? u"https://www.veltrane.example/" : u"mailto:support@veltrane.example";
    for (const auto &shell : w->desktop.shellRequests)
        QCOMPARE(q(testsupport::linkRequestMismatch(shell, target)), QString());
    QCOMPARE(int(w->desktop.messages.size()), r.asks);
    QCOMPARE(w->form().isUnloaded(), r.closes);
    QCOMPARE(w->window()->isVisible(), !r.closes);
    if (r.stored)
        QCOMPARE(location->stored(), QString(r.stored));
    if (integrate && r.closes) {
        QVERIFY(integrate->dlg->AuxCommands().isNothing());
        QVERIFY(!program::RestartAct);
        QCOMPARE(integrate->mainUnloads, 0);
    }
    if (dynamic_cast<Main *>(w.get()) && r.closes) {
        // The main window ends the program, and never restarts ACT! then.
        QCOMPARE(w->host.calls.size(), calls);
        QVERIFY(!w->find<QTimer>(QStringLiteral("tmr1"))->isActive());
    }
}

// ================================================================ main window

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

// seen: the modal window's name and title; event: raised while it is open,
// or 0.
const struct MenuRow { const char *name, *menu, *seen; int event; } MenuRows[] = {
    {"Default Attachment Location...", "mnuLocation", "frmLocation|Default Attachment Location", 0},
    {"Integrate with ACT!...", "mnuIntegrate", "frmIntegrate|Integrate with ACT!", 0},
    {"About", "mnuAbout", "frmAbout|Pennaroc", 0},
    {"About, event 10 while open", "mnuAbout", "frmAbout|Pennaroc", 10},
    {"About, event 22 while open", "mnuAbout", "frmAbout|Pennaroc", 22},
};
void TestQtWindows::mainMenusOpenModalDialogs_data() { addRows(MenuRows); }

void TestQtWindows::mainMenusOpenModalDialogs()
{
    const MenuRow &r = rowOf(MenuRows);
    const bool integrate = std::string_view(r.menu) == "mnuIntegrate";
    Main m;
    m.host.toolbar.insert({std::int16_t(3), u"Pennaroc"});
    m.make();
    QVERIFY(m.showActive());

    QString shown = QStringLiteral("none");
    QString boxes;
    bool sameIcon = false;
    QObject probe;
    QTimer::singleShot(100, &probe, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        shown = modal->objectName() + u'|' + modal->windowTitle();
        if (integrate) {
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
        if (r.event)
            m.host.raiseEvent(std::int16_t(r.event));
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    m.find<QAction>(r.menu)->trigger();

    QCOMPARE(shown, QString(r.seen));
    if (integrate) {
        QCOMPARE(boxes, QStringLiteral("E0-0-1-0-0-0E0-0-0-0-0-0"));
        QVERIFY(sameIcon);
    }
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(m.main->isUnloaded(), r.event != 0);
    QCOMPARE(m.window()->isVisible(), r.event == 0);
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
    QObject giveUp;
    QTimer::singleShot(6000, &giveUp, [] { QCoreApplication::exit(3); });
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
const struct ChildRow { const char *name, *scenario, *expected; } ChildRows[] = {
    {"event 10 during the start-up's message box", "modal-msgbox", "modal:QMessageBox"},
    {"event 22 during a dialog opened from the window", "modal-dialog", "modal:QDialog"},
};
void TestQtWindows::mainNotificationInRealModalWindows_data() { addRows(ChildRows); }

void TestQtWindows::mainNotificationInRealModalWindows()
{
    const ChildRow &r = rowOf(ChildRows);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PENNAROC_TEST_CHILD"), r.scenario);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(30000));
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    QVERIFY2(child.exitStatus() == QProcess::NormalExit, qPrintable(child.readAllStandardError()));
    QVERIFY2(child.exitCode() == 0, qPrintable(out + QString::fromUtf8(child.readAllStandardError())));
    QVERIFY2(out.contains(r.expected) && out.contains(QStringLiteral("ended unloaded")), qPrintable(out));
}

// OK against the real file system, the real shell and the real settings
// file. %D is a scratch folder holding the files "Quote.odt", "f.txt" and
// UnusualNames; %F the settings file.
const char *const UnusualNames[] = {"my file  2.txt",    "say \"hi\" it's.txt", "a;rm -rf x.txt", "$(touch pwned).txt",
                                    "`touch pwned`.txt", " lead.txt", "Ελληνικά 日本語 😀.txt", "100% #1?.txt"};

void TestQtWindows::mainOkWithRealFiles_data()
{
    QTest::addColumn<QString>("details");
    QTest::addColumn<QString>("stored"); // the default folder; "<missing>": no entry; "<unreadable>": a folder there
    QTest::addColumn<QStringList>("asked"); // of the desktop
    QTest::addColumn<QStringList>("calls"); // of ACT!
    QTest::addColumn<QString>("path");      // the attachment's path afterwards
    QTest::addColumn<bool>("unloaded");
    const auto opens = [](const QString &name, const QString &marker, const QString &path, bool exists) {
        const QString asked = exists ? "ShellExecute Open " + path + " with '' in /opt/pennaroc, 5"
                                     : QStringLiteral("MsgBox 0 Pennaroc: The path to the attachment is invalid or "
                                                      "the file is not accessible.");
        QTest::newRow(name.toUtf8()) << marker << "<missing>" << QStringList{asked} << QStringList() << path << exists;
    };
    // Open, with the path trimmed of spaces; nothing is asked of ACT!.
    opens("open: file", "[[%D/Quote.odt]]", "%D/Quote.odt", true);
    opens("open: spaces around are trimmed", "x [[  %D/Quote.odt ]]", "%D/Quote.odt", true);
    opens("open: folder", "[[%D]]", "%D", true);
    opens("open: missing file", "[[%D/Gone.odt]]", "%D/Gone.odt", false);
    opens("open: tab around is not trimmed", "[[\t%D/Quote.odt]]", "\t%D/Quote.odt", false);
    // Names a shell would take apart reach the desktop whole.
    for (const char *name : UnusualNames)
        opens(QStringLiteral("open: ") + name, QStringLiteral("Note [[%D/%1]]").arg(name), "%D/" + QString(name), true);
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

void TestQtWindows::mainOkWithRealFiles()
{
    QFETCH(QString, details);
    QFETCH(QString, stored);
    QFETCH(QStringList, asked);
    QFETCH(QStringList, calls);
    QFETCH(QString, path);
    QFETCH(bool, unloaded);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QStringList names = {"Quote.odt", "f.txt"};
    for (const char *name : UnusualNames)
        names << QString::fromUtf8(name);
    for (const QString &name : names) {
        QFile file(dir.filePath(name));
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(name));
    }
    const QString settingsFile = settings::QtSettingsStore::fileName(u"Pennaroc");
    const auto fill = [&](QString text) {
        return text.replace(QStringLiteral("%D"), dir.path()).replace(QStringLiteral("%F"), settingsFile);
    };
    for (QString &line : asked)
        line = fill(line);

    UrlRecorder files(QStringLiteral("file"));
    Main m;
    m.desktop.realFiles = true;
    m.desktop.realShell = true;
    m.desktop.openFileAnswers = {u"/x"};
    m.host.currentRow = 3;
    m.host.details = {{3, u(fill(details))}};
    app::Form1 &form = m.make(true);
    QVERIFY(m.showActive());
    m.host.calls.clear();
    std::optional<UnreadableSettingsFile> unreadable;
    if (stored == u"<unreadable>")
        unreadable.emplace();
    else if (stored != u"<missing>")
        storeDefaultFolder(fill(stored));
    QVERIFY(act(m, QStringLiteral("click cmdOK"))); // a real click

    QCOMPARE(requestsOf(m.desktop), asked);
    for (const auto &request : m.desktop.openFileRequests)
        QVERIFY(request.owner == m.form().handle());
    QCOMPARE(list(m.host.calls), calls);
    QCOMPARE(q(form.attachmentPath()), fill(path));
    QCOMPARE(form.isUnloaded(), unloaded);
    // The desktop receives what it opens as a file URL that decodes to the
    // same path; no shell runs any part of it.
    QStringList opened, urls;
    for (const auto &shell : m.desktop.shellRequests)
        opened << q(shell.target);
    for (const QUrl &url : files.urls)
        urls << (url.isLocalFile() ? url.toLocalFile() : url.toString());
    QCOMPARE(urls, opened);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("pwned"))));
}

// stored: after the scratch folder's path. The location dialog stores what
// was typed, a file's path included: the dialog then starts in the folder
// that holds the file.
const struct OpenFileRow { const char *name, *stored; } OpenFileRows[] = {
    {"the folder", ""},
    {"a file in the folder", "/notes.txt"},
    {"the folder, with a trailing slash", "/"},
};
void TestQtWindows::mainRealOpenFileDialog_data() { addRows(OpenFileRows); }

void TestQtWindows::mainRealOpenFileDialog()
{
    QTemporaryDir dir;
    for (const char *name : {"README", "notes.txt"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    storeDefaultFolder(dir.path() + rowOf(OpenFileRows).stored);
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
    QCOMPARE(q(m.host.details.at(0)), QStringLiteral("Call back [[") + dir.filePath(QStringLiteral("README")) + "]]");
    QVERIFY(form.isUnloaded());
}

// ================================================================ the dialogs

// points: of a wider face than the windows' own, or 0.
const struct FitRow { const char *name; int language, points; } FitRows[] = {
    {"English", 0, 0},
    {"French", 1, 0},
    // The desktop's usual face, in which the French captions were cut.
    {"English in a wide face", 0, 9},
    {"French in a wide face", 1, 9},
    {"French in a wider face", 1, 10},
};
void TestQtWindows::integrateTextsFit_data() { addRows(FitRows); }

void TestQtWindows::integrateTextsFit()
{
    const FitRow &r = rowOf(FitRows);
    QWidget owner;
    owner.setGeometry(40, 90, 720, 420);
    owner.show();
    Integrate d(std::int16_t(r.language), platform::qt::handleOf(&owner));
    if (r.points)
        d.window()->setFont(QFont(QStringLiteral("DejaVu Sans"), r.points));
    d.form().show();
    QWidget *dialog = d.window();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(d.label(7)->text(), r.language ? QStringLiteral("Liste des contacts") : QStringLiteral("Contact List"));

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
    if (!r.points) {
        // In the windows' own face the design holds the English texts as
        // they are, and the French ones with the restart hint widened.
        QCOMPARE(dialog->size(), QSize(468, 216));
        if (r.language == 0)
            QCOMPARE(d.find(QStringLiteral("lblRestart"))->geometry(), QRect(33, 190, 378, 21));
        else
            QVERIFY(d.find(QStringLiteral("lblRestart"))->width() > 378);
    }
}

const QStringList EnglishViews{"Contacts", "Contact List", "Groups", "Task List", "Calendars", "E-mail"};
const QStringList FrenchViews{"Contacts", "Liste des contacts", "Groupes", "Liste des tâches", "Agendas", "E-mail"};
// views: the labels' texts; places: what the boxes' names add to them, the
// toolbar's and the Tools menu's (none: the boxes have no names).
const struct NameRow { const char *name; int language; bool reachesAct; QStringList views, places; } NameRows[] = {
    {"English", 0, true, EnglishViews, {", Toolbar Button", ", Tools Menu Item"}},
    {"French", 1, true, FrenchViews, {", Bouton de la barre d'outils", ", Entrée du menu Outils"}},
    {"no language", 5, true, QStringList(6, QString()), {}},
    // Loading stops before the captions: the boxes are named as their labels
    // read, in the English of the design.
    {"French, ACT! out of reach", 1, false, EnglishViews, {", Toolbar Button", ", Tools Menu Item"}},
};
void TestQtWindows::integrateAccessibleNames_data() { addRows(NameRows); }

void TestQtWindows::integrateAccessibleNames()
{
    const NameRow &r = rowOf(NameRows);
    Integrate d{std::int16_t(r.language)};
    d.host.canCreateObjects = r.reachesAct;
    d.form().show();
    QStringList seen, names;
    for (int i = 0; i < 12; ++i) {
        QAccessibleInterface *box = QAccessible::queryAccessibleInterface(d.box(i));
        QVERIFY(box);
        QCOMPARE(box->role(), QAccessible::CheckBox);
        seen << box->text(QAccessible::Name);
        names << (r.places.isEmpty() ? QString() : r.views[i % 6] + r.places[i / 6]);
        // What a sighted user reads does not change: the box shows no text,
        // its label the view's name.
        QVERIFY(d.box(i)->text().isEmpty());
        QCOMPARE(d.label(i)->text(), r.views[i % 6]);
    }
    QCOMPARE(seen, names);
    if (!r.places.isEmpty())
        QCOMPARE(QSet<QString>(seen.begin(), seen.end()).size(), 12);
}

// A real click toggles a box, never through greyed, and a label's click its
// box, even the box of a disabled view; each change is handled once.
// before: the box's state, 0 unchecked, 1 checked, 2 greyed; request: of
// ACT!, after the registration test.
const struct IntegrateClickRow { const char *name, *how; int before, after; const char *request; }
    IntegrateClickRows[] = {
        {"box: greyed becomes checked", "click chkScreen_0", 2, 1, "AddAuxCommandToToolbar(1,"},
        {"label: disabled view, checked", "click lblScreen_11", 1, 0, "RemoveAuxCommandFromToolsMenu(6,"},
};
void TestQtWindows::integrateClicks_data() { addRows(IntegrateClickRows); }

void TestQtWindows::integrateClicks()
{
    const IntegrateClickRow &r = rowOf(IntegrateClickRows);
    Integrate d;
    d.host.registered = {u"Pennaroc"};
    QVERIFY(d.showActive());
    const int index = QString(r.how).section(u'_', -1).toInt();
    d.dlg->setChkScreenValue(index, std::int16_t(r.before));
    const Qt::CheckState shown[] = {Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked};
    QCOMPARE(d.box(index)->checkState(), shown[r.before]);
    const auto mark = qsizetype(d.host.calls.size());
    QVERIFY(act(d, r.how));
    QCOMPARE(d.dlg->chkScreenValue(index), std::int16_t(r.after));
    QCOMPARE(d.box(index)->checkState(), shown[r.after]);
    const QString request = "AuxCommands." + QString(r.request) + "Pennaroc)";
    QCOMPARE(list(d.host.calls).mid(mark), (QStringList{"AuxCommands.AuxCommandExists(Pennaroc)", request}));
    QVERIFY(d.dlg->ScreensChanged());
}

// The user acts once the dialog's real modal loop runs; the show returns
// when the dialog closes.
void TestQtWindows::dialogsEndTheirRealModalLoops()
{
    const auto showModal = [](const std::function<void()> &user, const std::function<void()> &show) {
        QObject context;
        QTimer::singleShot(0, &context, user);
        show();
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    };
    // Yes to the restart question closes the integration dialog through the
    // main window's routine.
    Integrate i;
    i.desktop.msgBoxAnswers = {platform::vbYes};
    showModal(
        [&i] {
            QTest::mouseClick(i.label(0), Qt::LeftButton);
            QTest::mouseClick(i.find(QStringLiteral("cmdOK")), Qt::LeftButton);
        },
        [&i] { i.dlg->showModal(); });
    QVERIFY(program::RestartAct);
    QCOMPARE(i.mainUnloads, 1);
    QVERIFY(!i.window()->isVisible());
    QVERIFY(i.dlg->AuxCommands().isNothing());

    // Enter in the location dialog's text box stores what was typed.
    Location l;
    showModal(
        [&l] {
            l.text()->setFocus();
            l.text()->selectAll();
            QTest::keyClicks(l.text(), QStringLiteral("/chosen "));
            QTest::keyClick(l.text(), Qt::Key_Return);
        },
        [&l] { l.dlg->showModal(); });
    QCOMPARE(l.stored(), QStringLiteral("/chosen "));
    QVERIFY(!l.window()->isVisible());
}

const struct StoredRow { const char *name; QString value; } StoredRows[] = {
    {"folder that no longer exists", "/no/such/folder"},
    {"empty: the program folder is not offered", ""},
    {"leading and trailing blanks", "  /srv/attachments  "},
    {"a file, not a folder", "/etc/hostname"},
    {"line breaks and tabs", "/a\r\nb\tc"},
    {"beyond the BMP", QString::fromUtf8("/srv/\xF0\x9F\x93\x8E deals")},
    {"longer than a text box's default limit", QString(40000, QLatin1Char('x'))},
};
void TestQtWindows::locationShowsStoredTextWhole_data() { addRows(StoredRows); }

void TestQtWindows::locationShowsStoredTextWhole()
{
    const QString &value = rowOf(StoredRows).value;
    storeDefaultFolder(value);
    Location d(true);
    QVERIFY(d.showActive());
    QCOMPARE(d.text()->text(), value);
    QVERIFY(act(d, QStringLiteral("Return on cmdOK")));
    QVERIFY(!d.window()->isVisible());
    QCOMPARE(d.storedInFile(), value);
    QVERIFY(d.desktop.messages.empty());
}

const struct ChooserRow { const char *name; bool choose; } ChooserRows[] = {
    {"a folder typed and chosen", true},
    {"cancelled: the text stays", false},
};
void TestQtWindows::locationRealFolderChooser_data() { addRows(ChooserRows); }

void TestQtWindows::locationRealFolderChooser()
{
    const bool choose = rowOf(ChooserRows).choose;
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
    QVERIFY(ran && ownerSeen && modal && folders);
    QCOMPARE(startedIn, QDir::rootPath());
    QCOMPARE(d.desktop.folderOwners.size(), size_t(1));
    QCOMPARE(d.text()->text(), choose ? folder : QStringLiteral("/opt/pennaroc"));
    QVERIFY(d.window()->isVisible());
    QCOMPARE(d.stored(), QStringLiteral("<missing>"));
}

void TestQtWindows::locationUnreadableSettingsFile()
{
    // The dialog opens all the same, with an empty box.
    std::optional<UnreadableSettingsFile> unreadable(std::in_place);
    const QString file = unreadable->file;
    Location d(true);
    QCOMPARE(requestsOf(d.desktop),
             QStringList{"MsgBox 0 Pennaroc error: Error 75: 'Path/File access error: the settings file " + file
                         + " could not be read'\rin frmAdo: Sub Form_Load - Line # 17700\r\r" + Contact});
    QVERIFY(d.showActive());
    QCOMPARE(d.text()->text(), QString());
    d.text()->setFocus();
    QTest::keyClicks(d.text(), QStringLiteral("/not lost"));
    // OK says so and keeps the dialog and its text.
    QVERIFY(act(d, QStringLiteral("click cmdOK")));
    QCOMPARE(requestsOf(d.desktop).value(1),
             "MsgBox 48 Pennaroc: The default attachment folder could not be saved.\rPath/File access error: the "
             "settings file " + file + " could not be written");
    QVERIFY(d.window()->isVisible());
    QCOMPARE(d.text()->text(), QStringLiteral("/not lost"));
    // Once the file can be written again, OK goes through.
    unreadable.reset();
    QVERIFY(act(d, QStringLiteral("click cmdOK")));
    QCOMPARE(d.storedInFile(), QStringLiteral("/not lost"));
    QVERIFY(!d.window()->isVisible());
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
    if (scenario == u"modal-dialog")
        QTimer::singleShot(0, &probe, [&] {
            if (auto *about = widgetOf(form.form().handle())->findChild<QAction *>(QStringLiteral("mnuAbout")))
                about->trigger();
        });
    // Gives up rather than hang when nothing happens.
    QTimer::singleShot(15000, [] { QCoreApplication::exit(3); });

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
