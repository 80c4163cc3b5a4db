// The Win32 face, seen through Win32 itself: a small window built from a
// table in this program, its controls found by their ids and read back with
// GetClassNameW, GetWindowTextW, GetWindowRect and the controls' own
// messages; and the user's acts (BM_CLICK, keys handed to the face's loop,
// which gives them to IsDialogMessageW) reaching the model by its rules.
// Needs a display (CTest runs it under xvfb-run).

#include "platform/forms/Control.h"
#include "platform/forms/Form.h"
#include "platform/win32/Win32Face.h"
#include "platform/win32/WindowFonts.h"
#include "resources/ResourceIds.h"
#include "tests/windows/Check.h"

#include <commctrl.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace forms;
using platform::win32::Win32Face;

// --- the tables -----------------------------------------------------------------------

constexpr ControlSpec MainControls[] = {
    {Kind::Menu, "mnuFile", -1, "mnuFile", {}, u"&File", {}, -1},
    {Kind::MenuItem, "mnuOpen", -1, "mnuOpen", "mnuFile", u"&Open...", {}, -1},
    {Kind::Separator, "mnuSep", -1, "mnuSep", "mnuFile", u"", {}, -1},
    {Kind::MenuItem, "mnuExit", -1, "mnuExit", "mnuFile", u"E&xit", {}, -1, Disabled},
    {Kind::Frame, "fraChoice", -1, "fraChoice", {}, u"Choice:", {210, 225, 3600, 1755}, 0},
    {Kind::Option, "optChoice", 0, "optChoice0", "fraChoice", u"&First", {255, 375, 2055, 375}, 1, Group},
    {Kind::Option, "optChoice", 1, "optChoice1", "fraChoice", u"&Second", {255, 750, 2055, 375}, 2},
    {Kind::Check, "chkKeep", -1, "chkKeep", "fraChoice", u"&Keep", {255, 1125, 1500, 375}, 3, Tristate},
    {Kind::TextBox, "txtName", -1, "txtName", {}, u"", {210, 2100, 3600, 315}, 4},
    {Kind::Button, "cmdOK", -1, "cmdOK", {}, u"&OK", {4050, 360, 1000, 325}, 5, Default},
    {Kind::Button, "cmdCancel", -1, "cmdCancel", {}, u"&Cancel", {4050, 795, 1000, 325}, 6, Cancel},
    {Kind::Link, "lblLink", -1, "lblLink", {}, u"www.example.com", {210, 2550, 1800, 255}, 7, AlignTop,
     {8.25, false, true}},
    {Kind::Label, "lblNote", -1, "lblNote", {}, u"A & B", {2100, 2550, 1800, 255}, -1, ClickReported},
    {Kind::Label, "lblBig", -1, "lblBig", {}, u"Title", {2100, 2850, 1800, 360}, -1, NoFlags, {13.5, true, false}},
    {Kind::Line, "linRule", -1, "linRule", {}, u"", {53, 3300, 5000, 0}, -1},
    {Kind::Timer, "tmrTick", -1, "tmrTick", {}, u"", {}, -1},
};
constexpr FormSpec MainLayout{"frmTest", u"Face test", 5265, 3450, MainWindow | CentreOnScreen, {}, {},
                              Icon::Program, MainControls};

// A dialog with a default button and no cancel button.
constexpr ControlSpec WaitControls[] = {
    {Kind::Label, "lblText", -1, "lblText", {}, u"Waiting", {120, 120, 2000, 255}, -1},
    {Kind::Button, "cmdClose", -1, "cmdClose", {}, u"Close", {120, 500, 1000, 325}, 0, Default},
    {Kind::Timer, "tmrTick", -1, "tmrTick", {}, u"", {}, -1},
};
constexpr FormSpec WaitLayout{"frmWait", u"Waiting dialog", 2400, 1000, NoFormFlags, {}, {}, Icon::None,
                              WaitControls};

// --- reading the windows back ---------------------------------------------------------

int dpi()
{
    HDC screen = GetDC(nullptr);
    const int value = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return value;
}

int px(int twips)
{
    return MulDiv(twips, dpi(), 1440);
}

