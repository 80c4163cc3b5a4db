#include "app/AttachmentMarker.h"

#include "host/Failure.h"

namespace app {
namespace {

constexpr std::u16string_view OpeningMarker = u"[[";
constexpr std::u16string_view ClosingMarker = u"]]";

// 1-based position of the first pair of the character c (as in "[[" or
// "]]") in text, searching from the 1-based position from; 0 when absent.
// The scan looks for the single character, which is much faster on long
// texts than a search for the two-character string.
std::int32_t inStr(std::int32_t from, std::u16string_view text, char16_t c)
{
    std::size_t at = std::size_t(from) - 1;
    for (;;) {
        at = text.find(c, at);
        if (at == std::u16string_view::npos || at + 1 >= text.size())
            return 0;
        if (text[at + 1] == c)
            return host::toInt32(std::int64_t(at) + 1);
        ++at;
    }
}

// 1-based position of the first "[" of the last run of two or more "["
// that ends before the 1-based position before; 0 when there is none at or
// after the 1-based position from.
std::int32_t lastOpening(std::int32_t from, std::int32_t before, std::u16string_view text)
{
    // A backward loop that looks at every second character: when it is no
    // "[", neither it nor the one after it can end a run. The text between
    // the markers is usually short, but a stray "[[" far up in the field can
    // make it the whole field.
    const char16_t *const chars = text.data();
    const std::int64_t first = std::int64_t(from) - 1; // a run of at least two starts here
    std::int64_t at = std::int64_t(before) - 2;        // where the last run could end
    while (at > first) {
        if (chars[at - 1] != u'[') {
            at -= 2;
            continue;
        }
        if (chars[at] != u'[') {
            at -= 1;
            continue;
        }
        std::int64_t runStart = at - 1;
        while (runStart > first && chars[runStart - 1] == u'[')
            --runStart;
        return host::toInt32(runStart + 1);
    }
    return from;
}

// text without its leading and trailing spaces, as a view into it.
std::u16string_view trimmedView(std::u16string_view text)
{
    const std::size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

} // namespace

std::u16string trimSpaces(std::u16string_view text)
{
    return std::u16string(trimmedView(text));
}

AttachmentMarker ReadAttachment(std::u16string_view text)
{
    AttachmentMarker marker;
    if (text.find_first_not_of(u' ') == std::u16string_view::npos)
        return marker;
    marker.MarkerStart = inStr(1, text, u'[');
    marker.MarkerEnd = inStr(marker.MarkerStart + 1, text, u']');
    if (marker.MarkerStart > 0 && marker.MarkerEnd > 0) {
        // The first "[[" is one of the runs looked at, so one is always found.
        marker.MarkerStart = lastOpening(marker.MarkerStart, marker.MarkerEnd, text);
        marker.hasAttachment = true;
        marker.path = text.substr(std::size_t(marker.MarkerStart) + 1,
                                  std::size_t(marker.MarkerEnd - marker.MarkerStart - 2));
    }
    return marker;
}

std::u16string StripAttachment(std::u16string_view text, std::int32_t markerStart, std::int32_t markerEnd)
{
    const std::int64_t start = markerStart;
    const std::int64_t end = markerEnd;
    const auto size = std::int64_t(text.size());
    if (start < 1 || end < 1 || end <= start + 1 || start > size)
        return std::u16string(text);
    std::u16string_view before = text.substr(0, std::size_t(start - 1));
    std::u16string_view after = end + 1 < size ? text.substr(std::size_t(end + 1)) : std::u16string_view();
    // The spaces are trimmed from the joined text, so a part made only of
    // spaces gives way to the other one. Built in one buffer: the Details
    // text can be long.
    const std::size_t lead = before.find_first_not_of(u' ');
    if (lead == std::u16string_view::npos) {
        before = {};
        after = trimmedView(after);
    } else {
        before.remove_prefix(lead);
        const std::size_t trail = after.find_last_not_of(u' ');
        if (trail == std::u16string_view::npos) {
            after = {};
            before = trimmedView(before);
        } else {
            after = after.substr(0, trail + 1);
        }
    }
    std::u16string joined;
    joined.reserve(before.size() + after.size());
    joined.append(before);
    joined.append(after);
    return joined;
}

std::u16string ComposeAttachment(std::u16string_view strippedText, std::u16string_view path)
{
    std::u16string text;
    text.reserve(strippedText.size() + path.size() + 5);
    text.append(strippedText);
    text.append(u" ");
    text.append(OpeningMarker);
    text.append(path);
    text.append(ClosingMarker);
    return text;
}

bool PathFitsMarker(std::u16string_view path)
{
    return path.find(OpeningMarker) == std::u16string_view::npos
        && path.find(ClosingMarker) == std::u16string_view::npos && (path.empty() || path.back() != u']');
}

} // namespace app
