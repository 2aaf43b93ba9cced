#include "usb/sim/SimConverter.h"

#include "usb/sim/SimChannel.h"

#include <poll.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace d2xx;

namespace ftsim {
namespace {

constexpr DWORD kListNumberOnly = 0x80000000;
constexpr DWORD kListByIndex = 0x40000000;

} // namespace

std::string CallArgs(std::initializer_list<unsigned long> values) {
    std::string text;
    for (const unsigned long value : values)
        text += (text.empty() ? "" : ",") + std::to_string(value);
    return text;
}

TSimConverter::TSimConverter() = default;

TSimConverter::~TSimConverter() {
    if (FChannel.joinable()) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t n = ::write(FStop[1], &stop, 1);
        FChannel.join();
        ::unlink(ChannelPath().c_str());
    }
    for (const int fd : {FStop[0], FStop[1], FLockFile})
        if (fd >= 0)
            ::close(fd);
}

bool TSimConverter::Injected(std::string_view entry, FT_STATUS& status, DWORD* readCount) {
    const auto failure = FFailures.find(entry);
    if (failure == FFailures.end())
        return false;
    status = failure->second.Status;
    if (readCount != nullptr)
        *readCount = failure->second.ReadCount;
    FFailures.erase(failure);
    return true;
}

bool TSimConverter::Refused(std::string_view entry, FT_HANDLE handle, FT_STATUS& status,
                            DWORD* readCount) {
    if (Injected(entry, status, readCount))
        return true;
    if (!FOpen || handle != Handle()) {
        status = FT_INVALID_HANDLE;
        return true;
    }
    if (FDead) {
        status = FT_IO_ERROR;
        return true;
    }
    return false;
}

FT_STATUS TSimConverter::Open(int number, FT_HANDLE* handle) {
    std::lock_guard lock(FLock);
    FJournal.push_back("FT_Open(" + std::to_string(number) + ")");
    FT_STATUS status = FT_OK;
    if (Injected("FT_Open", status, nullptr))
        return status;
    if (number != 0 || !FPlugged)
        return FT_DEVICE_NOT_FOUND;
    if (FOpen)
        return FT_DEVICE_NOT_OPENED;
    FOpen = true;
    *handle = Handle();
    return FT_OK;
}

FT_STATUS TSimConverter::OpenEx(void* arg, DWORD flags, FT_HANDLE* handle) {
    std::lock_guard lock(FLock);
    const bool byText = (flags & 3) != 0; // serial number or description
    const std::string name = byText && arg != nullptr ? static_cast<const char*>(arg) : "";
    FJournal.push_back("FT_OpenEx(" +
                       (byText ? name : std::to_string(reinterpret_cast<uintptr_t>(arg))) + "," +
                       std::to_string(flags) + ")");
    FT_STATUS status = FT_OK;
    if (Injected("FT_OpenEx", status, nullptr))
        return status;
    if (flags != FT_OPEN_BY_DESCRIPTION || name != Description || !FPlugged)
        return FT_DEVICE_NOT_FOUND;
    if (FOpen)
        return FT_DEVICE_NOT_OPENED;
    FOpen = true;
    FDead = false;
    FReceived.clear();
    FReceivedLatch = false;
    FReadTimeoutMs = 0;
    *handle = Handle();
    return std::exchange(FOpenLeavingHandle, std::nullopt).value_or(FT_OK);
}

FT_STATUS TSimConverter::Close(FT_HANDLE handle) {
    std::lock_guard lock(FLock);
    FJournal.push_back("FT_Close");
    FT_STATUS status = FT_OK;
    if (Injected("FT_Close", status, nullptr))
        return status;
    if (!FOpen || handle != Handle())
        return FT_INVALID_HANDLE;
    FOpen = false;
    FDead = false;
    FEvent = nullptr;
    FEventMask = 0;
    FReceived.clear();
    FChanged.notify_all();
    return FT_OK;
}

