#include "app/Module1.h"

namespace app::Module1 {

bool ShellOpen(platform::PlatformServices &desktop, platform::WindowHandle owner, const std::u16string &operation,
               const std::u16string &target)
{
    return desktop.ShellExecute(owner, operation, target, std::nullopt, desktop.ProgramFolder(), platform::SW_SHOW);
}

void BringToFront(platform::PlatformServices &desktop, platform::WindowHandle window)
{
    desktop.SetForegroundWindow(window);
}

} // namespace app::Module1
