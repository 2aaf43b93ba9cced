#include "usb/D2XXUnit.h"

#include "platform/Dialogs.h"
#include "platform/TThread.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <dlfcn.h>

using namespace d2xx;

namespace {

constexpr std::array<const char*, D2xxEntryCount> kBindingList = {
    "FT_Open",
    "FT_Close",
    "FT_Read",
    "FT_Write",
    "FT_SetBaudRate",
    "FT_SetDataCharacteristics",
    "FT_SetFlowControl",
    "FT_ResetDevice",
    "FT_SetDtr",
    "FT_ClrDtr",
    "FT_SetRts",
    "FT_ClrRts",
    "FT_SetBreakOn",
    "FT_SetBreakOff",
    "FT_GetModemStatus",
    "FT_SetChars",
    "FT_Purge",
    "FT_SetTimeouts",
    "FT_GetQueueStatus",
    "FT_ListDevices",
    "FT_OpenEx",
    "FT_SetEventNotification",
    "FT_GetStatus",
    "FT_SetLatencyTimer",
    "FT_SetUSBParameters",
    "FT_SetBitMode",
    "FT_GetBitMode",
};

constexpr std::size_t kDescriptionLength = 49;

void* OpenLibrary(const std::string& name, const std::filesystem::path& programFolder) {
    constexpr int kMode = RTLD_NOW | RTLD_LOCAL;
    if (name.find('/') != std::string::npos)
        return ::dlopen(name.c_str(), kMode);
    // Beside the program, then the system's search (a converter library the
    // user installed wins), then our own one that an installed program
    // carries in <prefix>/lib/brisquell. A build tree has no such folder.
    if (!programFolder.empty())
        if (void* beside = ::dlopen((programFolder / name).c_str(), kMode))
            return beside;
    if (void* system = ::dlopen(name.c_str(), kMode))
        return system;
    if (programFolder.empty())
        return nullptr;
    const std::filesystem::path carried = programFolder.parent_path() / "lib" / "brisquell" / name;
    return ::dlopen(carried.c_str(), kMode);
}

} // namespace

std::span<const char* const, D2xxEntryCount> D2xxBindingList() {
    return kBindingList;
}

QString D2xxErrorText(const QString& name, FT_STATUS status) {
    static constexpr const char* kTexts[] = {
        nullptr,
        " - Invalid Handle...",
        " - Device Not Found....",
        " - Device Not Opened...",
        " - General IO Error...",
        " - Insufficient Resources...",
        " - Invalid Parameter ...",
    };
    if (status < std::size(kTexts))
        return name + QLatin1String(kTexts[status]);
    return name + QStringLiteral(" - Status ") + QString::number(status);
}

std::filesystem::path D2xxProgramFolder() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
}

TD2xxUnit::TD2xxUnit(platform::TDialogs& dialogs, std::string library,
                     std::filesystem::path programFolder)
    : FDialogs(dialogs), FLibraryName(std::move(library)),
      FProgramFolder(std::move(programFolder)) {}

TD2xxUnit::~TD2xxUnit() {
    D2xx_Unload();
}

bool TD2xxUnit::D2xx_Load() {
    if (FLibrary == nullptr)
        FLibrary = OpenLibrary(FLibraryName, FProgramFolder);
    if (FLibrary == nullptr)
        return false;
    bool all = true;
    // Every name is looked up, so a library lacking one still serves the rest.
    for (std::size_t i = 0; i < D2xxEntryCount; ++i) {
        void* address = ::dlsym(FLibrary, kBindingList[i]);
        FEntries[i].store(address);
        all = all && address != nullptr;
    }
    return all;
}

void TD2xxUnit::D2xx_Unload() {
    // The table goes with the library: a call through it afterwards would
    // jump into code that is no longer there.
    for (auto& entry : FEntries)
        entry.store(nullptr);
    if (FLibrary != nullptr)
        ::dlclose(FLibrary);
    FLibrary = nullptr;
}

