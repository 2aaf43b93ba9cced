#pragma once

#include <cstdint>
#include <functional>
#include <memory>

// Where line events come from that are not in the byte stream: the driver's
// modem-status changes. The event thread starts one source at its start and
// stops it before it ends. Tests put their own source in its place to produce
// what a pseudo-terminal cannot (line changes, breaks, line errors).
class TLineEventSource {
public:
    using TPost = std::function<void(uint32_t Events)>;
    virtual ~TLineEventSource() = default;
    // Starts reporting the events of Mask on the device Fd through Post
    // (callable from any thread) until Stop.
    virtual void Start(int Fd, uint32_t Mask, TPost Post) = 0;
    // Ends reporting; Post is never called after Stop returns.
    virtual void Stop() = 0;
};

using TLineEventSourceFactory = std::function<std::unique_ptr<TLineEventSource>()>;

// The driver's own source: TIOCMIWAIT on a helper thread, where the driver
// counts modem-line interrupts (TIOCGICOUNT); otherwise it reports nothing.
std::unique_ptr<TLineEventSource> MakeModemLineSource();
