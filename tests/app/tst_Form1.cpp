#include "app/Form1.h"
#include "integrate/clsFrmIntegrate.h"
#include "platform/ProgramState.h"
#include "platform/QtPlatformServices.h"
#include "tests/support/FakeHost.h"
#include "tests/support/ScriptedPlatform.h"

#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <memory>

using testsupport::FakeHost;
using testsupport::ScriptedPlatform;

namespace {

const QString Contact = QStringLiteral("Please contact support@veltrane.example with this error message.");

QString report(qint32 number, const QString &description, const QString &label, int line)
{
    return QStringLiteral("Error %1: '%2'\r%3%4\r\r").arg(number).arg(description, label).arg(line) + Contact;
}

// One main window on a scripted host and desktop.
struct Rig {
    FakeHost host;
    ScriptedPlatform desktop;
    std::unique_ptr<app::Form1> form;
    std::unique_ptr<QSignalSpy> ended;

    Rig() { program::RestartAct = false; }
    ~Rig() { program::RestartAct = false; }
    app::Form1 &make()
    {
        form = std::make_unique<app::Form1>(host, desktop);
        ended = std::make_unique<QSignalSpy>(form.get(), &app::Form1::programEnded);
        return *form;
    }
    app::Form1 &load()
    {
        make().Form_Load();
        return *form;
    }
};

// Enabled and selected states of the three options, as "E-E-E/s--".
QString statesOf(const app::Form1 &form)
{
    QString enabled, selected;
    for (QRadioButton *option : form.optAction) {
        enabled += option->isEnabled() ? u'E' : u'-';
        selected += option->isChecked() ? u's' : u'-';
    }
    return enabled + u'/' + selected;
}

QStringList startupCalls(int row)
{
    return {QStringLiteral("ActEvent1.Id1(0)"),        QStringLiteral("CreateObject(ACTOLE.APPOBJECT)"),
            QStringLiteral("ActApp.OpenFile()"),       QStringLiteral("ActApp.Views()"),
            QStringLiteral("ActViews.Create(1,CV)"),   QStringLiteral("ContactView.Sales()"),
            QStringLiteral("SalesList.GetCurrentRow()"), QStringLiteral("SalesList.GetField(36,%1)").arg(row)};
}

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void refusals_data();
    void refusals();
    void refusalMessageFails_data();
    void refusalMessageFails();
    void optionStates_data();
    void optionStates();
    void loadFaultSweep_data();
    void loadFaultSweep();
    void unloadFaultSweep_data();
    void unloadFaultSweep();
    void timerFault();
    void notifications_data();
    void notifications();
    void restartSteps();
    void restartEndsOnSecondRealTick();
    void realUnloadNeverRestarts_data();
    void realUnloadNeverRestarts();
    void layout_data();
    void layout();
    void menusOpenTheirDialogs();
    void windowFrameAndMenus();
    void aboutOpensModally_data();
    void aboutOpensModally();
    void tabOrder();
    void linkKeys_data();
    void linkKeys();
    void linkTextFitsOnTheClientArea();
    void linkOpensWebSite();
    void enterRunsOk();
    void notificationDuringMessageBox_data();
    void notificationDuringMessageBox();
    void notificationDuringHostCallStopsStartup();
    void notificationInRealModalWindows_data();
    void notificationInRealModalWindows();
    void killedCopyLeavesNoLock();
};

// ---------------------------------------------------------------- start-up

void TestForm1::refusals_data()
{
    QTest::addColumn<bool>("another");
    QTest::addColumn<int>("id1");
    QTest::addColumn<bool>("id3");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("second copy") << true << 1 << false << 0
                                 << "Another instance of Pennaroc is already open. This instance will now close." << 0
                                 << "Pennaroc" << QStringList();
    QTest::newRow("no link, id 3 true")
        << false << 0 << true << 0
        << "Problem communicating with ACT!. Please run actreg.exe in ACT folder and try again." << 0 << "Pennaroc"
        << QStringList{"ActEvent1.Id1(0)", "ActEvent1.Id3()"};
    QTest::newRow("no link, id 3 false") << false << 0 << false << 0 << "Please open a database before running Pennaroc"
                                         << 0 << "Pennaroc. More at www.veltrane.example"
                                         << QStringList{"ActEvent1.Id1(0)", "ActEvent1.Id3()"};
    QTest::newRow("negative link, id 3 false")
        << false << -7 << false << 0 << "Please open a database before running Pennaroc" << 0
        << "Pennaroc. More at www.veltrane.example" << QStringList{"ActEvent1.Id1(0)", "ActEvent1.Id3()"};
    QTest::newRow("no current record") << false << 1 << false << -1
                                       << "You need to select a Sale/Opportunity record before running Pennaroc!"
                                       << 48 << "Pennaroc" << startupCalls(-1).mid(0, 7);
}

