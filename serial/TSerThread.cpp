#include "serial/TSerThread.h"

#include "serial/PortState.h"
#include "serial/TSerial.h"

#include <algorithm>
#include <cerrno>

#include <sys/epoll.h>
#include <unistd.h>

namespace {

// Descriptors in the thread's wait, told apart by their tag.
enum : uint32_t { kDevice, kWake, kClose };

bool Watch(int Epoll, int Op, int Fd, uint32_t Events, uint32_t Tag) {
    epoll_event e{};
    e.events = Events;
    e.data.u32 = Tag;
    return ::epoll_ctl(Epoll, Op, Fd, &e) == 0;
}

// Handlers in their fixed order of dispatch.
constexpr uint32_t kOrder[] = {CommEvent::EV_BREAK,  CommEvent::EV_CTS,    CommEvent::EV_DSR,
                               CommEvent::EV_ERR,    CommEvent::EV_RING,   CommEvent::EV_RLSD,
                               CommEvent::EV_RXCHAR, CommEvent::EV_RXFLAG, CommEvent::EV_TXEMPTY};

} // namespace

TSerThread::TSerThread(std::shared_ptr<TPortState> State) : FState(std::move(State)) {
    FreeOnTerminate = true;
}

bool TSerThread::Launch(TSerial* Owner, std::shared_ptr<TPortState> State) {
    std::unique_ptr<TSerThread> thread;
    try {
        thread.reset(new TSerThread(std::move(State)));
        thread->SetPriority(Owner->ThreadPriority());
        thread->FState->ThreadRunning.store(true);
        thread->Start();
    } catch (...) {
        // Out of threads or memory: the thread never ran, so it is ours to free.
        if (thread)
            thread->FState->ThreadRunning.store(false);
        return false;
    }
    thread.release(); // it frees itself from here
    return true;
}

void TSerThread::Execute() {
    TPortState& state = *FState;
    const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
    const bool ready = epoll >= 0 && Watch(epoll, EPOLL_CTL_ADD, state.Fd(), EPOLLIN, kDevice) &&
                       Watch(epoll, EPOLL_CTL_ADD, state.WakeFd(), EPOLLIN, kWake) &&
                       Watch(epoll, EPOLL_CTL_ADD, state.CloseFd(), EPOLLIN, kClose);
    // The DTR/DSR handshake follows DSR whether or not OnDsr is assigned.
    const uint32_t lines =
        state.Config().EventMask | (state.Config().DsrFlow ? CommEvent::EV_DSR : 0);
    if (ready && state.LineEvents)
        state.LineEvents->Start(state.Fd(), lines,
                                [&state](uint32_t events) { state.Post(events); });
    while (ready && !Terminated() && !state.Closed()) {
        EventMask = WaitForEvents(epoll);
        if (EventMask != 0 && !state.Closed())
            HandleEvents();
        else if (state.HungUp())
            break; // the device is gone: no wait would ever succeed again
    }
    if (state.LineEvents)
        state.LineEvents->Stop();
    if (epoll >= 0)
        ::close(epoll);
    state.ThreadRunning.store(false);
}

// Blocks until events are pending; 0 when the port closed or hung up.
uint32_t TSerThread::WaitForEvents(int Epoll) {
    TPortState& state = *FState;
    uint32_t held = 0;
    bool readEmpty = false; // by the last look at the device
    for (;;) {
        FSending = state.ServeOutput();
        int timeout = state.CheckTransmitter();
        held |= state.TakeEvents();
        if (state.Closed() || state.HungUp() || Terminated())
            return held;
        if (held != 0) {
            const int slice = SliceLeftMs(held);
            if (slice <= 0)
                return HandOver(Epoll, held, readEmpty);
            timeout = timeout < 0 ? slice : std::min(timeout, slice);
        }
        // Right after a slice of a stream, data arriving would only wait for
        // the next slice: the device is looked at when that is due instead
        // of waking the thread for each write.
        const int quiet = held == 0 ? QuietLeftMs() : 0;
        if (quiet > 0)
            timeout = timeout < 0 ? quiet : std::min(timeout, quiet);
        // While the queue is full the device is left alone: the kernel's
        // buffer and the line's flow control hold the rest.
        WatchDevice(Epoll, held == 0 && quiet == 0 && state.ArmReceive());
        epoll_event ready[3];
        const int n = ::epoll_wait(Epoll, ready, 3, timeout);
        if (n < 0 && errno != EINTR)
            return 0;
        readEmpty = false;
        if (n == 0 && quiet > 0)
            readEmpty = state.Fill(true);
        state.Wakeups.fetch_add(1, std::memory_order_relaxed);
        for (int i = 0; i < n; ++i) {
            if (ready[i].data.u32 == kWake)
                state.DrainWake();
            else if (ready[i].data.u32 == kDevice) {
                readEmpty = state.Fill(true);
                if ((ready[i].events & (EPOLLHUP | EPOLLERR)) != 0)
                    state.MarkHungUp();
            }
        }
    }
}

