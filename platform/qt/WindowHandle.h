#pragma once

// A window of the Qt face as the portable code names it: the opaque handle
// is the window's QWidget, and only this face reads it back.

#include "platform/PlatformServices.h"

#include <QWidget>

namespace platform::qt {

inline WindowHandle handleOf(QWidget *window)
{
    return reinterpret_cast<WindowHandle>(window);
}

inline QWidget *widgetOf(WindowHandle handle)
{
    return reinterpret_cast<QWidget *>(handle);
}

} // namespace platform::qt
