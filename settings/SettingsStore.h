#pragma once

// The per-user settings store: text entries addressed by application name,
// section and key.
//
// On Linux each application name has one INI file in the user's
// configuration folder (settings/qt). On Windows the entries are registry
// values, where the old program kept them: under HKEY_CURRENT_USER, the key
// "Software\VB and VBA Program Settings\<application>\<section>", one string
// value per key (settings/registry).
//
// Every read opens the store afresh and every write is flushed at once, so
// a value written by one running copy is what the next read of any copy
// sees. Nothing system-wide is ever consulted.

#include <cstdint>
#include <string>

namespace settings {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // The stored text, or valueIfMissing when the entry does not exist. An
    // entry that holds empty text exists and reads as empty text. Raises
    // host::Failure when the store cannot be read, and InvalidCall (5) for an
    // empty application, section or key.
    virtual std::u16string read(const std::u16string &application, const std::u16string &section,
                                const std::u16string &key, const std::u16string &valueIfMissing) = 0;

    // Creates or replaces the entry with text, unchanged. Raises
    // host::Failure when the store cannot be written.
    virtual void write(const std::u16string &application, const std::u16string &section, const std::u16string &key,
                       const std::u16string &text) = 0;

    // The number reported when the store cannot be read or written.
    static constexpr std::int32_t AccessFailure = 75;
};

} // namespace settings
