#include "platform/win32/Win32Face.h"

#include "platform/forms/Control.h"
#include "platform/forms/Form.h"
#include "platform/win32/Twips.h"
#include "platform/win32/Win32Text.h"
#include "platform/win32/WindowFonts.h"
#include "platform/win32/WindowHandle.h"
#include "resources/ResourceIds.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform::win32 {

int systemDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

namespace {

using forms::Control;
using forms::Form;
using forms::Kind;

// A caption with an & that underlines the character after it ("&&" is a
// plain &; so is an & before a blank, as in "Tom & Jerry").
bool hasMnemonic(std::u16string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'&')
            continue;
        if (i + 1 < text.size() && text[i + 1] != u'&' && text[i + 1] > u' ')
            return true;
        ++i;
    }
    return false;
}

bool isMenuKind(Kind kind)
{
    return kind == Kind::Menu || kind == Kind::MenuItem || kind == Kind::Separator;
}

std::wstring windowText(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

bool keyDown(int key)
{
    return (GetKeyState(key) & 0x8000) != 0;
}

// The id a window's subclass procedure is installed under.
constexpr UINT_PTR SubclassId = 1;

INT_PTR CALLBACK dialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK linkProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data);
LRESULT CALLBACK optionProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR data);

} // namespace

class Win32ControlPeer;

// --- one window -------------------------------------------------------------------

class Win32FormPeer : public forms::FormPeer {
public:
    Win32FormPeer(Win32Face &face, Form &form, HWND owner);
    ~Win32FormPeer() override;
    Win32FormPeer(const Win32FormPeer &) = delete;
    Win32FormPeer &operator=(const Win32FormPeer &) = delete;

    std::unique_ptr<forms::ControlPeer> createControl(Control &control) override;
    void finishBuilding() override;
    WindowHandle handle() override { return handleOf(window_); }
    void setCaption(const std::u16string &caption) override;
    void setIcon(forms::Icon icon) override;
    void setClientSize(int width, int height) override;
    void show() override;
    void showModal() override;
    void hide() override;
    void close() override;

    Win32Face &face() const { return face_; }
    Form &form() const { return form_; }
    HWND window() const { return window_; }
    int px(int twips) const { return pixels(twips, face_.dpi()); }

    // --- what the control peers ask of their window ---------------------------
    HFONT fontOf(const Control &control) const;
    // Where the control's window stands, in the client area: a control in a
    // frame is a child of the window, at its place in the frame.
    RECT rectOf(const Control &control) const;
    // Whether the control's window is shown enabled and visible: a control
    // in a frame follows the frame.
    bool shownEnabled(const Control &control) const;
    bool shownVisible(const Control &control) const;
    // A frame moved, or changed its state: the controls in it follow.
    void frameChanged(const Control &frame);
    // An option's value changed: Tab stops on the selected one of its group,
    // or on every option while none is.
    void optionsChanged(const Control &option);
    void menusChanged();
    void forget(Win32ControlPeer *peer);

    // --- what the face's loops and the dialog procedure hand over ---------------
    INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // An arrow key moved the focus to window: an option is selected.
    void arrowedTo(HWND window);
    static Win32FormPeer *of(HWND window)
    {
        return reinterpret_cast<Win32FormPeer *>(GetWindowLongPtrW(window, DWLP_USER));
    }
    void created(HWND window) { window_ = window; }

private:
    Win32ControlPeer *peerWithId(int id) const;
    Win32ControlPeer *peerOf(HWND window) const;
    Control *containerOf(const Control &control) const;
    POINT originOf(const Control &control) const;
    int rowOf(const Control &control) const;
    HMENU buildMenu(std::string_view container, bool bar) const;
    void applyClientSize(bool keepCentre);
    void centre();
    void showWindow();
    void focusFirst();
    void endModal();

    Win32Face &face_;
    Form &form_;
    HWND window_ = nullptr;
    std::vector<Win32ControlPeer *> peers_; // by table row; null where a peer went or made no window
    bool built_ = false;
    bool hasMenuBar_ = false;
    bool placed_ = false;
    bool focused_ = false;
    bool modal_ = false;
    bool ownerDisabled_ = false;
    // Shared with the modal loop, which may outlive this peer.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// --- one control ------------------------------------------------------------------

class Win32ControlPeer : public forms::ControlPeer {
public:
    Win32ControlPeer(Win32FormPeer &form, Control &control, int id, HWND window)
        : form_(form), control_(control), id_(id), window_(window)
    {
        if (!window_)
            return;
        if (control.kind() == Kind::Link)
            SetWindowSubclass(window_, linkProcedure, SubclassId, reinterpret_cast<DWORD_PTR>(this));
        else if (control.kind() == Kind::Option)
            SetWindowSubclass(window_, optionProcedure, SubclassId, reinterpret_cast<DWORD_PTR>(this));
    }

