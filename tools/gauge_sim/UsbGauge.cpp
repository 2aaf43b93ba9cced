#include "UsbGauge.h"

#include "usb/sim/SimChannel.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <iostream>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace {

constexpr std::array<std::string_view, 4> kBuiltInReadings = {"+12.345 mm", "  12.5 um",
                                                              "-0.0005 in", "Max: 25.003 mm"};

std::chrono::milliseconds Seconds(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

} // namespace

TUsbGauge::TUsbGauge(TSimOptions options, std::ostream& out)
    : FOptions(std::move(options)), FOut(out) {
    const auto channel = ftsim::ChannelPath();
    if (channel.empty())
        throw std::runtime_error("no private runtime folder for the converter's channel");
    FOut << "ready USB " << channel.string() << std::endl;
    const auto now = TClock::now();
    if (FOptions.Every > 0)
        FNextReading = now + Seconds(FOptions.Every);
    else
        for (const std::string& reading : FOptions.Readings)
            Send(reading);
    if (FOptions.UnplugAfter > 0)
        FUnplugAt = now + Seconds(FOptions.UnplugAfter);
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

void TUsbGauge::ReadStandardInput() {
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

void TUsbGauge::HandleInputLine(std::string line) {
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line == "!unplug")
        Command("unplug");
    else if (line == "!plug")
        Command("plug");
    else if (line == "!quit")
        FQuit = true;
    else if (line.starts_with('!'))
        std::cerr << "brisquell_gauge: unknown command " << line << '\n';
    else
        Send(line);
}

void TUsbGauge::HandleSignal(int signal) {
    if (signal == SIGUSR1)
        Command("unplug");
    else if (signal == SIGUSR2)
        Command("plug");
    else if (signal != 0)
        FQuit = true;
}

void TUsbGauge::RunDueTimers() {
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
    if (FUnplugAt && *FUnplugAt <= now) {
        FUnplugAt.reset();
        Command("unplug");
    }
}

int TUsbGauge::PollTimeoutMs() const {
    std::optional<TClock::time_point> next;
    for (const auto& due : {FNextReading, FUnplugAt})
        if (due && (!next || *due < *next))
            next = due;
    if (!next)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - TClock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

void TUsbGauge::Run() {
    while (!FQuit) {
        std::array<pollfd, 2> fds{};
        fds[0] = {FSignals.Fd(), POLLIN, 0};
        fds[1] = {FInputOpen ? STDIN_FILENO : -1, POLLIN, 0};
        if (::poll(fds.data(), fds.size(), PollTimeoutMs()) < 0 && errno != EINTR)
            throw std::runtime_error("poll failed");
        if (fds[0].revents != 0)
            HandleSignal(FSignals.Take());
        if (fds[1].revents != 0)
            ReadStandardInput();
        RunDueTimers();
    }
}

void TUsbGauge::Log(std::string_view what) const {
    if (FOptions.Verbose)
        std::cerr << "brisquell_gauge: " << what << '\n';
}
