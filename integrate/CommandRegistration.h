#pragma once

// The eight values under which the program registers its own command in
// ACT!, derived from where the running executable lies.

#include <QString>
#include <QStringList>

namespace integrate {

// How paths are written: Windows form (backslashes, the executable named
// with ".EXE") or Linux form (slashes, the executable's real file name).
enum class PathForm { Windows, Linux };

constexpr PathForm nativePathForm()
{
#ifdef Q_OS_WIN
    return PathForm::Windows;
#else
    return PathForm::Linux;
#endif
}

struct CommandRegistration {
    QString name;        // 1: the command's name
    QString executable;  // 2: the program to launch
    QString folder;      // 3: the folder it starts in
    QString caption;     // 4: the command's caption
    QString tooltip;     // 5: tooltip prefix + name
    QString icon;        // 6: small icon, beside the executable
    QString largeIcon;   // 7: large icon, beside the executable
    qint16 flags = 1;    // 8

    // The eight values in registration order, the last one as a number.
    QStringList values() const;
};

// The executable's file name without its extension ("Pennaroc.exe" gives
// "Pennaroc"; a name without extension stays as it is).
QString executableBaseName(const QString &executableFileName);

// folder is the folder of the running executable, executableFileName its
// file name with whatever extension it has.
//   Windows: folder\Base.EXE, folder, folder\Base.ico, folder\Base32.ico
//            (".EXE" in upper case whatever the real name's case; slashes
//            in the folder become backslashes).
//   Linux:   folder/FileName, folder, folder/Base.ico, folder/Base32.ico.
// A folder that already ends with a separator (a root folder) gets none added.
CommandRegistration registrationValues(const QString &appName, const QString &tooltipPrefix,
                                       const QString &folder, const QString &executableFileName, PathForm form);

} // namespace integrate