void TD2xxUnit::D2xx_ReportError(const QString& name, FT_STATUS status) {
    if (!D2xxReportErrors.load() || status == FT_OK)
        return;
    const QString text = D2xxErrorText(name, status);
    // A box belongs to the main thread; a worker waits until it is closed.
    platform::SynchronizeCall([&] {
        FDialogs.MessageBox(text, QStringLiteral("Error"),
                            platform::MB_OK | platform::MB_ICONERROR);
    });
}

template <typename F, typename... Args>
FT_STATUS TD2xxUnit::Call(TD2xxEntry entry, const char* report, Args... args) {
    const F function = Entry<F>(entry);
    if (function == nullptr)
        return FT_INVALID_HANDLE;
    const FT_STATUS status = function(args...);
    D2xx_ReportError(QLatin1String(report), status);
    return status;
}

FT_STATUS TD2xxUnit::Open_USB_Device_By_Device_Description(FT_HANDLE& handle,
                                                           const QByteArray& description) {
    const auto openEx = Entry<TFT_OpenEx>(TD2xxEntry::FT_OpenEx);
    if (openEx == nullptr)
        return FT_INVALID_HANDLE;
    D2xxDescription.fill(0);
    const auto length =
        std::min<std::size_t>(static_cast<std::size_t>(description.size()), kDescriptionLength);
    std::memcpy(D2xxDescription.data(), description.constData(), length);
    const FT_STATUS status = openEx(D2xxDescription.data(), FT_OPEN_BY_DESCRIPTION, &handle);
    D2xx_ReportError(QStringLiteral("Open_USB_Device_By_Device_Description"), status);
    return status;
}

FT_STATUS TD2xxUnit::D2xx_Close(FT_HANDLE handle) {
    return Call<TFT_Close>(TD2xxEntry::FT_Close, "FT_Close", handle);
}

FT_STATUS TD2xxUnit::D2xx_SetBaudRate(FT_HANDLE handle, ULONG baudRate) {
    return Call<TFT_SetBaudRate>(TD2xxEntry::FT_SetBaudRate, "FT_SetBaudRate", handle, baudRate);
}

FT_STATUS TD2xxUnit::D2xx_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits,
                                                 UCHAR parity) {
    return Call<TFT_SetDataCharacteristics>(TD2xxEntry::FT_SetDataCharacteristics,
                                            "FT_SetDataCharacteristics", handle, wordLength,
                                            stopBits, parity);
}

FT_STATUS TD2xxUnit::D2xx_SetFlowControl(FT_HANDLE handle, USHORT flowControl, UCHAR xon,
                                         UCHAR xoff) {
    return Call<TFT_SetFlowControl>(TD2xxEntry::FT_SetFlowControl, "FT_SetFlowControl", handle,
                                    flowControl, xon, xoff);
}

FT_STATUS TD2xxUnit::D2xx_SetTimeouts(FT_HANDLE handle, ULONG readTimeout, ULONG writeTimeout) {
    return Call<TFT_SetTimeouts>(TD2xxEntry::FT_SetTimeouts, "FT_SetTimeouts", handle, readTimeout,
                                 writeTimeout);
}

FT_STATUS TD2xxUnit::D2xx_SetLatencyTimer(FT_HANDLE handle, UCHAR latency) {
    return Call<TFT_SetLatencyTimer>(TD2xxEntry::FT_SetLatencyTimer, "FT_SetLatencyTimer", handle,
                                     latency);
}

FT_STATUS TD2xxUnit::D2xx_SetUSBParameters(FT_HANDLE handle, ULONG inSize, ULONG outSize) {
    return Call<TFT_SetUSBParameters>(TD2xxEntry::FT_SetUSBParameters, "FT_SetUSBParameters",
                                      handle, inSize, outSize);
}

DWORD TD2xxUnit::D2xx_Read(FT_HANDLE handle, void* buffer, DWORD count) {
    const auto read = Entry<TFT_Read>(TD2xxEntry::FT_Read);
    if (read == nullptr)
        return 0;
    // A failing read may store no count, or a wrong one: the caller puts its
    // terminator at the count, so it never exceeds what was asked for.
    DWORD returned = 0;
    const FT_STATUS status = read(handle, buffer, count, &returned);
    D2xxLastReadStatus.store(status);
    D2xx_ReportError(QStringLiteral("FT_Read"), status);
    return std::min(returned, count);
}
