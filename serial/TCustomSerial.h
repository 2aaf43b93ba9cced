#pragma once

#include "serial/SerialEnums.h"
#include "serial/SerialTypes.h"

#include <QObject>

// One COM port of the machine: its number, queue sizes and thread priority,
// and the open flag. The owner is the QObject parent, the component name the
// objectName.
class TCustomSerial : public QObject {
    Q_OBJECT
public:
    explicit TCustomSerial(QObject* Owner = nullptr);
    ~TCustomSerial() override;

    // 0 is always taken; another number only when the port manager lists it.
    int COMPort() const { return FCOMPort; }
    void SetCOMPort(int Value);
    // Takes the port number of the manager's item Index, if there is one.
    void SelectPortIndex(int Index);

    // The open flag.
    bool Active() const { return FActive; }

    int BufSizeTrm() const { return FBufSizeTrm; }
    int BufSizeRec() const { return FBufSizeRec; }

    TThreadPriority ThreadPriority() const { return FThreadPriority; }
    void SetThreadPriority(TThreadPriority Value) { FThreadPriority = Value; }

    TNotifyEvent OnCOMRemoved;

    // Called by the port manager when the port this component has open is
    // gone: the component counts as closed from here on.
    virtual void COMRemoved();

protected:
    bool FActive = false;
    int FCOMPort = 0;
    int FBufSizeTrm = 16384;
    int FBufSizeRec = 16384;
    TThreadPriority FThreadPriority = TThreadPriority::tpNormal;
};
