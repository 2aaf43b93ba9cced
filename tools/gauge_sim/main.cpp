// brisquell_gauge: a gauge on a pseudo-terminal, registered in the ports
// folder, for trying the program and for tests without hardware.
#include "GaugeSim.h"
#include "InfraredGauge.h"
#include "Options.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    std::string error;
    const auto options = ParseOptions(argc, argv, error);
    if (!options) {
        std::cerr << "brisquell_gauge: " << error << "\n\n" << Usage();
        return 2;
    }
    if (options->Help) {
        std::cout << Usage();
        return 0;
    }
    try {
        if (options->Infrared) {
            TInfraredGauge gauge(*options, std::cout);
            gauge.Run();
            return 0;
        }
        TGaugeSim simulator(*options, std::cout);
        simulator.Run();
    } catch (const std::exception& e) {
        std::cerr << "brisquell_gauge: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
