#include "platform/forms/Form.h"

#include <stdexcept>
#include <string>

namespace forms {

Form::Form(const FormSpec &design, Face &face, platform::WindowHandle owner)
    : design_(design), face_(face), caption_(design.caption), icon_(design.icon), width_(design.width), height_(design.height)
{
    peer_ = face_.createForm(*this, owner);
    controls_.reserve(design.controls.size());
    for (const ControlSpec &c : design.controls)
        controls_.push_back(std::make_unique<Control>(*this, c));
    for (const auto &c : controls_)
        c->attach(peer_->createControl(*c));
    peer_->finishBuilding();
}

Form::~Form()
{
    *gone_ = true;
    // The controls' windows go before the window that holds them.
    for (const auto &c : controls_)
        c->attach(nullptr);
    peer_.reset();
}

Control &Form::control(std::string_view name, int index) const
{
    for (const auto &c : controls_) {
        if (c->design().name == name && c->design().index == index)
            return *c;
    }
    throw std::out_of_range("no control " + std::string(name) + "(" + std::to_string(index) + ") on "
                            + std::string(design_.id));
}

Control *Form::find(std::string_view id) const
{
    for (const auto &c : controls_) {
        if (c->design().id == id)
            return c.get();
    }
    return nullptr;
}

Control *Form::buttonWith(Flag flag) const
{
    for (const auto &c : controls_) {
        if (c->kind() == Kind::Button && (c->design().flags & flag))
            return c.get();
    }
    return nullptr;
}

void Form::setCaption(std::u16string caption)
{
    if (caption == caption_)
        return;
    caption_ = std::move(caption);
    peer_->setCaption(caption_);
}

void Form::setIcon(Icon icon)
{
    if (icon == icon_)
        return;
    icon_ = icon;
    peer_->setIcon(icon_);
}

void Form::setClientSize(int width, int height)
{
    if (width == width_ && height == height_)
        return;
    width_ = width;
    height_ = height;
    peer_->setClientSize(width_, height_);
}

std::function<bool()> Form::unloadedTest() const
{
    std::shared_ptr<bool> gone = gone_;
    return [gone] { return *gone; };
}

platform::WindowHandle Form::handle() const
{
    return peer_->handle();
}

void Form::load()
{
    if (loaded_ || unloaded_)
        return;
    loaded_ = true;
    // Timers armed before loading start now.
    for (const auto &c : controls_) {
        if (c->kind() == Kind::Timer && c->timerRuns())
            c->showTimer();
    }
    if (Load) {
        const std::function<void()> handler = Load;
        handler();
    }
}

void Form::show()
{
    load();
    if (unloaded_)
        return;
    visible_ = true;
    peer_->show();
}

void Form::showModal()
{
    load();
    // Loading may have unloaded the window again.
    if (unloaded_)
        return;
    visible_ = true;
    peer_->showModal();
    visible_ = false;
}

void Form::hide()
{
    if (!visible_)
        return;
    visible_ = false;
    peer_->hide();
}

void Form::unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    *gone_ = true;
    if (loaded_) {
        loaded_ = false;
        if (Unload) {
            const std::function<void()> handler = Unload;
            handler();
        }
    }
    // Everything on the window stops with it, its timers included.
    for (const auto &c : controls_) {
        if (c->kind() == Kind::Timer)
            c->setEnabled(false);
    }
    visible_ = false;
    peer_->close();
}

void Form::userClose()
{
    if (unloaded_)
        return;
    if (CloseBox) {
        const std::function<void()> handler = CloseBox;
        handler();
    } else {
        unload();
    }
}

void Form::userEnter()
{
    if (Control *button = buttonWith(Default))
        button->userClick();
}

void Form::userEscape()
{
    if (Control *button = buttonWith(Cancel))
        button->userClick();
    else
        userClose();
}

} // namespace forms
