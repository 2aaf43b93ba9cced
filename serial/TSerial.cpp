#include "serial/TSerial.h"

#include <cerrno>

#include "serial/PortState.h"
#include "serial/SerialDevice.h"
#include "serial/TCOMManager.h"
#include "serial/TSerThread.h"

#include <algorithm>

#include <unistd.h>

namespace {
constexpr int kMinQueue = 4096;
constexpr int kBaudBase = 9216000;
} // namespace

TSerial::TSerial(QObject* Owner) : TCustomSerial(Owner) {
    // The class defaults.
    FSettings.Baudrate = 9600;
    FSettings.DataBits = TDataBits::db_8;
    FSettings.XOnChar = 0x11;
    FSettings.XOffChar = 0x13;
    FSettings.XOffLimit = 8192;
    FSettings.XOnLimit = 512;
    FSettings.ErrorChar = '?';
    FSettings.EofChar = 0x1A;
    FSettings.EventChar = 0x0D;
    Bind(TBinding::Closed);
}

TSerial::~TSerial() {
    Close();
}

// The rule is 9216000 div (9216000 div v), clamped to 50..921600. Where it
// would divide by zero: 0 gives 50, values above 9216000 give 921600, values
// below -9216000 give 50.
void TSerial::SetBaudrate(int Value) {
    int rate = 0;
    if (Value == 0 || Value < -kBaudBase)
        rate = 50;
    else if (Value > kBaudBase)
        rate = 921600;
    else
        rate = kBaudBase / (kBaudBase / Value);
    FSettings.Baudrate = std::clamp(rate, 50, 921600);
}

void TSerial::SetBufSizeTrm(int Value) {
    FBufSizeTrm = std::max(Value, kMinQueue);
}

void TSerial::SetBufSizeRec(int Value) {
    FBufSizeRec = std::max(Value, kMinQueue);
    if (FSettings.XOffLimit > FBufSizeRec)
        FSettings.XOffLimit = FBufSizeRec;
    if (FSettings.XOnLimit >= FSettings.XOffLimit)
        FSettings.XOnLimit = FSettings.XOffLimit - 1;
}

void TSerial::SetXOffLimit(int Value) {
    if (Value <= FSettings.XOnLimit)
        Value = FSettings.XOnLimit + 1;
    FSettings.XOffLimit = std::min(Value, FBufSizeRec);
}

void TSerial::SetXOnLimit(int Value) {
    if (Value >= FSettings.XOffLimit)
        Value = FSettings.XOffLimit - 1;
    FSettings.XOnLimit = std::max(Value, 0);
}

void TSerial::SetDataSize(int Value) {
    FDataSize.store(std::clamp(Value, 0, FBufSizeRec));
}

void TSerial::SetActive(bool Value) {
    if (Value && !FActive)
        FActive = Open();
    else if (!Value && FActive)
        Close();
}

TNotifyEvent TSerial::HandlerOf(uint32_t EventBit) const {
    using namespace CommEvent;
    switch (EventBit) {
    case EV_RXCHAR:
        return OnRxChar;
    case EV_RXFLAG:
        return OnEventChar;
    case EV_TXEMPTY:
        return OnTxEmpty;
    case EV_CTS:
        return OnCts;
    case EV_DSR:
        return OnDsr;
    case EV_RLSD:
        return OnDcd;
    case EV_BREAK:
        return OnBreak;
    case EV_ERR:
        return OnError;
    case EV_RING:
        return OnRing;
    default:
        return {};
    }
}

uint32_t TSerial::AssignedEvents() const {
    using namespace CommEvent;
    uint32_t mask = (OnRxChar || OnData) ? EV_RXCHAR : 0;
    for (const uint32_t bit :
         {EV_RXFLAG, EV_TXEMPTY, EV_CTS, EV_DSR, EV_RLSD, EV_BREAK, EV_ERR, EV_RING})
        if (HandlerOf(bit))
            mask |= bit;
    return mask;
}