HWND hwnd(const Form &form)
{
    return reinterpret_cast<HWND>(form.handle());
}

// A control's window: its id is the face's first id plus its row.
HWND item(const Form &form, std::string_view id)
{
    for (std::size_t row = 0; row < form.controls().size(); ++row) {
        if (form.controls()[row]->design().id == id)
            return GetDlgItem(hwnd(form), Win32Face::FirstControlId + int(row));
    }
    return nullptr;
}

int idOf(const Form &form, std::string_view id)
{
    for (std::size_t row = 0; row < form.controls().size(); ++row) {
        if (form.controls()[row]->design().id == id)
            return Win32Face::FirstControlId + int(row);
    }
    return 0;
}

std::wstring className(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring text(HWND window)
{
    std::wstring value(std::size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    value.resize(std::size_t(GetWindowTextW(window, value.data(), int(value.size()))));
    return value;
}

LONG_PTR style(HWND window)
{
    return GetWindowLongPtrW(window, GWL_STYLE);
}

// Where a control stands in its window's client area.
RECT placeIn(HWND window, HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT *>(&rect), 2);
    return rect;
}

bool visible(HWND window)
{
    return (style(window) & WS_VISIBLE) != 0;
}

// The face's loop, until the queue is empty.
void pump(Win32Face &face)
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        face.dispatchMessage(message);
}

// A key pressed on the focused control, through the face's loop.
void press(Win32Face &face, WPARAM key)
{
    HWND focus = GetFocus();
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, LPARAM(0xC0000001u));
    pump(face);
}

