#include "app/Module1.h"

namespace app::Module1 {

bool ShellOpen(platform::PlatformServices &desktop, QWidget *owner, const QString &operation,
               const QString &target)
{
    return desktop.ShellExecute(owner, operation, target, QString(), desktop.ProgramFolder(), platform::SW_SHOW);
}

void BringToFront(platform::PlatformServices &desktop, QWidget *window)
{
    desktop.SetForegroundWindow(window);
}

} // namespace app::Module1
