// The line a vanished port or converter was sending, and connecting again
// by itself when it returns (the reconnector's rules, the window's links).
#include "app/window/TMainScreen.h"

#include "app/texts/Texts.h"
#include "serial/TCOMManager.h"

#include <QTimer>

void TMainScreen::BuildReconnect() {
    FReconnector = std::make_unique<TReconnector>(
        *this, TReconnector::TSeams{
                   .Chosen =
                       [this] {
                           return TReconnect::TTarget{Settings.Device, Settings.Port};
                       },
                   .UsbChosen = [this] { return ChosenProfile().Link == TLinkKind::Usb; },
                   .Present =
                       [this](const TReconnect::TTarget& target) {
                           if (ChosenProfile().Link == TLinkKind::Usb)
                               return FUsbLink->Present();
                           return COMManager != nullptr && COMManager->HasPort(target.Port);
                       },
                   .Connect =
                       [this] {
                           act_interface_conneced->trigger();
                           return FConnection->Connected();
                       },
                   .Reconnected =
                       [this] {
                           FStatusBar->ShowNote(TStatusNote::Reconnected,
                                                Translated("Verbindung wiederhergestellt"));
                       },
                   .Stopped = [this] { return FLinksStopped; },
                   .Guarded = [this](const std::function<void()>& work) { RunGuarded(work); }});
    if (COMManager == nullptr)
        return;
    COMManager->AddListener({&TMainScreen::PortsChanged, this});
    // The manager outlives the window; it must not call a window that is gone.
    FPortListener = std::shared_ptr<void>(this, [](void* window) {
        if (COMManager != nullptr)
            COMManager->RemoveListener({&TMainScreen::PortsChanged, window});
    });
}

void TMainScreen::PortsChanged(void* window) {
    auto* self = static_cast<TMainScreen*>(window);
    // Not from inside the manager's rescan, which is still sorting its list:
    // from the event loop, once for the two notices of one change.
    if (!self->FComItemsDue) {
        self->FComItemsDue = true;
        QTimer::singleShot(0, self,
                           [self] { self->RunGuarded([self] { self->FollowComPorts(); }); });
    }
    self->FReconnector->PortsChanged();
}

void TMainScreen::ReconnectWhenBack() {
    FReconnector->Lost(Settings.AutoReconnect);
}

void TMainScreen::UsbConverterLost(uint64_t connection) {
    // The user may have connected again before this notice came through.
    if (connection != FUsbLink->Connection() || ChosenProfile().Link != TLinkKind::Usb ||
        !FConnection->Connected())
        return;
    FSession.EndLine(TLinkKind::Usb);
    act_interface_disconneced->trigger(); // "Getrennt", not a dead "Verbindung..."
    ReconnectWhenBack();
}
