#pragma once

// The opaque window handle of the platform services is a window's HWND.

#include "platform/PlatformServices.h"

#include "platform/win32/SystemHeaders.h"

namespace platform::win32 {

inline WindowHandle handleOf(HWND window)
{
    return reinterpret_cast<WindowHandle>(window);
}

inline HWND hwndOf(WindowHandle handle)
{
    return reinterpret_cast<HWND>(handle);
}

} // namespace platform::win32
