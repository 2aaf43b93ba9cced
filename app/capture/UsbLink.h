#pragma once

#include "app/capture/Links.h"
#include "usb/D2xxTypes.h"
#include "usb/USBReceiveThread.h"

#include <cstdint>
#include <functional>
#include <memory>

class TD2xxUnit;

// The USB converter: opened by its description and configured at connect,
// read by a receive thread that hands each chunk to the main thread.
// Connected when the open succeeded; a failed open leaves nothing open.
class TUsbLink : public TLink {
public:
    static constexpr const char* Description = "Velmarod K65";
    // Told which connect the pulled converter belonged to (Connection()).
    using TLostEvent = std::function<void(uint64_t connection)>;

    // onLost: the open converter was pulled out (synchronised, from the
    // receive thread, which then ends).
    TUsbLink(TD2xxUnit& d2xx, TUSBReceiveThread::TTextEvent onText, TLostEvent onLost = {});
    ~TUsbLink() override;
    TUsbLink(const TUsbLink&) = delete;
    TUsbLink& operator=(const TUsbLink&) = delete;

    bool Connect() override;
    void Disconnect() override;
    // The converter stays open while paused; only the prompt timer stops.
    void Pause() override {}
    bool Resume() override { return true; }
    // Whether the library lists a converter at all; asks without a box.
    bool Present() const;
    // The number of the latest connect: a notice about an earlier one comes
    // too late to act on.
    uint64_t Connection() const { return FConnection; }

    d2xx::FT_HANDLE USBHandle = nullptr; // the open converter; null when none
    std::unique_ptr<TUSBReceiveThread> USBThread;

private:
    TD2xxUnit& FD2xx;
    TUSBReceiveThread::TTextEvent FOnText;
    TLostEvent FOnLost;
    uint64_t FConnection = 0;
};
