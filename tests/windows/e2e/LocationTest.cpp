// Pennaroc.exe's location dialog (Options > Default Attachment Location...)
// as a user meets it: its text box shows the per-user setting (the program's
// folder when there is none), OK stores what the box holds in the registry
// where the old program kept it, Cancel, Escape and the close box store
// nothing, and Browse... opens the real folder browser, rooted at the
// desktop and driven with the keyboard.
// Needs a display (CTest runs it under xvfb-run) and the test server.

#include "app/Form1.h"
#include "settings/frmLocation.h"
#include "tests/windows/Check.h"
#include "tests/windows/TestServer.h"
#include "tests/windows/driver/Driver.h"

#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using driver::Program;
using testserver::Control;

const forms::FormSpec &Main = app::Form1::layout();
const forms::FormSpec &Location = frmLocation::layout();

const std::wstring Caption = L"Default Attachment Location";

// The folders the cases choose, under the prefix's folder for temporary
// files.
std::wstring base()
{
    return driver::tempFolder() + L"Pennaroc location\\";
}

// The folder Pennaroc.exe is in, as the program writes it: no closing
// backslash.
std::wstring programFolder()
{
    const std::wstring folder = driver::programFolder();
    return folder.substr(0, folder.size() - 1);
}

int pixels(int twips)
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return MulDiv(twips, dpi, 1440);
}

// One connection to the test server for the whole program. Under Wine a COM
// server can deadlock when the last of its objects of one interface goes
// while another call is handing out a new one (a program ending as the next
// row begins): the test's own control object, held throughout, keeps the
// server's interfaces from ever going at once.
Control *server = nullptr;

// The program's main window on a record of the server, and its location
// dialog once opened from the menu.
struct Scene {
    Control &control = *server;
    Program program;
    HWND window = nullptr;
    HWND dialog = nullptr;

    Scene()
    {
        control.reset();
        control.setCurrentRow(1);
    }

    bool start()
    {
        window = driver::waitForMainWindow(program);
        return CHECK(window != nullptr);
    }

    bool open()
    {
        driver::chooseMenu(window, Main, "mnuLocation");
        driver::WindowQuery query;
        query.caption = Caption;
        query.menuBar = false;
        dialog = driver::waitForWindow(program, query);
        return CHECK(dialog != nullptr);
    }

    HWND control_(std::string_view id) const { return driver::control(dialog, Location, id); }
    std::wstring shown() const { return driver::controlText(control_("txtPath")); }

    // Replaces the text box's text as a user does: Tab to it (which selects
    // all it holds) and type.
    void type(const std::wstring &typed)
    {
        for (int tabs = 0; tabs < 4 && driver::focusOf(dialog) != control_("txtPath"); ++tabs)
            CHECK(driver::pressKey(dialog, VK_TAB));
        CHECK(driver::focusOf(dialog) == control_("txtPath"));
        CHECK(driver::typeText(dialog, typed));
        driver::waitUntil([&] { return shown() == typed; }, 5000);
        CHECK_EQ(shown(), typed);
    }

    // The dialog has gone and the main window takes input again; nothing
    // else is shown.
    void closed()
    {
        CHECK(driver::waitGone(dialog));
        CHECK(driver::waitUntil([&] { return IsWindowEnabled(window) != FALSE; }));
        driver::WindowQuery query;
        query.menuBar = false;
        CHECK(driver::findWindow(program.id(), query) == nullptr);
        CHECK(program.running());
    }

    void end()
    {
        driver::press(driver::control(window, Main, "cmdCancel"));
        CHECK_EQ(program.exitStatus(30000), 0L);
    }
};

