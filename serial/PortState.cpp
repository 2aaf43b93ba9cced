#include "serial/PortState.h"

#include "serial/SerialDevice.h"

#include "platform/TThread.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;
using TMs = std::chrono::milliseconds;

// Milliseconds left until Deadline, at least 0; -1 for no deadline.
int Remaining(bool Limited, TClock::time_point Deadline) {
    if (!Limited)
        return -1;
    const auto left = std::chrono::duration_cast<TMs>(Deadline - TClock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

int MinTimeout(int A, int B) {
    if (A < 0)
        return B;
    if (B < 0)
        return A;
    return std::min(A, B);
}

bool PollFor(pollfd* Fds, nfds_t Count, int TimeoutMs) {
    int r = 0;
    do
        r = ::poll(Fds, Count, TimeoutMs);
    while (r < 0 && errno == EINTR);
    return r > 0;
}

} // namespace

TPortState::TPortState(int Fd, const TConfig& Config, TSerial* Owner)
    : FFd(Fd), FConfig(Config), FQueue(Config.Capacity, Config.Queue), FOwner(Owner) {
    FWakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    FCloseFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    FReaderFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    FWriterFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    // The thread reads DSR as it starts.
    FLinesChanged.store(FConfig.DsrFlow);
    FOverrunsCounted = FConfig.Overruns != nullptr && FConfig.Overruns(FFd, FOverruns);
}

TPortState::~TPortState() {
    if (!FClosed.load())
        ReleaseDevice();
    for (int fd : {FFd, FWakeFd, FCloseFd, FReaderFd, FWriterFd})
        if (fd >= 0)
            ::close(fd);
}

void TPortState::Shutdown() {
    if (FClosed.exchange(true))
        return;
    // Wake every wait first: releasing a terminal can take a while.
    Signal(FCloseFd);
    // No fill is between its read and its queue update while the device goes.
    std::lock_guard lock(FLock);
    ReleaseDevice();
}

// The driver's output is left running for whoever opens the device next.
void TPortState::ReleaseDevice() {
    if (FOutputHeld) {
        SerialDevice::HoldOutput(FFd, false);
        FOutputHeld = false;
    }
    SerialDevice::Detach(FFd);
}

void TPortState::Signal(int EventFd) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(EventFd, &one, sizeof one);
}

void TPortState::DrainWake() {
    uint64_t value = 0;
    [[maybe_unused]] const ssize_t n = ::read(FWakeFd, &value, sizeof value);
}

void TPortState::MarkHungUp() {
    FHungUp.store(true);
    Signal(FReaderFd);
    Signal(FWakeFd);
}

// Bytes the queue still holds are counted without looking at the device: a
// look right after the thread read it empty would wait for the kernel.
int TPortState::Count() {
    std::lock_guard lock(FLock);
    if (!ThreadRunning.load() || (ReaderFills.load() && FQueue.Count() == 0))
        FillLocked(false);
    return FQueue.Count();
}

bool TPortState::Fill(bool ByThread) {
    std::lock_guard lock(FLock);
    return FillLocked(ByThread);
}

bool TPortState::FillLocked(bool ByThread) {
    if (FClosed.load() || FHungUp.load())
        return true;
    uint8_t raw[4096];
    uint32_t events = 0;
    bool empty = false;
    while (FQueue.Free() > 0) {
        const int want = std::min<int>(FQueue.Free(), sizeof raw);
        const ssize_t n = ::read(FFd, raw, static_cast<size_t>(want));
        if (n > 0) {
            events |= FQueue.Put(raw, static_cast<int>(n));
            ReceivedBytes.fetch_add(static_cast<uint64_t>(n), std::memory_order_relaxed);
            if (n < want) {
                empty = true;
                break;
            }
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n == 0 || errno != EAGAIN)
                MarkHungUp(); // end of file or EIO: the device is gone
            empty = true;
            break;
        }
    }
    if (FConfig.DtrHandshake && FDtrUp && FQueue.Free() < FConfig.XOffLimit)
        SetDtrLocked(false);
    if (events == 0)
        return empty;
    // Bytes the driver lost come to light with the bytes after them.
    events |= CheckOverruns();
    if (FConfig.AbortOnError && (events & (CommEvent::EV_BREAK | CommEvent::EV_ERR)) != 0)
        FErrorLatched = true;
    FPending |= events;
    if (ByThread && FReaderWaiting)
        Signal(FReaderFd);
    if (!ByThread && (events & FConfig.EventMask) != 0)
        Signal(FWakeFd); // the thread reports what a reader brought in
    return empty;
}

