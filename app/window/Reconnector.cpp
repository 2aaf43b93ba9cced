#include "app/window/Reconnector.h"

#include <QTimer>
#include <QVariant>

#include <chrono>

namespace {

// How often the converter library is asked whether a converter is back.
constexpr int kUsbLookMs = 250;

int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

TReconnector::TReconnector(QObject& owner, TSeams seams)
    : FSeams(std::move(seams)), FTimer(new QTimer(&owner)) {
    FTimer->setObjectName(QStringLiteral("ReconnectTime"));
    FTimer->setSingleShot(true);
    FTimer->setProperty("Attempts", 0);
    QObject::connect(FTimer, &QTimer::timeout, FTimer,
                     [this] { FSeams.Guarded([this] { Try(); }); });
}

void TReconnector::Lost(bool enabled) {
    FReconnect.SetEnabled(enabled);
    FReconnect.Lost(FSeams.Chosen(), SteadyMs());
    FTimer->stop();
    // Nothing tells when a converter comes back: look for it.
    if (FReconnect.Pending() && FSeams.UsbChosen())
        FTimer->start(kUsbLookMs);
}

void TReconnector::PortsChanged() {
    if (FReconnect.Pending() && !FTimer->isActive())
        FTimer->start(0);
}

void TReconnector::UserConnects() {
    if (FConnecting)
        return;
    FReconnect.Cancel();
    FTimer->stop();
}

void TReconnector::GoOn() {
    if (FReconnect.Pending() && !FTimer->isActive())
        FTimer->start(0);
}

void TReconnector::Try() {
    if (FSeams.Stopped())
        return; // the wait goes on if the close is refused
    const TReconnect::TTarget target = FReconnect.Target();
    const TReconnect::TTarget chosen = FSeams.Chosen();
    if (!FReconnect.Pending() || target.Profile != chosen.Profile || target.Port != chosen.Port) {
        FReconnect.Cancel();
        return;
    }
    const bool usb = FSeams.UsbChosen();
    const std::optional<int64_t> due = FReconnect.DueAt(FSeams.Present(target));
    if (!due) {
        // A port's return is told by the manager; a converter's is looked for.
        if (usb && FReconnect.Pending())
            FTimer->start(kUsbLookMs);
        return;
    }
    const int64_t now = SteadyMs();
    if (*due > now) {
        FTimer->start(static_cast<int>(*due - now));
        return;
    }
    // A connect like the user's, but one that does not end the wait.
    FConnecting = true;
    const bool connected = FSeams.Connect();
    FConnecting = false;
    FReconnect.Attempted(connected, now);
    FTimer->setProperty("Attempts", FReconnect.Attempts());
    if (connected)
        FSeams.Reconnected();
    else
        Try(); // arms the timer for the next try, if the port is still there
}