// The dialog: its caption, controls and places, owned by the main window,
// which it disables while it is open; its text box shows the setting as it
// is stored, or the program's folder when there is none. Cancel leaves the
// setting as it was, absent included.
void dialogShowsTheSetting()
{
    struct Case {
        const char *name;
        std::optional<std::wstring> setting;
        std::wstring shown;
    };
    const Case cases[] = {
        {"a folder", L"C:\\Quotes Ä\\2026", L"C:\\Quotes Ä\\2026"},
        {"a file, as it was typed", L"C:\\Quotes\\index.pnrdoc", L"C:\\Quotes\\index.pnrdoc"},
        {"an empty setting", std::wstring(), std::wstring()},
        {"no setting", std::nullopt, programFolder()},
    };
    bool layoutChecked = false;
    for (const Case &c : cases) {
        check::Row row(c.name);
        driver::setDefaultFolderSetting(c.setting);
        Scene scene;
        if (!scene.start() || !scene.open())
            continue;
        CHECK_EQ(scene.shown(), c.shown);
        CHECK(GetWindow(scene.dialog, GW_OWNER) == scene.window);
        CHECK(!IsWindowEnabled(scene.window));
        CHECK(GetMenu(scene.dialog) == nullptr);
        if (!layoutChecked) {
            layoutChecked = true;
            CHECK_EQ(driver::text(scene.dialog), Caption);
            RECT client;
            GetClientRect(scene.dialog, &client);
            CHECK_EQ(client.right, LONG(pixels(Location.width)));
            CHECK_EQ(client.bottom, LONG(pixels(Location.height)));
            struct Shown {
                const char *id;
                std::wstring text;
            };
            const Shown controls[] = {{"lblPath", L"Default Attachment Folder :"},
                                      {"txtPath", L""},
                                      {"cmdOK", L"&OK"},
                                      {"cmdCancel", L"&Cancel"},
                                      {"cmdBrowse", L"Browse..."}};
            for (const Shown &shown : controls) {
                check::Row inner(std::string(c.name) + ", " + shown.id);
                HWND control = scene.control_(shown.id);
                if (!CHECK(control != nullptr))
                    continue;
                const driver::ControlView seen = driver::view(control);
                CHECK(seen.visible);
                CHECK(seen.enabled);
                if (std::string_view(shown.id) != "txtPath")
                    CHECK_EQ(seen.text, shown.text);
                for (const forms::ControlSpec &design : Location.controls) {
                    if (design.id != shown.id)
                        continue;
                    CHECK(std::abs(seen.place.left - pixels(design.place.left)) <= 1);
                    CHECK(std::abs(seen.place.top - pixels(design.place.top)) <= 1);
                    CHECK(std::abs((seen.place.right - seen.place.left) - pixels(design.place.width)) <= 1);
                }
            }
            // OK is the default button.
            CHECK_EQ(GetWindowLongW(scene.control_("cmdOK"), GWL_STYLE) & BS_TYPEMASK, LONG(BS_DEFPUSHBUTTON));
        }
        driver::press(scene.control_("cmdCancel"));
        scene.closed();
        CHECK_EQ(driver::defaultFolderSetting(), c.setting);
        scene.end();
    }
}

