#include "app/Form1.h"

#include "app/AttachmentMarker.h"
#include "app/Module1.h"
#include "platform/ProgramState.h"
#include "resources/ProductInfo.h"

#include "about/frmAbout.h"
#include "integrate/clsFrmIntegrate.h"
#include "settings/frmLocation.h"
#include "settings/modFolderFileExists.h"

namespace app {
namespace {

using namespace forms;

constexpr ControlSpec Controls[] = {
    {Kind::Menu, "mnuOptions", -1, "mnuOptions", {}, u"Options", {}, -1},
    {Kind::MenuItem, "mnuLocation", -1, "mnuLocation", "mnuOptions", u"Default Attachment Location...", {}, -1},
    {Kind::Separator, "mnuSep", -1, "mnuSep", "mnuOptions", u"", {}, -1},
    {Kind::MenuItem, "mnuIntegrate", -1, "mnuIntegrate", "mnuOptions", u"Integrate with ACT!...", {}, -1},
    {Kind::Menu, "mnuHelp", -1, "mnuHelp", {}, u"Help", {}, -1},
    {Kind::MenuItem, "mnuAbout", -1, "mnuAbout", "mnuHelp", u"About", {}, -1},

    // Tab order as laid out: the frame, its three options, OK, Cancel, the
    // two labels (of which only the link takes the focus).
    {Kind::Frame, "fraAction", -1, "fraAction", {}, u"Action:", {210, 225, 3600, 1755}, 0},
    {Kind::Option, "optAction", 0, "optAction0", "fraAction", u"&Open the attachment", {255, 375, 2055, 375}, 1, Group},
    {Kind::Option, "optAction", 1, "optAction1", "fraAction", u"&Remove the attachment", {255, 750, 2055, 375}, 2},
    {Kind::Option, "optAction", 2, "optAction2", "fraAction", u"&Attach a new file", {255, 1125, 3195, 375}, 3},
    {Kind::Button, "cmdOK", -1, "cmdOK", {}, u"&OK", {4050, 360, 1000, 325}, 4, Default | Group},
    {Kind::Button, "cmdCancel", -1, "cmdCancel", {}, u"&Cancel", {4050, 795, 1000, 325}, 5, Cancel},
    // The two labels stand on the client area's bottom edge, which cuts
    // their last pixel row: their texts are drawn from the top, so that
    // they share one line and the link's descenders stay in sight. The link
    // is reached by Tab after Cancel; Enter, Space or a click opens the
    // site.
    {Kind::Label, "lblMore", -1, "lblMore", {}, u"Find more free ACT! add-ons at ", {1035, 2280, 2385, 285}, 6,
     AlignTop},
    {Kind::Link, "lblLink", -1, "lblLink", {}, u"", {3435, 2280, 1755, 255}, 7, AlignTop, {8.25, false, true}},
    {Kind::Timer, "tmr1", -1, "tmr1", {}, u"", {}, -1},
};

// A fixed frame with a close box and no minimise or maximise button, the
// client area exactly the laid-out size, centred on the screen.
constexpr FormSpec Layout{"", u"", 5265, 2520, MainWindow | CentreOnScreen, {}, {}, Icon::Program, Controls};

} // namespace

const forms::FormSpec &Form1::layout()
{
    return Layout;
}

std::u16string Form1::errorTitle()
{
    return product::applicationTitle() + u" error";
}

Form1::Form1(forms::Face &face, host::HostFactory &host, platform::PlatformServices &desktop,
             settings::SettingsStore &store)
    : face_(face), host_(host), desktop_(desktop), store_(store), form_(Layout, face),
      ActEvent1(host.eventControl())
{
    form_.setCaption(product::applicationTitle());
    control("lblLink").setCaption(product::webSiteHost());
    control("cmdOK").Click = [this] { cmdOK_Click(); };
    control("cmdCancel").Click = [this] { cmdCancel_Click(); };
    control("lblLink").Click = [this] { lblLink_Click(); };
    control("mnuLocation").Click = [this] { mnuLocation_Click(); };
    control("mnuIntegrate").Click = [this] { mnuIntegrate_Click(); };
    control("mnuAbout").Click = [this] { mnuAbout_Click(); };
    control("tmr1").Timer = [this] { tmr1_Timer(); };
    form_.Load = [this] { Form_Load(); };
    form_.Unload = [this] {
        int Cancel = 0;
        Form_Unload(Cancel);
    };
    // The close box ends the program as Cancel does.
    form_.CloseBox = [this] { unloadWindow(); };
    ActEvent1.setHandler([this](std::int16_t eventId, const std::vector<host::EventArgument> &) { onHostEvent(eventId); });
}

Form1::~Form1()
{
    // The event control outlives the window; it must not call into it.
    ActEvent1.setHandler(nullptr);
}

platform::ErrorTrap Form1::makeTrap(const std::u16string &label)
{
    return platform::ErrorTrap(
        desktop_, label, [] { return errorTitle(); }, [] { return product::supportContactLine(); },
        form_.unloadedTest());
}

void Form1::stopIfUnloaded() const
{
    if (form_.isUnloaded())
        throw platform::WindowUnloaded{};
}

void Form1::Form_Load()
{
    // Every host call and modal box may deliver a notification that unloads
    // the window; the sequence then stops at its next statement.
    platform::ErrorTrap trap = makeTrap(formLoadLabel());
    trap.run([&] {
        trap.at(10880);
        trap.at(10900);
        if (desktop_.AnotherInstanceRunning()) {
            trap.at(10920);
            desktop_.MsgBox(u"Another instance of " + product::applicationTitle()
                                + u" is already open. This instance will now close.",
                            platform::vbOKOnly, product::applicationTitle());
            trap.at(10940);
            unloadWindow();
            return;
        }

        trap.at(11000);
        LinkResult = host::toInt32(ActEvent1.Id1(0));
        trap.at(11020);
        if (LinkResult < 1) {
            trap.at(11040);
            if (ActEvent1.Id3()) {
                trap.at(11140);
                desktop_.MsgBox(u"Problem communicating with ACT!. Please run actreg.exe in ACT folder and try again.",
                                platform::vbOKOnly, product::applicationTitle());
                trap.at(11160);
                unloadWindow();
                return;
            }
            trap.at(11060);
            desktop_.MsgBox(u"Please open a database before running " + product::applicationTitle(),
                            platform::vbOKOnly, product::applicationTitle() + u". More at " + product::webSiteHost());
            trap.at(11080);
            unloadWindow();
            return;
        }

        trap.at(11240);
        ActApp = host_.createAppObject();
        trap.at(11260);
        ActApp->OpenFile(std::u16string());
        trap.at(11280);
        ActViews = ActApp->Views();
        trap.at(11300);
        ContactView = ActViews->Create(1, u"CV");
        trap.at(11320);
        SalesList = ContactView->Sales();
        trap.at(11340);
        CurrentRow = host::toInt32(SalesList->GetCurrentRow());

        trap.at(11360);
        if (CurrentRow == -1) {
            trap.at(11660);
            desktop_.MsgBox(u"You need to select a Sale/Opportunity record before running "
                                + product::applicationTitle() + u"!",
                            platform::vbExclamation, product::applicationTitle());
            trap.at(11680);
            unloadWindow();
            return;
        }

        trap.at(11380);
        DetailsText = SalesList->GetField(host::DetailsField, CurrentRow);
        trap.at(11400);
        if (trimSpaces(DetailsText).empty()) {
            trap.at(11600);
            EnableActions(false, false);
        } else {
            trap.at(11420);
            const AttachmentMarker marker = ReadAttachment(DetailsText);
            MarkerStart = marker.MarkerStart;
            trap.at(11440);
            MarkerEnd = marker.MarkerEnd;
            trap.at(11460);
            if (marker.hasAttachment) {
                trap.at(11480);
                AttachmentPath = marker.path;
                trap.at(11500);
                EnableActions(true, true);
            } else {
                trap.at(11540);
                EnableActions(false, false);
            }
        }

        trap.at(11720);
        Module1::BringToFront(desktop_, form_.handle());
    });
}

void Form1::EnableActions(bool openEnabled, bool removeEnabled)
{
    // Selecting an option clears the others; clearing one may leave the
    // group with no selection.
    optAction(0).setEnabled(openEnabled);
    optAction(1).setEnabled(removeEnabled);
    optAction(0).setValue(optAction(0).Enabled() ? 1 : 0);
    if (optAction(0).Value() == 0)
        optAction(1).setValue(optAction(1).Enabled() ? 1 : 0);
    if (optAction(0).Value() == 0 && optAction(1).Value() == 0)
        optAction(2).setValue(1);
}

void Form1::Form_Unload(int &Cancel)
{
    (void)Cancel; // the unload is never cancelled
    platform::ErrorTrap trap(desktop_, formUnloadLabel(), [] { return errorTitle(); },
                             [] { return product::supportContactLine(); });
    trap.at(11960);
    // A failure is reported even while the window unloads: the report is
    // this procedure's own, and the closing goes on after it.
    try {
        std::u16string databasePath;
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
            Module1::ShellOpen(desktop_, form_.handle(), u"open", databasePath);
            trap.at(12120);
            form_.hide();
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
    trap.run([&] {
        trap.at(13240);
        trap.at(13260);
        TickCount = host::toInt16(std::int64_t(TickCount) + 1);
        trap.at(13280);
        if (TickCount == 2) {
            // The program ends at once: no further tick or event runs.
            ended_ = true;
            setTimerInterval(0);
            face_.quit(0);
        }
    });
}

void Form1::setTimerInterval(int milliseconds)
{
    control("tmr1").setInterval(milliseconds);
}

void Form1::cmdOK_Click()
{
    if (form_.isUnloaded() || ended_)
        return;
    // Open and the replace question call nothing that can fail. A host
    // failure in Remove, or any failure of Attach from the Open File
    // dialog's preparation on, is reported and leaves the window open. A
    // reference that start-up never obtained raises failure 91 here, which is
    // reported the same way. Cancelling the Open File dialog ends the click
    // without a word. Every host call and modal box may deliver a
    // notification that unloads the window; the click then stops at its next
    // statement.
    platform::ErrorTrap trap = makeTrap(okLabel());
    trap.run([&] {
        trap.at(10040);
        if (optAction(0).Value() == 1) {
            trap.at(10060);
            AttachmentPath = trimSpaces(AttachmentPath);
            trap.at(10080);
            if (FolderFileExists(desktop_, AttachmentPath)) {
                trap.at(10100);
                // Anyone who can edit the record can write any path into
                // it, and the shell runs a program as readily as it opens a
                // document: a program runs only when the user says so.
                if (desktop_.OpensAsProgram(AttachmentPath) && !userAgreesToRun(AttachmentPath))
                    return;
                // An empty parameter string, not a missing one.
                desktop_.ShellExecute(form_.handle(), u"Open", AttachmentPath, std::u16string(),
                                      desktop_.ProgramFolder(), platform::SW_SHOW);
                trap.at(10120);
                unloadWindow();
            } else {
                trap.at(10180);
                desktop_.MsgBox(u"The path to the attachment is invalid or the file is not accessible.",
                                platform::vbOKOnly, product::applicationTitle());
            }
            return;
        }

        trap.at(10260);
        if (optAction(1).Value() == 1) {
            trap.at(10280);
            std::u16string text = strippedDetails(rereadDetails());
            trap.at(10280);
            const std::int32_t result = SetDetails(CurrentRow, text);
            if (result != 0) {
                trap.at(10300);
                desktop_.MsgBox(u"Unable to modify the Details field.", platform::vbOKOnly, u"Operation aborted");
            } else {
                trap.at(10340);
                unloadWindow();
                return;
            }
        }

        trap.at(10420);
        if (optAction(2).Value() == 1) {
            trap.at(10440);
            // Whether a file is attached is decided from the field as it is
            // now: another writer may have attached one since start-up.
            const AttachmentMarker attached = ReadAttachment(rereadDetails());
            std::optional<std::u16string> agreedToReplace;
            if (attached.hasAttachment) {
                trap.at(10460);
                trap.at(10480);
                if (!userAgreesToReplace())
                    return;
                trap.at(10500);
                agreedToReplace = attached.path;
            }
            trap.at(10540);
            platform::OpenFileRequest dlgOpen;
            dlgOpen.owner = form_.handle();
            // From here on the Open File dialog's cancel ends the click
            // silently; every other failure is reported.
            trap.at(10560);
            trap.at(10580);
            trap.at(10600);
            dlgOpen.filter = u"All files (*.*)|*.*";
            trap.at(10620);
            const std::u16string folder =
                store_.read(product::applicationTitle(), u"Settings", u"DefaultFolder", std::u16string());
            trap.at(10640);
            if (!folder.empty()) {
                trap.at(10660);
                if (FolderFileExists(desktop_, folder)) {
                    trap.at(10680);
                    dlgOpen.initialDir = folder;
                }
            }
            trap.at(10740);
            const std::optional<std::u16string> chosen = desktop_.OpenFile(dlgOpen);
            if (!chosen)
                return;
            trap.at(10760);
            // A path the marker cannot hold would be stored unreadable:
            // refuse it before anything is written, and keep the window.
            if (!PathFitsMarker(*chosen)) {
                desktop_.MsgBox(u"The file cannot be attached, because its path contains \"[[\" or \"]]\" or ends "
                                u"with \"]\":\r\r"
                                    + *chosen
                                    + u"\r\rThe Details field marks the attachment with these characters, so this "
                                      u"path could not be read back. Rename the file or its folder, then attach it "
                                      u"again.",
                                platform::vbExclamation, product::applicationTitle());
                return;
            }
            const std::u16string attachedBefore = AttachmentPath;
            AttachmentPath = *chosen;
            trap.at(10800);
            bool written = false;
            try {
                written = WriteAttachment(AttachmentPath, agreedToReplace);
            } catch (...) {
                // Nothing was written: Open still means the file attached before.
                AttachmentPath = attachedBefore;
                throw;
            }
            if (!written) {
                AttachmentPath = attachedBefore;
                return;
            }
            trap.at(10820);
            unloadWindow();
        }
    });
}

std::u16string Form1::rereadDetails()
{
    const std::u16string current = SalesList->GetField(host::DetailsField, CurrentRow);
    stopIfUnloaded();
    return current;
}

std::u16string Form1::strippedDetails(const std::u16string &current) const
{
    if (current == DetailsText)
        return StripAttachment(DetailsText, MarkerStart, MarkerEnd);
    const AttachmentMarker marker = ReadAttachment(current);
    return StripAttachment(current, marker.MarkerStart, marker.MarkerEnd);
}

bool Form1::userAgreesToReplace()
{
    const int answer = desktop_.MsgBox(u"There is already a file attached to this sale/opportunity. Attaching a new "
                                       u"one will remove the current attachment.\rAre you sure you want to continue?",
                                       platform::vbYesNo | platform::vbExclamation | platform::vbDefaultButton2,
                                       product::applicationTitle());
    stopIfUnloaded();
    return answer == platform::vbYes;
}

bool Form1::userAgreesToRun(const std::u16string &path)
{
    const int answer =
        desktop_.MsgBox(u"The attachment is a program:\r\r" + path
                            + u"\r\rOpening it will run it with your rights: it can do anything you can do. Open it "
                              u"only if you trust it and know where it came from.\r\rDo you want to run it?",
                        platform::vbYesNo | platform::vbExclamation | platform::vbDefaultButton2,
                        product::applicationTitle());
    stopIfUnloaded();
    return answer == platform::vbYes;
}

bool Form1::WriteAttachment(const std::u16string &path, const std::optional<std::u16string> &agreedToReplace)
{
    const std::u16string current = rereadDetails();
    // A file attached by another writer while the Open File dialog was open
    // is not replaced without asking.
    const AttachmentMarker attached = ReadAttachment(current);
    if (attached.hasAttachment && agreedToReplace != attached.path && !userAgreesToReplace())
        return false;
    std::u16string text = ComposeAttachment(strippedDetails(current), path);
    const std::int32_t result = SetDetails(CurrentRow, text);
    stopIfUnloaded();
    if (result != 0)
        desktop_.MsgBox(u"Unable to modify the Details field.", platform::vbOKOnly, u"Operation aborted");
    return true;
}

std::int32_t Form1::SetDetails(std::int32_t &row, std::u16string &text)
{
    return host::toInt32(SalesList->SetField(host::DetailsField, row, text));
}

void Form1::cmdCancel_Click()
{
    unloadWindow();
}

void Form1::lblLink_Click()
{
    Module1::ShellOpen(desktop_, form_.handle(), u"open", product::webSiteUrl());
}

void Form1::mnuLocation_Click()
{
    // A fresh dialog at each opening; nothing is read back from it: the
    // folder reaches the Attach action through the settings store.
    frmLocation location(face_, desktop_, store_, form_.handle());
    location.showModal();
}

void Form1::mnuIntegrate_Click()
{
    // The dialog restarts ACT! through this window's unload routine, called
    // as a plain procedure.
    clsFrmIntegrate integrate(face_, host_, desktop_, [this] {
        int Cancel = 0;
        Form_Unload(Cancel);
    }, form_.handle());
    integrate.setLanguage(0);
    integrate.setAppName(product::applicationTitle());
    integrate.setContactScreen(true);
    integrate.setContactListScreen(false);
    integrate.setGroupScreen(false);
    integrate.setTaskListScreen(false);
    integrate.setCalendarsScreen(false);
    integrate.setEmailScreen(false);
    integrate.setIntegrateIcon(form_.icon());
    integrate.showModal();
}

void Form1::mnuAbout_Click()
{
    // A fresh box at each opening. A notification may end the program while
    // it is open: its modal loop then returns, and the box goes with this
    // scope while the window, which outlives the event loop, is still there.
    frmAbout about(face_, desktop_, form_.handle());
    about.showModal();
}

void Form1::onHostEvent(std::int16_t eventId)
{
    if (form_.isUnloaded() || ended_)
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
    if (form_.isUnloaded())
        return;
    // Form_Unload runs, and the window goes with everything on it, its
    // timer included; the program is over.
    form_.unload();
    face_.quit(0);
}

int Form1::runProgram()
{
    form_.load();
    if (form_.isUnloaded() || ended_)
        return 0;
    form_.show();
    return face_.run();
}

} // namespace app
