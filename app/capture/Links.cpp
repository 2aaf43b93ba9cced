#include "app/capture/Links.h"

#include "app/capture/ConnectFailure.h"
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
