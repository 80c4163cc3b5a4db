// Fuzz target for the attachment marker rules: no input crashes them,
// stripping never lengthens the text, PathFitsMarker accepts exactly the
// paths without "[[" or "]]" that do not end in "]", such a path reads back
// whole after any text without a marker of its own, and
// a text with a single opening run reads as the simple first-"[["-to-
// first-"]]" rule always read it, so stored records keep their meaning.

#include "app/AttachmentMarker.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

constexpr std::size_t npos = std::u16string_view::npos;

bool contains(std::u16string_view s, std::u16string_view part)
{
    return s.find(part) != npos;
}

bool endsWith(std::u16string_view s, std::u16string_view end)
{
    return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

// The input is two UTF-16 strings, the field text and a path, separated
// by the first 0xFFFF code unit (or split in the middle when there is none).
void splitInput(const uint8_t *data, size_t size, std::u16string &text, std::u16string &path)
{
    const size_t units = size / 2;
    std::u16string all(units, u'\0');
    if (units > 0)
        std::memcpy(all.data(), data, units * 2);
    std::size_t cut = all.find(char16_t(0xFFFF));
    if (cut == npos) {
        cut = all.size() / 2;
        text = all.substr(0, cut);
        path = all.substr(cut);
    } else {
        text = all.substr(0, cut);
        path = all.substr(cut + 1);
    }
}

// The simple rule: the first "[[" and the first "]]" after it.
app::AttachmentMarker firstToFirst(std::u16string_view text)
{
    app::AttachmentMarker marker;
    if (app::trimSpaces(text).empty())
        return marker;
    const std::size_t start = text.find(u"[[");
    marker.MarkerStart = start == npos ? 0 : std::int32_t(start + 1);
    const std::size_t end = text.find(u"]]", start == npos ? 0 : start + 1);
    marker.MarkerEnd = end == npos ? 0 : std::int32_t(end + 1);
    if (start != npos && end != npos) {
        marker.hasAttachment = true;
        marker.path = text.substr(start + 2, end - start - 2);
    }
    return marker;
}

// Runs of two or more "[" in text.
int openingRuns(std::u16string_view text)
{
    int runs = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == u'[' && text[i + 1] == u'[' && (i == 0 || text[i - 1] != u'['))
            ++runs;
    return runs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::u16string text, path;
    splitInput(data, size, text, path);

    const app::AttachmentMarker marker = app::ReadAttachment(text);
    check(marker.MarkerStart >= 0 && marker.MarkerEnd >= 0);
    check(marker.hasAttachment == (marker.MarkerStart > 0 && marker.MarkerEnd > 0));
    if (marker.hasAttachment) {
        check(marker.MarkerEnd >= marker.MarkerStart + 2);
        check(std::int64_t(marker.path.size()) == std::int64_t(marker.MarkerEnd) - marker.MarkerStart - 2);
    }

    const std::u16string stripped = app::StripAttachment(text, marker.MarkerStart, marker.MarkerEnd);
    check(stripped.size() <= text.size());
    if (!marker.hasAttachment)
        check(stripped == text);
    // Stripping joins the text before and after the marker, then trims it.
    if (marker.hasAttachment) {
        const std::u16string_view whole(text);
        const std::u16string joined = std::u16string(whole.substr(0, std::size_t(marker.MarkerStart) - 1))
            + std::u16string(whole.substr(std::size_t(marker.MarkerEnd) + 1));
        check(stripped == app::trimSpaces(joined));
    }

    const std::u16string written = app::ComposeAttachment(stripped, path);
    const app::AttachmentMarker reread = app::ReadAttachment(written);
    check(reread.hasAttachment);
    check(endsWith(written, u"]]"));

    const auto holdsMarker = [](std::u16string_view s) { return contains(s, u"[[") || contains(s, u"]]"); };
    // A path ending in "]" joins the closing marker one character early
    // ("...]" + "]]"), so it is cut like a path holding "]]".
    const bool fits = app::PathFitsMarker(path);
    check(fits == (!holdsMarker(path) && !endsWith(path, u"]")));
    if (fits)
        check(app::ReadAttachment(app::ComposeAttachment(std::u16string_view(), path)).path == path);
    // Whatever the user typed before it, a stray "[[" or a lone "]]"
    // included, a fitting path reads back whole, unless that text holds a
    // whole marker of its own (which then comes first, as it always did).
    if (fits && !app::ReadAttachment(stripped).hasAttachment) {
        check(reread.path == path);
        // Stripping the new marker gives the stripped text back, trimmed.
        check(app::StripAttachment(written, reread.MarkerStart, reread.MarkerEnd) == app::trimSpaces(stripped));
    }

    // With a single opening run, the reading is the simple rule's.
    if (openingRuns(text) <= 1) {
        const app::AttachmentMarker simple = firstToFirst(text);
        check(marker.hasAttachment == simple.hasAttachment);
        if (marker.hasAttachment) {
            check(marker.MarkerStart == simple.MarkerStart && marker.MarkerEnd == simple.MarkerEnd);
            check(marker.path == simple.path);
        }
    }
    // Every record the program writes from a text without "[[" and a path
    // without "[[" reads as before.
    if (!contains(stripped, u"[[") && !contains(path, u"[[")) {
        const app::AttachmentMarker simple = firstToFirst(written);
        check(reread.MarkerStart == simple.MarkerStart && reread.MarkerEnd == simple.MarkerEnd);
        check(reread.path == simple.path);
    }
    // The path found holds no "[[" past the opening run it starts in.
    if (marker.hasAttachment) {
        std::size_t from = 0;
        while (from < marker.path.size() && marker.path[from] == u'[')
            ++from;
        check(!contains(std::u16string_view(marker.path).substr(from), u"[["));
    }

    // Random positions never crash stripping and never lengthen the text.
    if (size >= 8) {
        std::int32_t a = 0, b = 0;
        std::memcpy(&a, data, 4);
        std::memcpy(&b, data + 4, 4);
        check(app::StripAttachment(text, a % 1024, b % 1024).size() <= text.size());
    }
    return 0;
}
