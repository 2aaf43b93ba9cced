#include "serial/LineEventSource.h"

#include "serial/SerialEnums.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <mutex>
#include <thread>

#include <linux/serial.h>
#include <pthread.h>
#include <sys/ioctl.h>

namespace {

// TIOCMIWAIT can only be left by a signal (or a hang-up): a no-op handler
// without SA_RESTART makes the ioctl return EINTR.
int WakeSignal() {
    static const int signal = [] {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGRTMIN + 5, &action, nullptr);
        return SIGRTMIN + 5;
    }();
    return signal;
}

class TModemLineSource final : public TLineEventSource {
public:
    ~TModemLineSource() override { Stop(); }

    void Start(int Fd, uint32_t Mask, TPost Post) override {
        serial_icounter_struct counts{};
        if ((Mask & CommEvent::ModemLines) == 0 || ::ioctl(Fd, TIOCGICOUNT, &counts) != 0)
            return; // the driver cannot report line changes
        WakeSignal();
        FWatching = true;
        FThread = std::thread([this, Fd, Mask, Post = std::move(Post), counts]() mutable {
            Run(Fd, Mask, Post, counts);
        });
    }

    void Stop() override {
        if (!FThread.joinable())
            return;
        FStop.store(true);
        // The signal may arrive before the helper enters its wait; repeat it
        // until the helper has seen the flag.
        while (!FDone.load()) {
            ::pthread_kill(FThread.native_handle(), WakeSignal());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        FThread.join();
    }

    bool ModemLines(int Fd, int& Bits) override {
        return FWatching && TLineEventSource::ModemLines(Fd, Bits);
    }

private:
    void Run(int Fd, uint32_t Mask, const TPost& Post, serial_icounter_struct Before) {
        const int lines = TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG;
        while (!FStop.load()) {
            if (::ioctl(Fd, TIOCMIWAIT, lines) != 0 && errno != EINTR)
                break; // hang-up or a driver that gave up
            serial_icounter_struct after{};
            if (::ioctl(Fd, TIOCGICOUNT, &after) != 0)
                break;
            const uint32_t events = ModemLineChanges(Before, after) & Mask;
            Before = after;
            if (events != 0 && !FStop.load())
                Post(events);
        }
        FDone.store(true);
    }

    std::thread FThread;
    bool FWatching = false; // set before the helper starts, read by the event thread
    std::atomic<bool> FStop{false};
    std::atomic<bool> FDone{false};
};

} // namespace

bool TLineEventSource::ModemLines(int Fd, int& Bits) {
    Bits = 0;
    return ::ioctl(Fd, TIOCMGET, &Bits) == 0;
}

void TLineEventSource::SetDtr(int Fd, bool On) {
    int bits = TIOCM_DTR;
    ::ioctl(Fd, On ? TIOCMBIS : TIOCMBIC, &bits); // a pty has no DTR: nothing to do
}

uint32_t ModemLineChanges(const serial_icounter_struct& Before,
                          const serial_icounter_struct& After) {
    using namespace CommEvent;
    // Overruns are reported by the receive path, with the bytes after them.
    return (After.cts != Before.cts ? EV_CTS : 0) | (After.dsr != Before.dsr ? EV_DSR : 0) |
           (After.dcd != Before.dcd ? EV_RLSD : 0) | (After.rng != Before.rng ? EV_RING : 0);
}

std::unique_ptr<TLineEventSource> MakeModemLineSource() {
    return std::make_unique<TModemLineSource>();
}
