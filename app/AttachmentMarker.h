#pragma once

// The attachment marker inside a record's Details text: the attached file's
// path stands between "[[" and "]]". Positions are 1-based character
// positions in the UTF-16 text, 0 meaning "not found".

#include <QString>

namespace app {

struct AttachmentMarker {
    qint32 MarkerStart = 0; // position of the "[[" that opens the marker
    qint32 MarkerEnd = 0;   // position of the first "]]" that closes it
    bool hasAttachment = false;
    QString path;           // everything strictly between the markers, untrimmed
};

// Removes leading and trailing space characters (only U+0020; tabs and line
// breaks stay).
QString trimSpaces(const QString &text);

// The reading rule. A text that is empty or holds only spaces has no marker
// and both positions stay 0. Otherwise the closing "]]" is the first one
// after the first "[[", and the opening "[[" is the last one before that
// closing: a stray "[[" that the user typed earlier in the text is ordinary
// text, not the start of the marker. A run of more than two "[" counts from
// its first two, so that a path beginning with "[" reads back whole.
AttachmentMarker ReadAttachment(const QString &text);

// The text without the marker found at markerStart..markerEnd, trimmed of
// spaces at both ends. Positions that do not describe a marker return the
// text unchanged, untrimmed.
QString StripAttachment(const QString &text, qint32 markerStart, qint32 markerEnd);

// The writing rule: the stripped text, one space and the new marker.
QString ComposeAttachment(const QString &strippedText, const QString &path);

// True when path can be written into a marker: it holds no "[[" and no "]]"
// and does not end with "]". Any other path would be cut or misread when
// read back, and is never written; every path that fits reads back whole,
// whatever text stands before the marker.
bool PathFitsMarker(const QString &path);

} // namespace app
