#pragma once

// The settings store (settings/SettingsStore.h) on Windows: each entry a
// string value in the registry, where the old program kept it
// (settings/registry/RegistrySettings.h). Failures are raised as
// host::Failure: InvalidCall (5) for an empty application, section or key,
// AccessFailure (75) when the registry refuses a read or a write.

#include "settings/SettingsStore.h"

namespace settings {

class RegistrySettingsStore : public SettingsStore {
public:
    std::u16string read(const std::u16string &application, const std::u16string &section, const std::u16string &key,
                        const std::u16string &valueIfMissing) override;
    void write(const std::u16string &application, const std::u16string &section, const std::u16string &key,
               const std::u16string &text) override;
};

} // namespace settings
