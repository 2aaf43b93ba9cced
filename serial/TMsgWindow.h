#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QSocketNotifier;
class QTimer;
class TPortsFolder;

// The device-change broadcast as the manager reads it.
inline constexpr uint16_t WM_DEVICECHANGE = 0x0219;
inline constexpr uint16_t DBT_DEVICEARRIVAL = 0x8000;
inline constexpr uint16_t DBT_DEVICEREMOVECOMPLETE = 0x8004;
inline constexpr uint32_t DBT_DEVTYP_PORT = 3;

struct TDevBroadcastHdr {
    uint32_t dbch_size = sizeof(TDevBroadcastHdr);
    uint32_t dbch_devicetype = 0;
    uint32_t dbch_reserved = 0;
};

// The hidden window that receives device-change broadcasts. Here the
// "window" is an inotify descriptor watching the ports folder, the device
// tree and /dev/serial/by-id; its events reach the callback on the main thread
// (through a socket notifier) as WM_DEVICECHANGE with a port header:
// something created is an arrival, something deleted a removal. The
// receiver's rescan decides what really changed.
class TMsgWindow {
public:
    using TCallback = std::function<void(uint16_t Msg, uint16_t WParam, intptr_t LParam)>;

    // Without a name there is no window. Folder gives the places to watch;
    // without one (or without an event loop) nothing is watched.
    TMsgWindow(const QString& Name, TCallback Callback, TPortsFolder* Folder = nullptr);
    ~TMsgWindow();
    TMsgWindow(const TMsgWindow&) = delete;
    TMsgWindow& operator=(const TMsgWindow&) = delete;

    QString Name() const { return FClassName; }
    int Handle() const { return FHandle; }
    const TCallback& Callback() const { return FCallback; }

    // Sends one arrival broadcast at Ms (ms since the epoch): a device that
    // waits for its by-id link is looked at again then. 0 cancels.
    void RetryAt(qint64 Ms);

private:
    void AddWatch(const QString& Dir);
    void ReadEvents();
    void Broadcast(uint16_t WParam);
    bool Relevant(const QString& Dir, const QString& Name, uint32_t Mask);

    QString FClassName;
    TCallback FCallback;
    TPortsFolder* FFolder = nullptr;
    int FHandle = -1;
    std::unique_ptr<QSocketNotifier> FNotifier;
    std::unique_ptr<QTimer> FRetry;
    std::map<int, QString> FWatches; // watch descriptor -> folder
};

// Which window object belongs to which handle, for MsgWindowProc.
struct TMsgWindowNode {
    int Handle;
    TMsgWindow* Window;
};
extern std::vector<TMsgWindowNode> MsgWindowList;

// Hands a message to the window object of Handle, if there is one.
void MsgWindowProc(int Handle, uint16_t Msg, uint16_t WParam, intptr_t LParam);
