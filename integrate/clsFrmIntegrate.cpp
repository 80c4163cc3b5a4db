#include "integrate/clsFrmIntegrate.h"

#include "integrate/CommandRegistration.h"
#include "integrate/IntegrateTexts.h"
#include "platform/ProgramState.h"

#include <algorithm>

namespace {

using namespace forms;

// Created in tab order where it matters: the boxes of the toolbar frame
// first, so that the dialog opens with the first box focused. Tab runs
// through the toolbar boxes left to right, the Tools-menu boxes from the
// last one back to the first, then Close and Cancel. The frames hold
// nothing but their boxes and labels. A box has three states, but a click
// or the space bar only toggles it; the label beside it reports its
// clicks, and takes no focus.
constexpr ControlSpec Controls[] = {
    {Kind::Frame, "Frame1", 0, "Frame1_0", {}, u"", {315, 240, 5115, 1185}, -1},
    {Kind::Check, "chkScreen", 0, "chkScreen_0", "Frame1_0", u"", {210, 345, 255, 255}, 0, Tristate},
    {Kind::Label, "lblScreen", 0, "lblScreen_0", "Frame1_0", u"", {495, 375, 1200, 270}, -1, ClickReported},
    {Kind::Check, "chkScreen", 1, "chkScreen_1", "Frame1_0", u"", {1815, 345, 255, 255}, 1, Tristate},
    {Kind::Label, "lblScreen", 1, "lblScreen_1", "Frame1_0", u"", {2100, 375, 1470, 270}, -1, ClickReported},
    {Kind::Check, "chkScreen", 2, "chkScreen_2", "Frame1_0", u"", {3600, 315, 255, 255}, 2, Tristate},
    {Kind::Label, "lblScreen", 2, "lblScreen_2", "Frame1_0", u"", {3870, 345, 1005, 270}, -1, ClickReported},
    {Kind::Check, "chkScreen", 3, "chkScreen_3", "Frame1_0", u"", {210, 690, 255, 255}, 3, Tristate},
    {Kind::Label, "lblScreen", 3, "lblScreen_3", "Frame1_0", u"", {495, 720, 1320, 270}, -1, ClickReported},
    {Kind::Check, "chkScreen", 4, "chkScreen_4", "Frame1_0", u"", {1815, 690, 255, 255}, 4, Tristate},
    {Kind::Label, "lblScreen", 4, "lblScreen_4", "Frame1_0", u"", {2100, 720, 1470, 270}, -1, ClickReported},
    {Kind::Check, "chkScreen", 5, "chkScreen_5", "Frame1_0", u"", {3600, 660, 255, 255}, 5, Tristate},
    {Kind::Label, "lblScreen", 5, "lblScreen_5", "Frame1_0", u"", {3870, 690, 1020, 270}, -1, ClickReported},
    {Kind::Frame, "Frame1", 1, "Frame1_1", {}, u"", {315, 1575, 5130, 1185}, -1},
    {Kind::Check, "chkScreen", 6, "chkScreen_6", "Frame1_1", u"", {210, 345, 220, 255}, 11, Tristate},
    {Kind::Label, "lblScreen", 6, "lblScreen_6", "Frame1_1", u"", {495, 375, 930, 270}, -1, ClickReported},
    {Kind::Check, "chkScreen", 7, "chkScreen_7", "Frame1_1", u"", {1815, 345, 255, 255}, 10, Tristate},
    {Kind::Label, "lblScreen", 7, "lblScreen_7", "Frame1_1", u"", {2100, 375, 1500, 270}, -1, ClickReported},
    {Kind::Check, "chkScreen", 8, "chkScreen_8", "Frame1_1", u"", {3630, 345, 255, 255}, 9, Tristate},
    {Kind::Label, "lblScreen", 8, "lblScreen_8", "Frame1_1", u"", {3900, 375, 930, 270}, -1, ClickReported},
    {Kind::Check, "chkScreen", 9, "chkScreen_9", "Frame1_1", u"", {210, 690, 255, 255}, 8, Tristate},
    {Kind::Label, "lblScreen", 9, "lblScreen_9", "Frame1_1", u"", {495, 720, 1320, 270}, -1, ClickReported},
    {Kind::Check, "chkScreen", 10, "chkScreen_10", "Frame1_1", u"", {1815, 690, 255, 255}, 7, Tristate},
    {Kind::Label, "lblScreen", 10, "lblScreen_10", "Frame1_1", u"", {2100, 720, 1515, 270}, -1, ClickReported},
    {Kind::Check, "chkScreen", 11, "chkScreen_11", "Frame1_1", u"", {3630, 690, 255, 255}, 6, Tristate},
    {Kind::Label, "lblScreen", 11, "lblScreen_11", "Frame1_1", u"", {3900, 720, 930, 270}, -1, ClickReported},
    {Kind::Label, "lblRestart", -1, "lblRestart", {}, u"", {495, 2850, 5670, 315}, -1},
    {Kind::Button, "cmdOK", -1, "cmdOK", {}, u"", {5820, 360, 1000, 325}, 12, Default},
    // Escape presses Cancel, so that it closes the way Cancel does.
    {Kind::Button, "cmdCancel", -1, "cmdCancel", {}, u"", {5820, 840, 1000, 325}, 13, Cancel},
};

constexpr int DesignWidth = 7020;
constexpr int DesignHeight = 3240;

constexpr FormSpec Layout{"frmIntegrate", u"", DesignWidth, DesignHeight, NoFormFlags, {}, {}, Icon::None, Controls};

// The designed place of a control, as the table gives it.
Twips designed(const char *name, int index = -1)
{
    for (const ControlSpec &c : Controls) {
        if (c.name == name && c.index == index)
            return c.place;
    }
    return {};
}

} // namespace

