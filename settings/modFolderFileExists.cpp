#include "settings/modFolderFileExists.h"

#include <QFileInfo>

bool FolderFileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    return QFileInfo::exists(path);
}
