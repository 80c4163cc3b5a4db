#include "settings/ModSHBrowse.h"

namespace ModSHBrowse {

std::optional<std::u16string> browseForFolder(platform::PlatformServices &desktop, platform::WindowHandle owner)
{
    return desktop.BrowseForFolder(owner);
}

} // namespace ModSHBrowse
