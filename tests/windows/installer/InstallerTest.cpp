// The installer, PennarocSetup-1.00.exe, run silently (/S) in the tests'
// prefix: what it installs, the entry it makes in the list of programs, the
// installed Pennaroc.exe against the test automation server, the silent
// uninstall that leaves the program folders and the registry as they were
// apart from the user's setting, and an install over an older version
// (PennarocSetup-0.90.exe, the same script with an older version number and
// a stand-in program) that upgrades it in place.
// Needs a display (CTest runs it under xvfb-run) and the test server.

#include "app/Form1.h"
#include "tests/windows/Check.h"
#include "tests/windows/TestServer.h"
#include "tests/windows/installer/Installed.h"

#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <set>
#include <vector>

namespace {

using installed::entryNumber;
using installed::entryText;
using installed::Process;

const std::wstring UserSettingKey = L"Software\\VB and VBA Program Settings\\Pennaroc";
// A folder of the user's own, for an install somewhere else than in Program
// Files; the test makes it and removes it again.
const std::wstring OwnFolder = L"C:\\Apps";

std::wstring knownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)))
        folder = path;
    CoTaskMemFree(path);
    return folder;
}

std::wstring buildFolder()
{
    wchar_t path[32768];
    const std::wstring self(path, GetModuleFileNameW(nullptr, path, 32768));
    return self.substr(0, self.find_last_of(L'\\'));
}

std::wstring setup(const wchar_t *version) { return buildFolder() + L"\\PennarocSetup-" + version + L".exe"; }
std::wstring programFilesFolder() { return knownFolder(FOLDERID_ProgramFiles) + L"\\Pennaroc"; }
std::wstring shortcut() { return knownFolder(FOLDERID_CommonPrograms) + L"\\Pennaroc.lnk"; }
bool exists(const std::wstring &path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string bytes(const std::wstring &path)
{
    std::string content;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return content;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        content.append(buffer, got);
    CloseHandle(file);
    return content;
}

// Runs a command line to its end, and the processes it started too: the
// uninstaller copies itself to the temporary folder, starts the copy and
// ends at once. The exit status of the first process.
long runToEnd(const std::wstring &commandLine)
{
    Process process(commandLine);
    if (!CHECK(process.started()))
        return -1;
    const long status = process.exitStatus(120000);
    HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    std::vector<HANDLE> children;
    for (BOOL more = Process32FirstW(all, &entry); more; more = Process32NextW(all, &entry)) {
        if (entry.th32ParentProcessID == process.id()) {
            if (HANDLE child = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID))
                children.push_back(child);
        }
    }
    CloseHandle(all);
    for (HANDLE child : children) {
        CHECK_EQ(WaitForSingleObject(child, 120000), WAIT_OBJECT_0);
        CloseHandle(child);
    }
    return status;
}

long install(const wchar_t *version, const std::wstring &folder = {})
{
    std::wstring command = L"\"" + setup(version) + L"\" /S";
    if (!folder.empty())
        command += L" /D=" + folder;
    return runToEnd(command);
}

// Uninstalls as the list of programs does, with the entry's own command.
long uninstall()
{
    const auto command = entryText(L"QuietUninstallString");
    return CHECK(command.has_value()) ? runToEnd(*command) : -1;
}

// ---- The state an install may change: the program folders' files and the
// ---- registry's software keys, one line per file, folder, key and value.

using Snapshot = std::set<std::wstring>;