    ~Win32ControlPeer() override
    {
        form_.forget(this);
        if (timerRunning_ && form_.window())
            KillTimer(form_.window(), static_cast<UINT_PTR>(id_));
        if (!window_)
            return;
        if (control_.kind() == Kind::Link)
            RemoveWindowSubclass(window_, linkProcedure, SubclassId);
        else if (control_.kind() == Kind::Option)
            RemoveWindowSubclass(window_, optionProcedure, SubclassId);
        if (hasAccessibleName_)
            clearAccessibleName();
        if (IsWindow(window_))
            DestroyWindow(window_);
    }

    Win32ControlPeer(const Win32ControlPeer &) = delete;
    Win32ControlPeer &operator=(const Win32ControlPeer &) = delete;

    Control &control() const { return control_; }
    HWND window() const { return window_; }
    int id() const { return id_; }
    Win32FormPeer &form() const { return form_; }

    void setCaption(const std::u16string &caption) override
    {
        if (isMenuKind(control_.kind())) {
            form_.menusChanged();
            return;
        }
        if (!window_ || control_.kind() == Kind::TextBox)
            return;
        if (control_.kind() == Kind::Label) {
            // & underlines the next letter only in a caption that has a
            // mnemonic; elsewhere it is shown as it is.
            const LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
            const LONG_PTR wanted = hasMnemonic(caption) ? (style & ~LONG_PTR(SS_NOPREFIX)) : (style | SS_NOPREFIX);
            if (wanted != style)
                SetWindowLongPtrW(window_, GWL_STYLE, wanted);
        }
        SetWindowTextW(window_, wide(caption).c_str());
    }

    void setEnabled(bool) override
    {
        if (isMenuKind(control_.kind())) {
            form_.menusChanged();
            return;
        }
        showState();
        if (control_.kind() == Kind::Frame)
            form_.frameChanged(control_);
    }

    void setVisible(bool) override
    {
        if (isMenuKind(control_.kind())) {
            form_.menusChanged();
            return;
        }
        showState();
        if (control_.kind() == Kind::Frame)
            form_.frameChanged(control_);
    }

    // Shows the control enabled and visible as the model and its frame say.
    void showState()
    {
        if (!window_)
            return;
        const bool enabled = form_.shownEnabled(control_);
        const bool visible = form_.shownVisible(control_);
        // The focus leaves a control that can no longer take it for the next
        // one, as the dialog manager would move it.
        if ((!enabled || !visible) && GetFocus() == window_ && form_.window())
            SendMessageW(form_.window(), WM_NEXTDLGCTL, 0, FALSE);
        if ((IsWindowEnabled(window_) != FALSE) != enabled)
            EnableWindow(window_, enabled ? TRUE : FALSE);
        const bool shown = (GetWindowLongPtrW(window_, GWL_STYLE) & WS_VISIBLE) != 0;
        if (shown != visible)
            ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE);
    }

