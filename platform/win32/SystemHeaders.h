#pragma once

// The system's headers, as the Win32 face and services include them.
//
// shellapi.h names ShellExecute as a macro for ShellExecuteW; the desktop
// services have a member of that name (platform/PlatformServices.h), which
// the macro would rename. The system's function is called by its W name.

#include <windows.h>

#include <shellapi.h>
#include <shlwapi.h>

#ifdef ShellExecute
#undef ShellExecute
#endif