void TestForm1::refusals()
{
    QFETCH(bool, another);
    QFETCH(int, id1);
    QFETCH(bool, id3);
    QFETCH(int, row);
    QFETCH(QString, text);
    QFETCH(int, style);
    QFETCH(QString, title);
    QFETCH(QStringList, calls);

    Rig rig;
    rig.desktop.anotherInstance = another;
    rig.host.id1Result = id1;
    rig.host.id3Result = id3;
    rig.host.currentRow = row;
    app::Form1 &form = rig.load();

    QCOMPARE(rig.host.calls, calls);
    QCOMPARE(rig.desktop.messages.size(), 1);
    QCOMPARE(rig.desktop.messages[0].text, text);
    QCOMPARE(rig.desktop.messages[0].style, style);
    QCOMPARE(rig.desktop.messages[0].title, title);
    QVERIFY(form.isUnloaded());
    QCOMPARE(rig.ended->size(), 1);
    QVERIFY(rig.desktop.foregroundWindows.isEmpty());
    QVERIFY(rig.desktop.shellRequests.isEmpty());
    QVERIFY(!form.hasAppObject()); // released on unload, or never made
}

void TestForm1::refusalMessageFails_data()
{
    QTest::addColumn<bool>("another");
    QTest::addColumn<int>("id1");
    QTest::addColumn<bool>("id3");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("line");

    QTest::newRow("second copy") << true << 1 << false << 0 << 10920;
    QTest::newRow("no link, id 3 true") << false << 0 << true << 0 << 11140;
    QTest::newRow("no link, id 3 false") << false << 0 << false << 0 << 11060;
    QTest::newRow("no current record") << false << 1 << false << -1 << 11660;
}

void TestForm1::refusalMessageFails()
{
    // The refusal's message box fails while it is shown: the start-up's
    // trap reports it at the message's own line, and the load ends there,
    // so the window is not unloaded and stays in its stored state.
    QFETCH(bool, another);
    QFETCH(int, id1);
    QFETCH(bool, id3);
    QFETCH(int, row);
    QFETCH(int, line);

    Rig rig;
    rig.desktop.anotherInstance = another;
    rig.host.id1Result = id1;
    rig.host.id3Result = id3;
    rig.host.currentRow = row;
    bool failed = false;
    rig.desktop.whileMsgBoxOpen = [&failed](const ScriptedPlatform::Message &) {
        if (!failed) {
            failed = true;
            throw host::Failure(7, QStringLiteral("Out of memory"));
        }
    };
    app::Form1 &form = rig.load();

    QVERIFY(failed);
    QCOMPARE(rig.desktop.messages.size(), 2);
    QCOMPARE(rig.desktop.messages[1].text,
             report(7, QStringLiteral("Out of memory"), app::Form1::formLoadLabel(), line));
    QCOMPARE(rig.desktop.messages[1].style, 0);
    QCOMPARE(rig.desktop.messages[1].title, QStringLiteral("Pennaroc error"));
    QVERIFY(!form.isUnloaded());
    QVERIFY(rig.ended->isEmpty());
    QCOMPARE(statesOf(form), QStringLiteral("EEE/---"));
    QVERIFY(rig.desktop.foregroundWindows.isEmpty());
}

void TestForm1::optionStates_data()
{
    QTest::addColumn<QString>("details");
    QTest::addColumn<QString>("states");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");

    QTest::newRow("marker") << "Call back [[ /home/u/Quote.odt ]]" << "EEE/s--" << " /home/u/Quote.odt " << 11 << 32;
    QTest::newRow("empty marker is an attachment") << "[[]]" << "EEE/s--" << "" << 1 << 3;
    QTest::newRow("no marker") << "Call back in May" << "--E/--s" << "" << 0 << 0;
    QTest::newRow("unclosed marker") << "note [[x" << "--E/--s" << "" << 6 << 0;
    QTest::newRow("empty field") << "" << "--E/--s" << "" << 0 << 0;
    QTest::newRow("spaces only") << "     " << "--E/--s" << "" << 0 << 0;
}

