#pragma once

// The program's main window: the start-up sequence that links to ACT! and
// finds the current Sales/Opportunity record's attachment, the three action
// options, the menus, the link to the maker's web site, the reaction to
// ACT!'s notifications and the ACT! restart routine.

#include "host/ActHost.h"
#include "platform/ErrorTrap.h"
#include "platform/PlatformServices.h"
#include "platform/forms/Form.h"
#include "settings/SettingsStore.h"

#include <cstdint>
#include <optional>
#include <string>

namespace app {

class Form1 {
public:
    Form1(forms::Face &face, host::HostFactory &host, platform::PlatformServices &desktop,
          settings::SettingsStore &store);
    ~Form1();
    Form1(const Form1 &) = delete;
    Form1 &operator=(const Form1 &) = delete;

    // Window events and procedures.
    void Form_Load();
    // Runs when the window unloads, and is also called directly, as a plain
    // procedure with Cancel 0, to restart ACT! once RestartAct is set.
    void Form_Unload(int &Cancel);
    void cmdOK_Click();
    void cmdCancel_Click();
    void lblLink_Click();
    void mnuLocation_Click();
    void mnuIntegrate_Click();
    void mnuAbout_Click();
    void tmr1_Timer();
    void EnableActions(bool openEnabled, bool removeEnabled);

    // Runs the program on this window: start-up, then the event loop until
    // the program ends. Returns the exit status.
    int runProgram();

    // True once the window has unloaded (the program is over).
    bool isUnloaded() const { return form_.isUnloaded(); }
    // True once the restart timer has ended the program.
    bool hasEnded() const { return ended_; }

    // State read at start-up.
    const std::u16string &detailsText() const { return DetailsText; }
    const std::u16string &attachmentPath() const { return AttachmentPath; }
    std::int32_t markerStart() const { return MarkerStart; }
    std::int32_t markerEnd() const { return MarkerEnd; }
    std::int32_t currentRow() const { return CurrentRow; }
    std::int32_t linkResult() const { return LinkResult; }
    std::int16_t tickCount() const { return TickCount; }
    void setTickCount(std::int16_t count) { TickCount = count; }
    bool hasAppObject() const { return !ActApp.isNothing(); }
    bool hasSalesList() const { return !SalesList.isNothing(); }

    // The window and its controls.
    forms::Form &form() { return form_; }
    forms::Control &optAction(int Index) const { return form_.control("optAction", Index); }
    forms::Control &control(const char *name) const { return form_.control(name); }

    // Trap labels of the reporting procedures.
    static std::u16string formLoadLabel() { return u"in Form1: Sub Form_Load - Line # "; }
    static std::u16string formUnloadLabel() { return u"in frmMain: Sub Form_Unload - Line # "; }
    static std::u16string timerLabel() { return u"in frmMain: Sub tmr1_Timer - Line # "; }
    static std::u16string okLabel() { return u"in Form1: Sub cmdOK_Click - Line # "; }
    // Title of the window's error reports.
    static std::u16string errorTitle();

    static const forms::FormSpec &layout();

private:
    // "Unload Me": runs Form_Unload, closes the window and ends the program.
    // Unloading an unloaded window does nothing.
    void unloadWindow();
    void onHostEvent(std::int16_t eventId);
    void ActEvent1_Event10();
    void ActEvent1_Event22();
    // Sets tmr1's interval; 0 stops it.
    void setTimerInterval(int milliseconds);
    // The attachment actions' writes. WriteAttachment asks before replacing
    // an attachment that the user has not agreed to replace (agreedToReplace
    // holds the path the user agreed to), and is false when the answer was
    // No and nothing was written.
    bool WriteAttachment(const std::u16string &path, const std::optional<std::u16string> &agreedToReplace);
    std::int32_t SetDetails(std::int32_t &row, std::u16string &text);
    // The current record's Details field as it is now. Every write starts
    // from it, so that a change made in ACT! since start-up survives.
    std::u16string rereadDetails();
    // That text without its marker, ready to be written.
    std::u16string strippedDetails(const std::u16string &current) const;
    // The replace question; true on Yes.
    bool userAgreesToReplace();
    // The question before opening an attachment that is a program; true on
    // Yes.
    bool userAgreesToRun(const std::u16string &path);
    // A trap that stops its procedure quietly once the window has unloaded.
    platform::ErrorTrap makeTrap(const std::u16string &label);
    // Stops the running procedure when the window has unloaded under it.
    void stopIfUnloaded() const;

    forms::Face &face_;
    host::HostFactory &host_;
    platform::PlatformServices &desktop_;
    settings::SettingsStore &store_;
    forms::Form form_;

    // Program-wide references to ACT!'s objects, held from start-up.
    host::Ref<host::ActApp> ActApp;
    host::Ref<host::ActViews> ActViews;
    host::Ref<host::ActView> ContactView;
    host::Ref<host::SalesList> SalesList;
    host::ActEvent &ActEvent1;

    // Main-window state.
    std::u16string DetailsText;
    std::u16string AttachmentPath;
    std::int32_t MarkerStart = 0;
    std::int32_t MarkerEnd = 0;
    std::int32_t CurrentRow = 0;
    std::int32_t LinkResult = 0;
    std::int16_t TickCount = 0;

    bool ended_ = false;
};

} // namespace app
