#include "integrate/CommandRegistration.h"
#include "integrate/IntegrateTexts.h"
#include "integrate/clsFrmIntegrate.h"
#include "platform/ErrorTrap.h"
#include "platform/ProgramState.h"
#include "tests/support/FakeHost.h"
#include "tests/support/ScriptedPlatform.h"

#include <QAccessible>
#include <QGroupBox>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

const QString P = QStringLiteral("Pennaroc");

QString create() { return QStringLiteral("CreateObject(ACTOLE.AUXCMDS)"); }
QString aux(const char *member, int view)
{
    return QStringLiteral("AuxCommands.%1(%2,Pennaroc)").arg(QLatin1String(member)).arg(view);
}
QString inToolbar(int v) { return aux("AuxCommandExistsInToolbar", v); }
QString inMenu(int v) { return aux("AuxCommandExistsInToolsMenu", v); }
QString exists() { return QStringLiteral("AuxCommands.AuxCommandExists(Pennaroc)"); }
QString question() { return QStringLiteral("MsgBox(4,Pennaroc)"); }
QString okBox() { return QStringLiteral("MsgBox(0,Pennaroc)"); }
QString mainUnload() { return QStringLiteral("Form1.Form_Unload"); }
QString reg(const QString &prefix = QStringLiteral("Click to launch "))
{
    const auto r = integrate::registrationValues(P, prefix, QStringLiteral("/opt/pennaroc"),
                                                 QStringLiteral("Pennaroc"), integrate::nativePathForm());
    return QStringLiteral("AuxCommands.AddAuxCommand(") + r.values().join(QLatin1Char(',')) + QLatin1Char(')');
}
// A load that finds the command nowhere.
QStringList plainLoad()
{
    QStringList calls{create()};
    for (int v = 1; v <= 6; ++v)
        calls << inToolbar(v);
    for (int v = 1; v <= 6; ++v)
        calls << inMenu(v);
    return calls;
}

// The dialog as the main window opens it, over a scripted host and desktop
// that write into one journal.
struct Rig {
    QStringList journal;
    testsupport::FakeHost host;
    testsupport::ScriptedPlatform desktop;
    struct MainUnload {
        bool dialogVisible;
        bool restartAct;
        bool auxHeld;
    };
    QList<MainUnload> mainUnloads;
    bool mainUnloadFails = false;
    int finished = 0;
    std::unique_ptr<clsFrmIntegrate> dlg;

    explicit Rig(qint16 language = 0)
    {
        program::RestartAct = false;
        host.journal = &journal;
        desktop.journal = &journal;
        dlg = std::make_unique<clsFrmIntegrate>(host, desktop, [this] {
            journal << mainUnload();
            mainUnloads << MainUnload{dlg->isVisible(), program::RestartAct, !dlg->AuxCommands().isNothing()};
            if (mainUnloadFails)
                throw host::Failure(440, QStringLiteral("Injected failure"));
        });
        QObject::connect(dlg.get(), &QDialog::finished, [this] { ++finished; });
        dlg->setLanguage(language);
        dlg->setAppName(P);
        dlg->setContactScreen(true);
        QPixmap picture(16, 16);
        picture.fill(Qt::darkCyan);
        dlg->setIntegrateIcon(QIcon(picture));
    }
    ~Rig() { program::RestartAct = false; }

    void open() { dlg->show(); }
    void clickLabel(int i) { QTest::mouseClick(dlg->lblScreen(i), Qt::LeftButton); }
    void clickClose() { QTest::mouseClick(dlg->cmdOK(), Qt::LeftButton); }
    QList<testsupport::ScriptedPlatform::Message> reports() const
    {
        QList<testsupport::ScriptedPlatform::Message> found;
        for (const auto &m : desktop.messages)
            if (m.text.startsWith(QStringLiteral("Error ")))
                found << m;
        return found;
    }
    // The journal from the given entry on.
    QStringList since(qsizetype from) const { return journal.mid(from); }
};

const QStringList languageColumn[3] = {integrate::englishTexts(), integrate::frenchTexts(),
                                       QStringList(integrate::TextCount, QString())};

} // namespace

class TestClsFrmIntegrate : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void texts_data();
    void texts();
    void designStateWhenAuxCommandsCannotBeCreated();
    void layout();
    void textsFit_data();
    void textsFit();
    void accessibleNames_data();
    void accessibleNames();
    void tabOrder();
    void enabledStates_data();
    void enabledStates();
    void loadReadsBoxesFromHost();
    void labelToggles_data();
    void labelToggles();
    void boxClicks();
    void boxRequests_data();
    void boxRequests();
    void registersBeforePlacing();
    void closeFlows_data();
    void closeFlows();
    void waysOfClosing_data();
    void waysOfClosing();
    void restartFromModalLoop();
    void restartRoutineMayDestroyTheDialog();
    void badExistenceAnswer_data();
    void badExistenceAnswer();
    void faultSweep_data();
    void faultSweep();
    void failedRegistrationThenFailedPlaceGiveTwoReports_data();
    void failedRegistrationThenFailedPlaceGiveTwoReports();
    void messageBoxFailures_data();
    void messageBoxFailures();
};