void TestForm1::optionStates()
{
    QFETCH(QString, details);
    QFETCH(QString, states);
    QFETCH(QString, path);
    QFETCH(int, start);
    QFETCH(int, end);

    Rig rig;
    rig.host.currentRow = 4;
    rig.host.details = {{4, details}};
    QStringList journal;
    rig.host.journal = &journal;
    rig.desktop.journal = &journal;
    app::Form1 &form = rig.load();

    QCOMPARE(rig.host.calls, startupCalls(4));
    QCOMPARE(rig.desktop.instanceChecks, 1);
    // Last, the window is brought to the front.
    QCOMPARE(journal.last(), QStringLiteral("SetForegroundWindow"));
    QCOMPARE(rig.desktop.foregroundWindows.size(), 1);
    QCOMPARE(rig.desktop.foregroundWindows[0].data(), &form);
    QVERIFY(rig.desktop.messages.isEmpty());
    QCOMPARE(statesOf(form), states);
    QCOMPARE(form.detailsText(), details);
    QCOMPARE(form.attachmentPath(), path);
    QCOMPARE(form.markerStart(), start);
    QCOMPARE(form.markerEnd(), end);
    QCOMPARE(form.currentRow(), 4);
    QVERIFY(!form.isUnloaded());
    QVERIFY(rig.ended->isEmpty());
}

// ----------------------------------------------------------- fault sweeps

void TestForm1::loadFaultSweep_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<int>("id1");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("states");

    QTest::newRow("id 1") << "ActEvent1.Id1" << 1 << 11000 << "EEE/---";
    QTest::newRow("id 3") << "ActEvent1.Id3" << 0 << 11040 << "EEE/---";
    QTest::newRow("create") << "CreateObject" << 1 << 11240 << "EEE/---";
    QTest::newRow("OpenFile") << "ActApp.OpenFile" << 1 << 11260 << "EEE/---";
    QTest::newRow("Views") << "ActApp.Views" << 1 << 11280 << "EEE/---";
    QTest::newRow("Create") << "ActViews.Create" << 1 << 11300 << "EEE/---";
    QTest::newRow("Sales") << "ContactView.Sales" << 1 << 11320 << "EEE/---";
    QTest::newRow("GetCurrentRow") << "SalesList.GetCurrentRow" << 1 << 11340 << "EEE/---";
    QTest::newRow("GetField") << "SalesList.GetField" << 1 << 11380 << "EEE/---";
}

void TestForm1::loadFaultSweep()
{
    QFETCH(QString, member);
    QFETCH(int, id1);
    QFETCH(int, line);
    QFETCH(QString, states);

    Rig rig;
    rig.host.id1Result = id1;
    rig.host.failCall(member);
    app::Form1 &form = rig.load();

    QCOMPARE(rig.desktop.messages.size(), 1);
    QCOMPARE(rig.desktop.messages[0].text,
             report(440, QStringLiteral("Injected failure"), QStringLiteral("in Form1: Sub Form_Load - Line # "), line));
    QCOMPARE(rig.desktop.messages[0].style, 0);
    QCOMPARE(rig.desktop.messages[0].title, QStringLiteral("Pennaroc error"));
    // The load ends where it failed; the window stays, in the stored state.
    QCOMPARE(rig.host.callNames().last(), member);
    QVERIFY(!form.isUnloaded());
    QVERIFY(rig.ended->isEmpty());
    QCOMPARE(statesOf(form), states);
    QVERIFY(rig.desktop.foregroundWindows.isEmpty());
}

void TestForm1::unloadFaultSweep_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");
    QTest::addColumn<int>("line");

    QTest::newRow("GetOpenDBName") << "ActApp.GetOpenDBName" << true << 440 << "Injected failure" << 12000;
    QTest::newRow("Command") << "ActApp.Command" << true << 440 << "Injected failure" << 12020;
    QTest::newRow("no application object")
        << "" << false << 91 << "Object variable or With block variable not set" << 12000;
}

void TestForm1::unloadFaultSweep()
{
    QFETCH(QString, member);
    QFETCH(bool, loaded);
    QFETCH(int, number);
    QFETCH(QString, description);
    QFETCH(int, line);

    Rig rig;
    app::Form1 &form = rig.make();
    if (loaded)
        form.Form_Load();
    form.show();
    rig.host.failCall(member);
    rig.host.calls.clear();
    program::RestartAct = true;
    int cancel = 0;
    form.Form_Unload(cancel);

    QCOMPARE(rig.desktop.messages.size(), 1);
    QCOMPARE(rig.desktop.messages[0].text,
             report(number, description, QStringLiteral("in frmMain: Sub Form_Unload - Line # "), line));
    QCOMPARE(rig.desktop.messages[0].title, QStringLiteral("Pennaroc error"));
    QCOMPARE(rig.desktop.messages[0].style, 0);
    QCOMPARE(cancel, 0);
    // The routine stopped at the failing statement.
    QVERIFY(rig.desktop.shellRequests.isEmpty());
    QVERIFY(form.isVisible());
    QVERIFY(!form.tmr1->isActive());
    QCOMPARE(form.hasAppObject(), loaded);
    QVERIFY(rig.ended->isEmpty());
}

