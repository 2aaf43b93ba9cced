// The USB converter's part of the main window: its link and the hand-over of
// what the converter receives.
#include "app/window/TMainScreen.h"

#include "app/capture/UsbLink.h"
#include "usb/D2XXUnit.h"

#include <QMetaObject>

void TMainScreen::BuildUsb() {
    // Runs on the main thread, while the receive thread waits for it.
    FUsbLink = std::make_unique<TUsbLink>(
        *FD2xx, [this](const QByteArray& text) { RunGuarded([&] { AddReceivedText(text); }); },
        [this](uint64_t connection) {
            // Not while the thread waits for this call: the disconnect waits
            // for the thread.
            QMetaObject::invokeMethod(
                this, [this, connection] { RunGuarded([&] { UsbConverterLost(connection); }); },
                Qt::QueuedConnection);
        });
    FConnection->SetLink(TLinkKind::Usb, FUsbLink.get());
}