void TestClsFrmIntegrate::texts_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("0 English") << 0
        << QStringList{"Please contact support@veltrane.example with this error message.", "Click to launch ",
                       "You need to re-start ACT! for the changes to take effect!", "Do you want to re-start it now?",
                       "Can't add icon or menu item automatically. You will need to proceed manually.",
                       "Integrate with ACT!", "Contacts", "Contact List", "Groups", "Task List", "Calendars",
                       "E-mail", "Toolbar Button added to the following Views :",
                       "Menu Item added to the following Views :", "&Close", "&Cancel",
                       "You will need to re-start ACT! to see the changes."};
    QTest::newRow("1 French") << 1
        << QStringList{"S.V.P. contactez support@veltrane.example avec ce message.", "Cliquez pour lancer ",
                       "Vous devez redémarrer ACT! pour que les changements soient pris en compte!",
                       "Voulez-vous redémarrez ACT! maintenant?",
                       "Impossible d'ajouter l'icône ou l'entrée du menu. Vous devrez le faire manuellement.",
                       "Intégration à ACT!", "Contacts", "Liste des contacts", "Groupes", "Liste des tâches",
                       "Agendas", "E-mail", "Bouton ajouté à la barre d'outils des écrans suivants : ",
                       "Entrée ajoutée au menu Outils des écrans suivants :", "&Fermer", "&Annuler",
                       "Vous devrez redémarrer ACT! pour que les changements soient pris en compte."};
    QTest::newRow("2 none") << 2 << QStringList(17, QString());
    QTest::newRow("-1 none") << -1 << QStringList(17, QString());
}

void TestClsFrmIntegrate::texts()
{
    QFETCH(int, language);
    QFETCH(QStringList, expected);
    Rig rig(static_cast<qint16>(language));
    rig.open();
    const auto &d = *rig.dlg;
    QCOMPARE(d.Texts(), expected);
    QCOMPARE(d.windowTitle(), expected[5]);
    QCOMPARE(d.Frame1(0)->title(), expected[12]);
    QCOMPARE(d.Frame1(1)->title(), expected[13]);
    for (int i = 0; i < 12; ++i)
        QCOMPARE(d.lblScreen(i)->text(), expected[6 + i % 6]);
    QCOMPARE(d.cmdOK()->text(), expected[14]);
    QCOMPARE(d.cmdCancel()->text(), expected[15]);
    QCOMPARE(d.lblRestart()->text(), expected[16]);
    QVERIFY(rig.desktop.messages.isEmpty());
}

void TestClsFrmIntegrate::designStateWhenAuxCommandsCannotBeCreated()
{
    // French: the report ends with the French contact line, while the
    // captions stay the English design ones.
    const int language = 1;
    Rig rig(language);
    rig.host.canCreateObjects = false;
    rig.open();
    const QString contact = languageColumn[language][0];
    QCOMPARE(rig.journal, QStringList({create(), okBox()}));
    QCOMPARE(rig.desktop.messages[0].text,
             "Error 429: 'ActiveX component can't create object'\rin frmIntegrate: Sub Form_Load - Line # 13980\r\r"
                 + contact);
    QCOMPARE(rig.desktop.messages[0].title, P);
    const QStringList en = integrate::englishTexts();
    QCOMPARE(rig.dlg->windowTitle(), en[5]);
    QCOMPARE(rig.dlg->Frame1(1)->title(), en[13]);
    QCOMPARE(rig.dlg->lblScreen(7)->text(), en[7]);
    QCOMPARE(rig.dlg->cmdOK()->text(), en[14]);
    for (int i = 0; i < 12; ++i) {
        QVERIFY(rig.dlg->chkScreen(i)->isEnabled());
        QCOMPARE(rig.dlg->chkScreenValue(i), qint16(0));
    }
    QVERIFY(rig.dlg->windowIcon().cacheKey() != rig.dlg->IntegrateIcon().cacheKey());
    QVERIFY(rig.dlg->isVisible());

    // Any box change now fails in its click handling, which still marks the change.
    rig.clickLabel(4);
    QCOMPARE(rig.dlg->chkScreenValue(4), qint16(1));
    QCOMPARE(rig.desktop.messages.size(), 2);
    QCOMPARE(rig.desktop.messages[1].text,
             "Error 91: 'Object variable or With block variable not set'\r"
             "in frmIntegrate: Sub chkScreen_Click - Line # 15020\r\r" + contact);
    QVERIFY(rig.dlg->ScreensChanged());
}

