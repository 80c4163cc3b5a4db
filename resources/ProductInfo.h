#pragma once

// The product's name and the maker's addresses, each kept in one place.
// Header-only and free of widgets, so that every window can use it.

#include <QString>

namespace product {

// The application title: the window caption, the title of the program's
// message boxes, the name the setting is filed under and the name the
// command is registered under.
inline QString applicationTitle() { return QStringLiteral("Pennaroc"); }

// The maker, and the program's version as the build gives it.
inline QString makerName() { return QStringLiteral("Veltrane"); }
inline QString versionText()
{
    return QString::number(PENNAROC_VERSION_MAJOR) + QLatin1Char('.') + QString::number(PENNAROC_VERSION_MINOR)
        + QLatin1Char('.') + QString::number(PENNAROC_VERSION_PATCH);
}

// The maker's web site, opened by the main window's link.
inline QString webSiteUrl() { return QStringLiteral("https://www.veltrane.example/"); }

// The web site's host name, as the main window's link shows it.
inline QString webSiteHost() { return QStringLiteral("www.veltrane.example"); }

// The name of the program's desktop entry, without ".desktop": an id in
// reverse-DNS form after the web site's domain, which the AppStream file in
// packaging/ shares. Desktops find the entry, and its icon, by this name.
inline QString desktopFileName() { return QStringLiteral("example.veltrane.Pennaroc"); }

// Where users send error reports and questions.
inline QString supportAddress() { return QStringLiteral("support@veltrane.example"); }

// The closing line of the error reports of the main window and the
// location dialog.
inline QString supportContactLine()
{
    return QStringLiteral("Please contact ") + supportAddress() + QStringLiteral(" with this error message.");
}

} // namespace product
