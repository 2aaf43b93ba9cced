#pragma once

// The converter library's types and entry points as its Linux build declares
// them (written from the entry points' signatures): DWORD and ULONG are 32-bit
// there, the device handle is a pointer (null meaning none), and the event
// that FT_SetEventNotification signals is a condition variable with its mutex.
// Plain C++ and POSIX only: the simulated library builds from it too.

#include <cstdint>

#include <pthread.h>

namespace d2xx {

using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using USHORT = std::uint16_t;
using UCHAR = std::uint8_t;
using FT_HANDLE = void*;
using FT_STATUS = ULONG;

enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_NOT_SUPPORTED = 17,
};

constexpr DWORD FT_OPEN_BY_DESCRIPTION = 2;
constexpr DWORD FT_EVENT_RXCHAR = 1;

// What FT_SetEventNotification takes on Linux in place of an event object.
struct EVENT_HANDLE {
    pthread_cond_t eCondVar;
    pthread_mutex_t eMutex;
    int iVar;
};

// What a library does to signal the caller's event, as the vendor's does:
// mark it and wake one waiter.
inline void SignalEventHandle(EVENT_HANDLE& event) {
    ::pthread_mutex_lock(&event.eMutex);
    event.iVar = 1;
    ::pthread_cond_signal(&event.eCondVar);
    ::pthread_mutex_unlock(&event.eMutex);
}

extern "C" {
using TFT_Open = FT_STATUS (*)(int deviceNumber, FT_HANDLE* handle);
using TFT_Close = FT_STATUS (*)(FT_HANDLE handle);
using TFT_Read = FT_STATUS (*)(FT_HANDLE handle, void* buffer, DWORD toRead, DWORD* returned);
using TFT_Write = FT_STATUS (*)(FT_HANDLE handle, void* buffer, DWORD toWrite, DWORD* written);
using TFT_SetBaudRate = FT_STATUS (*)(FT_HANDLE handle, ULONG baudRate);
using TFT_SetDataCharacteristics = FT_STATUS (*)(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits,
                                                 UCHAR parity);
using TFT_SetFlowControl = FT_STATUS (*)(FT_HANDLE handle, USHORT flowControl, UCHAR xon,
                                         UCHAR xoff);
using TFT_HandleOnly = FT_STATUS (*)(FT_HANDLE handle); // reset, DTR, RTS, break
using TFT_GetModemStatus = FT_STATUS (*)(FT_HANDLE handle, ULONG* modemStatus);
using TFT_SetChars = FT_STATUS (*)(FT_HANDLE handle, UCHAR eventChar, UCHAR eventCharEnabled,
                                   UCHAR errorChar, UCHAR errorCharEnabled);
using TFT_Purge = FT_STATUS (*)(FT_HANDLE handle, ULONG mask);
using TFT_SetTimeouts = FT_STATUS (*)(FT_HANDLE handle, ULONG readTimeout, ULONG writeTimeout);
using TFT_GetQueueStatus = FT_STATUS (*)(FT_HANDLE handle, DWORD* rxBytes);
using TFT_ListDevices = FT_STATUS (*)(void* arg1, void* arg2, DWORD flags);
using TFT_OpenEx = FT_STATUS (*)(void* arg, DWORD flags, FT_HANDLE* handle);
using TFT_SetEventNotification = FT_STATUS (*)(FT_HANDLE handle, DWORD mask, void* param);
using TFT_GetStatus = FT_STATUS (*)(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes,
                                    DWORD* eventStatus);
using TFT_SetLatencyTimer = FT_STATUS (*)(FT_HANDLE handle, UCHAR latency);
using TFT_SetUSBParameters = FT_STATUS (*)(FT_HANDLE handle, ULONG inSize, ULONG outSize);
using TFT_SetBitMode = FT_STATUS (*)(FT_HANDLE handle, UCHAR mask, UCHAR enable);
using TFT_GetBitMode = FT_STATUS (*)(FT_HANDLE handle, UCHAR* mode);
}

} // namespace d2xx