    void setValue(std::int16_t value) override
    {
        if (!window_)
            return;
        if (control_.kind() == Kind::Option) {
            SendMessageW(window_, BM_SETCHECK, value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
            form_.optionsChanged(control_);
        } else if (control_.kind() == Kind::Check) {
            SendMessageW(window_, BM_SETCHECK,
                         value == 1   ? BST_CHECKED
                             : value == 2 ? BST_INDETERMINATE
                                          : BST_UNCHECKED,
                         0);
        }
    }

    void setText(const std::u16string &text) override
    {
        if (!window_ || control_.kind() != Kind::TextBox)
            return;
        const std::wstring shown = wide(text);
        if (windowText(window_) == shown)
            return;
        // The change the program makes is not the user's typing.
        settingText_ = true;
        SetWindowTextW(window_, shown.c_str());
        settingText_ = false;
    }

    void setPlace(const forms::Twips &) override
    {
        if (!window_)
            return;
        const RECT place = form_.rectOf(control_);
        MoveWindow(window_, place.left, place.top, place.right - place.left, place.bottom - place.top, TRUE);
        if (control_.kind() == Kind::Frame)
            form_.frameChanged(control_);
    }

    void setAccessibleName(const std::u16string &name) override
    {
        if (!window_)
            return;
        IAccPropServices *services = accessibility();
        if (!services)
            return;
        if (name.empty()) {
            clearAccessibleName();
            return;
        }
        std::wstring text = wide(name);
        if (SUCCEEDED(services->SetHwndPropStr(window_, DWORD(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME,
                                               text.data())))
            hasAccessibleName_ = true;
        services->Release();
    }

    void setTimer(int interval, bool running) override
    {
        if (control_.kind() != Kind::Timer || !form_.window())
            return;
        if (running) {
            SetTimer(form_.window(), static_cast<UINT_PTR>(id_), static_cast<UINT>(std::max(interval, 1)), nullptr);
            timerRunning_ = true;
        } else if (timerRunning_) {
            KillTimer(form_.window(), static_cast<UINT_PTR>(id_));
            timerRunning_ = false;
        }
    }

    int neededWidth() const override
    {
        if (!window_)
            return 0;
        const Kind kind = control_.kind();
        const std::wstring text = wide(control_.Caption());
        if (text.empty() && (kind == Kind::Label || kind == Kind::Link))
            return 0;
        const bool prefixed = kind == Kind::Option || kind == Kind::Check || kind == Kind::Button
            || kind == Kind::Frame || (kind == Kind::Label && hasMnemonic(control_.Caption()));
        HDC dc = GetDC(window_);
        HGDIOBJ before = SelectObject(dc, form_.fontOf(control_));
        RECT bounds{0, 0, 0, 0};
        if (!text.empty())
            DrawTextW(dc, text.c_str(), int(text.size()), &bounds,
                      DT_CALCRECT | DT_SINGLELINE | DT_LEFT | (prefixed ? 0 : DT_NOPREFIX));
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, before);
        ReleaseDC(window_, dc);
        int width = bounds.right - bounds.left;
        switch (kind) {
        case Kind::Option:
        case Kind::Check:
            // The box, and the gap between it and the text.
            width += GetSystemMetrics(SM_CXMENUCHECK) + metrics.tmAveCharWidth / 2 + 2;
            break;
        case Kind::Button:
            width += 2 * (GetSystemMetrics(SM_CXEDGE) + metrics.tmAveCharWidth);
            break;
        case Kind::Frame:
            // The title stands 8 pixels in from either side of the border.
            width += 2 * 8 + 2;
            break;
        case Kind::TextBox:
            width += 2 * GetSystemMetrics(SM_CXEDGE) + 4;
            break;
        default:
            break;
        }
        return twips(width, form_.face().dpi());
    }

    // --- what the user does --------------------------------------------------------
    void command(int code)
    {
        switch (control_.kind()) {
        case Kind::Button:
        case Kind::Check:
            if (code == BN_CLICKED)
                control_.userClick();
            break;
        case Kind::Option:
            // The system reports a click on an option that takes the focus
            // from the keyboard; only the user's own click and the arrow keys
            // select one here, as on the other platforms.
            if ((code == BN_CLICKED || code == BN_DOUBLECLICKED) && !focusing_)
                control_.userClick();
            break;
        case Kind::Label:
        case Kind::Link:
            if (code == STN_CLICKED || code == STN_DBLCLK)
                control_.userClick();
            break;
        case Kind::TextBox:
            if (code == EN_CHANGE && !settingText_)
                control_.userText(fromWide(windowText(window_)));
            break;
        case Kind::MenuItem:
            if (code == 0)
                control_.userClick();
            break;
        default:
            break;
        }
    }

    bool focusing_ = false; // an option taking the focus

private:
    IAccPropServices *accessibility() const
    {
        IAccPropServices *services = nullptr;
        if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                    reinterpret_cast<void **>(&services))))
            return nullptr;
        return services;
    }

    void clearAccessibleName()
    {
        IAccPropServices *services = accessibility();
        if (!services)
            return;
        MSAAPROPID property = PROPID_ACC_NAME;
        services->ClearHwndProps(window_, DWORD(OBJID_CLIENT), CHILDID_SELF, &property, 1);
        services->Release();
        hasAccessibleName_ = false;
    }

    Win32FormPeer &form_;
    Control &control_;
    int id_;
    HWND window_;
    bool settingText_ = false;
    bool timerRunning_ = false;
    bool hasAccessibleName_ = false;
};

namespace {

// --- the procedures of the windows ------------------------------------------------------

INT_PTR CALLBACK dialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<Win32FormPeer *>(lParam)->created(window);
        // The focus is given when the window is first shown.
        return FALSE;
    }
    Win32FormPeer *form = Win32FormPeer::of(window);
    return form ? form->handleMessage(message, wParam, lParam) : FALSE;
}

// The text's rectangle in a label that draws one line, as the static
// control places it.
RECT textRect(HWND window, const Control &control, HFONT font)
{
    RECT client;
    GetClientRect(window, &client);
    const std::wstring text = windowText(window);
    HDC dc = GetDC(window);
    HGDIOBJ before = SelectObject(dc, font);
    RECT bounds{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), int(text.size()), &bounds, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, before);
    ReleaseDC(window, dc);
    const int height = bounds.bottom - bounds.top;
    RECT rect = client;
    rect.right = std::min(client.right, bounds.right - bounds.left);
    if (!(control.design().flags & forms::AlignTop))
        rect.top = (client.bottom - height) / 2;
    rect.bottom = rect.top + height;
    return rect;
}

