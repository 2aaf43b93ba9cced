#pragma once

#include "Options.h"
#include "Signals.h"

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

// What every simulated gauge shares, whatever its link: readings typed on
// standard input or sent on a beat (--every, --count), the commands !unplug,
// !plug and !quit and their signals (SIGUSR1, SIGUSR2, SIGINT/SIGTERM), the
// timed unplug (--unplug-after), and the loop that waits for all of them.
// A link adds how a reading is sent, what unplugging means, and optionally
// one descriptor of its own to watch.
class TGaugeLoop {
public:
    TGaugeLoop(const TGaugeLoop&) = delete;
    TGaugeLoop& operator=(const TGaugeLoop&) = delete;

    // The main loop; returns when a signal or "!quit" ends it.
    void Run();

protected:
    using TClock = std::chrono::steady_clock;

    TGaugeLoop(TSimOptions options, std::ostream& out);
    virtual ~TGaugeLoop() = default;

    // Ends the link's construction: sends the readings of the command line
    // (without --every) and starts the timers.
    void Begin();

    virtual void Send(std::string_view reading) = 0;
    virtual void Unplug() = 0;
    // Plugging in again may fail; the link says why and stays unplugged.
    virtual void Plug() = 0;
    // The link's own descriptor to watch (-1: none), and what to do when it
    // can be read.
    virtual int LinkFd() const { return -1; }
    virtual void ReadFromLink() {}

    void Log(std::string_view what) const;

    const TSimOptions FOptions;
    std::ostream& FOut;

private:
    void ReadStandardInput();
    void HandleInputLine(std::string line);
    void HandleSignal(int signal);
    void RunDueTimers();
    int PollTimeoutMs() const;

    // First in, last out: signals stay blocked until the link is gone.
    TSignals FSignals;
    std::optional<TClock::time_point> FNextReading;
    std::optional<TClock::time_point> FUnplugAt;
    long FTimedSent = 0;
    std::string FInput; // standard input not yet ended by a line feed
    bool FInputOpen = true;
    bool FQuit = false;
};
