#pragma once

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <string>

// A sysfs and /dev tree in a temporary folder, laid out as the kernel lays
// out ttyUSB ports, for the converter library over the kernel's ttys (whose
// root BRISQUELL_SYSFS_ROOT names). Each port's device file is a link to a
// pseudo-terminal.
class TFakeSysfs {
public:
    struct TPort {
        unsigned Tty = 0;      // ttyUSB<Tty>
        std::string UsbDevice; // "1-2": ports of one chip share it
        std::string Product;
        std::string Serial = "FT0001";
        unsigned Interface = 0;
        unsigned Interfaces = 1;
        std::string Driver = "ftdi_sio";
    };

    TFakeSysfs() { std::filesystem::create_directories(Path("sys/class/tty")); }

    void Add(const TPort& port, const std::string& node) {
        namespace fs = std::filesystem;
        const fs::path device = Path("sys/devices/usb1") / port.UsbDevice;
        const fs::path interface =
            device / (port.UsbDevice + ":1." + std::to_string(port.Interface));
        const fs::path serialPort = interface / Name(port.Tty);
        fs::create_directories(serialPort);
        fs::create_directories(Path("sys/bus/usb-serial/drivers") / port.Driver);
        fs::create_directories(Path("dev"));
        Write(device / "product", port.Product);
        Write(device / "serial", port.Serial);
        Write(device / "bNumInterfaces", " " + std::to_string(port.Interfaces));
        Write(interface / "bInterfaceNumber", "0" + std::to_string(port.Interface));
        Write(serialPort / "latency_timer", "16");
        fs::create_directory_symlink(Path("sys/bus/usb-serial/drivers") / port.Driver,
                                     serialPort / "driver");
        fs::create_directories(Path("sys/class/tty") / Name(port.Tty));
        fs::create_directory_symlink(serialPort, Path("sys/class/tty") / Name(port.Tty) / "device");
        fs::create_symlink(node, Path("dev") / Name(port.Tty));
    }
    // The converter is pulled out: its entries go.
    void Remove(unsigned tty) {
        std::filesystem::remove_all(Path("sys/class/tty") / Name(tty));
        std::filesystem::remove(Path("dev") / Name(tty));
    }
    std::string LatencyTimer(const TPort& port) const {
        std::ifstream in(Path("sys/devices/usb1") / port.UsbDevice /
                         (port.UsbDevice + ":1." + std::to_string(port.Interface)) /
                         Name(port.Tty) / "latency_timer");
        std::string value;
        std::getline(in, value);
        return value;
    }
    std::string Root() const { return FDir.path().toStdString(); }

private:
    static std::string Name(unsigned tty) { return "ttyUSB" + std::to_string(tty); }
    std::filesystem::path Path(const std::string& relative) const {
        return std::filesystem::path(Root()) / relative;
    }
    static void Write(const std::filesystem::path& file, const std::string& value) {
        std::ofstream(file) << value << '\n';
    }

    QTemporaryDir FDir;
};
