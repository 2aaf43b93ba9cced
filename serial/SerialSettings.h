#pragma once

#include "serial/SerialEnums.h"

#include <QByteArray>

#include <cstdint>

// All line settings of a port as one record.
struct TSerialSettings {
    bool Valid = false;
    int32_t COMPort = 0;
    int32_t Baudrate = 0;
    TDataBits DataBits = TDataBits::db_8;
    TParityBit ParityBit = TParityBit::none;
    TStopBits StopBits = TStopBits::sb_1;
    int32_t BufSizeTrm = 0;
    int32_t BufSizeRec = 0;
    bool HandshakeRtsCts = false;
    bool HandshakeDtrDsr = false;
    bool HandshakeXOnXOff = false;
    bool RTSActive = false;
    bool DTRActive = false;
    char XOnChar = 0;
    char XOffChar = 0;
    int32_t XOffLimit = 0;
    int32_t XOnLimit = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EventChar = 0;
    bool ContinueOnXOff = false;
    bool UseErrorChar = false;
    bool EliminateNullChar = false;
    bool AbortOnError = false;
    int32_t RecTimeOut = 0;
    int32_t TrmTimeOut = 0;

    bool operator==(const TSerialSettings&) const = default;
};

// The 95-character settings string ("RRS1", the fields in decimal, an XOR
// check); empty when the record is not Valid.
QByteArray EncodeSettings(const TSerialSettings& Settings);

// Decodes Text over Settings, which the caller has filled with the current
// settings: fields read before a failure stay written. Valid tells success.
void DecodeSettings(const QByteArray& Text, TSerialSettings& Settings);
