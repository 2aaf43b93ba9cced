#include "InfraredGauge.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Readings as the infrared gauges print them.
constexpr std::array<std::string_view, 4> kBuiltInReadings = {
    "+12.345 mm",
    "-0.012 mm",
    "+0.4861 in",
    "Max: 25.003 mm",
};

std::chrono::milliseconds Seconds(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

} // namespace

std::string IrCOMMSocketPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder = runtime != nullptr && runtime[0] == '/'
                                   ? std::string(runtime) + "/Brisquell"
                                   : "/tmp/brisquell-" + std::to_string(::getuid());
    return folder + "/IrDA:IrCOMM";
}

TInfraredGauge::TInfraredGauge(TSimOptions options, std::ostream& out)
    : FOptions(std::move(options)), FOut(out), FPath(IrCOMMSocketPath()) {
    Connect();
    const auto now = TClock::now();
    if (FOptions.Every > 0)
        FNextReading = now + Seconds(FOptions.Every);
    else
        for (const std::string& reading : FOptions.Readings)
            Send(reading);
    if (FOptions.UnplugAfter > 0)
        FLeaveAt = now + Seconds(FOptions.UnplugAfter);
}

void TInfraredGauge::Connect() {
    if (FConnection.Valid())
        return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (FPath.size() >= sizeof address.sun_path)
        throw std::runtime_error("path too long: " + FPath);
    std::copy(FPath.begin(), FPath.end(), address.sun_path);
    TFd connection(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
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
void TInfraredGauge::ConnectAgain() {
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

void TInfraredGauge::ReadFromProgram() {
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

void TInfraredGauge::ReadStandardInput() {
    std::array<char, 4096> buffer{};
    const ssize_t n = ::read(STDIN_FILENO, buffer.data(), buffer.size());
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        FInputOpen = false;
        return;
    }
    FInput.append(buffer.data(), static_cast<size_t>(n));
    for (size_t end; (end = FInput.find('\n')) != std::string::npos;) {
        std::string line = FInput.substr(0, end);
        FInput.erase(0, end + 1);
        HandleInputLine(std::move(line));
    }
}

void TInfraredGauge::HandleInputLine(std::string line) {
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line == "!unplug")
        Leave("the gauge leaves");
    else if (line == "!plug")
        ConnectAgain();
    else if (line == "!quit")
        FQuit = true;
    else if (line.starts_with('!'))
        std::cerr << "brisquell_gauge: unknown command " << line << '\n';
    else
        Send(line);
}

void TInfraredGauge::HandleSignal(int signal) {
    if (signal == SIGUSR1)
        Leave("the gauge leaves");
    else if (signal == SIGUSR2)
        ConnectAgain();
    else if (signal != 0)
        FQuit = true;
}

void TInfraredGauge::RunDueTimers() {
    const auto now = TClock::now();
    if (FNextReading && *FNextReading <= now) {
        const size_t count =
            FOptions.Readings.empty() ? kBuiltInReadings.size() : FOptions.Readings.size();
        const size_t index = static_cast<size_t>(FTimedSent++) % count;
        Send(FOptions.Readings.empty() ? kBuiltInReadings[index] : FOptions.Readings[index]);
        const auto every = Seconds(FOptions.Every);
        const auto next = *FNextReading + every;
        FNextReading = next > now ? next : now + every;
        if (FOptions.Count > 0 && FTimedSent >= FOptions.Count)
            FNextReading.reset();
    }
    if (FLeaveAt && *FLeaveAt <= now) {
        FLeaveAt.reset();
        Leave("the gauge leaves");
    }
}

int TInfraredGauge::PollTimeoutMs() const {
    std::optional<TClock::time_point> next;
    for (const auto& due : {FNextReading, FLeaveAt})
        if (due && (!next || *due < *next))
            next = due;
    if (!next)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - TClock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

void TInfraredGauge::Run() {
    while (!FQuit) {
        std::array<pollfd, 3> fds{};
        fds[0] = {FSignals.Fd(), POLLIN, 0};
        fds[1] = {FInputOpen ? STDIN_FILENO : -1, POLLIN, 0};
        fds[2] = {FConnection.Valid() ? FConnection.Get() : -1, POLLIN, 0};
        if (::poll(fds.data(), fds.size(), PollTimeoutMs()) < 0 && errno != EINTR)
            throw std::runtime_error("poll failed");
        if (fds[0].revents != 0)
            HandleSignal(FSignals.Take());
        if (fds[2].revents != 0 && FConnection.Valid())
            ReadFromProgram();
        if (fds[1].revents != 0)
            ReadStandardInput();
        RunDueTimers();
    }
}

void TInfraredGauge::Log(std::string_view what) const {
    if (FOptions.Verbose)
        std::cerr << "brisquell_gauge: " << what << '\n';
}