void TestClsFrmIntegrate::layout()
{
    QWidget owner;
    owner.setGeometry(120, 90, 560, 420); // well inside the 800 x 600 offscreen screen
    owner.show();
    testsupport::FakeHost host;
    testsupport::ScriptedPlatform desktop;
    clsFrmIntegrate d(host, desktop, [] {}, &owner);
    d.show();
    QCOMPARE(d.size(), QSize(468, 216));
    QCOMPARE(d.minimumSize(), d.maximumSize());
    QVERIFY(!(d.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(qAbs(d.geometry().center().x() - owner.geometry().center().x()) <= 1);
    QVERIFY(qAbs(d.geometry().center().y() - owner.geometry().center().y()) <= 1);
    QVERIFY(d.cmdOK()->isDefault());

    QCOMPARE(d.Frame1(0)->geometry(), QRect(21, 16, 341, 79));
    QCOMPARE(d.Frame1(1)->geometry(), QRect(21, 105, 342, 79));
    QCOMPARE(d.lblRestart()->geometry(), QRect(33, 190, 378, 21));
    QCOMPARE(d.cmdOK()->geometry(), QRect(388, 24, 67, 22));
    QCOMPARE(d.cmdCancel()->geometry(), QRect(388, 56, 67, 22));
    // Box left, top, width; label left, top, width (px, inside the frame).
    const int places[12][6] = {{14, 23, 17, 33, 25, 80},  {121, 23, 17, 140, 25, 98}, {240, 21, 17, 258, 23, 67},
                               {14, 46, 17, 33, 48, 88},  {121, 46, 17, 140, 48, 98}, {240, 44, 17, 258, 46, 68},
                               {14, 23, 15, 33, 25, 62},  {121, 23, 17, 140, 25, 100}, {242, 23, 17, 260, 25, 62},
                               {14, 46, 17, 33, 48, 88},  {121, 46, 17, 140, 48, 101}, {242, 46, 17, 260, 48, 62}};
    for (int i = 0; i < 12; ++i) {
        const auto &p = places[i];
        QCOMPARE(d.chkScreen(i)->parentWidget(), d.Frame1(i / 6));
        QCOMPARE(d.lblScreen(i)->parentWidget(), d.Frame1(i / 6));
        QCOMPARE(d.chkScreen(i)->geometry(), QRect(p[0], p[1], p[2], 17));
        QCOMPARE(d.lblScreen(i)->geometry(), QRect(p[3], p[4], p[5], 18));
        QVERIFY(d.chkScreen(i)->text().isEmpty());
        QCOMPARE(d.lblScreen(i)->focusPolicy(), Qt::NoFocus);
    }
}

void TestClsFrmIntegrate::textsFit_data()
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

void TestClsFrmIntegrate::textsFit()
{
    QFETCH(int, language);
    QFETCH(int, points);
    QWidget owner;
    owner.setGeometry(40, 90, 720, 420);
    owner.show();
    testsupport::FakeHost host;
    testsupport::ScriptedPlatform desktop;
    clsFrmIntegrate d(host, desktop, [] {}, &owner);
    d.setLanguage(static_cast<qint16>(language));
    if (points)
        d.setFont(QFont(QStringLiteral("DejaVu Sans"), points));
    d.show();
    QCOMPARE(d.lblScreen(7)->text(), languageColumn[language][7]);

    // Every text is whole in its control.
    QList<QLabel *> labels{d.lblRestart()};
    for (int i = 0; i < 12; ++i)
        labels << d.lblScreen(i);
    for (QLabel *label : labels) {
        const QString what = label->objectName() + QStringLiteral(": ") + label->text();
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(), qPrintable(what));
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(what));
        QVERIFY2(label->sizeHint().height() <= label->height(), qPrintable(what));
    }
    for (int f = 0; f < 2; ++f)
        QVERIFY2(d.Frame1(f)->minimumSizeHint().width() <= d.Frame1(f)->width(), qPrintable(d.Frame1(f)->title()));
    for (QPushButton *button : {d.cmdOK(), d.cmdCancel()})
        QVERIFY(button->fontMetrics().horizontalAdvance(QString(button->text()).remove(u'&')) < button->width() - 8);

    // Nothing overlaps, and every control is inside what holds it.
    for (QWidget *parent : {static_cast<QWidget *>(&d), static_cast<QWidget *>(d.Frame1(0)),
                            static_cast<QWidget *>(d.Frame1(1))}) {
        const QList<QWidget *> children = parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        QVERIFY(children.size() >= 5);
        for (qsizetype a = 0; a < children.size(); ++a) {
            const QString name = children[a]->objectName();
            QVERIFY2(parent->rect().contains(children[a]->geometry()), qPrintable(name));
            for (qsizetype b = a + 1; b < children.size(); ++b) {
                QVERIFY2(!children[a]->geometry().intersects(children[b]->geometry()),
                         qPrintable(name + QStringLiteral(" and ") + children[b]->objectName()));
            }
        }
    }
    // Each box still stands before its label, on its row.
    for (int i = 0; i < 12; ++i) {
        QVERIFY(d.chkScreen(i)->geometry().right() < d.lblScreen(i)->geometry().left());
        QVERIFY(qAbs(d.chkScreen(i)->geometry().center().y() - d.lblScreen(i)->geometry().center().y()) <= 3);
    }

    // The dialog may grow wider, never taller, and stays fixed and centred
    // on its owner.
    QVERIFY(d.width() >= 468);
    QCOMPARE(d.height(), 216);
    QCOMPARE(d.minimumSize(), d.maximumSize());
    QVERIFY(qAbs(d.geometry().center().x() - owner.geometry().center().x()) <= 1);
    QVERIFY(qAbs(d.geometry().center().y() - owner.geometry().center().y()) <= 1);
    if (!points) {
        // In the windows' own face the design holds the English texts as
        // they are, and the French ones with the restart hint widened.
        QCOMPARE(d.size(), QSize(468, 216));
        if (language == 0)
            QCOMPARE(d.lblRestart()->geometry(), QRect(33, 190, 378, 21));
        else
            QVERIFY(d.lblRestart()->width() > 378);
    }
}

void TestClsFrmIntegrate::accessibleNames_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("reachesAct");
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
    QTest::newRow("English") << 0 << true << english;
    QTest::newRow("French") << 1 << true << french;
    QTest::newRow("no language") << 5 << true << QStringList(12, QString());
    // Loading stops before the captions: the boxes are named as their
    // labels read, in the English of the design.
    QTest::newRow("French, ACT! out of reach") << 1 << false << english;
}

void TestClsFrmIntegrate::accessibleNames()
{
    QFETCH(int, language);
    QFETCH(bool, reachesAct);
    QFETCH(QStringList, names);
    Rig rig(static_cast<qint16>(language));
    rig.host.canCreateObjects = reachesAct;
    rig.open();
    QStringList seen;
    for (int i = 0; i < 12; ++i) {
        QAccessibleInterface *box = QAccessible::queryAccessibleInterface(rig.dlg->chkScreen(i));
        QVERIFY(box);
        QCOMPARE(box->role(), QAccessible::CheckBox);
        seen << box->text(QAccessible::Name);
        // What a sighted user reads does not change: the box shows no text,
        // its label the view's name.
        QVERIFY(rig.dlg->chkScreen(i)->text().isEmpty());
        const QString viewName = reachesAct ? languageColumn[language == 1 ? 1 : (language == 0 ? 0 : 2)][6 + i % 6]
                                            : integrate::englishTexts()[6 + i % 6];
        QCOMPARE(rig.dlg->lblScreen(i)->text(), viewName);
    }
    QCOMPARE(seen, names);
    if (!names.first().isEmpty())
        QCOMPARE(QSet<QString>(seen.begin(), seen.end()).size(), 12);
}

