#pragma once

#include "serial/SerialSettings.h"

#include <cstdint>

// The device-control block with the Win32 field layout: the component fills
// it exactly as the port's users expect, then the device layer applies it.
struct TDCB {
    uint32_t DCBlength = 0;
    uint32_t BaudRate = 0;
    uint32_t Flags = 0;
    uint16_t wReserved = 0;
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 0;
    uint8_t Parity = 0;
    uint8_t StopBits = 0;
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    uint16_t wReserved1 = 0;
};

// Bits of TDCB::Flags.
namespace DCBFlag {
constexpr uint32_t fBinary = 1u << 0;
constexpr uint32_t fParity = 1u << 1;
constexpr uint32_t fOutxCtsFlow = 1u << 2;
constexpr uint32_t fOutxDsrFlow = 1u << 3;
constexpr int fDtrControlShift = 4; // 2 bits
constexpr uint32_t fDsrSensitivity = 1u << 6;
constexpr uint32_t fTXContinueOnXoff = 1u << 7;
constexpr uint32_t fOutX = 1u << 8;
constexpr uint32_t fInX = 1u << 9;
constexpr uint32_t fErrorChar = 1u << 10;
constexpr uint32_t fNull = 1u << 11;
constexpr int fRtsControlShift = 12; // 2 bits
constexpr uint32_t fAbortOnError = 1u << 14;
constexpr uint32_t ControlOff = 0, ControlOn = 1, ControlHandshake = 2;
} // namespace DCBFlag

inline uint32_t DtrControl(const TDCB& D) {
    return (D.Flags >> DCBFlag::fDtrControlShift) & 3u;
}
inline uint32_t RtsControl(const TDCB& D) {
    return (D.Flags >> DCBFlag::fRtsControlShift) & 3u;
}

// Fills a DCB from a mode text such as "baud=9600 parity=N data=8 stop=1";
// false when the text has a key or value it does not know.
bool BuildCommDCB(const char* Mode, TDCB& Dcb);

// The DCB of an Open: the base configuration of the mode text, overwritten
// field by field from the settings. False when the mode text failed.
bool MakeDCB(const TSerialSettings& Settings, TDCB& Dcb);

// The time-out record, all in ms; all zero means none is set.
struct TCommTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;

    bool operator==(const TCommTimeouts&) const = default;
};

static_assert(sizeof(TDCB) == 28, "the DCB keeps its Win32 size");

TCommTimeouts MakeTimeouts(uint32_t BaudRate, int RecTimeOut, int TrmTimeOut);
