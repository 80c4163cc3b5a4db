// The executable's version information, read back from this program (which
// carries the same resource) with GetFileVersionInfo and VerQueryValue.

#include "tests/windows/Check.h"

#include <windows.h>

#include <vector>

namespace {

std::vector<BYTE> versionInfo()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    std::vector<BYTE> data(size);
    if (!CHECK(size > 0) || !CHECK(GetFileVersionInfoW(path, 0, size, data.data())))
        data.clear();
    return data;
}

std::wstring stringValue(std::vector<BYTE> &data, const wchar_t *name)
{
    wchar_t *value = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void **>(&value), &length) || !value)
        return L"(none)";
    return std::wstring(value, length && value[length - 1] == L'\0' ? length - 1 : length);
}

void strings()
{
    struct Row {
        const wchar_t *name;
        const wchar_t *value;
    };
    const Row rows[] = {
        {L"ProductName", L"Pennaroc"},       {L"CompanyName", L"Veltrane"},  {L"FileVersion", L"1.00"},
        {L"ProductVersion", L"1.00"},        {L"OriginalFilename", L"Pennaroc.exe"},
        {L"InternalName", L"Pennaroc"},      {L"FileDescription", L"Pennaroc"},
    };
    std::vector<BYTE> data = versionInfo();
    if (data.empty())
        return;
    for (const Row &r : rows)
        CHECK_EQ(stringValue(data, r.name), std::wstring(r.value));
}

void fixedInfoAndLanguage()
{
    std::vector<BYTE> data = versionInfo();
    if (data.empty())
        return;
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    if (CHECK(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void **>(&fixed), &length)) && fixed) {
        CHECK_EQ(fixed->dwSignature, DWORD(0xFEEF04BD));
        CHECK_EQ(HIWORD(fixed->dwFileVersionMS), 1);
        CHECK_EQ(LOWORD(fixed->dwFileVersionMS), 0);
        CHECK_EQ(fixed->dwFileVersionLS, DWORD(0));
        CHECK_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
        CHECK_EQ(fixed->dwFileType, DWORD(VFT_APP));
    }
    WORD *translation = nullptr;
    if (CHECK(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translation),
                             &length))
        && translation && CHECK(length >= 4)) {
        CHECK_EQ(translation[0], 0x409);
        CHECK_EQ(translation[1], 1200);
    }
}

void icon() { CHECK(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1)) != nullptr); }

} // namespace

int main(int argc, char **argv)
{
    return check::run(argc, argv,
                      {
                          {"strings", strings},
                          {"fixedInfoAndLanguage", fixedInfoAndLanguage},
                          {"icon", icon},
                      });
}