void snapshotFiles(const std::wstring &folder, Snapshot &into)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            into.insert(path + L"\\");
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                snapshotFiles(path, into);
        } else {
            const ULONGLONG size = (ULONGLONG(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
            into.insert(path + L" " + std::to_wstring(size));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void snapshotKey(HKEY root, const std::wstring &name, Snapshot &into)
{
    HKEY key;
    if (RegOpenKeyExW(root, name.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return;
    into.insert(name + L"\\");
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        wchar_t valueName[16384];
        DWORD nameLength = 16384, type = 0, size = DWORD(data.size());
        const LSTATUS status = RegEnumValueW(key, i, valueName, &nameLength, nullptr, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA) {
            data.resize(size);
            --i;
            continue;
        }
        if (status != ERROR_SUCCESS)
            break;
        std::wstring line = name + L"\\" + L":" + std::wstring(valueName, nameLength) + L" " + std::to_wstring(type)
            + L" ";
        static const wchar_t hex[] = L"0123456789abcdef";
        for (DWORD b = 0; b < size; ++b)
            line += {hex[data[b] >> 4], hex[data[b] & 15]};
        into.insert(line);
    }
    for (DWORD i = 0;; ++i) {
        wchar_t subkey[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, subkey, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        snapshotKey(root, name + L"\\" + std::wstring(subkey, length), into);
    }
    RegCloseKey(key);
}

// Everything an install could touch: the program folders, the Start menus
// and the desktop, and the machine's and the user's software keys.
Snapshot snapshot()
{
    Snapshot state;
    // (Not the user's own folders: Wine links several of them to the Linux
    // home folder.)
    for (const KNOWNFOLDERID *id : {&FOLDERID_ProgramFiles, &FOLDERID_ProgramFilesX86, &FOLDERID_CommonStartMenu,
                                    &FOLDERID_StartMenu, &FOLDERID_PublicDesktop}) {
        snapshotFiles(knownFolder(*id), state);
    }
    snapshotFiles(OwnFolder, state);
    Snapshot hklm, hkcu;
    snapshotKey(HKEY_LOCAL_MACHINE, L"Software", hklm);
    snapshotKey(HKEY_CURRENT_USER, L"Software", hkcu);
    for (const std::wstring &line : hklm)
        state.insert(L"HKLM\\" + line);
    for (const std::wstring &line : hkcu)
        state.insert(L"HKCU\\" + line);
    return state;
}

// The lines only one of the two states holds, "-" before, "+" after.
std::vector<std::wstring> changes(const Snapshot &before, const Snapshot &after)
{
    std::vector<std::wstring> lines;
    for (const std::wstring &line : before)
        if (!after.count(line))
            lines.push_back(L"- " + line.substr(0, 200));
    for (const std::wstring &line : after)
        if (!before.count(line))
            lines.push_back(L"+ " + line.substr(0, 200));
    return lines;
}

// The prefix before any install of these tests: an earlier run that
// stopped half-way is undone first.
const Snapshot &before()
{
    static const Snapshot state = [] {
        if (entryText(L"QuietUninstallString"))
            uninstall();
        RemoveDirectoryW((OwnFolder + L"\\Pennaroc").c_str());
        RemoveDirectoryW(OwnFolder.c_str());
        return snapshot();
    }();
    return state;
}

void checkUnchanged(const Snapshot &expected)
{
    const std::vector<std::wstring> lines = changes(expected, snapshot());
    CHECK_EQ(lines, std::vector<std::wstring>{});
}

// ---- Version information and icons, read as Windows reads them.

struct Version {
    std::wstring product, company, productVersion, fileVersion, copyright;
    DWORD productMS = 0, productLS = 0;
};

std::optional<Version> versionOf(const std::wstring &path)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> data(size);
    if (!size || !GetFileVersionInfoW(path.c_str(), 0, size, data.data()))
        return std::nullopt;
    WORD *translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translation), &length)
        || length < 4)
        return std::nullopt;
    wchar_t block[64];
    swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    const auto text = [&](const wchar_t *name) {
        wchar_t *value = nullptr;
        UINT chars = 0;
        const std::wstring query = block + std::wstring(name);
        if (!VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void **>(&value), &chars) || !value)
            return std::wstring(L"(none)");
        return std::wstring(value);
    };
    Version version{text(L"ProductName"), text(L"CompanyName"), text(L"ProductVersion"), text(L"FileVersion"),
                    text(L"LegalCopyright")};
    VS_FIXEDFILEINFO *fixed = nullptr;
    if (VerQueryValueW(data.data(), L"\\", reinterpret_cast<void **>(&fixed), &length) && fixed) {
        version.productMS = fixed->dwProductVersionMS;
        version.productLS = fixed->dwProductVersionLS;
    }
    return version;
}

// The images of an .ico file, each as the bytes an icon resource holds.
std::vector<std::string> iconFileImages(const std::wstring &path)
{
    const std::string file = bytes(path);
    std::vector<std::string> images;
    if (file.size() < 6)
        return images;
    const auto u16 = [&](std::size_t at) { return unsigned(BYTE(file[at])) | unsigned(BYTE(file[at + 1])) << 8; };
    const auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    for (unsigned i = 0; i < u16(4); ++i) {
        const std::size_t entry = 6 + 16 * i;
        images.push_back(file.substr(u32(entry + 12), u32(entry + 8)));
    }
    return images;
}

