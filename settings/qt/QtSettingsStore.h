#pragma once

// The settings store on Linux: one INI file per application name in the
// user's configuration folder, <config>/<application>/<application>.conf,
// each section a group in it. The application name serves as the QSettings
// organisation as well as the application, because QSettings refuses an
// empty organisation.

#include "settings/SettingsStore.h"

#include <QString>

namespace settings {

class QtSettingsStore : public SettingsStore {
public:
    std::u16string read(const std::u16string &application, const std::u16string &section, const std::u16string &key,
                        const std::u16string &valueIfMissing) override;
    void write(const std::u16string &application, const std::u16string &section, const std::u16string &key,
               const std::u16string &text) override;

    // The file that holds the entries of an application.
    static QString fileName(const std::u16string &application);
};

} // namespace settings
