#include "usb/kernel/TtyDevice.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>
#include <system_error>

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace d2xx;
using Clock = std::chrono::steady_clock;

namespace ftkernel {
namespace {

constexpr USHORT kFlowRtsCts = 0x0100;
constexpr USHORT kFlowDtrDsr = 0x0200;
constexpr USHORT kFlowXonXoff = 0x0400;
constexpr ULONG kPurgeRx = 1;
constexpr ULONG kPurgeTx = 2;
// Modem status bits as the converter reports them.
constexpr ULONG kCts = 0x10, kDsr = 0x20, kRing = 0x40, kDcd = 0x80;

template <typename F, typename... Args> int Retry(F call, Args... args) {
    int result;
    do
        result = call(args...);
    while (result < 0 && errno == EINTR);
    return result;
}

// A driver without modem lines or breaks (a pseudo-terminal) refuses the
// request; that is no failure of the converter.
bool Unsupported(int error) {
    return error == EINVAL || error == ENOTTY || error == EOPNOTSUPP;
}

bool Modify(int fd, const auto& change) {
    struct termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    change(tio);
    return ::ioctl(fd, TCSETS2, &tio) == 0;
}

// Raw 8N1 at 9600 baud, no flow control, nothing received yet: a
// converter's state after it opened. What came while nobody listened is lost,
// as it would be on the chip.
bool MakeRaw(int fd) {
    return ::ioctl(fd, TCFLSH, TCIFLUSH) == 0 && Modify(fd, [](termios2& tio) {
               tio.c_iflag = 0;
               tio.c_oflag = 0;
               tio.c_lflag = 0;
               tio.c_cflag = CREAD | CLOCAL | CS8 | BOTHER;
               tio.c_ispeed = tio.c_ospeed = 9600;
               tio.c_cc[VMIN] = 1; // with 0 a read of nothing returns 0, like a hang-up
               tio.c_cc[VTIME] = 0;
           });
}

int RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::int64_t>(left.count(), 0));
}

} // namespace

TEventWatcher::TEventWatcher(int tty, TSink& sink)
    : FSink(sink), FEpoll(::epoll_create1(EPOLL_CLOEXEC)),
      FStop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (FEpoll.Get() < 0 || FStop.Get() < 0)
        throw std::system_error(errno, std::generic_category(), "event watcher");
    epoll_event stop{};
    stop.events = EPOLLIN;
    stop.data.fd = FStop.Get();
    epoll_event data{};
    data.events = EPOLLIN | EPOLLET | EPOLLRDHUP;
    data.data.fd = tty;
    if (::epoll_ctl(FEpoll.Get(), EPOLL_CTL_ADD, FStop.Get(), &stop) != 0 ||
        ::epoll_ctl(FEpoll.Get(), EPOLL_CTL_ADD, tty, &data) != 0)
        throw std::system_error(errno, std::generic_category(), "event watcher");
    FThread = std::thread([this, tty] { Run(tty); });
}

TEventWatcher::~TEventWatcher() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(FStop.Get(), &one, sizeof one);
    FThread.join();
}

void TEventWatcher::Run(int tty) {
    for (;;) {
        std::array<epoll_event, 2> events{};
        const int count = ::epoll_wait(FEpoll.Get(), events.data(), events.size(), -1);
        if (count < 0 && errno != EINTR)
            return;
        for (int i = 0; i < count; ++i) {
            if (events[i].data.fd == FStop.Get())
                return;
            if ((events[i].events & EPOLLIN) != 0)
                FSink.Arrived();
            if ((events[i].events & (EPOLLHUP | EPOLLERR | EPOLLRDHUP)) != 0) {
                // Told once; a gone device would otherwise wake us for ever.
                ::epoll_ctl(FEpoll.Get(), EPOLL_CTL_DEL, tty, nullptr);
                FSink.HungUp();
            }
        }
    }
}

