#include "InfraredGauge.h"

#include "oskit/Folders.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr std::string_view kLineEnd = "\r\n";

} // namespace

std::string IrCOMMSocketPath() {
    const std::filesystem::path folder = oskit::RuntimeFolder();
    if (folder.empty())
        throw std::runtime_error("no private runtime folder for the IrCOMM service");
    return (folder / "IrCOMM").string();
}

TInfraredGauge::TInfraredGauge(TSimOptions options, std::ostream& out)
    : TGaugeLoop(std::move(options), out), FPath(IrCOMMSocketPath()) {
    Connect();
    Begin();
}

void TInfraredGauge::Connect() {
    if (FConnection.Valid())
        return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (FPath.size() >= sizeof address.sun_path)
        throw std::runtime_error("path too long: " + FPath);
    std::copy(FPath.begin(), FPath.end(), address.sun_path);
    oskit::TFd connection(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!connection.Valid() ||
        ::connect(connection.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
            0)
        throw std::runtime_error("cannot reach the IrCOMM service at " + FPath + ": " +
                                 std::strerror(errno));
    FConnection = std::move(connection);
    Log("connected to the IrCOMM service");
    const std::string line = "IrDA " + FPath;
    if (!FOptions.ReadyFile.empty())
        FReady.emplace(FOptions.ReadyFile, line);
    FOut << "ready " << line << std::endl;
}

// Coming back may fail (the program has gone); the gauge stays away and says why.
void TInfraredGauge::Plug() {
    try {
        Connect();
    } catch (const std::exception& e) {
        std::cerr << "brisquell_gauge: " << e.what() << '\n';
    }
}

void TInfraredGauge::Leave(std::string_view why) {
    if (!FConnection.Valid())
        return;
    FConnection.Reset();
    FReady.reset();
    Log(why);
    FOut << "disconnected IrDA" << std::endl;
}

void TInfraredGauge::Send(std::string_view reading) {
    Log("sends " + std::string(reading));
    std::string bytes = std::string(reading) + std::string(kLineEnd);
    std::string_view left = bytes;
    while (FConnection.Valid() && !left.empty()) {
        const ssize_t n = ::send(FConnection.Get(), left.data(), left.size(), MSG_NOSIGNAL);
        if (n > 0)
            left.remove_prefix(static_cast<size_t>(n));
        else if (n < 0 && errno == EINTR)
            continue;
        else
            Leave("the connection broke, bytes dropped");
    }
    if (!left.empty())
        Log("not connected, reading dropped");
}

int TInfraredGauge::LinkFd() const {
    return FConnection.Valid() ? FConnection.Get() : -1;
}

void TInfraredGauge::Unplug() {
    Leave("the gauge leaves");
}

void TInfraredGauge::ReadFromLink() {
    std::array<char, 256> buffer{};
    const ssize_t n = ::recv(FConnection.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        Leave("the program closed the connection");
        return;
    }
    Log("received " + std::to_string(n) + " bytes");
}
