#pragma once

// A window built from its table: the model that the procedures work on,
// and the face's window that shows it.
//
// Lifetime, as the program's windows have it: a form is loaded when it is
// first shown (or by load()), which runs its Load event once; it unloads
// once, by unload(), by its close box, or by Escape when it has no cancel
// button. Unloading runs the Unload event, closes the window and ends a
// modal show. Procedures that run while a form may unload under them ask
// isUnloaded() (platform::ErrorTrap does so at every statement).

#include "platform/PlatformServices.h"
#include "platform/forms/Control.h"
#include "platform/forms/Face.h"
#include "platform/forms/Layout.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace forms {

class Form {
public:
    // Builds the window at once, owned by owner (null: none).
    Form(const FormSpec &design, Face &face, platform::WindowHandle owner = nullptr);
    ~Form();
    Form(const Form &) = delete;
    Form &operator=(const Form &) = delete;

    const FormSpec &design() const { return design_; }
    Face &face() const { return face_; }

    // The control the program names name (with its index in a group).
    // Asking for a control the table does not have is a programming error:
    // it throws std::out_of_range.
    Control &control(std::string_view name, int index = -1) const;
    // The control with the window system's name id, or null.
    Control *find(std::string_view id) const;
    const std::vector<std::unique_ptr<Control>> &controls() const { return controls_; }

    const std::u16string &Caption() const { return caption_; }
    void setCaption(std::u16string caption);
    Icon icon() const { return icon_; }
    void setIcon(Icon icon);
    // The client area, in twips. Growing a shown window keeps its centre.
    int width() const { return width_; }
    int height() const { return height_; }
    void setClientSize(int width, int height);

    // --- events -------------------------------------------------------------
    std::function<void()> Load;
    std::function<void()> Unload;
    // The close box, and Escape without a cancel button. Unset: unload().
    std::function<void()> CloseBox;

    // --- lifetime -------------------------------------------------------------
    void load();
    void show();
    // Shows the window modally and returns once it is hidden or unloaded.
    void showModal();
    void hide();
    void unload();
    bool isLoaded() const { return loaded_; }
    bool isUnloaded() const { return unloaded_; }
    bool isVisible() const { return visible_; }
    // A trap's test for a window that went away under its procedure.
    std::function<bool()> unloadedTest() const;
    platform::WindowHandle handle() const;

    // --- what the user does, as the face reports it -------------------------------
    // The close box.
    void userClose();
    // Enter: presses the default button, if it is enabled.
    void userEnter();
    // Escape: presses the cancel button, if any and enabled; without one,
    // acts as the close box.
    void userEscape();
    // The face hid or closed the window on its own (its modal loop ended).
    void faceHidden() { visible_ = false; }

    // The button with the given flag (Default or Cancel), or null.
    Control *buttonWith(Flag flag) const;
    FormPeer *peer() const { return peer_.get(); }

private:
    const FormSpec &design_;
    Face &face_;
    std::unique_ptr<FormPeer> peer_;
    std::vector<std::unique_ptr<Control>> controls_;
    std::u16string caption_;
    Icon icon_;
    int width_;
    int height_;
    bool loaded_ = false;
    bool unloaded_ = false;
    bool visible_ = false;
    // Shared with the tests handed out by unloadedTest(), which may outlive
    // the form.
    std::shared_ptr<bool> gone_ = std::make_shared<bool>(false);
};

} // namespace forms
