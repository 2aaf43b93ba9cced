#pragma once

#include "oskit/Fd.h"
#include "usb/D2xxTypes.h"
#include "usb/kernel/Sysfs.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace ftkernel {

// Waits in epoll on a tty and tells of each arrival of new bytes, as a
// converter's event notification does, until it is destroyed. Bytes left
// unread never wake it twice (edge-triggered); a hang-up is told once.
class TEventWatcher {
public:
    struct TSink {
        virtual void Arrived() = 0;
        virtual void HungUp() = 0;

    protected:
        ~TSink() = default;
    };
    // Throws std::system_error when the kernel refuses the epoll set-up.
    TEventWatcher(int tty, TSink& sink);
    ~TEventWatcher(); // stops and joins the thread
    TEventWatcher(const TEventWatcher&) = delete;
    TEventWatcher& operator=(const TEventWatcher&) = delete;

private:
    void Run(int tty);

    TSink& FSink;
    oskit::TFd FEpoll;
    oskit::TFd FStop; // an eventfd
    std::thread FThread;
};

// One converter port opened through its ttyUSB device, locked as the serial
// component locks a port (flock + TIOCEXCL), so nobody else opens it.
class TTtyDevice : private TEventWatcher::TSink {
public:
    // FT_OK, or FT_DEVICE_NOT_OPENED when the port is held elsewhere or may
    // not be opened, FT_DEVICE_NOT_FOUND when its device file is gone.
    static d2xx::FT_STATUS Open(const TConverterPort& port, std::unique_ptr<TTtyDevice>& device);
    ~TTtyDevice();
    TTtyDevice(const TTtyDevice&) = delete;
    TTtyDevice& operator=(const TTtyDevice&) = delete;

    // Waits for count bytes up to the read time-out (0: no time-out); ends
    // early with FT_DEVICE_NOT_FOUND when the port goes away.
    d2xx::FT_STATUS Read(void* buffer, d2xx::DWORD count, d2xx::DWORD* returned);
    d2xx::FT_STATUS Write(const void* buffer, d2xx::DWORD count, d2xx::DWORD* written);
    d2xx::FT_STATUS SetBaudRate(d2xx::ULONG baudRate);
    d2xx::FT_STATUS SetDataCharacteristics(d2xx::UCHAR wordLength, d2xx::UCHAR stopBits,
                                           d2xx::UCHAR parity);
    d2xx::FT_STATUS SetFlowControl(d2xx::USHORT mode, d2xx::UCHAR xon, d2xx::UCHAR xoff);
    d2xx::FT_STATUS SetModemLine(int line, bool on); // TIOCM_DTR or TIOCM_RTS
    d2xx::FT_STATUS SetBreak(bool on);
    d2xx::FT_STATUS GetModemStatus(d2xx::ULONG* status);
    d2xx::FT_STATUS Purge(d2xx::ULONG mask);
    d2xx::FT_STATUS SetTimeouts(d2xx::ULONG readMs, d2xx::ULONG writeMs);
    d2xx::FT_STATUS GetQueueStatus(d2xx::DWORD* waiting);
    d2xx::FT_STATUS GetStatus(d2xx::DWORD* waiting, d2xx::DWORD* sending, d2xx::DWORD* events);
    d2xx::FT_STATUS SetEventNotification(d2xx::DWORD mask, void* event);
    d2xx::FT_STATUS SetLatencyTimer(d2xx::UCHAR latencyMs);
    // For entry points without a kernel counterpart: the handle was good.
    d2xx::FT_STATUS Accept() { return d2xx::FT_OK; }

private:
    TTtyDevice(oskit::TFd fd, std::filesystem::path latencyTimer);
    void Arrived() override;
    void HungUp() override;
    void SignalLocked();
    d2xx::FT_STATUS Failure(); // the status for the latest errno
    // Waits until fd is ready for events or the deadline (ms, -1: none) passes.
    bool WaitReady(short events, int timeoutMs) const;

    oskit::TFd FFd;
    std::filesystem::path FLatencyTimer;
    std::atomic<d2xx::ULONG> FReadTimeoutMs{0};
    std::atomic<d2xx::ULONG> FWriteTimeoutMs{0};
    std::atomic<bool> FGone{false};
    std::mutex FEventLock; // the caller's event, the mask and the latch
    d2xx::EVENT_HANDLE* FEvent = nullptr;
    d2xx::DWORD FEventMask = 0;
    bool FReceivedLatch = false;
    std::unique_ptr<TEventWatcher> FWatcher; // last: it goes first
};

} // namespace ftkernel
