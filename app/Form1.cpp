#include "app/Form1.h"

#include "app/AttachmentMarker.h"
#include "app/Module1.h"
#include "resources/ProductInfo.h"
#include "platform/ProgramState.h"
#include "resources/ProgramIcon.h"
#include "platform/LinkLabel.h"
#include "platform/WindowFont.h"

#include "about/frmAbout.h"
#include "integrate/clsFrmIntegrate.h"
#include "settings/frmLocation.h"
#include "settings/SettingsStore.h"
#include "settings/modFolderFileExists.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

namespace app {
namespace {

// Thrown inside the start-up sequence when the window unloaded under it
// (a notification that arrived during a host call or a message box): the
// sequence stops instead of working on a window that is gone.
struct WindowUnloaded {};

// Client area of the window, in twips.
constexpr int ClientWidthTwips = 5265;
constexpr int ClientHeightTwips = 2520;

} // namespace

QString Form1::errorTitle()
{
    return product::applicationTitle() + QStringLiteral(" error");
}

Form1::Form1(host::HostFactory &host, platform::PlatformServices &desktop, QWidget *parent)
    : QMainWindow(parent), host_(host), desktop_(desktop), ActEvent1(host.eventControl())
{
    buildWindow();
    ActEvent1.setHandler([this](qint16 eventId, const QVariantList &) { onHostEvent(eventId); });
}

Form1::~Form1()
{
    // The event control outlives the window; it must not call into it.
    ActEvent1.setHandler(nullptr);
}

void Form1::buildWindow()
{
    setWindowTitle(product::applicationTitle());
    setFont(platform::windowFont());
    setWindowIcon(resources::programIcon());
    // A fixed frame with a close box and no minimise or maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);

    mnuOptions = menuBar()->addMenu(QStringLiteral("Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    mnuLocation = mnuOptions->addAction(QStringLiteral("Default Attachment Location..."));
    mnuLocation->setObjectName(QStringLiteral("mnuLocation"));
    mnuSep = mnuOptions->addSeparator();
    mnuSep->setObjectName(QStringLiteral("mnuSep"));
    mnuIntegrate = mnuOptions->addAction(QStringLiteral("Integrate with ACT!..."));
    mnuIntegrate->setObjectName(QStringLiteral("mnuIntegrate"));
    mnuHelp = menuBar()->addMenu(QStringLiteral("Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuAbout = mnuHelp->addAction(QStringLiteral("About"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    connect(mnuLocation, &QAction::triggered, this, [this] { mnuLocation_Click(); });
    connect(mnuIntegrate, &QAction::triggered, this, [this] { mnuIntegrate_Click(); });
    connect(mnuAbout, &QAction::triggered, this, [this] { mnuAbout_Click(); });

    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twipsRect(0, 0, ClientWidthTwips, ClientHeightTwips).size());
    setCentralWidget(client);

    fraAction = new QGroupBox(QStringLiteral("Action:"), client);
    fraAction->setObjectName(QStringLiteral("fraAction"));
    fraAction->setGeometry(twipsRect(210, 225, 3600, 1755));

    const char *const captions[] = {"&Open the attachment", "&Remove the attachment", "&Attach a new file"};
    const QRect places[] = {twipsRect(255, 375, 2055, 375), twipsRect(255, 750, 2055, 375),
                            twipsRect(255, 1125, 3195, 375)};
    for (int i = 0; i < 3; ++i) {
        optAction[i] = new QRadioButton(QString::fromLatin1(captions[i]), fraAction);
        optAction[i]->setObjectName(QStringLiteral("optAction%1").arg(i));
        optAction[i]->setGeometry(places[i]);
    }

    cmdOK = new QPushButton(QStringLiteral("&OK"), client);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(4050, 360, 1000, 325));
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });

    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), client);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(twipsRect(4050, 795, 1000, 325));
    cmdCancel->setAutoDefault(true);
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });

    // The two labels stand on the client area's bottom edge, which cuts
    // their last pixel row: their texts are drawn from the top, so that
    // they share one line and the link's descenders stay in sight.
    lblMore = new QLabel(QStringLiteral("Find more free ACT! add-ons at "), client);
    lblMore->setObjectName(QStringLiteral("lblMore"));
    lblMore->setGeometry(twipsRect(1035, 2280, 2385, 285));
    lblMore->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // The link is reached by Tab after Cancel; Enter, Space or a click
    // opens the site.
    lblLink = new platform::LinkLabel(product::webSiteHost(), client);
    lblLink->setObjectName(QStringLiteral("lblLink"));
    lblLink->setGeometry(twipsRect(3435, 2280, 1755, 255));
    lblLink->setFont(platform::windowFont(8.25, false, true));
    lblLink->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    connect(lblLink, &platform::LinkLabel::activated, this, [this] { lblLink_Click(); });

    // Tab order as laid out: the frame, its three options, OK, Cancel, the
    // two labels (of which only the link takes the focus).
    QWidget *const order[] = {fraAction, optAction[0], optAction[1], optAction[2], cmdOK, cmdCancel, lblMore, lblLink};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    tmr1 = new QTimer(this);
    tmr1->setObjectName(QStringLiteral("tmr1"));
    tmr1->setInterval(0);
    connect(tmr1, &QTimer::timeout, this, [this] { tmr1_Timer(); });

    // The client area is exactly the laid-out size; the frame does not
    // resize.
    setFixedSize(client->width(), client->height() + menuBar()->sizeHint().height());
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

