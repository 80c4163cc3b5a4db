#include "tests/support/RecordingFace.h"

#include "host/Text.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace testsupport {
namespace {

std::u16string u16(std::string_view ascii)
{
    return text::fromUtf8(ascii);
}

std::u16string flag(bool value)
{
    return value ? u"1" : u"0";
}

std::u16string placeText(const forms::Twips &place)
{
    return text::number(place.left) + u"," + text::number(place.top) + u" " + text::number(place.width) + u"x"
        + text::number(place.height);
}

std::u16string iconText(forms::Icon icon)
{
    return icon == forms::Icon::Program ? u"program" : u"none";
}

std::string controlId(const forms::ControlSpec &design)
{
    if (!design.id.empty())
        return std::string(design.id);
    return std::string(design.name) + (design.index >= 0 ? std::to_string(design.index) : std::string());
}

} // namespace

// --- RecordingControlPeer ------------------------------------------------------

RecordingControlPeer::RecordingControlPeer(RecordingFormPeer &window, forms::Control &control)
    : caption(control.Caption()), enabled(control.Enabled()), visible(control.Visible()), value(control.Value()),
      text(control.Text()), place(control.place()), accessibleName(control.accessibleName()),
      interval(control.Interval()), window_(window), control_(control), id_(controlId(control.design())),
      journalName_(window.journalId_ + u"." + u16(id_))
{
    window_.controls_.push_back(this);
}