FT_STATUS TSimConverter::Read(FT_HANDLE handle, void* buffer, DWORD count, DWORD* returned) {
    std::unique_lock lock(FLock);
    FT_STATUS status = FT_OK;
    if (Refused("FT_Read", handle, status, returned))
        return status;
    // Waits for the count asked for, the read time-out (none when 0), or the
    // device's end.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(FReadTimeoutMs);
    const auto done = [&] { return FReceived.size() >= count || FDead || !FOpen; };
    if (!done()) {
        ++FBlockedReads;
        if (FReadTimeoutMs == 0)
            FChanged.wait(lock, done);
        else
            FChanged.wait_until(lock, deadline, done);
        --FBlockedReads;
    }
    // What came before the end is still handed over with the failure.
    const size_t taken = std::min<size_t>(count, FReceived.size());
    std::memcpy(buffer, FReceived.data(), taken);
    FReceived.erase(0, taken);
    *returned = static_cast<DWORD>(taken);
    return FDead ? FT_IO_ERROR : (FOpen ? FT_OK : FT_INVALID_HANDLE);
}

FT_STATUS TSimConverter::Write(FT_HANDLE handle, const void*, DWORD count, DWORD* written) {
    std::lock_guard lock(FLock);
    FJournal.push_back("FT_Write(" + std::to_string(count) + ")");
    FT_STATUS status = FT_OK;
    if (Refused("FT_Write", handle, status))
        return status;
    *written = count; // the gauge does not listen
    return FT_OK;
}

FT_STATUS TSimConverter::SetTimeouts(FT_HANDLE handle, ULONG readMs, ULONG writeMs) {
    std::lock_guard lock(FLock);
    FJournal.push_back("FT_SetTimeouts(" + CallArgs({readMs, writeMs}) + ")");
    FT_STATUS status = FT_OK;
    if (Refused("FT_SetTimeouts", handle, status))
        return status;
    FReadTimeoutMs = readMs;
    return FT_OK;
}

FT_STATUS TSimConverter::SetEventNotification(FT_HANDLE handle, DWORD mask, void* event) {
    std::lock_guard lock(FLock);
    FJournal.push_back("FT_SetEventNotification(" + std::to_string(mask) + ")");
    FT_STATUS status = FT_OK;
    if (Refused("FT_SetEventNotification", handle, status))
        return status;
    // Once this returns the old event is never touched again: its owner may
    // destroy it.
    FEventMask = mask;
    FEvent = mask != 0 ? static_cast<EVENT_HANDLE*>(event) : nullptr;
    return FT_OK;
}

FT_STATUS TSimConverter::GetStatus(FT_HANDLE handle, DWORD* waiting, DWORD* sending,
                                   DWORD* events) {
    std::lock_guard lock(FLock);
    FT_STATUS status = FT_OK;
    if (Refused("FT_GetStatus", handle, status))
        return status;
    *waiting = static_cast<DWORD>(FReceived.size());
    *sending = 0;
    // The event status tells what happened since the last look.
    *events = FReceivedLatch ? FT_EVENT_RXCHAR : 0;
    FReceivedLatch = false;
    return FT_OK;
}

FT_STATUS TSimConverter::GetQueueStatus(FT_HANDLE handle, DWORD* waiting) {
    std::lock_guard lock(FLock);
    FT_STATUS status = FT_OK;
    if (Refused("FT_GetQueueStatus", handle, status))
        return status;
    *waiting = static_cast<DWORD>(FReceived.size());
    return FT_OK;
}

FT_STATUS TSimConverter::ListDevices(void* arg1, void* arg2, DWORD flags) {
    std::lock_guard lock(FLock);
    FJournal.push_back("FT_ListDevices(" + std::to_string(flags) + ")");
    FT_STATUS status = FT_OK;
    if (Injected("FT_ListDevices", status, nullptr))
        return status;
    if (flags == kListNumberOnly) {
        *static_cast<DWORD*>(arg1) = FPlugged ? 1 : 0;
        return FT_OK;
    }
    if (flags == (kListByIndex | FT_OPEN_BY_DESCRIPTION)) {
        if (!FPlugged || reinterpret_cast<uintptr_t>(arg1) != 0)
            return FT_DEVICE_NOT_FOUND;
        std::strcpy(static_cast<char*>(arg2), Description);
        return FT_OK;
    }
    return FT_INVALID_PARAMETER;
}