platform::ErrorTrap Form1::makeTrap(const QString &label)
{
    return platform::ErrorTrap(desktop_, label, [] { return errorTitle(); }, [] { return product::supportContactLine(); });
}

template <class Body>
void Form1::runTrapped(platform::ErrorTrap &trap, Body &&body)
{
    try {
        body();
    } catch (const WindowUnloaded &) {
        // The window went away under the procedure: nothing left to do.
    } catch (const host::Failure &failure) {
        if (!unloaded_)
            trap.report(failure);
    }
}

void Form1::Form_Load()
{
    platform::ErrorTrap trap = makeTrap(formLoadLabel());
    const auto at = [&](qint32 line) {
        if (unloaded_)
            throw WindowUnloaded{};
        trap.at(line);
    };
    at(10880);
    runTrapped(trap, [&] {
        at(10900);
        if (desktop_.AnotherInstanceRunning()) {
            at(10920);
            desktop_.MsgBox(QStringLiteral("Another instance of ") + product::applicationTitle()
                                + QStringLiteral(" is already open. This instance will now close."),
                            platform::vbOKOnly, product::applicationTitle());
            at(10940);
            unloadWindow();
            return;
        }

        at(11000);
        LinkResult = host::toInt32(ActEvent1.Id1(0));
        at(11020);
        if (LinkResult < 1) {
            at(11040);
            if (ActEvent1.Id3()) {
                at(11140);
                desktop_.MsgBox(QStringLiteral("Problem communicating with ACT!. Please run actreg.exe in ACT "
                                               "folder and try again."),
                                platform::vbOKOnly, product::applicationTitle());
                at(11160);
                unloadWindow();
                return;
            }
            at(11060);
            desktop_.MsgBox(QStringLiteral("Please open a database before running ") + product::applicationTitle(),
                            platform::vbOKOnly, product::applicationTitle() + QStringLiteral(". More at ") + product::webSiteHost());
            at(11080);
            unloadWindow();
            return;
        }

        at(11240);
        ActApp = host_.createAppObject();
        at(11260);
        ActApp->OpenFile(QString());
        at(11280);
        ActViews = ActApp->Views();
        at(11300);
        ContactView = ActViews->Create(1, QStringLiteral("CV"));
        at(11320);
        SalesList = ContactView->Sales();
        at(11340);
        CurrentRow = host::toInt32(SalesList->GetCurrentRow());

        at(11360);
        if (CurrentRow == -1) {
            at(11660);
            desktop_.MsgBox(QStringLiteral("You need to select a Sale/Opportunity record before running ")
                                + product::applicationTitle() + QStringLiteral("!"),
                            platform::vbExclamation, product::applicationTitle());
            at(11680);
            unloadWindow();
            return;
        }

        at(11380);
        DetailsText = SalesList->GetField(host::DetailsField, CurrentRow);
        at(11400);
        if (trimSpaces(DetailsText).isEmpty()) {
            at(11600);
            EnableActions(false, false);
        } else {
            at(11420);
            const AttachmentMarker marker = ReadAttachment(DetailsText);
            MarkerStart = marker.MarkerStart;
            at(11440);
            MarkerEnd = marker.MarkerEnd;
            at(11460);
            if (marker.hasAttachment) {
                at(11480);
                AttachmentPath = marker.path;
                at(11500);
                EnableActions(true, true);
            } else {
                at(11540);
                EnableActions(false, false);
            }
        }

        at(11720);
        Module1::BringToFront(desktop_, this);
    });
}