// The events of a finished slice, with what came in during it; the device
// is not read again when it was just read empty.
uint32_t TSerThread::HandOver(int Epoll, uint32_t Events, bool ReadEmpty) {
    TPortState& state = *FState;
    WatchDevice(Epoll, true);
    if (!ReadEmpty)
        state.Fill(true);
    const auto now = std::chrono::steady_clock::now();
    const auto since =
        std::chrono::duration_cast<std::chrono::microseconds>(now - FLastHandOver).count();
    FLastHandOver = now;
    FLastSliceBytes = state.Count();
    // Judged by its rate, not by what one read brought: a reader that comes
    // back quickly finds little waiting even in a stream far too fast to
    // wait for, and would then stall it for a whole slice. What the handler
    // read from the device itself during a fast stream counts too: the
    // queue alone holds at most a queueful however long the handler took.
    const uint64_t received = state.ReceivedBytes.load(std::memory_order_relaxed);
    const auto bytes = static_cast<long long>(received - FReceivedAtHandOver);
    FReceivedAtHandOver = received;
    // More than a slice's worth since the last hand-over is a flood too,
    // however long that took: on a busy machine a hand-over can come late,
    // and the flood would then wait a whole slice.
    FFastStream = bytes >= SliceBytes ||
                  bytes * StreamSliceMs * 1000 >
                      static_cast<long long>(SliceBytes) * std::max<long long>(since, 1);
    state.ReaderFills.store(FFastStream);
    return Events | state.TakeEvents();
}

// Milliseconds the gathering of a stream's slice still takes for Events; 0
// when they are to be handed over now.
int TSerThread::SliceLeftMs(uint32_t Events) const {
    if ((Events & ~uint32_t{CommEvent::EV_RXCHAR | CommEvent::EV_RXFLAG}) != 0 || FFastStream)
        return 0;
    const auto since = std::chrono::steady_clock::now() - FLastHandOver;
    const auto left = std::chrono::milliseconds(StreamSliceMs) -
                      std::chrono::duration_cast<std::chrono::milliseconds>(since);
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
}

// Milliseconds until the next slice of a stream is due; 0 when the last
// hand-over carried no data, too much to wait for, or the slice is over.
int TSerThread::QuietLeftMs() const {
    if (FLastSliceBytes <= 0 || FFastStream)
        return 0;
    return SliceLeftMs(CommEvent::EV_RXCHAR);
}

// Received data is watched for as Receive says; room for output while bytes
// held for DSR wait to go out.
void TSerThread::WatchDevice(int Epoll, bool Receive) {
    const uint32_t events =
        (Receive ? uint32_t{EPOLLIN} : 0u) | (FSending ? uint32_t{EPOLLOUT} : 0u);
    if (events == FWatched)
        return;
    Watch(Epoll, EPOLL_CTL_MOD, FState->Fd(), events, kDevice);
    FWatched = events;
}

// A handler that throws ends the dispatch of this wake-up only: the thread
// has nobody to report to, and ending it would leave an open port deaf (and
// an unreleased owner would keep Close waiting for good).
void TSerThread::HandleEvents() {
    TPortState& state = *FState;
    TSerial* owner = state.AcquireOwner();
    if (owner == nullptr)
        return;
    if (!owner->SyncEventHandling()) {
        try {
            DispatchEvents();
        } catch (...) {
        }
        state.ReleaseOwner();
        return;
    }
    state.ReleaseOwner();
    // On the main thread the component can only go away inside a handler,
    // which DispatchEvents looks out for.
    try {
        Synchronize([this] { DispatchEvents(); });
    } catch (...) {
    }
}

void TSerThread::DispatchEvents() {
    TPortState& state = *FState;
    TSerial* owner = state.Owner();
    if (owner == nullptr || !owner->EnableEvents())
        return;
    for (const uint32_t bit : kOrder) {
        if ((EventMask & bit) == 0)
            continue;
        // A handler may have closed or destroyed the component.
        owner = state.Owner();
        if (owner == nullptr)
            return;
        if (const TNotifyEvent handler = owner->HandlerOf(bit))
            handler(owner);
        if (bit != CommEvent::EV_RXCHAR || (owner = state.Owner()) == nullptr)
            continue;
        if (owner->OnData && owner->DataSize() > 0 && owner->RecCount() >= owner->DataSize()) {
            const TNotifyEvent data = owner->OnData;
            data(owner);
        }
    }
}