void focus(Win32Face &face, HWND control)
{
    SendMessageW(GetParent(control), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    pump(face);
}

struct Counter {
    int clicks = 0;
    std::function<void()> handler()
    {
        return [this] { ++clicks; };
    }
};

// --- the cases ------------------------------------------------------------------------

// The window: its frame, client size, place on the screen, title, icon and
// menu bar.
void windowFrame()
{
    Win32Face face;
    Form form(MainLayout, face);
    form.show();
    pump(face);
    HWND window = hwnd(form);
    CHECK(window == FindWindowW(nullptr, L"Face test"));
    CHECK(IsWindowVisible(window));
    CHECK_EQ(text(window), std::wstring(L"Face test"));

    const LONG_PTR frame = style(window);
    CHECK((frame & WS_CAPTION) == WS_CAPTION);
    CHECK(frame & WS_SYSMENU);
    CHECK(!(frame & WS_THICKFRAME));
    CHECK(!(frame & WS_MINIMIZEBOX));
    CHECK(!(frame & WS_MAXIMIZEBOX));

    RECT client;
    GetClientRect(window, &client);
    CHECK_EQ(client.right, px(5265));
    CHECK_EQ(client.bottom, px(3450));

    // Centred on the work area.
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT outer;
    GetWindowRect(window, &outer);
    CHECK(std::abs((outer.left + outer.right) - (work.left + work.right)) <= 2);
    CHECK(std::abs((outer.top + outer.bottom) - (work.top + work.bottom)) <= 2);

    // The program icon from the resources, big and small.
    CHECK(SendMessageW(window, WM_GETICON, ICON_SMALL, 0) != 0);
    CHECK(SendMessageW(window, WM_GETICON, ICON_BIG, 0) != 0);

    // The menu bar from the table.
    HMENU bar = GetMenu(window);
    if (CHECK(bar != nullptr)) {
        CHECK_EQ(GetMenuItemCount(bar), 1);
        wchar_t caption[64] = {};
        GetMenuStringW(bar, 0, caption, 64, MF_BYPOSITION);
        CHECK_EQ(std::wstring(caption), std::wstring(L"&File"));
        HMENU file = GetSubMenu(bar, 0);
        CHECK_EQ(GetMenuItemCount(file), 3);
        GetMenuStringW(file, 0, caption, 64, MF_BYPOSITION);
        CHECK_EQ(std::wstring(caption), std::wstring(L"&Open..."));
        CHECK(GetMenuState(file, 1, MF_BYPOSITION) & MF_SEPARATOR);
        CHECK(GetMenuState(file, 2, MF_BYPOSITION) & MF_GRAYED);
        CHECK_EQ(GetMenuItemID(file, 0), UINT(idOf(form, "mnuOpen")));
    }
}

// Each control: its class, text, place (a frame's controls at their places
// in the frame, translated to the window), style and font.
void controls()
{
    Win32Face face;
    Form form(MainLayout, face);
    form.show();
    pump(face);
    HWND window = hwnd(form);

    struct Expected {
        const char *id;
        const wchar_t *windowClass;
        const wchar_t *text;
        LONG_PTR type; // the style's type bits (BS_TYPEMASK or SS_TYPEMASK)
        Twips place;   // in the window
        bool tabStop;
    };
    const Expected expected[] = {
        {"fraChoice", L"Button", L"Choice:", BS_GROUPBOX, {210, 225, 3600, 1755}, false},
        {"optChoice0", L"Button", L"&First", BS_RADIOBUTTON, {210 + 255, 225 + 375, 2055, 375}, true},
        {"optChoice1", L"Button", L"&Second", BS_RADIOBUTTON, {210 + 255, 225 + 750, 2055, 375}, true},
        {"chkKeep", L"Button", L"&Keep", BS_3STATE, {210 + 255, 225 + 1125, 1500, 375}, true},
        {"txtName", L"Edit", L"", -1, {210, 2100, 3600, 315}, true},
        {"cmdOK", L"Button", L"&OK", BS_DEFPUSHBUTTON, {4050, 360, 1000, 325}, true},
        {"cmdCancel", L"Button", L"&Cancel", BS_PUSHBUTTON, {4050, 795, 1000, 325}, true},
        {"lblLink", L"Static", L"www.example.com", SS_LEFTNOWORDWRAP, {210, 2550, 1800, 255}, true},
        {"lblNote", L"Static", L"A & B", SS_LEFTNOWORDWRAP, {2100, 2550, 1800, 255}, false},
        {"lblBig", L"Static", L"Title", SS_LEFTNOWORDWRAP, {2100, 2850, 1800, 360}, false},
    };
    for (const Expected &e : expected) {
        std::printf("  %s\n", e.id);
        HWND control = item(form, e.id);
        if (!CHECK(control != nullptr))
            continue;
        CHECK(GetParent(control) == window);
        CHECK(CompareStringOrdinal(className(control).c_str(), -1, e.windowClass, -1, TRUE) == CSTR_EQUAL);
        CHECK_EQ(text(control), std::wstring(e.text));
        if (e.type >= 0) {
            const LONG_PTR mask = std::wstring(e.windowClass) == L"Static" ? SS_TYPEMASK : BS_TYPEMASK;
            CHECK_EQ(style(control) & mask, e.type);
        }
        const RECT place = placeIn(window, control);
        CHECK_EQ(place.left, px(e.place.left));
        CHECK_EQ(place.top, px(e.place.top));
        CHECK_EQ(place.right - place.left, px(e.place.width));
        CHECK_EQ(place.bottom - place.top, px(e.place.height));
        CHECK_EQ((style(control) & WS_TABSTOP) != 0, e.tabStop);
        CHECK(visible(control));
        CHECK(SendMessageW(control, WM_GETFONT, 0, 0) != 0);
    }

    // A label without a mnemonic shows its & as it is; the link reports
    // clicks, the plain label that reports clicks too.
    CHECK(style(item(form, "lblNote")) & SS_NOPREFIX);
    CHECK(style(item(form, "lblNote")) & SS_NOTIFY);
    CHECK(style(item(form, "lblLink")) & SS_NOTIFY);
    CHECK(!(style(item(form, "lblBig")) & SS_NOTIFY));
    // The text box takes text of any length.
    CHECK(SendMessageW(item(form, "txtName"), EM_GETLIMITTEXT, 0, 0) >= 0x7FFFFFFE);

    // The fonts: the window's, the link's underlined, the title's bold and
    // larger; one family for all.
    auto fontOf = [&](const char *id) {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(item(form, id), WM_GETFONT, 0, 0)), sizeof font, &font);
        return font;
    };
    const LOGFONTW plain = fontOf("cmdOK");
    const LOGFONTW link = fontOf("lblLink");
    const LOGFONTW title = fontOf("lblBig");
    CHECK_EQ(plain.lfHeight, -MulDiv(825, dpi(), 7200));
    CHECK(!plain.lfUnderline);
    CHECK(link.lfUnderline);
    CHECK_EQ(link.lfHeight, plain.lfHeight);
    CHECK_EQ(title.lfWeight, LONG(FW_BOLD));
    CHECK_EQ(title.lfHeight, -MulDiv(1350, dpi(), 7200));
    CHECK_EQ(std::wstring(plain.lfFaceName), face.fonts().family());
    CHECK_EQ(std::wstring(title.lfFaceName), face.fonts().family());
    if (platform::win32::fontFamilyExists(L"MS Sans Serif"))
        CHECK_EQ(face.fonts().family(), std::wstring(L"MS Sans Serif"));

    // The rule: one pixel high, from its left edge to its right one.
    const RECT rule = placeIn(window, item(form, "linRule"));
    CHECK_EQ(rule.bottom - rule.top, 1);
    CHECK_EQ(rule.left, px(53));
    CHECK_EQ(rule.right, px(5053));

    // Tab walks the table's order; of two options with none selected, each
    // is a stop.
    std::vector<std::string> order;
    HWND first = GetNextDlgTabItem(window, nullptr, FALSE);
    for (HWND at = first; at && order.size() < 20;) {
        for (const auto &c : form.controls()) {
            if (item(form, c->design().id) == at)
                order.emplace_back(c->design().id);
        }
        at = GetNextDlgTabItem(window, at, FALSE);
        if (at == first)
            break;
    }
    const std::vector<std::string> tabOrder = {"optChoice0", "optChoice1", "chkKeep", "txtName",
                                               "cmdOK",      "cmdCancel",  "lblLink"};
    CHECK(order == tabOrder);
    // The options form one group of the arrow keys; every other control is
    // a group of its own.
    CHECK(style(item(form, "optChoice0")) & WS_GROUP);
    CHECK(!(style(item(form, "optChoice1")) & WS_GROUP));
    CHECK(style(item(form, "chkKeep")) & WS_GROUP);
    CHECK(style(item(form, "cmdCancel")) & WS_GROUP);
    // Enter's button.
    CHECK_EQ(LOWORD(SendMessageW(window, DM_GETDEFID, 0, 0)), WORD(idOf(form, "cmdOK")));
}

