// Pennaroc: attaches files to ACT!'s Sales/Opportunity records. The Windows
// program: the Win32 face, ACT!'s automation objects through COM, and the
// setting in the registry.

#include "app/Form1.h"
#include "host/com/ComHostFactory.h"
#include "platform/win32/Win32Face.h"
#include "platform/win32/Win32PlatformServices.h"
#include "settings/registry/RegistrySettingsStore.h"

#include <ole2.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // The user interface thread is a single-threaded apartment: the shell's
    // dialogs need one, and ACT!'s notifications reach it through its
    // message loop.
    const HRESULT ole = OleInitialize(nullptr);
    int status = 0;
    {
        // The face outlives every window; the windows go before it.
        platform::win32::Win32Face face;
        platform::win32::Win32PlatformServices desktop;
        settings::RegistrySettingsStore store;
        host::com::ComHostFactory host;
        app::Form1 window(face, host, desktop, store);
        status = window.runProgram();
    }
    if (SUCCEEDED(ole))
        OleUninitialize();
    return status;
}
