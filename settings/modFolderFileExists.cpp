#include "settings/modFolderFileExists.h"

bool FolderFileExists(platform::PlatformServices &desktop, const std::u16string &path)
{
    if (path.empty())
        return false;
    return desktop.PathExists(path);
}
