// The setting in the registry, where the old program kept it: read and
// written under HKEY_CURRENT_USER, key "Software\VB and VBA Program
// Settings\Pennaroc\Settings", value DefaultFolder, a REG_SZ, also a value
// the old program wrote before; through the registry calls and through the
// program's settings store (settings::SettingsStore).

#include "host/Failure.h"
#include "settings/registry/RegistrySettings.h"
#include "settings/registry/RegistrySettingsStore.h"
#include "tests/windows/Check.h"

#include <windows.h>

#include <functional>

namespace reg = settings::registry;

namespace {

const std::wstring App = L"Pennaroc";
const std::wstring Section = L"Settings";
const std::wstring Key = L"DefaultFolder";
const std::wstring Path = L"Software\\VB and VBA Program Settings\\Pennaroc\\Settings";

void removeAll() { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Pennaroc"); }

// Writes a value the way the old program's runtime did, with the plain
// registry calls: a REG_SZ with its closing NUL.
void writeAsOldProgram(const std::wstring &value)
{
    HKEY key;
    CHECK_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
             ERROR_SUCCESS);
    CHECK_EQ(RegSetValueExW(key, Key.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                            DWORD((value.size() + 1) * sizeof(wchar_t))),
             ERROR_SUCCESS);
    RegCloseKey(key);
}

// The value as the registry holds it: its type and its bytes.
std::pair<DWORD, std::wstring> rawValue()
{
    DWORD type = 0;
    wchar_t data[1024] = {};
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CURRENT_USER, Path.c_str(), Key.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size)
        != ERROR_SUCCESS)
        return {0, L"(none)"};
    return {type, std::wstring(data, size / sizeof(wchar_t))};
}

void keyPath() { CHECK_EQ(reg::keyPath(App, Section), Path); }

void missingAndEmpty()
{
    removeAll();
    CHECK(!reg::read(App, Section, Key).has_value());
    reg::write(App, Section, Key, L"");
    CHECK(reg::read(App, Section, Key) == std::optional<std::wstring>(L""));
    removeAll();
}

// Texts round-trip as they are, and are stored as the old program stored
// them: REG_SZ with one closing NUL.
void roundTrip()
{
    const std::wstring texts[] = {
        L"C:\\Documents and Settings\\Anne\\My Documents",
        L"  blanks around  ",
        L"D:\\Pi\u00e8ces jointes\\\u4e2d\u6587 \U0001F600",
        L"\\\\server\\share\\folder",
        L"a,b;c=d@e",
    };
    removeAll();
    for (const std::wstring &text : texts) {
        reg::write(App, Section, Key, text);
        CHECK(reg::read(App, Section, Key) == std::optional<std::wstring>(text));
        const auto raw = rawValue();
        CHECK_EQ(raw.first, DWORD(REG_SZ));
        CHECK(raw.second == text + std::wstring(1, L'\0'));
    }
    removeAll();
}

// A user moving from the old program keeps the folder it stored.
void valueOfTheOldProgram()
{
    removeAll();
    writeAsOldProgram(L"C:\\Attachments");
    CHECK(reg::read(App, Section, Key) == std::optional<std::wstring>(L"C:\\Attachments"));
    reg::write(App, Section, Key, L"E:\\New");
    CHECK(reg::read(App, Section, Key) == std::optional<std::wstring>(L"E:\\New"));
    removeAll();
}

// Other values beside it are left alone, and a value of another type reads
// as missing.
void neighboursAndOtherTypes()
{
    removeAll();
    writeAsOldProgram(L"C:\\Old");
    reg::write(App, L"Other", Key, L"elsewhere");
    reg::write(App, Section, L"OtherKey", L"other");
    CHECK(reg::read(App, Section, Key) == std::optional<std::wstring>(L"C:\\Old"));
    CHECK(reg::read(App, L"Other", Key) == std::optional<std::wstring>(L"elsewhere"));
    const DWORD number = 5;
    CHECK_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, Path.c_str(), L"Number", REG_DWORD, &number, sizeof number),
             ERROR_SUCCESS);
    CHECK(!reg::read(App, Section, L"Number").has_value());
    removeAll();
}

void emptyNames()
{
    CHECK_THROWS_AS(reg::read(L"", Section, Key), reg::Error, [](const reg::Error &e) { CHECK_EQ(e.number(), 5); });
    CHECK_THROWS_AS(reg::write(App, L"", Key, L"x"), reg::Error, [](const reg::Error &e) { CHECK_EQ(e.number(), 5); });
    CHECK_THROWS_AS(reg::read(App, Section, L""), reg::Error, [](const reg::Error &e) { CHECK_EQ(e.number(), 5); });
}

// The settings store the program uses, over the same values.

const std::u16string StoreApp = u"Pennaroc";
const std::u16string StoreSection = u"Settings";
const std::u16string StoreKey = u"DefaultFolder";

std::wstring wide(const std::u16string &text) { return std::wstring(text.begin(), text.end()); }

