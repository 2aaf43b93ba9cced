#include "UsbGauge.h"

#include "usb/sim/SimChannel.h"

#include <iostream>
#include <stdexcept>

TUsbGauge::TUsbGauge(TSimOptions options, std::ostream& out) : TGaugeLoop(std::move(options), out) {
    const auto channel = ftsim::ChannelPath();
    if (channel.empty())
        throw std::runtime_error("no private runtime folder for the converter's channel");
    FOut << "ready USB " << channel.string() << std::endl;
    Begin();
}

void TUsbGauge::Unplug() {
    Command("unplug");
}

void TUsbGauge::Plug() {
    Command("plug");
}

// A reading nobody receives is lost, as it is for a gauge on a converter
// that no program has open.
void TUsbGauge::Send(std::string_view reading) {
    Log("sends " + std::string(reading));
    std::string error;
    if (!ftsim::SendLine(ftsim::FeedLine(std::string(reading) + "\r\n"), error))
        std::cerr << "brisquell_gauge: reading lost, no converter open (" << error << ")\n";
}

void TUsbGauge::Command(const std::string& line) {
    std::string error;
    if (!ftsim::SendLine(line + "\n", error))
        std::cerr << "brisquell_gauge: " << line << " not delivered (" << error << ")\n";
    else
        FOut << (line == "unplug" ? "unplugged USB" : "plugged USB") << std::endl;
}
