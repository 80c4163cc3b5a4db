#include "app/AttachmentMarker.h"

#include "tests/support/Check.h"

#include <cstdint>
#include <string>

using app::ComposeAttachment;
using app::ReadAttachment;
using app::StripAttachment;

namespace {

const std::u16string Chosen = u"C:\\Docs\\Quote.doc";

// Each row: a field text, what reading it finds, what stripping leaves and
// what writing the chosen file gives.
void roundTrip()
{
    struct Row {
        const char *name;
        std::u16string before;
        bool has;
        std::u16string path;
        std::u16string stripped;
        std::u16string after;
    };
    const Row rows[] = {
        // The format's example table.
        {"empty", u"", false, u"", u"", u" [[C:\\Docs\\Quote.doc]]"},
        {"plain text", u"Call back in May", false, u"", u"Call back in May",
         u"Call back in May [[C:\\Docs\\Quote.doc]]"},
        {"marker at the end", u"Call back in May [[C:\\Old.txt]]", true, u"C:\\Old.txt", u"Call back in May",
         u"Call back in May [[C:\\Docs\\Quote.doc]]"},
        {"marker at the start", u"[[C:\\Old.txt]] Call back", true, u"C:\\Old.txt", u"Call back",
         u"Call back [[C:\\Docs\\Quote.doc]]"},
        {"two markers, only the first counts", u"a [[x]] b [[y]]", true, u"x", u"a  b [[y]]",
         u"a  b [[y]] [[C:\\Docs\\Quote.doc]]"},
        {"no closing marker", u"note [[C:\\Old.txt", false, u"", u"note [[C:\\Old.txt",
         u"note [[C:\\Old.txt [[C:\\Docs\\Quote.doc]]"},
        {"empty path is an attachment", u"[[]]", true, u"", u"", u" [[C:\\Docs\\Quote.doc]]"},

        // The edge cases.
        {"marker between words keeps both spaces", u"before [[p]] after", true, u"p", u"before  after",
         u"before  after [[C:\\Docs\\Quote.doc]]"},
        {"only spaces: no attachment, spaces kept", u"   ", false, u"", u"   ", u"    [[C:\\Docs\\Quote.doc]]"},
        {"closing marker alone is text", u"a ]] b", false, u"", u"a ]] b", u"a ]] b [[C:\\Docs\\Quote.doc]]"},
        {"closing before opening is text", u"]] x [[", false, u"", u"]] x [[",
         u"]] x [[ [[C:\\Docs\\Quote.doc]]"},
        // A "[[" that the user typed stays the user's text: the marker opens at
        // the last "[[" before its closing.
        {"stray opening before a marker stays text", u"see [[ typo then [[C:\\a.txt]]", true, u"C:\\a.txt",
         u"see [[ typo then", u"see [[ typo then [[C:\\Docs\\Quote.doc]]"},
        {"stray opening, marker between words", u"Price [[ to confirm with the client [[/x/real.txt]] end", true,
         u"/x/real.txt", u"Price [[ to confirm with the client  end",
         u"Price [[ to confirm with the client  end [[C:\\Docs\\Quote.doc]]"},
        {"several stray openings", u"a [[ b [[ c [[p]]", true, u"p", u"a [[ b [[ c",
         u"a [[ b [[ c [[C:\\Docs\\Quote.doc]]"},
        {"stray opening touching a word", u"[[a[[b]]", true, u"b", u"[[a", u"[[a [[C:\\Docs\\Quote.doc]]"},
        {"stray run of three, then a marker", u"x [[[ y [[p]]", true, u"p", u"x [[[ y",
         u"x [[[ y [[C:\\Docs\\Quote.doc]]"},
        {"stray opening, then a path beginning with [", u"x [[ y [[[p]]", true, u"[p", u"x [[ y",
         u"x [[ y [[C:\\Docs\\Quote.doc]]"},
        {"a lone [ between the markers is path", u"x [[ y [[a[b]]", true, u"a[b", u"x [[ y",
         u"x [[ y [[C:\\Docs\\Quote.doc]]"},
        {"stray opening after the marker is text", u"x [[p]] y [[ z", true, u"p", u"x  y [[ z",
         u"x  y [[ z [[C:\\Docs\\Quote.doc]]"},
        {"path holding ]] is cut at it", u"x [[C:\\a]]b.txt]]", true, u"C:\\a", u"x b.txt]]",
         u"x b.txt]] [[C:\\Docs\\Quote.doc]]"},
        {"path ending in ] loses it to the closing marker", u"x [[/tmp/a]]]", true, u"/tmp/a", u"x ]",
         u"x ] [[C:\\Docs\\Quote.doc]]"},
        {"text after the marker moves before the new one", u"[[C:\\Old.txt]] typed later", true, u"C:\\Old.txt",
         u"typed later", u"typed later [[C:\\Docs\\Quote.doc]]"},
        {"path keeps its own spaces", u"x [[ /tmp/a b ]]", true, u" /tmp/a b ", u"x",
         u"x [[C:\\Docs\\Quote.doc]]"},
        {"only spaces are trimmed, not tabs or line breaks", u"\t note\r\n [[p]] \t", true, u"p",
         u"\t note\r\n  \t", u"\t note\r\n  \t [[C:\\Docs\\Quote.doc]]"},
        {"triple bracket opens at the first two", u"[[[p]]", true, u"[p", u"", u" [[C:\\Docs\\Quote.doc]]"},
        {"closing marker overlaps the opening one", u"[[]", false, u"", u"[[]", u"[[] [[C:\\Docs\\Quote.doc]]"},
        {"characters beyond the basic plane", u"n\u00e9 \U0001F600 [[/home/\u00e9\U0001F4CE.txt]]", true,
         u"/home/\u00e9\U0001F4CE.txt", u"n\u00e9 \U0001F600", u"n\u00e9 \U0001F600 [[C:\\Docs\\Quote.doc]]"},
        // Stripping trims the joined text: spaces on either side of the
        // marker give way when the other side holds nothing else.
        {"spaces only before the marker", u"   [[p]] tail  ", true, u"p", u"tail",
         u"tail [[C:\\Docs\\Quote.doc]]"},
        {"spaces only after the marker", u"  head [[p]]    ", true, u"p", u"head",
         u"head [[C:\\Docs\\Quote.doc]]"},
        {"spaces on both sides and nothing else", u"  [[p]]  ", true, u"p", u"", u" [[C:\\Docs\\Quote.doc]]"},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        const app::AttachmentMarker marker = ReadAttachment(r.before);
        CHECK_EQ(marker.hasAttachment, r.has);
        CHECK_EQ(marker.path, r.path);
        const std::u16string strippedText = StripAttachment(r.before, marker.MarkerStart, marker.MarkerEnd);
        CHECK_EQ(strippedText, r.stripped);
        CHECK_EQ(ComposeAttachment(strippedText, Chosen), r.after);
    }
}

// The positions themselves, as the main window keeps them.
void positions()
{
    struct Row {
        const char *name;
        std::u16string text;
        std::int32_t start;
        std::int32_t end;
    };
    const Row rows[] = {
        {"empty text, nothing computed", u"", 0, 0},
        {"spaces around a closing marker are not blank", u"  ]] ", 0, 3},
        {"blank", u"    ", 0, 0},
        {"marker at the start", u"[[a]]", 1, 4},
        {"marker after text", u"ab [[c]]", 4, 7},
        {"empty path", u"[[]]", 1, 3},
        {"closing marker without opening one", u"x ]]", 0, 3},
        {"opening marker without closing one", u"x [[y", 3, 0},
        {"closing found only after the opening", u"]] [[a]]", 4, 7},
        {"supplementary characters count as two", u"\U0001F600[[a]]", 3, 6},
        {"stray opening: the last one before the closing", u"x [[ y [[z]]", 8, 11},
        {"run of three opens at its first two", u"x [[ [[[z]]", 6, 10},
        {"stray opening without any closing", u"x [[ y [[z", 3, 0},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        const app::AttachmentMarker marker = ReadAttachment(r.text);
        CHECK_EQ(marker.MarkerStart, r.start);
        CHECK_EQ(marker.MarkerEnd, r.end);
        CHECK_EQ(marker.hasAttachment, r.start > 0 && r.end > 0);
    }
}

void stripIgnoresPositionsThatAreNoMarker()
{
    struct Row {
        const char *name;
        std::int32_t start;
        std::int32_t end;
    };
    const Row rows[] = {
        {"no opening marker", 0, 8},
        {"no closing marker", 5, 0},
        {"closing not after opening + 1", 5, 6},
        {"closing before opening", 5, 2},
        {"negative positions", -3, -1},
        {"opening past the end", 40, 50},
        {"largest positions", INT32_MAX - 1, INT32_MAX},
        {"opening at the largest position", INT32_MAX, 8},
    };
    const std::u16string text = u"  a [[b]] c  ";
    for (const Row &r : rows) {
        check::Row row(r.name);
        CHECK_EQ(StripAttachment(text, r.start, r.end), text);
    }
    // With the real positions the same text is stripped and trimmed.
    CHECK_EQ(StripAttachment(text, 5, 8), std::u16string(u"a  c"));
    // A closing past the end drops everything after the opening.
    CHECK_EQ(StripAttachment(text, 5, 40), std::u16string(u"a"));
}

// Which chosen paths can be written so that they read back whole.
void pathFitsMarker()
{
    struct Row {
        const char *name;
        std::u16string path;
        bool fits;
    };
    const Row rows[] = {
        {"plain", u"/home/u/Quote.odt", true},
        {"a lone bracket of each kind", u"/home/u/a[1]b.txt", true},
        {"begins with [", u"[draft] quote.txt", true},
        {"ends with [", u"/home/u/a[", true},
        {"] at the start", u"]x", true},
        {"spaces, line breaks and marks", u" /home/u/n\u00e9e\r\nz \U0001F4CE \"q\" ", true},
        {"holds ]]", u"/home/u/report]]final.txt", false},
        {"holds [[", u"/home/u/[[old/a.txt", false},
        {"holds [[[", u"/home/u/a[[[b.txt", false},
        {"ends with ]", u"/home/u/scan[2]", false},
        {"ends with ]]", u"/home/u/scan[[2]]", false},
        {"a lone ]", u"]", false},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        CHECK_EQ(app::PathFitsMarker(r.path), r.fits);
        // Whatever the user's text before it, a fitting path reads back whole.
        for (const std::u16string &before : {std::u16string(), std::u16string(u"Price [[ to confirm"),
                                             std::u16string(u"a ]] b [[ c")}) {
            const app::AttachmentMarker marker = ReadAttachment(ComposeAttachment(before, r.path));
            CHECK_EQ(marker.hasAttachment, true);
            CHECK_EQ(marker.path == r.path, r.fits);
        }
    }
    // The empty path fits: it is written and read back as an empty marker.
    CHECK(app::PathFitsMarker(u""));
}

void trimSpacesOnlyTrimsSpaces()
{
    struct Row {
        const char *name;
        std::u16string text;
        std::u16string trimmed;
    };
    const Row rows[] = {
        {"empty", u"", u""},
        {"spaces", u"   ", u""},
        {"both ends", u"  a b  ", u"a b"},
        {"tab stays", u"\ta\t", u"\ta\t"},
        {"line breaks stay", u" \r\na\n ", u"\r\na\n"},
        {"no-break space stays", u"\u00a0a ", u"\u00a0a"},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        CHECK_EQ(app::trimSpaces(r.text), r.trimmed);
    }
}

} // namespace

int main(int argc, char **argv)
{
    return check::run(argc, argv,
                      {
                          {"roundTrip", roundTrip},
                          {"positions", positions},
                          {"stripIgnoresPositionsThatAreNoMarker", stripIgnoresPositionsThatAreNoMarker},
                          {"pathFitsMarker", pathFitsMarker},
                          {"trimSpacesOnlyTrimsSpaces", trimSpacesOnlyTrimsSpaces},
                      });
}
