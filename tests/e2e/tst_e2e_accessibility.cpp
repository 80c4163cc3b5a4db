#include "tests/e2e/AccessibilityBus.h"
#include "tests/e2e/DesktopSession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QProcess>
#include <QThread>
#include <QTranslator>
#include <QtTest>

#include <functional>
#include <optional>

// The real program as a screen-reader user meets it: what the accessibility
// bus says about its controls, and the keyboard alone reaching and opening
// its links. Also Qt's own buttons in the user's language.
class TestE2eAccessibility : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void webSiteLinkByKeyboard();
    void mailLinkByKeyboard();
    void integrationBoxesHaveTheirOwnNames();
    void qtButtonsFollowTheUsersLanguage_data();
    void qtButtonsFollowTheUsersLanguage();

private:
    // Starts the stand-in on one record and Pennaroc with the accessibility
    // bridge on; false when the main window does not appear.
    bool startOn(const QString &details);
    // Presses one key in the window and waits until the focus, as the bus
    // tells it, has moved to an object with a name other than before; that
    // name, or the old one after a timeout.
    QString tabTo(const QString &window, const QString &title, const QString &key = QStringLiteral("Tab"));
    QString focusedName(const QString &title);
    std::optional<e2e::AccessibilityBus::Item>
    waitForItem(const QString &title, const std::function<bool(const e2e::AccessibilityBus::Item &)> &matches);
    // Waits until the recording xdg-open has been called count times.
    QStringList waitForXdgOpenCalls(qsizetype count);

    std::unique_ptr<e2e::DesktopSession> session;
    std::unique_ptr<e2e::AccessibilityBus> a11y;
    QString mainWindow;
};

namespace {

const QString MainTitle = QStringLiteral("Pennaroc");
const QString WebSite = QStringLiteral("https://www.veltrane.example/");
const QString WebHost = QStringLiteral("www.veltrane.example");
const QString Address = QStringLiteral("support@veltrane.example");

void pause(int ms)
{
    QThread::msleep(static_cast<unsigned long>(ms));
}

// A button's caption as a screen reader says it: without its mnemonic.
QString spoken(QString caption)
{
    return caption.remove(QLatin1Char('&'));
}

} // namespace

