#include "app/capture/PromptCycle.h"

#include <QTimer>

void TPromptCycle::Tick(bool connected) {
    if (!connected)
        return;
    FSink.SendPromptRequest();
    ++FPromptCount;
    if (FPromptCount == 2) {
        FTimer.setInterval(SearchIntervalMs);
        FSearching = true;
        FSink.PromptStateChanged();
    } else if (FPromptCount > 2) {
        // The dark phase of the blink; the next request brings the text back.
        FSink.PromptStateChanged();
        FPromptCount = 1;
    }
}

void TPromptCycle::Restart() {
    const bool wasShown = FSearching || FPromptCount == 2;
    FSearching = false;
    FPromptCount = 0;
    if (wasShown)
        FSink.PromptStateChanged();
    FTimer.stop();
    FTimer.setInterval(QuietIntervalMs);
    FTimer.start();
}

void TPromptCycle::Start() {
    FPromptCount = 0;
    FSearching = false;
    FTimer.start();
}

void TPromptCycle::Stop() {
    FTimer.stop();
    FPromptCount = 0;
    FSearching = false;
}

void TPromptCycle::Pause() {
    FTimer.stop();
}

void TPromptCycle::Resume() {
    FTimer.start();
}
