#pragma once

// Small desktop helpers shared by the windows: handing a file, folder or
// address to the desktop, and bringing a window to the front.

#include "platform/PlatformServices.h"

#include <string>

namespace app::Module1 {

// Asks the desktop to carry out operation on target, with no parameters,
// the program's own folder as working folder and the normal show command.
// The desktop's answer is returned; the program's callers ignore it.
bool ShellOpen(platform::PlatformServices &desktop, platform::WindowHandle owner, const std::u16string &operation,
               const std::u16string &target);

// Brings window to the front.
void BringToFront(platform::PlatformServices &desktop, platform::WindowHandle window);

} // namespace app::Module1
