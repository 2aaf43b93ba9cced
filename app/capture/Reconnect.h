#pragma once

#include <cstdint>
#include <optional>

// When to connect again by itself a serial link whose port vanished: it waits
// for the same port while the same profile stays chosen, and any choice of
// the user (a profile, a port, a connect by hand) ends the wait.
//
// A loose connector makes the port come and go many times a second; every
// attempt made soon after the previous one waits longer than the one before,
// so the port is never tried more than a few times a second. The back-off
// starts afresh once a re-established link has carried data or lasted a
// while: a gauge plugged in again by hand is taken up at once.
//
// It owns no clock: the caller passes the time in ms of a steady clock.
class TReconnect {
public:
    static constexpr int64_t FirstDelayMs = 250;
    static constexpr int64_t MaxDelayMs = 4000;
    // A re-established link that lasts this long did not flap.
    static constexpr int64_t SettledMs = 5000;
    // Failed attempts in a row at a present port (another program holds it)
    // before it is given up until it goes away and comes back.
    static constexpr int MaxFailures = 8;

    struct TTarget {
        int Profile = 0;
        int Port = 0;
    };

    // The settings key: off, a vanished port is only disconnected.
    void SetEnabled(bool enabled);
    bool Enabled() const { return FEnabled; }

    // The connected port of the profile vanished: wait for it.
    void Lost(TTarget target, int64_t nowMs);
    // The user chose a profile or a port, or connected by hand.
    void Cancel();
    bool Pending() const { return FPending; }
    const TTarget& Target() const { return FTarget; }

    // When the next attempt may be made, given whether the port is present
    // now; none while nothing waits, the port is absent or was given up.
    // A time not after now means at once.
    std::optional<int64_t> DueAt(bool portPresent);
    // An attempt was made at nowMs; success ends the wait.
    void Attempted(bool succeeded, int64_t nowMs);
    // Data arrived over the link: it works.
    void Proved();

    // Attempts since the program started (shown to tests).
    int Attempts() const { return FAttempts; }

private:
    void ResetBackOff();

    bool FEnabled = true;
    bool FPending = false;
    TTarget FTarget;
    int64_t FDelayMs = 0;
    std::optional<int64_t> FLastAttemptMs;
    // When the last automatic attempt succeeded, until the link proved itself.
    std::optional<int64_t> FReconnectedMs;
    int FFailures = 0;
    int FAttempts = 0;
};
