// The line a vanished port or converter was sending, and connecting again
// by itself when the vanished port of the serial link, or the USB
// converter, returns: the port manager's list changes drive it for a
// port, a look at the converter library's device list every quarter second
// for the converter; a single-shot timer spaces the attempts.
#include "app/window/TMainScreen.h"

#include "app/texts/Texts.h"
#include "serial/TCOMManager.h"

#include <QAction>
#include <QTimer>

#include <chrono>

namespace {

// How often the converter library is asked whether a converter is back.
constexpr int kUsbLookMs = 250;

int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

void TMainScreen::BuildReconnect() {
    ReconnectTime = new QTimer(this);
    ReconnectTime->setObjectName(QStringLiteral("ReconnectTime"));
    ReconnectTime->setSingleShot(true);
    ReconnectTime->setProperty("Attempts", 0);
    connect(ReconnectTime, &QTimer::timeout, this,
            [this] { RunGuarded([this] { TryReconnect(); }); });
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
    if (self->FReconnect.Pending() && !self->ReconnectTime->isActive())
        self->ReconnectTime->start(0);
}

void TMainScreen::ReconnectWhenBack() {
    FReconnect.SetEnabled(Settings.AutoReconnect);
    FReconnect.Lost({.Profile = Settings.Device, .Port = Settings.Port}, SteadyMs());
    ReconnectTime->stop();
    // Nothing tells when a converter comes back: look for it.
    if (FReconnect.Pending() && ChosenProfile().Link == TLinkKind::Usb)
        ReconnectTime->start(kUsbLookMs);
}

void TMainScreen::UsbConverterLost(uint64_t connection) {
    // The user may have connected again before this notice came through.
    if (connection != FUsbLink->Connection() || ChosenProfile().Link != TLinkKind::Usb ||
        !FConnection->Connected())
        return;
    EndVanishedLine(TLinkKind::Usb);
    act_interface_disconneced->trigger(); // "Getrennt", not a dead "Verbunden..."
    ReconnectWhenBack();
}

// Unlike a pause or a disconnect, after which the gauge goes on with its
// line, a port or converter that vanished ends the line it was sending: the
// next bytes belong to another reading, perhaps of another gauge. What came
// of the line goes into the document as a line of its own. It is no reading
// of the series: a value cut short would bend its figures.
void TMainScreen::EndVanishedLine(TLinkKind link) {
    FSession.EndLine(link);
}

void TMainScreen::TryReconnect() {
    if (FLinksStopped)
        return; // the wait goes on if the close is refused
    const TReconnect::TTarget target = FReconnect.Target();
    if (!FReconnect.Pending() || target.Profile != Settings.Device ||
        target.Port != Settings.Port) {
        FReconnect.Cancel();
        return;
    }
    const bool usb = ChosenProfile().Link == TLinkKind::Usb;
    const bool present =
        usb ? FUsbLink->Present() : COMManager != nullptr && COMManager->HasPort(target.Port);
    const std::optional<int64_t> due = FReconnect.DueAt(present);
    if (!due) {
        // A port's return is told by the manager; a converter's is looked for.
        if (usb && FReconnect.Pending())
            ReconnectTime->start(kUsbLookMs);
        return;
    }
    const int64_t now = SteadyMs();
    if (*due > now) {
        ReconnectTime->start(static_cast<int>(*due - now));
        return;
    }
    // A connect like the user's, but one that does not end the wait.
    FAutoConnecting = true;
    act_interface_conneced->trigger();
    FAutoConnecting = false;
    const bool connected = FConnection->Connected();
    FReconnect.Attempted(connected, now);
    ReconnectTime->setProperty("Attempts", FReconnect.Attempts());
    if (connected)
        FStatusBar->ShowNote(TStatusNote::Reconnected, Translated("Verbindung wiederhergestellt"));
    else
        TryReconnect(); // arms the timer for the next try, if the port is still there
}