RecordingControlPeer::~RecordingControlPeer()
{
    *alive_ = false;
    auto &list = window_.controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void RecordingControlPeer::note(const std::u16string &verb, const std::u16string &value)
{
    const std::u16string line = verb + u" " + journalName_ + u" " + value;
    told.push_back(line);
    if (window_.face_)
        window_.face_->note(line);
}

void RecordingControlPeer::setCaption(const std::u16string &newCaption)
{
    caption = newCaption;
    note(u"caption", caption);
}

void RecordingControlPeer::setEnabled(bool newEnabled)
{
    enabled = newEnabled;
    note(u"enabled", flag(enabled));
}

void RecordingControlPeer::setVisible(bool newVisible)
{
    visible = newVisible;
    note(u"visible", flag(visible));
}

void RecordingControlPeer::setValue(std::int16_t newValue)
{
    value = newValue;
    note(u"value", text::number(value));
}

void RecordingControlPeer::setText(const std::u16string &newText)
{
    text = newText;
    note(u"text", text);
}

void RecordingControlPeer::setPlace(const forms::Twips &newPlace)
{
    place = newPlace;
    note(u"place", placeText(place));
}

void RecordingControlPeer::setAccessibleName(const std::u16string &name)
{
    accessibleName = name;
    note(u"accessible", accessibleName);
}

void RecordingControlPeer::setTimer(int newInterval, bool newRunning)
{
    interval = newInterval;
    running = newRunning;
    note(u"timer", text::number(interval) + (running ? u" on" : u" off"));
}

int RecordingControlPeer::neededWidth() const
{
    return RecordingFace::neededWidth(control_.kind(), caption, control_.design().font);
}

// --- RecordingFormPeer -------------------------------------------------------------

RecordingFormPeer::RecordingFormPeer(RecordingFace &face, forms::Form &form, platform::WindowHandle owner)
    : caption(form.Caption()), icon(form.icon()), width(form.width()), height(form.height()), face_(&face),
      form_(form), id_(form.design().id), journalId_(u16(id_)), owner_(owner)
{
    if (owner) {
        const RecordingFormPeer *over = face.windowOf(owner);
        ownerId_ = over ? over->id_ : std::string("?");
    }
    face.windows_.push_back(this);
    note(u"create " + journalId_ + (owner ? u" over " + u16(ownerId_) : std::u16string()));
}

RecordingFormPeer::~RecordingFormPeer()
{
    *alive_ = false;
    if (face_) {
        auto &list = face_->windows_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        auto &stack = face_->modalStack_;
        stack.erase(std::remove(stack.begin(), stack.end(), this), stack.end());
    }
}

void RecordingFormPeer::note(const std::u16string &line)
{
    told.push_back(line);
    if (face_)
        face_->note(line);
}

RecordingControlPeer &RecordingFormPeer::control(std::string_view id) const
{
    for (RecordingControlPeer *peer : controls_) {
        if (peer->id() == id)
            return *peer;
    }
    throw std::out_of_range("no control " + std::string(id) + " on " + id_);
}

std::unique_ptr<forms::ControlPeer> RecordingFormPeer::createControl(forms::Control &control)
{
    return std::make_unique<RecordingControlPeer>(*this, control);
}

void RecordingFormPeer::finishBuilding()
{
    built = true;
}

platform::WindowHandle RecordingFormPeer::handle()
{
    return reinterpret_cast<platform::WindowHandle>(this);
}

void RecordingFormPeer::setCaption(const std::u16string &newCaption)
{
    caption = newCaption;
    note(u"caption " + journalId_ + u" " + caption);
}

void RecordingFormPeer::setIcon(forms::Icon newIcon)
{
    icon = newIcon;
    note(u"icon " + journalId_ + u" " + iconText(icon));
}

void RecordingFormPeer::setClientSize(int newWidth, int newHeight)
{
    width = newWidth;
    height = newHeight;
    note(u"size " + journalId_ + u" " + text::number(width) + u"x" + text::number(height));
}

void RecordingFormPeer::show()
{
    visible = true;
    note(u"show " + journalId_);
}

void RecordingFormPeer::showModal()
{
    visible = true;
    note(u"modal " + journalId_);
    RecordingFace *const face = face_;
    if (!face)
        return;

    // The show ends however the hook ends, and this window may be gone by
    // then: touch it only while it lives.
    const std::shared_ptr<bool> alive = alive_;
    ++modalDepth;
    face->modalStack_.push_back(this);
    struct Leave {
        RecordingFormPeer *peer;
        std::shared_ptr<bool> alive;
        ~Leave()
        {
            if (!*alive)
                return;
            --peer->modalDepth;
            if (peer->face_) {
                auto &stack = peer->face_->modalStack_;
                const auto last = std::find(stack.rbegin(), stack.rend(), peer);
                if (last != stack.rend())
                    stack.erase(std::next(last).base());
            }
        }
    } leave{this, alive};

    const int quitsBefore = face->quits;
    if (const RecordingFace::ModalHook hook = face->modalHookFor(id_))
        hook(form_);
    if (!*alive || closed || !visible)
        return;
    if (face_ && face_->quits != quitsBefore) {
        // quit() ends every modal loop.
        visible = false;
        return;
    }
    // The user closes the window.
    form_.userClose();
    if (!*alive || closed || !visible)
        return;
    note(u"stuck " + journalId_);
    visible = false;
    form_.faceHidden();
}

void RecordingFormPeer::hide()
{
    visible = false;
    note(u"hide " + journalId_);
}

void RecordingFormPeer::close()
{
    visible = false;
    closed = true;
    note(u"close " + journalId_);
}

// --- RecordingFace ---------------------------------------------------------------------

RecordingFace::RecordingFace() = default;

RecordingFace::~RecordingFace()
{
    for (RecordingFormPeer *window : windows_)
        window->face_ = nullptr;
}

void RecordingFace::note(const std::u16string &line)
{
    told.push_back(line);
    if (journal)
        journal->push_back(line);
}

RecordingFace::ModalHook RecordingFace::modalHookFor(const std::string &id)
{
    if (const auto own = whileModalOf.find(id); own != whileModalOf.end())
        return own->second;
    if (!modalQueue.empty()) {
        ModalHook next = std::move(modalQueue.front());
        modalQueue.pop_front();
        return next;
    }
    return whileModal;
}

std::unique_ptr<forms::FormPeer> RecordingFace::createForm(forms::Form &form, platform::WindowHandle owner)
{
    return std::make_unique<RecordingFormPeer>(*this, form, owner);
}

int RecordingFace::run()
{
    ++runs;
    note(u"run");
    if (whileRunning) {
        const std::function<void()> loop = whileRunning;
        loop();
    }
    return quitStatus.value_or(0);
}

void RecordingFace::quit(int status)
{
    ++quits;
    quitStatus = status;
    note(u"quit " + text::number(status));
}

std::vector<RecordingFace::OpenForm> RecordingFace::openForms() const
{
    std::vector<OpenForm> open;
    for (RecordingFormPeer *window : windows_) {
        if (!window->closed)
            open.push_back(OpenForm{window->id_, &window->form_, window->handle(), window->owner_, window->ownerId_,
                                    window->visible, window->modalDepth > 0});
    }
    return open;
}

std::vector<std::string> RecordingFace::openIds() const
{
    std::vector<std::string> ids;
    for (const OpenForm &open : openForms())
        ids.push_back(open.id);
    return ids;
}

std::vector<std::string> RecordingFace::modalStack() const
{
    std::vector<std::string> ids;
    for (const RecordingFormPeer *window : modalStack_)
        ids.push_back(window->id_);
    return ids;
}

RecordingFormPeer *RecordingFace::windowOf(platform::WindowHandle handle) const
{
    for (RecordingFormPeer *window : windows_) {
        if (window->handle() == handle)
            return window;
    }
    return nullptr;
}

forms::Form *RecordingFace::formOf(platform::WindowHandle handle) const
{
    RecordingFormPeer *window = windowOf(handle);
    return window ? &window->form_ : nullptr;
}

RecordingFormPeer *RecordingFace::window(std::string_view id) const
{
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
        if ((*it)->id_ == id)
            return *it;
    }
    return nullptr;
}

RecordingFormPeer &RecordingFace::peerOf(const forms::Form &form) const
{
    for (RecordingFormPeer *window : windows_) {
        if (&window->form_ == &form)
            return *window;
    }
    throw std::out_of_range("the window " + std::string(form.design().id) + " was not made by this face");
}

RecordingControlPeer &RecordingFace::peerOf(const forms::Control &control) const
{
    for (RecordingControlPeer *peer : peerOf(control.form()).controls_) {
        if (&peer->control_ == &control)
            return *peer;
    }
    throw std::out_of_range("the control " + controlId(control.design()) + " was not made by this face");
}

