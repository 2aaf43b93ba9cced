// The converter library's entry points over the kernel's ftdi_sio ttys. A
// handle is the address of an open TTtyDevice; calls look it up in the open
// set first, so a stale or foreign handle is refused, not followed, and a
// close never frees a device that a call on another thread still uses.
#include "usb/kernel/TtyDevice.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>

#include <asm/termbits.h>
#include <sys/ioctl.h>

using namespace d2xx;
using ftkernel::TTtyDevice;

#define FTKERNEL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr DWORD kOpenBySerialNumber = 1;
constexpr DWORD kListNumberOnly = 0x80000000;
constexpr DWORD kListByIndex = 0x40000000;
constexpr DWORD kListAll = 0x20000000;
constexpr std::size_t kListTextSize = 64; // the buffers a caller hands over

class TOpenDevices {
public:
    FT_STATUS Add(std::unique_ptr<TTtyDevice> device, FT_HANDLE* handle) {
        std::lock_guard lock(FLock);
        *handle = device.get();
        FDevices.emplace(device.get(), std::move(device));
        return FT_OK;
    }
    std::shared_ptr<TTtyDevice> Find(FT_HANDLE handle) const {
        std::lock_guard lock(FLock);
        const auto found = FDevices.find(handle);
        return found == FDevices.end() ? nullptr : found->second;
    }
    bool Remove(FT_HANDLE handle) {
        std::shared_ptr<TTtyDevice> device;
        {
            std::lock_guard lock(FLock);
            const auto found = FDevices.find(handle);
            if (found == FDevices.end())
                return false;
            device = std::move(found->second);
            FDevices.erase(found);
        }
        return true; // the device closes with the last call still using it
    }

private:
    mutable std::mutex FLock;
    std::map<FT_HANDLE, std::shared_ptr<TTtyDevice>> FDevices;
};

TOpenDevices& Devices() {
    static TOpenDevices devices;
    return devices;
}

// Calls member on the open device of handle, or refuses the handle.
template <typename Member, typename... Args>
FT_STATUS OnDevice(FT_HANDLE handle, Member member, Args... args) {
    const std::shared_ptr<TTtyDevice> device = Devices().Find(handle);
    if (!device)
        return FT_INVALID_HANDLE;
    return ((*device).*member)(args...);
}

// Opens the first port that matches and is free.
template <typename Matches> FT_STATUS OpenFirst(Matches matches, FT_HANDLE* handle) {
    if (handle == nullptr)
        return FT_INVALID_PARAMETER;
    FT_STATUS status = FT_DEVICE_NOT_FOUND;
    const auto ports = ftkernel::ListConverterPorts(ftkernel::SystemRoot());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (!matches(i, ports[i]))
            continue;
        std::unique_ptr<TTtyDevice> device;
        status = TTtyDevice::Open(ports[i], device);
        if (status == FT_OK)
            return Devices().Add(std::move(device), handle);
    }
    return status;
}

void CopyName(const std::string& name, void* buffer) {
    const std::size_t size = std::min(name.size(), kListTextSize - 1);
    std::memcpy(buffer, name.data(), size);
    static_cast<char*>(buffer)[size] = '\0';
}

const std::string& NameOf(const ftkernel::TConverterPort& port, DWORD flags) {
    return (flags & kOpenBySerialNumber) != 0 ? port.SerialNumber : port.Description;
}

} // namespace

FTKERNEL_EXPORT FT_STATUS FT_Open(int number, FT_HANDLE* handle) {
    return OpenFirst([&](std::size_t i, const auto&) { return std::cmp_equal(i, number); }, handle);
}

FTKERNEL_EXPORT FT_STATUS FT_OpenEx(void* arg, DWORD flags, FT_HANDLE* handle) {
    if (flags != FT_OPEN_BY_DESCRIPTION && flags != kOpenBySerialNumber)
        return FT_NOT_SUPPORTED; // a USB location means nothing to a tty
    if (arg == nullptr)
        return FT_INVALID_PARAMETER;
    // The whole name: a prefix or a port's name without its letter is another converter.
    const std::string_view wanted(static_cast<const char*>(arg));
    return OpenFirst([&](std::size_t, const auto& port) { return NameOf(port, flags) == wanted; },
                     handle);
}