const forms::FormSpec &clsFrmIntegrate::layout()
{
    return Layout;
}

clsFrmIntegrate::clsFrmIntegrate(forms::Face &face, host::HostFactory &host, platform::PlatformServices &desktop,
                                 std::function<void()> mainFormUnload, platform::WindowHandle owner)
    : host_(host), desktop_(desktop), mainFormUnload_(std::move(mainFormUnload)), form_(Layout, face, owner)
{
    for (int i = 0; i < BoxCount; ++i) {
        // The box's click handling runs on every real change of its state,
        // whoever makes it; setting the same state runs nothing.
        chkScreen(i).Click = [this, i] { chkScreen_Click(i); };
        lblScreen(i).Click = [this, i] { lblScreen_Click(i); };
    }
    form_.control("cmdOK").Click = [this] { cmdOK_Click(); };
    form_.control("cmdCancel").Click = [this] { cmdCancel_Click(); };
    form_.Load = [this] { Form_Load(); };
    form_.Unload = [this] { Form_Unload(); };
    setDesignTexts();
}

void clsFrmIntegrate::setDesignTexts()
{
    // The captions the dialog shows until loading replaces them.
    const std::vector<std::u16string> english = integrate::englishTexts();
    form_.setCaption(english[5]);
    Frame1(0).setCaption(english[12]);
    Frame1(1).setCaption(english[13]);
    for (int i = 0; i < BoxCount; ++i)
        showViewName(i, english[6 + i % 6], 0);
    form_.control("lblRestart").setCaption(english[16]);
    form_.control("cmdOK").setCaption(english[14]);
    form_.control("cmdCancel").setCaption(english[15]);
    fitToTexts();
}

void clsFrmIntegrate::showViewName(int Index, const std::u16string &viewName, std::int16_t language)
{
    lblScreen(Index).setCaption(viewName);
    // The box shows no text of its own: without a name, a screen reader
    // could tell the twelve boxes apart only by their frames.
    const std::vector<std::u16string> places = integrate::placeNames(language);
    chkScreen(Index).setAccessibleName(viewName.empty() || places.empty() ? viewName
                                                                           : viewName + u", " + places.at(Index / 6));
}

void clsFrmIntegrate::fitToTexts()
{
    // Each row of pairs is walked from left to right; a label that needs
    // more room takes it, and the pairs after it move right by as much.
    int framesRight = 0;
    int designedFramesRight = 0;
    for (int f = 0; f < 2; ++f) {
        int right = 0;
        int designedRight = 0;
        for (int row = 0; row < 2; ++row) {
            int shift = 0;
            for (int column = 0; column < 3; ++column) {
                const int i = f * 6 + row * 3 + column;
                forms::Twips label = designed("lblScreen", i);
                designedRight = std::max(designedRight, label.right());
                forms::Twips box = designed("chkScreen", i);
                box.left += shift;
                label.left += shift;
                const int extra = std::max(0, lblScreen(i).neededWidth() - label.width);
                label.width += extra;
                shift += extra;
                chkScreen(i).setPlace(box);
                lblScreen(i).setPlace(label);
                right = std::max({right, box.right(), label.right()});
            }
        }
        // The frame keeps its designed margin to the right of its pairs,
        // and is as wide as its caption needs.
        forms::Twips frame = designed("Frame1", f);
        const int margin = frame.width - designedRight;
        frame.width = std::max({frame.width, right + margin, Frame1(f).neededWidth()});
        Frame1(f).setPlace(frame);
        framesRight = std::max(framesRight, frame.right());
        designedFramesRight = std::max(designedFramesRight, designed("Frame1", f).right());
    }

    // The buttons keep their distance from the frames.
    const int buttonsShift = std::max(0, framesRight - designedFramesRight);
    forms::Twips ok = designed("cmdOK");
    forms::Twips cancel = designed("cmdCancel");
    const int margin = DesignWidth - ok.right();
    ok.left += buttonsShift;
    cancel.left += buttonsShift;
    form_.control("cmdOK").setPlace(ok);
    form_.control("cmdCancel").setPlace(cancel);

    forms::Control &restart = form_.control("lblRestart");
    forms::Twips hint = designed("lblRestart");
    hint.width = std::max(hint.width, restart.neededWidth());
    restart.setPlace(hint);

    // The dialog keeps its designed margin right of the buttons, and gives
    // the hint as much.
    form_.setClientSize(std::max({DesignWidth, ok.right() + margin, cancel.right() + margin, hint.right() + margin}),
                        DesignHeight);
}

