// Pennaroc: attaches files to ACT!'s Sales/Opportunity records. The Linux
// program: the Qt face, the stand-in ACT! on the session bus, and the
// setting in an INI file.

#include "app/Form1.h"
#include "app/qt/ProgramArguments.h"
#include "host/dbus/DBusHost.h"
#include "platform/qt/QtFace.h"
#include "platform/qt/QtPlatformServices.h"
#include "platform/qt/QtText.h"
#include "platform/qt/QtTranslations.h"
#include "platform/qt/WindowFont.h"
#include "resources/ProductInfo.h"
#include "settings/qt/QtSettingsStore.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    using platform::qt::toQString;
    // Answered on standard output without a window, so no display is needed.
    if (app::asksForHelpOrVersion(argc, argv))
        return app::printHelpOrVersion(argc, argv);

    // Read while the application object connects to the display.
    platform::FontConfigurationLoader fonts;
    QApplication application(argc, argv);
    fonts.wait();
    QApplication::setApplicationName(toQString(product::applicationTitle()));
    QApplication::setApplicationVersion(toQString(product::versionText()));
    // The setting names its file itself, so the maker's name moves nothing.
    QApplication::setOrganizationName(toQString(product::makerName()));
    QGuiApplication::setDesktopFileName(toQString(product::desktopFileName()));
    // The program ends when its main window unloads, or when the restart
    // timer says so, even while the window is hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt's own buttons and dialogs speak the user's language; the program's
    // texts stay as they are.
    platform::loadQtTranslations();

    platform::qt::QtFace face;
    platform::QtPlatformServices desktop;
    settings::QtSettingsStore store;
    host::dbus::DBusHostFactory host;
    app::Form1 window(face, host, desktop, store);
    return window.runProgram();
}