FTKERNEL_EXPORT FT_STATUS FT_Close(FT_HANDLE handle) {
    return Devices().Remove(handle) ? FT_OK : FT_INVALID_HANDLE;
}

FTKERNEL_EXPORT FT_STATUS FT_ListDevices(void* arg1, void* arg2, DWORD flags) {
    const auto ports = ftkernel::ListConverterPorts(ftkernel::SystemRoot());
    if (flags == kListNumberOnly) {
        if (arg1 == nullptr)
            return FT_INVALID_PARAMETER;
        *static_cast<DWORD*>(arg1) = static_cast<DWORD>(ports.size());
        return FT_OK;
    }
    const DWORD by = flags & ~(kListByIndex | kListAll);
    if (by != FT_OPEN_BY_DESCRIPTION && by != kOpenBySerialNumber)
        return FT_INVALID_PARAMETER;
    if ((flags & kListByIndex) != 0) {
        const auto index = reinterpret_cast<std::uintptr_t>(arg1);
        if (index >= ports.size())
            return FT_DEVICE_NOT_FOUND;
        if (arg2 == nullptr)
            return FT_INVALID_PARAMETER;
        CopyName(NameOf(ports[index], by), arg2);
        return FT_OK;
    }
    if ((flags & kListAll) != 0) {
        // arg1: an array of buffers ended by a null pointer; arg2: the count.
        if (arg1 == nullptr || arg2 == nullptr)
            return FT_INVALID_PARAMETER;
        auto** buffers = static_cast<char**>(arg1);
        DWORD count = 0;
        for (; count < ports.size() && buffers[count] != nullptr; ++count)
            CopyName(NameOf(ports[count], by), buffers[count]);
        *static_cast<DWORD*>(arg2) = count;
        return FT_OK;
    }
    return FT_INVALID_PARAMETER;
}

