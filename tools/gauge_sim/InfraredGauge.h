#pragma once

#include "GaugeLoop.h"
#include "PortEntry.h"
#include "oskit/Fd.h"

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

// The IrCOMM service socket of the program: IrCOMM in the user's private
// runtime folder (oskit::RuntimeFolder). Throws std::runtime_error when that
// folder is refused: a socket in a folder others may enter could be theirs.
std::string IrCOMMSocketPath();

// A gauge with an infrared port: it connects to the program's IrCOMM service
// (as an IrDA bridge would) and sends readings over that connection. It can
// leave and come back; the program may close the connection (it was replaced
// by another gauge, refused while paused, or the program ended).
class TInfraredGauge : public TGaugeLoop {
public:
    // Connects; throws when the service cannot be reached. Events go to out.
    TInfraredGauge(TSimOptions options, std::ostream& out);

private:
    void Connect();
    void Leave(std::string_view why);
    void Send(std::string_view reading) override;
    void Unplug() override;
    void Plug() override;
    int LinkFd() const override;
    void ReadFromLink() override;

    std::string FPath;
    oskit::TFd FConnection;
    std::optional<TReadyFile> FReady;
};