void TestClsFrmIntegrate::tabOrder()
{
    Rig rig;
    for (auto set : {&clsFrmIntegrate::setContactListScreen, &clsFrmIntegrate::setGroupScreen,
                     &clsFrmIntegrate::setTaskListScreen, &clsFrmIntegrate::setCalendarsScreen,
                     &clsFrmIntegrate::setEmailScreen})
        (rig.dlg.get()->*set)(true);
    rig.open();
    rig.dlg->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.dlg.get()));
    QList<QWidget *> expected;
    for (int i : {0, 1, 2, 3, 4, 5, 11, 10, 9, 8, 7, 6})
        expected << rig.dlg->chkScreen(i);
    expected << rig.dlg->cmdOK() << rig.dlg->cmdCancel() << rig.dlg->chkScreen(0);
    QCOMPARE(QApplication::focusWidget(), expected[0]);
    for (qsizetype k = 1; k < expected.size(); ++k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), expected[k]);
    }
    QVERIFY(rig.journal == plainLoad()); // moving the focus changes nothing
}

void TestClsFrmIntegrate::enabledStates_data()
{
    QTest::addColumn<QList<bool>>("screens");
    QTest::newRow("as the main window opens it") << QList<bool>{true, false, false, false, false, false};
    QTest::newRow("all") << QList<bool>{true, true, true, true, true, true};
    QTest::newRow("none") << QList<bool>{false, false, false, false, false, false};
    QTest::newRow("groups and e-mail") << QList<bool>{false, false, true, false, false, true};
}

void TestClsFrmIntegrate::enabledStates()
{
    QFETCH(QList<bool>, screens);
    Rig rig;
    const char *names[6] = {"ContactScreen", "ContactListScreen", "GroupScreen",
                            "TaskListScreen", "CalendarsScreen", "EmailScreen"};
    for (int v = 0; v < 6; ++v)
        QVERIFY(rig.dlg->setProperty(names[v], screens[v]));
    for (int v = 0; v < 6; ++v)
        QCOMPARE(rig.dlg->property(names[v]).toBool(), screens[v]);
    rig.open();
    for (int i = 0; i < 12; ++i)
        QCOMPARE(rig.dlg->chkScreen(i)->isEnabled(), screens[i % 6]);
}

void TestClsFrmIntegrate::loadReadsBoxesFromHost()
{
    Rig rig;
    rig.host.registered = {P};
    rig.host.toolbar = {{1, P}, {6, P}};
    rig.host.toolsMenu = {{2, P}};
    rig.host.placeResult = 9; // the repeated add requests during loading are refused
    rig.open();
    // A box that ACT! reports present changes and its click handling runs.
    QCOMPARE(rig.journal, QStringList({create(), inToolbar(1), exists(), aux("AddAuxCommandToToolbar", 1), inToolbar(2), inToolbar(3),
                                       inToolbar(4), inToolbar(5), inToolbar(6), exists(), aux("AddAuxCommandToToolbar", 6), inMenu(1),
                                       inMenu(2), exists(), aux("AddAuxCommandToToolsMenu", 2), inMenu(3), inMenu(4), inMenu(5),
                                       inMenu(6)}));
    for (int i = 0; i < 12; ++i)
        QCOMPARE(rig.dlg->chkScreenValue(i), qint16(i == 0 || i == 5 || i == 7 ? 1 : 0));
    QVERIFY(!rig.dlg->chkScreen(5)->isEnabled()); // disabled, and still shows checked
    QVERIFY(!rig.dlg->ScreensChanged());
    QCOMPARE(rig.dlg->LastAuxResult(), 9);
    QCOMPARE(rig.dlg->windowIcon().cacheKey(), rig.dlg->IntegrateIcon().cacheKey());

    // Nothing touched: Close asks nothing, even though the last result failed.
    const auto mark = rig.journal.size();
    rig.clickClose();
    QVERIFY(rig.since(mark).isEmpty());
    QVERIFY(!rig.dlg->isVisible());
    QVERIFY(rig.dlg->AuxCommands().isNothing());
}

void TestClsFrmIntegrate::labelToggles_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::addColumn<QString>("request");
    QTest::newRow("unchecked becomes checked") << 0 << true << 0 << 1 << aux("AddAuxCommandToToolbar", 1);
    QTest::newRow("checked becomes unchecked") << 6 << true << 1 << 0 << aux("RemoveAuxCommandFromToolsMenu", 1);
    QTest::newRow("greyed becomes checked") << 0 << true << 2 << 1 << aux("AddAuxCommandToToolbar", 1);
    QTest::newRow("disabled view, unchecked") << 3 << false << 0 << 1 << aux("AddAuxCommandToToolbar", 4);
    QTest::newRow("disabled view, checked") << 11 << false << 1 << 0 << aux("RemoveAuxCommandFromToolsMenu", 6);
}

void TestClsFrmIntegrate::labelToggles()
{
    QFETCH(int, index);
    QFETCH(bool, enabled);
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(QString, request);
    Rig rig;
    rig.host.registered = {P};
    rig.open();
    rig.dlg->setChkScreenValue(index, static_cast<qint16>(before));
    QCOMPARE(rig.dlg->chkScreen(index)->isEnabled(), enabled);
    const auto mark = rig.journal.size();
    rig.clickLabel(index);
    QCOMPARE(rig.dlg->chkScreenValue(index), qint16(after));
    QCOMPARE(rig.since(mark), QStringList({exists(), request}));
    QVERIFY(rig.dlg->ScreensChanged());
}

