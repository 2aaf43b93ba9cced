#include "TThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {
namespace {

struct TSyncRequest {
    std::function<void()> Call;
    std::exception_ptr Error;
    bool Done = false;
};

// The queue of calls waiting for the main thread. One mutex guards it and the
// finished flags WaitFor looks at, so a single condition variable serves both.
struct TSyncQueue {
    std::mutex Lock;
    std::condition_variable Changed;
    std::deque<TSyncRequest*> Pending;
    std::thread::id MainThread;
    bool MainKnown = false;
};

TSyncQueue& Queue() {
    // Never destroyed: a self-freeing worker may still be waiting in it while
    // the process exits, and destroying a condition variable with waiters
    // can hang the exit.
    static TSyncQueue* const queue = new TSyncQueue;
    return *queue;
}

int CurrentTid() {
    return static_cast<int>(::syscall(SYS_gettid));
}

void WakeMainThread() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app != nullptr)
        QMetaObject::invokeMethod(
            app, [] { CheckSynchronize(); }, Qt::QueuedConnection);
}

} // namespace

void SetMainThread() {
    TSyncQueue& q = Queue();
    std::lock_guard lock(q.Lock);
    q.MainThread = std::this_thread::get_id();
    q.MainKnown = true;
}

namespace {

// Only CheckSynchronize may claim the main thread while none is known: a
// worker asking whether it is the main thread (in Synchronize or WaitFor)
// must not become it, or its calls would run on the worker itself.
bool IsMainThread(bool mayClaim) {
    TSyncQueue& q = Queue();
    std::lock_guard lock(q.Lock);
    if (q.MainKnown)
        return q.MainThread == std::this_thread::get_id();
    QCoreApplication* app = QCoreApplication::instance();
    if (app != nullptr)
        return app->thread() == QThread::currentThread();
    if (!mayClaim)
        return false;
    q.MainThread = std::this_thread::get_id();
    q.MainKnown = true;
    return true;
}

} // namespace

bool IsMainThread() {
    return IsMainThread(false);
}

bool CheckSynchronize() {
    if (!IsMainThread(true))
        return false;
    TSyncQueue& q = Queue();
    // Only the calls already waiting: a worker that queues its next call
    // while this one runs would otherwise keep the event loop from its timers
    // and input for as long as it keeps up. That call has a wake-up of its own.
    std::size_t waiting = 0;
    {
        std::lock_guard lock(q.Lock);
        waiting = q.Pending.size();
    }
    bool ran = false;
    for (; waiting > 0; --waiting) {
        TSyncRequest* request = nullptr;
        {
            std::lock_guard lock(q.Lock);
            if (q.Pending.empty())
                break;
            request = q.Pending.front();
            q.Pending.pop_front();
        }
        try {
            request->Call();
        } catch (...) {
            request->Error = std::current_exception();
        }
        {
            std::lock_guard lock(q.Lock);
            request->Done = true;
        }
        q.Changed.notify_all();
        ran = true;
    }
    return ran;
}

void SynchronizeCall(const std::function<void()>& call) {
    if (IsMainThread()) {
        call();
        return;
    }
    TSyncQueue& q = Queue();
    TSyncRequest request;
    request.Call = call;
    {
        std::lock_guard lock(q.Lock);
        q.Pending.push_back(&request);
    }
    q.Changed.notify_all();
    WakeMainThread();
    {
        std::unique_lock lock(q.Lock);
        q.Changed.wait(lock, [&] { return request.Done; });
    }
    if (request.Error)
        std::rethrow_exception(request.Error);
}

TThread::TThread() = default;

TThread::~TThread() {
    if (FThread.joinable()) {
        if (FThread.get_id() == std::this_thread::get_id())
            FThread.detach(); // a self-freeing thread deleting itself
        else {
            Terminate();
            WaitFor();
        }
    }
}

void TThread::Start() {
    if (FStarted)
        return;
    FStarted = true;
    if (FreeOnTerminate) {
        // Never stored: the thread may delete this object before Start returns.
        std::thread(&TThread::Run, this).detach();
        return;
    }
    FThread = std::thread(&TThread::Run, this);
}

void TThread::Run() {
    FTid.store(CurrentTid());
    ApplyPriority();
    try {
        Execute();
    } catch (...) {
        // A worker has nobody to report to; ending quietly keeps the program up.
    }
    if (FreeOnTerminate) {
        delete this;
        return;
    }
    FTid.store(0); // the id may go to another thread once this one ends
    {
        std::lock_guard lock(Queue().Lock);
        FFinished.store(true);
    }
    Queue().Changed.notify_all();
}

void TThread::WaitFor() {
    // A thread waiting for itself would wait forever. (Its own id is checked
    // first: the worker must not read FThread, which Start may still assign.)
    if (FTid.load() == CurrentTid() || !FStarted || !FThread.joinable())
        return;
    TSyncQueue& q = Queue();
    const bool onMain = IsMainThread();
    for (;;) {
        if (onMain)
            CheckSynchronize();
        std::unique_lock lock(q.Lock);
        if (FFinished.load())
            break;
        q.Changed.wait(lock, [&] { return FFinished.load() || (onMain && !q.Pending.empty()); });
    }
    FThread.join();
}

void TThread::Synchronize(const std::function<void()>& call) {
    SynchronizeCall(call);
}

void TThread::SetPriority(TThreadPriority priority) {
    FPriority = priority;
    ApplyPriority();
}

void TThread::ApplyPriority() {
    const int tid = FTid.load();
    if (tid == 0)
        return;
    // Niceness stands in for the priority classes; raising it above normal
    // needs privileges, and a refusal leaves the thread at normal priority.
    static constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -20};
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), kNice[static_cast<int>(FPriority.load())]);
}

} // namespace platform
