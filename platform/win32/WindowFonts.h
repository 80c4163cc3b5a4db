#pragma once

// The fonts of the windows: every window is drawn in one family, "MS Sans
// Serif" where the system has it, else the system's message font, at the
// table's size and style. One font per distinct size and style, made once
// and destroyed with the set.

#include "platform/forms/Layout.h"

#include "platform/win32/SystemHeaders.h"

#include <string>
#include <utility>
#include <vector>

namespace platform::win32 {

class WindowFonts {
public:
    explicit WindowFonts(int dpi);
    ~WindowFonts();
    WindowFonts(const WindowFonts &) = delete;
    WindowFonts &operator=(const WindowFonts &) = delete;

    HFONT font(const forms::Font &font);
    // The family the windows are drawn in.
    const std::wstring &family() const { return family_; }

private:
    int dpi_;
    LOGFONTW base_{};
    std::wstring family_;
    std::vector<std::pair<forms::Font, HFONT>> fonts_;
};

// True when the system has a font family named family.
bool fontFamilyExists(const std::wstring &family);

} // namespace platform::win32
