#pragma once

// The program's texts (std::u16string) and Windows' wide texts hold the
// same UTF-16 code units; they are copied unit for unit, so that any text,
// unpaired surrogates included, round-trips.

#include <string>
#include <string_view>

namespace platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16 code units");

inline std::wstring wide(std::u16string_view text)
{
    return std::wstring(text.begin(), text.end());
}

inline std::u16string fromWide(std::wstring_view text)
{
    return std::u16string(text.begin(), text.end());
}

} // namespace platform::win32
