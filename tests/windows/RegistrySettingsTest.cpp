// The setting in the registry, where the old program kept it: read and
// written under HKEY_CURRENT_USER, key "Software\VB and VBA Program
// Settings\Pennaroc\Settings", value DefaultFolder, a REG_SZ, also a value
// the old program wrote before.

#include "settings/registry/RegistrySettings.h"
#include "tests/windows/Check.h"

#include <windows.h>

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
                      });
}
