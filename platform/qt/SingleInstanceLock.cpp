#include "platform/qt/SingleInstanceLock.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// A departing holder removes the file between our open and our flock; each
// such loss sends us back to the open. A handful is plenty.
constexpr int MaxAttempts = 16;

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISLNK(mode))
        return QStringLiteral("a symbolic link");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return QStringLiteral("not a file");
}

QString notAFile(mode_t mode)
{
    return QStringLiteral("the path is %1, not a regular file").arg(kindOf(mode));
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Errors after which an existing file may still open for reading, and an
// flock on a read-only descriptor still shows or keeps out another holder.
bool mayOpenReadOnly(int error)
{
    return error == EACCES || error == EPERM || error == EROFS || error == ETXTBSY;
}

// Closes a descriptor without letting close() change errno for the caller.
void closeQuietly(int fd)
{
    const int saved = errno;
    ::close(fd);
    errno = saved;
}

} // namespace

SingleInstanceLock::SingleInstanceLock(QString path)
    : path_(std::move(path))
{
}

SingleInstanceLock::~SingleInstanceLock()
{
    if (fd_ < 0)
        return;
    // Removed while still held, so nobody can take the file on its way out.
    // Only our own file goes: if someone put another one at the path, it is
    // theirs.
    const QByteArray name = QFile::encodeName(path_);
    struct stat named {};
    struct stat held {};
    if (::lstat(name.constData(), &named) == 0 && ::fstat(fd_, &held) == 0 && sameFile(named, held))
        ::unlink(name.constData());
    ::close(fd_);
}

SingleInstanceLock::State SingleInstanceLock::unavailable(const QString &why)
{
    problem_ = why;
    state_ = State::Unavailable;
    return state_;
}

SingleInstanceLock::State SingleInstanceLock::tryLock()
{
    if (state_ == State::Held)
        return state_;
    problem_.clear();
    const QByteArray name = QFile::encodeName(path_);
    if (name.isEmpty())
        return unavailable(QStringLiteral("no path"));

    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        // Something other than a file is not even opened: opening a device
        // can have effects of its own. The check after the open is the one
        // that counts; this one only keeps us off such things.
        struct stat seen {};
        if (::lstat(name.constData(), &seen) == 0 && !S_ISREG(seen.st_mode))
            return unavailable(notAFile(seen.st_mode));

        bool writable = true;
        int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd < 0 && mayOpenReadOnly(errno)) {
            const int first = errno;
            fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            writable = false;
            if (fd < 0 && errno == ENOENT)
                errno = first; // the folder refused the new file
        }
        if (fd < 0) {
            const int error = errno;
            // Something replaced the file since the check above.
            if (::lstat(name.constData(), &seen) == 0 && !S_ISREG(seen.st_mode))
                return unavailable(notAFile(seen.st_mode));
            return unavailable(errorText(error));
        }

        struct stat held {};
        if (::fstat(fd, &held) != 0) {
            const int error = errno;
            ::close(fd);
            return unavailable(errorText(error));
        }
        if (!S_ISREG(held.st_mode)) {
            ::close(fd);
            return unavailable(notAFile(held.st_mode));
        }

        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK) {
                state_ = State::HeldElsewhere;
                return state_;
            }
            if (error == EINTR)
                continue;
            return unavailable(errorText(error));
        }

        // The lock counts only if the path still names the file we hold: a
        // holder that was ending removed it after our open, and the next
        // copy may already hold a new file there.
        struct stat named {};
        if (::lstat(name.constData(), &named) != 0 || !sameFile(named, held)) {
            closeQuietly(fd);
            continue;
        }

        fd_ = fd;
        state_ = State::Held;
        // Our process id, for people who look. The lock is the flock, not the
        // text, so a full disk or a read-only file changes nothing. A file
        // that is not ours alone (another user's, or one with other names
        // too) keeps what it holds.
        const bool oursAlone = held.st_uid == ::geteuid() && held.st_nlink == 1;
        if (writable && oursAlone && ::ftruncate(fd, 0) == 0) {
            const QByteArray text = QByteArray::number(qint64(::getpid())) + '\n';
            const ssize_t written = ::pwrite(fd, text.constData(), size_t(text.size()), 0);
            static_cast<void>(written);
        }
        return state_;
    }
    return unavailable(QStringLiteral("the file kept being replaced"));
}

} // namespace platform
