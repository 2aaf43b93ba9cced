#include "app/Links.h"

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
