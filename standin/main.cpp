// act-standin: the stand-in ACT! service and its command line.

#include "platform/qt/QtPlatformServices.h"
#include "standin/StandinCommandLine.h"
#include "standin/StandinWindow.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Without a display, making a QApplication would abort the process; say why
// instead. An explicit platform plug-in (offscreen, for one) needs none.
bool displayAvailable()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char **argv)
{
    int status = 0;
    {
        const bool withWindow = standin::wantsWindow(argc, argv);
        if (withWindow && !displayAvailable()) {
            std::fputs("act-standin: --window needs a display, and neither DISPLAY nor WAYLAND_DISPLAY is set\n",
                       stderr);
            std::_Exit(1);
        }
        // The headless service needs no display: only a window makes a
        // QApplication.
        std::unique_ptr<QCoreApplication> app;
        if (withWindow)
            app = std::make_unique<QApplication>(argc, argv);
        else
            app = std::make_unique<QCoreApplication>(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("act-standin"));

        platform::QtPlatformServices platform;
        status = standin::runCommandLine(argc, argv, [&platform](standin::StandinService &service) {
            auto window = std::make_unique<standin::StandinWindow>(service, platform);
            window->show();
            return std::unique_ptr<QObject>(std::move(window));
        });
    }
    // Every file and database is closed by now. End here rather than in the
    // global destructors: the bus library's own thread may still be handling
    // a late message while those run, and would print warnings about types
    // that are already gone.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
