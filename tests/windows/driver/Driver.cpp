#include "tests/windows/driver/Driver.h"

#include "tests/windows/driver/ShellLog.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

namespace driver {

std::wstring programFolder()
{
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), DWORD(path.size())));
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring tempFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    return temp;
}

std::wstring text(HWND window)
{
    std::wstring value(std::size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    value.resize(std::size_t(GetWindowTextW(window, value.data(), int(value.size()))));
    return value;
}

std::wstring className(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

Program::Program(const std::wstring &name, const std::wstring &arguments)
{
    const std::wstring exe = name.find(L'\\') == std::wstring::npos ? programFolder() + name : name;
    std::wstring command = L"\"" + exe + L"\"";
    if (!arguments.empty())
        command += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process_)
               != FALSE;
}

Program::~Program()
{
    if (!started_)
        return;
    kill();
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
}

bool Program::running() const
{
    return started_ && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

long Program::exitStatus(DWORD timeoutMs) const
{
    if (!started_ || WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD status = 0;
    GetExitCodeProcess(process_.hProcess, &status);
    return long(status);
}

void Program::kill()
{
    if (running()) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 10000);
    }
}

namespace {

struct Search {
    DWORD process;
    const WindowQuery *query;
    HWND found;
};

bool matches(HWND window, DWORD process, const WindowQuery &query)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != process || !IsWindowVisible(window) || window == query.not1)
        return false;
    if (!query.windowClass.empty() && className(window) != query.windowClass)
        return false;
    if (query.menuBar && (GetMenu(window) != nullptr) != *query.menuBar)
        return false;
    return query.caption.empty() || text(window) == query.caption;
}

