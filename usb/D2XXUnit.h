#pragma once

#include "usb/D2xxTypes.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <atomic>
#include <bit>
#include <filesystem>
#include <span>
#include <string>

namespace platform {
class TDialogs;
}

// The entry points looked up in the converter library, in the binding order.
enum class TD2xxEntry {
    FT_Open,
    FT_Close,
    FT_Read,
    FT_Write,
    FT_SetBaudRate,
    FT_SetDataCharacteristics,
    FT_SetFlowControl,
    FT_ResetDevice,
    FT_SetDtr,
    FT_ClrDtr,
    FT_SetRts,
    FT_ClrRts,
    FT_SetBreakOn,
    FT_SetBreakOff,
    FT_GetModemStatus,
    FT_SetChars,
    FT_Purge,
    FT_SetTimeouts,
    FT_GetQueueStatus,
    FT_ListDevices,
    FT_OpenEx,
    FT_SetEventNotification,
    FT_GetStatus,
    FT_SetLatencyTimer,
    FT_SetUSBParameters,
    FT_SetBitMode,
    FT_GetBitMode,
};
constexpr std::size_t D2xxEntryCount = 27;

// The 27 names, in the order they are looked up.
std::span<const char* const, D2xxEntryCount> D2xxBindingList();

// The folder of the running program; empty when it cannot be told.
std::filesystem::path D2xxProgramFolder();

// The text the error box shows for a failing call, e.g.
// "FT_Close - General IO Error...".
QString D2xxErrorText(const QString& name, d2xx::FT_STATUS status);

// The converter library bound at run time. The library is not linked: it is
// opened by name and every entry point is looked up into a table. The
// wrappers refuse an entry point that is not bound (status 1, nothing called,
// nothing shown) and show a failing status in an error box while reports are
// on. The device handle belongs to the caller.
//
// Loading, unloading and every wrapper but D2xx_Read belong to the main
// thread; D2xx_Read and the two entry points the receive thread calls
// directly may run on a worker once the library is loaded.
class TD2xxUnit {
public:
    static constexpr const char* LibraryName = "libftd2xx.so";

    // library: the file name looked up (tests name another one); a name
    // with a folder is opened as it is. programFolder: the folder whose
    // library comes first and whose ../lib/brisquell comes last.
    explicit TD2xxUnit(platform::TDialogs& dialogs, std::string library = LibraryName,
                       std::filesystem::path programFolder = D2xxProgramFolder());
    ~TD2xxUnit();
    TD2xxUnit(const TD2xxUnit&) = delete;
    TD2xxUnit& operator=(const TD2xxUnit&) = delete;

    // Opens the library (the program's folder first, then the system's
    // search, then the program's ../lib/brisquell) and looks up every
    // name; true only when all were found. The names found stay bound, and
    // the library stays loaded, either way.
    bool D2xx_Load();
    void D2xx_Unload();
    bool Loaded() const { return FLibrary != nullptr; }

    void D2xx_ReportError(const QString& name, d2xx::FT_STATUS status);

    // Opens the converter whose description is the first 49 bytes of
    // description; handle receives the device.
    d2xx::FT_STATUS Open_USB_Device_By_Device_Description(d2xx::FT_HANDLE& handle,
                                                          const QByteArray& description);
    d2xx::FT_STATUS D2xx_Close(d2xx::FT_HANDLE handle);
    d2xx::FT_STATUS D2xx_SetBaudRate(d2xx::FT_HANDLE handle, d2xx::ULONG baudRate);
    d2xx::FT_STATUS D2xx_SetDataCharacteristics(d2xx::FT_HANDLE handle, d2xx::UCHAR wordLength,
                                                d2xx::UCHAR stopBits, d2xx::UCHAR parity);
    d2xx::FT_STATUS D2xx_SetFlowControl(d2xx::FT_HANDLE handle, d2xx::USHORT flowControl,
                                        d2xx::UCHAR xon, d2xx::UCHAR xoff);
    d2xx::FT_STATUS D2xx_SetTimeouts(d2xx::FT_HANDLE handle, d2xx::ULONG readTimeout,
                                     d2xx::ULONG writeTimeout);
    d2xx::FT_STATUS D2xx_SetLatencyTimer(d2xx::FT_HANDLE handle, d2xx::UCHAR latency);
    d2xx::FT_STATUS D2xx_SetUSBParameters(d2xx::FT_HANDLE handle, d2xx::ULONG inSize,
                                          d2xx::ULONG outSize);
    // Returns the number of bytes read, never more than count; the status
    // goes to D2xxLastReadStatus. Without the entry point: 0, status kept.
    d2xx::DWORD D2xx_Read(d2xx::FT_HANDLE handle, void* buffer, d2xx::DWORD count);

    // An entry point as bound (null when it is not), for direct calls.
    template <typename F> F Entry(TD2xxEntry entry) const {
        return std::bit_cast<F>(FEntries[static_cast<std::size_t>(entry)].load());
    }

    // Off: failing statuses are returned but not shown.
    std::atomic<bool> D2xxReportErrors{true};
    std::atomic<d2xx::FT_STATUS> D2xxLastReadStatus{0};
    // What the latest open by description handed to the library.
    std::array<char, 50> D2xxDescription{};

private:
    template <typename F, typename... Args>
    d2xx::FT_STATUS Call(TD2xxEntry entry, const char* report, Args... args);

    platform::TDialogs& FDialogs;
    std::string FLibraryName;
    std::filesystem::path FProgramFolder;
    void* FLibrary = nullptr;
    // Written on the main thread before any worker reads them.
    std::array<std::atomic<void*>, D2xxEntryCount> FEntries{};
};