// Missing entries give the caller's default; an entry holding empty text,
// or a value of the old program, is what is stored.
void storeReads()
{
    struct Row {
        const char *name;
        std::function<void()> scene;
        std::u16string expected;
    };
    const Row rows[] = {
        {"no key", [] {}, u"(default)"},
        {"no value in the key", [] { reg::write(App, Section, L"OtherKey", L"other"); }, u"(default)"},
        {"a number, not a text", [] {
             const DWORD number = 5;
             RegSetKeyValueW(HKEY_CURRENT_USER, Path.c_str(), Key.c_str(), REG_DWORD, &number, sizeof number);
         }, u"(default)"},
        {"empty text", [] { reg::write(App, Section, Key, L""); }, u""},
        {"the old program's value", [] { writeAsOldProgram(L"C:\\Attachments"); }, u"C:\\Attachments"},
        {"beyond the BMP", [] { writeAsOldProgram(L"D:\\\u4e2d \U0001F600"); }, u"D:\\\u4e2d \U0001F600"},
    };
    settings::RegistrySettingsStore registry;
    settings::SettingsStore &store = registry;
    for (const Row &r : rows) {
        std::printf("  %s\n", r.name);
        removeAll();
        r.scene();
        CHECK_EQ(store.read(StoreApp, StoreSection, StoreKey, u"(default)"), r.expected);
    }
    removeAll();
}

// Written texts are stored as the old program stored them, unit for unit,
// and read back unchanged by both.
void storeWrites()
{
    const std::u16string texts[] = {
        u"C:\\Documents and Settings\\Anne\\My Documents",
        u"",
        u"  blanks, commas; and = signs  ",
        u"D:\\Pi\u00e8ces jointes\\\u4e2d\u6587 \U0001F600",
        std::u16string(u"a") + char16_t(0xDC00) + u"b",
    };
    settings::RegistrySettingsStore registry;
    settings::SettingsStore &store = registry;
    removeAll();
    for (const std::u16string &text : texts) {
        store.write(StoreApp, StoreSection, StoreKey, text);
        CHECK_EQ(store.read(StoreApp, StoreSection, StoreKey, u"(default)"), text);
        CHECK(reg::read(App, Section, Key) == std::optional<std::wstring>(wide(text)));
        const auto raw = rawValue();
        CHECK_EQ(raw.first, DWORD(REG_SZ));
        CHECK(raw.second == wide(text) + std::wstring(1, L'\0'));
    }
    removeAll();
}

// Failures come as host::Failure: 5 for an empty name, 75 when the
// registry refuses, each with its description.
void storeFailures()
{
    struct Row {
        const char *name;
        std::function<void(settings::SettingsStore &)> call;
        std::int32_t number;
        std::wstring text;
    };
    // Longer than the registry allows a key's name to be.
    const std::u16string tooLong(300, u's');
    const Row rows[] = {
        {"read, no application", [](settings::SettingsStore &s) { s.read(u"", StoreSection, StoreKey, u""); },
         host::Failure::InvalidCall, L"Invalid procedure call: the settings application name is empty"},
        {"read, no section", [](settings::SettingsStore &s) { s.read(StoreApp, u"", StoreKey, u""); },
         host::Failure::InvalidCall, L"Invalid procedure call: the settings section is empty"},
        {"write, no key", [](settings::SettingsStore &s) { s.write(StoreApp, StoreSection, u"", u"x"); },
         host::Failure::InvalidCall, L"Invalid procedure call: the settings key is empty"},
        {"write refused", [&](settings::SettingsStore &s) { s.write(StoreApp, tooLong, StoreKey, u"x"); },
         settings::SettingsStore::AccessFailure,
         L"Path/File access error: the setting in HKEY_CURRENT_USER\\Software\\VB and VBA Program "
         L"Settings\\Pennaroc\\sss"},
    };
    settings::RegistrySettingsStore store;
    for (const Row &r : rows) {
        std::printf("  %s\n", r.name);
        CHECK_THROWS_AS(r.call(store), host::Failure, [&](const host::Failure &e) {
            CHECK_EQ(e.number(), r.number);
            const std::wstring said(e.description().begin(), e.description().end());
            if (!CHECK(said.find(r.text) == 0))
                std::printf("    description: %s\n", check::narrow(said).c_str());
        });
    }
    removeAll();
}

} // namespace

int main(int argc, char **argv)
{
    return check::run(argc, argv,
                      {
                          {"keyPath", keyPath},
                          {"missingAndEmpty", missingAndEmpty},
                          {"roundTrip", roundTrip},
                          {"valueOfTheOldProgram", valueOfTheOldProgram},
                          {"neighboursAndOtherTypes", neighboursAndOtherTypes},
                          {"emptyNames", emptyNames},
                          {"storeReads", storeReads},
                          {"storeWrites", storeWrites},
                          {"storeFailures", storeFailures},
                      });
}
