// Pennaroc: attaches files to ACT!'s Sales/Opportunity records.

#include "app/Form1.h"
#include "app/ProgramArguments.h"
#include "resources/ProductInfo.h"
#ifdef Q_OS_WIN
#include "host/com/qt/ComHostFactory.h"
#else
#include "host/dbus/DBusHost.h"
#endif
#include "platform/QtPlatformServices.h"
#include "platform/QtTranslations.h"
#include "platform/WindowFont.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Answered on standard output without a window, so no display is needed.
    if (app::asksForHelpOrVersion(argc, argv))
        return app::printHelpOrVersion(argc, argv);

    // Read while the application object connects to the display.
    platform::FontConfigurationLoader fonts;
    QApplication application(argc, argv);
    fonts.wait();
    QApplication::setApplicationName(product::applicationTitle());
    QApplication::setApplicationVersion(product::versionText());
    // The setting names its file itself, so the maker's name moves nothing.
    QApplication::setOrganizationName(product::makerName());
    QGuiApplication::setDesktopFileName(product::desktopFileName());
    // The program ends when its main window unloads, or when the restart
    // timer says so, even while the window is hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt's own buttons and dialogs speak the user's language; the program's
    // texts stay as they are.
    platform::loadQtTranslations();

    platform::QtPlatformServices desktop;
#ifdef Q_OS_WIN
    // ACT! itself, through its automation objects.
    host::com::qt::ComHostFactory host;
#else
    host::dbus::DBusHostFactory host;
#endif
    app::Form1 window(host, desktop);
    return window.runProgram();
}
