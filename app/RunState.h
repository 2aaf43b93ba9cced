#pragma once

#include <cstdint>

// The main window's run-time flags. Main thread only. The line state belongs
// to the line reception; connection control and the prompt cycle take their
// flags over as they become classes of their own.
struct TRunState {
    bool Starting = true;
    bool Connected = false;
    bool Searching = false;
    uint8_t PromptCount = 0;
    bool EchoBack = false;
    int DeviceMenuIndex = 0; // position of the chosen profile's item in the Device menu
};