FT_STATUS TTtyDevice::Open(const TConverterPort& port, std::unique_ptr<TTtyDevice>& device) {
    oskit::TFd fd(::open(port.Node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (fd.Get() < 0)
        return errno == ENOENT || errno == ENXIO || errno == ENODEV ? FT_DEVICE_NOT_FOUND
                                                                    : FT_DEVICE_NOT_OPENED;
    // The same lock the serial component takes: one of them gets the port.
    if (Retry(::flock, fd.Get(), LOCK_EX | LOCK_NB) != 0)
        return FT_DEVICE_NOT_OPENED;
    ::ioctl(fd.Get(), TIOCEXCL); // refused by some drivers; the lock still holds
    if (!MakeRaw(fd.Get()))
        return FT_DEVICE_NOT_OPENED;
    try {
        device.reset(new TTtyDevice(std::move(fd), port.LatencyTimer));
    } catch (const std::system_error&) {
        return FT_INSUFFICIENT_RESOURCES;
    }
    return FT_OK;
}

TTtyDevice::TTtyDevice(oskit::TFd fd, std::filesystem::path latencyTimer)
    : FFd(std::move(fd)), FLatencyTimer(std::move(latencyTimer)),
      FWatcher(std::make_unique<TEventWatcher>(FFd.Get(), static_cast<TSink&>(*this))) {}

TTtyDevice::~TTtyDevice() {
    FWatcher.reset(); // it calls back into this object
    ::ioctl(FFd.Get(), TIOCNXCL);
    Retry(::flock, FFd.Get(), LOCK_UN);
}

void TTtyDevice::Arrived() {
    std::lock_guard lock(FEventLock);
    FReceivedLatch = true;
    SignalLocked();
}

void TTtyDevice::HungUp() {
    FGone = true;
    // A waiting reader looks again and learns that the device is gone.
    std::lock_guard lock(FEventLock);
    SignalLocked();
}

void TTtyDevice::SignalLocked() {
    if (FEvent == nullptr || (FEventMask & FT_EVENT_RXCHAR) == 0)
        return;
    SignalEventHandle(*FEvent);
}

FT_STATUS TTtyDevice::Failure() {
    // The caller may learn it before the watcher does.
    if (errno == EIO || errno == ENODEV || errno == ENXIO)
        FGone = true;
    return FGone ? FT_DEVICE_NOT_FOUND : FT_IO_ERROR;
}

bool TTtyDevice::WaitReady(short events, int timeoutMs) const {
    pollfd wanted{FFd.Get(), events, 0};
    return Retry(::poll, &wanted, nfds_t{1}, timeoutMs) > 0;
}

FT_STATUS TTtyDevice::Read(void* buffer, DWORD count, DWORD* returned) {
    *returned = 0;
    const ULONG timeoutMs = FReadTimeoutMs;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto* bytes = static_cast<char*>(buffer);
    while (*returned < count) {
        const ssize_t n = ::read(FFd.Get(), bytes + *returned, count - *returned);
        if (n > 0) {
            *returned += static_cast<DWORD>(n);
            continue;
        }
        // End of file is a tty hung up under us: what came before stays read.
        if (n == 0) {
            FGone = true;
            return FT_DEVICE_NOT_FOUND;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return Failure();
        if (timeoutMs != 0 && RemainingMs(deadline) == 0)
            break;
        WaitReady(POLLIN, timeoutMs != 0 ? RemainingMs(deadline) : -1);
    }
    return FT_OK;
}

FT_STATUS TTtyDevice::Write(const void* buffer, DWORD count, DWORD* written) {
    *written = 0;
    const ULONG timeoutMs = FWriteTimeoutMs;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto* bytes = static_cast<const char*>(buffer);
    while (*written < count) {
        const ssize_t n = ::write(FFd.Get(), bytes + *written, count - *written);
        if (n > 0) {
            *written += static_cast<DWORD>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return Failure();
        if (timeoutMs != 0 && RemainingMs(deadline) == 0)
            break;
        WaitReady(POLLOUT, timeoutMs != 0 ? RemainingMs(deadline) : -1);
    }
    return FT_OK;
}

FT_STATUS TTtyDevice::SetBaudRate(ULONG baudRate) {
    if (baudRate == 0)
        return FT_INVALID_BAUD_RATE;
    const bool set = Modify(FFd.Get(), [&](termios2& tio) {
        tio.c_cflag = (tio.c_cflag & ~CBAUD) | BOTHER;
        tio.c_ispeed = tio.c_ospeed = baudRate;
    });
    return set ? FT_OK : Failure();
}

FT_STATUS TTtyDevice::SetDataCharacteristics(UCHAR wordLength, UCHAR stopBits, UCHAR parity) {
    static constexpr tcflag_t kParity[] = {0, PARENB | PARODD, PARENB, PARENB | PARODD | CMSPAR,
                                           PARENB | CMSPAR};
    if ((wordLength != 7 && wordLength != 8) || (stopBits != 0 && stopBits != 2) ||
        parity >= std::size(kParity))
        return FT_INVALID_PARAMETER;
    const bool set = Modify(FFd.Get(), [&](termios2& tio) {
        tio.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR);
        tio.c_cflag |=
            (wordLength == 7 ? CS7 : CS8) | (stopBits == 2 ? CSTOPB : 0) | kParity[parity];
    });
    return set ? FT_OK : Failure();
}

FT_STATUS TTtyDevice::SetFlowControl(USHORT mode, UCHAR xon, UCHAR xoff) {
    if (mode == kFlowDtrDsr)
        return FT_NOT_SUPPORTED; // the kernel's tty layer has no DTR/DSR handshake
    if (mode != 0 && mode != kFlowRtsCts && mode != kFlowXonXoff)
        return FT_INVALID_PARAMETER;
    const bool set = Modify(FFd.Get(), [&](termios2& tio) {
        tio.c_cflag = (tio.c_cflag & ~CRTSCTS) | (mode == kFlowRtsCts ? CRTSCTS : 0);
        tio.c_iflag = (tio.c_iflag & ~(IXON | IXOFF)) | (mode == kFlowXonXoff ? IXON | IXOFF : 0);
        tio.c_cc[VSTART] = xon;
        tio.c_cc[VSTOP] = xoff;
    });
    return set ? FT_OK : Failure();
}

FT_STATUS TTtyDevice::SetModemLine(int line, bool on) {
    if (::ioctl(FFd.Get(), on ? TIOCMBIS : TIOCMBIC, &line) == 0 || Unsupported(errno))
        return FT_OK;
    return Failure();
}

FT_STATUS TTtyDevice::SetBreak(bool on) {
    if (::ioctl(FFd.Get(), on ? TIOCSBRK : TIOCCBRK) == 0 || Unsupported(errno))
        return FT_OK;
    return Failure();
}

FT_STATUS TTtyDevice::GetModemStatus(ULONG* status) {
    int lines = 0;
    if (::ioctl(FFd.Get(), TIOCMGET, &lines) != 0) {
        if (!Unsupported(errno))
            return Failure();
        lines = 0;
    }
    *status = ((lines & TIOCM_CTS) ? kCts : 0) | ((lines & TIOCM_DSR) ? kDsr : 0) |
              ((lines & TIOCM_RI) ? kRing : 0) | ((lines & TIOCM_CD) ? kDcd : 0);
    return FT_OK;
}

FT_STATUS TTtyDevice::Purge(ULONG mask) {
    if ((mask & kPurgeRx) != 0) {
        if (::ioctl(FFd.Get(), TCFLSH, TCIFLUSH) != 0)
            return Failure();
        std::lock_guard lock(FEventLock);
        FReceivedLatch = false;
    }
    if ((mask & kPurgeTx) != 0 && ::ioctl(FFd.Get(), TCFLSH, TCOFLUSH) != 0)
        return Failure();
    return FT_OK;
}

FT_STATUS TTtyDevice::SetTimeouts(ULONG readMs, ULONG writeMs) {
    FReadTimeoutMs = readMs;
    FWriteTimeoutMs = writeMs;
    return FT_OK;
}

FT_STATUS TTtyDevice::GetQueueStatus(DWORD* waiting) {
    int count = 0;
    if (::ioctl(FFd.Get(), FIONREAD, &count) != 0)
        return Failure();
    if (count == 0 && FGone)
        return FT_DEVICE_NOT_FOUND;
    *waiting = static_cast<DWORD>(count);
    return FT_OK;
}

FT_STATUS TTtyDevice::GetStatus(DWORD* waiting, DWORD* sending, DWORD* events) {
    if (const FT_STATUS status = GetQueueStatus(waiting); status != FT_OK)
        return status;
    int queued = 0;
    *sending = ::ioctl(FFd.Get(), TIOCOUTQ, &queued) == 0 ? static_cast<DWORD>(queued) : 0;
    // The event status tells what happened since the last look.
    std::lock_guard lock(FEventLock);
    *events = FReceivedLatch ? FT_EVENT_RXCHAR : 0;
    FReceivedLatch = false;
    return FT_OK;
}

FT_STATUS TTtyDevice::SetEventNotification(DWORD mask, void* event) {
    // Under the lock the watcher signals with: once this returns, the old
    // event is never touched again and its owner may destroy it.
    std::lock_guard lock(FEventLock);
    FEventMask = mask;
    FEvent = mask != 0 ? static_cast<EVENT_HANDLE*>(event) : nullptr;
    return FT_OK;
}

FT_STATUS TTtyDevice::SetLatencyTimer(UCHAR latencyMs) {
    // The attribute is root's on most systems: without it the driver keeps
    // its own latency, which serves a gauge as well.
    std::ofstream attribute(FLatencyTimer);
    if (attribute)
        attribute << static_cast<unsigned>(latencyMs) << '\n';
    return FT_OK;
}

} // namespace ftkernel
