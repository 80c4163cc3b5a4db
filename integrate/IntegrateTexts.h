#pragma once

// The integration dialog's 17 texts, in English and in French.

#include <cstdint>
#include <string>
#include <vector>

namespace integrate {

inline constexpr std::int32_t TextCount = 17;

// Entry by entry: 0 contact line of the error report, 1 start of the
// command's tooltip, 2 and 3 the restart question, 4 the failure message,
// 5 the dialog caption, 6 to 11 the six view labels, 12 and 13 the frame
// captions, 14 and 15 the button captions, 16 the restart hint.
std::vector<std::u16string> englishTexts();
std::vector<std::u16string> frenchTexts();

// The two places of a view's boxes, as the boxes' accessible names give
// them after the view's name: the toolbar button, then the Tools-menu item.
// Language 0 English, 1 French; any other language has none (an empty list).
std::vector<std::u16string> placeNames(std::int16_t language);

} // namespace integrate