void TestE2eAccessibility::init()
{
    session = std::make_unique<e2e::DesktopSession>();
    if (!session->problem().isEmpty())
        QSKIP(qPrintable(session->problem()));
    session->setVariable(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    a11y = std::make_unique<e2e::AccessibilityBus>();
    if (!a11y->problem().isEmpty())
        QSKIP(qPrintable(a11y->problem()));
}

void TestE2eAccessibility::cleanup()
{
    a11y.reset();
    session.reset();
}

bool TestE2eAccessibility::startOn(const QString &details)
{
    if (!session->createDatabase({details}) || !session->startStandin({QStringLiteral("--current"), QStringLiteral("0")}))
        return false;
    session->startPennaroc();
    mainWindow = session->waitForWindow(QStringLiteral("^Pennaroc$"));
    if (mainWindow.isEmpty())
        return false;
    // The window is ready for a screen reader once its link is on the bus.
    return waitForItem(MainTitle, [](const auto &item) { return item.name == WebHost; }).has_value();
}

std::optional<e2e::AccessibilityBus::Item>
TestE2eAccessibility::waitForItem(const QString &title,
                                  const std::function<bool(const e2e::AccessibilityBus::Item &)> &matches)
{
    QDeadlineTimer deadline(15000);
    do {
        for (const auto &window : a11y->windows(title)) {
            for (const auto &item : a11y->itemsIn(window)) {
                if (matches(item))
                    return item;
            }
        }
        pause(100);
    } while (!deadline.hasExpired());
    return std::nullopt;
}

QString TestE2eAccessibility::focusedName(const QString &title)
{
    const auto focused = a11y->focusedIn(title);
    return focused ? focused->name : QString();
}

QString TestE2eAccessibility::tabTo(const QString &window, const QString &title, const QString &key)
{
    const QString before = focusedName(title);
    if (!session->keys(window, {key}))
        return QStringLiteral("(the key could not be sent)");
    QDeadlineTimer deadline(5000);
    QString now = focusedName(title);
    while (now == before && !deadline.hasExpired()) {
        pause(50);
        now = focusedName(title);
    }
    return now;
}

QStringList TestE2eAccessibility::waitForXdgOpenCalls(qsizetype count)
{
    QDeadlineTimer deadline(5000);
    QStringList calls = session->xdgOpenCalls();
    while (calls.size() < count && !deadline.hasExpired()) {
        pause(50);
        calls = session->xdgOpenCalls();
    }
    pause(300); // time for a call too many to show
    return session->xdgOpenCalls();
}

void TestE2eAccessibility::webSiteLinkByKeyboard()
{
    QVERIFY2(startOn(QStringLiteral("Call back in May")), "the main window did not appear on the bus");

    // A link, named by the host name it shows, that the keyboard can reach.
    const auto link = waitForItem(MainTitle, [](const auto &item) { return item.name == WebHost; });
    QVERIFY(link);
    QCOMPARE(link->role, QStringLiteral("link"));
    QVERIFY(link->focusable);
    QVERIFY(!link->focused);
    // The text before it is no stop on the way.
    const auto more = waitForItem(MainTitle, [](const auto &item) { return item.name.startsWith(u"Find more"); });
    QVERIFY(more);
    QVERIFY(!more->focusable);

    // No attachment: Attach is selected and has the focus. Tab goes on to
    // OK, Cancel and then the link, as the window's tab order has it, and
    // from the link back to the options.
    QTRY_COMPARE_WITH_TIMEOUT(focusedName(MainTitle), QStringLiteral("Attach a new file"), 10000);
    QStringList stops;
    for (int i = 0; i < 4; ++i)
        stops << tabTo(mainWindow, MainTitle);
    QCOMPARE(stops, (QStringList{QStringLiteral("OK"), QStringLiteral("Cancel"), WebHost,
                                 QStringLiteral("Attach a new file")}));
    QCOMPARE(tabTo(mainWindow, MainTitle, QStringLiteral("shift+Tab")), WebHost);

    // Enter opens the site, and so does Space, each once, as a click does;
    // the window stays, and OK was not pressed (its action would have
    // shown the Open File dialog).
    QVERIFY(session->keys(mainWindow, {QStringLiteral("Return")}));
    QCOMPARE(waitForXdgOpenCalls(1), QStringList{WebSite});
    QVERIFY(session->keys(mainWindow, {QStringLiteral("space")}));
    QCOMPARE(waitForXdgOpenCalls(2), (QStringList{WebSite, WebSite}));
    QVERIFY(session->windows(QStringLiteral("^Open$")).isEmpty());
    QCOMPARE(session->waitForPennarocEnd(200), -1);
    QCOMPARE(focusedName(MainTitle), WebHost);

    // A screen reader's own press does the same.
    QVERIFY(a11y->doAction(link->node, QStringLiteral("Press")));
    QCOMPARE(waitForXdgOpenCalls(3), (QStringList{WebSite, WebSite, WebSite}));

    // Escape still cancels the window.
    QVERIFY(session->keys(mainWindow, {QStringLiteral("Escape")}));
    QCOMPARE(session->waitForPennarocEnd(10000), 0);
}

void TestE2eAccessibility::mailLinkByKeyboard()
{
    QVERIFY2(startOn(QStringLiteral("Call back in May")), "the main window did not appear on the bus");
    // Help > About: Alt to the menu bar, right to Help, down into it.
    QVERIFY(session->keys(mainWindow, {QStringLiteral("alt"), QStringLiteral("Right"), QStringLiteral("Down"),
                                       QStringLiteral("Return")}));
    const QString about = session->waitForNewWindow(QStringLiteral("^Pennaroc$"), {mainWindow});
    QVERIFY2(!about.isEmpty(), "the About box did not appear");

    const auto mail = waitForItem(MainTitle, [](const auto &item) { return item.name == Address; });
    QVERIFY(mail);
    QCOMPARE(mail->role, QStringLiteral("link"));
    QVERIFY(mail->focusable);
    // The other texts are read, not stopped at.
    const auto problem = waitForItem(MainTitle, [](const auto &item) { return item.name.startsWith(u"Any problem"); });
    QVERIFY(problem);
    QVERIFY(!problem->focusable);

    // Close has the focus; Tab reaches the address, and the next Tab goes
    // back to Close.
    QTRY_COMPARE_WITH_TIMEOUT(focusedName(MainTitle), QStringLiteral("Close"), 10000);
    QCOMPARE(tabTo(about, MainTitle), Address);

    // Enter and Space each start one message; the box stays open.
    const QString mailto = QStringLiteral("mailto:") + Address;
    QVERIFY(session->keys(about, {QStringLiteral("Return")}));
    QCOMPARE(waitForXdgOpenCalls(1), QStringList{mailto});
    QVERIFY(session->keys(about, {QStringLiteral("space")}));
    QCOMPARE(waitForXdgOpenCalls(2), (QStringList{mailto, mailto}));
    QVERIFY(session->windows(QStringLiteral("^Pennaroc$")).contains(about));
    QCOMPARE(tabTo(about, MainTitle), QStringLiteral("Close"));

    // Escape closes the box and leaves the main window.
    QVERIFY(session->keys(about, {QStringLiteral("Escape")}));
    QTRY_VERIFY_WITH_TIMEOUT(!session->windows(QStringLiteral("^Pennaroc$")).contains(about), 5000);
    QCOMPARE(session->xdgOpenCalls().size(), 2);
    QCOMPARE(session->waitForPennarocEnd(200), -1);
}

void TestE2eAccessibility::integrationBoxesHaveTheirOwnNames()
{
    QVERIFY2(startOn(QStringLiteral("Call back in May")), "the main window did not appear on the bus");
    // Options > Integrate with ACT!...
    QVERIFY(session->keys(mainWindow, {QStringLiteral("alt"), QStringLiteral("Down"), QStringLiteral("Down"),
                                       QStringLiteral("Return")}));
    const QString title = QStringLiteral("Integrate with ACT!");
    const QString dialog = session->waitForWindow(QStringLiteral("^Integrate with ACT!$"));
    QVERIFY2(!dialog.isEmpty(), "the integration dialog did not appear");
    QVERIFY(waitForItem(title, [](const auto &item) { return item.role == u"check box"; }));

    const QStringList views{QStringLiteral("Contacts"), QStringLiteral("Contact List"), QStringLiteral("Groups"),
                            QStringLiteral("Task List"), QStringLiteral("Calendars"), QStringLiteral("E-mail")};
    QStringList expected;
    for (const QString &place : {QStringLiteral("Toolbar Button"), QStringLiteral("Tools Menu Item")}) {
        for (const QString &view : views)
            expected << view + QStringLiteral(", ") + place;
    }
    QStringList boxes;
    QStringList labels;
    const QList<e2e::AccessibilityBus::Node> windows = a11y->windows(title);
    QCOMPARE(windows.size(), 1);
    for (const auto &item : a11y->itemsIn(windows[0])) {
        if (item.role == u"check box")
            boxes << item.name;
        else if (item.role == u"label")
            labels << item.name;
    }
    QStringList sortedBoxes = boxes;
    sortedBoxes.sort();
    expected.sort();
    QCOMPARE(sortedBoxes, expected);
    // The captions a sighted user reads stay as they are.
    for (const QString &view : views)
        QCOMPARE(labels.count(view), 2);
    QVERIFY(labels.contains(QStringLiteral("You will need to re-start ACT! to see the changes.")));

    // Only the Contacts boxes are enabled: Tab goes from the toolbar's to
    // the Tools menu's, then Close and Cancel, and the names come along.
    QTRY_COMPARE_WITH_TIMEOUT(focusedName(title), QStringLiteral("Contacts, Toolbar Button"), 10000);
    QStringList stops;
    for (int i = 0; i < 3; ++i)
        stops << tabTo(dialog, title);
    QCOMPARE(stops, (QStringList{QStringLiteral("Contacts, Tools Menu Item"), QStringLiteral("Close"),
                                 QStringLiteral("Cancel")}));
    QVERIFY(session->keys(dialog, {QStringLiteral("Escape")}));
    QVERIFY(session->windowGone(QStringLiteral("^Integrate with ACT!$")));
}

void TestE2eAccessibility::qtButtonsFollowTheUsersLanguage_data()
{
    QTest::addColumn<QString>("locale"); // LANG and LC_ALL
    QTest::addColumn<QString>("language");
    QTest::newRow("French") << "fr_FR.UTF-8" << "fr";
    QTest::newRow("C") << "C" << "";
}

void TestE2eAccessibility::qtButtonsFollowTheUsersLanguage()
{
    QFETCH(QString, locale);
    QFETCH(QString, language);

    // What the installed translation says; English without one.
    QString yes = QStringLiteral("&Yes");
    QString no = QStringLiteral("&No");
    if (!language.isEmpty()) {
        QTranslator translation;
        QVERIFY2(translation.load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)),
                 "Qt's translations are not installed (qt6-translations-l10n)");
        QCoreApplication::installTranslator(&translation);
        yes = QCoreApplication::translate("QPlatformTheme", "&Yes");
        no = QCoreApplication::translate("QPlatformTheme", "&No");
        QCoreApplication::removeTranslator(&translation);
        QVERIFY2(yes != u"&Yes" && no != u"&No", qPrintable(yes + u' ' + no));
    }

    QVERIFY(session->createDatabase({QStringLiteral("Call back [[/docs/Quote.txt]]")}));
    QVERIFY(session->startStandin({QStringLiteral("--current"), QStringLiteral("0")}));
    // The user's locale, made for this session where the system has not
    // got it.
    if (locale != u"C") {
        QProcess list;
        list.start(QStringLiteral("locale"), {QStringLiteral("-a")});
        list.waitForFinished(5000);
        const QString known = QString::fromLocal8Bit(list.readAllStandardOutput()).toLower();
        if (!known.contains(QStringLiteral("fr_fr.utf8"))) {
            const QString folder = session->scratch() + QStringLiteral("/locale");
            QDir().mkpath(folder);
            QProcess make;
            make.start(QStringLiteral("localedef"), {QStringLiteral("-i"), QStringLiteral("fr_FR"), QStringLiteral("-f"),
                                                     QStringLiteral("UTF-8"), folder + QLatin1Char('/') + locale});
            if (make.waitForFinished(60000) && make.exitCode() == 0)
                session->setVariable(QStringLiteral("LOCPATH"), folder);
            else
                qWarning("localedef could not make %s; Qt reads the language from the variables all the same",
                         qPrintable(locale));
        }
    }
    session->setVariable(QStringLiteral("LANG"), locale);
    session->setVariable(QStringLiteral("LC_ALL"), locale);
    session->setVariable(QStringLiteral("LANGUAGE"), QString());
    session->startPennaroc();
    mainWindow = session->waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!mainWindow.isEmpty(), "the main window did not appear");

    // Attach on a record that has an attachment asks the replace question,
    // a Yes/No box.
    QVERIFY(session->keys(mainWindow, {QStringLiteral("alt+a")}));
    pause(400); // the option's click animation
    QVERIFY(session->keys(mainWindow, {QStringLiteral("Return")}));
    const QString box = session->waitForNewWindow(QStringLiteral("^Pennaroc$"), {mainWindow});
    QVERIFY2(!box.isEmpty(), "the replace question did not appear");

    const auto question =
        waitForItem(MainTitle, [](const auto &item) { return item.name.startsWith(u"There is already a file"); });
    QVERIFY(question);
    // The program's own words are the same in every language.
    QCOMPARE(question->name, QStringLiteral("There is already a file attached to this sale/opportunity. Attaching a "
                                            "new one will remove the current attachment.\nAre you sure you want to "
                                            "continue?"));
    QStringList buttons;
    for (const auto &window : a11y->windows(MainTitle)) {
        const QList<e2e::AccessibilityBus::Item> items = a11y->itemsIn(window);
        const bool isTheBox = std::any_of(items.begin(), items.end(),
                                          [&](const auto &item) { return item.name == question->name; });
        if (!isTheBox)
            continue;
        for (const auto &item : items) {
            if (item.role == u"push button")
                buttons << item.name;
        }
    }
    buttons.sort();
    QStringList expected{spoken(yes), spoken(no)};
    expected.sort();
    QCOMPARE(buttons, expected);

    // No, by Escape: nothing is written and the window stays.
    QVERIFY(session->keys(box, {QStringLiteral("Escape")}));
    QTRY_VERIFY_WITH_TIMEOUT(!session->windows(QStringLiteral("^Pennaroc$")).contains(box), 5000);
    QCOMPARE(session->standin({QStringLiteral("details"), session->databasePath(), QStringLiteral("0")}).trimmed(),
             QByteArray("Call back [[/docs/Quote.txt]]"));
    QCOMPARE(session->waitForPennarocEnd(200), -1);
}

QTEST_GUILESS_MAIN(TestE2eAccessibility)
#include "tst_e2e_accessibility.moc"