// The images of an executable's icon resources.
std::vector<std::string> iconResources(const std::wstring &path)
{
    std::vector<std::string> images;
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module)
        return images;
    EnumResourceNamesW(
        module, MAKEINTRESOURCEW(3) /* RT_ICON */,
        [](HMODULE from, LPCWSTR type, LPWSTR name, LONG_PTR into) -> BOOL {
            if (HRSRC found = FindResourceW(from, name, type)) {
                const auto *data = static_cast<const char *>(LockResource(LoadResource(from, found)));
                reinterpret_cast<std::vector<std::string> *>(into)->emplace_back(data, SizeofResource(from, found));
            }
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&images));
    FreeLibrary(module);
    return images;
}

bool carriesIcon(const std::wstring &executable, const std::wstring &icon)
{
    const std::vector<std::string> resources = iconResources(executable);
    const std::vector<std::string> wanted = iconFileImages(icon);
    return !wanted.empty() && std::all_of(wanted.begin(), wanted.end(), [&](const std::string &image) {
        return std::find(resources.begin(), resources.end(), image) != resources.end();
    });
}

// The program a shortcut starts.
std::wstring shortcutTarget(const std::wstring &path)
{
    std::wstring target = L"(none)";
    IShellLinkW *link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))))
        return target;
    IPersistFile *file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_PPV_ARGS(&file)))) {
        wchar_t found[MAX_PATH] = {};
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ)) && SUCCEEDED(link->GetPath(found, MAX_PATH, nullptr, 0)))
            target = found;
        file->Release();
    }
    link->Release();
    return target;
}

// The entries of the list of programs that name Pennaroc.
int entriesNamingPennaroc()
{
    HKEY list;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0,
                      KEY_READ | KEY_WOW64_64KEY, &list)
        != ERROR_SUCCESS)
        return -1;
    int count = 0;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(list, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        wchar_t display[256] = {};
        DWORD size = sizeof display;
        if (RegGetValueW(list, name, L"DisplayName", RRF_RT_REG_SZ, nullptr, display, &size) == ERROR_SUCCESS
            && std::wstring(display).find(L"Pennaroc") != std::wstring::npos)
            ++count;
    }
    RegCloseKey(list);
    return count;
}

// ---- The cases.

// The installer carries the program's version information and icon.
void installerVersionAndIcon()
{
    struct Row {
        const wchar_t *version;
        DWORD productMS;
    };
    for (const Row &row : {Row{L"1.00", 0x00010000}, Row{L"0.90", 0x0000005A}}) {
        check::Row named(check::narrow(std::wstring_view(row.version)));
        const auto version = versionOf(setup(row.version));
        if (!CHECK(version.has_value()))
            continue;
        CHECK_EQ(version->product, std::wstring(L"Pennaroc"));
        CHECK_EQ(version->company, std::wstring(L"Veltrane"));
        CHECK_EQ(version->productVersion, std::wstring(row.version));
        CHECK_EQ(version->fileVersion, std::wstring(row.version));
        CHECK(version->copyright.find(L"Veltrane") != std::wstring::npos);
        CHECK_EQ(version->productMS, row.productMS);
        CHECK_EQ(version->productLS, DWORD(0));
    }
    CHECK(carriesIcon(setup(L"1.00"), buildFolder() + L"\\Pennaroc.ico"));
}