void TestForm1::timerFault()
{
    Rig rig;
    app::Form1 &form = rig.load();
    form.tmr1->start(60000);
    form.setTickCount(32767);
    form.tmr1_Timer();
    QCOMPARE(rig.desktop.messages.size(), 1);
    QCOMPARE(rig.desktop.messages[0].text,
             report(6, QStringLiteral("Overflow"), QStringLiteral("in frmMain: Sub tmr1_Timer - Line # "), 13260));
    QCOMPARE(rig.desktop.messages[0].title, QStringLiteral("Pennaroc error"));
    QCOMPARE(form.tickCount(), 32767);
    QVERIFY(form.tmr1->isActive()); // the tick ends, the timer keeps running
    QVERIFY(rig.ended->isEmpty());
}

// ---------------------------------------------------------- notifications

void TestForm1::notifications_data()
{
    QTest::addColumn<int>("event");
    QTest::addColumn<bool>("restart");
    QTest::addColumn<bool>("id2Fails");
    QTest::addColumn<bool>("ends");

    for (int event : {10, 22}) {
        const QByteArray e = QByteArray::number(event);
        QTest::newRow(e + " closes") << event << false << false << true;
        QTest::newRow(e + " closes although id 2 fails") << event << false << true << true;
        QTest::newRow(e + " during restart") << event << true << false << false;
        QTest::newRow(e + " during restart, id 2 fails") << event << true << true << false;
    }
    QTest::newRow("other events are ignored") << 11 << false << false << false;
}

void TestForm1::notifications()
{
    QFETCH(int, event);
    QFETCH(bool, restart);
    QFETCH(bool, id2Fails);
    QFETCH(bool, ends);

    Rig rig;
    app::Form1 &form = rig.load();
    form.show();
    rig.host.calls.clear();
    if (id2Fails)
        rig.host.failCall(QStringLiteral("ActEvent1.Id2"));
    program::RestartAct = restart;
    rig.host.raiseEvent(qint16(event), {QVariant(3)});

    QCOMPARE(rig.host.countOf(QStringLiteral("ActEvent1.Id2")), event == 11 ? 0 : 1);
    QVERIFY(rig.desktop.messages.isEmpty());
    QCOMPARE(form.isUnloaded(), ends);
    QCOMPARE(rig.ended->size(), ends ? 1 : 0);
    QCOMPARE(form.isVisible(), !ends);
    // A real unload never runs the restart steps.
    QCOMPARE(rig.host.countOf(QStringLiteral("ActApp.GetOpenDBName")), 0);
    // Once unloaded, later notifications reach nothing.
    rig.host.raiseEvent(qint16(event));
    QCOMPARE(rig.ended->size(), ends ? 1 : 0);
}

// ---------------------------------------------------------------- restart

void TestForm1::restartSteps()
{
    Rig rig;
    rig.desktop.programFolder = QStringLiteral("/opt/p");
    rig.host.openDbName = QStringLiteral("/home/u/My Contacts.actdb");
    app::Form1 &form = rig.load();
    form.show();
    QStringList journal;
    rig.host.journal = &journal;
    rig.desktop.journal = &journal;

    program::RestartAct = true;
    int cancel = 0;
    form.Form_Unload(cancel);

    QCOMPARE(journal, (QStringList{"ActApp.GetOpenDBName()", "ActApp.Command(150)",
                                   "ShellExecute(open,/home/u/My Contacts.actdb)"}));
    QVERIFY(!form.hasAppObject());
    QVERIFY(form.hasSalesList()); // the other references stay
    const ScriptedPlatform::Shell &shell = rig.desktop.shellRequests.at(0);
    QVERIFY(shell.parameters.isNull());
    QCOMPARE(shell.directory, QStringLiteral("/opt/p"));
    QCOMPARE(shell.showCommand, 5);
    QVERIFY(!form.isVisible());
    QVERIFY(!form.isUnloaded());
    QCOMPARE(form.tmr1->interval(), 1000);
    QVERIFY(form.tmr1->isActive());
    QCOMPARE(form.tickCount(), 0);
    QVERIFY(rig.ended->isEmpty());

    // ACT!'s closing notifications do not end the program now.
    rig.host.raiseEvent(10);
    rig.host.raiseEvent(22, {QVariant(1)});
    QVERIFY(rig.ended->isEmpty());

    form.tmr1_Timer();
    QCOMPARE(form.tickCount(), 1);
    QVERIFY(rig.ended->isEmpty());
    form.tmr1_Timer();
    QCOMPARE(rig.ended->size(), 1);
    QVERIFY(form.hasEnded());
    QVERIFY(!form.tmr1->isActive());
    form.tmr1_Timer(); // nothing runs after the end
    QCOMPARE(rig.ended->size(), 1);
    QVERIFY(rig.desktop.messages.isEmpty());
}

