#include "settings/registry/RegistrySettings.h"

#include <windows.h>

#include <vector>

namespace settings::registry {

namespace {

void requireName(const std::wstring &name, const wchar_t *what)
{
    if (name.empty())
        throw Error(InvalidCall, std::wstring(L"Invalid procedure call: the settings ") + what + L" is empty");
}

Error accessError(const std::wstring &path, const wchar_t *action, LONG code)
{
    wchar_t *text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::wstring said = text ? text : L"error " + std::to_wstring(code);
    if (text)
        LocalFree(text);
    while (!said.empty() && (said.back() == L'\n' || said.back() == L'\r' || said.back() == L'.'))
        said.pop_back();
    return Error(AccessFailure, L"Path/File access error: the setting in HKEY_CURRENT_USER\\" + path + L" could not be "
                                    + action + L" (" + said + L")");
}

class Key {
public:
    Key() = default;
    ~Key()
    {
        if (handle_)
            RegCloseKey(handle_);
    }
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;
    HKEY *out() { return &handle_; }
    HKEY get() const { return handle_; }

private:
    HKEY handle_ = nullptr;
};

} // namespace

std::wstring keyPath(const std::wstring &application, const std::wstring &section)
{
    return L"Software\\VB and VBA Program Settings\\" + application + L"\\" + section;
}

std::optional<std::wstring> read(const std::wstring &application, const std::wstring &section,
                                 const std::wstring &key)
{
    requireName(application, L"application name");
    requireName(section, L"section");
    requireName(key, L"key");
    const std::wstring path = keyPath(application, section);
    Key handle;
    LONG result = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, handle.out());
    if (result == ERROR_FILE_NOT_FOUND)
        return std::nullopt;
    if (result != ERROR_SUCCESS)
        throw accessError(path, L"read", result);
    // The value may change between asking its size and reading it.
    for (;;) {
        DWORD type = 0, size = 0;
        result = RegQueryValueExW(handle.get(), key.c_str(), nullptr, &type, nullptr, &size);
        if (result == ERROR_FILE_NOT_FOUND)
            return std::nullopt;
        if (result != ERROR_SUCCESS)
            throw accessError(path, L"read", result);
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return std::nullopt;
        std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = size;
        result = RegQueryValueExW(handle.get(), key.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(data.data()),
                                  &got);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result == ERROR_FILE_NOT_FOUND)
            return std::nullopt;
        if (result != ERROR_SUCCESS)
            throw accessError(path, L"read", result);
        std::size_t length = got / sizeof(wchar_t);
        // A string value normally ends with one NUL, which is not part of the
        // text; one stored without it is taken as it is.
        if (length > 0 && data[length - 1] == L'\0')
            --length;
        return std::wstring(data.data(), length);
    }
}

void write(const std::wstring &application, const std::wstring &section, const std::wstring &key,
           const std::wstring &text)
{
    requireName(application, L"application name");
    requireName(section, L"section");
    requireName(key, L"key");
    const std::wstring path = keyPath(application, section);
    Key handle;
    LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  handle.out(), nullptr);
    if (result != ERROR_SUCCESS)
        throw accessError(path, L"written", result);
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    result = RegSetValueExW(handle.get(), key.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()), bytes);
    if (result != ERROR_SUCCESS)
        throw accessError(path, L"written", result);
}

} // namespace settings::registry