void TestClsFrmIntegrate::boxClicks()
{
    Rig rig;
    rig.host.registered = {P};
    rig.open();
    auto *box = rig.dlg->chkScreen(0);
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(rig.dlg->chkScreenValue(0), qint16(1));
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(rig.dlg->chkScreenValue(0), qint16(0)); // never through greyed
    rig.dlg->setChkScreenValue(0, 2);
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(rig.dlg->chkScreenValue(0), qint16(1));
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Space);
    QCOMPARE(rig.dlg->chkScreenValue(0), qint16(0));
    QCOMPARE(rig.host.countOf(QStringLiteral("AuxCommands.AuxCommandExists")), 5); // one handling per change
    // Setting the state a box already has runs nothing; a disabled box ignores clicks.
    const auto mark = rig.journal.size();
    rig.dlg->setChkScreenValue(0, 0);
    QTest::mouseClick(rig.dlg->chkScreen(1), Qt::LeftButton);
    QCOMPARE(rig.dlg->chkScreenValue(1), qint16(0));
    QVERIFY(rig.since(mark).isEmpty());
}

void TestClsFrmIntegrate::boxRequests_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("add");
    QTest::addColumn<QString>("remove");
    for (int i = 0; i < 12; ++i) {
        const int view = i < 6 ? i + 1 : i - 5;
        QTest::addRow("box %d", i) << i
                                   << aux(i < 6 ? "AddAuxCommandToToolbar" : "AddAuxCommandToToolsMenu", view)
                                   << aux(i < 6 ? "RemoveAuxCommandFromToolbar" : "RemoveAuxCommandFromToolsMenu",
                                          view);
    }
}

void TestClsFrmIntegrate::boxRequests()
{
    QFETCH(int, index);
    QFETCH(QString, add);
    QFETCH(QString, remove);
    Rig rig;
    rig.host.registered = {P};
    rig.open();
    const auto mark = rig.journal.size();
    rig.dlg->setChkScreenValue(index, 1);
    rig.dlg->setChkScreenValue(index, 0);
    rig.dlg->setChkScreenValue(index, 2); // greyed counts as checked
    QCOMPARE(rig.since(mark), QStringList({exists(), add, exists(), remove, exists(), add}));
}

void TestClsFrmIntegrate::registersBeforePlacing()
{
    Rig rig(1);
    rig.open();
    auto mark = rig.journal.size();
    rig.clickLabel(0);
    QCOMPARE(rig.since(mark),
             QStringList({exists(), reg(QStringLiteral("Cliquez pour lancer ")), aux("AddAuxCommandToToolbar", 1)}));
    // Unchecking also registers first when ACT! has lost the command.
    rig.host.registered.clear();
    mark = rig.journal.size();
    rig.clickLabel(0);
    QCOMPARE(rig.since(mark), QStringList({exists(), reg(QStringLiteral("Cliquez pour lancer ")),
                                           aux("RemoveAuxCommandFromToolbar", 1)}));
    QVERIFY(rig.desktop.messages.isEmpty());
}

void TestClsFrmIntegrate::closeFlows_data()
{
    QTest::addColumn<QList<int>>("labels"); // labels clicked before Close
    QTest::addColumn<qint32>("addResult");
    QTest::addColumn<qint32>("placeResult");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("hostChangesMeanwhile");
    QTest::addColumn<QStringList>("expected"); // journal from the first click on
    QTest::addColumn<QStringList>("texts");    // message texts, in order

    const QStringList en = integrate::englishTexts();
    const QString ask = en[2] + QStringLiteral("\r\n") + en[3];
    const QString addTb1 = aux("AddAuxCommandToToolbar", 1);
    const QString remTb1 = aux("RemoveAuxCommandFromToolbar", 1);
    QStringList reloadPresent = plainLoad(); // box 0 already checked: no change on reload
    QStringList reloadGone = plainLoad();
    reloadGone.insert(2, exists());
    reloadGone.insert(3, remTb1);

    QTest::newRow("no change") << QList<int>{} << 0 << 0 << 0 << false << QStringList{} << QStringList{};
    QTest::newRow("answer No") << QList<int>{0} << 0 << 0 << int(platform::vbNo) << false
                               << QStringList{exists(), reg(), addTb1, question()} + reloadPresent
                               << QStringList{ask};
    QTest::newRow("answer Yes") << QList<int>{0} << 0 << 0 << int(platform::vbYes) << false
                                << QStringList{exists(), reg(), addTb1, question()} + reloadPresent
            + QStringList{mainUnload()}
                                << QStringList{ask};
    QTest::newRow("refused place request reported at Close")
        << QList<int>{0} << 0 << 3 << 0 << false << QStringList{exists(), reg(), addTb1, okBox()}
        << QStringList{en[4]};
    QTest::newRow("refused registration reported at once, then the question")
        << QList<int>{0} << 5 << 0 << int(platform::vbNo) << false
        << QStringList{exists(), reg(), okBox(), addTb1, question()} + reloadPresent << QStringList{en[4], ask};
    QTest::newRow("check then uncheck") << QList<int>{0, 0} << 0 << 0 << int(platform::vbNo) << false
                                        << QStringList{exists(), reg(), addTb1, exists(), remTb1, question()}
            + plainLoad()
                                        << QStringList{ask};
    QTest::newRow("ACT! changed while the question was open: reload applies it")
        << QList<int>{0} << 0 << 0 << int(platform::vbNo) << true
        << QStringList{exists(), reg(), addTb1, question()} + reloadGone << QStringList{ask};
}

