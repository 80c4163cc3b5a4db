#include "settings/registry/RegistrySettingsStore.h"

#include "host/Failure.h"
#include "settings/registry/RegistrySettings.h"

#include <string_view>

namespace settings {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "texts are UTF-16 in both forms");
static_assert(registry::InvalidCall == host::Failure::InvalidCall);
static_assert(registry::AccessFailure == SettingsStore::AccessFailure);

// Both forms hold UTF-16 here: copied unit for unit.
std::wstring wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
std::u16string u16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

host::Failure failure(const registry::Error &e) { return host::Failure(e.number(), u16(e.description())); }

} // namespace

std::u16string RegistrySettingsStore::read(const std::u16string &application, const std::u16string &section,
                                           const std::u16string &key, const std::u16string &valueIfMissing)
{
    try {
        const auto value = registry::read(wide(application), wide(section), wide(key));
        return value ? u16(*value) : valueIfMissing;
    } catch (const registry::Error &e) {
        throw failure(e);
    }
}

void RegistrySettingsStore::write(const std::u16string &application, const std::u16string &section,
                                  const std::u16string &key, const std::u16string &text)
{
    try {
        registry::write(wide(application), wide(section), wide(key), wide(text));
    } catch (const registry::Error &e) {
        throw failure(e);
    }
}

} // namespace settings
