// Fuzz target for the attachment marker rules: no input crashes them,
// stripping never lengthens the text, PathFitsMarker accepts exactly the
// paths without "[[" or "]]" that do not end in "]", such a path reads back
// whole after any text without a marker of its own, and
// a text with a single opening run reads as the simple first-"[["-to-
// first-"]]" rule always read it, so stored records keep their meaning.

#include "app/AttachmentMarker.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// The input is two UTF-16 strings, the field text and a path, separated
// by the first 0xFFFF code unit (or split in the middle when there is none).
void splitInput(const uint8_t *data, size_t size, QString &text, QString &path)
{
    const size_t units = size / 2;
    QString all(qsizetype(units), Qt::Uninitialized);
    if (units > 0)
        std::memcpy(all.data(), data, units * 2);
    qsizetype cut = all.indexOf(QChar(0xFFFF));
    if (cut < 0) {
        cut = all.size() / 2;
        text = all.left(cut);
        path = all.mid(cut);
    } else {
        text = all.left(cut);
        path = all.mid(cut + 1);
    }
}

// The simple rule: the first "[[" and the first "]]" after it.
app::AttachmentMarker firstToFirst(const QString &text)
{
    app::AttachmentMarker marker;
    if (app::trimSpaces(text).isEmpty())
        return marker;
    const qsizetype start = text.indexOf(QStringLiteral("[["));
    marker.MarkerStart = qint32(start + 1);
    const qsizetype end = text.indexOf(QStringLiteral("]]"), start < 0 ? 0 : start + 1);
    marker.MarkerEnd = qint32(end + 1);
    if (start >= 0 && end >= 0) {
        marker.hasAttachment = true;
        marker.path = text.mid(start + 2, end - start - 2);
    }
    return marker;
}

// Runs of two or more "[" in text.
int openingRuns(const QString &text)
{
    int runs = 0;
    for (qsizetype i = 0; i + 1 < text.size(); ++i)
        if (text.at(i) == u'[' && text.at(i + 1) == u'[' && (i == 0 || text.at(i - 1) != u'['))
            ++runs;
    return runs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString text, path;
    splitInput(data, size, text, path);

    const app::AttachmentMarker marker = app::ReadAttachment(text);
    check(marker.MarkerStart >= 0 && marker.MarkerEnd >= 0);
    check(marker.hasAttachment == (marker.MarkerStart > 0 && marker.MarkerEnd > 0));
    if (marker.hasAttachment) {
        check(marker.MarkerEnd >= marker.MarkerStart + 2);
        check(marker.path.size() == marker.MarkerEnd - marker.MarkerStart - 2);
    }

    const QString stripped = app::StripAttachment(text, marker.MarkerStart, marker.MarkerEnd);
    check(stripped.size() <= text.size());
    if (!marker.hasAttachment)
        check(stripped == text);

    const QString written = app::ComposeAttachment(stripped, path);
    const app::AttachmentMarker reread = app::ReadAttachment(written);
    check(reread.hasAttachment);
    check(written.endsWith(QStringLiteral("]]")));

    const auto holdsMarker = [](const QString &s) {
        return s.contains(QStringLiteral("[[")) || s.contains(QStringLiteral("]]"));
    };
    // A path ending in "]" joins the closing marker one character early
    // ("...]" + "]]"), so it is cut like a path holding "]]".
    const bool fits = app::PathFitsMarker(path);
    check(fits == (!holdsMarker(path) && !path.endsWith(u']')));
    if (fits)
        check(app::ReadAttachment(app::ComposeAttachment(QString(), path)).path == path);
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
    if (!stripped.contains(QStringLiteral("[[")) && !path.contains(QStringLiteral("[["))) {
        const app::AttachmentMarker simple = firstToFirst(written);
        check(reread.MarkerStart == simple.MarkerStart && reread.MarkerEnd == simple.MarkerEnd);
        check(reread.path == simple.path);
    }
    // The path found holds no "[[" past the opening run it starts in.
    if (marker.hasAttachment) {
        qsizetype from = 0;
        while (from < marker.path.size() && marker.path.at(from) == u'[')
            ++from;
        check(!marker.path.mid(from).contains(QStringLiteral("[[")));
    }

    // Random positions never crash stripping and never lengthen the text.
    if (size >= 8) {
        qint32 a = 0, b = 0;
        std::memcpy(&a, data, 4);
        std::memcpy(&b, data + 4, 4);
        check(app::StripAttachment(text, a % 1024, b % 1024).size() <= text.size());
    }
    return 0;
}