void TestForm1::restartEndsOnSecondRealTick()
{
    Rig rig;
    app::Form1 &form = rig.load();
    program::RestartAct = true;
    int cancel = 0;
    QElapsedTimer clock;
    clock.start();
    form.Form_Unload(cancel);
    QVERIFY(rig.ended->wait(5000));
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 1900 && elapsed < 4000, qPrintable(QString::number(elapsed)));
    QCOMPARE(rig.ended->size(), 1);
    QCOMPARE(form.tickCount(), 2);
}

void TestForm1::realUnloadNeverRestarts_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel clicked") << "click";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close box") << "close";
}

void TestForm1::realUnloadNeverRestarts()
{
    QFETCH(QString, how);
    Rig rig;
    rig.host.details = {{0, QStringLiteral("x [[/tmp/a]]")}};
    app::Form1 &form = rig.load();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    rig.host.calls.clear();
    if (how == u"click")
        QTest::mouseClick(form.cmdCancel, Qt::LeftButton);
    else if (how == u"escape")
        QTest::keyClick(form.optAction[0], Qt::Key_Escape);
    else
        form.close();

    QVERIFY(form.isUnloaded());
    QCOMPARE(rig.ended->size(), 1);
    QVERIFY(!form.isVisible());
    QVERIFY(rig.host.calls.isEmpty());
    QVERIFY(!form.hasAppObject());
    QVERIFY(rig.desktop.shellRequests.isEmpty());
    QVERIFY(rig.desktop.messages.isEmpty());
    QVERIFY(!form.tmr1->isActive());
}

// ----------------------------------------------------------------- layout

void TestForm1::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");

    QTest::newRow("fraAction") << "fraAction" << "Action:" << QRect(210, 225, 3600, 1755);
    QTest::newRow("optAction(0)") << "optAction0" << "&Open the attachment" << QRect(255, 375, 2055, 375);
    QTest::newRow("optAction(1)") << "optAction1" << "&Remove the attachment" << QRect(255, 750, 2055, 375);
    QTest::newRow("optAction(2)") << "optAction2" << "&Attach a new file" << QRect(255, 1125, 3195, 375);
    QTest::newRow("cmdOK") << "cmdOK" << "&OK" << QRect(4050, 360, 1000, 325);
    QTest::newRow("cmdCancel") << "cmdCancel" << "&Cancel" << QRect(4050, 795, 1000, 325);
    QTest::newRow("lblMore") << "lblMore" << "Find more free ACT! add-ons at " << QRect(1035, 2280, 2385, 285);
    QTest::newRow("lblLink") << "lblLink" << "www.veltrane.example" << QRect(3435, 2280, 1755, 255);
}

void TestForm1::layout()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);

    Rig rig;
    app::Form1 &form = rig.make();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto *widget = form.findChild<QWidget *>(name);
    QVERIFY(widget);
    const auto px = [](int t) { return qRound(t / 15.0); };
    QCOMPARE(widget->geometry(), QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        QCOMPARE(button->text(), caption);
    else if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), caption);
    else if (auto *frame = qobject_cast<QGroupBox *>(widget))
        QCOMPARE(frame->title(), caption);
    // The options sit inside the frame, everything else on the client area.
    QCOMPARE(widget->parentWidget(), name.startsWith(u"opt") ? static_cast<QWidget *>(form.fraAction) : form.client);
}

