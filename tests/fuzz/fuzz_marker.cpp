// Fuzz target for the attachment marker rules: no input crashes them,
// stripping never lengthens the text, and a written marker reads back as
// the same path whenever neither the stripped text nor the path holds a
// marker of its own.

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
    if (!holdsMarker(stripped) && !holdsMarker(path) && !path.endsWith(u']')) {
        check(reread.path == path);
        // Stripping the new marker gives the stripped text back, trimmed.
        check(app::StripAttachment(written, reread.MarkerStart, reread.MarkerEnd) == app::trimSpaces(stripped));
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
