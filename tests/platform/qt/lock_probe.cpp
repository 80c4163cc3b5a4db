// A process that takes the single-instance lock for tst_SingleInstanceLock.
//
//   lock_probe ours PATH [BARRIER]   tries the lock; when BARRIER (a FIFO) is
//                                    given, prints "ready" once it is open and
//                                    waits until its writers close it first
//   lock_probe spawn PATH            as ours, and once held starts a process
//                                    that outlives this one ("child PID")
//   lock_probe qlockfile PATH        takes a QLockFile, as older copies did
//
// Prints one line, "held", "refused" or "unavailable: WHY", then keeps what
// it has until its standard input closes, and ends normally.

#include "platform/qt/SingleInstanceLock.h"

#include <QLockFile>
#include <QString>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

void say(const char *line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

void waitForInputEnd(int fd)
{
    char buffer[64];
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
}

int usage()
{
    std::fprintf(stderr, "usage: lock_probe ours|spawn|qlockfile PATH [BARRIER]\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3)
        return usage();
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString path = QString::fromLocal8Bit(argv[2]);

    if (mode == u"qlockfile") {
        QLockFile lock(path);
        lock.setStaleLockTime(0);
        say(lock.tryLock(0) ? "held" : "refused");
        waitForInputEnd(STDIN_FILENO);
        return 0;
    }
    if (mode != u"ours" && mode != u"spawn")
        return usage();

    if (argc > 3) {
        const int barrier = ::open(argv[3], O_RDONLY | O_CLOEXEC);
        if (barrier < 0) {
            std::perror("lock_probe: barrier");
            return 2;
        }
        say("ready");
        waitForInputEnd(barrier);
        ::close(barrier);
    }

    platform::SingleInstanceLock lock(path);
    switch (lock.tryLock()) {
    case platform::SingleInstanceLock::State::Held:
        say("held");
        break;
    case platform::SingleInstanceLock::State::HeldElsewhere:
        say("refused");
        break;
    default:
        say(("unavailable: " + lock.problem()).toLocal8Bit().constData());
        break;
    }

    if (mode == u"spawn" && lock.state() == platform::SingleInstanceLock::State::Held) {
        // The line comes once the child runs its program: the pipe's ends
        // close on exec, and the read below then sees its end.
        int started[2];
        if (::pipe2(started, O_CLOEXEC) != 0)
            return 2;
        const pid_t child = ::fork();
        if (child == 0) {
            // Only the descriptors it inherits matter, not our pipes.
            const int nothing = ::open("/dev/null", O_RDWR);
            for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
                ::dup2(nothing, fd);
            ::execlp("sleep", "sleep", "120", static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ::close(started[1]);
        waitForInputEnd(started[0]);
        ::close(started[0]);
        std::printf("child %lld\n", static_cast<long long>(child));
        std::fflush(stdout);
    }
    waitForInputEnd(STDIN_FILENO);
    return 0;
}