bool TSerial::Open() {
    if (FActive)
        return false;
    FLastOpenError = ENOENT; // no port chosen is no device
    if (FCOMPort <= 0)
        return false;
    FLastOpenError = EINVAL; // until the device says otherwise
    TSerialSettings settings;
    GetSettings(settings);
    if (!MakeDCB(settings, FDCB))
        return false;
    FTimeoutsSet = settings.RecTimeOut > 0 || settings.TrmTimeOut > 0;
    FTimeouts = FTimeoutsSet ? MakeTimeouts(FDCB.BaudRate, settings.RecTimeOut, settings.TrmTimeOut)
                             : TCommTimeouts{};
    FEventMask = AssignedEvents();
    const int fd = SerialDevice::Open(PortDevicePath(FCOMPort));
    if (fd < 0) {
        FLastOpenError = errno;
        return false;
    }
    TPortState::TConfig config;
    config.Capacity = FBufSizeRec;
    // The error character stands in for bytes with parity errors: without
    // parity a byte with a framing error is delivered as received.
    const bool errorChar =
        (FDCB.Flags & DCBFlag::fErrorChar) != 0 && (FDCB.Flags & DCBFlag::fParity) != 0;
    const bool marked = ReportsLineErrors(fd);
    config.Queue = {FDCB.EvtChar, (FDCB.Flags & DCBFlag::fNull) != 0, errorChar, FDCB.ErrorChar,
                    marked};
    config.AbortOnError = (FDCB.Flags & DCBFlag::fAbortOnError) != 0;
    config.DsrFlow = (FDCB.Flags & DCBFlag::fOutxDsrFlow) != 0;
    config.DtrHandshake = DtrControl(FDCB) == DCBFlag::ControlHandshake;
    config.XOffLimit = settings.XOffLimit;
    config.XOnLimit = settings.XOnLimit;
    config.TransmitCapacity = FBufSizeTrm;
    config.BaudRate = FDCB.BaudRate;
    config.Timeouts = FTimeouts;
    config.EventMask = FEventMask;
    // The state owns the descriptor from here: dropping it on a failure
    // undoes every step taken so far.
    std::shared_ptr<TPortState> state;
    try {
        state = std::make_shared<TPortState>(fd, config, this);
    } catch (const std::bad_alloc&) {
        SerialDevice::Detach(fd);
        ::close(fd);
        return false;
    }
    if (!state->Usable() || !SerialDevice::Apply(fd, FDCB, marked)) {
        FLastOpenError = errno != 0 ? errno : EIO;
        return false;
    }
    // The DTR/DSR handshake needs the thread (it follows DSR) and the lines.
    const bool threaded = FEventMask != 0 || config.DsrFlow;
    if ((threaded || config.DtrHandshake) && LineEventSourceFactory)
        state->LineEvents = LineEventSourceFactory();
    FState.store(state);
    // Without its event thread the port could not report anything: a failure
    // to start one fails the Open like any other step.
    if (threaded && !TSerThread::Launch(this, state)) {
        FState.store(nullptr);
        return false;
    }
    Bind(FIsNT ? TBinding::Waiting : TBinding::Plain);
    FActive = true;
    FLastOpenError = 0;
    if (COMManager != nullptr)
        COMManager->UpdateOwner(this);
    return true;
}

// Lets go of the port without waiting for the event thread: it is woken, ends
// on its own and frees itself; the shared state outlives whichever is last.
void TSerial::ReleasePort() {
    if (const std::shared_ptr<TPortState> state = FState.load()) {
        state->Shutdown();
        state->DetachOwner();
        FState.store(nullptr);
    }
    Bind(TBinding::Closed);
}

void TSerial::Close() {
    if (!FActive)
        return;
    ReleasePort();
    FActive = false;
    if (COMManager != nullptr)
        COMManager->UpdateOwner(this);
}

// The device is gone. Its descriptor is closed here too; only the manager's
// owner record is left alone (the manager has already dropped the port).
void TSerial::COMRemoved() {
    ReleasePort();
    TCustomSerial::COMRemoved();
}

bool TSerial::EventThreadRunning() const {
    const std::shared_ptr<TPortState> state = FState.load();
    return state && state->ThreadRunning.load();
}

uint64_t TSerial::EventThreadWakeups() const {
    const std::shared_ptr<TPortState> state = FState.load();
    return state ? state->Wakeups.load() : 0;
}

void TSerial::Bind(TBinding Binding) {
    switch (Binding) {
    case TBinding::Closed:
        FReadString = &TSerial::ReadStringNone;
        FWriteBuf = &TSerial::WriteBufNone;
        FReadBuf = &TSerial::ReadBufNone;
        FWriteString = &TSerial::WriteStringNone;
        break;
    case TBinding::Plain:
        FReadString = &TSerial::ReadStringPlain;
        FWriteBuf = &TSerial::WriteBufPlain;
        FReadBuf = &TSerial::ReadBufPlain;
        FWriteString = &TSerial::WriteStringPlain;
        break;
    case TBinding::Waiting:
        FReadString = &TSerial::ReadStringWait;
        FWriteBuf = &TSerial::WriteBufWait;
        FReadBuf = &TSerial::ReadBufWait;
        FWriteString = &TSerial::WriteStringWait;
        break;
    }
}

// The status query clears a latched line error, as the driver's does.
int TSerial::RecCount() {
    const std::shared_ptr<TPortState> state = FState.load();
    return state ? state->Status() : 0;
}

