#pragma once

#include "platform/TThread.h"
#include "usb/D2xxTypes.h"

#include <QByteArray>

#include <functional>

class TD2xxUnit;

// The event the converter library signals when characters arrive: its
// condition variable and mutex, behaving as an auto-reset event that starts
// unsignalled. A library that raises iVar with its signal cannot lose one
// given while nobody waits; one that only signals wakes a waiter all the same.
class TD2xxEvent {
public:
    TD2xxEvent();
    ~TD2xxEvent();
    TD2xxEvent(const TD2xxEvent&) = delete;
    TD2xxEvent& operator=(const TD2xxEvent&) = delete;

    d2xx::EVENT_HANDLE* Handle() { return &FHandle; }
    // Waits until signalled or at most timeoutMs, then resets.
    void WaitFor(int timeoutMs);
    void Signal();

private:
    d2xx::EVENT_HANDLE FHandle{};
};

// Reads what the open converter receives and hands each chunk to the main
// thread, waiting until it was handled there. Its creator stops it (Stop,
// then WaitFor on the main thread, which serves a pending hand-over, so the
// chunk is not lost) and frees it before closing the device.
class TUSBReceiveThread final : public platform::TThread {
public:
    using TTextEvent = std::function<void(const QByteArray& text)>;
    using TLostEvent = std::function<void()>;

    static constexpr d2xx::DWORD ChunkSize = 65;
    static constexpr int WaitMs = 100;

    // Starts at once, its fields set. onLost is called (synchronised, once)
    // when the converter went away; the thread then ends.
    TUSBReceiveThread(TD2xxUnit& d2xx, d2xx::FT_HANDLE handle, TTextEvent onText,
                      TLostEvent onLost = {});
    ~TUSBReceiveThread() override;

    // Terminate, and wake the thread so it need not finish its wait first.
    void Stop();

protected:
    void Execute() override;

private:
    void ReceiveWaiting();
    void ReadChunk();
    d2xx::FT_STATUS GetStatus(d2xx::DWORD& waiting, d2xx::DWORD& events);
    void DeliverText();

    TD2xxUnit& FD2xx;
    const d2xx::FT_HANDLE FHandle;
    const TTextEvent FOnText;
    const TLostEvent FOnLost;
    TD2xxEvent FEvent; // signalled by the library when characters arrive
    QByteArray FText;  // the chunk being handed over
};