FTKERNEL_EXPORT FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD count, DWORD* returned) {
    if (buffer == nullptr || returned == nullptr)
        return FT_INVALID_PARAMETER;
    return OnDevice(handle, &TTtyDevice::Read, buffer, count, returned);
}
FTKERNEL_EXPORT FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, DWORD count, DWORD* written) {
    if (buffer == nullptr || written == nullptr)
        return FT_INVALID_PARAMETER;
    return OnDevice(handle, &TTtyDevice::Write, static_cast<const void*>(buffer), count, written);
}
FTKERNEL_EXPORT FT_STATUS FT_SetBaudRate(FT_HANDLE handle, ULONG baudRate) {
    return OnDevice(handle, &TTtyDevice::SetBaudRate, baudRate);
}
FTKERNEL_EXPORT FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength,
                                                    UCHAR stopBits, UCHAR parity) {
    return OnDevice(handle, &TTtyDevice::SetDataCharacteristics, wordLength, stopBits, parity);
}
FTKERNEL_EXPORT FT_STATUS FT_SetFlowControl(FT_HANDLE handle, USHORT mode, UCHAR xon, UCHAR xoff) {
    return OnDevice(handle, &TTtyDevice::SetFlowControl, mode, xon, xoff);
}
FTKERNEL_EXPORT FT_STATUS FT_ResetDevice(FT_HANDLE handle) {
    // What a reset leaves behind that a tty can show: empty queues.
    return OnDevice(handle, &TTtyDevice::Purge, ULONG{3});
}
FTKERNEL_EXPORT FT_STATUS FT_SetDtr(FT_HANDLE handle) {
    return OnDevice(handle, &TTtyDevice::SetModemLine, TIOCM_DTR, true);
}
FTKERNEL_EXPORT FT_STATUS FT_ClrDtr(FT_HANDLE handle) {
    return OnDevice(handle, &TTtyDevice::SetModemLine, TIOCM_DTR, false);
}
FTKERNEL_EXPORT FT_STATUS FT_SetRts(FT_HANDLE handle) {
    return OnDevice(handle, &TTtyDevice::SetModemLine, TIOCM_RTS, true);
}
FTKERNEL_EXPORT FT_STATUS FT_ClrRts(FT_HANDLE handle) {
    return OnDevice(handle, &TTtyDevice::SetModemLine, TIOCM_RTS, false);
}
FTKERNEL_EXPORT FT_STATUS FT_SetBreakOn(FT_HANDLE handle) {
    return OnDevice(handle, &TTtyDevice::SetBreak, true);
}
FTKERNEL_EXPORT FT_STATUS FT_SetBreakOff(FT_HANDLE handle) {
    return OnDevice(handle, &TTtyDevice::SetBreak, false);
}
FTKERNEL_EXPORT FT_STATUS FT_GetModemStatus(FT_HANDLE handle, ULONG* modemStatus) {
    if (modemStatus == nullptr)
        return FT_INVALID_PARAMETER;
    return OnDevice(handle, &TTtyDevice::GetModemStatus, modemStatus);
}
FTKERNEL_EXPORT FT_STATUS FT_SetChars(FT_HANDLE handle, UCHAR, UCHAR, UCHAR, UCHAR) {
    // The tty layer has no event or error character; the handle is checked.
    return OnDevice(handle, &TTtyDevice::Accept);
}
FTKERNEL_EXPORT FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask) {
    return OnDevice(handle, &TTtyDevice::Purge, mask);
}
FTKERNEL_EXPORT FT_STATUS FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeout, ULONG writeTimeout) {
    return OnDevice(handle, &TTtyDevice::SetTimeouts, readTimeout, writeTimeout);
}
FTKERNEL_EXPORT FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) {
    if (rxBytes == nullptr)
        return FT_INVALID_PARAMETER;
    return OnDevice(handle, &TTtyDevice::GetQueueStatus, rxBytes);
}
FTKERNEL_EXPORT FT_STATUS FT_SetEventNotification(FT_HANDLE handle, DWORD mask, void* param) {
    if (mask != 0 && param == nullptr)
        return FT_INVALID_PARAMETER;
    return OnDevice(handle, &TTtyDevice::SetEventNotification, mask, param);
}
FTKERNEL_EXPORT FT_STATUS FT_GetStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes,
                                       DWORD* eventStatus) {
    if (rxBytes == nullptr || txBytes == nullptr || eventStatus == nullptr)
        return FT_INVALID_PARAMETER;
    return OnDevice(handle, &TTtyDevice::GetStatus, rxBytes, txBytes, eventStatus);
}
FTKERNEL_EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR latency) {
    return OnDevice(handle, &TTtyDevice::SetLatencyTimer, latency);
}
FTKERNEL_EXPORT FT_STATUS FT_SetUSBParameters(FT_HANDLE handle, ULONG, ULONG) {
    // USB transfer sizes are the driver's own; the handle is checked.
    return OnDevice(handle, &TTtyDevice::Accept);
}
FTKERNEL_EXPORT FT_STATUS FT_SetBitMode(FT_HANDLE handle, UCHAR, UCHAR mode) {
    // Only the reset to the serial mode the driver keeps is possible.
    const FT_STATUS status = OnDevice(handle, &TTtyDevice::Accept);
    return status == FT_OK && mode != 0 ? FT_NOT_SUPPORTED : status;
}
FTKERNEL_EXPORT FT_STATUS FT_GetBitMode(FT_HANDLE handle, UCHAR* mode) {
    if (mode == nullptr)
        return FT_INVALID_PARAMETER;
    const FT_STATUS status = OnDevice(handle, &TTtyDevice::Accept);
    return status == FT_OK ? FT_NOT_SUPPORTED : status; // the pins are not the tty's to read
}
