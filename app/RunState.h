#pragma once

#include <QByteArray>

#include <cstdint>

// The main window's run-time state: flags and values shared by start-up,
// connection control, reception and the prompt cycle. Main thread only.
struct TRunState {
    bool Starting = true;
    bool PortAvailable = false;
    bool Connected = false;
    bool Searching = false;
    uint8_t PromptCount = 0;
    bool EchoBack = false;
    bool SuppressLine = false;
    bool PromptPending = false;
    bool LineComplete = false;
    bool IrDAReady = false;
    bool IrDAPeerConnected = false;
    bool USBReady = false;
    int DeviceMenuIndex = 0;
    QByteArray LineBuffer; // received serial characters not yet shown (ANSI bytes)
    int ListenSocket = 0;
    int PeerSocket = 0;
};
