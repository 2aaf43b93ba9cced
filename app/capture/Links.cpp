#include "app/capture/Links.h"

#include "app/capture/ConnectFailure.h"
#include "irda/IrDAListener.h"
#include "serial/TCOMManager.h"
#include "serial/TSerial.h"

bool TSerialLink::Connect() {
    return FSerial.Active() || FSerial.Open();
}

void TSerialLink::Disconnect() {
    if (FSerial.Active())
        FSerial.Close();
}

void TSerialLink::Pause() {
    FSerial.SetActive(false);
}

bool TSerialLink::Resume() {
    FSerial.SetActive(true);
    return FSerial.Active();
}

QString TSerialLink::FailureNote() const {
    const int port = FSerial.COMPort();
    const QString device = PortDevicePath(port);
    return ConnectFailureText(FSerial.LastOpenError(), QStringLiteral("COM%1").arg(port), device,
                              DeviceAccess(device));
}

bool PortOpens(int port) {
    TSerial probe;
    probe.SetEnableEvents(false);
    probe.SetCOMPort(port);
    if (!probe.Open())
        return false; // another program holds it
    probe.Close();
    return true;
}

bool TInfraredLink::Connect() {
    return FListener.Ready();
}

void TInfraredLink::Pause() {
    FListener.Listen(0);
}

bool TInfraredLink::Resume() {
    FListener.Listen(TIrDAListener::Backlog);
    return true;
}

void ApplyDesignValues(TSerial& serial) {
    // In the component's property order: the receive buffer before the
    // XOn/XOff limits, which it would pull in.
    serial.SetCOMPort(1);
    serial.SetThreadPriority(TThreadPriority::tpNormal);
    serial.SetBaudrate(9600);
    serial.SetDataBits(TDataBits::db_8);
    serial.SetParityBit(TParityBit::none);
    serial.SetStopBits(TStopBits::sb_1);
    serial.SetBufSizeTrm(4096);
    serial.SetBufSizeRec(4096);
    serial.SetHandshakeRtsCts(false);
    serial.SetHandshakeDtrDsr(false);
    serial.SetHandshakeXOnXOff(false);
    serial.SetRTSActive(true);
    serial.SetDTRActive(true);
    serial.SetXOnChar('\x11');
    serial.SetXOffChar('\x13');
    serial.SetXOffLimit(1600);
    serial.SetXOnLimit(400);
    serial.SetErrorChar('?');
    serial.SetEofChar('\x1A');
    serial.SetEventChar('\r');
    serial.SetDataSize(0);
    serial.SetContinueOnXOff(false);
    serial.SetUseErrorChar(false);
    serial.SetEliminateNullChar(false);
    serial.SetAbortOnError(false);
    serial.SetRecTimeOut(0);
    serial.SetTrmTimeOut(0);
    serial.SetSyncEventHandling(true);
    serial.SetEnableEvents(true);
    serial.SetSyncWait(true);
}
