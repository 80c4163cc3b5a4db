#include "app/AttachmentMarker.h"

#include "host/Failure.h"

namespace app {
namespace {

const QString OpeningMarker = QStringLiteral("[[");
const QString ClosingMarker = QStringLiteral("]]");

// 1-based position of needle in text from the 1-based position from, 0 when
// absent.
qint32 inStr(qint32 from, const QString &text, const QString &needle)
{
    const qsizetype found = text.indexOf(needle, qsizetype(from) - 1);
    return found < 0 ? 0 : host::toInt32(found + 1);
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
    marker.MarkerStart = inStr(1, text, OpeningMarker);
    marker.MarkerEnd = inStr(marker.MarkerStart + 1, text, ClosingMarker);
    if (marker.MarkerStart > 0 && marker.MarkerEnd > 0) {
        marker.hasAttachment = true;
        marker.path = text.mid(marker.MarkerStart + 1, marker.MarkerEnd - marker.MarkerStart - 2);
    }
    return marker;
}

QString StripAttachment(const QString &text, qint32 markerStart, qint32 markerEnd)
{
    if (markerStart < 1 || markerEnd < 1 || markerEnd <= markerStart + 1 || markerStart > text.size())
        return text;
    const QString before = text.left(markerStart - 1);
    const QString after = qsizetype(markerEnd) + 1 < text.size() ? text.mid(qsizetype(markerEnd) + 1) : QString();
    return trimSpaces(before + after);
}

QString ComposeAttachment(const QString &strippedText, const QString &path)
{
    return strippedText + QStringLiteral(" [[") + path + ClosingMarker;
}

} // namespace app