// A link label: the hand pointer over it; Enter and Space activate it while
// it has the focus (a held key once); a dotted frame around its text shows
// the focus.
LRESULT CALLBACK linkProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    auto *peer = reinterpret_cast<Win32ControlPeer *>(data);
    switch (message) {
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && peer->form().face().handCursor()) {
            SetCursor(peer->form().face().handCursor());
            return TRUE;
        }
        break;
    case WM_GETDLGCODE:
        if (lParam) {
            const MSG *key = reinterpret_cast<const MSG *>(lParam);
            if ((key->message == WM_KEYDOWN || key->message == WM_CHAR)
                && (key->wParam == VK_RETURN || key->wParam == VK_SPACE))
                return DefSubclassProc(window, message, wParam, lParam) | DLGC_WANTMESSAGE;
        }
        break;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_SPACE) {
            const bool repeated = (lParam & (LPARAM(1) << 30)) != 0;
            if (!repeated && !keyDown(VK_SHIFT) && !keyDown(VK_CONTROL) && !keyDown(VK_MENU))
                peer->control().userClick();
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == VK_RETURN || wParam == VK_SPACE)
            return 0;
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(window, nullptr, TRUE);
        break;
    case WM_PAINT:
        if (!wParam) {
            const LRESULT painted = DefSubclassProc(window, message, wParam, lParam);
            if (GetFocus() == window) {
                RECT frame = textRect(window, peer->control(), peer->form().fontOf(peer->control()));
                RECT client;
                GetClientRect(window, &client);
                InflateRect(&frame, 1, 0);
                IntersectRect(&frame, &frame, &client);
                if (!IsRectEmpty(&frame)) {
                    HDC dc = GetDC(window);
                    DrawFocusRect(dc, &frame);
                    ReleaseDC(window, dc);
                }
            }
            return painted;
        }
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// An option button: the click the system reports when it takes the focus
// is not the user's.
LRESULT CALLBACK optionProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR data)
{
    if (message == WM_SETFOCUS) {
        auto *peer = reinterpret_cast<Win32ControlPeer *>(data);
        peer->focusing_ = true;
        const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        peer->focusing_ = false;
        return result;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// An empty dialog template: the window's style, no controls, no menu, the
// system's dialog class, no title. The controls and the size come later.
struct alignas(DWORD) EmptyTemplate {
    DLGTEMPLATE header;
    WORD menu = 0;
    WORD windowClass = 0;
    WORD title = 0;
};

} // namespace

// --- the window -------------------------------------------------------------------

Win32FormPeer::Win32FormPeer(Win32Face &face, Form &form, HWND owner) : face_(face), form_(form)
{
    const forms::FormSpec &design = form.design();
    const bool main = (design.flags & forms::MainWindow) != 0;
    // A fixed frame with a title and a close box, no minimise or maximise
    // button; a window without an icon has a dialog's frame.
    EmptyTemplate made{};
    made.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS
        | (form.icon() == forms::Icon::None ? DS_MODALFRAME : 0);
    made.header.dwExtendedStyle = main ? WS_EX_APPWINDOW : 0;
    HWND window = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &made.header, owner, dialogProcedure,
                                             reinterpret_cast<LPARAM>(this));
    if (!window)
        throw std::runtime_error("the window " + std::string(design.id) + " cannot be made");
    window_ = window;
    face_.attach(this);
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(face_.fonts().font(design.font)), FALSE);
    SetWindowTextW(window_, wide(form.Caption()).c_str());
    setIcon(form.icon());
    hasMenuBar_ = main && std::any_of(design.controls.begin(), design.controls.end(),
                                      [](const forms::ControlSpec &c) { return c.kind == Kind::Menu; });
    peers_.assign(design.controls.size(), nullptr);
}

Win32FormPeer::~Win32FormPeer()
{
    *alive_ = false;
    if (modal_)
        endModal();
    face_.detach(this);
    if (window_ && IsWindow(window_)) {
        SetWindowLongPtrW(window_, DWLP_USER, 0);
        DestroyWindow(window_);
    }
}

