#include "app/AttachmentMarker.h"

#include "host/Failure.h"

namespace app {
namespace {

const QString ClosingMarker = QStringLiteral("]]");

// 1-based position of the first pair of the character c (as in "[[" or
// "]]") in text, searching from the 1-based position from; 0 when absent.
// The scan looks for the single character, which is much faster on long
// texts than a search for the two-character string.
qint32 inStr(qint32 from, const QString &text, QChar c)
{
    qsizetype at = qsizetype(from) - 1;
    for (;;) {
        at = text.indexOf(c, at);
        if (at < 0 || at + 1 >= text.size())
            return 0;
        if (text.at(at + 1) == c)
            return host::toInt32(at + 1);
        ++at;
    }
}

// 1-based position of the first "[" of the last run of two or more "["
// that ends before the 1-based position before; 0 when there is none at or
// after the 1-based position from.
qint32 lastOpening(qint32 from, qint32 before, const QString &text)
{
    // A backward loop that looks at every second character: when it is no
    // "[", neither it nor the one after it can end a run. The text between
    // the markers is usually short, but a stray "[[" far up in the field can
    // make it the whole field.
    const QChar *const chars = text.constData();
    const qsizetype first = qsizetype(from) - 1; // a run of at least two starts here
    qsizetype at = qsizetype(before) - 2;        // where the last run could end
    while (at > first) {
        if (chars[at - 1] != u'[') {
            at -= 2;
            continue;
        }
        if (chars[at] != u'[') {
            at -= 1;
            continue;
        }
        qsizetype runStart = at - 1;
        while (runStart > first && chars[runStart - 1] == u'[')
            --runStart;
        return host::toInt32(runStart + 1);
    }
    return from;
}

} // namespace

QString trimSpaces(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    return text.mid(first, last - first);
}

AttachmentMarker ReadAttachment(const QString &text)
{
    AttachmentMarker marker;
    if (trimSpaces(text).isEmpty())
        return marker;
    marker.MarkerStart = inStr(1, text, u'[');
    marker.MarkerEnd = inStr(marker.MarkerStart + 1, text, u']');
    if (marker.MarkerStart > 0 && marker.MarkerEnd > 0) {
        // The first "[[" is one of the runs looked at, so one is always found.
        marker.MarkerStart = lastOpening(marker.MarkerStart, marker.MarkerEnd, text);
        marker.hasAttachment = true;
        marker.path = text.mid(marker.MarkerStart + 1, marker.MarkerEnd - marker.MarkerStart - 2);
    }
    return marker;
}

QString StripAttachment(const QString &text, qint32 markerStart, qint32 markerEnd)
{
    if (markerStart < 1 || markerEnd < 1 || markerEnd <= markerStart + 1 || markerStart > text.size())
        return text;
    // Built in one buffer: the Details text can be long.
    const QStringView view(text);
    const QStringView before = view.left(markerStart - 1);
    const QStringView after = qsizetype(markerEnd) + 1 < text.size() ? view.mid(qsizetype(markerEnd) + 1) : QStringView();
    QString joined;
    joined.reserve(before.size() + after.size());
    joined.append(before);
    joined.append(after);
    qsizetype last = joined.size();
    while (last > 0 && joined.at(last - 1) == u' ')
        --last;
    joined.truncate(last);
    qsizetype first = 0;
    while (first < joined.size() && joined.at(first) == u' ')
        ++first;
    if (first > 0)
        joined.remove(0, first);
    return joined;
}

QString ComposeAttachment(const QString &strippedText, const QString &path)
{
    QString text;
    text.reserve(strippedText.size() + path.size() + 5);
    text.append(strippedText);
    text.append(u" [[");
    text.append(path);
    text.append(ClosingMarker);
    return text;
}

bool PathFitsMarker(const QString &path)
{
    return !path.contains(QStringLiteral("[[")) && !path.contains(ClosingMarker) && !path.endsWith(u']');
}

} // namespace app
