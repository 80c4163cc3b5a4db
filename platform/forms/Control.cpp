#include "platform/forms/Control.h"

#include "host/Failure.h"
#include "platform/forms/Form.h"

namespace forms {

Control::Control(Form &form, const ControlSpec &design)
    : form_(form), design_(design), caption_(design.caption), place_(design.place), enabled_(!(design.flags & Disabled)),
      visible_(!(design.flags & Hidden))
{
}

void Control::attach(std::unique_ptr<ControlPeer> peer)
{
    peer_ = std::move(peer);
}

void Control::setCaption(std::u16string caption)
{
    if (caption == caption_)
        return;
    caption_ = std::move(caption);
    if (peer_)
        peer_->setCaption(caption_);
}

void Control::setEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    if (peer_) {
        peer_->setEnabled(enabled_);
        if (kind() == Kind::Timer)
            showTimer();
    }
}

void Control::setVisible(bool visible)
{
    if (visible == visible_)
        return;
    visible_ = visible;
    if (peer_)
        peer_->setVisible(visible_);
}

void Control::showValue(std::int16_t value)
{
    value_ = value;
    if (peer_)
        peer_->setValue(value_);
}

void Control::setValue(std::int16_t value)
{
    const bool valid = kind() == Kind::Check ? (value >= 0 && value <= 2) : (value == 0 || value == 1);
    if (!valid)
        throw host::Failure(host::Failure::InvalidPropertyValue, u"Invalid property value");
    if (value == value_)
        return;
    if (kind() == Kind::Option && value == 1) {
        // One option of a group at a time; the others are cleared quietly.
        for (const auto &other : form_.controls()) {
            if (other.get() != this && other->kind() == Kind::Option && other->design().container == design_.container
                && other->value_ != 0)
                other->showValue(0);
        }
    }
    showValue(value);
    // An option raises its Click when it becomes the selected one, not
    // when the program clears it; a check box on every change.
    if (kind() == Kind::Check || value == 1)
        raise(Click);
}

void Control::setText(std::u16string text)
{
    if (text == text_)
        return;
    text_ = std::move(text);
    if (peer_)
        peer_->setText(text_);
}

void Control::setPlace(const Twips &place)
{
    if (place == place_)
        return;
    place_ = place;
    if (peer_)
        peer_->setPlace(place_);
}

void Control::setAccessibleName(std::u16string name)
{
    if (name == accessibleName_)
        return;
    accessibleName_ = std::move(name);
    if (peer_)
        peer_->setAccessibleName(accessibleName_);
}

void Control::setInterval(int milliseconds)
{
    const int interval = milliseconds < 0 ? 0 : milliseconds;
    if (interval == interval_)
        return;
    interval_ = interval;
    showTimer();
}

bool Control::timerRuns() const
{
    return enabled_ && interval_ > 0 && form_.isLoaded();
}

void Control::showTimer()
{
    if (peer_)
        peer_->setTimer(interval_, timerRuns());
}

int Control::neededWidth() const
{
    return peer_ ? peer_->neededWidth() : 0;
}

void Control::raise(const std::function<void()> &event)
{
    if (!event)
        return;
    // The handler may unload the window and with it this control: call a
    // copy, and touch nothing of this object afterwards.
    const std::function<void()> handler = event;
    handler();
}

void Control::userClick()
{
    if (form_.isUnloaded())
        return;
    // A label that reports clicks answers whatever its state; other
    // controls take a click only while they can be used.
    const bool reported = kind() == Kind::Label && (design_.flags & ClickReported);
    if (!reported && (!enabled_ || !visible_))
        return;
    switch (kind()) {
    case Kind::Option:
        setValue(1);
        break;
    case Kind::Check:
        // Checked becomes unchecked; unchecked and greyed become checked.
        setValue(value_ == 1 ? 0 : 1);
        break;
    case Kind::Button:
    case Kind::Link:
    case Kind::MenuItem:
        raise(Click);
        break;
    case Kind::Label:
        if (reported)
            raise(Click);
        break;
    case Kind::Frame:
    case Kind::TextBox:
    case Kind::Line:
    case Kind::Menu:
    case Kind::Separator:
    case Kind::Timer:
        break;
    }
}

void Control::userText(std::u16string text)
{
    if (kind() != Kind::TextBox || form_.isUnloaded())
        return;
    // The face shows the typed text already; the model follows it.
    text_ = std::move(text);
}

void Control::tick()
{
    if (kind() != Kind::Timer || !timerRuns())
        return;
    raise(Timer);
}

} // namespace forms