void TestClsFrmIntegrate::closeFlows()
{
    QFETCH(QList<int>, labels);
    QFETCH(qint32, addResult);
    QFETCH(qint32, placeResult);
    QFETCH(int, answer);
    QFETCH(bool, hostChangesMeanwhile);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, texts);
    Rig rig;
    rig.host.addAuxCommandResult = addResult;
    rig.open();
    rig.host.placeResult = placeResult;
    const auto mark = rig.journal.size();
    for (int index : labels)
        rig.clickLabel(index);
    if (answer)
        rig.desktop.msgBoxAnswers << answer;
    if (hostChangesMeanwhile)
        rig.desktop.whileMsgBoxOpen = [&rig](const auto &) { rig.host.toolbar.clear(); };
    rig.clickClose();

    QCOMPARE(rig.since(mark), expected);
    QStringList shown;
    for (const auto &m : rig.desktop.messages) {
        shown << m.text;
        QCOMPARE(m.title, P);
    }
    QCOMPARE(shown, texts);
    QVERIFY(!rig.dlg->isVisible());
    QCOMPARE(rig.finished, 1);
    QVERIFY(rig.dlg->AuxCommands().isNothing());
    const bool restart = answer == platform::vbYes;
    QCOMPARE(program::RestartAct, restart);
    QCOMPARE(rig.mainUnloads.size(), restart ? 1 : 0);
    if (restart) {
        QVERIFY(!rig.mainUnloads[0].dialogVisible); // hidden before the main window's routine
        QVERIFY(rig.mainUnloads[0].restartAct);
        QVERIFY(rig.mainUnloads[0].auxHeld); // and unloaded only after it
    }
    if (answer) {
        QCOMPARE(int(rig.dlg->RestartAnswer()), answer);
        QVERIFY(!rig.dlg->ScreensChanged()); // the reload cleared it
    }
}

void TestClsFrmIntegrate::waysOfClosing_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("asks");
    QTest::newRow("Close button") << "close" << true;
    QTest::newRow("Enter presses Close") << "enter" << true;
    QTest::newRow("Cancel button") << "cancel" << false;
    QTest::newRow("Escape presses Cancel") << "escape" << false;
    QTest::newRow("window close box") << "closebox" << false;
}

void TestClsFrmIntegrate::waysOfClosing()
{
    QFETCH(QString, way);
    QFETCH(bool, asks);
    Rig rig;
    for (int opening = 1; opening <= 2; ++opening) {
        const int created = rig.host.countOf(QStringLiteral("CreateObject"));
        rig.open();
        QCOMPARE(rig.host.countOf(QStringLiteral("CreateObject")), created + 1); // loaded once per opening
        QVERIFY(!rig.dlg->AuxCommands().isNothing());
        rig.clickLabel(6);
        QVERIFY(rig.host.toolsMenu.contains({1, P}));
        rig.host.toolsMenu.clear();
        rig.desktop.messages.clear();
        QWidget *focus = rig.dlg->chkScreen(0);
        if (way == u"close")
            rig.clickClose();
        else if (way == u"enter")
            QTest::keyClick(focus, Qt::Key_Return);
        else if (way == u"cancel")
            QTest::mouseClick(rig.dlg->cmdCancel(), Qt::LeftButton);
        else if (way == u"escape")
            QTest::keyClick(focus, Qt::Key_Escape);
        else
            QVERIFY(rig.dlg->close());
        QCOMPARE(rig.desktop.messages.size(), asks ? 1 : 0);
        QVERIFY(!rig.dlg->isVisible());
        QCOMPARE(rig.finished, opening); // unloaded once per closing
        QVERIFY(rig.dlg->AuxCommands().isNothing());
        QVERIFY(!program::RestartAct);
    }
}

void TestClsFrmIntegrate::restartFromModalLoop()
{
    Rig rig;
    rig.desktop.msgBoxAnswers << platform::vbYes;
    QTimer::singleShot(0, rig.dlg.get(), [&rig] {
        rig.clickLabel(0);
        rig.clickClose();
    });
    rig.dlg->exec(); // returns once the restart path has closed the dialog
    QVERIFY(program::RestartAct);
    QCOMPARE(rig.mainUnloads.size(), 1);
    QCOMPARE(rig.finished, 1);
    QCOMPARE(rig.journal.last(), mainUnload());
    QVERIFY(rig.dlg->AuxCommands().isNothing());
}

void TestClsFrmIntegrate::restartRoutineMayDestroyTheDialog()
{
    program::RestartAct = false;
    testsupport::FakeHost host;
    testsupport::ScriptedPlatform desktop;
    desktop.msgBoxAnswers << platform::vbYes;
    QPointer<clsFrmIntegrate> dlg;
    dlg = new clsFrmIntegrate(host, desktop, [&dlg] { delete dlg.data(); });
    dlg->setAppName(P);
    dlg->setContactScreen(true);
    dlg->show();
    dlg->lblScreen(0)->setFocus();
    QTest::mouseClick(dlg->lblScreen(0), Qt::LeftButton);
    dlg->cmdOK()->click();
    QVERIFY(dlg.isNull());
    QVERIFY(program::RestartAct);
    QCOMPARE(desktop.messages.size(), 1); // the question, and no report
    program::RestartAct = false;
}

void TestClsFrmIntegrate::badExistenceAnswer_data()
{
    QTest::addColumn<qint64>("answer");         // every existence answer
    QTest::addColumn<QString>("toolsMenuFails"); // or the first Tools-menu one overflows
    QTest::addColumn<QString>("report");
    QTest::newRow("toolbar answer beyond 16 bits")
        << qint64(70000) << QString() << "Error 6: 'Overflow'\rin frmIntegrate: Sub Form_Load - Line # 14260\r\r";
    QTest::newRow("Tools-menu answer beyond 16 bits")
        << qint64(-1) << "overflow" << "Error 6: 'Overflow'\rin frmIntegrate: Sub Form_Load - Line # 14340\r\r";
    QTest::newRow("answer that is no box state")
        << qint64(3) << QString()
        << "Error 380: 'Invalid property value'\rin frmIntegrate: Sub Form_Load - Line # 14260\r\r";
}