FT_STATUS TSimConverter::Setting(const char* entry, FT_HANDLE handle, const std::string& args) {
    std::lock_guard lock(FLock);
    FJournal.push_back(std::string(entry) + (args.empty() ? "" : "(" + args + ")"));
    FT_STATUS status = FT_OK;
    if (Refused(entry, handle, status))
        return status;
    return FT_OK;
}

void TSimConverter::Reset() {
    std::lock_guard lock(FLock);
    FPlugged = true;
    FOpen = false;
    FDead = false;
    FReadTimeoutMs = 0;
    FReceived.clear();
    FReceivedLatch = false;
    FEventMask = 0;
    FEvent = nullptr;
    FFailures.clear();
    FOpenLeavingHandle.reset();
    FJournal.clear();
    FChanged.notify_all();
}

size_t TSimConverter::Feed(std::string_view bytes) {
    std::lock_guard lock(FLock);
    if (!FOpen || FDead || bytes.empty())
        return 0;
    FReceived.append(bytes);
    FReceivedLatch = true;
    FChanged.notify_all();
    Signal();
    return bytes.size();
}

void TSimConverter::Signal() {
    if (FEvent == nullptr || (FEventMask & FT_EVENT_RXCHAR) == 0)
        return;
    SignalEventHandle(*FEvent);
}

void TSimConverter::Unplug() {
    std::lock_guard lock(FLock);
    FPlugged = false;
    FDead = FOpen;
    FChanged.notify_all();
}

void TSimConverter::Plug() {
    std::lock_guard lock(FLock);
    FPlugged = true; // a handle that died stays dead until it is closed
}

void TSimConverter::FailNext(const std::string& entry, FT_STATUS status, DWORD readCount) {
    std::lock_guard lock(FLock);
    FFailures[entry] = TFailure{status, readCount};
}

void TSimConverter::FailNextOpenLeavingHandle(FT_STATUS status) {
    std::lock_guard lock(FLock);
    FOpenLeavingHandle = status;
}

std::string TSimConverter::Journal() const {
    std::lock_guard lock(FLock);
    std::string text;
    for (const std::string& call : FJournal)
        text += call + "\n";
    return text;
}

unsigned TSimConverter::BlockedReads() const {
    std::lock_guard lock(FLock);
    return FBlockedReads;
}

void TSimConverter::EnsureChannel() {
    std::call_once(FChannelOnce, [this] { StartChannel(); });
}

void TSimConverter::StartChannel() {
    const std::filesystem::path path = ChannelPath();
    if (path.empty())
        return;
    // One converter per runtime folder serves the channel; another instance
    // of the library goes without.
    FLockFile = ::open((path.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (FLockFile < 0 || ::flock(FLockFile, LOCK_EX | LOCK_NB) != 0)
        return;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && !S_ISFIFO(info.st_mode))
        ::unlink(path.c_str());
    ::mkfifo(path.c_str(), 0600);
    // Read and write: the FIFO never reports a hang-up when a writer leaves.
    const int fifo = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fifo < 0)
        return;
    if (::pipe2(FStop, O_CLOEXEC) != 0) {
        ::close(fifo);
        return;
    }
    FChannel = std::thread([this, fifo] {
        ServeChannel(fifo);
        ::close(fifo);
    });
}

void TSimConverter::ServeChannel(int fifo) {
    std::string pending;
    for (;;) {
        std::array<pollfd, 2> fds{{{fifo, POLLIN, 0}, {FStop[0], POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents != 0)
            return;
        if (fds[0].revents == 0)
            continue;
        std::array<char, 4096> buffer{};
        const ssize_t n = ::read(fifo, buffer.data(), buffer.size());
        if (n <= 0)
            continue;
        pending.append(buffer.data(), static_cast<size_t>(n));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            Apply(std::string_view(pending).substr(0, end));
            pending.erase(0, end + 1);
        }
    }
}

void TSimConverter::Apply(std::string_view line) {
    const auto command = ParseCommand(line);
    if (!command)
        return;
    switch (command->Kind) {
    case TCommand::TKind::Feed:
        Feed(command->Bytes);
        break;
    case TCommand::TKind::Unplug:
        Unplug();
        break;
    case TCommand::TKind::Plug:
        Plug();
        break;
    case TCommand::TKind::Fail:
        FailNext(command->Entry, command->Status, 0);
        break;
    }
}

} // namespace ftsim
