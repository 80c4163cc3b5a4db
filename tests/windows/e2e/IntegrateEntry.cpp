// The integration dialog on its own, for the end-to-end tests: the Win32
// face against ACT!'s automation objects through COM, as Pennaroc.exe has
// it, in the language the command line names (0 English, 1 French; the
// program itself always shows English). It opens the dialog for the
// Contacts view, as the main window does, and ends when the dialog closes.
//
//   IntegrateEntry LANGUAGE

#include "host/com/ComHostFactory.h"
#include "integrate/clsFrmIntegrate.h"
#include "platform/win32/Win32Face.h"
#include "platform/win32/Win32PlatformServices.h"
#include "resources/ProductInfo.h"

#include <ole2.h>
#include <shellapi.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const auto language = static_cast<std::int16_t>(argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 0);
    LocalFree(argv);

    const HRESULT ole = OleInitialize(nullptr);
    {
        platform::win32::Win32Face face;
        // A name of its own, so that it never counts as a copy of the program.
        platform::win32::Win32PlatformServices desktop(L"PennarocTest.IntegrateEntry");
        host::com::ComHostFactory host;
        // Yes to the restart question has no main window to restart ACT!
        // here; the dialog then closes as after No.
        clsFrmIntegrate integrate(face, host, desktop, [] {});
        integrate.setLanguage(language);
        integrate.setAppName(product::applicationTitle());
        integrate.setContactScreen(true);
        integrate.setContactListScreen(false);
        integrate.setGroupScreen(false);
        integrate.setTaskListScreen(false);
        integrate.setCalendarsScreen(false);
        integrate.setEmailScreen(false);
        integrate.setIntegrateIcon(forms::Icon::Program);
        integrate.showModal();
    }
    if (SUCCEEDED(ole))
        OleUninitialize();
    return 0;
}
