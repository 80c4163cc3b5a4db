#pragma once

// A settings store in memory, for tests: entries by application, section
// and key, a missing entry distinct from an empty one, failures on demand,
// and a record of every read and write.
//
// It refuses an empty application, section or key as the real stores do
// (failure 5, "Invalid procedure call: the settings application name is
// empty", "... the settings section is empty", "... the settings key is
// empty"), checked in that order and before any injected failure. A call
// refused that way is recorded all the same.
//
// Calls are recorded as "read(<application>,<section>,<key>)" and
// "write(<application>,<section>,<key>,<text>)".

#include "host/Failure.h"
#include "settings/SettingsStore.h"

#include <compare>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class MemorySettings : public settings::SettingsStore {
public:
    struct Key {
        std::u16string application;
        std::u16string section;
        std::u16string key;
        auto operator<=>(const Key &) const = default;
    };

    // --- the store -----------------------------------------------------------
    std::map<Key, std::u16string> entries;

    // --- failures ------------------------------------------------------------
    // While set, every read (write) raises this failure and changes nothing.
    std::optional<host::Failure> readFailure;
    std::optional<host::Failure> writeFailure;

    // --- what the program did ----------------------------------------------
    int reads = 0;  // every read asked, refused ones included
    int writes = 0; // every write asked, refused ones included
    std::vector<std::u16string> calls;
    std::vector<std::u16string> *journal = nullptr; // when set, calls are appended here too

    // The entry, or nothing when it does not exist. Not recorded.
    std::optional<std::u16string> entry(const std::u16string &application, const std::u16string &section,
                                        const std::u16string &key) const;
    // Creates or replaces an entry. Not recorded.
    void setEntry(const std::u16string &application, const std::u16string &section, const std::u16string &key,
                  const std::u16string &text);
    // Removes an entry; a missing one stays missing. Not recorded.
    void removeEntry(const std::u16string &application, const std::u16string &section, const std::u16string &key);

    // SettingsStore
    std::u16string read(const std::u16string &application, const std::u16string &section, const std::u16string &key,
                        const std::u16string &valueIfMissing) override;
    void write(const std::u16string &application, const std::u16string &section, const std::u16string &key,
               const std::u16string &text) override;

private:
    void note(const std::u16string &call);
};

// The number and description a store raises when it cannot be read or
// written, as a test injects it.
host::Failure settingsAccessFailure(const std::u16string &action = u"read");

} // namespace testsupport
