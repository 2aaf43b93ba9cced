#include "usb/USBReceiveThread.h"

#include "usb/D2XXUnit.h"

#include <array>
#include <ctime>

using namespace d2xx;

TD2xxEvent::TD2xxEvent() {
    // The event is ours, so its clock is too: a monotonic one, which a
    // change of the wall clock cannot stretch.
    pthread_condattr_t attributes;
    ::pthread_condattr_init(&attributes);
    ::pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    ::pthread_cond_init(&FHandle.eCondVar, &attributes);
    ::pthread_condattr_destroy(&attributes);
    ::pthread_mutex_init(&FHandle.eMutex, nullptr);
}

TD2xxEvent::~TD2xxEvent() {
    ::pthread_cond_destroy(&FHandle.eCondVar);
    ::pthread_mutex_destroy(&FHandle.eMutex);
}

void TD2xxEvent::WaitFor(int timeoutMs) {
    timespec deadline{};
    ::clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += timeoutMs / 1000;
    deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1'000'000L;
    if (deadline.tv_nsec >= 1'000'000'000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1'000'000'000L;
    }
    ::pthread_mutex_lock(&FHandle.eMutex);
    // One wait: any wake-up, even a spurious one, only costs a status poll.
    if (FHandle.iVar == 0)
        ::pthread_cond_timedwait(&FHandle.eCondVar, &FHandle.eMutex, &deadline);
    FHandle.iVar = 0;
    ::pthread_mutex_unlock(&FHandle.eMutex);
}

void TD2xxEvent::Signal() {
    SignalEventHandle(FHandle);
}

TUSBReceiveThread::TUSBReceiveThread(TD2xxUnit& d2xx, FT_HANDLE handle, TTextEvent onText,
                                     TLostEvent onLost)
    : FD2xx(d2xx), FHandle(handle), FOnText(std::move(onText)), FOnLost(std::move(onLost)) {
    Start();
}

TUSBReceiveThread::~TUSBReceiveThread() {
    // Execute uses the fields of this class: stop before they go.
    Stop();
    WaitFor();
}

void TUSBReceiveThread::Stop() {
    Terminate();
    FEvent.Signal();
}

void TUSBReceiveThread::Execute() {
    // A library lacking the entry point still gets polled every wait.
    const auto notify = FD2xx.Entry<TFT_SetEventNotification>(TD2xxEntry::FT_SetEventNotification);
    if (notify != nullptr)
        notify(FHandle, FT_EVENT_RXCHAR, FEvent.Handle());
    do {
        FEvent.WaitFor(WaitMs);
        ReceiveWaiting();
    } while (!Terminated());
    if (notify != nullptr)
        notify(FHandle, 0, FEvent.Handle());
}

void TUSBReceiveThread::ReceiveWaiting() {
    DWORD waiting = 0;
    DWORD events = 0;
    const FT_STATUS status = GetStatus(waiting, events);
    if (status == FT_IO_ERROR || status == FT_DEVICE_NOT_FOUND) {
        // The converter was pulled out: its handle never works again.
        if (FOnLost && !Terminated())
            Synchronize([this] { FOnLost(); });
        Terminate();
        return;
    }
    if (status != FT_OK || (events & FT_EVENT_RXCHAR) == 0)
        return;
    // A burst longer than one chunk is read to its end before the next wait:
    // the rest would otherwise wait until the gauge sends again.
    do
        ReadChunk();
    while (!Terminated() && GetStatus(waiting, events) == FT_OK && waiting > 0);
}

void TUSBReceiveThread::ReadChunk() {
    std::array<char, ChunkSize + 1> buffer{};
    const DWORD count = FD2xx.D2xx_Read(FHandle, buffer.data(), ChunkSize);
    buffer[count] = '\0';
    // Every byte read goes over: the editor drops a NUL, not what follows it.
    FText = QByteArray(buffer.data(), static_cast<qsizetype>(count));
    if (!FText.isEmpty())
        Synchronize([this] { DeliverText(); });
}

FT_STATUS TUSBReceiveThread::GetStatus(DWORD& waiting, DWORD& events) {
    const auto getStatus = FD2xx.Entry<TFT_GetStatus>(TD2xxEntry::FT_GetStatus);
    if (getStatus == nullptr)
        return FT_INVALID_HANDLE; // as the wrappers answer for an entry not bound
    DWORD sending = 0;
    return getStatus(FHandle, &waiting, &sending, &events);
}

void TUSBReceiveThread::DeliverText() {
    if (FOnText)
        FOnText(FText);
}
