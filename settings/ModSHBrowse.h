#pragma once

// The folder chooser of the default attachment location dialog.

#include "platform/PlatformServices.h"

#include <optional>
#include <string>

namespace ModSHBrowse {

// Shows the desktop's folder chooser, modal over owner and starting at the
// top of the file system. Gives the chosen folder's full path, or nothing
// when the user cancels.
std::optional<std::u16string> browseForFolder(platform::PlatformServices &desktop, platform::WindowHandle owner);

} // namespace ModSHBrowse
