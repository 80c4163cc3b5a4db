#pragma once

#include <QString>

// True when path names an existing file or folder. Empty text is false. The
// path is tested exactly as given: blanks around it are part of the name.
bool FolderFileExists(const QString &path);
