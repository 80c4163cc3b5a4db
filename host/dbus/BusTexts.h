#pragma once

// Texts too big for a bus message. The bus daemon moves a message a couple
// of kilobytes at a time, so a text of many megabytes takes seconds to cross
// inline, and one of a hundred megabytes outlasts the call limit. A big text
// therefore crosses as a descriptor of a sealed in-memory file holding its
// UTF-8 bytes: only the descriptor goes through the daemon.

#include <QByteArray>
#include <QDBusUnixFileDescriptor>
#include <QString>

#include <optional>

namespace host::dbus::protocol {

// Texts of up to this many UTF-8 bytes cross inline, in GetField and
// SetField; longer ones cross as descriptors.
inline constexpr qsizetype InlineTextBytes = 64 * 1024;
// No text longer than this crosses at all: reading, checking and converting
// it would come too near the call limit on a slow machine.
inline constexpr qsizetype MaxTextBytes = 256 * 1024 * 1024;

// "12.5 MiB", "300 bytes": a size for messages.
QString sizeText(qint64 bytes);

// A descriptor of a new, sealed in-memory file that holds bytes. On failure
// the descriptor is invalid and *problem says why.
QDBusUnixFileDescriptor textDescriptor(const QByteArray &bytes, QString *problem);

// The bytes of the regular file behind descriptor, read from its start
// without moving its offset, or nothing (and *problem says why) when the
// descriptor is not a regular file or holds more than maxBytes. Never blocks
// on a pipe or a device. *tooLarge, when given, tells the size apart from
// the other problems.
std::optional<QByteArray> readTextDescriptor(const QDBusUnixFileDescriptor &descriptor, qsizetype maxBytes,
                                             QString *problem, bool *tooLarge = nullptr);

// Why bytes are not a text that crosses unaltered (not UTF-8, or a NUL),
// or an empty string when they are.
QString utf8CrossingProblem(const QByteArray &bytes);
// The text that bytes hold, or nothing (and *problem says why) when they
// are not a text that crosses unaltered. Decodes once.
std::optional<QString> crossingText(const QByteArray &bytes, QString *problem);

} // namespace host::dbus::protocol
