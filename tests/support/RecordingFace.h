#pragma once

// A face for tests: it draws nothing and records what the forms layer tells
// it, so that a test can check what a window shows, in what order its
// windows opened and closed, and drive it as a user would.
//
// Journal. Each line is a verb, the window ("frmAbout") or the control
// ("frmAbout.cmdOK", the window's id and the control's id), and the value:
//   create frmAbout              a window was made (no owner)
//   create frmAbout over Form1   ... owned by the window Form1 ("over ?" for
//                                a handle this face did not make)
//   show frmAbout                shown modelessly
//   modal frmAbout               shown modally
//   hide frmAbout                hidden
//   close frmAbout               removed for good (the form unloaded)
//   stuck frmAbout               a modal window that would not close; see
//                                showModal below
//   caption frmAbout <text>      the window's caption
//   icon frmAbout program|none
//   size frmAbout 7020x3240      the client area, in twips
//   caption Form1.cmdOK <text>
//   enabled Form1.cmdOK 0|1
//   visible Form1.cmdOK 0|1
//   value Form1.chkScreen0 <n>
//   text Form1.txtFolder <text>
//   place Form1.lblMail <left>,<top> <width>x<height>
//   accessible Form1.lblMail <name>
//   timer Form1.tmr1 <interval> on|off
//   run                          the event loop started
//   quit <status>
// Building a window records only its "create" line: the face shows the
// table's values then, and each peer starts from them.
//
// Modal shows. A real modal loop runs until its window is hidden or
// closed. Here showModal() runs the test's hook for the window (the
// window's own hook in whileModalOf if any, else the next one queued in
// modalQueue, else whileModal), in which the test clicks, raises host
// events, ticks timers or unloads the window. When the hook returns and the
// window is still shown and loaded, the face presses its close box
// (Form::userClose()), as a user would. A window that still stays shown is
// hidden and "stuck <id>" recorded, so that the show returns all the same.
// A quit() during the hook ends the show at once, without the close box.
//
// Text measurement, deterministic so that a test can compute it:
//   width = round(units * 90 * points / 8.25 * (bold ? 1.1 : 1))
// twips, where units counts the caption's UTF-16 code units except
// mnemonic markers: an '&' followed by another character is not counted,
// "&&" counts as one unit, and a final lone '&' is not counted. A frame
// adds 300 twips for its borders. The font is the control's own (its
// table's). textWidth() and neededWidth() below compute the same.

#include "platform/PlatformServices.h"
#include "platform/forms/Face.h"
#include "platform/forms/Form.h"
#include "platform/forms/Layout.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

class RecordingFace;
class RecordingFormPeer;

// A control as the recording face shows it.
class RecordingControlPeer : public forms::ControlPeer {
public:
    RecordingControlPeer(RecordingFormPeer &window, forms::Control &control);
    ~RecordingControlPeer() override;

    forms::Control &control() const { return control_; }
    RecordingFormPeer &window() const { return window_; }
    // The control's id ("cmdOK"), and the name its journal lines use
    // ("frmAbout.cmdOK").
    const std::string &id() const { return id_; }
    const std::u16string &journalName() const { return journalName_; }

    // What the face shows: the control's values when it was made, then the
    // last value it was told of each.
    std::u16string caption;
    bool enabled = true;
    bool visible = true;
    std::int16_t value = 0;
    std::u16string text;
    forms::Twips place;
    std::u16string accessibleName;
    int interval = 0;
    bool running = false;
    // This control's own journal lines, in order.
    std::vector<std::u16string> told;

    // ControlPeer
    void setCaption(const std::u16string &caption) override;
    void setEnabled(bool enabled) override;
    void setVisible(bool visible) override;
    void setValue(std::int16_t value) override;
    void setText(const std::u16string &text) override;
    void setPlace(const forms::Twips &place) override;
    void setAccessibleName(const std::u16string &name) override;
    void setTimer(int interval, bool running) override;
    int neededWidth() const override;

private:
    friend class RecordingFace;
    void note(const std::u16string &verb, const std::u16string &value);

    RecordingFormPeer &window_;
    forms::Control &control_;
    std::string id_;
    std::u16string journalName_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// A window as the recording face shows it.
class RecordingFormPeer : public forms::FormPeer {
public:
    RecordingFormPeer(RecordingFace &face, forms::Form &form, platform::WindowHandle owner);
    ~RecordingFormPeer() override;

    forms::Form &form() const { return form_; }
    RecordingFace *face() const { return face_; }
    const std::string &id() const { return id_; }
    // The window it was made over: its handle, and its id when this face
    // made it ("" for none, "?" for a handle of some other face).
    platform::WindowHandle owner() const { return owner_; }
    const std::string &ownerId() const { return ownerId_; }

    // The control peer with the given id; throws std::out_of_range.
    RecordingControlPeer &control(std::string_view id) const;
    const std::vector<RecordingControlPeer *> &controls() const { return controls_; }

    // What the face shows.
    std::u16string caption;
    forms::Icon icon = forms::Icon::None;
    int width = 0;
    int height = 0;
    bool visible = false;
    bool closed = false;
    bool built = false;
    int modalDepth = 0; // modal shows under way (nested ones count too)
    // This window's own journal lines, in order.
    std::vector<std::u16string> told;