std::int16_t clsFrmIntegrate::chkScreenValue(int Index) const
{
    return chkScreen(Index).Value();
}

void clsFrmIntegrate::setChkScreenValue(int Index, std::int16_t value)
{
    chkScreen(Index).setValue(value);
}

platform::ErrorTrap clsFrmIntegrate::trap(const char *procedure)
{
    // Title and contact line are read when a report is shown: the texts
    // may change while the procedure runs.
    const std::string name(procedure);
    return platform::ErrorTrap(
        desktop_, u"in frmIntegrate: Sub " + std::u16string(name.begin(), name.end()) + u" - Line # ",
        [this] { return appName_; }, [this] { return text(0); });
}

template <class Body>
void clsFrmIntegrate::runEvent(platform::ErrorTrap &errorTrap, Body &&body)
{
    try {
        errorTrap.run(std::forward<Body>(body));
    } catch (const host::Failure &) {
        // The report itself failed; an event procedure has no caller to
        // pass that to, so the event simply ends.
    }
}

void clsFrmIntegrate::SetLanguage(std::int16_t language)
{
    texts_.assign(integrate::TextCount, std::u16string());
    if (language == 0)
        LoadEnglishTexts();
    else if (language == 1)
        LoadFrenchTexts();
}

void clsFrmIntegrate::LoadEnglishTexts()
{
    texts_ = integrate::englishTexts();
}

void clsFrmIntegrate::LoadFrenchTexts()
{
    texts_ = integrate::frenchTexts();
}

// --- loading and unloading ---------------------------------------------------

void clsFrmIntegrate::Form_Load()
{
    platform::ErrorTrap t = trap("Form_Load");
    t.at(13940);
    runEvent(t, [&] {
        t.at(13960);
        SetLanguage(language_);
        t.at(13980);
        auxCommands_ = host_.createAuxCommands();

        // Both boxes of a view are enabled by the view's property.
        for (int i = 0; i < 6; ++i) {
            t.at(14000 + 20 * i);
            chkScreen(i).setEnabled(screens_[i]);
        }
        for (int i = 0; i < 6; ++i) {
            t.at(14120 + 20 * i);
            chkScreen(i + 6).setEnabled(screens_[i]);
        }

        // Setting a box to what ACT! reports runs its click handling when
        // the state changes.
        t.at(14240);
        for (int i = 0; i <= 5; ++i) {
            t.at(14260);
            setChkScreenValue(i, auxCommands_->AuxCommandExistsInToolbar(static_cast<std::int16_t>(i + 1), appName_));
            t.at(14280);
            showViewName(i, texts_[i + 6], language_);
            t.at(14300);
        }
        t.at(14320);
        for (int i = 0; i <= 5; ++i) {
            t.at(14340);
            setChkScreenValue(i + 6,
                              auxCommands_->AuxCommandExistsInToolsMenu(static_cast<std::int16_t>(i + 1), appName_));
            t.at(14360);
            showViewName(i + 6, texts_[i + 6], language_);
            t.at(14380);
        }
        t.at(14400);
        for (int i = 0; i <= 1; ++i) {
            t.at(14420);
            Frame1(i).setCaption(texts_[i + 12]);
            t.at(14440);
        }

        // The boxes as ACT! has them are no change of the user's.
        t.at(14460);
        screensChanged_ = false;
        t.at(14480);
        form_.setCaption(texts_[5]);
        t.at(14500);
        form_.control("cmdOK").setCaption(texts_[14]);
        t.at(14520);
        form_.control("cmdCancel").setCaption(texts_[15]);
        t.at(14540);
        form_.control("lblRestart").setCaption(texts_[16]);
        t.at(14560);
        form_.setIcon(integrateIcon_);
    });
    // The captions may be longer now, also after a failure half way.
    fitToTexts();
}

void clsFrmIntegrate::Form_Unload()
{
    platform::ErrorTrap t = trap("Form_Unload");
    t.at(15880);
    runEvent(t, [&] {
        t.at(15900);
        auxCommands_.release();
    });
}

