#include "usb/kernel/Sysfs.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace ftkernel {
namespace {

constexpr std::string_view kPrefix = "ttyUSB";

std::optional<unsigned> TtyNumber(std::string_view name) {
    if (!name.starts_with(kPrefix) || name.size() == kPrefix.size())
        return std::nullopt;
    unsigned number = 0;
    const char* end = name.data() + name.size();
    const auto [last, error] = std::from_chars(name.data() + kPrefix.size(), end, number);
    if (error != std::errc() || last != end)
        return std::nullopt;
    return number;
}

// The first line of a sysfs attribute, without surrounding blanks.
std::string Attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    const auto first = line.find_first_not_of(" \t\r");
    const auto last = line.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
}

unsigned NumberAttribute(const fs::path& file, int base, unsigned fallback) {
    const std::string text = Attribute(file);
    unsigned value = 0;
    const auto [last, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && last != text.data() ? value : fallback;
}

// port: the usb-serial port folder; its parent is the USB interface, whose
// parent is the USB device with the strings the converter was programmed with.
std::optional<TConverterPort> Describe(const fs::path& root, const std::string& name,
                                       const fs::path& port) {
    std::error_code error;
    if (fs::read_symlink(port / "driver", error).filename() != "ftdi_sio")
        return std::nullopt;
    const fs::path interface = port.parent_path();
    const fs::path device = interface.parent_path();
    TConverterPort entry;
    entry.Name = name;
    entry.Node = root / "dev" / name;
    entry.Description = Attribute(device / "product");
    entry.SerialNumber = Attribute(device / "serial");
    entry.LatencyTimer = port / "latency_timer";
    // The converter library names each port of a multi-port chip by letter.
    if (NumberAttribute(device / "bNumInterfaces", 10, 1) > 1) {
        const char letter =
            static_cast<char>('A' + NumberAttribute(interface / "bInterfaceNumber", 16, 0));
        entry.Description += std::string(" ") + letter;
        entry.SerialNumber += letter;
    }
    return entry;
}

} // namespace

fs::path SystemRoot() {
    const char* root = std::getenv("BRISQUELL_SYSFS_ROOT");
    return root != nullptr && *root != '\0' ? fs::path(root) : fs::path("/");
}

std::vector<TConverterPort> ListConverterPorts(const fs::path& root) {
    std::vector<std::pair<unsigned, TConverterPort>> found;
    std::error_code error;
    for (const auto& tty : fs::directory_iterator(root / "sys" / "class" / "tty", error)) {
        const std::string name = tty.path().filename().string();
        const auto number = TtyNumber(name);
        if (!number)
            continue;
        const fs::path port = fs::canonical(tty.path() / "device", error);
        if (error)
            continue;
        if (auto entry = Describe(root, name, port))
            found.emplace_back(*number, std::move(*entry));
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<TConverterPort> ports;
    for (auto& [number, entry] : found)
        ports.push_back(std::move(entry));
    return ports;
}

} // namespace ftkernel
