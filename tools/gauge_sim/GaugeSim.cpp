#include "GaugeSim.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <iostream>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace {

constexpr char kPromptRequest = 0x05;
constexpr std::string_view kPromptAnswer = "\r\n> ";
constexpr std::string_view kLineEnd = "\r\n";
constexpr int kWriteWaitMs = 1000;

// Waits until fd can be read or written; false after timeoutMs.
bool WaitFor(int fd, short events, int timeoutMs) {
    pollfd entry{fd, events, 0};
    int n;
    do
        n = ::poll(&entry, 1, timeoutMs);
    while (n < 0 && errno == EINTR);
    return n > 0;
}

} // namespace

TGaugeSim::TGaugeSim(TSimOptions options, std::ostream& out)
    : TGaugeLoop(std::move(options), out), FFolder(PortsFolder()) {
    FPort = FOptions.Port != 0 ? FOptions.Port : FreePort(FFolder);
    if (FPort == 0)
        throw std::runtime_error("no free port number in " + FFolder.string());
    PlugIn();
    Begin();
}

// The entry goes before the signals are unblocked (member order).
TGaugeSim::~TGaugeSim() = default;

void TGaugeSim::PlugIn() {
    if (FDevice)
        return;
    // Raw from the start: no echo back to the gauge and no line ends
    // rewritten before the program has set the line up.
    oskit::TPtyPair pty = oskit::OpenPtyPair(oskit::TPtyLine::Raw);
    const std::string path = pty.SlavePath;
    // The entry holds its place: built in place, never moved.
    std::unique_ptr<TDevice> device(
        new TDevice{std::move(pty), TPortEntry(FFolder, FPort, path), std::nullopt});
    const std::string line = "COM" + std::to_string(FPort) + " " + path;
    if (!FOptions.ReadyFile.empty())
        device->Ready.emplace(FOptions.ReadyFile, line);
    FDevice = std::move(device);
    FOut << "ready " << line << std::endl;
}

// Plugging in again may fail (the port number taken meanwhile); the
// simulator stays unplugged and says why.
void TGaugeSim::Plug() {
    try {
        PlugIn();
    } catch (const std::exception& e) {
        std::cerr << "brisquell_gauge: " << e.what() << '\n';
    }
}

void TGaugeSim::Unplug() {
    if (!FDevice)
        return;
    FDevice.reset();
    FOut << "unplugged COM" << FPort << std::endl;
}

void TGaugeSim::Send(std::string_view reading) {
    Log("sends " + std::string(reading));
    Write(std::string(reading) + std::string(kLineEnd));
}

// A gauge that nobody listens to loses its bytes; so does the simulator when
// the line stays full.
void TGaugeSim::Write(std::string_view bytes) {
    while (FDevice && !bytes.empty()) {
        const int fd = FDevice->Pty.Master.Get();
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN && WaitFor(fd, POLLOUT, kWriteWaitMs)) {
            continue;
        } else {
            Log("line full or closed, bytes dropped");
            return;
        }
    }
}

int TGaugeSim::LinkFd() const {
    return FDevice ? FDevice->Pty.Master.Get() : -1;
}

void TGaugeSim::ReadFromLink() {
    std::array<char, 256> buffer{};
    const ssize_t n = ::read(FDevice->Pty.Master.Get(), buffer.data(), buffer.size());
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) { // cannot happen while the slave is held; never spin on it
        Log("the pseudo-terminal failed");
        Unplug();
        return;
    }
    for (const char c : std::string_view(buffer.data(), static_cast<size_t>(n))) {
        if (c != kPromptRequest) {
            Log("received byte " + std::to_string(static_cast<unsigned char>(c)));
        } else if (FOptions.Answer) {
            Log("prompt request, answered");
            Write(kPromptAnswer);
        } else {
            Log("prompt request, not answered");
        }
    }
}
