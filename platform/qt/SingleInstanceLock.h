#pragma once

#include <QString>

namespace platform {

// The lock that keeps a second copy of the program from running.
//
// It is an flock(2) lock on a file, not a QLockFile. The kernel lets go of an
// flock when the process that holds it ends in any way, so whether a copy
// runs depends on the lock alone and never on what the file holds: an empty,
// garbled or foreign file, or one left by a copy that crashed or was killed,
// is simply taken. A QLockFile judges a file it finds by reading it: it
// refused to start over a file it could not parse or could not write, and
// blocked for good reading a FIFO put at its path. On Linux a QLockFile also
// holds an flock on its file, so an older copy that still uses one is seen
// as running.
//
// Nothing here ever waits. The file is opened without following a symbolic
// link, without blocking and closed on exec (a program the user opens from
// here must not keep the lock after we end). Anything at the path that is not
// a regular file is left alone, unread. When no lock can be made at all (a
// missing or read-only folder with no file, an unreadable file, something
// else at the path), the state is Unavailable and the caller decides; the
// program then starts without the check.
class SingleInstanceLock {
public:
    enum class State {
        NotTried,
        Held,          // this object holds the lock
        HeldElsewhere, // another live process holds it
        Unavailable,   // no lock can be made here; problem() says why
    };

    explicit SingleInstanceLock(QString path);
    // Releases the lock: removes the file while still holding it, then lets go.
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock &) = delete;
    SingleInstanceLock &operator=(const SingleInstanceLock &) = delete;

    // Tries to take the lock, at once. Once Held, it stays Held; after any
    // other answer a later call tries again.
    State tryLock();

    State state() const { return state_; }
    QString path() const { return path_; }
    // Why the lock is Unavailable, in a few words.
    QString problem() const { return problem_; }

private:
    State unavailable(const QString &why);

    QString path_;
    int fd_ = -1;
    State state_ = State::NotTried;
    QString problem_;
};

} // namespace platform