// A silent install: the files, the entry in the list of programs, the
// Start-menu shortcut.
void silentInstall()
{
    before();
    CHECK_EQ(install(L"1.00"), 0L);
    const std::wstring folder = programFilesFolder();
    CHECK_EQ(folder, std::wstring(L"C:\\Program Files\\Pennaroc"));

    // The icons exactly as built; the program with its version information.
    for (const wchar_t *icon : {L"Pennaroc.ico", L"Pennaroc32.ico"}) {
        check::Row row(check::narrow(std::wstring_view(icon)));
        const std::string installedIcon = bytes(folder + L"\\" + icon);
        CHECK(!installedIcon.empty());
        CHECK(installedIcon == bytes(buildFolder() + L"\\" + icon));
    }
    const auto version = versionOf(folder + L"\\Pennaroc.exe");
    if (CHECK(version.has_value())) {
        CHECK_EQ(version->product, std::wstring(L"Pennaroc"));
        CHECK_EQ(version->company, std::wstring(L"Veltrane"));
        CHECK_EQ(version->productVersion, std::wstring(L"1.00"));
    }
    CHECK(carriesIcon(folder + L"\\Pennaroc.exe", buildFolder() + L"\\Pennaroc.ico"));
    CHECK(exists(folder + L"\\Uninstall.exe"));

    struct Text {
        const wchar_t *name;
        std::wstring value;
    };
    const Text texts[] = {
        {L"DisplayName", L"Pennaroc"},
        {L"DisplayVersion", L"1.00"},
        {L"Publisher", L"Veltrane"},
        {L"DisplayIcon", folder + L"\\Pennaroc.exe,0"},
        {L"InstallLocation", folder},
        {L"UninstallString", L"\"" + folder + L"\\Uninstall.exe\""},
        {L"QuietUninstallString", L"\"" + folder + L"\\Uninstall.exe\" /S"},
    };
    for (const Text &text : texts) {
        check::Row row(check::narrow(std::wstring_view(text.name)));
        CHECK_EQ(entryText(text.name), std::optional<std::wstring>(text.value));
    }
    for (const wchar_t *name : {L"NoModify", L"NoRepair"}) {
        check::Row row(check::narrow(std::wstring_view(name)));
        CHECK_EQ(entryNumber(name), std::optional<DWORD>(1));
    }
    // The files' size in KiB.
    std::size_t total = 0;
    for (const wchar_t *file : {L"Pennaroc.exe", L"Pennaroc.ico", L"Pennaroc32.ico", L"Uninstall.exe"})
        total += bytes(folder + L"\\" + file).size();
    const auto estimated = entryNumber(L"EstimatedSize");
    CHECK(estimated && *estimated >= total / 1024 && *estimated <= total / 1024 + 4);

    CHECK_EQ(shortcutTarget(shortcut()), folder + L"\\Pennaroc.exe");
}

// The installed program starts against the test automation server and
// shows its main window on the current record.
void installedProgramStarts()
{
    const std::wstring exe = programFilesFolder() + L"\\Pennaroc.exe";
    if (!CHECK(exists(exe)))
        return;
    testserver::Control control;
    control.reset();
    control.setCurrentRow(control.addRecord(L"Quote sent [[" + buildFolder() + L"\\Pennaroc32.ico]]"));
    Process program(L"\"" + exe + L"\"");
    HWND window = installed::waitForMainWindow(program);
    if (!CHECK(window != nullptr))
        return;
    CHECK_EQ(installed::windowText(window), std::wstring(L"Pennaroc"));
    const forms::FormSpec &layout = app::Form1::layout();
    for (std::size_t row = 0; row < layout.controls.size(); ++row) {
        if (layout.controls[row].id == "optAction0") {
            HWND open = GetDlgItem(window, 100 + int(row));
            CHECK(IsWindowEnabled(open));
            CHECK_EQ(SendMessageW(open, BM_GETCHECK, 0, 0), LRESULT(BST_CHECKED));
        }
    }
    // It is the installed copy that runs.
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, program.id());
    wchar_t image[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    if (CHECK(process != nullptr) && CHECK(QueryFullProcessImageNameW(process, 0, image, &length)))
        CHECK_EQ(std::wstring(image, length), exe);
    if (process)
        CloseHandle(process);

    // While it runs, neither the uninstaller nor the installer replaces its
    // files: a silent run gives up at once (status 2, aborted).
    const std::wstring folder = programFilesFolder();
    CHECK_EQ(runToEnd(L"\"" + folder + L"\\Uninstall.exe\" /S _?=" + folder), 2L);
    CHECK_EQ(install(L"1.00"), 2L);
    CHECK(exists(exe));
    CHECK(entryText(L"DisplayName").has_value());

    // ACT! closes its database: the program ends.
    control.raiseEvent(10);
    CHECK_EQ(program.exitStatus(30000), 0L);
}

