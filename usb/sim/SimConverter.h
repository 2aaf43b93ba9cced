#pragma once

#include "usb/D2xxTypes.h"

#include <condition_variable>
#include <initializer_list>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace ftsim {

// Call arguments as the journal shows them: "8,0,0".
std::string CallArgs(std::initializer_list<unsigned long> values);

// One simulated converter with the description "Velmarod K65", as the
// converter library presents it: opened by description, configured, read
// with a read time-out, signalling an event when characters arrive.
// Readings come from the control side (Feed), in-process or through the
// channel FIFO, which it serves from the first entry-point call on.
//
// Bytes that arrive while nobody has the device open are lost, as a gauge's
// are when the program does not listen. Unplugging kills an open handle: its
// calls fail with an I/O error until it is closed.
class TSimConverter {
public:
    static constexpr const char* Description = "Velmarod K65";

    TSimConverter();
    ~TSimConverter();
    TSimConverter(const TSimConverter&) = delete;
    TSimConverter& operator=(const TSimConverter&) = delete;

    // Entry points.
    d2xx::FT_STATUS Open(int number, d2xx::FT_HANDLE* handle);
    d2xx::FT_STATUS OpenEx(void* arg, d2xx::DWORD flags, d2xx::FT_HANDLE* handle);
    d2xx::FT_STATUS Close(d2xx::FT_HANDLE handle);
    d2xx::FT_STATUS Read(d2xx::FT_HANDLE handle, void* buffer, d2xx::DWORD count,
                         d2xx::DWORD* returned);
    d2xx::FT_STATUS Write(d2xx::FT_HANDLE handle, const void* buffer, d2xx::DWORD count,
                          d2xx::DWORD* written);
    d2xx::FT_STATUS SetTimeouts(d2xx::FT_HANDLE handle, d2xx::ULONG readMs, d2xx::ULONG writeMs);
    d2xx::FT_STATUS SetEventNotification(d2xx::FT_HANDLE handle, d2xx::DWORD mask, void* event);
    d2xx::FT_STATUS GetStatus(d2xx::FT_HANDLE handle, d2xx::DWORD* waiting, d2xx::DWORD* sending,
                              d2xx::DWORD* events);
    d2xx::FT_STATUS GetQueueStatus(d2xx::FT_HANDLE handle, d2xx::DWORD* waiting);
    d2xx::FT_STATUS ListDevices(void* arg1, void* arg2, d2xx::DWORD flags);
    // Any other call on the device: it is journalled with its arguments and
    // otherwise only answers with the device's state.
    d2xx::FT_STATUS Setting(const char* entry, d2xx::FT_HANDLE handle, const std::string& args);

    // Serves the channel FIFO from now on (once; later calls do nothing).
    void EnsureChannel();

    // Control.
    void Reset(); // plugged in, closed, empty, nothing injected, journal empty
    // Returns the bytes taken: none while the device is not open.
    size_t Feed(std::string_view bytes);
    void Unplug();
    void Plug();
    // The next call of entry fails with status; a failing FT_Read reports
    // readCount bytes read (a library may store any count on failure).
    void FailNext(const std::string& entry, d2xx::FT_STATUS status, d2xx::DWORD readCount);
    // The next FT_OpenEx that finds the converter opens it and stores its
    // handle, yet answers status.
    void FailNextOpenLeavingHandle(d2xx::FT_STATUS status);
    // Every call but the polling ones (FT_Read, FT_GetStatus,
    // FT_GetQueueStatus), one per line, e.g. "FT_SetBaudRate(1200)".
    std::string Journal() const;
    // FT_Read calls waiting for bytes right now.
    unsigned BlockedReads() const;

private:
    struct TFailure {
        d2xx::FT_STATUS Status;
        d2xx::DWORD ReadCount;
    };
    // An injected failure of entry, or a handle that is not the open device
    // or a device gone: the status to answer. Called with the lock held.
    bool Refused(std::string_view entry, d2xx::FT_HANDLE handle, d2xx::FT_STATUS& status,
                 d2xx::DWORD* readCount = nullptr);
    bool Injected(std::string_view entry, d2xx::FT_STATUS& status, d2xx::DWORD* readCount);
    d2xx::FT_HANDLE Handle() { return &FHandleToken; }
    void Signal();

    void StartChannel();
    void ServeChannel(int fifo);
    void Apply(std::string_view line);

    mutable std::mutex FLock;
    std::condition_variable FChanged;
    char FHandleToken = 0; // its address is the device handle
    bool FPlugged = true;
    bool FOpen = false;
    bool FDead = false; // unplugged while open
    d2xx::ULONG FReadTimeoutMs = 0;
    std::string FReceived;
    bool FReceivedLatch = false;
    d2xx::DWORD FEventMask = 0;
    d2xx::EVENT_HANDLE* FEvent = nullptr;
    unsigned FBlockedReads = 0;
    std::map<std::string, TFailure, std::less<>> FFailures;
    std::optional<d2xx::FT_STATUS> FOpenLeavingHandle;
    std::vector<std::string> FJournal;

    // The channel: started once, stopped when the library goes.
    std::once_flag FChannelOnce;
    std::thread FChannel;
    int FStop[2] = {-1, -1};
    int FLockFile = -1;
};

} // namespace ftsim