std::unique_ptr<forms::ControlPeer> Win32FormPeer::createControl(Control &control)
{
    const forms::ControlSpec &design = control.design();
    const int row = rowOf(control);
    const int id = Win32Face::FirstControlId + row;
    const bool tabStop = design.tabIndex >= 0;
    const wchar_t *windowClass = nullptr;
    DWORD style = WS_CHILD;
    DWORD exStyle = 0;
    std::wstring caption = wide(control.Caption());

    switch (design.kind) {
    case Kind::Frame:
        windowClass = WC_BUTTONW;
        style |= BS_GROUPBOX;
        break;
    case Kind::Option:
        // The model selects an option and clears the others of its group.
        windowClass = WC_BUTTONW;
        style |= BS_RADIOBUTTON | (tabStop ? WS_TABSTOP : 0);
        break;
    case Kind::Check:
        // The model decides every state, greyed included.
        windowClass = WC_BUTTONW;
        style |= BS_3STATE | (tabStop ? WS_TABSTOP : 0);
        break;
    case Kind::Button:
        windowClass = WC_BUTTONW;
        style |= ((design.flags & forms::Default) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | (tabStop ? WS_TABSTOP : 0);
        break;
    case Kind::Label:
        // One line, from the top or centred; & underlines only in a caption
        // with a mnemonic.
        windowClass = WC_STATICW;
        style |= SS_LEFTNOWORDWRAP | ((design.flags & forms::ClickReported) ? SS_NOTIFY : 0)
            | (hasMnemonic(control.Caption()) ? 0 : SS_NOPREFIX)
            | ((design.flags & forms::AlignTop) ? 0 : SS_CENTERIMAGE);
        break;
    case Kind::Link:
        windowClass = WC_STATICW;
        style |= SS_LEFTNOWORDWRAP | SS_NOTIFY | SS_NOPREFIX | ((design.flags & forms::AlignTop) ? 0 : SS_CENTERIMAGE)
            | (tabStop ? WS_TABSTOP : 0);
        break;
    case Kind::TextBox:
        windowClass = WC_EDITW;
        style |= ES_LEFT | ES_AUTOHSCROLL | (tabStop ? WS_TABSTOP : 0);
        exStyle |= WS_EX_CLIENTEDGE;
        caption = wide(control.Text());
        break;
    case Kind::Line:
        // A grey rule one pixel high.
        windowClass = WC_STATICW;
        style |= SS_GRAYRECT;
        caption.clear();
        break;
    case Kind::Menu:
    case Kind::MenuItem:
    case Kind::Separator:
    case Kind::Timer:
        break;
    }

    HWND window = nullptr;
    if (windowClass) {
        const RECT place = rectOf(control);
        if (shownVisible(control))
            style |= WS_VISIBLE;
        if (!shownEnabled(control))
            style |= WS_DISABLED;
        window = CreateWindowExW(exStyle, windowClass, caption.c_str(), style, place.left, place.top,
                                 place.right - place.left, place.bottom - place.top, window_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
        if (!window)
            throw std::runtime_error("the control " + std::string(design.id) + " cannot be made");
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(fontOf(control)), FALSE);
        // A text box takes text of any length.
        if (design.kind == Kind::TextBox)
            SendMessageW(window, EM_SETLIMITTEXT, 0, 0);
    }

    auto peer = std::make_unique<Win32ControlPeer>(*this, control, id, window);
    peers_[static_cast<std::size_t>(row)] = peer.get();
    if (control.Value() != 0)
        peer->setValue(control.Value());
    if (!control.accessibleName().empty())
        peer->setAccessibleName(control.accessibleName());
    return peer;
}

void Win32FormPeer::finishBuilding()
{
    if (hasMenuBar_)
        SetMenu(window_, buildMenu({}, true));

    // Tab and the arrow keys walk the controls in their order on the
    // window: the table's Tab order, then the controls Tab never stops on.
    struct Ordered {
        int tabIndex;
        int row;
        Win32ControlPeer *peer;
    };
    std::vector<Ordered> order;
    for (std::size_t row = 0; row < peers_.size(); ++row) {
        Win32ControlPeer *peer = peers_[row];
        if (peer && peer->window())
            order.push_back({peer->control().design().tabIndex, int(row), peer});
    }
    std::stable_sort(order.begin(), order.end(), [](const Ordered &a, const Ordered &b) {
        const bool aStops = a.tabIndex >= 0;
        const bool bStops = b.tabIndex >= 0;
        if (aStops != bStops)
            return aStops;
        return aStops ? a.tabIndex < b.tabIndex : a.row < b.row;
    });
    HWND previous = HWND_TOP;
    for (std::size_t i = 0; i < order.size(); ++i) {
        HWND window = order[i].peer->window();
        SetWindowPos(window, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
        previous = window;
        // The arrow keys move within a group: the options of one container
        // form one, from the first of them; every other control is a group
        // of its own. The table may start a group anywhere.
        const Control &control = order[i].peer->control();
        bool group = (control.design().flags & forms::Group) != 0;
        if (control.kind() != Kind::Option) {
            group = true;
        } else if (i == 0) {
            group = true;
        } else {
            const Control &before = order[i - 1].peer->control();
            group = group || before.kind() != Kind::Option || before.design().container != control.design().container;
        }
        const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
        const LONG_PTR wanted = group ? (style | WS_GROUP) : (style & ~LONG_PTR(WS_GROUP));
        if (wanted != style)
            SetWindowLongPtrW(window, GWL_STYLE, wanted);
    }
    for (const Ordered &ordered : order) {
        if (ordered.peer->control().kind() == Kind::Option)
            optionsChanged(ordered.peer->control());
    }

    // Enter presses the default button, whichever control has the focus
    // (a button with the focus takes Enter itself).
    if (Control *button = form_.buttonWith(forms::Default)) {
        if (Win32ControlPeer *peer = peerWithId(Win32Face::FirstControlId + rowOf(*button)))
            SendMessageW(window_, DM_SETDEFID, WPARAM(peer->id()), 0);
    }

    built_ = true;
    applyClientSize(false);
}

void Win32FormPeer::setCaption(const std::u16string &caption)
{
    SetWindowTextW(window_, wide(caption).c_str());
}

void Win32FormPeer::setIcon(forms::Icon icon)
{
    const bool program = icon == forms::Icon::Program;
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(program ? face_.programIcon(false) : nullptr));
    SendMessageW(window_, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(program ? face_.programIcon(true) : nullptr));
}

void Win32FormPeer::setClientSize(int, int)
{
    if (built_)
        applyClientSize(placed_);
}

void Win32FormPeer::applyClientSize(bool keepCentre)
{
    const int width = px(form_.width());
    const int height = px(form_.height());
    RECT outer{0, 0, width, height};
    const DWORD style = DWORD(GetWindowLongPtrW(window_, GWL_STYLE));
    const DWORD exStyle = DWORD(GetWindowLongPtrW(window_, GWL_EXSTYLE));
    AdjustWindowRectEx(&outer, style, GetMenu(window_) != nullptr, exStyle);
    int outerWidth = outer.right - outer.left;
    int outerHeight = outer.bottom - outer.top;
    RECT before;
    GetWindowRect(window_, &before);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    auto place = [&] {
        const int left = (before.left + before.right) / 2 - outerWidth / 2;
        const int top = (before.top + before.bottom) / 2 - outerHeight / 2;
        SetWindowPos(window_, nullptr, left, top, outerWidth, outerHeight, flags | (keepCentre ? 0 : SWP_NOMOVE));
    };
    place();
    // A menu bar that needs more than one line takes its room from the
    // client area: the frame grows by as much.
    RECT client;
    GetClientRect(window_, &client);
    if (client.right != width || client.bottom != height) {
        outerWidth += width - client.right;
        outerHeight += height - client.bottom;
        place();
    }
}

void Win32FormPeer::centre()
{
    RECT frame;
    GetWindowRect(window_, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    HWND owner = GetWindow(window_, GW_OWNER);
    HMONITOR monitor = MonitorFromWindow(owner ? owner : window_, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (GetMonitorInfoW(monitor, &info))
        work = info.rcWork;
    // Centred on the screen's work area, or over the owner.
    RECT around = work;
    if (!(form_.design().flags & forms::CentreOnScreen) && owner && IsWindowVisible(owner))
        GetWindowRect(owner, &around);
    int left = (around.left + around.right - width) / 2;
    int top = (around.top + around.bottom - height) / 2;
    // Never off the work area.
    left = std::max<int>(work.left, std::min<int>(left, work.right - width));
    top = std::max<int>(work.top, std::min<int>(top, work.bottom - height));
    SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32FormPeer::focusFirst()
{
    HWND target = nullptr;
    if (!form_.design().focus.empty()) {
        if (Control *control = form_.find(form_.design().focus)) {
            if (Win32ControlPeer *peer = peerWithId(Win32Face::FirstControlId + rowOf(*control)))
                target = peer->window();
        }
    }
    if (target && (!IsWindowEnabled(target) || !IsWindowVisible(target)))
        target = nullptr;
    if (!target)
        target = GetNextDlgTabItem(window_, nullptr, FALSE);
    if (target)
        SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
}

void Win32FormPeer::showWindow()
{
    if (!placed_) {
        centre();
        placed_ = true;
    }
    ShowWindow(window_, SW_SHOW);
    if (!focused_) {
        focused_ = true;
        focusFirst();
    }
}

void Win32FormPeer::show()
{
    showWindow();
    SetActiveWindow(window_);
}

void Win32FormPeer::showModal()
{
    HWND owner = GetWindow(window_, GW_OWNER);
    ownerDisabled_ = false;
    if (owner && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        ownerDisabled_ = true;
    }
    modal_ = true;
    showWindow();
    SetActiveWindow(window_);

    // The thread's messages go on: the host's notifications, timer ticks
    // and painting, for this window and every other.
    const std::shared_ptr<bool> alive = alive_;
    Win32Face &face = face_;
    MSG message;
    while (*alive && modal_) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // The program ends: this loop, and every loop around it.
            PostQuitMessage(int(message.wParam));
            break;
        }
        if (got == -1)
            break;
        face.dispatchMessage(message);
    }
    if (!*alive)
        return;
    endModal();
    form_.faceHidden();
    if (owner && IsWindowVisible(owner))
        SetActiveWindow(owner);
}

void Win32FormPeer::endModal()
{
    modal_ = false;
    // The owner takes input again before this window goes, so that it is
    // the one activated.
    HWND owner = GetWindow(window_, GW_OWNER);
    if (ownerDisabled_ && owner)
        EnableWindow(owner, TRUE);
    ownerDisabled_ = false;
    if (IsWindowVisible(window_))
        ShowWindow(window_, SW_HIDE);
}

void Win32FormPeer::hide()
{
    if (modal_)
        endModal();
    else
        ShowWindow(window_, SW_HIDE);
}

void Win32FormPeer::close()
{
    hide();
}

HFONT Win32FormPeer::fontOf(const Control &control) const
{
    forms::Font font = control.design().font;
    // A link is underlined whatever the table says.
    if (control.kind() == Kind::Link)
        font.underline = true;
    return face_.fonts().font(font);
}

int Win32FormPeer::rowOf(const Control &control) const
{
    const auto &controls = form_.controls();
    for (std::size_t row = 0; row < controls.size(); ++row) {
        if (controls[row].get() == &control)
            return int(row);
    }
    return -1;
}

Control *Win32FormPeer::containerOf(const Control &control) const
{
    if (control.design().container.empty() || isMenuKind(control.kind()))
        return nullptr;
    Control *container = form_.find(control.design().container);
    return container && container->kind() == Kind::Frame ? container : nullptr;
}

POINT Win32FormPeer::originOf(const Control &control) const
{
    POINT origin{0, 0};
    if (const Control *frame = containerOf(control)) {
        origin = originOf(*frame);
        origin.x += px(frame->place().left);
        origin.y += px(frame->place().top);
    }
    return origin;
}

RECT Win32FormPeer::rectOf(const Control &control) const
{
    const POINT origin = originOf(control);
    const forms::Twips &place = control.place();
    RECT rect;
    rect.left = origin.x + px(place.left);
    rect.top = origin.y + px(place.top);
    if (control.kind() == Kind::Line) {
        // From its left edge to its right one, one pixel high.
        rect.right = origin.x + px(place.right());
        rect.bottom = rect.top + 1;
    } else {
        rect.right = rect.left + px(place.width);
        rect.bottom = rect.top + px(place.height);
    }
    return rect;
}

bool Win32FormPeer::shownEnabled(const Control &control) const
{
    const Control *frame = containerOf(control);
    return control.Enabled() && (!frame || shownEnabled(*frame));
}

bool Win32FormPeer::shownVisible(const Control &control) const
{
    const Control *frame = containerOf(control);
    return control.Visible() && (!frame || shownVisible(*frame));
}

void Win32FormPeer::frameChanged(const Control &frame)
{
    for (Win32ControlPeer *peer : peers_) {
        if (!peer || containerOf(peer->control()) != &frame)
            continue;
        const RECT place = rectOf(peer->control());
        if (peer->window())
            MoveWindow(peer->window(), place.left, place.top, place.right - place.left, place.bottom - place.top,
                       TRUE);
        peer->showState();
        if (peer->control().kind() == Kind::Frame)
            frameChanged(peer->control());
    }
}

void Win32FormPeer::optionsChanged(const Control &option)
{
    // The system moves the Tab stop to the option it checks; with none
    // checked, Tab stops on each option of the group.
    bool anySelected = false;
    for (Win32ControlPeer *peer : peers_) {
        if (peer && peer->window() && peer->control().kind() == Kind::Option
            && peer->control().design().container == option.design().container && peer->control().Value() != 0)
            anySelected = true;
    }
    for (Win32ControlPeer *peer : peers_) {
        if (!peer || !peer->window() || peer->control().kind() != Kind::Option
            || peer->control().design().container != option.design().container)
            continue;
        const bool stop = peer->control().design().tabIndex >= 0 && (!anySelected || peer->control().Value() != 0);
        const LONG_PTR style = GetWindowLongPtrW(peer->window(), GWL_STYLE);
        const LONG_PTR wanted = stop ? (style | WS_TABSTOP) : (style & ~LONG_PTR(WS_TABSTOP));
        if (wanted != style)
            SetWindowLongPtrW(peer->window(), GWL_STYLE, wanted);
    }
}

HMENU Win32FormPeer::buildMenu(std::string_view container, bool bar) const
{
    HMENU menu = bar ? CreateMenu() : CreatePopupMenu();
    const auto &controls = form_.controls();
    for (std::size_t row = 0; row < controls.size(); ++row) {
        const Control &control = *controls[row];
        if (!isMenuKind(control.kind()) || control.design().container != container || !control.Visible())
            continue;
        if (bar && control.kind() != Kind::Menu)
            continue;
        const UINT grey = control.Enabled() ? 0 : MF_GRAYED;
        const std::wstring caption = wide(control.Caption());
        switch (control.kind()) {
        case Kind::Menu:
            AppendMenuW(menu, MF_POPUP | MF_STRING | grey,
                        reinterpret_cast<UINT_PTR>(buildMenu(control.design().id, false)), caption.c_str());
            break;
        case Kind::MenuItem:
            AppendMenuW(menu, MF_STRING | grey, UINT_PTR(Win32Face::FirstControlId + int(row)), caption.c_str());
            break;
        default:
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            break;
        }
    }
    return menu;
}

void Win32FormPeer::menusChanged()
{
    if (!built_ || !hasMenuBar_ || !window_)
        return;
    HMENU old = GetMenu(window_);
    SetMenu(window_, buildMenu({}, true));
    if (old)
        DestroyMenu(old);
    DrawMenuBar(window_);
}

void Win32FormPeer::forget(Win32ControlPeer *peer)
{
    for (Win32ControlPeer *&known : peers_) {
        if (known == peer)
            known = nullptr;
    }
}

Win32ControlPeer *Win32FormPeer::peerWithId(int id) const
{
    const int row = id - Win32Face::FirstControlId;
    if (row < 0 || std::size_t(row) >= peers_.size())
        return nullptr;
    return peers_[std::size_t(row)];
}

Win32ControlPeer *Win32FormPeer::peerOf(HWND window) const
{
    for (Win32ControlPeer *peer : peers_) {
        if (peer && peer->window() == window)
            return peer;
    }
    return nullptr;
}

void Win32FormPeer::arrowedTo(HWND window)
{
    Win32ControlPeer *peer = peerOf(window);
    if (peer && peer->control().kind() == Kind::Option)
        peer->control().userClick();
}

INT_PTR Win32FormPeer::handleMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        // The dialog manager's Enter without a default button, and its
        // Escape.
        if (id == IDOK) {
            form_.userEnter();
            return TRUE;
        }
        if (id == IDCANCEL) {
            form_.userEscape();
            return TRUE;
        }
        Win32ControlPeer *peer = peerWithId(id);
        if (!peer)
            return FALSE;
        peer->command(code);
        return TRUE;
    }
    case WM_TIMER:
        if (Win32ControlPeer *peer = peerWithId(int(wParam))) {
            if (peer->control().kind() == Kind::Timer) {
                peer->control().tick();
                return TRUE;
            }
        }
        return FALSE;
    case WM_CLOSE:
        // The close box (and Alt+F4) is the form's to answer.
        form_.userClose();
        return TRUE;
    default:
        return FALSE;
    }
}

