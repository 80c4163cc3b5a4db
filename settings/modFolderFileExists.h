#pragma once

#include "platform/PlatformServices.h"

#include <string>

// True when path names an existing file or folder, as the desktop finds it.
// Empty text is false, without asking. The path is tested exactly as given:
// blanks around it are part of the name.
bool FolderFileExists(platform::PlatformServices &desktop, const std::u16string &path);
