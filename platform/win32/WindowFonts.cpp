#include "platform/win32/WindowFonts.h"

#include <cmath>
#include <cwchar>

namespace platform::win32 {
namespace {

// The family the windows were designed in.
constexpr wchar_t DesignFamily[] = L"MS Sans Serif";

int CALLBACK familyFound(const LOGFONTW *, const TEXTMETRICW *, DWORD, LPARAM found)
{
    *reinterpret_cast<bool *>(found) = true;
    return 0; // one is enough
}

} // namespace

bool fontFamilyExists(const std::wstring &family)
{
    if (family.empty() || family.size() >= LF_FACESIZE)
        return false;
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    std::wcsncpy(wanted.lfFaceName, family.c_str(), LF_FACESIZE - 1);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &wanted, familyFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

WindowFonts::WindowFonts(int dpi) : dpi_(dpi)
{
    if (fontFamilyExists(DesignFamily)) {
        base_.lfCharSet = DEFAULT_CHARSET;
        base_.lfOutPrecision = OUT_DEFAULT_PRECIS;
        base_.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        base_.lfQuality = DEFAULT_QUALITY;
        base_.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
        std::wcsncpy(base_.lfFaceName, DesignFamily, LF_FACESIZE - 1);
    } else {
        // The system's message font: its family, character set and quality.
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
            base_ = metrics.lfMessageFont;
        } else {
            base_.lfCharSet = DEFAULT_CHARSET;
            GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof base_, &base_);
        }
    }
    family_ = base_.lfFaceName;
}

WindowFonts::~WindowFonts()
{
    for (const auto &made : fonts_)
        DeleteObject(made.second);
}

HFONT WindowFonts::font(const forms::Font &font)
{
    for (const auto &made : fonts_) {
        if (made.first == font)
            return made.second;
    }
    LOGFONTW wanted = base_;
    // The size in points as a character height in pixels (negative: the
    // character's height, not the cell's).
    wanted.lfHeight = -static_cast<LONG>(std::lround(font.points * dpi_ / 72.0));
    wanted.lfWidth = 0;
    wanted.lfEscapement = 0;
    wanted.lfOrientation = 0;
    wanted.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    wanted.lfItalic = FALSE;
    wanted.lfUnderline = font.underline ? TRUE : FALSE;
    wanted.lfStrikeOut = FALSE;
    HFONT made = CreateFontIndirectW(&wanted);
    if (!made)
        made = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    else
        fonts_.emplace_back(font, made);
    return made;
}

} // namespace platform::win32
