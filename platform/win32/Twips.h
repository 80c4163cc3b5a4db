#pragma once

// Windows are laid out in twips (1/1440 inch): 15 twips to a pixel at 96
// dots per inch, and as many fewer as the display has more dots.

#include "platform/win32/SystemHeaders.h"

namespace platform::win32 {

inline constexpr int TwipsPerInch = 1440;

// Twips to pixels at dpi dots per inch, rounded to the nearest pixel.
inline int pixels(int twips, int dpi)
{
    return MulDiv(twips, dpi, TwipsPerInch);
}

// Pixels to twips at dpi dots per inch.
inline int twips(int pixels, int dpi)
{
    return MulDiv(pixels, TwipsPerInch, dpi);
}

// The display's dots per inch, as this program (aware of the system's
// setting, see resources/Pennaroc.manifest) sees every window.
int systemDpi();

} // namespace platform::win32