// The model's changes are shown: captions, states, places; a frame's
// controls follow the frame.
void modelShown()
{
    Win32Face face;
    Form form(MainLayout, face);
    form.show();
    pump(face);
    HWND window = hwnd(form);

    form.control("cmdOK").setCaption(u"&Go");
    CHECK_EQ(text(item(form, "cmdOK")), std::wstring(L"&Go"));
    form.control("cmdOK").setEnabled(false);
    CHECK(!IsWindowEnabled(item(form, "cmdOK")));
    form.control("cmdOK").setEnabled(true);
    CHECK(IsWindowEnabled(item(form, "cmdOK")));
    form.control("cmdCancel").setVisible(false);
    CHECK(!visible(item(form, "cmdCancel")));
    form.control("cmdCancel").setVisible(true);
    CHECK(visible(item(form, "cmdCancel")));
    form.setCaption(u"Renamed \u03A9");
    CHECK_EQ(text(window), std::wstring(L"Renamed \u03A9"));

    // A caption with a mnemonic underlines; one without shows its &.
    form.control("lblNote").setCaption(u"&Name:");
    CHECK(!(style(item(form, "lblNote")) & SS_NOPREFIX));
    form.control("lblNote").setCaption(u"Tom & Jerry");
    CHECK(style(item(form, "lblNote")) & SS_NOPREFIX);

    // The frame goes, is disabled and moves with what stands in it.
    Control &frame = form.control("fraChoice");
    frame.setEnabled(false);
    CHECK(!IsWindowEnabled(item(form, "optChoice0")));
    CHECK(!IsWindowEnabled(item(form, "chkKeep")));
    form.control("chkKeep").setEnabled(false);
    frame.setEnabled(true);
    CHECK(IsWindowEnabled(item(form, "optChoice0")));
    CHECK(!IsWindowEnabled(item(form, "chkKeep"))); // disabled of its own
    form.control("chkKeep").setEnabled(true);
    frame.setVisible(false);
    CHECK(!visible(item(form, "optChoice1")));
    frame.setVisible(true);
    CHECK(visible(item(form, "optChoice1")));
    frame.setPlace({300, 300, 3600, 1755});
    const RECT moved = placeIn(window, item(form, "optChoice1"));
    CHECK_EQ(moved.left, px(300) + px(255));
    CHECK_EQ(moved.top, px(300) + px(750));

    // The client area grows about its centre.
    RECT before;
    GetWindowRect(window, &before);
    form.setClientSize(6000, 3450);
    RECT client;
    GetClientRect(window, &client);
    CHECK_EQ(client.right, px(6000));
    RECT after;
    GetWindowRect(window, &after);
    CHECK(std::abs((after.left + after.right) - (before.left + before.right)) <= 2);

    // Menu items follow the model.
    form.control("mnuOpen").setCaption(u"&Load...");
    form.control("mnuExit").setEnabled(true);
    HMENU file = GetSubMenu(GetMenu(window), 0);
    wchar_t caption[64] = {};
    GetMenuStringW(file, 0, caption, 64, MF_BYPOSITION);
    CHECK_EQ(std::wstring(caption), std::wstring(L"&Load..."));
    CHECK(!(GetMenuState(file, 2, MF_BYPOSITION) & MF_GRAYED));
    form.control("mnuSep").setVisible(false);
    CHECK_EQ(GetMenuItemCount(GetSubMenu(GetMenu(window), 0)), 2);

    // Accessible names do not change what the control shows.
    form.control("chkKeep").setAccessibleName(u"Keep the choice");
    CHECK_EQ(text(item(form, "chkKeep")), std::wstring(L"&Keep"));
}