void TestForm1::windowFrameAndMenus()
{
    Rig rig;
    app::Form1 &form = rig.make();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QCOMPARE(form.client->size(), QSize(351, 168));
    QCOMPARE(form.client->geometry().top(), form.menuBar()->geometry().bottom() + 1);
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.windowTitle(), QStringLiteral("Pennaroc"));
    QVERIFY(!form.windowIcon().isNull());
    QVERIFY(!(form.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(form.windowFlags() & Qt::WindowCloseButtonHint);

    // Stored state: every option enabled and none selected; no tick.
    QCOMPARE(statesOf(form), QStringLiteral("EEE/---"));
    QVERIFY(!form.tmr1->isActive());
    QCOMPARE(form.tmr1->interval(), 0);

    QVERIFY(form.cmdOK->isDefault());
    QCOMPARE(form.lblLink->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(form.lblLink->font().underline());

    QStringList menus;
    for (QAction *menu : form.menuBar()->actions()) {
        menus << menu->text();
        for (QAction *item : menu->menu()->actions())
            menus << QStringLiteral("  ") + (item->isSeparator() ? QStringLiteral("-") : item->text());
    }
    QCOMPARE(menus, (QStringList{"Options", "  Default Attachment Location...", "  -", "  Integrate with ACT!...",
                                 "Help", "  About"}));
}

void TestForm1::menusOpenTheirDialogs()
{
    Rig rig;
    rig.host.toolbar.insert({qint16(3), QStringLiteral("Pennaroc")});
    app::Form1 &form = rig.load();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    // Each opening is a fresh modal dialog; closing it leaves the window as it is.
    QString location;
    QTimer::singleShot(100, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        location = modal ? modal->windowTitle() : QStringLiteral("none");
        if (modal)
            QTest::keyClick(modal, Qt::Key_Escape);
    });
    form.mnuLocation->trigger();
    QCOMPARE(location, QStringLiteral("Default Attachment Location"));

    // The integration dialog gets its fixed properties: English, the
    // application title, only the Contacts view enabled, the window's icon.
    QStringList integrate;
    QTimer::singleShot(100, [&] {
        auto *modal = qobject_cast<clsFrmIntegrate *>(QApplication::activeModalWidget());
        if (!modal)
            return;
        integrate << modal->windowTitle() << modal->AppName() << QString::number(modal->Language());
        for (int i = 0; i < 12; ++i)
            integrate << QString::number(modal->chkScreen(i)->isEnabled()) + QString::number(modal->chkScreenValue(i));
        integrate << QString::number(modal->IntegrateIcon().cacheKey() == form.windowIcon().cacheKey());
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    form.mnuIntegrate->trigger();
    QCOMPARE(integrate, (QStringList{"Integrate with ACT!", "Pennaroc", "0", "10", "00", "01", "00", "00", "00",
                                     "10", "00", "00", "00", "00", "00", "1"}));
    QCOMPARE(rig.host.countOf(QStringLiteral("CreateObject")), 2); // the application, then the commands
    QVERIFY(form.isVisible());
    QVERIFY(!form.isUnloaded());
    QVERIFY(rig.desktop.messages.isEmpty());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void TestForm1::aboutOpensModally_data()
{
    QTest::addColumn<int>("event");
    QTest::newRow("closed by the user") << 0;
    QTest::newRow("event 10 while open") << 10;
    QTest::newRow("event 22 while open") << 22;
}

void TestForm1::aboutOpensModally()
{
    QFETCH(int, event);
    Rig rig;
    app::Form1 &form = rig.load();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QString seen;
    QTimer::singleShot(100, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        seen = modal ? QString::fromLatin1(modal->metaObject()->className()) : QStringLiteral("none");
        if (event)
            rig.host.raiseEvent(qint16(event));
        if (modal)
            modal->close();
    });
    form.mnuAbout->trigger();
    QCOMPARE(seen, QStringLiteral("frmAbout"));
    QCOMPARE(form.isUnloaded(), event != 0);
    QCOMPARE(rig.ended->size(), event ? 1 : 0);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void TestForm1::tabOrder()
{
    Rig rig;
    app::Form1 &form = rig.make();
    const QList<QWidget *> expected{form.fraAction, form.optAction[0], form.optAction[1], form.optAction[2],
                                    form.cmdOK,     form.cmdCancel,    form.lblMore,      form.lblLink};
    for (qsizetype i = 0; i + 1 < expected.size(); ++i)
        QCOMPARE(expected[i]->nextInFocusChain(), expected[i + 1]);
    // Only the options, the buttons and the link take the focus; the link
    // by Tab alone, so that a click on it leaves the focus where it was.
    QCOMPARE(form.fraAction->focusPolicy(), Qt::NoFocus);
    QCOMPARE(form.lblMore->focusPolicy(), Qt::NoFocus);
    QCOMPARE(form.lblLink->focusPolicy(), Qt::TabFocus);

    // Pressed through, Tab stops at the selected option, OK, Cancel and the
    // link, and then comes round again.
    form.Form_Load();
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.optAction[2]->setFocus(Qt::TabFocusReason);
    QList<QWidget *> stops;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        stops << QApplication::focusWidget();
    }
    QCOMPARE(stops, (QList<QWidget *>{form.cmdOK, form.cmdCancel, form.lblLink, form.optAction[2]}));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), form.lblLink);
    QVERIFY(rig.desktop.shellRequests.isEmpty());
}

void TestForm1::linkKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("requests"); // to open the web site
    QTest::addColumn<bool>("unloaded");
    QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier) << 1 << false;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 1 << false;
    QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier) << 1 << false;
    QTest::newRow("Ctrl+Return") << int(Qt::Key_Return) << int(Qt::ControlModifier) << 0 << false;
    QTest::newRow("a letter") << int(Qt::Key_W) << int(Qt::NoModifier) << 0 << false;
    // Escape is still the window's: Cancel.
    QTest::newRow("Escape") << int(Qt::Key_Escape) << int(Qt::NoModifier) << 0 << true;
}

