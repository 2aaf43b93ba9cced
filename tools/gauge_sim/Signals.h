#pragma once

#include "oskit/Fd.h"

#include <csignal>

// The signals the simulator reacts to, delivered through a descriptor so
// the main loop handles them like any other input. Blocks them while it
// lives and restores the previous mask when it goes.
class TSignals {
public:
    TSignals();
    ~TSignals();
    TSignals(const TSignals&) = delete;
    TSignals& operator=(const TSignals&) = delete;

    int Fd() const { return FFd.Get(); }
    // The next pending signal, 0 when none is waiting.
    int Take();

private:
    sigset_t FPrevious{};
    oskit::TFd FFd;
};
