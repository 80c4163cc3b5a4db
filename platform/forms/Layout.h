#pragma once

// A window written once: the table of its controls. Each face builds the
// real window from the same table, so places, captions, tab order and keys
// are one and the same on every platform.
//
// Places are in twips (1/1440 inch), as the windows were designed: 15 twips
// to a pixel at 96 dots per inch, scaled by the face for the display.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace forms {

// Left, top, width and height, in twips.
struct Twips {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int right() const { return left + width; } // the first twip past the edge
    bool operator==(const Twips &) const = default;
};

// A face by size and style; every window is drawn in the program's one
// family (the face picks it: "MS Sans Serif" where the system has it).
struct Font {
    double points = 8.25;
    bool bold = false;
    bool underline = false;
    bool operator==(const Font &) const = default;
};

enum class Kind {
    Frame,     // a titled group box; its controls stand inside it
    Option,    // an option button; the options of one container form a group
    Check,     // a check box
    Button,    // a command button
    Label,     // a text
    Link,      // a text that acts as a link: underlined face, hand pointer, Tab stop
    TextBox,   // one line of editable text
    Line,      // a thin horizontal rule (its height is one pixel)
    Menu,      // a menu of the menu bar
    MenuItem,  // an item of a menu
    Separator, // a line between menu items
    Timer,     // no window: ticks at its interval while enabled
};

// Flags of a control.
enum Flag : unsigned {
    NoFlags = 0,
    Default = 1u << 0,      // Enter presses it
    Cancel = 1u << 1,       // Escape presses it
    Group = 1u << 2,        // starts a group: arrow keys move within it
    Disabled = 1u << 3,     // not enabled when the window opens
    Hidden = 1u << 4,       // not visible when the window opens
    AlignTop = 1u << 5,     // a label's text drawn from its top (else centred)
    Tristate = 1u << 6,     // a check box that can also show greyed (value 2)
    ClickReported = 1u << 7 // a label whose click is reported, though it takes no focus
};

// Flags of a window.
enum FormFlag : unsigned {
    NoFormFlags = 0,
    MainWindow = 1u << 0,     // the program's window: menu bar, close box, the program ends with it
    CentreOnScreen = 1u << 1, // opens centred on the screen (else over its owner)
};

// The icons a window may show.
enum class Icon { None, Program };

struct ControlSpec {
    Kind kind;
    std::string_view name;      // as the program names it: "optAction"
    int index;                  // its index in a group of like controls, -1 when alone
    std::string_view id;        // the window system's name for it: "optAction0"
    std::string_view container; // id of the frame or menu it stands in; empty: the window
    std::u16string_view caption;
    Twips place;                // within its container
    int tabIndex;               // its place in the Tab order, -1 when Tab never stops on it
    unsigned flags = NoFlags;
    Font font = {};
};

struct FormSpec {
    std::string_view id;         // the window system's name for the window ("frmIntegrate")
    std::u16string_view caption;
    int width;                   // of the client area, in twips
    int height;
    unsigned flags = NoFormFlags;
    Font font = {};
    std::string_view focus = {}; // id of the control that has the focus at opening; empty: the face's choice
    Icon icon = Icon::None;
    std::span<const ControlSpec> controls = {};
};

} // namespace forms
