#include "platform/TThread.h"

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

using namespace platform;
using testing_support::WaitFor;

namespace {

// A thread running a given body; the body gets the thread to reach its
// protected members.
class TLambdaThread : public TThread {
public:
    using TBody = std::function<void(TLambdaThread&)>;
    explicit TLambdaThread(TBody body) : FBody(std::move(body)) {}
    ~TLambdaThread() override {
        // Stop before the body goes away: the base waits only after this.
        Terminate();
        WaitFor();
    }
    void Sync(const std::function<void()>& call) { Synchronize(call); }

protected:
    void Execute() override { FBody(*this); }

private:
    TBody FBody;
};

// Aborts the test program if a step hangs, so a deadlock fails loudly instead
// of waiting for the test time-out.
class TWatchdog {
public:
    explicit TWatchdog(const char* what, std::chrono::seconds limit = std::chrono::seconds(60))
        : FThread([this, what, limit] {
              std::unique_lock lock(FLock);
              if (!FDoneChanged.wait_for(lock, limit, [this] { return FDone; })) {
                  std::fprintf(stderr, "deadlock: %s\n", what);
                  std::abort();
              }
          }) {}
    ~TWatchdog() {
        {
            std::lock_guard lock(FLock);
            FDone = true;
        }
        FDoneChanged.notify_all();
        FThread.join();
    }

private:
    std::mutex FLock;
    std::condition_variable FDoneChanged;
    bool FDone = false;
    std::thread FThread;
};

// Waits without processing Qt events, so nothing but the code under test can
// run synchronised calls.
template <typename Cond> bool SpinFor(Cond cond) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace

TEST(TThread, CreatedSuspendedThenStartTerminateWaitFor) {
    TWatchdog watchdog("terminate");
    std::atomic<bool> ran{false};
    std::atomic<int> rounds{0};
    TLambdaThread thread([&](TLambdaThread& self) {
        ran = true;
        while (!self.Terminated()) {
            ++rounds;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    EXPECT_FALSE(ran.load());
    EXPECT_FALSE(thread.Finished());
    thread.Start();
    thread.Start(); // a second start does nothing
    ASSERT_TRUE(SpinFor([&] { return rounds.load() > 0; }));
    EXPECT_FALSE(thread.Finished());
    thread.Terminate();
    thread.WaitFor();
    EXPECT_TRUE(thread.Finished());
    thread.WaitFor(); // waiting again returns at once
}

TEST(TThread, NeverStartedThreadIsDestroyedQuietly) {
    std::atomic<bool> ran{false};
    {
        TLambdaThread thread([&](TLambdaThread&) { ran = true; });
        thread.WaitFor();
    }
    EXPECT_FALSE(ran.load());
}

TEST(TThread, WaitForOnItselfDoesNotHang) {
    TWatchdog watchdog("WaitFor on itself");
    bool returned = false;
    TLambdaThread thread([&](TLambdaThread& self) {
        EXPECT_FALSE(IsMainThread());
        self.WaitFor();
        returned = true;
    });
    thread.Start();
    thread.WaitFor();
    EXPECT_TRUE(returned);
}

TEST(TThread, ExceptionInExecuteEndsTheThreadQuietly) {
    TLambdaThread thread([](TLambdaThread&) { throw std::runtime_error("worker"); });
    thread.Start();
    thread.WaitFor();
    EXPECT_TRUE(thread.Finished());
}

TEST(TThread, SynchronizeRunsOnTheMainThread) {
    TWatchdog watchdog("synchronize");
    const std::thread::id mainId = std::this_thread::get_id();
    std::thread::id callId;
    std::thread::id workerId;
    TLambdaThread thread([&](TLambdaThread& self) {
        workerId = std::this_thread::get_id();
        self.Sync([&] {
            callId = std::this_thread::get_id();
            EXPECT_TRUE(IsMainThread());
        });
    });
    thread.Start();
    thread.WaitFor();
    EXPECT_EQ(callId, mainId);
    EXPECT_NE(workerId, mainId);
    // On the main thread a synchronised call runs at once.
    bool direct = false;
    SynchronizeCall([&] { direct = true; });
    EXPECT_TRUE(direct);
    EXPECT_FALSE(CheckSynchronize());
}

// A worker that queues a call while another runs does not hold the main
// thread: each round runs what was waiting, then the event loop has its turn.
TEST(TThread, CheckSynchronizeRunsOnlyTheCallsAlreadyWaiting) {
    TWatchdog watchdog("one round");
    std::atomic<bool> secondQueuing{false};
    bool secondRan = false;
    TLambdaThread second([&](TLambdaThread& self) {
        secondQueuing = true;
        self.Sync([&] { secondRan = true; });
    });
    TLambdaThread first([&](TLambdaThread& self) {
        self.Sync([&] {
            second.Start();
            while (!secondQueuing.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            // Time for its call to be queued behind this one.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        });
    });
    first.Start();
    while (!CheckSynchronize())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(secondRan) << "a call queued during the round ran in it";
    while (!secondRan && !CheckSynchronize())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(secondRan);
    first.WaitFor();
    second.WaitFor();
}

TEST(TThread, ExceptionInSynchronisedCallReachesTheWorker) {
    TWatchdog watchdog("exception");
    std::string caught;
    bool after = false;
    TLambdaThread thread([&](TLambdaThread& self) {
        try {
            self.Sync([] { throw std::runtime_error("from main"); });
        } catch (const std::runtime_error& error) {
            caught = error.what();
        }
        after = true;
    });
    thread.Start();
    thread.WaitFor();
    EXPECT_EQ(caught, "from main");
    EXPECT_TRUE(after);
}

TEST(TThread, WaitForServesWorkerBlockedInSynchronize) {
    TWatchdog watchdog("WaitFor while the worker is in Synchronize");
    std::atomic<bool> aboutToSync{false};
    bool callRan = false;
    bool workerEnded = false;
    TLambdaThread thread([&](TLambdaThread& self) {
        aboutToSync = true;
        for (int i = 0; i < 3; ++i)
            self.Sync([&] { callRan = true; });
        workerEnded = true;
    });
    thread.Start();
    // Events are not processed meanwhile: only WaitFor can run the calls.
    ASSERT_TRUE(SpinFor([&] { return aboutToSync.load(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    thread.WaitFor();
    EXPECT_TRUE(callRan);
    EXPECT_TRUE(workerEnded);
    EXPECT_TRUE(thread.Finished());
}

TEST(TThread, DestroyingARunningThreadServesItsPendingCall) {
    TWatchdog watchdog("destructor");
    std::atomic<bool> aboutToSync{false};
    bool callRan = false;
    {
        TLambdaThread thread([&](TLambdaThread& self) {
            aboutToSync = true;
            self.Sync([&] { callRan = true; });
            while (!self.Terminated())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        thread.Start();
        ASSERT_TRUE(SpinFor([&] { return aboutToSync.load(); }));
    }
    EXPECT_TRUE(callRan);
}

TEST(TThread, ManyWorkersSynchroniseWhileMainWaitsForOne) {
    TWatchdog watchdog("many workers");
    constexpr int kWorkers = 4;
    constexpr int kCalls = 200;
    int total = 0; // touched on the main thread only
    std::vector<std::unique_ptr<TLambdaThread>> threads;
    for (int w = 0; w < kWorkers; ++w) {
        threads.push_back(std::make_unique<TLambdaThread>([&](TLambdaThread& self) {
            for (int i = 0; i < kCalls; ++i)
                self.Sync([&] { ++total; });
        }));
    }
    for (auto& thread : threads)
        thread->Start();
    for (auto& thread : threads)
        thread->WaitFor();
    EXPECT_EQ(total, kWorkers * kCalls);
}

namespace {

std::atomic<int> gFreedThreads{0};

class TSelfFreeingThread : public TThread {
public:
    explicit TSelfFreeingThread(std::atomic<bool>* synced) : FSynced(synced) {
        FreeOnTerminate = true;
    }
    ~TSelfFreeingThread() override { ++gFreedThreads; }

protected:
    void Execute() override {
        Synchronize([this] { *FSynced = true; });
    }

private:
    std::atomic<bool>* FSynced;
};

} // namespace

TEST(TThread, FreeOnTerminateThreadDeletesItself) {
    gFreedThreads = 0;
    std::atomic<bool> synced{false};
    constexpr int kThreads = 3;
    for (int i = 0; i < kThreads; ++i)
        (new TSelfFreeingThread(&synced))->Start();
    // WaitFor processes events, which runs the synchronised calls.
    EXPECT_TRUE(WaitFor([] { return gFreedThreads.load() == kThreads; }, 30000));
    EXPECT_TRUE(synced.load());
}

TEST(TThread, EventLoopRunsSynchronisedCallsWithoutPolling) {
    ASSERT_NE(QCoreApplication::instance(), nullptr);
    TWatchdog watchdog("event loop");
    QEventLoop loop;
    bool callRan = false;
    bool timedOut = false;
    TLambdaThread thread([&](TLambdaThread& self) {
        self.Sync([&] {
            callRan = true;
            loop.quit();
        });
    });
    QTimer::singleShot(30000, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    thread.Start();
    loop.exec(); // nobody calls CheckSynchronize: the posted wake-up must do it
    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(callRan);
    thread.WaitFor();
}

TEST(TThread, PriorityCanBeSetWhileRunning) {
    std::atomic<bool> stop{false};
    TLambdaThread thread([&](TLambdaThread&) {
        while (!stop.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    thread.SetPriority(TThreadPriority::tpLower);
    thread.Start();
    thread.SetPriority(TThreadPriority::tpLowest);
    EXPECT_EQ(thread.Priority(), TThreadPriority::tpLowest);
    stop = true;
    thread.WaitFor();
}
