#pragma once

#include "GaugeLoop.h"
#include "PortEntry.h"
#include "oskit/Pty.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

// A gauge on a pseudo-terminal: sends readings, answers prompt requests, can
// be unplugged and plugged in again. Runs until it is told to stop.
class TGaugeSim : public TGaugeLoop {
public:
    // Registers the device; throws when that fails. Events go to out.
    TGaugeSim(TSimOptions options, std::ostream& out);
    ~TGaugeSim() override;

private:
    // The plugged-in device: what unplugging takes away.
    struct TDevice {
        oskit::TPtyPair Pty;
        TPortEntry Entry;
        std::optional<TReadyFile> Ready;
    };

    void PlugIn();
    void Plug() override;
    void Unplug() override;
    void Send(std::string_view reading) override;
    int LinkFd() const override;
    void ReadFromLink() override;
    void Write(std::string_view bytes);

    std::filesystem::path FFolder;
    int FPort = 0;
    std::unique_ptr<TDevice> FDevice;
};
