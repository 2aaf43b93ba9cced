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

// Readings as the supported gauges print them.
constexpr std::array<std::string_view, 10> kBuiltInReadings = {
    "+12.345 mm",     "-0.012 mm",  "  12.5 um",      "+0.4861 in", "-3.5 um",
    "Max: 25.003 mm", "  0.000 mm", "Dia: +10.02 mm", "-0.0005 in", "+125.0 um",
};

std::chrono::milliseconds Seconds(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

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
    : FOptions(std::move(options)), FOut(out), FFolder(PortsFolder()) {
    FPort = FOptions.Port != 0 ? FOptions.Port : FreePort(FFolder);
    if (FPort == 0)
        throw std::runtime_error("no free port number in " + FFolder.string());
    Plug();
    const auto now = TClock::now();
    if (FOptions.Every > 0)
        FNextReading = now + Seconds(FOptions.Every);
    else
        for (const std::string& reading : FOptions.Readings)
            Send(reading);
    if (FOptions.UnplugAfter > 0)
        FUnplugAt = now + Seconds(FOptions.UnplugAfter);
}

// The entry goes before the signals are unblocked (member order).
TGaugeSim::~TGaugeSim() = default;

void TGaugeSim::Plug() {
    if (FDevice)
        return;
    TPty pty = OpenPty();
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
void TGaugeSim::PlugAgain() {
    try {
        Plug();
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

void TGaugeSim::ReadFromProgram() {
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

void TGaugeSim::ReadStandardInput() {
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

void TGaugeSim::HandleInputLine(std::string line) {
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line == "!unplug")
        Unplug();
    else if (line == "!plug")
        PlugAgain();
    else if (line == "!quit")
        FQuit = true;
    else if (line.starts_with('!'))
        std::cerr << "brisquell_gauge: unknown command " << line << '\n';
    else
        Send(line);
}

void TGaugeSim::HandleSignal(int signal) {
    if (signal == SIGUSR1)
        Unplug();
    else if (signal == SIGUSR2)
        PlugAgain();
    else if (signal != 0)
        FQuit = true;
}

void TGaugeSim::SendNextTimedReading() {
    const size_t count =
        FOptions.Readings.empty() ? kBuiltInReadings.size() : FOptions.Readings.size();
    const size_t index = static_cast<size_t>(FTimedSent) % count;
    Send(FOptions.Readings.empty() ? kBuiltInReadings[index] : FOptions.Readings[index]);
    ++FTimedSent;
}

void TGaugeSim::RunDueTimers() {
    const auto now = TClock::now();
    if (FNextReading && *FNextReading <= now) {
        SendNextTimedReading();
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

int TGaugeSim::PollTimeoutMs() const {
    std::optional<TClock::time_point> next;
    for (const auto& due : {FNextReading, FUnplugAt})
        if (due && (!next || *due < *next))
            next = due;
    if (!next)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - TClock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

void TGaugeSim::Run() {
    while (!FQuit) {
        std::array<pollfd, 3> fds{};
        fds[0] = {FSignals.Fd(), POLLIN, 0};
        fds[1] = {FInputOpen ? STDIN_FILENO : -1, POLLIN, 0};
        fds[2] = {FDevice ? FDevice->Pty.Master.Get() : -1, POLLIN, 0};
        if (::poll(fds.data(), fds.size(), PollTimeoutMs()) < 0 && errno != EINTR)
            throw std::runtime_error("poll failed");
        if (fds[0].revents != 0)
            HandleSignal(FSignals.Take());
        if (fds[2].revents != 0 && FDevice)
            ReadFromProgram();
        if (fds[1].revents != 0)
            ReadStandardInput();
        RunDueTimers();
    }
}

void TGaugeSim::Log(std::string_view what) const {
    if (FOptions.Verbose)
        std::cerr << "brisquell_gauge: " << what << '\n';
}
