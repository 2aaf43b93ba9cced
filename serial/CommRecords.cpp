#include "serial/CommRecords.h"

#include <QByteArray>
#include <QList>

namespace {

bool SetModeValue(const QByteArray& Key, const QByteArray& Value, TDCB& Dcb) {
    bool ok = false;
    if (Key == "baud") {
        Dcb.BaudRate = Value.toUInt(&ok);
        return ok && Dcb.BaudRate > 0;
    }
    if (Key == "parity") {
        static const QByteArray kCodes = "NOEMS";
        const qsizetype code = Value.size() == 1 ? kCodes.indexOf(Value.toUpper()) : -1;
        Dcb.Parity = static_cast<uint8_t>(code);
        return code >= 0;
    }
    if (Key == "data") {
        const uint v = Value.toUInt(&ok);
        Dcb.ByteSize = static_cast<uint8_t>(v);
        return ok && v >= 5 && v <= 8;
    }
    if (Key == "stop") {
        Dcb.StopBits = Value == "1" ? 0 : Value == "1.5" ? 1 : 2;
        return Value == "1" || Value == "1.5" || Value == "2";
    }
    return false;
}

uint32_t Bit(bool On, uint32_t Mask) {
    return On ? Mask : 0u;
}

uint32_t Control(bool Handshake, bool Active) {
    return Handshake ? DCBFlag::ControlHandshake
                     : (Active ? DCBFlag::ControlOn : DCBFlag::ControlOff);
}

} // namespace

bool BuildCommDCB(const char* Mode, TDCB& Dcb) {
    Dcb.Flags = DCBFlag::fBinary;
    const QList<QByteArray> items = QByteArray(Mode).simplified().split(' ');
    for (const QByteArray& item : items) {
        const qsizetype eq = item.indexOf('=');
        if (eq <= 0 || !SetModeValue(item.left(eq).toLower(), item.mid(eq + 1), Dcb))
            return false;
    }
    return true;
}

bool MakeDCB(const TSerialSettings& S, TDCB& Dcb) {
    Dcb = TDCB{};
    Dcb.DCBlength = sizeof(TDCB);
    if (!BuildCommDCB("baud=9600 parity=N data=8 stop=1", Dcb))
        return false;
    Dcb.BaudRate = static_cast<uint32_t>(S.Baudrate);
    Dcb.ByteSize = static_cast<uint8_t>(static_cast<int>(S.DataBits) + 4);
    Dcb.Parity = static_cast<uint8_t>(S.ParityBit);
    Dcb.StopBits = static_cast<uint8_t>(S.StopBits);
    using namespace DCBFlag;
    Dcb.Flags = fBinary | Bit(S.ParityBit != TParityBit::none, fParity) |
                Bit(S.HandshakeRtsCts, fOutxCtsFlow) | Bit(S.HandshakeDtrDsr, fOutxDsrFlow) |
                Control(S.HandshakeDtrDsr, S.DTRActive) << fDtrControlShift |
                Bit(S.ContinueOnXOff, fTXContinueOnXoff) | Bit(S.HandshakeXOnXOff, fOutX | fInX) |
                Bit(S.UseErrorChar, fErrorChar) | Bit(S.EliminateNullChar, fNull) |
                Control(S.HandshakeRtsCts, S.RTSActive) << fRtsControlShift |
                Bit(S.AbortOnError, fAbortOnError);
    Dcb.XonChar = S.XOnChar;
    Dcb.XoffChar = S.XOffChar;
    Dcb.XonLim = static_cast<uint16_t>(S.XOnLimit & 0xFFFF);
    Dcb.XoffLim = static_cast<uint16_t>(S.XOffLimit & 0xFFFF);
    Dcb.ErrorChar = S.ErrorChar;
    Dcb.EofChar = S.EofChar;
    Dcb.EvtChar = S.EventChar;
    return true;
}

TCommTimeouts MakeTimeouts(uint32_t BaudRate, int RecTimeOut, int TrmTimeOut) {
    uint32_t perByte = BaudRate == 0 ? 1 : 12000u / BaudRate;
    if (perByte == 0)
        perByte = 1;
    TCommTimeouts t;
    if (RecTimeOut > 0) {
        t.ReadIntervalTimeout = static_cast<uint32_t>(RecTimeOut);
        t.ReadTotalTimeoutMultiplier = perByte;
        t.ReadTotalTimeoutConstant = static_cast<uint32_t>(RecTimeOut);
    }
    if (TrmTimeOut > 0) {
        t.WriteTotalTimeoutMultiplier = perByte;
        t.WriteTotalTimeoutConstant = static_cast<uint32_t>(TrmTimeOut);
    }
    return t;
}
