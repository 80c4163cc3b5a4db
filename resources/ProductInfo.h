#pragma once

// The product's name and the maker's addresses, each kept in one place.
// Header-only and free of any toolkit, so that every window can use it.

#include <string>

namespace product {

// The application title: the window caption, the title of the program's
// message boxes, the name the setting is filed under and the name the
// command is registered under.
inline std::u16string applicationTitle() { return u"Pennaroc"; }

// The maker, and the program's version as the build gives it.
inline std::u16string makerName() { return u"Veltrane"; }
inline std::u16string versionText()
{
    const std::string v = std::to_string(PENNAROC_VERSION_MAJOR) + '.' + std::to_string(PENNAROC_VERSION_MINOR) + '.'
        + std::to_string(PENNAROC_VERSION_PATCH);
    return std::u16string(v.begin(), v.end());
}

// The maker's web site, opened by the main window's link.
inline std::u16string webSiteUrl() { return u"https://www.veltrane.example/"; }

// The web site's host name, as the main window's link shows it.
inline std::u16string webSiteHost() { return u"www.veltrane.example"; }

// The name of the program's desktop entry, without ".desktop": an id in
// reverse-DNS form after the web site's domain, which the AppStream file in
// packaging/ shares. Desktops find the entry, and its icon, by this name.
inline std::u16string desktopFileName() { return u"example.veltrane.Pennaroc"; }

// Where users send error reports and questions.
inline std::u16string supportAddress() { return u"support@veltrane.example"; }

// The closing line of the error reports of the main window and the
// location dialog.
inline std::u16string supportContactLine() { return u"Please contact " + supportAddress() + u" with this error message."; }

} // namespace product