void Form1::EnableActions(bool openEnabled, bool removeEnabled)
{
    optAction[0]->setEnabled(openEnabled);
    optAction[1]->setEnabled(removeEnabled);
    selectOption(0, optAction[0]->isEnabled());
    if (!optAction[0]->isChecked())
        selectOption(1, optAction[1]->isEnabled());
    if (!optAction[0]->isChecked() && !optAction[1]->isChecked())
        selectOption(2, true);
}

void Form1::selectOption(int index, bool selected)
{
    QRadioButton *option = optAction[index];
    if (option->isChecked() == selected)
        return;
    // An exclusive option cannot be cleared directly; clearing one leaves
    // the group with no selection, as in the stored layout.
    option->setAutoExclusive(false);
    option->setChecked(selected);
    option->setAutoExclusive(true);
    if (selected) {
        for (QRadioButton *other : optAction) {
            if (other != option && other->isChecked()) {
                other->setAutoExclusive(false);
                other->setChecked(false);
                other->setAutoExclusive(true);
            }
        }
    }
}

void Form1::Form_Unload(int &Cancel)
{
    Q_UNUSED(Cancel); // the unload is never cancelled
    platform::ErrorTrap trap = makeTrap(formUnloadLabel());
    trap.at(11960);
    // A failure is reported even while the window unloads: the report is
    // this procedure's own, and the closing goes on after it.
    try {
        QString databasePath;
        trap.at(11980);
        if (program::RestartAct) {
            trap.at(12000);
            databasePath = ActApp->GetOpenDBName();
            trap.at(12020);
            ActApp->Command(host::CloseCommand);
        }
        trap.at(12060);
        ActApp.release();
        trap.at(12080);
        if (program::RestartAct) {
            trap.at(12100);
            Module1::ShellOpen(desktop_, this, QStringLiteral("open"), databasePath);
            trap.at(12120);
            hide();
            trap.at(12140);
            TickCount = 0;
            trap.at(12160);
            setTimerInterval(1000);
        }
    } catch (const host::Failure &failure) {
        trap.report(failure);
    }
}

void Form1::tmr1_Timer()
{
    if (ended_)
        return;
    platform::ErrorTrap trap = makeTrap(timerLabel());
    trap.at(13240);
    runTrapped(trap, [&] {
        trap.at(13260);
        TickCount = host::toInt16(qint64(TickCount) + 1);
        trap.at(13280);
        if (TickCount == 2) {
            // The program ends at once: no further tick or event runs.
            ended_ = true;
            tmr1->stop();
            Q_EMIT programEnded();
        }
    });
}

void Form1::setTimerInterval(int milliseconds)
{
    tmr1->setInterval(milliseconds);
    if (milliseconds > 0)
        tmr1->start();
    else
        tmr1->stop();
}