// --- the face ---------------------------------------------------------------------

Win32Face::Win32Face() : dpi_(systemDpi()), fonts_(std::make_unique<WindowFonts>(dpi_))
{
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);
    HINSTANCE program = GetModuleHandleW(nullptr);
    largeIcon_ = static_cast<HICON>(LoadImageW(program, MAKEINTRESOURCEW(PENNAROC_PROGRAM_ICON), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    smallIcon_ = static_cast<HICON>(LoadImageW(program, MAKEINTRESOURCEW(PENNAROC_PROGRAM_ICON), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    handCursor_ = LoadCursorW(program, MAKEINTRESOURCEW(PENNAROC_HAND_CURSOR));
    if (!handCursor_)
        handCursor_ = LoadCursorW(nullptr, IDC_HAND);
}

Win32Face::~Win32Face()
{
    if (largeIcon_)
        DestroyIcon(largeIcon_);
    if (smallIcon_)
        DestroyIcon(smallIcon_);
}

std::unique_ptr<forms::FormPeer> Win32Face::createForm(forms::Form &form, WindowHandle owner)
{
    return std::make_unique<Win32FormPeer>(*this, form, hwndOf(owner));
}

void Win32Face::attach(Win32FormPeer *form)
{
    forms_.push_back(form);
}

void Win32Face::detach(Win32FormPeer *form)
{
    forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
}

Win32FormPeer *Win32Face::formOf(HWND window) const
{
    if (!window)
        return nullptr;
    for (Win32FormPeer *form : forms_) {
        if (form->window() == window)
            return form;
    }
    return nullptr;
}

void Win32Face::dispatchMessage(MSG &message)
{
    HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (formOf(root)) {
        const bool arrow = message.message == WM_KEYDOWN && message.wParam >= VK_LEFT && message.wParam <= VK_DOWN;
        const HWND before = arrow ? GetFocus() : nullptr;
        if (IsDialogMessageW(root, &message)) {
            // An arrow key that moved the focus to an option selects it.
            if (arrow) {
                const HWND after = GetFocus();
                if (after && after != before) {
                    if (Win32FormPeer *form = formOf(root))
                        form->arrowedTo(after);
                }
            }
            return;
        }
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

int Win32Face::run()
{
    MSG message;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0)
            return int(message.wParam);
        if (got == -1)
            return quitStatus_;
        dispatchMessage(message);
    }
}

void Win32Face::quit(int status)
{
    quitStatus_ = status;
    PostQuitMessage(status);
}

} // namespace platform::win32
