#pragma once

// The per-user settings store: text entries addressed by application name,
// section and key.
//
// On Linux each application name has one INI file in the user's
// configuration folder, <config>/<application>/<application>.conf, and each
// section is a group in it. The application name serves as the QSettings
// organisation as well as the application, because QSettings refuses an
// empty organisation.
//
// On Windows the entries are registry values instead, where the old program
// kept them: under HKEY_CURRENT_USER, the key "Software\VB and VBA Program
// Settings\<application>\<section>", one string value per key
// (settings/registry).
//
// Every read opens the store afresh and every write is flushed at once, so
// a value written by one running copy is what the next read of any copy
// sees. System-wide files are never consulted.

#include <QString>

namespace settings {

class SettingsStore {
public:
    // The stored text, or valueIfMissing when the entry does not exist. An
    // entry that holds empty text exists and reads as empty text. Raises
    // host::Failure when the store cannot be read.
    static QString read(const QString &application, const QString &section, const QString &key,
                        const QString &valueIfMissing);

    // Creates or replaces the entry with text, unchanged. Raises
    // host::Failure when the store cannot be written.
    static void write(const QString &application, const QString &section, const QString &key,
                      const QString &text);

    // The file that holds the entries of an application.
    static QString fileName(const QString &application);

    // The number reported when the store's file cannot be read or written.
    static constexpr qint32 AccessFailure = 75;
};

} // namespace settings