void Form1::cmdOK_Click()
{
    if (unloaded_ || ended_)
        return;
    // Open and the replace question call nothing that can fail. A host
    // failure in Remove, or any failure of Attach from the Open File
    // dialog's preparation on, is reported and leaves the window open. A
    // reference that start-up never obtained raises failure 91 here, which is
    // reported the same way. Cancelling the Open File dialog ends the click
    // without a word.
    platform::ErrorTrap trap = makeTrap(okLabel());
    // Every host call and modal box may deliver a notification that unloads
    // the window; the click then stops at its next statement.
    const auto at = [&](qint32 line) {
        if (unloaded_)
            throw WindowUnloaded{};
        trap.at(line);
    };
    runTrapped(trap, [&] {
        at(10040);
        if (optAction[0]->isChecked()) {
            at(10060);
            AttachmentPath = trimSpaces(AttachmentPath);
            at(10080);
            if (FolderFileExists(AttachmentPath)) {
                at(10100);
                // An empty parameter string, not a missing one.
                desktop_.ShellExecute(this, QStringLiteral("Open"), AttachmentPath, QLatin1String(""),
                                      desktop_.ProgramFolder(), platform::SW_SHOW);
                at(10120);
                unloadWindow();
            } else {
                at(10180);
                desktop_.MsgBox(QStringLiteral("The path to the attachment is invalid or the file is not accessible."),
                                platform::vbOKOnly, product::applicationTitle());
            }
            return;
        }

        at(10260);
        if (optAction[1]->isChecked()) {
            at(10280);
            QString text = strippedDetails(rereadDetails());
            at(10280);
            const qint32 result = SetDetails(CurrentRow, text);
            if (result != 0) {
                at(10300);
                desktop_.MsgBox(QStringLiteral("Unable to modify the Details field."), platform::vbOKOnly,
                                QStringLiteral("Operation aborted"));
            } else {
                at(10340);
                unloadWindow();
                return;
            }
        }

        at(10420);
        if (optAction[2]->isChecked()) {
            at(10440);
            // Whether a file is attached is decided from the field as it is
            // now: another writer may have attached one since start-up.
            const AttachmentMarker attached = ReadAttachment(rereadDetails());
            std::optional<QString> agreedToReplace;
            if (attached.hasAttachment) {
                at(10460);
                at(10480);
                if (!userAgreesToReplace())
                    return;
                at(10500);
                agreedToReplace = attached.path;
            }
            at(10540);
            platform::OpenFileRequest dlgOpen;
            dlgOpen.owner = this;
            // From here on the Open File dialog's cancel ends the click
            // silently; every other failure is reported.
            at(10560);
            at(10580);
            at(10600);
            dlgOpen.filter = QStringLiteral("All files (*.*)|*.*");
            at(10620);
            const QString folder = settings::SettingsStore::read(product::applicationTitle(), QStringLiteral("Settings"),
                                                                 QStringLiteral("DefaultFolder"), QString());
            at(10640);
            if (!folder.isEmpty()) {
                at(10660);
                if (FolderFileExists(folder)) {
                    at(10680);
                    dlgOpen.initialDir = folder;
                }
            }
            at(10740);
            const std::optional<QString> chosen = desktop_.OpenFile(dlgOpen);
            if (!chosen)
                return;
            at(10760);
            // A path the marker cannot hold would be stored unreadable:
            // refuse it before anything is written, and keep the window.
            if (!PathFitsMarker(*chosen)) {
                desktop_.MsgBox(QStringLiteral("The file cannot be attached, because its path contains \"[[\" or "
                                               "\"]]\" or ends with \"]\":")
                                    + QChar(u'\r') + QChar(u'\r') + *chosen + QChar(u'\r') + QChar(u'\r')
                                    + QStringLiteral("The Details field marks the attachment with these characters, "
                                                     "so this path could not be read back. Rename the file or its "
                                                     "folder, then attach it again."),
                                platform::vbExclamation, product::applicationTitle());
                return;
            }
            const QString attachedBefore = AttachmentPath;
            AttachmentPath = *chosen;
            at(10800);
            if (!WriteAttachment(AttachmentPath, agreedToReplace)) {
                // Nothing was written: Open still means the file attached before.
                AttachmentPath = attachedBefore;
                return;
            }
            at(10820);
            unloadWindow();
        }
    });
}

QString Form1::rereadDetails()
{
    const QString current = SalesList->GetField(host::DetailsField, CurrentRow);
    if (unloaded_)
        throw WindowUnloaded{};
    return current;
}

QString Form1::strippedDetails(const QString &current) const
{
    if (current == DetailsText)
        return StripAttachment(DetailsText, MarkerStart, MarkerEnd);
    const AttachmentMarker marker = ReadAttachment(current);
    return StripAttachment(current, marker.MarkerStart, marker.MarkerEnd);
}

bool Form1::userAgreesToReplace()
{
    const QString question =
        QStringLiteral("There is already a file attached to this sale/opportunity. Attaching a new one will remove "
                       "the current attachment.")
        + QChar(u'\r') + QStringLiteral("Are you sure you want to continue?");
    const int answer = desktop_.MsgBox(question, platform::vbYesNo | platform::vbExclamation | platform::vbDefaultButton2,
                                       product::applicationTitle());
    if (unloaded_)
        throw WindowUnloaded{};
    return answer == platform::vbYes;
}