    // FormPeer
    std::unique_ptr<forms::ControlPeer> createControl(forms::Control &control) override;
    void finishBuilding() override;
    platform::WindowHandle handle() override;
    void setCaption(const std::u16string &caption) override;
    void setIcon(forms::Icon icon) override;
    void setClientSize(int width, int height) override;
    void show() override;
    void showModal() override;
    void hide() override;
    void close() override;

private:
    friend class RecordingFace;
    friend class RecordingControlPeer;
    void note(const std::u16string &line);

    RecordingFace *face_;
    forms::Form &form_;
    std::string id_;
    std::u16string journalId_;
    platform::WindowHandle owner_;
    std::string ownerId_;
    std::vector<RecordingControlPeer *> controls_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

class RecordingFace : public forms::Face {
public:
    using ModalHook = std::function<void(forms::Form &)>;

    RecordingFace();
    ~RecordingFace() override;
    RecordingFace(const RecordingFace &) = delete;
    RecordingFace &operator=(const RecordingFace &) = delete;

    // --- what the test scripts ----------------------------------------------
    // Run during a modal show of the window they are for; see the header
    // comment. whileModalOf's hooks stay for every show of their window;
    // modalQueue's are taken one per show.
    std::map<std::string, ModalHook, std::less<>> whileModalOf;
    std::deque<ModalHook> modalQueue;
    ModalHook whileModal;
    // Run by run(), as the program's event loop.
    std::function<void()> whileRunning;

    // --- what the face was told ---------------------------------------------
    std::vector<std::u16string> told;               // every line, in order
    std::vector<std::u16string> *journal = nullptr; // when set, lines are appended here too
    std::optional<int> quitStatus;                  // the last quit()'s
    int quits = 0;
    int runs = 0;

    // --- finding windows ------------------------------------------------------
    struct OpenForm {
        std::string id;
        forms::Form *form;
        platform::WindowHandle handle;
        platform::WindowHandle owner;
        std::string ownerId;
        bool visible;
        bool modal;
    };
    // The windows made and not yet closed (nor destroyed), oldest first.
    std::vector<OpenForm> openForms() const;
    std::vector<std::string> openIds() const;
    // The windows in a modal show, outermost first.
    std::vector<std::string> modalStack() const;
    // The form a handle of this face names, or null (also once destroyed).
    forms::Form *formOf(platform::WindowHandle handle) const;
    RecordingFormPeer *windowOf(platform::WindowHandle handle) const;
    // The newest window with the given id that still exists, or null.
    RecordingFormPeer *window(std::string_view id) const;
    // The peers of a form or control this face made; throw
    // std::out_of_range for one it did not make.
    RecordingFormPeer &peerOf(const forms::Form &form) const;
    RecordingControlPeer &peerOf(const forms::Control &control) const;

    // How the face's picture of form differs from the model: each window
    // and control value it shows that is not the one the model holds, one
    // per line ("Form1.cmdOK enabled: shows 1, holds 0"). Empty when they
    // agree. A timer should run exactly while its window is loaded and it
    // is enabled with an interval above 0.
    std::u16string mismatches(const forms::Form &form) const;

    // --- what the user does -------------------------------------------------------
    // Text typed into a text box: the face shows it, and reports it to the
    // model (Control::userText()).
    void typeText(forms::Control &control, std::u16string typed);

    // --- timers ----------------------------------------------------------------
    // Ticks every timer that is running (as the face was last told) on
    // every window, in order; returns how many were ticked.
    int tickAll();
    // Ticks the running timers whose control id is id ("tmr1") or whose
    // journal name is id ("Form1.tmr1"), every running timer for an empty
    // id; returns how many were ticked.
    int tick(std::string_view id);
    std::vector<forms::Control *> runningTimers() const;

    // --- measuring ---------------------------------------------------------------
    // The width of caption in font, in twips (see the header comment).
    static int textWidth(std::u16string_view caption, const forms::Font &font);
    // The width a control of kind needs for caption: textWidth, and 300
    // more for a frame.
    static int neededWidth(forms::Kind kind, std::u16string_view caption, const forms::Font &font);

    // --- Face ----------------------------------------------------------------------
    std::unique_ptr<forms::FormPeer> createForm(forms::Form &form, platform::WindowHandle owner) override;
    // Runs whileRunning, then returns the last quit()'s status (0 if none).
    int run() override;
    void quit(int status) override;

private:
    friend class RecordingFormPeer;
    friend class RecordingControlPeer;
    void note(const std::u16string &line);
    ModalHook modalHookFor(const std::string &id);

    std::vector<RecordingFormPeer *> windows_;    // every window that exists, oldest first
    std::vector<RecordingFormPeer *> modalStack_; // the windows in a modal show, outermost first
};

// The lines of journal whose first word is one of verbs, in order: e.g.
// only(face.told, {u"show", u"modal", u"hide", u"close"}).
std::vector<std::u16string> only(const std::vector<std::u16string> &journal,
                                 std::initializer_list<std::u16string_view> verbs);

} // namespace testsupport
