#pragma once

// The integration dialog: two groups of six boxes, one box per ACT! view,
// for the program's command on the view's toolbar and in its Tools menu.
// Every change of a box is applied in ACT! at once; Close may offer to
// restart ACT!, which the main window then carries out.

#include "host/ActHost.h"
#include "platform/ErrorTrap.h"
#include "platform/PlatformServices.h"
#include "platform/forms/Form.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class clsFrmIntegrate {
public:
    static constexpr int BoxCount = 12;

    // mainFormUnload is the main window's unload routine, called as a plain
    // procedure (cancel 0) when the user accepts an ACT! restart. owner is
    // the window the dialog opens over.
    clsFrmIntegrate(forms::Face &face, host::HostFactory &host, platform::PlatformServices &desktop,
                    std::function<void()> mainFormUnload, platform::WindowHandle owner = nullptr);

    // --- properties, set by the caller before the dialog is shown ----------
    const std::u16string &AppName() const { return appName_; }
    void setAppName(const std::u16string &value) { appName_ = value; }
    forms::Icon IntegrateIcon() const { return integrateIcon_; }
    void setIntegrateIcon(forms::Icon value) { integrateIcon_ = value; }
    // 0 English, 1 French; any other value leaves every text empty.
    std::int16_t Language() const { return language_; }
    void setLanguage(std::int16_t value) { language_ = value; }
    // Each enables both boxes of one view.
    bool ContactScreen() const { return screens_[0]; }
    void setContactScreen(bool value) { screens_[0] = value; }
    bool ContactListScreen() const { return screens_[1]; }
    void setContactListScreen(bool value) { screens_[1] = value; }
    bool GroupScreen() const { return screens_[2]; }
    void setGroupScreen(bool value) { screens_[2] = value; }
    bool TaskListScreen() const { return screens_[3]; }
    void setTaskListScreen(bool value) { screens_[3] = value; }
    bool CalendarsScreen() const { return screens_[4]; }
    void setCalendarsScreen(bool value) { screens_[4] = value; }
    bool EmailScreen() const { return screens_[5]; }
    void setEmailScreen(bool value) { screens_[5] = value; }

    // Shows the dialog modally; it loads as it opens.
    void showModal() { form_.showModal(); }
    forms::Form &form() { return form_; }

    // --- state ---------------------------------------------------------------
    const std::vector<std::u16string> &Texts() const { return texts_; }
    const host::Ref<host::AuxCommands> &AuxCommands() const { return auxCommands_; }
    // True once a box change has been handled since loading last finished.
    bool ScreensChanged() const { return screensChanged_; }
    // Result of the last registration, add or remove request; 0 = success.
    std::int32_t LastAuxResult() const { return lastAuxResult_; }
    std::int16_t RestartAnswer() const { return restartAnswer_; }

    // A box's state as a number: 0 unchecked, 1 checked, 2 greyed. Setting
    // any other number fails with 380; setting a different state runs the
    // box's click handling.
    std::int16_t chkScreenValue(int Index) const;
    void setChkScreenValue(int Index, std::int16_t value);

    forms::Control &chkScreen(int Index) const { return form_.control("chkScreen", Index); }
    forms::Control &lblScreen(int Index) const { return form_.control("lblScreen", Index); }
    forms::Control &Frame1(int Index) const { return form_.control("Frame1", Index); }

    static const forms::FormSpec &layout();

private:
    // Event procedures.
    void Form_Load();
    void Form_Unload();
    void lblScreen_Click(int Index);
    void chkScreen_Click(int Index);
    void cmdOK_Click();
    void cmdCancel_Click();

    // Private procedures.
    void SetLanguage(std::int16_t language);
    void LoadEnglishTexts();
    void LoadFrenchTexts();
    void CheckCommand();
    void MessAddFailed();
    void Message();

    platform::ErrorTrap trap(const char *procedure);
    // Runs an event procedure's body under its trap. A failure while the
    // report itself is shown has no caller to go to and ends the event.
    template <class Body>
    void runEvent(platform::ErrorTrap &errorTrap, Body &&body);

    std::u16string text(std::size_t index) const { return index < texts_.size() ? texts_[index] : std::u16string(); }
    void setDesignTexts();
    // Captions a view's label, and names its box for screen readers after
    // the view and the place, in the language the caption is in.
    void showViewName(int Index, const std::u16string &viewName, std::int16_t language);
    // Lays the controls out in their designed places, then widens every
    // label that its text overflows, moving what stands to its right and
    // widening the frames and the dialog as far as needed. The English
    // texts fit the design, which they keep exactly; the dialog keeps its
    // centre when it grows while shown.
    void fitToTexts();

    host::HostFactory &host_;
    platform::PlatformServices &desktop_;
    std::function<void()> mainFormUnload_;

    std::u16string appName_;
    forms::Icon integrateIcon_ = forms::Icon::None;
    std::int16_t language_ = 0;
    std::array<bool, 6> screens_{};

    std::vector<std::u16string> texts_;
    host::Ref<host::AuxCommands> auxCommands_;
    bool screensChanged_ = false;
    std::int32_t lastAuxResult_ = 0;
    std::int16_t restartAnswer_ = 0;

    forms::Form form_;
};
