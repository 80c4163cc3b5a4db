#include "tests/support/MemorySettings.h"

namespace testsupport {
namespace {

void requireName(const std::u16string &name, const std::u16string &what)
{
    if (name.empty())
        throw host::Failure(host::Failure::InvalidCall, u"Invalid procedure call: the settings " + what + u" is empty");
}

void requireNames(const std::u16string &application, const std::u16string &section, const std::u16string &key)
{
    requireName(application, u"application name");
    requireName(section, u"section");
    requireName(key, u"key");
}

} // namespace

void MemorySettings::note(const std::u16string &call)
{
    calls.push_back(call);
    if (journal)
        journal->push_back(call);
}

std::optional<std::u16string> MemorySettings::entry(const std::u16string &application, const std::u16string &section,
                                                    const std::u16string &key) const
{
    const auto found = entries.find(Key{application, section, key});
    if (found == entries.end())
        return std::nullopt;
    return found->second;
}

void MemorySettings::setEntry(const std::u16string &application, const std::u16string &section,
                              const std::u16string &key, const std::u16string &text)
{
    entries[Key{application, section, key}] = text;
}

void MemorySettings::removeEntry(const std::u16string &application, const std::u16string &section,
                                 const std::u16string &key)
{
    entries.erase(Key{application, section, key});
}

std::u16string MemorySettings::read(const std::u16string &application, const std::u16string &section,
                                    const std::u16string &key, const std::u16string &valueIfMissing)
{
    ++reads;
    note(u"read(" + application + u"," + section + u"," + key + u")");
    requireNames(application, section, key);
    if (readFailure)
        throw *readFailure;
    return entry(application, section, key).value_or(valueIfMissing);
}

void MemorySettings::write(const std::u16string &application, const std::u16string &section, const std::u16string &key,
                           const std::u16string &text)
{
    ++writes;
    note(u"write(" + application + u"," + section + u"," + key + u"," + text + u")");
    requireNames(application, section, key);
    if (writeFailure)
        throw *writeFailure;
    setEntry(application, section, key, text);
}

host::Failure settingsAccessFailure(const std::u16string &action)
{
    return host::Failure(settings::SettingsStore::AccessFailure,
                         u"Path/File access error: the settings could not be " + action);
}

} // namespace testsupport
