#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ftkernel {

// One port of a converter that the kernel's ftdi_sio driver presents as a
// ttyUSB device, with the names the converter library knows it by.
struct TConverterPort {
    std::string Name;                   // "ttyUSB0"
    std::filesystem::path Node;         // the device file to open
    std::string Description;            // USB product string, " A"/" B"... on multi-port chips
    std::string SerialNumber;           // USB serial, "A"/"B"... appended likewise
    std::filesystem::path LatencyTimer; // the driver's latency_timer attribute
};

// The folder that holds "sys" and "dev": "/" unless BRISQUELL_SYSFS_ROOT
// names another (tests build a fake tree there).
std::filesystem::path SystemRoot();

// The ftdi_sio ports under root, by ascending ttyUSB number.
std::vector<TConverterPort> ListConverterPorts(const std::filesystem::path& root);

} // namespace ftkernel
