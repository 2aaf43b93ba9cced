#pragma once

#include "app/capture/Reconnect.h"

#include <functional>

class QObject;
class QTimer;

// Connects the window again by itself when the vanished port of the serial
// link, or the USB converter, returns, by the rules of TReconnect: the port
// manager's list changes drive it for a port, a look at the converter
// library's device list every quarter second for the converter; a
// single-shot timer ("ReconnectTime", its property "Attempts" counting the
// attempts) spaces the attempts.
class TReconnector {
public:
    struct TSeams {
        // The profile and port chosen now, and whether the profile's link is
        // the USB converter.
        std::function<TReconnect::TTarget()> Chosen;
        std::function<bool()> UsbChosen;
        // Whether the target's port, or a converter, is there now.
        std::function<bool(const TReconnect::TTarget&)> Present;
        // Connects as the user would; true when connected afterwards.
        std::function<bool()> Connect;
        // The link is back by itself (a note for the user).
        std::function<void()> Reconnected;
        // Closing stopped the links: nothing connects by itself.
        std::function<bool()> Stopped;
        // Runs a timer's work as the window runs its handlers.
        std::function<void(const std::function<void()>&)> Guarded;
    };

    // The timer becomes a child of owner.
    TReconnector(QObject& owner, TSeams seams);

    // The chosen port or converter vanished: wait for it (when enabled).
    void Lost(bool enabled);
    // The port manager's list changed.
    void PortsChanged();
    // The user chose a profile or a port, or connected by hand; a connect
    // of the reconnector's own does not end the wait.
    void UserConnects();
    // Data arrived over the link: it works.
    void Proved() { FReconnect.Proved(); }
    // The links were taken up again after a refused close: the wait goes on.
    void GoOn();

private:
    void Try();

    TSeams FSeams;
    TReconnect FReconnect;
    QTimer* FTimer;
    bool FConnecting = false; // the connect is the reconnector's own
};
