// Connecting again by itself when the vanished port of the serial link
// returns: the port manager's list changes drive it, a single-shot timer
// spaces the attempts.
#include "app/TMainScreen.h"

#include "app/Texts.h"
#include "serial/TCOMManager.h"

#include <QAction>
#include <QTimer>

#include <chrono>

namespace {

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
    if (self->FReconnect.Pending() && !self->ReconnectTime->isActive())
        self->ReconnectTime->start(0);
}

void TMainScreen::ReconnectWhenBack() {
    FReconnect.SetEnabled(Settings.AutoReconnect);
    FReconnect.Lost({.Profile = Settings.Device, .Port = Settings.Port}, SteadyMs());
    ReconnectTime->stop();
}

void TMainScreen::TryReconnect() {
    const TReconnect::TTarget target = FReconnect.Target();
    if (!FReconnect.Pending() || target.Profile != Settings.Device ||
        target.Port != Settings.Port) {
        FReconnect.Cancel();
        return;
    }
    const bool present = COMManager != nullptr && COMManager->HasPort(target.Port);
    const std::optional<int64_t> due = FReconnect.DueAt(present);
    if (!due)
        return; // the port's return is told by the manager
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
        ShowStatusNote(TStatusNote::Reconnected, Translated("Verbindung wiederhergestellt"));
    else
        TryReconnect(); // arms the timer for the next try, if the port is still there
}
