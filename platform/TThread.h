#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace platform {

enum class TThreadPriority {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

// A worker thread in the manner of the framework the program was designed
// around: created suspended, started once, asked to stop through a flag, and
// able to run a call on the main thread while it waits (Synchronize).
//
// The main thread runs pending synchronised calls in CheckSynchronize(); when a
// QCoreApplication exists, queuing a call also posts a wake-up to its event
// loop, so calls run without polling. WaitFor() on the main thread keeps
// serving them, so a worker blocked in Synchronize never deadlocks it.
//
// A thread with FreeOnTerminate deletes itself after Execute returns; nobody
// may touch it after Start() then.
class TThread {
public:
    TThread();
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Start();
    void Terminate() { FTerminated.store(true); }
    bool Terminated() const { return FTerminated.load(); }
    bool Finished() const { return FFinished.load(); }

    // Waits for Execute to return. On the main thread it keeps running
    // synchronised calls meanwhile. Must not be used on a self-freeing thread.
    void WaitFor();

    void SetPriority(TThreadPriority priority);
    TThreadPriority Priority() const { return FPriority.load(); }

    bool FreeOnTerminate = false;

protected:
    virtual void Execute() = 0;
    // Runs call on the main thread and blocks until it ran. Exceptions thrown
    // by call are carried back and re-thrown here.
    void Synchronize(const std::function<void()>& call);

private:
    void Run();
    void ApplyPriority();

    std::thread FThread;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::atomic<int> FTid{0};
    std::atomic<TThreadPriority> FPriority{TThreadPriority::tpNormal};
    bool FStarted = false;
};

// Marks the calling thread as the main thread. Called once by main (and by
// tests); until then the first thread that calls CheckSynchronize counts.
void SetMainThread();
bool IsMainThread();

// Runs the synchronised calls waiting when it is called (calls queued while
// they run are left to the next); returns true when at least one ran. Does
// nothing off the main thread.
bool CheckSynchronize();

// Runs a call on the main thread from any thread and waits for it; on the main
// thread it runs at once.
void SynchronizeCall(const std::function<void()>& call);

} // namespace platform