void TestClsFrmIntegrate::badExistenceAnswer()
{
    QFETCH(qint64, answer);
    QFETCH(QString, toolsMenuFails);
    QFETCH(QString, report);
    Rig rig(1);
    if (answer >= 0)
        rig.host.existsAnswer = answer;
    if (!toolsMenuFails.isEmpty())
        rig.host.failCall(QStringLiteral("AuxCommands.AuxCommandExistsInToolsMenu"), 1, host::Failure::overflow());
    rig.open();
    QCOMPARE(rig.reports().size(), 1);
    QCOMPARE(rig.reports()[0].text, report + integrate::frenchTexts()[0]);
    // The remaining steps did not run: the caption is still the design one.
    QCOMPARE(rig.dlg->windowTitle(), integrate::englishTexts()[5]);
    QCOMPARE(rig.dlg->cmdOK()->text(), QStringLiteral("&Close"));
}

void TestClsFrmIntegrate::faultSweep_data()
{
    // Scenario 0: loading finds the command on view 1's toolbar and Tools
    // menu while it is not registered. 1: checking box 6 with nothing
    // registered. 2: unchecking boxes 0 and 6. 3: a change, Close, Yes.
    QTest::addColumn<int>("scenario");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("member");
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<QString>("procedure");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("thenCalled"); // the caller went on to this call

    const auto row = [](const char *name, int scenario, int language, const char *member, int occurrence,
                        const char *procedure, int line, const QString &then = QString()) {
        QTest::newRow(name) << scenario << language << QStringLiteral("AuxCommands.") + QLatin1String(member)
                            << occurrence << QString::fromLatin1(procedure) << line << then;
    };
    QTest::newRow("load: creating the object")
        << 0 << 0 << "CreateObject" << 1 << "Form_Load" << 13980 << QString();
    row("load: first toolbar answer", 0, 1, "AuxCommandExistsInToolbar", 1, "Form_Load", 14260);
    row("load: last toolbar answer", 0, 0, "AuxCommandExistsInToolbar", 6, "Form_Load", 14260);
    row("load: first Tools-menu answer", 0, 2, "AuxCommandExistsInToolsMenu", 1, "Form_Load", 14340);
    row("load: last Tools-menu answer", 0, 0, "AuxCommandExistsInToolsMenu", 6, "Form_Load", 14340);
    row("load: registration test", 0, 0, "AuxCommandExists", 1, "chkScreen_Click", 15020, inToolbar(2));
    row("load: registration", 0, 1, "AddAuxCommand", 1, "CheckCommand", 15680, aux("AddAuxCommandToToolbar", 1));
    row("load: toolbar add", 0, 0, "AddAuxCommandToToolbar", 1, "chkScreen_Click", 15120, inToolbar(2));
    row("load: Tools-menu add", 0, 0, "AddAuxCommandToToolsMenu", 1, "chkScreen_Click", 15240, inMenu(2));
    row("check: registration test", 1, 0, "AuxCommandExists", 1, "chkScreen_Click", 15020);
    row("check: registration", 1, 2, "AddAuxCommand", 1, "CheckCommand", 15680, aux("AddAuxCommandToToolsMenu", 1));
    row("check: Tools-menu add", 1, 1, "AddAuxCommandToToolsMenu", 1, "chkScreen_Click", 15240);
    row("uncheck: toolbar remove", 2, 0, "RemoveAuxCommandFromToolbar", 1, "chkScreen_Click", 15080, exists());
    row("uncheck: Tools-menu remove", 2, 1, "RemoveAuxCommandFromToolsMenu", 1, "chkScreen_Click", 15200);
    QTest::newRow("restart: re-creating the object")
        << 3 << 0 << "CreateObject" << 2 << "Form_Load" << 13980 << mainUnload();
    row("restart: re-reading a toolbar", 3, 1, "AuxCommandExistsInToolbar", 7, "Form_Load", 14260, mainUnload());
    QTest::newRow("restart: the main window's routine fails")
        << 3 << 0 << "Form1.Form_Unload" << 1 << "Message" << 15540 << QString();
}

void TestClsFrmIntegrate::faultSweep()
{
    QFETCH(int, scenario);
    QFETCH(int, language);
    QFETCH(QString, member);
    QFETCH(int, occurrence);
    QFETCH(QString, procedure);
    QFETCH(int, line);
    QFETCH(QString, thenCalled);
    Rig rig(static_cast<qint16>(language));
    if (scenario == 0) {
        rig.host.toolbar = {{1, P}};
        rig.host.toolsMenu = {{1, P}};
    }
    if (scenario == 2) {
        rig.host.registered = {P};
        rig.host.toolbar = {{1, P}};
        rig.host.toolsMenu = {{1, P}};
    }
    if (member == mainUnload())
        rig.mainUnloadFails = true;
    else
        rig.host.failCall(member, occurrence);
    rig.open();
    if (scenario == 1)
        rig.clickLabel(6);
    if (scenario == 2) {
        rig.clickLabel(0);
        rig.clickLabel(6);
    }
    if (scenario == 3) {
        rig.desktop.msgBoxAnswers << platform::vbYes;
        rig.clickLabel(0);
        rig.clickClose();
    }

    const QString contact = languageColumn[language][0];
    QCOMPARE(rig.reports().size(), 1);
    const auto report = rig.reports().value(0);
    QCOMPARE(report.text, platform::ComposeErrorReport(440, QStringLiteral("Injected failure"),
                                                       "in frmIntegrate: Sub " + procedure + " - Line # ", line,
                                                       contact));
    QVERIFY(report.text.endsWith(QStringLiteral("\r\r") + contact));
    QCOMPARE(report.title, P);
    QCOMPARE(report.style, int(platform::vbOKOnly));
    if (!thenCalled.isEmpty()) {
        const auto failed = rig.journal.indexOf(QStringLiteral("MsgBox(0,Pennaroc)"));
        QVERIFY(rig.journal.indexOf(thenCalled, failed) > failed);
    }
    // The dialog stays open, except on the restart path, which still closes it.
    QCOMPARE(rig.dlg->isVisible(), scenario != 3);
    if (scenario == 3) {
        QVERIFY(program::RestartAct);
        QCOMPARE(rig.finished, 1);
    }
}

