#include "host/dbus/BusTexts.h"

#include <QStringDecoder>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host::dbus::protocol {

QString sizeText(qint64 bytes)
{
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 bytes").arg(bytes);
    return QStringLiteral("%1 MiB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

QDBusUnixFileDescriptor textDescriptor(const QByteArray &bytes, QString *problem)
{
    const int fd = memfd_create("pennaroc-text", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) {
        *problem = QStringLiteral("cannot make an in-memory file: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *problem = QStringLiteral("cannot fill an in-memory file: %1")
                           .arg(QString::fromLocal8Bit(std::strerror(n < 0 ? errno : ENOSPC)));
            ::close(fd);
            return {};
        }
        done += n;
    }
    // Sealed, the receiver reads exactly what was written, whatever the
    // sender does afterwards.
    if (fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        *problem = QStringLiteral("cannot seal an in-memory file: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fd);
        return {};
    }
    QDBusUnixFileDescriptor descriptor;
    descriptor.giveFileDescriptor(fd);
    return descriptor;
}

std::optional<QByteArray> readTextDescriptor(const QDBusUnixFileDescriptor &descriptor, qsizetype maxBytes,
                                             QString *problem, bool *tooLarge)
{
    if (tooLarge)
        *tooLarge = false;
    const int fd = descriptor.fileDescriptor();
    struct stat st {};
    if (!descriptor.isValid() || fstat(fd, &st) != 0) {
        *problem = QStringLiteral("the text's descriptor cannot be read");
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        *problem = QStringLiteral("the text's descriptor is not a file");
        return std::nullopt;
    }
    if (st.st_size > maxBytes) {
        if (tooLarge)
            *tooLarge = true;
        *problem = QStringLiteral("the text is %1, more than the %2 that can cross")
                       .arg(sizeText(st.st_size), sizeText(maxBytes));
        return std::nullopt;
    }
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + done, size_t(bytes.size() - done), off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *problem = QStringLiteral("the text's descriptor cannot be read: %1")
                           .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return std::nullopt;
        }
        if (n == 0)
            break; // the file was shorter than it said: what is there is the text
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}

std::optional<QString> crossingText(const QByteArray &bytes, QString *problem)
{
    if (const void *nul = std::memchr(bytes.constData(), 0, size_t(bytes.size()))) {
        *problem = QStringLiteral("the text contains a NUL character at byte %1")
                       .arg(static_cast<const char *>(nul) - bytes.constData());
        return std::nullopt;
    }
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        *problem = QStringLiteral("the text begins with U+FEFF, which would be taken for a byte order mark and dropped");
        return std::nullopt;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        *problem = QStringLiteral("it is not valid UTF-8");
        return std::nullopt;
    }
    return text;
}

QString utf8CrossingProblem(const QByteArray &bytes)
{
    QString problem;
    crossingText(bytes, &problem);
    return problem;
}

} // namespace host::dbus::protocol