namespace {

template <class T>
void compare(std::u16string &out, const std::u16string &who, const char16_t *what, const T &shows, const T &holds,
             std::u16string (*show)(const T &))
{
    if (shows == holds)
        return;
    out += (out.empty() ? u"" : u"\n") + who + u" " + what + u": shows " + show(shows) + u", holds " + show(holds);
}

std::u16string showText(const std::u16string &value)
{
    return u"'" + value + u"'";
}
std::u16string showBool(const bool &value)
{
    return flag(value);
}
std::u16string showInt(const int &value)
{
    return text::number(value);
}
std::u16string showPlace(const forms::Twips &value)
{
    return placeText(value);
}
std::u16string showIcon(const forms::Icon &value)
{
    return iconText(value);
}

} // namespace

std::u16string RecordingFace::mismatches(const forms::Form &form) const
{
    const RecordingFormPeer &window = peerOf(form);
    std::u16string out;
    const std::u16string &w = window.journalId_;
    compare(out, w, u"caption", window.caption, form.Caption(), showText);
    compare(out, w, u"icon", window.icon, form.icon(), showIcon);
    compare(out, w, u"width", window.width, form.width(), showInt);
    compare(out, w, u"height", window.height, form.height(), showInt);
    compare(out, w, u"visible", window.visible, form.isVisible(), showBool);
    compare(out, w, u"closed", window.closed, form.isUnloaded(), showBool);
    for (const RecordingControlPeer *peer : window.controls_) {
        const forms::Control &c = peer->control_;
        const std::u16string &who = peer->journalName_;
        compare(out, who, u"caption", peer->caption, c.Caption(), showText);
        compare(out, who, u"enabled", peer->enabled, c.Enabled(), showBool);
        compare(out, who, u"visible", peer->visible, c.Visible(), showBool);
        compare(out, who, u"value", int(peer->value), int(c.Value()), showInt);
        compare(out, who, u"text", peer->text, c.Text(), showText);
        compare(out, who, u"place", peer->place, c.place(), showPlace);
        compare(out, who, u"accessible name", peer->accessibleName, c.accessibleName(), showText);
        if (c.kind() == forms::Kind::Timer) {
            compare(out, who, u"interval", peer->interval, c.Interval(), showInt);
            const bool runs = c.Enabled() && c.Interval() > 0 && form.isLoaded();
            compare(out, who, u"running", peer->running, runs, showBool);
        }
    }
    return out;
}

void RecordingFace::typeText(forms::Control &control, std::u16string typed)
{
    peerOf(control).text = typed;
    control.userText(std::move(typed));
}

std::vector<forms::Control *> RecordingFace::runningTimers() const
{
    std::vector<forms::Control *> timers;
    for (const RecordingFormPeer *window : windows_) {
        for (const RecordingControlPeer *peer : window->controls_) {
            if (peer->control_.kind() == forms::Kind::Timer && peer->running)
                timers.push_back(&peer->control_);
        }
    }
    return timers;
}

int RecordingFace::tick(std::string_view id)
{
    // A tick may close windows or change other timers: gather first, then
    // tick each timer that still exists and still runs.
    struct Due {
        std::shared_ptr<bool> alive;
        RecordingControlPeer *peer;
    };
    std::vector<Due> due;
    for (const RecordingFormPeer *window : windows_) {
        for (RecordingControlPeer *peer : window->controls_) {
            const bool named = id.empty() || peer->id_ == id || text::utf8(peer->journalName_) == id;
            if (named && peer->control_.kind() == forms::Kind::Timer && peer->running)
                due.push_back(Due{peer->alive_, peer});
        }
    }
    int ticked = 0;
    for (const Due &d : due) {
        if (!*d.alive || !d.peer->running)
            continue;
        ++ticked;
        d.peer->control_.tick();
    }
    return ticked;
}

int RecordingFace::tickAll()
{
    return tick({});
}

int RecordingFace::textWidth(std::u16string_view caption, const forms::Font &font)
{
    int units = 0;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&') {
            // "&&" shows one ampersand; a lone '&' marks the mnemonic.
            if (i + 1 < caption.size() && caption[i + 1] == u'&') {
                ++units;
                ++i;
            }
            continue;
        }
        ++units;
    }
    double width = units * 90.0 * font.points / 8.25;
    if (font.bold)
        width *= 1.1;
    return static_cast<int>(std::lround(width));
}

int RecordingFace::neededWidth(forms::Kind kind, std::u16string_view caption, const forms::Font &font)
{
    return textWidth(caption, font) + (kind == forms::Kind::Frame ? 300 : 0);
}

std::vector<std::u16string> only(const std::vector<std::u16string> &journal,
                                 std::initializer_list<std::u16string_view> verbs)
{
    std::vector<std::u16string> lines;
    for (const std::u16string &line : journal) {
        const std::u16string_view verb = std::u16string_view(line).substr(0, line.find(u' '));
        if (std::find(verbs.begin(), verbs.end(), verb) != verbs.end())
            lines.push_back(line);
    }
    return lines;
}

} // namespace testsupport