// The uninstall keeps the user's setting, and leaves everything else as it
// was before the install.
void silentUninstall()
{
    const Snapshot &expected = before();
    if (!CHECK(entryText(L"QuietUninstallString").has_value()))
        return;
    const std::wstring settings = UserSettingKey + L"\\Settings";
    const auto setting = [&]() -> std::optional<std::wstring> {
        wchar_t value[MAX_PATH] = {};
        DWORD size = sizeof value;
        if (RegGetValueW(HKEY_CURRENT_USER, settings.c_str(), L"DefaultFolder", RRF_RT_REG_SZ, nullptr, value, &size)
            != ERROR_SUCCESS)
            return std::nullopt;
        return std::wstring(value);
    };
    const auto write = [&](const std::wstring &folder) {
        return RegSetKeyValueW(HKEY_CURRENT_USER, settings.c_str(), L"DefaultFolder", REG_SZ, folder.c_str(),
                               DWORD((folder.size() + 1) * sizeof(wchar_t)));
    };
    // The user chose a folder while the program was installed; what there
    // was before goes back afterwards (other tests may have left keys).
    const std::optional<std::wstring> earlier = setting();
    const std::wstring keys[] = {settings, UserSettingKey, L"Software\\VB and VBA Program Settings"};
    bool existed[std::size(keys)];
    for (std::size_t i = 0; i < std::size(keys); ++i) {
        HKEY key;
        existed[i] = RegOpenKeyExW(HKEY_CURRENT_USER, keys[i].c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (existed[i])
            RegCloseKey(key);
    }
    const std::wstring folder = L"C:\\users\\Public\\Documents\\Quotes";
    CHECK_EQ(write(folder), LSTATUS(ERROR_SUCCESS));

    CHECK_EQ(uninstall(), 0L);
    CHECK(!exists(programFilesFolder()));
    CHECK(!exists(shortcut()));
    CHECK_EQ(setting(), std::optional<std::wstring>(folder));

    // The setting as it was before the test; then nothing else differs.
    if (earlier)
        write(*earlier);
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, settings.c_str(), L"DefaultFolder");
    for (std::size_t i = 0; i < std::size(keys); ++i) {
        if (!existed[i])
            RegDeleteKeyW(HKEY_CURRENT_USER, keys[i].c_str());
    }
    checkUnchanged(expected);
}

// 1.00 over 0.90 installed in a folder of the user's choice: the same
// folder, one entry in the list of programs, the new version's files; and
// its uninstall leaves nothing of either.
void upgradeInPlace()
{
    const Snapshot &expected = before();
    CreateDirectoryW(OwnFolder.c_str(), nullptr);
    const std::wstring folder = OwnFolder + L"\\Pennaroc";
    const std::wstring exe = folder + L"\\Pennaroc.exe";

    CHECK_EQ(install(L"0.90", folder), 0L);
    CHECK_EQ(entryText(L"DisplayVersion"), std::optional<std::wstring>(L"0.90"));
    auto version = versionOf(exe);
    CHECK(version && version->productVersion == L"0.90");

    CHECK_EQ(install(L"1.00"), 0L);
    CHECK_EQ(entriesNamingPennaroc(), 1);
    CHECK_EQ(entryText(L"DisplayVersion"), std::optional<std::wstring>(L"1.00"));
    CHECK_EQ(entryText(L"InstallLocation"), std::optional<std::wstring>(folder));
    version = versionOf(exe);
    CHECK(version && version->productVersion == L"1.00");
    CHECK(carriesIcon(exe, buildFolder() + L"\\Pennaroc.ico"));
    CHECK(exists(folder + L"\\Uninstall.exe"));
    CHECK(!exists(programFilesFolder()));
    CHECK_EQ(shortcutTarget(shortcut()), exe);

    CHECK_EQ(uninstall(), 0L);
    CHECK(!exists(folder));
    CHECK(RemoveDirectoryW(OwnFolder.c_str()));
    checkUnchanged(expected);
}

} // namespace

int main(int argc, char **argv)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const testserver::EndServerAtExit endServer;
    return check::run(argc, argv,
                      {
                          {"installerVersionAndIcon", installerVersionAndIcon},
                          {"silentInstall", silentInstall},
                          {"installedProgramStarts", installedProgramStarts},
                          {"silentUninstall", silentUninstall},
                          {"upgradeInPlace", upgradeInPlace},
                      });
}