BOOL CALLBACK findTopWindow(HWND window, LPARAM data)
{
    auto *search = reinterpret_cast<Search *>(data);
    if (matches(window, search->process, *search->query)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND findWindow(DWORD process, const WindowQuery &query)
{
    Search search{process, &query, nullptr};
    EnumWindows(findTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForWindow(const Program &program, const WindowQuery &query, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < end && program.running()) {
        if (HWND found = findWindow(program.id(), query))
            return found;
        Sleep(50);
    }
    return nullptr;
}

bool waitGone(HWND window, DWORD timeoutMs)
{
    return waitUntil([window] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

int controlId(const forms::FormSpec &layout, std::string_view id)
{
    for (std::size_t row = 0; row < layout.controls.size(); ++row) {
        if (layout.controls[row].id == id)
            return 100 + int(row);
    }
    return -1;
}

HWND control(HWND window, const forms::FormSpec &layout, std::string_view id)
{
    const int number = controlId(layout, id);
    return number < 0 ? nullptr : GetDlgItem(window, number);
}

ControlView view(HWND control)
{
    ControlView seen;
    if (!control)
        return seen;
    seen.text = text(control);
    seen.enabled = IsWindowEnabled(control) != FALSE;
    seen.visible = IsWindowVisible(control) != FALSE;
    if (className(control) == L"Button")
        seen.check = int(SendMessageW(control, BM_GETCHECK, 0, 0));
    HWND top = GetAncestor(control, GA_ROOT);
    GetWindowRect(control, &seen.place);
    MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT *>(&seen.place), 2);
    return seen;
}

void press(HWND button)
{
    PostMessageW(button, BM_CLICK, 0, 0);
}

void chooseMenu(HWND window, const forms::FormSpec &layout, std::string_view id)
{
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(controlId(layout, id), 0), 0);
}

namespace {

bool bringForward(HWND window)
{
    HWND root = GetAncestor(window, GA_ROOT);
    if (GetForegroundWindow() != root)
        SetForegroundWindow(root);
    return waitUntil([root] { return GetForegroundWindow() == root; }, 5000);
}

INPUT keyInput(WORD key, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = WORD(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

} // namespace

bool pressKey(HWND window, WORD key, std::initializer_list<WORD> modifiers)
{
    if (!bringForward(window))
        return false;
    std::vector<INPUT> inputs;
    for (WORD modifier : modifiers)
        inputs.push_back(keyInput(modifier, false));
    inputs.push_back(keyInput(key, false));
    inputs.push_back(keyInput(key, true));
    for (auto modifier = std::rbegin(modifiers); modifier != std::rend(modifiers); ++modifier)
        inputs.push_back(keyInput(*modifier, true));
    const UINT sent = SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
    // Let the program take the keys before the test looks.
    Sleep(300);
    return sent == inputs.size();
}

bool typeText(HWND window, std::wstring_view typed)
{
    if (!bringForward(window))
        return false;
    std::vector<INPUT> inputs;
    for (wchar_t unit : typed) {
        for (bool up : {false, true}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = WORD(unit);
            input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(input);
        }
    }
    const UINT sent = SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
    Sleep(300);
    return sent == inputs.size();
}

HWND focusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

namespace {

struct Children {
    std::vector<HWND> windows;
};

BOOL CALLBACK collectChild(HWND window, LPARAM data)
{
    reinterpret_cast<Children *>(data)->windows.push_back(window);
    return TRUE;
}

std::vector<HWND> childrenOf(HWND window)
{
    Children children;
    EnumChildWindows(window, collectChild, reinterpret_cast<LPARAM>(&children));
    return children.windows;
}

// The icon a message box shows, told by its pixels: the icon's place on the
// screen against each of the system's icons drawn on the same background.
// (Under Wine another process's icon handle cannot be read.)
std::wstring iconOf(HWND box)
{
    HWND shown = nullptr;
    for (HWND child : childrenOf(box)) {
        if (className(child) == L"Static" && IsWindowVisible(child)
            && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON
            && SendMessageW(child, STM_GETICON, 0, 0) != 0) {
            shown = child;
            break;
        }
    }
    // A box without an icon hides its icon's place, or leaves it empty.
    if (!shown)
        return L"none";
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(200);
    const int size = GetSystemMetrics(SM_CXICON);
    RECT place;
    GetWindowRect(shown, &place);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const auto *pixels = static_cast<const std::uint32_t *>(bits);
    const std::size_t count = std::size_t(size) * std::size_t(size);

    BitBlt(memory, 0, 0, size, size, screen, place.left, place.top, SRCCOPY);
    GdiFlush();
    const std::vector<std::uint32_t> seen(pixels, pixels + count);
    const std::uint32_t background = seen.front();

    struct Candidate {
        const wchar_t *name;
        LPCWSTR icon;
    };
    const Candidate candidates[] = {{L"question", IDI_QUESTION},
                                    {L"exclamation", IDI_EXCLAMATION},
                                    {L"information", IDI_ASTERISK},
                                    {L"error", IDI_HAND}};
    std::wstring best = L"unknown";
    long long bestDistance = LLONG_MAX;
    for (const Candidate &candidate : candidates) {
        HBRUSH brush = CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
        RECT all{0, 0, size, size};
        FillRect(memory, &all, brush);
        DeleteObject(brush);
        DrawIconEx(memory, 0, 0, LoadIconW(nullptr, candidate.icon), size, size, 0, nullptr, DI_NORMAL);
        GdiFlush();
        long long distance = 0;
        for (std::size_t i = 0; i < count; ++i) {
            for (int shift : {0, 8, 16})
                distance += std::abs(int((seen[i] >> shift) & 0xFF) - int((pixels[i] >> shift) & 0xFF));
        }
        if (distance < bestDistance) {
            bestDistance = distance;
            best = candidate.name;
        }
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    // Drawn the same, an icon differs from its own picture by a little
    // smoothing at most; a picture none of the four is far off them all.
    return bestDistance <= static_cast<long long>(count) * 12 ? best : L"unknown";
}

} // namespace

MessageBoxView readMessageBox(HWND box)
{
    MessageBoxView seen;
    seen.window = box;
    seen.title = text(box);
    seen.text = text(GetDlgItem(box, 0xFFFF));
    seen.icon = iconOf(box);
    std::vector<std::pair<LONG, HWND>> buttons;
    for (HWND child : childrenOf(box)) {
        if (className(child) != L"Button" || !IsWindowVisible(child))
            continue;
        RECT place;
        GetWindowRect(child, &place);
        buttons.emplace_back(place.left, child);
        // Wine's message box answers DM_GETDEFID with 1 whatever its default
        // button: the button's own style says which it is.
        if ((GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            seen.defaultButton = GetDlgCtrlID(child);
    }
    std::sort(buttons.begin(), buttons.end());
    for (const auto &[left, button] : buttons) {
        seen.buttons.push_back(text(button));
        seen.buttonIds.push_back(GetDlgCtrlID(button));
    }
    return seen;
}

std::optional<MessageBoxView> waitForMessageBox(const Program &program, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    WindowQuery query;
    query.menuBar = false;
    while (GetTickCount64() < end && program.running()) {
        HWND found = findWindow(program.id(), query);
        if (found && GetDlgItem(found, 0xFFFF))
            return readMessageBox(found);
        Sleep(50);
    }
    return std::nullopt;
}

void answer(const MessageBoxView &box, int buttonId)
{
    press(GetDlgItem(box.window, buttonId));
}

std::vector<std::wstring> shellRequests()
{
    return shelllog::read();
}

void clearShellRequests()
{
    DeleteFileW(shelllog::path().c_str());
}

std::vector<std::wstring> waitForShellRequests(std::size_t count, DWORD timeoutMs)
{
    std::vector<std::wstring> requests;
    waitUntil([&] { return (requests = shellRequests()).size() >= count; }, timeoutMs);
    return requests;
}

namespace {
const wchar_t *const SettingKey = L"Software\\VB and VBA Program Settings\\Pennaroc\\Settings";
}

std::optional<std::wstring> defaultFolderSetting()
{
    wchar_t value[32768] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, SettingKey, L"DefaultFolder", RRF_RT_REG_SZ, &type, value, &size)
        != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(value);
}

void setDefaultFolderSetting(const std::optional<std::wstring> &value)
{
    if (!value) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, L"DefaultFolder");
            RegCloseKey(key);
        }
        return;
    }
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, L"DefaultFolder", 0, REG_SZ, reinterpret_cast<const BYTE *>(value->c_str()),
                   DWORD((value->size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

bool writeFile(const std::wstring &path, std::string_view contents)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool done = WriteFile(file, contents.data(), DWORD(contents.size()), &written, nullptr) != FALSE
                      && written == contents.size();
    CloseHandle(file);
    return done;
}

bool click(HWND control)
{
    if (!bringForward(control))
        return false;
    RECT place;
    GetWindowRect(control, &place);
    const POINT target{(place.left + place.right) / 2, (place.top + place.bottom) / 2};
    // The pointer moves there as input of its own, and the button goes down
    // only once the system has it there: a press that overtook the move
    // would land where the pointer was.
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = LONG((target.x * 65535LL) / std::max(1, GetSystemMetrics(SM_CXSCREEN) - 1));
    move.mi.dy = LONG((target.y * 65535LL) / std::max(1, GetSystemMetrics(SM_CYSCREEN) - 1));
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    if (SendInput(1, &move, sizeof(INPUT)) != 1)
        return false;
    const bool there = waitUntil(
        [&] {
            POINT now{};
            GetCursorPos(&now);
            return std::abs(now.x - target.x) <= 1 && std::abs(now.y - target.y) <= 1;
        },
        5000);
    if (!there)
        return false;
    INPUT inputs[2]{};
    for (INPUT &input : inputs)
        input.type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    const UINT sent = SendInput(2, inputs, sizeof(INPUT));
    // Let the program take the click before the test looks.
    Sleep(300);
    return sent == 2;
}

std::wstring controlText(HWND control)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return {};
    std::wstring value(std::size_t(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXT, WPARAM(value.size()), reinterpret_cast<LPARAM>(value.data()),
                             SMTO_ABORTIFHUNG, 5000, &copied))
        return {};
    value.resize(std::min(std::size_t(copied), value.size()));
    return value;
}

std::wstring treeItemText(HWND tree, HTREEITEM item)
{
    // The tree answers into memory of its own process: the item's
    // description, and after it room for the text.
    DWORD owner = 0;
    GetWindowThreadProcessId(tree, &owner);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, owner);
    if (!process)
        return {};
    constexpr int Room = 1024;
    const SIZE_T size = sizeof(TVITEMW) + Room * sizeof(wchar_t);
    auto *remote =
        static_cast<char *>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    std::wstring result;
    if (remote) {
        TVITEMW asked{};
        asked.mask = TVIF_TEXT | TVIF_HANDLE;
        asked.hItem = item;
        asked.pszText = reinterpret_cast<wchar_t *>(remote + sizeof(TVITEMW));
        asked.cchTextMax = Room;
        DWORD_PTR answered = 0;
        wchar_t text[Room] = {};
        if (WriteProcessMemory(process, remote, &asked, sizeof asked, nullptr)
            && SendMessageTimeoutW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 5000,
                                   &answered)
            && answered && ReadProcessMemory(process, remote + sizeof(TVITEMW), text, sizeof text, nullptr)) {
            text[Room - 1] = L'\0';
            result = text;
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return result;
}

std::vector<std::wstring> treeSelection(HWND tree)
{
    std::vector<std::wstring> names;
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    while (item) {
        names.insert(names.begin(), treeItemText(tree, item));
        item = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
    }
    return names;
}

} // namespace driver
