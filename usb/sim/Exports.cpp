// The entry points of the converter library and the simulator's control
// functions, all served by one simulated converter. The reduced build hides
// a few entry points, as an incomplete or older library would lack them.
#include "usb/sim/SimConverter.h"

#include <algorithm>
#include <cstring>
#include <string>

using namespace d2xx;

#define FTSIM_EXPORT extern "C" __attribute__((visibility("default")))
#ifdef FTSIM_REDUCED
#define FTSIM_OPTIONAL extern "C" __attribute__((visibility("hidden")))
#else
#define FTSIM_OPTIONAL FTSIM_EXPORT
#endif

namespace {

ftsim::TSimConverter& Converter() {
    static ftsim::TSimConverter converter;
    return converter;
}

// An entry point was called: from now on the control channel is served.
ftsim::TSimConverter& Entered() {
    ftsim::TSimConverter& converter = Converter();
    converter.EnsureChannel();
    return converter;
}

} // namespace

FTSIM_OPTIONAL FT_STATUS FT_Open(int number, FT_HANDLE* handle) {
    return Entered().Open(number, handle);
}
FTSIM_EXPORT FT_STATUS FT_Close(FT_HANDLE handle) {
    return Entered().Close(handle);
}
FTSIM_EXPORT FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD count, DWORD* returned) {
    return Entered().Read(handle, buffer, count, returned);
}
FTSIM_EXPORT FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, DWORD count, DWORD* written) {
    return Entered().Write(handle, buffer, count, written);
}
FTSIM_EXPORT FT_STATUS FT_SetBaudRate(FT_HANDLE handle, ULONG baudRate) {
    return Entered().Setting("FT_SetBaudRate", handle, ftsim::CallArgs({baudRate}));
}
FTSIM_EXPORT FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits,
                                                 UCHAR parity) {
    return Entered().Setting("FT_SetDataCharacteristics", handle,
                             ftsim::CallArgs({wordLength, stopBits, parity}));
}
FTSIM_EXPORT FT_STATUS FT_SetFlowControl(FT_HANDLE handle, USHORT flowControl, UCHAR xon,
                                         UCHAR xoff) {
    return Entered().Setting("FT_SetFlowControl", handle,
                             ftsim::CallArgs({flowControl, xon, xoff}));
}
FTSIM_EXPORT FT_STATUS FT_ResetDevice(FT_HANDLE handle) {
    return Entered().Setting("FT_ResetDevice", handle, {});
}
FTSIM_EXPORT FT_STATUS FT_SetDtr(FT_HANDLE handle) {
    return Entered().Setting("FT_SetDtr", handle, {});
}
FTSIM_EXPORT FT_STATUS FT_ClrDtr(FT_HANDLE handle) {
    return Entered().Setting("FT_ClrDtr", handle, {});
}
FTSIM_EXPORT FT_STATUS FT_SetRts(FT_HANDLE handle) {
    return Entered().Setting("FT_SetRts", handle, {});
}
FTSIM_EXPORT FT_STATUS FT_ClrRts(FT_HANDLE handle) {
    return Entered().Setting("FT_ClrRts", handle, {});
}
FTSIM_EXPORT FT_STATUS FT_SetBreakOn(FT_HANDLE handle) {
    return Entered().Setting("FT_SetBreakOn", handle, {});
}
FTSIM_EXPORT FT_STATUS FT_SetBreakOff(FT_HANDLE handle) {
    return Entered().Setting("FT_SetBreakOff", handle, {});
}
FTSIM_EXPORT FT_STATUS FT_GetModemStatus(FT_HANDLE handle, ULONG* modemStatus) {
    const FT_STATUS status = Entered().Setting("FT_GetModemStatus", handle, {});
    if (status == FT_OK)
        *modemStatus = 0;
    return status;
}
FTSIM_EXPORT FT_STATUS FT_SetChars(FT_HANDLE handle, UCHAR eventChar, UCHAR eventCharEnabled,
                                   UCHAR errorChar, UCHAR errorCharEnabled) {
    return Entered().Setting(
        "FT_SetChars", handle,
        ftsim::CallArgs({eventChar, eventCharEnabled, errorChar, errorCharEnabled}));
}
FTSIM_EXPORT FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask) {
    return Entered().Setting("FT_Purge", handle, ftsim::CallArgs({mask}));
}
FTSIM_OPTIONAL FT_STATUS FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeout, ULONG writeTimeout) {
    return Entered().SetTimeouts(handle, readTimeout, writeTimeout);
}
FTSIM_EXPORT FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) {
    return Entered().GetQueueStatus(handle, rxBytes);
}
FTSIM_EXPORT FT_STATUS FT_ListDevices(void* arg1, void* arg2, DWORD flags) {
    return Entered().ListDevices(arg1, arg2, flags);
}
FTSIM_EXPORT FT_STATUS FT_OpenEx(void* arg, DWORD flags, FT_HANDLE* handle) {
    return Entered().OpenEx(arg, flags, handle);
}
FTSIM_OPTIONAL FT_STATUS FT_SetEventNotification(FT_HANDLE handle, DWORD mask, void* param) {
    return Entered().SetEventNotification(handle, mask, param);
}
FTSIM_EXPORT FT_STATUS FT_GetStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes,
                                    DWORD* eventStatus) {
    return Entered().GetStatus(handle, rxBytes, txBytes, eventStatus);
}
FTSIM_EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR latency) {
    return Entered().Setting("FT_SetLatencyTimer", handle, ftsim::CallArgs({latency}));
}
FTSIM_EXPORT FT_STATUS FT_SetUSBParameters(FT_HANDLE handle, ULONG inSize, ULONG outSize) {
    return Entered().Setting("FT_SetUSBParameters", handle, ftsim::CallArgs({inSize, outSize}));
}
FTSIM_EXPORT FT_STATUS FT_SetBitMode(FT_HANDLE handle, UCHAR mask, UCHAR enable) {
    return Entered().Setting("FT_SetBitMode", handle, ftsim::CallArgs({mask, enable}));
}
FTSIM_OPTIONAL FT_STATUS FT_GetBitMode(FT_HANDLE handle, UCHAR* mode) {
    const FT_STATUS status = Entered().Setting("FT_GetBitMode", handle, {});
    if (status == FT_OK)
        *mode = 0;
    return status;
}

FTSIM_EXPORT void FTSim_Reset() {
    Converter().Reset();
}
FTSIM_EXPORT unsigned FTSim_Feed(const char* bytes, unsigned size) {
    return static_cast<unsigned>(Converter().Feed(std::string_view(bytes, size)));
}
FTSIM_EXPORT void FTSim_Unplug() {
    Converter().Unplug();
}
FTSIM_EXPORT void FTSim_Plug() {
    Converter().Plug();
}
FTSIM_EXPORT void FTSim_FailNext(const char* entry, unsigned status, unsigned readCount) {
    Converter().FailNext(entry, status, readCount);
}
FTSIM_EXPORT unsigned FTSim_Journal(char* buffer, unsigned size) {
    const std::string journal = Converter().Journal();
    if (size > 0) {
        const size_t copied = std::min<size_t>(journal.size(), size - 1);
        std::memcpy(buffer, journal.data(), copied);
        buffer[copied] = '\0';
    }
    return static_cast<unsigned>(journal.size());
}
FTSIM_EXPORT unsigned FTSim_BlockedReads() {
    return Converter().BlockedReads();
}
FTSIM_EXPORT void FTSim_FailNextOpenLeavingHandle(unsigned status) {
    Converter().FailNextOpenLeavingHandle(status);
}
