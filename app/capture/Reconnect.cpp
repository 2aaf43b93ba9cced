#include "app/capture/Reconnect.h"

#include <algorithm>

void TReconnect::SetEnabled(bool enabled) {
    FEnabled = enabled;
    if (!enabled)
        Cancel();
}

void TReconnect::Lost(TTarget target, int64_t nowMs) {
    if (!FEnabled)
        return;
    // A link that we re-established and that vanished again before it
    // carried data or settled is a flapping port: the back-off goes on.
    const bool flapped = FPending || (FReconnectedMs && nowMs - *FReconnectedMs < SettledMs);
    if (!flapped)
        ResetBackOff();
    FReconnectedMs.reset();
    FPending = true;
    FTarget = target;
    FFailures = 0;
}

void TReconnect::Cancel() {
    FPending = false;
    FReconnectedMs.reset();
    ResetBackOff();
}

std::optional<int64_t> TReconnect::DueAt(bool portPresent) {
    if (!FPending)
        return std::nullopt;
    if (!portPresent) {
        FFailures = 0; // a port that comes back gets its tries afresh
        return std::nullopt;
    }
    if (FFailures >= MaxFailures)
        return std::nullopt;
    if (!FLastAttemptMs)
        return INT64_MIN;
    return *FLastAttemptMs + FDelayMs;
}

void TReconnect::Attempted(bool succeeded, int64_t nowMs) {
    ++FAttempts;
    FLastAttemptMs = nowMs;
    FDelayMs = FDelayMs == 0 ? FirstDelayMs : std::min(FDelayMs * 2, MaxDelayMs);
    if (succeeded) {
        FPending = false;
        FReconnectedMs = nowMs;
    } else {
        ++FFailures;
    }
}

void TReconnect::Proved() {
    if (!FReconnectedMs)
        return;
    FReconnectedMs.reset();
    ResetBackOff();
}

void TReconnect::ResetBackOff() {
    FDelayMs = 0;
    FLastAttemptMs.reset();
    FFailures = 0;
}
