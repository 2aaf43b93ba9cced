#pragma once

#include <cstdint>

class QTimer;

// What the prompt cycle does to its surroundings.
class TPromptCycleSink {
public:
    virtual ~TPromptCycleSink() = default;
    // Send the prompt request 0x05; the next line may be its answer.
    virtual void SendPromptRequest() = 0;
    // The state shown in the status bar may have changed.
    virtual void PromptStateChanged() = 0;
};

// Asks a quiet instrument for a prompt, so that a silent line shows whether
// it is still there. Two unanswered requests in a row make it searching: the
// requests then go out every half second and the status text blinks; any
// received byte makes it quiet again with a one-second interval.
//
// It drives the given timer (its interval and whether it runs) but owns no
// clock: each tick is a call of Tick, so tests step it without waiting.
class TPromptCycle {
public:
    static constexpr char PromptRequest = 0x05;
    static constexpr int QuietIntervalMs = 1000;
    static constexpr int SearchIntervalMs = 500;

    TPromptCycle(QTimer& timer, TPromptCycleSink& sink) : FTimer(timer), FSink(sink) {}

    // A tick of the timer; nothing happens while the link is not connected.
    void Tick(bool connected);
    // Data arrived: quiet again, the next request one second after it.
    void Restart();
    // Connect with a prompt-using profile: the timer runs with the interval
    // it has; the first request goes out one interval later.
    void Start();
    // Disconnect: the timer stops and the cycle forgets its count.
    void Stop();
    // Pause and resume keep the count; only the timer stops and runs.
    void Pause();
    void Resume();

    uint8_t PromptCount() const { return FPromptCount; }
    bool Searching() const { return FSearching; }

private:
    QTimer& FTimer;
    TPromptCycleSink& FSink;
    uint8_t FPromptCount = 0;
    bool FSearching = false;
};
