#include "serial/TCustomSerial.h"

#include "serial/TCOMManager.h"

TCustomSerial::TCustomSerial(QObject* Owner) : QObject(Owner) {
    if (COMManager != nullptr && COMManager->Count() > 0)
        SelectPortIndex(0);
}

TCustomSerial::~TCustomSerial() = default;

void TCustomSerial::SetCOMPort(int Value) {
    if (Value == 0 || (COMManager != nullptr && COMManager->HasPort(Value)))
        FCOMPort = Value;
}

void TCustomSerial::SelectPortIndex(int Index) {
    if (COMManager == nullptr || COMManager->Count() == 0)
        return;
    if (Index >= 0 && Index < COMManager->Count())
        FCOMPort = COMManager->Entry(Index).Port;
}

void TCustomSerial::COMRemoved() {
    FActive = false;
    if (OnCOMRemoved)
        OnCOMRemoved(this);
}