uint32_t TPortState::CheckOverruns() {
    uint64_t count = 0;
    if (!FOverrunsCounted || !FConfig.Overruns(FFd, count) || count == FOverruns)
        return 0;
    FOverruns = count;
    return CommEvent::EV_ERR;
}

bool TPortState::WaitReadable(int TimeoutMs) {
    pollfd fds[] = {{FFd, POLLIN, 0}, {FCloseFd, POLLIN, 0}, {FReaderFd, POLLIN, 0}};
    const bool woke = PollFor(fds, 3, TimeoutMs);
    if (fds[2].revents != 0) {
        uint64_t value = 0;
        [[maybe_unused]] const ssize_t n = ::read(FReaderFd, &value, sizeof value);
    }
    return woke;
}

// Also woken when DSR changes: a held line is never writable.
bool TPortState::WaitWritable(int TimeoutMs) {
    pollfd fds[] = {{FFd, POLLOUT, 0}, {FCloseFd, POLLIN, 0}, {FWriterFd, POLLIN, 0}};
    const bool woke = PollFor(fds, 3, TimeoutMs);
    if (fds[2].revents != 0) {
        uint64_t value = 0;
        [[maybe_unused]] const ssize_t n = ::read(FWriterFd, &value, sizeof value);
    }
    return woke && fds[1].revents == 0;
}

int TPortState::TakeLocked(uint8_t* Dest, int Size) {
    const int n = FQueue.Take(Dest, Size);
    if (FConfig.DtrHandshake && !FDtrUp && FQueue.Count() <= FConfig.XOnLimit)
        SetDtrLocked(true);
    return n;
}

void TPortState::SetDtrLocked(bool Up) {
    FDtrUp = Up;
    if (LineEvents && !FClosed.load())
        LineEvents->SetDtr(FFd, Up);
}

int TPortState::Read(uint8_t* Dest, int Size, bool Wait) {
    const TCommTimeouts& t = FConfig.Timeouts;
    const bool totalLimited = t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0;
    const auto start = TClock::now();
    const auto totalDeadline =
        start + TMs(static_cast<long long>(t.ReadTotalTimeoutMultiplier) * Size +
                    t.ReadTotalTimeoutConstant);
    auto lastByte = start;
    int got = 0;
    for (;;) {
        {
            std::lock_guard lock(FLock);
            FReaderWaiting = false;
            if (FErrorLatched)
                return got;
            const int before = got;
            got += TakeLocked(Dest + got, Size - got);
            if (got < Size) {
                FillLocked(false);
                got += TakeLocked(Dest + got, Size - got);
            }
            if (FParked && FQueue.Free() > 0) {
                FParked = false;
                Signal(FWakeFd); // the thread may read from the device again
            }
            if (got > before)
                lastByte = TClock::now();
            if (got == Size || !Wait || FClosed.load() || FHungUp.load())
                return got;
            FReaderWaiting = true;
        }
        int timeout = Remaining(totalLimited, totalDeadline);
        if (t.ReadIntervalTimeout != 0 && got > 0)
            timeout = MinTimeout(timeout, Remaining(true, lastByte + TMs(t.ReadIntervalTimeout)));
        if (timeout == 0 || !WaitReadable(timeout)) {
            std::lock_guard lock(FLock);
            FReaderWaiting = false;
            // What came in meanwhile still counts.
            got += TakeLocked(Dest + got, Size - got);
            return got;
        }
    }
}