void TestForm1::linkKeys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, requests);
    QFETCH(bool, unloaded);
    Rig rig;
    rig.desktop.programFolder = QStringLiteral("/opt/pennaroc");
    app::Form1 &form = rig.load();
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QSignalSpy ok(form.cmdOK, &QPushButton::clicked);
    form.lblLink->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form.lblLink, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    // The same request as a click: the site, opened from the program's
    // folder; the link's keys are no press of the default button.
    QCOMPARE(rig.desktop.shellRequests.size(), requests);
    if (requests) {
        const QString mismatch = testsupport::linkRequestMismatch(rig.desktop.shellRequests[0],
                                                                  QStringLiteral("https://www.veltrane.example/"));
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }
    QCOMPARE(ok.size(), 0);
    QCOMPARE(form.isUnloaded(), unloaded);
    QVERIFY(rig.desktop.messages.isEmpty());
}

void TestForm1::linkTextFitsOnTheClientArea()
{
    Rig rig;
    app::Form1 &form = rig.make();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const platform::LinkLabel *link = form.lblLink;
    const QFontMetrics metrics = link->fontMetrics();
    // The whole line of text, descenders and underline included, inside
    // the label and inside the client area whose bottom edge cuts it.
    const QRect text = link->textRect();
    QVERIFY2(link->height() >= metrics.height(), qPrintable(QString::number(metrics.height())));
    QVERIFY(text.height() >= metrics.height());
    QVERIFY(metrics.horizontalAdvance(link->text()) <= link->width());
    QVERIFY(link->rect().contains(text));
    const QRect onClient = text.translated(link->pos());
    QVERIFY2(form.client->rect().contains(onClient),
             qPrintable(QStringLiteral("text %1,%2 %3x%4 on a client area of %5x%6")
                            .arg(onClient.x()).arg(onClient.y()).arg(onClient.width()).arg(onClient.height())
                            .arg(form.client->width()).arg(form.client->height())));
    // On the same line as the words before it: one baseline.
    const QLabel *more = form.lblMore;
    const QRect moreText =
        more->style()->itemTextRect(more->fontMetrics(), more->contentsRect(), more->alignment(), true, more->text());
    QCOMPARE(onClient.top() + metrics.ascent(), more->y() + moreText.top() + more->fontMetrics().ascent());
    QVERIFY(more->fontMetrics().horizontalAdvance(more->text()) <= more->width());
    QVERIFY(more->geometry().right() < link->geometry().left());
}

void TestForm1::linkOpensWebSite()
{
    Rig rig;
    rig.desktop.programFolder = QStringLiteral("/opt/pennaroc");
    app::Form1 &form = rig.load();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(form.lblLink, Qt::LeftButton);
    QCOMPARE(rig.desktop.shellRequests.size(), 1);
    const QString mismatch =
        testsupport::linkRequestMismatch(rig.desktop.shellRequests[0], QStringLiteral("https://www.veltrane.example/"));
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QVERIFY(!form.isUnloaded());
    // A click that ends outside the label is no click.
    QTest::mousePress(form.lblLink, Qt::LeftButton);
    QTest::mouseRelease(form.lblLink, Qt::LeftButton, {}, QPoint(-5, -5));
    QCOMPARE(rig.desktop.shellRequests.size(), 1);
}

void TestForm1::enterRunsOk()
{
    Rig rig;
    app::Form1 &form = rig.load();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QSignalSpy ok(form.cmdOK, &QPushButton::clicked);
    QSignalSpy cancel(form.cmdCancel, &QPushButton::clicked);
    form.optAction[2]->setFocus();
    QTest::keyClick(form.optAction[2], Qt::Key_Return);
    QTest::keyClick(form.optAction[2], Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(ok.size(), 2);
    // A focused Cancel takes Enter itself.
    QTest::keyClick(form.cmdCancel, Qt::Key_Return);
    QCOMPARE(ok.size(), 2);
    QCOMPARE(cancel.size(), 1);
    QVERIFY(form.isUnloaded());
}

// ------------------------------------------------ ending during a modal

void TestForm1::notificationDuringMessageBox_data()
{
    QTest::addColumn<int>("event");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<int>("row");

    QTest::newRow("10 during the no-record message") << 10 << "" << -1;
    QTest::newRow("22 during the no-record message") << 22 << "" << -1;
    QTest::newRow("10 during an error report") << 10 << "SalesList.GetField" << 0;
    QTest::newRow("22 during an error report") << 22 << "ActApp.Views" << 0;
}

void TestForm1::notificationDuringMessageBox()
{
    QFETCH(int, event);
    QFETCH(QString, failing);
    QFETCH(int, row);

    Rig rig;
    rig.host.currentRow = row;
    if (!failing.isEmpty())
        rig.host.failCall(failing);
    rig.desktop.whileMsgBoxOpen = [&](const ScriptedPlatform::Message &) { rig.host.raiseEvent(qint16(event)); };
    app::Form1 &form = rig.load();

    QCOMPARE(rig.desktop.messages.size(), 1);
    QVERIFY(form.isUnloaded());
    QCOMPARE(rig.ended->size(), 1);
    QVERIFY(rig.desktop.foregroundWindows.isEmpty());
    QCOMPARE(rig.host.countOf(QStringLiteral("ActEvent1.Id2")), 1);
    if (!failing.isEmpty())
        QCOMPARE(rig.host.callNames().constLast(), QStringLiteral("ActEvent1.Id2"));
}

void TestForm1::notificationDuringHostCallStopsStartup()
{
    Rig rig;
    rig.host.duringCall = [&](const QString &member) {
        if (member == u"SalesList.GetCurrentRow")
            rig.host.raiseEvent(10);
    };
    app::Form1 &form = rig.load();
    QVERIFY(form.isUnloaded());
    QCOMPARE(rig.ended->size(), 1);
    // Nothing more is asked of ACT! and nothing is shown.
    QCOMPARE(rig.host.countOf(QStringLiteral("SalesList.GetField")), 0);
    QVERIFY(rig.desktop.messages.isEmpty());
    QVERIFY(rig.desktop.foregroundWindows.isEmpty());
}

// Scenarios run in a child copy of this test program, so that the real
// event loop can end with the program's own exit status.
void TestForm1::notificationInRealModalWindows_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("expected");
    QTest::newRow("message box of the start-up") << "modal-msgbox" << "modal:QMessageBox";
    QTest::newRow("dialog opened from the window") << "modal-dialog" << "modal:QDialog";
}

