#pragma once

// The attachment marker inside a record's Details text: the attached file's
// path stands between "[[" and "]]". Positions are 1-based character
// positions in the UTF-16 text, 0 meaning "not found".

#include <cstdint>
#include <string>
#include <string_view>

namespace app {

struct AttachmentMarker {
    std::int32_t MarkerStart = 0; // position of the "[[" that opens the marker
    std::int32_t MarkerEnd = 0;   // position of the first "]]" that closes it
    bool hasAttachment = false;
    std::u16string path;          // everything strictly between the markers, untrimmed
};

// Removes leading and trailing space characters (only U+0020; tabs and line
// breaks stay).
std::u16string trimSpaces(std::u16string_view text);

// The reading rule. A text that is empty or holds only spaces has no marker
// and both positions stay 0. Otherwise the closing "]]" is the first one
// after the first "[[", and the opening "[[" is the last one before that
// closing: a stray "[[" that the user typed earlier in the text is ordinary
// text, not the start of the marker. A run of more than two "[" counts from
// its first two, so that a path beginning with "[" reads back whole.
AttachmentMarker ReadAttachment(std::u16string_view text);

// The text without the marker found at markerStart..markerEnd, trimmed of
// spaces at both ends. Positions that do not describe a marker return the
// text unchanged, untrimmed.
std::u16string StripAttachment(std::u16string_view text, std::int32_t markerStart, std::int32_t markerEnd);

// The writing rule: the stripped text, one space and the new marker.
std::u16string ComposeAttachment(std::u16string_view strippedText, std::u16string_view path);

// True when path can be written into a marker: it holds no "[[" and no "]]"
// and does not end with "]". Any other path would be cut or misread when
// read back, and is never written; every path that fits reads back whole,
// whatever text stands before the marker.
bool PathFitsMarker(std::u16string_view path);

} // namespace app
