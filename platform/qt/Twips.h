#pragma once

// Windows are laid out in twips, as they were designed; the screen has 15
// twips to a pixel (96 dpi), and Qt's high-DPI scaling does the rest.

#include <QRect>

namespace platform {

inline constexpr int TwipsPerPixel = 15;

// Twips to pixels, rounded to the nearest pixel.
constexpr int px(int twips)
{
    return (twips * 2 + (twips < 0 ? -TwipsPerPixel : TwipsPerPixel)) / (2 * TwipsPerPixel);
}

// A control's rectangle given as left, top, width and height in twips.
constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

} // namespace platform
