#include "platform/win32/Win32PlatformServices.h"

#include "platform/win32/Win32Text.h"
#include "platform/win32/WindowHandle.h"

#include <commdlg.h>
#include <shlobj.h>

#include <type_traits>
#include <vector>

namespace platform::win32 {

namespace {

// The shell's libraries (and the common dialogs, which bring the printing
// ones) are loaded when first needed, from the system folder, rather than
// when the program starts: most runs never open a dialog, and under Wine
// loading them costs about a tenth of the start-up. A function that cannot
// be had is null, and its service then fails as the call would.
template <class Function>
Function *systemFunction(const wchar_t *library, const char *name)
{
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return nullptr;
    HMODULE module = LoadLibraryW((std::wstring(folder, length) + L"\\" + library).c_str());
    if (!module)
        return nullptr;
    // Through the generic function type, which any function pointer may be
    // converted from and back to.
    return reinterpret_cast<Function *>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

#define PENNAROC_SYSTEM_FUNCTION(library, name)                                                                       \
    static decltype(&::name) const name = systemFunction<std::remove_pointer_t<decltype(&::name)>>(library, #name)

} // namespace

std::wstring modulePath()
{
    // The path may be longer than MAX_PATH: the buffer grows until it fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

Win32PlatformServices::Win32PlatformServices(std::wstring mutexName) : mutexName_(std::move(mutexName)) {}

Win32PlatformServices::~Win32PlatformServices()
{
    if (mutex_)
        CloseHandle(mutex_);
}

int Win32PlatformServices::MsgBox(const std::u16string &text, int style, const std::u16string &title)
{
    // The style values are the system's own (MB_YESNO 4, MB_ICONEXCLAMATION
    // 48, MB_DEFBUTTON2 256) and so are the answers (IDOK 1, IDYES 6, IDNO 7).
    // The box is modal over the program's active window; with none, over
    // every window of the program.
    HWND owner = GetActiveWindow();
    const UINT modality = owner ? 0 : MB_TASKMODAL;
    const int answer = MessageBoxW(owner, wide(text).c_str(), wide(title).c_str(), UINT(style) | modality);
    if ((style & 7) != vbYesNo)
        return vbOK;
    return answer == IDYES ? vbYes : vbNo;
}

std::wstring Win32PlatformServices::openFileFilter(const std::u16string &filter)
{
    if (filter.empty())
        return {};
    std::wstring parts = wide(filter);
    for (wchar_t &c : parts) {
        if (c == L'|')
            c = L'\0';
    }
    // Every part ends with a NUL, and the list with one more; the string's
    // own terminator is that last one.
    parts.push_back(L'\0');
    return parts;
}

std::wstring Win32PlatformServices::startingFolder(const std::u16string &initialDir)
{
    std::wstring folder = wide(initialDir);
    if (folder.empty())
        return folder;
    // The stored folder may name a file (it is stored as typed): the dialog
    // starts in the folder that holds it.
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const std::size_t separator = folder.find_last_of(L"\\/");
        if (separator != std::wstring::npos)
            folder.erase(separator == 0 || folder[separator - 1] == L':' ? separator + 1 : separator);
    }
    return folder;
}

std::optional<std::u16string> Win32PlatformServices::OpenFile(const OpenFileRequest &request)
{
    const std::wstring filter = openFileFilter(request.filter);
    const std::wstring folder = startingFolder(request.initialDir);
    // Room for the longest path the system takes.
    std::vector<wchar_t> file(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = hwndOf(request.owner);
    dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = DWORD(file.size());
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    PENNAROC_SYSTEM_FUNCTION(L"comdlg32.dll", GetOpenFileNameW);
    if (!GetOpenFileNameW || !GetOpenFileNameW(&dialog))
        return std::nullopt;
    return fromWide(file.data());
}

std::optional<std::u16string> Win32PlatformServices::BrowseForFolder(WindowHandle owner)
{
    PENNAROC_SYSTEM_FUNCTION(L"shell32.dll", SHGetSpecialFolderLocation);
    PENNAROC_SYSTEM_FUNCTION(L"shell32.dll", SHBrowseForFolderW);
    PENNAROC_SYSTEM_FUNCTION(L"shell32.dll", SHGetPathFromIDListW);
    if (!SHGetSpecialFolderLocation || !SHBrowseForFolderW || !SHGetPathFromIDListW)
        return std::nullopt;
    // Rooted at the desktop, the top of the shell's namespace.
    PIDLIST_ABSOLUTE root = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(hwndOf(owner), CSIDL_DESKTOP, &root)))
        root = nullptr;
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW browse{};
    browse.hwndOwner = hwndOf(owner);
    browse.pidlRoot = root;
    browse.pszDisplayName = displayName;
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (root)
        CoTaskMemFree(root);
    if (!chosen)
        return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    const BOOL isFolder = SHGetPathFromIDListW(chosen, path);
    CoTaskMemFree(chosen);
    // A place of the namespace that is no folder of the file system has no
    // path: nothing was chosen.
    if (!isFolder || !path[0])
        return std::nullopt;
    return fromWide(path);
}

bool Win32PlatformServices::ShellExecute(WindowHandle owner, const std::u16string &operation,
                                         const std::u16string &target,
                                         const std::optional<std::u16string> &parameters,
                                         const std::u16string &directory, int showCommand)
{
    const std::wstring verb = wide(operation);
    const std::wstring file = wide(target);
    const std::wstring arguments = parameters ? wide(*parameters) : std::wstring();
    const std::wstring folder = wide(directory);
    PENNAROC_SYSTEM_FUNCTION(L"shell32.dll", ShellExecuteW);
    if (!ShellExecuteW)
        return false;
    // No parameters and empty ones differ; an empty operation is the
    // target's default one.
    const HINSTANCE result =
        ShellExecuteW(hwndOf(owner), verb.empty() ? nullptr : verb.c_str(), file.c_str(),
                      parameters ? arguments.c_str() : nullptr, folder.empty() ? nullptr : folder.c_str(), showCommand);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

void Win32PlatformServices::SetForegroundWindow(WindowHandle window)
{
    if (HWND target = hwndOf(window))
        ::SetForegroundWindow(target);
}

bool Win32PlatformServices::AnotherInstanceRunning()
{
    // The first copy holds the mutex for its whole run; the system closes it
    // when the copy ends however it ends, so only a live copy holds it.
    if (mutex_)
        return false;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName_.c_str());
    const DWORD error = GetLastError();
    if (!mutex) {
        // A copy of another integrity level holds it; any other failure
        // leaves the check undone, and this copy starts.
        return error == ERROR_ACCESS_DENIED;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        // Not held here, so that the first copy's end frees the name.
        CloseHandle(mutex);
        return true;
    }
    mutex_ = mutex;
    return false;
}

std::u16string Win32PlatformServices::ProgramFolder()
{
    const std::wstring path = modulePath();
    const std::size_t separator = path.find_last_of(L'\\');
    if (separator == std::wstring::npos)
        return {};
    std::wstring folder = path.substr(0, separator);
    // A root folder keeps its backslash ("C:\"), as the system writes it.
    if (folder.size() == 2 && folder[1] == L':')
        folder += L'\\';
    return fromWide(folder);
}

std::u16string Win32PlatformServices::ExecutableName()
{
    const std::wstring path = modulePath();
    const std::size_t separator = path.find_last_of(L'\\');
    return fromWide(separator == std::wstring::npos ? path : path.substr(separator + 1));
}

bool Win32PlatformServices::PathExists(const std::u16string &path)
{
    if (path.empty())
        return false;
    PENNAROC_SYSTEM_FUNCTION(L"shell32.dll", SHGetFileInfoW);
    SHFILEINFOW info{};
    return SHGetFileInfoW && SHGetFileInfoW(wide(path).c_str(), 0, &info, sizeof info, SHGFI_ATTRIBUTES) != 0;
}

bool Win32PlatformServices::OpensAsProgram(const std::u16string &path)
{
    // The type is the name's last extension, as the shell reads it.
    const std::size_t separator = path.find_last_of(u"\\/");
    const std::size_t dot = path.find_last_of(u'.');
    if (dot == std::u16string::npos || (separator != std::u16string::npos && dot < separator))
        return false;
    std::wstring extension = wide(path.substr(dot));
    CharLowerBuffW(extension.data(), static_cast<DWORD>(extension.size()));
    // A shortcut may point anywhere, so it counts as a program whatever the
    // shell thinks of its type; so do the types that run code, which the
    // shell's own list may lack (Wine's answers no for every type).
    static const wchar_t *const programs[] = {
        L".lnk", L".url", L".pif", L".exe", L".com", L".bat", L".cmd", L".scr", L".msi", L".msp", L".vbs", L".vbe",
        L".js",  L".jse", L".wsf", L".wsh", L".hta", L".cpl", L".msc", L".jar", L".reg", L".ps1", L".inf", L".scf"};
    for (const wchar_t *program : programs) {
        if (extension == program)
            return true;
    }
    PENNAROC_SYSTEM_FUNCTION(L"shlwapi.dll", AssocIsDangerous);
    return AssocIsDangerous && AssocIsDangerous(extension.c_str()) != FALSE;
}

} // namespace platform::win32
