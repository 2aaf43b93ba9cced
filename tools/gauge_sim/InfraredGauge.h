#pragma once

#include "Fd.h"
#include "Options.h"
#include "PortEntry.h"
#include "Signals.h"

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

// The IrCOMM service socket of the program: $XDG_RUNTIME_DIR/Brisquell/
// IrDA:IrCOMM when that is an absolute path, else /tmp/brisquell-<uid>/...
std::string IrCOMMSocketPath();

// A gauge with an infrared port: it connects to the program's IrCOMM service
// (as an IrDA bridge would) and sends readings over that connection. It can
// leave and come back; the program may close the connection (it was replaced
// by another gauge, refused while paused, or the program ended).
class TInfraredGauge {
public:
    // Connects; throws when the service cannot be reached. Events go to out.
    TInfraredGauge(TSimOptions options, std::ostream& out);
    TInfraredGauge(const TInfraredGauge&) = delete;
    TInfraredGauge& operator=(const TInfraredGauge&) = delete;

    // The main loop; returns when a signal or "!quit" ends it.
    void Run();

private:
    using TClock = std::chrono::steady_clock;

    void Connect();
    void ConnectAgain();
    void Leave(std::string_view why);
    void Send(std::string_view reading);
    void ReadFromProgram();
    void ReadStandardInput();
    void HandleInputLine(std::string line);
    void HandleSignal(int signal);
    void RunDueTimers();
    int PollTimeoutMs() const;
    void Log(std::string_view what) const;

    TSimOptions FOptions;
    std::ostream& FOut;
    TSignals FSignals;
    std::string FPath;
    TFd FConnection;
    std::optional<TReadyFile> FReady;
    std::optional<TClock::time_point> FNextReading;
    std::optional<TClock::time_point> FLeaveAt;
    long FTimedSent = 0;
    std::string FInput;
    bool FInputOpen = true;
    bool FQuit = false;
};
