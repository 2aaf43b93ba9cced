#pragma once

#include "serial/CommRecords.h"
#include "serial/LineEventSource.h"
#include "serial/SerialDevice.h"
#include "serial/SerialSettings.h"
#include "serial/TByteSource.h"
#include "serial/TCustomSerial.h"

#include <QByteArray>

#include <atomic>
#include <memory>

class TPortState;

// A property that is stored as given: its getter and setter.
#define BRQ_STORED_PROPERTY(Type, Name)                                                            \
    Type Name() const {                                                                            \
        return FSettings.Name;                                                                     \
    }                                                                                              \
    void Set##Name(Type Value) {                                                                   \
        FSettings.Name = Value;                                                                    \
    }

// The serial port component: the line settings, Open/Close, the event
// handlers served by its event thread, and the four transfer operations,
// which are bound to closed-state, plain or waiting variants as the port
// opens and closes. It never throws and shows nothing.
class TSerial : public TCustomSerial, public TByteSource {
    Q_OBJECT
public:
    explicit TSerial(QObject* Owner = nullptr);
    ~TSerial() override;

    // True here: the waiting variants are bound while open.
    bool IsNT() const { return FIsNT; }

    bool Open();
    // Why the last Open failed, as an errno value (0 after a success): the
    // device is missing (ENOENT), held by another program (EBUSY), refused
    // (EACCES), or did not take the settings (EINVAL, EIO, ...).
    int LastOpenError() const { return FLastOpenError; }
    void Close();
    void SetActive(bool Value);
    void COMRemoved() override;

    // Settings; every change takes effect at the next Open.
    int Baudrate() const { return FSettings.Baudrate; }
    void SetBaudrate(int Value);
    BRQ_STORED_PROPERTY(TDataBits, DataBits)
    TParityBit ParityBit() const { return FSettings.ParityBit; }
    void SetParityBit(TParityBit Value) { FSettings.ParityBit = Value; }
    bool ParityCheck() const { return FSettings.ParityBit != TParityBit::none; }
    BRQ_STORED_PROPERTY(TStopBits, StopBits)
    void SetBufSizeTrm(int Value);
    void SetBufSizeRec(int Value);
    BRQ_STORED_PROPERTY(bool, HandshakeRtsCts)
    BRQ_STORED_PROPERTY(bool, HandshakeDtrDsr)
    BRQ_STORED_PROPERTY(bool, HandshakeXOnXOff)
    BRQ_STORED_PROPERTY(bool, RTSActive)
    BRQ_STORED_PROPERTY(bool, DTRActive)
    BRQ_STORED_PROPERTY(char, XOnChar)
    BRQ_STORED_PROPERTY(char, XOffChar)
    int XOffLimit() const { return FSettings.XOffLimit; }
    void SetXOffLimit(int Value);
    int XOnLimit() const { return FSettings.XOnLimit; }
    void SetXOnLimit(int Value);
    BRQ_STORED_PROPERTY(char, ErrorChar)
    BRQ_STORED_PROPERTY(char, EofChar)
    BRQ_STORED_PROPERTY(char, EventChar)
    int DataSize() const { return FDataSize.load(); }
    void SetDataSize(int Value);
    BRQ_STORED_PROPERTY(bool, ContinueOnXOff)
    BRQ_STORED_PROPERTY(bool, UseErrorChar)
    BRQ_STORED_PROPERTY(bool, EliminateNullChar)
    BRQ_STORED_PROPERTY(bool, AbortOnError)
    int RecTimeOut() const { return FSettings.RecTimeOut; }
    void SetRecTimeOut(int Value) { FSettings.RecTimeOut = Value < 0 ? 0 : Value; }
    int TrmTimeOut() const { return FSettings.TrmTimeOut; }
    void SetTrmTimeOut(int Value) { FSettings.TrmTimeOut = Value < 0 ? 0 : Value; }
    // Read by the event thread at every wake-up.
    bool SyncEventHandling() const { return FSyncEventHandling.load(); }
    void SetSyncEventHandling(bool Value) { FSyncEventHandling.store(Value); }
    bool EnableEvents() const { return FEnableEvents.load(); }
    void SetEnableEvents(bool Value) { FEnableEvents.store(Value); }
    bool SyncWait() const { return FSyncWait; }
    void SetSyncWait(bool Value) { FSyncWait = Value; }

    // Event handlers; those assigned at Open decide the events waited for.
    TNotifyEvent OnBreak, OnCts, OnDsr, OnError, OnRing, OnDcd, OnRxChar, OnEventChar, OnTxEmpty,
        OnData;
    // The handler of one event bit (OnRxChar for EV_RXCHAR).
    TNotifyEvent HandlerOf(uint32_t EventBit) const;