void clsFrmIntegrate::cmdCancel_Click()
{
    // Every change is in ACT! already: nothing to undo, nothing to ask.
    platform::ErrorTrap t = trap("cmdCancel_Click");
    t.at(14640);
    runEvent(t, [&] {
        t.at(14660);
        form_.unload();
    });
}

void clsFrmIntegrate::lblScreen_Click(int Index)
{
    platform::ErrorTrap t = trap("lblScreen_Click");
    t.at(15980);
    runEvent(t, [&] {
        // The label toggles its box even when the box is disabled.
        t.at(16000);
        if (chkScreenValue(Index) == 1) {
            t.at(16020);
            setChkScreenValue(Index, 0);
        } else {
            t.at(16060);
            setChkScreenValue(Index, 1);
        }
    });
}

// --- applying box changes in ACT! ---------------------------------------------

void clsFrmIntegrate::chkScreen_Click(int Index)
{
    platform::ErrorTrap t = trap("chkScreen_Click");
    t.at(14980);
    runEvent(t, [&] {
        t.at(15000);
        screensChanged_ = true;
        t.at(15020);
        if (auxCommands_->AuxCommandExists(appName_) == 0)
            CheckCommand();
        t.at(15040);
        if (Index < 6) {
            const auto view = static_cast<std::int16_t>(Index + 1);
            t.at(15060);
            if (chkScreenValue(Index) == 0) {
                t.at(15080);
                lastAuxResult_ = auxCommands_->RemoveAuxCommandFromToolbar(view, appName_);
            } else {
                t.at(15120);
                lastAuxResult_ = auxCommands_->AddAuxCommandToToolbar(view, appName_);
            }
        } else {
            const auto view = static_cast<std::int16_t>(Index - 5);
            t.at(15180);
            if (chkScreenValue(Index) == 0) {
                t.at(15200);
                lastAuxResult_ = auxCommands_->RemoveAuxCommandFromToolsMenu(view, appName_);
            } else {
                t.at(15240);
                lastAuxResult_ = auxCommands_->AddAuxCommandToToolsMenu(view, appName_);
            }
        }
    });
}

void clsFrmIntegrate::CheckCommand()
{
    platform::ErrorTrap t = trap("CheckCommand");
    t.at(15660);
    t.run([&] {
        t.at(15680);
        const integrate::CommandRegistration r = integrate::registrationValues(
            appName_, text(1), desktop_.ProgramFolder(), desktop_.ExecutableName(), integrate::nativePathForm());
        lastAuxResult_ = auxCommands_->AddAuxCommand(r.name, r.executable, r.folder, r.caption, r.tooltip, r.icon,
                                                      r.largeIcon, r.flags);
        t.at(15700);
        if (lastAuxResult_ != 0)
            MessAddFailed();
    });
}

void clsFrmIntegrate::MessAddFailed()
{
    platform::ErrorTrap t = trap("MessAddFailed");
    t.at(15780);
    t.run([&] {
        t.at(15800);
        desktop_.MsgBox(text(4), platform::vbOKOnly, appName_);
    });
}

void clsFrmIntegrate::cmdOK_Click()
{
    platform::ErrorTrap t = trap("cmdOK_Click");
    t.at(14740);
    runEvent(t, [&] {
        t.at(14760);
        if (screensChanged_) {
            t.at(14780);
            if (lastAuxResult_ != 0) {
                t.at(14800);
                MessAddFailed();
            } else {
                t.at(14840);
                Message();
                // The main window's restart routine runs inside; should the
                // dialog have unloaded meanwhile, there is nothing left to
                // close.
                if (form_.isUnloaded())
                    return;
            }
        }
        t.at(14900);
        form_.unload();
    });
}

void clsFrmIntegrate::Message()
{
    platform::ErrorTrap t = trap("Message");
    t.at(15360);
    t.run([&] {
        t.at(15380);
        restartAnswer_ =
            host::toInt16(desktop_.MsgBox(text(2) + u"\r\n" + text(3), platform::vbYesNo, appName_));
        // Whatever the answer, the boxes are read again from ACT!.
        t.at(15400);
        Form_Load();
        t.at(15420);
        if (restartAnswer_ == platform::vbNo)
            return;
        t.at(15480);
        if (restartAnswer_ == platform::vbYes) {
            t.at(15500);
            program::RestartAct = true;
            t.at(15520);
            form_.hide();
            // The main window closes ACT!, opens its database again and
            // ends the program shortly after.
            t.at(15540);
            const std::function<void()> unloadMainForm = mainFormUnload_;
            if (unloadMainForm)
                unloadMainForm();
            if (form_.isUnloaded())
                return;
            t.at(15560);
            form_.unload();
        }
    });
}