bool Form1::WriteAttachment(const QString &path, const std::optional<QString> &agreedToReplace)
{
    const QString current = rereadDetails();
    // A file attached by another writer while the Open File dialog was open
    // is not replaced without asking.
    const AttachmentMarker attached = ReadAttachment(current);
    if (attached.hasAttachment && agreedToReplace != attached.path && !userAgreesToReplace())
        return false;
    QString text = ComposeAttachment(strippedDetails(current), path);
    const qint32 result = SetDetails(CurrentRow, text);
    if (unloaded_)
        throw WindowUnloaded{};
    if (result != 0)
        desktop_.MsgBox(QStringLiteral("Unable to modify the Details field."), platform::vbOKOnly,
                        QStringLiteral("Operation aborted"));
    return true;
}

qint32 Form1::SetDetails(qint32 &row, QString &text)
{
    return host::toInt32(SalesList->SetField(host::DetailsField, row, text));
}

void Form1::cmdCancel_Click()
{
    unloadWindow();
}

void Form1::lblLink_Click()
{
    Module1::ShellOpen(desktop_, this, QStringLiteral("open"), product::webSiteUrl());
}

void Form1::mnuLocation_Click()
{
    // A fresh dialog at each opening; nothing is read back from it: the
    // folder reaches the Attach action through the settings store.
    frmLocation location(desktop_, this);
    location.exec();
}

void Form1::mnuIntegrate_Click()
{
    // The dialog restarts ACT! through this window's unload routine, called
    // as a plain procedure.
    clsFrmIntegrate integrate(host_, desktop_, [this] {
        int Cancel = 0;
        Form_Unload(Cancel);
    }, this);
    integrate.setLanguage(0);
    integrate.setAppName(product::applicationTitle());
    integrate.setContactScreen(true);
    integrate.setContactListScreen(false);
    integrate.setGroupScreen(false);
    integrate.setTaskListScreen(false);
    integrate.setCalendarsScreen(false);
    integrate.setEmailScreen(false);
    integrate.setIntegrateIcon(windowIcon());
    integrate.exec();
}

void Form1::mnuAbout_Click()
{
    // A fresh box at each opening. A notification may end the program while
    // it is open: its event loop then returns, and the box goes with this
    // scope while the window, which outlives the event loop, is still there.
    frmAbout about(desktop_, this);
    about.exec();
}

void Form1::onHostEvent(qint16 eventId)
{
    if (unloaded_ || ended_)
        return;
    if (eventId == host::ActEvent::DatabaseClosed)
        ActEvent1_Event10();
    else if (eventId == host::ActEvent::CurrentSalesRowChanged)
        ActEvent1_Event22();
}

// Both notifications skip a failing statement and go on with the next.
void Form1::ActEvent1_Event10()
{
    try {
        ActEvent1.Id2();
    } catch (const host::Failure &) {
    }
    if (!program::RestartAct)
        unloadWindow();
}

void Form1::ActEvent1_Event22()
{
    try {
        ActEvent1.Id2();
    } catch (const host::Failure &) {
    }
    if (!program::RestartAct)
        unloadWindow();
}

void Form1::unloadWindow()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    int cancel = 0;
    Form_Unload(cancel);
    // The window is gone with everything on it, its timer included.
    tmr1->stop();
    hide();
    Q_EMIT programEnded();
}

int Form1::runProgram()
{
    connect(this, &Form1::programEnded, qApp, [] { QCoreApplication::exit(0); });
    Form_Load();
    if (unloaded_ || ended_)
        return 0;
    show();
    activateWindow();
    return QApplication::exec();
}

void Form1::closeEvent(QCloseEvent *event)
{
    unloadWindow();
    event->accept();
}

void Form1::keyPressEvent(QKeyEvent *event)
{
    // OK is the default button and Cancel the cancel button. A focused push
    // button takes Enter itself.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
            if (cmdOK->isEnabled())
                cmdOK->click();
            return;
        }
        break;
    case Qt::Key_Escape:
        if (event->modifiers() == Qt::NoModifier) {
            if (cmdCancel->isEnabled())
                cmdCancel->click();
            return;
        }
        break;
    default:
        break;
    }
    QMainWindow::keyPressEvent(event);
}

} // namespace app