    // The bound transfer operations.
    void ReadString(QByteArray& S) { (this->*FReadString)(S); }
    int WriteBuf(const void* Buffer, int Count) override {
        return (this->*FWriteBuf)(Buffer, Count);
    }
    int ReadBuf(void* Buffer, int Count) override { return (this->*FReadBuf)(Buffer, Count); }
    int WriteString(const QByteArray& S) { return (this->*FWriteString)(S); }

    using TReadStringOp = void (TSerial::*)(QByteArray&);
    using TWriteBufOp = int (TSerial::*)(const void*, int);
    using TReadBufOp = int (TSerial::*)(void*, int);
    using TWriteStringOp = int (TSerial::*)(const QByteArray&);
    TReadStringOp BoundReadString() const { return FReadString; }
    TWriteBufOp BoundWriteBuf() const { return FWriteBuf; }
    TReadBufOp BoundReadBuf() const { return FReadBuf; }
    TWriteStringOp BoundWriteString() const { return FWriteString; }

    virtual void ReadStringNone(QByteArray& S);
    virtual void ReadStringPlain(QByteArray& S);
    virtual void ReadStringWait(QByteArray& S);
    virtual int WriteBufNone(const void* Buffer, int Count);
    virtual int WriteBufPlain(const void* Buffer, int Count);
    virtual int WriteBufWait(const void* Buffer, int Count);
    virtual int ReadBufNone(void* Buffer, int Count);
    virtual int ReadBufPlain(void* Buffer, int Count);
    virtual int ReadBufWait(void* Buffer, int Count);
    virtual int WriteStringNone(const QByteArray& S);
    virtual int WriteStringPlain(const QByteArray& S);
    virtual int WriteStringWait(const QByteArray& S);

    // Bytes in the receive queue; 0 when closed. Like the driver's status
    // query it clears a latched line error (AbortOnError).
    int RecCount() override;
    void QueueStatus(int& RecCount, int& TrmCount);

    // The settings snapshot and its text form.
    virtual void SetSettings(const TSerialSettings& Settings);
    virtual void GetSettings(TSerialSettings& Settings) const;
    virtual void SettingsToString(const TSerialSettings& Settings, QByteArray& S) const;
    virtual void StringToSettings(const QByteArray& S, TSerialSettings& Settings) const;

    // What the last Open gave the line: the DCB, the time-outs and whether
    // they were set at all (both time-outs 0: not set).
    const TDCB& DCB() const { return FDCB; }
    const TCommTimeouts& CommTimeouts() const { return FTimeouts; }
    bool TimeoutsSet() const { return FTimeoutsSet; }
    // The event bits waited for since the last Open.
    uint32_t EventMaskOfOpen() const { return FEventMask; }
    // Whether the event thread of the current opening still runs, and how
    // often it has woken up.
    bool EventThreadRunning() const;
    uint64_t EventThreadWakeups() const;

    // Where line-change events come from; replaced by tests. Used at Open.
    TLineEventSourceFactory LineEventSourceFactory = MakeModemLineSource;
    // Whether the device's driver reports line errors, so that its input is
    // marked; tests let a pseudo-terminal stand in for one that does.
    bool (*ReportsLineErrors)(int Fd) = SerialDevice::ReportsLineErrors;

private:
    int FLastOpenError = 0;
    enum class TBinding { Closed, Plain, Waiting };
    void Bind(TBinding Binding);
    uint32_t AssignedEvents() const;
    void ReleasePort();
    int ReadInto(void* Buffer, int Count, bool Wait);
    void ReadStringInto(QByteArray& S, bool Wait);
    int WriteFrom(const void* Buffer, int Count, bool Wait);

    bool FIsNT = true;
    TSerialSettings FSettings;
    std::atomic<int> FDataSize{0};
    std::atomic<bool> FSyncEventHandling{false};
    std::atomic<bool> FEnableEvents{true};
    bool FSyncWait = true;

    TDCB FDCB;
    TCommTimeouts FTimeouts;
    bool FTimeoutsSet = false;
    uint32_t FEventMask = 0;
    // Transfers from another thread may race a Close: they work on their own
    // reference to the state.
    std::atomic<std::shared_ptr<TPortState>> FState;

    TReadStringOp FReadString = nullptr;
    TWriteBufOp FWriteBuf = nullptr;
    TReadBufOp FReadBuf = nullptr;
    TWriteStringOp FWriteString = nullptr;
};

#undef BRQ_STORED_PROPERTY
