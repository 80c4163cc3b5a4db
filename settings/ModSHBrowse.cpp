#include "settings/ModSHBrowse.h"

namespace ModSHBrowse {

std::optional<QString> browseForFolder(platform::PlatformServices &desktop, QWidget *owner)
{
    return desktop.BrowseForFolder(owner);
}

} // namespace ModSHBrowse
