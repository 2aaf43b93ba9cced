#pragma once

#include "Options.h"
#include "PortEntry.h"
#include "Pty.h"
#include "Signals.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

// A gauge on a pseudo-terminal: sends readings, answers prompt requests, can
// be unplugged and plugged in again. Runs until it is told to stop.
class TGaugeSim {
public:
    // Registers the device; throws when that fails. Events go to out.
    TGaugeSim(TSimOptions options, std::ostream& out);
    ~TGaugeSim();
    TGaugeSim(const TGaugeSim&) = delete;
    TGaugeSim& operator=(const TGaugeSim&) = delete;

    // The main loop; returns when a signal or "!quit" ends it.
    void Run();

private:
    using TClock = std::chrono::steady_clock;

    // The plugged-in device: what unplugging takes away.
    struct TDevice {
        TPty Pty;
        TPortEntry Entry;
        std::optional<TReadyFile> Ready;
    };

    void Plug();
    void PlugAgain();
    void Unplug();
    void Send(std::string_view reading);
    void Write(std::string_view bytes);
    void ReadFromProgram();
    void ReadStandardInput();
    void HandleInputLine(std::string line);
    void HandleSignal(int signal);
    void RunDueTimers();
    void SendNextTimedReading();
    int PollTimeoutMs() const;
    void Log(std::string_view what) const;

    TSimOptions FOptions;
    std::ostream& FOut;
    TSignals FSignals; // first in, last out: blocked until the entry is gone
    std::filesystem::path FFolder;
    int FPort = 0;
    std::unique_ptr<TDevice> FDevice;
    std::optional<TClock::time_point> FNextReading;
    std::optional<TClock::time_point> FUnplugAt;
    long FTimedSent = 0;
    std::string FInput; // standard input not yet ended by a line feed
    bool FInputOpen = true;
    bool FQuit = false;
};
