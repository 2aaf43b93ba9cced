#include "GaugeLoop.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <iostream>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace {

// Readings as the supported gauges print them.
constexpr std::array<std::string_view, 10> kBuiltInReadings = {
    "+12.345 mm",     "-0.012 mm",  "  12.5 um",      "+0.4861 in", "-3.5 um",
    "Max: 25.003 mm", "  0.000 mm", "Dia: +10.02 mm", "-0.0005 in", "+125.0 um",
};

std::chrono::milliseconds Seconds(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

} // namespace

TGaugeLoop::TGaugeLoop(TSimOptions options, std::ostream& out)
    : FOptions(std::move(options)), FOut(out) {}

void TGaugeLoop::Begin() {
    const auto now = TClock::now();
    if (FOptions.Every > 0)
        FNextReading = now + Seconds(FOptions.Every);
    else
        for (const std::string& reading : FOptions.Readings)
            Send(reading);
    if (FOptions.UnplugAfter > 0)
        FUnplugAt = now + Seconds(FOptions.UnplugAfter);
}

void TGaugeLoop::ReadStandardInput() {
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

void TGaugeLoop::HandleInputLine(std::string line) {
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line == "!unplug")
        Unplug();
    else if (line == "!plug")
        Plug();
    else if (line == "!quit")
        FQuit = true;
    else if (line.starts_with('!'))
        std::cerr << "brisquell_gauge: unknown command " << line << '\n';
    else
        Send(line);
}

void TGaugeLoop::HandleSignal(int signal) {
    if (signal == SIGUSR1)
        Unplug();
    else if (signal == SIGUSR2)
        Plug();
    else if (signal != 0)
        FQuit = true;
}

void TGaugeLoop::RunDueTimers() {
    const auto now = TClock::now();
    if (FNextReading && *FNextReading <= now) {
        const size_t count =
            FOptions.Readings.empty() ? kBuiltInReadings.size() : FOptions.Readings.size();
        const size_t index = static_cast<size_t>(FTimedSent++) % count;
        Send(FOptions.Readings.empty() ? kBuiltInReadings[index] : FOptions.Readings[index]);
        // A fixed beat that does not drift; after a stall it starts afresh.
        const auto every = Seconds(FOptions.Every);
        const auto next = *FNextReading + every;
        FNextReading = next > now ? next : now + every;
        if (FOptions.Count > 0 && FTimedSent >= FOptions.Count)
            FNextReading.reset();
    }
    if (FUnplugAt && *FUnplugAt <= now) {
        FUnplugAt.reset();
        Unplug();
    }
}

int TGaugeLoop::PollTimeoutMs() const {
    std::optional<TClock::time_point> next;
    for (const auto& due : {FNextReading, FUnplugAt})
        if (due && (!next || *due < *next))
            next = due;
    if (!next)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - TClock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

void TGaugeLoop::Run() {
    while (!FQuit) {
        std::array<pollfd, 3> fds{};
        fds[0] = {FSignals.Fd(), POLLIN, 0};
        fds[1] = {FInputOpen ? STDIN_FILENO : -1, POLLIN, 0};
        fds[2] = {LinkFd(), POLLIN, 0};
        if (::poll(fds.data(), fds.size(), PollTimeoutMs()) < 0 && errno != EINTR)
            throw std::runtime_error("poll failed");
        if (fds[0].revents != 0)
            HandleSignal(FSignals.Take());
        if (fds[2].revents != 0 && LinkFd() >= 0)
            ReadFromLink();
        if (fds[1].revents != 0)
            ReadStandardInput();
        RunDueTimers();
    }
}

void TGaugeLoop::Log(std::string_view what) const {
    if (FOptions.Verbose)
        std::cerr << "brisquell_gauge: " << what << '\n';
}