// OK (the button or Enter) stores what the text box holds, as it is: a
// folder that does not exist included, without a word; the dialog shows it
// when opened again. Cancel, Escape and the close box store nothing.
void okStoresWhatTheBoxHolds()
{
    enum How { OkButton, Enter, CancelButton, Escape, CloseBox };
    struct Case {
        const char *name;
        std::optional<std::wstring> before;
        std::optional<std::wstring> typed; // nothing: the text shown is kept
        How how;
        std::optional<std::wstring> after;
    };
    const std::wstring typed = base() + L"Typed Ä [2026]";
    CreateDirectoryW(typed.c_str(), nullptr);
    std::wstring longText = L"C:";
    while (longText.size() < 400)
        longText += L"\\Angebote und Rechnungen Ä";
    const Case cases[] = {
        {"shown, OK", std::nullopt, std::nullopt, OkButton, programFolder()},
        {"typed, OK", L"C:\\Old", typed, OkButton, typed},
        {"typed, Enter", L"C:\\Old", typed, Enter, typed},
        {"a folder that does not exist, OK", L"C:\\Old", L"C:\\No such folder\\Données", OkButton,
         L"C:\\No such folder\\Données"},
        {"an empty box, OK", L"C:\\Old", L"", OkButton, L""},
        {"a text longer than a path, OK", L"C:\\Old", longText, OkButton, longText},
        {"typed, Cancel", L"C:\\Old", typed, CancelButton, L"C:\\Old"},
        {"typed, Escape", std::nullopt, typed, Escape, std::nullopt},
        {"typed, close box", L"C:\\Old", typed, CloseBox, L"C:\\Old"},
    };
    for (const Case &c : cases) {
        check::Row row(c.name);
        driver::setDefaultFolderSetting(c.before);
        Scene scene;
        if (!scene.start() || !scene.open())
            continue;
        if (c.typed) {
            if (c.typed->empty()) {
                // Tab selects the whole text, Delete takes it.
                scene.type(L"x");
                CHECK(driver::pressKey(scene.dialog, VK_BACK));
                CHECK_EQ(scene.shown(), std::wstring());
            } else {
                scene.type(*c.typed);
            }
        }
        switch (c.how) {
        case OkButton: driver::press(scene.control_("cmdOK")); break;
        case Enter: CHECK(driver::pressKey(scene.dialog, VK_RETURN)); break;
        case CancelButton: driver::press(scene.control_("cmdCancel")); break;
        case Escape: CHECK(driver::pressKey(scene.dialog, VK_ESCAPE)); break;
        case CloseBox: PostMessageW(scene.dialog, WM_SYSCOMMAND, SC_CLOSE, 0); break;
        }
        scene.closed();
        CHECK_EQ(driver::defaultFolderSetting(), c.after);
        if (scene.open()) {
            CHECK_EQ(scene.shown(), c.after.value_or(programFolder()));
            driver::press(scene.control_("cmdCancel"));
            scene.closed();
        }
        scene.end();
    }
}

// The folder browser: the real one, over the location dialog, rooted at the
// desktop. OK on the place it starts on gives the desktop's folder; a
// folder found with the keys (arrows to open a level, its name typed to
// select it) is put in the text box, and the dialog's OK stores it. Cancel
// changes nothing.
void browse()
{
    wchar_t desktop[MAX_PATH] = {};
    CHECK(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop)));
    const std::wstring chosen = base() + L"Choix Ä";
    CreateDirectoryW(chosen.c_str(), nullptr);
    enum How { OkAtStart, ByKeys, Cancel };
    struct Case {
        const char *name;
        How how;
        std::wstring shown;
    };
    const std::wstring before = L"C:\\Old";
    const Case cases[] = {
        {"OK where it starts", OkAtStart, desktop},
        {"a folder found with the keys", ByKeys, chosen},
        {"Cancel", Cancel, before},
    };
    for (const Case &c : cases) {
        check::Row row(c.name);
        driver::setDefaultFolderSetting(before);
        Scene scene;
        if (!scene.start() || !scene.open())
            continue;
        driver::press(scene.control_("cmdBrowse"));
        driver::WindowQuery query;
        query.menuBar = false;
        query.not1 = scene.dialog;
        HWND browser = driver::waitForWindow(scene.program, query);
        if (!CHECK(browser != nullptr))
            continue;
        CHECK(GetWindow(browser, GW_OWNER) == scene.dialog);
        CHECK(!IsWindowEnabled(scene.dialog));
        CHECK(!IsWindowEnabled(scene.window));
        HWND tree = FindWindowExW(browser, nullptr, L"SysTreeView32", nullptr);
        if (!CHECK(tree != nullptr))
            continue;
        // One item at the top: the desktop.
        const auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        CHECK_EQ(driver::treeItemText(tree, root), std::wstring(L"Desktop"));
        CHECK(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(root)) == 0);

        if (c.how == ByKeys) {
            // Into the tree (Shift+Tab from OK), where the desktop is
            // selected; down through My Computer and its first drive to the
            // folder.
            CHECK(driver::pressKey(browser, VK_TAB, {VK_SHIFT}));
            CHECK(driver::focusOf(browser) == tree);
            CHECK_EQ(driver::treeSelection(tree), std::vector<std::wstring>{L"Desktop"});
            CHECK(driver::typeText(browser, L"My Computer"));
            CHECK(driver::pressKey(browser, VK_RIGHT));
            CHECK(driver::pressKey(browser, VK_RIGHT));
            std::vector<std::wstring> selected = driver::treeSelection(tree);
            CHECK(!selected.empty() && selected.back().find(L"(C:)") != std::wstring::npos);
            std::vector<std::wstring> names;
            for (std::size_t at = 3, next; (next = chosen.find(L'\\', at)) != std::wstring::npos || at < chosen.size();
                 at = next + 1) {
                if (next == std::wstring::npos)
                    next = chosen.size();
                names.push_back(chosen.substr(at, next - at));
            }
            for (const std::wstring &name : names) {
                CHECK(driver::pressKey(browser, VK_RIGHT));
                // The tree takes letters typed within a moment of each
                // other as one name to look for: let the last one lapse.
                Sleep(1000);
                CHECK(driver::typeText(browser, name));
                if (!CHECK(driver::waitUntil([&] {
                        selected = driver::treeSelection(tree);
                        return !selected.empty() && selected.back() == name;
                    })))
                    break;
            }
            CHECK(driver::pressKey(browser, VK_RETURN));
        } else {
            driver::press(GetDlgItem(browser, c.how == Cancel ? IDCANCEL : IDOK));
        }
        CHECK(driver::waitGone(browser));
        CHECK(driver::waitUntil([&] { return IsWindowEnabled(scene.dialog) != FALSE; }));
        CHECK(!IsWindowEnabled(scene.window));
        CHECK_EQ(scene.shown(), c.shown);
        // Only the dialog's OK stores it.
        CHECK_EQ(driver::defaultFolderSetting(), std::optional<std::wstring>(before));
        driver::press(scene.control_("cmdOK"));
        scene.closed();
        CHECK_EQ(driver::defaultFolderSetting(), std::optional<std::wstring>(c.shown));
        scene.end();
    }
}

