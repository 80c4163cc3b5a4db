#pragma once

// The eight values under which the program registers its own command in
// ACT!, derived from where the running executable lies.

#include <cstdint>
#include <string>
#include <vector>

namespace integrate {

// How paths are written: Windows form (backslashes, the executable named
// with ".EXE") or Linux form (slashes, the executable's real file name).
enum class PathForm { Windows, Linux };

constexpr PathForm nativePathForm()
{
#ifdef _WIN32
    return PathForm::Windows;
#else
    return PathForm::Linux;
#endif
}

struct CommandRegistration {
    std::u16string name;       // 1: the command's name
    std::u16string executable; // 2: the program to launch
    std::u16string folder;     // 3: the folder it starts in
    std::u16string caption;    // 4: the command's caption
    std::u16string tooltip;    // 5: tooltip prefix + name
    std::u16string icon;       // 6: small icon, beside the executable
    std::u16string largeIcon;  // 7: large icon, beside the executable
    std::int16_t flags = 1;    // 8

    // The eight values in registration order, the last one as a number.
    std::vector<std::u16string> values() const;
};

// The executable's file name without its extension ("Pennaroc.exe" gives
// "Pennaroc"; a name without extension stays as it is).
std::u16string executableBaseName(const std::u16string &executableFileName);

// folder is the folder of the running executable, executableFileName its
// file name with whatever extension it has.
//   Windows: folder\Base.EXE, folder, folder\Base.ico, folder\Base32.ico
//            (".EXE" in upper case whatever the real name's case; slashes
//            in the folder become backslashes).
//   Linux:   folder/FileName, folder, folder/Base.ico, folder/Base32.ico.
// A folder that already ends with a separator (a root folder) gets none added.
CommandRegistration registrationValues(const std::u16string &appName, const std::u16string &tooltipPrefix,
                                       const std::u16string &folder, const std::u16string &executableFileName,
                                       PathForm form);

} // namespace integrate