void TestForm1::notificationInRealModalWindows()
{
    QFETCH(QString, scenario);
    QFETCH(QString, expected);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PENNAROC_TEST_CHILD"), scenario);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(20000));
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    QVERIFY2(child.exitStatus() == QProcess::NormalExit, qPrintable(child.readAllStandardError()));
    QCOMPARE(child.exitCode(), 0);
    QVERIFY2(out.contains(expected), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("ended")), qPrintable(out));
}

void TestForm1::killedCopyLeavesNoLock()
{
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", saved); });

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PENNAROC_TEST_CHILD"), QStringLiteral("hold-lock"));
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(first.waitForReadyRead(10000));
    QCOMPARE(first.readLine().trimmed(), QByteArray("held"));

    {
        platform::QtPlatformServices second;
        QVERIFY(second.AnotherInstanceRunning());
    }
    QCOMPARE(first.state(), QProcess::Running); // the first copy is untouched

    first.kill();
    QVERIFY(first.waitForFinished(10000));
    platform::QtPlatformServices next;
    QVERIFY(!next.AnotherInstanceRunning());
}

// ------------------------------------------------------- child scenarios

namespace {

// The real desktop, except that no other copy is ever running.
class ChildDesktop : public platform::QtPlatformServices {
public:
    bool AnotherInstanceRunning() override { return false; }
};

int runChild(const QString &scenario, int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (scenario == u"hold-lock") {
        platform::QtPlatformServices desktop;
        std::printf("%s\n", desktop.AnotherInstanceRunning() ? "busy" : "held");
        std::fflush(stdout);
        QThread::sleep(60);
        return 0;
    }

    FakeHost host;
    ChildDesktop desktop;
    if (scenario == u"modal-msgbox")
        host.currentRow = -1;
    auto *form = new app::Form1(host, desktop);
    QPointer<app::Form1> guard(form);
    QObject::connect(form, &app::Form1::programEnded, [] {
        std::printf("ended\n");
        std::fflush(stdout);
    });

    // Raises the notification once a modal window is really open.
    QTimer probe;
    probe.setInterval(50);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        probe.stop();
        std::printf("modal:%s\n", modal->metaObject()->className());
        std::fflush(stdout);
        host.raiseEvent(scenario == u"modal-msgbox" ? 10 : 22, {QVariant(0)});
    });
    probe.start();

    if (scenario == u"modal-dialog") {
        QTimer::singleShot(0, form, [form] {
            QDialog dialog(form);
            dialog.setModal(true);
            dialog.exec();
            // The window outlives its dialogs: it is not touched after here
            // unless it is still there.
            std::printf("dialog closed, window %s\n", form->isUnloaded() ? "unloaded" : "open");
        });
    }
    // Gives up rather than hang when nothing happens.
    QTimer::singleShot(15000, [] { QCoreApplication::exit(3); });

    const int status = form->runProgram();
    delete guard.data();
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    const QString scenario = qEnvironmentVariable("PENNAROC_TEST_CHILD");
    if (!scenario.isEmpty())
        return runChild(scenario, argc, argv);
    QApplication application(argc, argv);
    TestForm1 test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_Form1.moc"
