#pragma once

#include "Options.h"
#include "Signals.h"

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

// A gauge behind the simulated USB converter: its readings go through the
// converter library's control channel (a FIFO in the user's runtime folder),
// so a program that loaded the simulated library receives them. Standard
// input, the timed readings and the signals work as for the serial gauge;
// unplugging pulls the converter.
class TUsbGauge {
public:
    TUsbGauge(TSimOptions options, std::ostream& out);

    // The main loop; returns when a signal or "!quit" ends it.
    void Run();

private:
    using TClock = std::chrono::steady_clock;

    void Send(std::string_view reading);
    void Command(const std::string& line);
    void ReadStandardInput();
    void HandleInputLine(std::string line);
    void HandleSignal(int signal);
    void RunDueTimers();
    int PollTimeoutMs() const;
    void Log(std::string_view what) const;

    TSimOptions FOptions;
    std::ostream& FOut;
    TSignals FSignals;
    std::optional<TClock::time_point> FNextReading;
    std::optional<TClock::time_point> FUnplugAt;
    long FTimedSent = 0;
    std::string FInput;
    bool FInputOpen = true;
    bool FQuit = false;
};