void TSerial::QueueStatus(int& RecCount, int& TrmCount) {
    RecCount = 0;
    TrmCount = 0;
    const std::shared_ptr<TPortState> state = FState.load();
    if (!state)
        return;
    RecCount = state->Status();
    TrmCount = state->OutputCount();
}

// Closed-state variants: nothing to move, the platform untouched.
void TSerial::ReadStringNone(QByteArray& S) {
    S.clear();
}
int TSerial::WriteBufNone(const void*, int) {
    return 0;
}
int TSerial::ReadBufNone(void*, int) {
    return 0;
}
int TSerial::WriteStringNone(const QByteArray&) {
    return 0;
}

// The plain variants take what is done at once; the waiting ones wait for
// the rest when SyncWait says so (or until the read time-outs or the port's
// close end the wait).
void TSerial::ReadStringPlain(QByteArray& S) {
    ReadStringInto(S, false);
}

void TSerial::ReadStringWait(QByteArray& S) {
    ReadStringInto(S, FSyncWait);
}

void TSerial::ReadStringInto(QByteArray& S, bool Wait) {
    const std::shared_ptr<TPortState> state = FState.load();
    const int n = state ? state->Status() : 0;
    // Zero bytes stand in the tail if fewer bytes than counted arrive.
    S = QByteArray(n, '\0');
    if (n > 0)
        state->Read(reinterpret_cast<uint8_t*>(S.data()), n, Wait);
}

int TSerial::WriteBufPlain(const void* Buffer, int Count) {
    return WriteFrom(Buffer, Count, false);
}

int TSerial::WriteBufWait(const void* Buffer, int Count) {
    return WriteFrom(Buffer, Count, FSyncWait);
}

int TSerial::WriteFrom(const void* Buffer, int Count, bool Wait) {
    const std::shared_ptr<TPortState> state = FState.load();
    if (!state || Count <= 0)
        return 0;
    return state->Write(static_cast<const uint8_t*>(Buffer), Count, Wait);
}

int TSerial::ReadInto(void* Buffer, int Count, bool Wait) {
    const std::shared_ptr<TPortState> state = FState.load();
    if (!state || Count <= 0)
        return 0;
    const int n = FSyncWait ? Count : std::min(state->Status(), Count);
    return n > 0 ? state->Read(static_cast<uint8_t*>(Buffer), n, Wait) : 0;
}

int TSerial::ReadBufPlain(void* Buffer, int Count) {
    return ReadInto(Buffer, Count, false);
}

int TSerial::ReadBufWait(void* Buffer, int Count) {
    return ReadInto(Buffer, Count, FSyncWait);
}

int TSerial::WriteStringPlain(const QByteArray& S) {
    return WriteBufPlain(S.constData(), static_cast<int>(S.size()));
}

int TSerial::WriteStringWait(const QByteArray& S) {
    return WriteBufWait(S.constData(), static_cast<int>(S.size()));
}

void TSerial::GetSettings(TSerialSettings& Settings) const {
    Settings = FSettings;
    Settings.COMPort = FCOMPort;
    Settings.BufSizeTrm = FBufSizeTrm;
    Settings.BufSizeRec = FBufSizeRec;
    Settings.Valid = true;
}

void TSerial::SetSettings(const TSerialSettings& S) {
    if (!S.Valid)
        return;
    SetCOMPort(S.COMPort);
    SetBaudrate(S.Baudrate);
    SetDataBits(S.DataBits);
    SetParityBit(S.ParityBit);
    SetStopBits(S.StopBits);
    SetBufSizeTrm(S.BufSizeTrm);
    SetBufSizeRec(S.BufSizeRec);
    SetHandshakeRtsCts(S.HandshakeRtsCts);
    SetHandshakeDtrDsr(S.HandshakeDtrDsr);
    SetHandshakeXOnXOff(S.HandshakeXOnXOff);
    SetRTSActive(S.RTSActive);
    SetDTRActive(S.DTRActive);
    SetXOnChar(S.XOnChar);
    SetXOffChar(S.XOffChar);
    SetXOffLimit(S.XOffLimit);
    SetXOnLimit(S.XOnLimit);
    SetErrorChar(S.ErrorChar);
    SetEofChar(S.EofChar);
    SetEventChar(S.EventChar);
    SetContinueOnXOff(S.ContinueOnXOff);
    SetUseErrorChar(S.UseErrorChar);
    SetEliminateNullChar(S.EliminateNullChar);
    SetAbortOnError(S.AbortOnError);
    SetRecTimeOut(S.RecTimeOut);
    SetTrmTimeOut(S.TrmTimeOut);
}

void TSerial::SettingsToString(const TSerialSettings& Settings, QByteArray& S) const {
    S = EncodeSettings(Settings);
}

void TSerial::StringToSettings(const QByteArray& S, TSerialSettings& Settings) const {
    GetSettings(Settings);
    DecodeSettings(S, Settings);
}
