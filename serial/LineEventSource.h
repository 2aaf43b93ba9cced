#pragma once

#include <cstdint>
#include <functional>
#include <memory>

struct serial_icounter_struct;

// Where line events come from that are not in the byte stream: the driver's
// modem-status changes; and the modem lines the handshakes read and set. The
// event thread starts one source at its start and stops it before it ends.
// Tests put their own source in its place to produce what a pseudo-terminal
// cannot (line changes and levels, breaks, line errors).
class TLineEventSource {
public:
    using TPost = std::function<void(uint32_t Events)>;
    virtual ~TLineEventSource() = default;
    // Starts reporting the events of Mask on the device Fd through Post
    // (callable from any thread) until Stop.
    virtual void Start(int Fd, uint32_t Mask, TPost Post) = 0;
    // Ends reporting; Post is never called after Stop returns.
    virtual void Stop() = 0;
    // The modem-status lines now (TIOCM_* bits); false when the driver cannot
    // tell them, or could not report their changes: a handshake must not
    // hold the line on a level it would never see change.
    virtual bool ModemLines(int Fd, int& Bits);
    // Raises or drops DTR.
    virtual void SetDtr(int Fd, bool On);
};

using TLineEventSourceFactory = std::function<std::unique_ptr<TLineEventSource>()>;

// The driver's own source: TIOCMIWAIT on a helper thread, where the driver
// counts modem-line interrupts (TIOCGICOUNT); otherwise it reports nothing.
std::unique_ptr<TLineEventSource> MakeModemLineSource();

// The line events between two of the driver's interrupt counts. A break is
// not among them: it arrives, marked, with the received bytes.
uint32_t ModemLineChanges(const serial_icounter_struct& Before,
                          const serial_icounter_struct& After);
