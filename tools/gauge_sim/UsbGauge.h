#pragma once

#include "GaugeLoop.h"

#include <ostream>
#include <string>
#include <string_view>

// A gauge behind the simulated USB converter: its readings go through the
// converter library's control channel (a FIFO in the user's runtime folder),
// so a program that loaded the simulated library receives them. Standard
// input, the timed readings and the signals work as for the serial gauge;
// unplugging pulls the converter.
class TUsbGauge : public TGaugeLoop {
public:
    TUsbGauge(TSimOptions options, std::ostream& out);

private:
    void Send(std::string_view reading) override;
    void Unplug() override;
    void Plug() override;
    void Command(const std::string& line);
};
