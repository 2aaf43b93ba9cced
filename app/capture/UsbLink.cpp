#include "app/capture/UsbLink.h"

#include "usb/D2XXUnit.h"

TUsbLink::TUsbLink(TD2xxUnit& d2xx, TUSBReceiveThread::TTextEvent onText, TLostEvent onLost)
    : FD2xx(d2xx), FOnText(std::move(onText)), FOnLost(std::move(onLost)) {}

TUsbLink::~TUsbLink() {
    Disconnect();
}

bool TUsbLink::Connect() {
    ++FConnection;
    USBHandle = nullptr;
    // From the first connect on, the library's failures are only returned.
    FD2xx.D2xxReportErrors = false;
    if (FD2xx.Open_USB_Device_By_Device_Description(USBHandle, Description) != d2xx::FT_OK) {
        // A library may leave a handle behind a failed open. A link that is
        // not connected is never disconnected, so a thread started on it
        // would run on past the library: the handle is closed here instead.
        if (USBHandle != nullptr)
            FD2xx.D2xx_Close(USBHandle);
        USBHandle = nullptr;
        return false;
    }
    if (USBHandle != nullptr) {
        // A setting the converter refuses leaves it as it is: not checked.
        FD2xx.D2xx_SetLatencyTimer(USBHandle, 10);
        FD2xx.D2xx_SetUSBParameters(USBHandle, 32, 32);
        FD2xx.D2xx_SetBaudRate(USBHandle, 1200);
        FD2xx.D2xx_SetDataCharacteristics(USBHandle, 8, 0, 0); // 8 data bits, 1 stop bit, no parity
        FD2xx.D2xx_SetFlowControl(USBHandle, 0, 0x11, 0x13);
        FD2xx.D2xx_SetTimeouts(USBHandle, 50, 50);
        TUSBReceiveThread::TLostEvent lost;
        if (FOnLost)
            lost = [this, connection = FConnection] { FOnLost(connection); };
        USBThread = std::make_unique<TUSBReceiveThread>(FD2xx, USBHandle, FOnText, lost);
    }
    return true;
}

void TUsbLink::Disconnect() {
    // The thread goes first, so the device is never closed under a read; a
    // chunk it is handing over is inserted during the wait.
    if (USBThread) {
        USBThread->Stop();
        USBThread->WaitFor();
        USBThread.reset();
    }
    if (USBHandle != nullptr)
        FD2xx.D2xx_Close(USBHandle);
    USBHandle = nullptr;
}

bool TUsbLink::Present() const {
    constexpr d2xx::DWORD ListNumberOnly = 0x80000000;
    const auto list = FD2xx.Entry<d2xx::TFT_ListDevices>(TD2xxEntry::FT_ListDevices);
    d2xx::DWORD count = 0;
    return list != nullptr && list(&count, nullptr, ListNumberOnly) == d2xx::FT_OK && count > 0;
}
