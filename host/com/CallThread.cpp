#include "host/com/CallThread.h"

#include <objbase.h>

#include <deque>

namespace host::com::detail {

namespace {

class Lock {
public:
    explicit Lock(CRITICAL_SECTION &section) : section_(section) { EnterCriticalSection(&section_); }
    ~Lock() { LeaveCriticalSection(&section_); }
    Lock(const Lock &) = delete;
    Lock &operator=(const Lock &) = delete;

private:
    CRITICAL_SECTION &section_;
};

// One job handed over, with its completion shared by both sides.
struct Task {
    std::shared_ptr<Job> job;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool finished = false;  // guarded by the worker's lock
    bool abandoned = false; // guarded by the worker's lock
    ~Task() { CloseHandle(done); }
};

} // namespace

struct CallThread::Worker {
    CRITICAL_SECTION lock;
    HANDLE wake = CreateSemaphoreW(nullptr, 0, 0x7fffffff, nullptr);
    std::deque<std::shared_ptr<Task>> queue; // guarded by lock; an empty task ends the thread
    HANDLE thread = nullptr;

    Worker() { InitializeCriticalSection(&lock); }
    ~Worker()
    {
        CloseHandle(wake);
        if (thread)
            CloseHandle(thread);
        DeleteCriticalSection(&lock);
    }

    void post(std::shared_ptr<Task> task)
    {
        {
            Lock held(lock);
            queue.push_back(std::move(task));
        }
        ReleaseSemaphore(wake, 1, nullptr);
    }

    static DWORD WINAPI main(void *parameter)
    {
        // The thread owns a reference to its worker, so a retired worker
        // outlives the CallThread that started it.
        auto *self = static_cast<std::shared_ptr<Worker> *>(parameter);
        std::shared_ptr<Worker> worker = std::move(*self);
        delete self;
        const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        for (;;) {
            WaitForSingleObject(worker->wake, INFINITE);
            std::shared_ptr<Task> task;
            {
                Lock held(worker->lock);
                task = std::move(worker->queue.front());
                worker->queue.pop_front();
            }
            if (!task)
                break;
            task->job->run();
            bool abandoned;
            {
                Lock held(worker->lock);
                task->finished = true;
                abandoned = task->abandoned;
            }
            if (abandoned) {
                task->job->discard();
                // Nobody waits for this thread any more; it ends here.
                break;
            }
            SetEvent(task->done);
        }
        if (SUCCEEDED(init))
            CoUninitialize();
        return 0;
    }

    static std::shared_ptr<Worker> start()
    {
        auto worker = std::make_shared<Worker>();
        auto *parameter = new std::shared_ptr<Worker>(worker);
        worker->thread = CreateThread(nullptr, 0, &Worker::main, parameter, 0, nullptr);
        if (!worker->thread) {
            delete parameter;
            return nullptr;
        }
        return worker;
    }
};

CallThread::CallThread() : current_(Worker::start()) {}

CallThread::~CallThread()
{
    if (!current_)
        return;
    current_->post(nullptr);
    WaitForSingleObject(current_->thread, INFINITE);
}

bool CallThread::run(const std::shared_ptr<Job> &job, DWORD timeoutMs)
{
    if (!current_)
        current_ = Worker::start();
    if (!current_) {
        // No thread to call on: run here, unbounded, rather than not at all.
        job->run();
        return true;
    }
    auto task = std::make_shared<Task>();
    task->job = job;
    current_->post(task);
    if (WaitForSingleObject(task->done, timeoutMs) == WAIT_OBJECT_0)
        return true;
    {
        Lock held(current_->lock);
        if (task->finished)
            return true; // finished just as the time ran out
        task->abandoned = true;
    }
    // That thread retires once the job ends; the next call gets a new one.
    current_ = Worker::start();
    return false;
}

} // namespace host::com::detail