// The folder stored through the dialog is where the next Attach's Open File
// dialog starts: a bare file name typed there is found in it.
void storedFolderStartsAttach()
{
    const std::wstring folder = base() + L"Angebote Ä";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring file = folder + L"\\Quote 12.pnrdoc";
    CHECK(driver::writeFile(file));
    driver::setDefaultFolderSetting(L"C:\\Old");
    Scene scene;
    const std::int32_t record = scene.control.addRecord(L"Call back");
    scene.control.setCurrentRow(record);
    if (!scene.start() || !scene.open())
        return;
    scene.type(folder);
    driver::press(scene.control_("cmdOK"));
    scene.closed();
    // Attach is selected on a record without a file.
    driver::press(driver::control(scene.window, Main, "cmdOK"));
    driver::WindowQuery query;
    query.menuBar = false;
    HWND dialog = driver::waitForWindow(scene.program, query);
    if (!CHECK(dialog != nullptr))
        return;
    CHECK(driver::typeText(dialog, L"Quote 12.pnrdoc"));
    CHECK(driver::pressKey(dialog, VK_RETURN));
    CHECK_EQ(scene.program.exitStatus(30000), 0L);
    CHECK_EQ(scene.control.details(record), L"Call back [[" + file + L"]]");
}

} // namespace

int main(int argc, char **argv)
{
    const testserver::EndServerAtExit endServer;
    Control control;
    server = &control;
    // The groups share the prefix: the setting is put back as it was.
    const std::optional<std::wstring> setting = driver::defaultFolderSetting();
    CreateDirectoryW(base().c_str(), nullptr);
    const int status = check::run(argc, argv,
                                  {{"dialogShowsTheSetting", dialogShowsTheSetting},
                                   {"okStoresWhatTheBoxHolds", okStoresWhatTheBoxHolds},
                                   {"browse", browse},
                                   {"storedFolderStartsAttach", storedFolderStartsAttach}});
    driver::setDefaultFolderSetting(setting);
    DeleteFileW((base() + L"Angebote Ä\\Quote 12.pnrdoc").c_str());
    for (const wchar_t *folder : {L"Angebote Ä", L"Choix Ä", L"Typed Ä [2026]", L""})
        RemoveDirectoryW((base() + folder).c_str());
    return status;
}