// Options: a click selects one and clears the others, each raising Click
// only when it becomes the selected one; the model may clear them all; the
// arrow keys select as they move.
void optionGroup()
{
    Win32Face face;
    Form form(MainLayout, face);
    Counter first;
    Counter second;
    form.control("optChoice", 0).Click = first.handler();
    form.control("optChoice", 1).Click = second.handler();
    form.show();
    pump(face);
    HWND one = item(form, "optChoice0");
    HWND two = item(form, "optChoice1");

    SendMessageW(two, BM_CLICK, 0, 0);
    pump(face);
    CHECK_EQ(form.control("optChoice", 1).Value(), 1);
    CHECK_EQ(form.control("optChoice", 0).Value(), 0);
    CHECK_EQ(SendMessageW(two, BM_GETCHECK, 0, 0), BST_CHECKED);
    CHECK_EQ(SendMessageW(one, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    CHECK_EQ(second.clicks, 1);
    // Tab stops on the selected option only.
    CHECK(style(two) & WS_TABSTOP);
    CHECK(!(style(one) & WS_TABSTOP));

    // A second click on the selected option raises nothing.
    SendMessageW(two, BM_CLICK, 0, 0);
    pump(face);
    CHECK_EQ(second.clicks, 1);

    SendMessageW(one, BM_CLICK, 0, 0);
    pump(face);
    CHECK_EQ(SendMessageW(one, BM_GETCHECK, 0, 0), BST_CHECKED);
    CHECK_EQ(SendMessageW(two, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    CHECK_EQ(first.clicks, 1);
    CHECK_EQ(second.clicks, 1);

    // The model clears the group: none selected, each a Tab stop again.
    form.control("optChoice", 0).setValue(0);
    CHECK_EQ(SendMessageW(one, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    CHECK_EQ(SendMessageW(two, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    CHECK(style(one) & WS_TABSTOP);
    CHECK(style(two) & WS_TABSTOP);

    // Taking the focus from the keyboard selects nothing; the arrow key that
    // moves it does.
    focus(face, one);
    CHECK(GetFocus() == one);
    CHECK_EQ(form.control("optChoice", 0).Value(), 0);
    press(face, VK_DOWN);
    CHECK(GetFocus() == two);
    CHECK_EQ(form.control("optChoice", 1).Value(), 1);
    CHECK_EQ(second.clicks, 2);

    // A disabled option takes no click.
    form.control("optChoice", 0).setEnabled(false);
    CHECK(!IsWindowEnabled(one));
    SendMessageW(one, BM_CLICK, 0, 0);
    pump(face);
    CHECK_EQ(form.control("optChoice", 0).Value(), 0);
    CHECK_EQ(first.clicks, 1);
}

// A check box shows all three states; a click or Space toggles checked and
// unchecked, greyed becoming checked.
void checkBox()
{
    Win32Face face;
    Form form(MainLayout, face);
    Counter keep;
    Control &box = form.control("chkKeep");
    box.Click = keep.handler();
    form.show();
    pump(face);
    HWND window = item(form, "chkKeep");

    const struct {
        const char *how;
        std::int16_t value; // the model's value after the step
        LRESULT shown;
        int clicks;
    } steps[] = {
        {"set 2", 2, BST_INDETERMINATE, 1},
        {"click", 1, BST_CHECKED, 2},
        {"click", 0, BST_UNCHECKED, 3},
        {"click", 1, BST_CHECKED, 4},
        {"space", 0, BST_UNCHECKED, 5},
        {"set 2", 2, BST_INDETERMINATE, 6},
        {"space", 1, BST_CHECKED, 7},
        {"alt+k", 0, BST_UNCHECKED, 8},
    };
    for (const auto &step : steps) {
        std::printf("  %s\n", step.how);
        const std::string how = step.how;
        if (how == "set 2") {
            box.setValue(2);
        } else if (how == "click") {
            SendMessageW(window, BM_CLICK, 0, 0);
        } else if (how == "space") {
            focus(face, window);
            press(face, VK_SPACE);
        } else {
            // The mnemonic, from another control.
            focus(face, item(form, "cmdOK"));
            PostMessageW(GetFocus(), WM_SYSCHAR, L'k', LPARAM(0x20000001));
        }
        pump(face);
        CHECK_EQ(box.Value(), step.value);
        CHECK_EQ(SendMessageW(window, BM_GETCHECK, 0, 0), step.shown);
        CHECK_EQ(keep.clicks, step.clicks);
    }
}

// Enter presses the default button (a focused button takes it itself),
// Escape the cancel button; Enter and Space activate a focused link; a
// label that reports clicks reports them.
void keysAndClicks()
{
    Win32Face face;
    Form form(MainLayout, face);
    Counter ok;
    Counter cancel;
    Counter link;
    Counter note;
    Counter open;
    form.control("cmdOK").Click = ok.handler();
    form.control("cmdCancel").Click = cancel.handler();
    form.control("lblLink").Click = link.handler();
    form.control("lblNote").Click = note.handler();
    form.control("mnuOpen").Click = open.handler();
    form.show();
    pump(face);
    HWND window = hwnd(form);

    focus(face, item(form, "txtName"));
    press(face, VK_RETURN);
    CHECK_EQ(ok.clicks, 1);
    press(face, VK_ESCAPE);
    CHECK_EQ(cancel.clicks, 1);
    focus(face, item(form, "cmdCancel"));
    press(face, VK_RETURN);
    CHECK_EQ(cancel.clicks, 2);
    CHECK_EQ(ok.clicks, 1);

    // A disabled default button takes no Enter.
    form.control("cmdOK").setEnabled(false);
    focus(face, item(form, "txtName"));
    press(face, VK_RETURN);
    CHECK_EQ(ok.clicks, 1);
    form.control("cmdOK").setEnabled(true);

    // The link: Tab reaches it; Enter and Space activate it, a held key
    // once; a click does too.
    focus(face, item(form, "cmdCancel"));
    press(face, VK_TAB);
    CHECK(GetFocus() == item(form, "lblLink"));
    press(face, VK_RETURN);
    CHECK_EQ(link.clicks, 1);
    CHECK_EQ(ok.clicks, 1);
    press(face, VK_SPACE);
    CHECK_EQ(link.clicks, 2);
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_SPACE, LPARAM(0x40000001)); // repeated
    pump(face);
    CHECK_EQ(link.clicks, 2);
    SendMessageW(item(form, "lblLink"), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageW(item(form, "lblLink"), WM_LBUTTONUP, 0, 0);
    pump(face);
    CHECK_EQ(link.clicks, 3);

    // The hand pointer over the link, from the resources.
    SendMessageW(item(form, "lblLink"), WM_SETCURSOR, reinterpret_cast<WPARAM>(item(form, "lblLink")),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    HCURSOR hand = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(PENNAROC_HAND_CURSOR));
    CHECK(hand != nullptr);
    CHECK(GetCursor() == hand);
    CHECK(face.handCursor() == hand);

    // The label that reports clicks, even beside a disabled box.
    form.control("chkKeep").setEnabled(false);
    SendMessageW(item(form, "lblNote"), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageW(item(form, "lblNote"), WM_LBUTTONUP, 0, 0);
    pump(face);
    CHECK_EQ(note.clicks, 1);

    // A menu item's command.
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(idOf(form, "mnuOpen"), 0), 0);
    CHECK_EQ(open.clicks, 1);
    // A disabled one's is refused by the model.
    form.control("mnuOpen").setEnabled(false);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(idOf(form, "mnuOpen"), 0), 0);
    CHECK_EQ(open.clicks, 1);
}

// The text box: what the user types reaches the model; what the program
// sets is shown, and is not taken for typing.
void textBox()
{
    Win32Face face;
    Form form(MainLayout, face);
    form.show();
    pump(face);
    HWND edit = item(form, "txtName");
    Control &name = form.control("txtName");

    focus(face, edit);
    for (wchar_t c : std::wstring(L"C:\\\u00C9t\u00E9")) {
        PostMessageW(edit, WM_CHAR, c, 1);
        pump(face);
    }
    CHECK(name.Text() == u"C:\\\u00C9t\u00E9");

    name.setText(u"D:\\Folder");
    CHECK_EQ(text(edit), std::wstring(L"D:\\Folder"));
    CHECK(name.Text() == u"D:\\Folder");

    // No limit of its own.
    const std::u16string longText(40000, u'x');
    name.setText(longText);
    CHECK_EQ(GetWindowTextLengthW(edit), 40000);
    SendMessageW(edit, EM_SETSEL, 40000, 40000);
    PostMessageW(edit, WM_CHAR, L'y', 1);
    pump(face);
    CHECK_EQ(name.Text().size(), std::size_t(40001));
}

// The width a caption needs, in twips, in the control's own font.
void neededWidths()
{
    Win32Face face;
    Form form(MainLayout, face);
    Control &note = form.control("lblNote");
    note.setCaption(u"");
    CHECK_EQ(note.neededWidth(), 0);
    note.setCaption(u"iiii");
    const int narrow = note.neededWidth();
    note.setCaption(u"WWWW");
    const int wide = note.neededWidth();
    CHECK(narrow > 0);
    CHECK(wide > narrow);

    // As the system measures it, at the display's dots per inch.
    HWND label = item(form, "lblNote");
    HDC dc = GetDC(label);
    HGDIOBJ before = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, L"WWWW", 4, &size);
    SelectObject(dc, before);
    ReleaseDC(label, dc);
    CHECK(std::abs(wide - MulDiv(size.cx, 1440, dpi())) <= 30);

    // The bold title needs more than the same text in the window's font.
    form.control("lblBig").setCaption(u"WWWW");
    CHECK(form.control("lblBig").neededWidth() > wide);
    // A check box needs its box besides its text; a frame its borders.
    form.control("chkKeep").setCaption(u"WWWW");
    CHECK(form.control("chkKeep").neededWidth() > wide);
    form.control("fraChoice").setCaption(u"WWWW");
    CHECK(form.control("fraChoice").neededWidth() > wide);
}

// The close box: the form answers it; without a handler of its own it
// unloads, and the window goes.
void closeBox()
{
    Win32Face face;
    Form main(MainLayout, face);
    Counter closes;
    main.CloseBox = closes.handler();
    main.show();
    pump(face);
    SendMessageW(hwnd(main), WM_CLOSE, 0, 0);
    CHECK_EQ(closes.clicks, 1);
    CHECK(IsWindowVisible(hwnd(main)));
    CHECK(!main.isUnloaded());

    Form wait(WaitLayout, face, main.handle());
    wait.show();
    pump(face);
    CHECK(IsWindowVisible(hwnd(wait)));
    // Owned by the main window, with a dialog's frame and no icon.
    CHECK(GetWindow(hwnd(wait), GW_OWNER) == hwnd(main));
    CHECK(GetWindowLongPtrW(hwnd(wait), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    SendMessageW(hwnd(wait), WM_CLOSE, 0, 0);
    CHECK(wait.isUnloaded());
    CHECK(!IsWindowVisible(hwnd(wait)));
}

// A message-only window standing for the host's notifications, which come
// to the thread's message loop.
struct Notifications {
    static constexpr UINT Message = WM_APP + 7;
    HWND window = nullptr;
    int received = 0;

    Notifications()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == Message) {
                ++reinterpret_cast<Notifications *>(GetWindowLongPtrW(w, GWLP_USERDATA))->received;
                return 0;
            }
            return DefWindowProcW(w, m, wp, lp);
        };
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"FaceTestNotifications";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, L"FaceTestNotifications", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Notifications() { DestroyWindow(window); }
};

// A modal window disables its owner; timer ticks and the host's
// notifications go on meanwhile; hiding the window ends the modal show, and
// the owner takes input again.
void modalLoop()
{
    Win32Face face;
    Form main(MainLayout, face);
    main.show();
    pump(face);
    Notifications notifications;
    Form wait(WaitLayout, face, main.handle());
    int ticks = 0;
    bool ownerDisabled = false;
    bool waitVisible = false;
    Control &timer = wait.control("tmrTick");
    timer.Timer = [&] {
        ++ticks;
        if (ticks == 1)
            PostMessageW(notifications.window, Notifications::Message, 0, 0);
        if (ticks == 3) {
            ownerDisabled = !IsWindowEnabled(hwnd(main));
            waitVisible = IsWindowVisible(hwnd(wait)) != FALSE;
            wait.hide();
        }
    };
    timer.setInterval(30);
    const ULONGLONG start = GetTickCount64();
    wait.showModal();
    CHECK(GetTickCount64() - start < 10000);
    CHECK_EQ(ticks, 3);
    CHECK(ownerDisabled);
    CHECK(waitVisible);
    CHECK_EQ(notifications.received, 1);
    CHECK(!IsWindowVisible(hwnd(wait)));
    CHECK(!wait.isVisible());
    CHECK(IsWindowEnabled(hwnd(main)));
    CHECK(!wait.isUnloaded());

    // Escape on a window without a cancel button is its close box: it
    // unloads, which ends the modal show as well.
    Form again(WaitLayout, face, main.handle());
    again.control("tmrTick").Timer = [&] { PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1); };
    again.control("tmrTick").setInterval(30);
    again.showModal();
    CHECK(again.isUnloaded());
    CHECK(IsWindowEnabled(hwnd(main)));
}

// The program's end ends every modal loop, and then the main loop, with the
// status it was given.
void quitEndsLoops()
{
    Win32Face face;
    Form main(MainLayout, face);
    main.show();
    pump(face);
    Form wait(WaitLayout, face, main.handle());
    wait.control("tmrTick").Timer = [&] {
        wait.control("tmrTick").setInterval(0);
        face.quit(7);
    };
    wait.control("tmrTick").setInterval(30);
    wait.showModal();
    CHECK(!IsWindowVisible(hwnd(wait)));
    CHECK(IsWindowEnabled(hwnd(main)));
    CHECK_EQ(face.run(), 7);
}

} // namespace

int main(int argc, char **argv)
{
    OleInitialize(nullptr);
    const int status = check::run(argc, argv,
                                  {
                                      {"windowFrame", windowFrame},
                                      {"controls", controls},
                                      {"modelShown", modelShown},
                                      {"optionGroup", optionGroup},
                                      {"checkBox", checkBox},
                                      {"keysAndClicks", keysAndClicks},
                                      {"textBox", textBox},
                                      {"neededWidths", neededWidths},
                                      {"closeBox", closeBox},
                                      {"modalLoop", modalLoop},
                                      {"quitEndsLoops", quitEndsLoops},
                                  });
    OleUninitialize();
    return status;
}