void TestClsFrmIntegrate::failedRegistrationThenFailedPlaceGiveTwoReports_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("place"); // the place request that fails too
    QTest::addColumn<int>("placeLine");
    QTest::newRow("check a toolbar box") << 0 << "AddAuxCommandToToolbar" << 15120;
    QTest::newRow("check a Tools-menu box") << 11 << "AddAuxCommandToToolsMenu" << 15240;
}

void TestClsFrmIntegrate::failedRegistrationThenFailedPlaceGiveTwoReports()
{
    // The registration's failure is reported by CheckCommand; the click
    // handling then goes on with its place request, whose own failure gives
    // a second report under chkScreen_Click's label.
    QFETCH(int, box);
    QFETCH(QString, place);
    QFETCH(int, placeLine);
    Rig rig;
    rig.dlg->setEmailScreen(true);
    rig.open();
    rig.host.failCall(QStringLiteral("AuxCommands.AddAuxCommand"));
    rig.host.duringCall = [place](const QString &member) {
        if (member == QStringLiteral("AuxCommands.") + place)
            throw host::Failure(440, QStringLiteral("Second failure"));
    };
    const auto mark = rig.journal.size();
    rig.clickLabel(box);
    rig.host.duringCall = nullptr;

    const int view = box < 6 ? box + 1 : box - 5;
    QCOMPARE(rig.since(mark), QStringList({exists(), reg(), okBox(), aux(place.toLatin1().constData(), view),
                                           okBox()}));
    const QString contact = integrate::englishTexts()[0];
    QCOMPARE(rig.reports().size(), 2);
    QCOMPARE(rig.reports()[0].text,
             platform::ComposeErrorReport(440, QStringLiteral("Injected failure"),
                                          QStringLiteral("in frmIntegrate: Sub CheckCommand - Line # "), 15680,
                                          contact));
    QCOMPARE(rig.reports()[1].text,
             platform::ComposeErrorReport(440, QStringLiteral("Second failure"),
                                          QStringLiteral("in frmIntegrate: Sub chkScreen_Click - Line # "),
                                          placeLine, contact));
    for (const auto &r : rig.reports())
        QCOMPARE(r.title, P);
    // The box keeps the user's state, the change counts, and the dialog stays.
    QCOMPARE(rig.dlg->chkScreenValue(box), qint16(1));
    QVERIFY(rig.dlg->ScreensChanged());
    QVERIFY(rig.dlg->isVisible());
}

void TestClsFrmIntegrate::messageBoxFailures_data()
{
    // A message box that fails while it is shown. "number:procedure:line"
    // lists the reports shown or attempted, in order.
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<bool>("placed");  // the click still sent its place request
    QTest::addColumn<bool>("visible"); // the dialog is still open at the end
    QTest::newRow("failure message of a refused registration")
        << "refused registration" << QStringList{"7:MessAddFailed:15800"} << true << true;
    QTest::newRow("failure message at Close")
        << "refused place, Close" << QStringList{"7:MessAddFailed:15800"} << true << false;
    QTest::newRow("restart question")
        << "change, Close" << QStringList{"7:Message:15380"} << true << false;
    // The registration's own report is the box that fails; that failure is
    // not trapped again but ends the click in its trap, before any place
    // request.
    QTest::newRow("report of a failed registration goes to the click's trap")
        << "failed registration" << QStringList{"440:CheckCommand:15680", "7:chkScreen_Click:15020"} << false
        << true;
}

void TestClsFrmIntegrate::messageBoxFailures()
{
    QFETCH(QString, scenario);
    QFETCH(QStringList, reports);
    QFETCH(bool, placed);
    QFETCH(bool, visible);
    Rig rig;
    rig.open();
    if (scenario == u"refused registration")
        rig.host.addAuxCommandResult = 5;
    if (scenario == u"refused place, Close")
        rig.host.placeResult = 3;
    if (scenario == u"failed registration")
        rig.host.failCall(QStringLiteral("AuxCommands.AddAuxCommand"));
    bool failed = false;
    rig.desktop.whileMsgBoxOpen = [&failed](const testsupport::ScriptedPlatform::Message &) {
        if (!failed) {
            failed = true;
            throw host::Failure(7, QStringLiteral("Out of memory"));
        }
    };
    rig.clickLabel(0);
    if (scenario.endsWith(u"Close"))
        rig.clickClose();

    QVERIFY(failed);
    const QString contact = integrate::englishTexts()[0];
    QCOMPARE(rig.reports().size(), reports.size());
    for (qsizetype i = 0; i < reports.size(); ++i) {
        const QStringList where = reports[i].split(u':');
        const int number = where[0].toInt();
        QCOMPARE(rig.reports()[i].text,
                 platform::ComposeErrorReport(number,
                                              number == 7 ? QStringLiteral("Out of memory")
                                                          : QStringLiteral("Injected failure"),
                                              QStringLiteral("in frmIntegrate: Sub ") + where[1]
                                                  + QStringLiteral(" - Line # "),
                                              where[2].toInt(), contact));
        QCOMPARE(rig.reports()[i].title, P);
    }
    QCOMPARE(rig.host.countOf(QStringLiteral("AuxCommands.AddAuxCommandToToolbar")), placed ? 1 : 0);
    QCOMPARE(rig.dlg->isVisible(), visible);
    // A failed question is no answer: nothing is reloaded and ACT! is not
    // restarted.
    QCOMPARE(rig.host.countOf(QStringLiteral("CreateObject")), 1);
    QVERIFY(!program::RestartAct);
    QVERIFY(!rig.journal.contains(mainUnload()));
}

QTEST_MAIN(TestClsFrmIntegrate)
#include "tst_clsFrmIntegrate.moc"
