#pragma once

// The main window's run-time flags. Main thread only. The line state belongs
// to the line reception, the connection to the connection control and the
// prompt count to the prompt cycle.
struct TRunState {
    bool Starting = true;
    bool PortAvailable = false; // the port scan could open at least one COM port
    bool EchoBack = false;
    bool IrDAReady = false;  // the infrared listener is listening
    bool USBReady = false;   // the USB converter's library is loaded
    int DeviceMenuIndex = 0; // position of the chosen profile's item in the Device menu
};
