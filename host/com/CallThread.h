#pragma once

// Where every COM call of the host core runs.
//
// A late-bound call to an out-of-process host blocks until the host answers.
// To bound it, the core never calls from the caller's own thread: each call
// is handed to a thread of the multithreaded apartment, and the caller waits
// for it at most its time limit. A call that is still running then is left
// to finish on its thread, which retires after it (its result is released
// there), and the next call gets a fresh thread. A hung host therefore costs
// the caller one time limit and a failure, never a frozen program, and a
// host that answers late cannot write into anything the caller still uses.
//
// Every interface pointer the core holds belongs to that apartment, so its
// calls, and its final Release, are made on a call thread too.

#include <windows.h>

#include <memory>

namespace host::com::detail {

class Job {
public:
    virtual ~Job() = default;
    // Runs on a call thread.
    virtual void run() = 0;
    // Runs on the call thread after run() when the caller stopped waiting:
    // releases whatever run() obtained.
    virtual void discard() {}
};

class CallThread {
public:
    CallThread();
    ~CallThread();
    CallThread(const CallThread &) = delete;
    CallThread &operator=(const CallThread &) = delete;

    // Runs job on a call thread and waits at most timeoutMs for it. True when
    // it finished; false when the time ran out, in which case the job keeps
    // running and is discarded when it ends.
    bool run(const std::shared_ptr<Job> &job, DWORD timeoutMs);

    struct Worker;

private:
    std::shared_ptr<Worker> current_;
};

} // namespace host::com::detail
