#pragma once

// The per-user settings store on Windows, where the old program kept its
// setting, so that a user moving from it keeps the default attachment
// folder: each entry is a string value (REG_SZ) named after its key, in
//
//   HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>
//
// Texts are UTF-16 std::wstring, as the registry holds them;
// settings/registry/RegistrySettingsStore.h is the settings store over this.

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

namespace settings::registry {

class Error : public std::exception {
public:
    Error(std::int32_t number, std::wstring description) : number_(number), description_(std::move(description)) {}
    std::int32_t number() const noexcept { return number_; }
    const std::wstring &description() const noexcept { return description_; }
    const char *what() const noexcept override { return "settings::registry::Error"; }

private:
    std::int32_t number_;
    std::wstring description_;
};

// Raised for an empty application, section or key.
inline constexpr std::int32_t InvalidCall = 5;
// Raised when the registry refuses a read or a write.
inline constexpr std::int32_t AccessFailure = 75;

// The key under HKEY_CURRENT_USER that holds a section's entries.
std::wstring keyPath(const std::wstring &application, const std::wstring &section);

// The entry's text, exactly as stored (a value that is not a string reads
// as missing); nothing when there is no such entry. An entry holding empty
// text exists and reads as empty text.
std::optional<std::wstring> read(const std::wstring &application, const std::wstring &section,
                                 const std::wstring &key);

// Creates or replaces the entry with text, as REG_SZ, creating its keys.
void write(const std::wstring &application, const std::wstring &section, const std::wstring &key,
           const std::wstring &text);

} // namespace settings::registry