int TPortState::Write(const uint8_t* Source, int Size, bool Wait) {
    const TCommTimeouts& t = FConfig.Timeouts;
    const bool limited = t.WriteTotalTimeoutMultiplier != 0 || t.WriteTotalTimeoutConstant != 0;
    const auto deadline =
        TClock::now() + TMs(static_cast<long long>(t.WriteTotalTimeoutMultiplier) * Size +
                            t.WriteTotalTimeoutConstant);
    int written = 0;
    while (written < Size && !FClosed.load()) {
        bool held = false;
        {
            std::lock_guard lock(FLock);
            if (FErrorLatched)
                break;
            held = FConfig.DsrFlow && OutputHeldLocked();
        }
        if (held) {
            written += QueueOutput(Source + written, Size - written, Wait, limited, deadline);
            break;
        }
        const ssize_t n = ::write(FFd, Source + written, static_cast<size_t>(Size - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if ((n < 0 && errno != EAGAIN) || !Wait)
            break;
        const int timeout = Remaining(limited, deadline);
        if (timeout == 0 || !WaitWritable(timeout))
            break;
    }
    if (written > 0 && (FConfig.EventMask & CommEvent::EV_TXEMPTY) != 0) {
        {
            std::lock_guard lock(FLock);
            FTxPending = true;
            FTxLastCount = 0;
            FTxDelay = 0;
        }
        Signal(FWakeFd);
    }
    return written;
}

// Bytes that DSR holds: they wait here and go out, in order, once it rises.
// Without write time-outs the writer is not kept waiting for that; with them
// it waits until its bytes are out or the time is up, and what has not gone
// out by then is not sent.
int TPortState::QueueOutput(const uint8_t* Source, int Size, bool Wait, bool Limited,
                            TClock::time_point Deadline) {
    int accepted = 0;
    {
        std::lock_guard lock(FLock);
        const int room = FConfig.TransmitCapacity - static_cast<int>(FTxQueue.size());
        accepted = std::clamp(room, 0, Size);
        FTxQueue.insert(FTxQueue.end(), Source, Source + accepted);
    }
    Signal(FWakeFd); // DSR may have risen meanwhile
    if (!Wait || !Limited)
        return accepted;
    for (;;) {
        int timeout = 0;
        {
            std::lock_guard lock(FLock);
            // This write's bytes are the last in the queue.
            const int unsent = std::min(static_cast<int>(FTxQueue.size()), accepted);
            if (unsent == 0)
                return accepted;
            timeout = Remaining(true, Deadline);
            if (timeout == 0 || FClosed.load()) {
                FTxQueue.resize(FTxQueue.size() - static_cast<size_t>(unsent));
                return accepted - unsent;
            }
        }
        pollfd fds[] = {{FWriterFd, POLLIN, 0}, {FCloseFd, POLLIN, 0}};
        if (PollFor(fds, 2, timeout) && fds[0].revents != 0) {
            uint64_t value = 0;
            [[maybe_unused]] const ssize_t n = ::read(FWriterFd, &value, sizeof value);
        }
    }
}

bool TPortState::ServeOutput() {
    if (!FConfig.DsrFlow)
        return false;
    if (FLinesChanged.exchange(false)) {
        // A level the driver cannot tell counts as on.
        int bits = 0;
        const bool held =
            LineEvents && LineEvents->ModemLines(FFd, bits) && (bits & TIOCM_DSR) == 0;
        std::lock_guard lock(FLock);
        if (held != FOutputHeld && !FClosed.load()) {
            FOutputHeld = held;
            // What the driver has already taken stops too.
            SerialDevice::HoldOutput(FFd, held);
            Signal(FWriterFd);
        }
    }
    std::lock_guard lock(FLock);
    if (FOutputHeld || FTxQueue.empty() || FClosed.load())
        return false;
    SendQueuedLocked();
    return !FTxQueue.empty();
}

void TPortState::SendQueuedLocked() {
    size_t sent = 0;
    while (sent < FTxQueue.size()) {
        const ssize_t n = ::write(FFd, FTxQueue.data() + sent, FTxQueue.size() - sent);
        if (n > 0)
            sent += static_cast<size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else {
            if (n == 0 || errno != EAGAIN)
                sent = FTxQueue.size(); // the device is gone: nothing will take them
            break;
        }
    }
    if (sent == 0)
        return;
    FTxQueue.erase(FTxQueue.begin(), FTxQueue.begin() + static_cast<std::ptrdiff_t>(sent));
    if ((FConfig.EventMask & CommEvent::EV_TXEMPTY) != 0) {
        FTxPending = true;
        FTxLastCount = 0;
        FTxDelay = 0;
    }
    Signal(FWriterFd);
}

int TPortState::OutputCount() {
    int count = 0;
    std::lock_guard lock(FLock);
    if (FClosed.load() || !FConfig.OutputQueue(FFd, count))
        count = 0;
    return count + static_cast<int>(FTxQueue.size());
}

void TPortState::ClearError() {
    std::lock_guard lock(FLock);
    FErrorLatched = false;
}

int TPortState::Status() {
    ClearError();
    return Count();
}

void TPortState::Post(uint32_t Events) {
    {
        std::lock_guard lock(FLock);
        FPending |= Events;
        if (FConfig.DsrFlow && (Events & CommEvent::EV_DSR) != 0)
            FLinesChanged.store(true);
        if (FConfig.AbortOnError && (Events & (CommEvent::EV_BREAK | CommEvent::EV_ERR)) != 0)
            FErrorLatched = true;
    }
    Signal(FWakeFd);
}

uint32_t TPortState::TakeEvents() {
    std::lock_guard lock(FLock);
    const uint32_t events = FPending & FConfig.EventMask;
    FPending = 0;
    return events;
}

bool TPortState::ArmReceive() {
    std::lock_guard lock(FLock);
    FParked = FQueue.Free() == 0;
    return !FParked;
}

int TPortState::CheckTransmitter() {
    std::lock_guard lock(FLock);
    if (!FTxPending || FClosed.load() || !FTxQueue.empty())
        return -1; // bytes held for DSR: looked at once they are sent
    int count = 0;
    if (!FConfig.OutputQueue(FFd, count)) {
        FTxPending = false; // the driver cannot tell: never reported
        return -1;
    }
    if (count == 0) {
        FTxPending = false;
        FPending |= CommEvent::EV_TXEMPTY;
        return -1;
    }
    // Look again about when the queue should have gone out (10 bits a byte).
    // While nothing goes out (flow control holds the line) each look waits
    // twice as long as the last, so a stalled line does not keep the thread
    // busy.
    const long long ms = static_cast<long long>(count) * 10000 / std::max(FConfig.BaudRate, 1u);
    long long delay = ms + 1;
    if (FTxLastCount != 0 && count >= FTxLastCount)
        delay = std::max(delay, 2LL * FTxDelay);
    FTxLastCount = count;
    FTxDelay = static_cast<int>(std::clamp<long long>(delay, 1, 1000));
    return FTxDelay;
}

TSerial* TPortState::Owner() {
    std::lock_guard lock(FOwnerLock);
    return FOwner;
}

TSerial* TPortState::AcquireOwner() {
    std::lock_guard lock(FOwnerLock);
    if (FOwner != nullptr) {
        FBusy = true;
        FBusyThread = std::this_thread::get_id();
    }
    return FOwner;
}

void TPortState::ReleaseOwner() {
    {
        std::lock_guard lock(FOwnerLock);
        FBusy = false;
    }
    FOwnerIdle.notify_all();
}

void TPortState::DetachOwner() {
    std::unique_lock lock(FOwnerLock);
    FOwner = nullptr;
    while (FBusy && FBusyThread != std::this_thread::get_id()) {
        // A handler running in the thread may be waiting for the main thread.
        lock.unlock();
        platform::CheckSynchronize();
        lock.lock();
        FOwnerIdle.wait_for(lock, TMs(2), [this] { return !FBusy; });
    }
}
