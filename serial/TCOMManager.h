#pragma once

#include "serial/SerialTypes.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class QObject;
class TCustomSerial;
class TMsgWindow;
class TPortsFolder;
struct TPortRoots;

// One present port: its number and the component that has it open, if any.
struct TCOMPortEntry {
    int Port = 0;
    TCustomSerial* Owner = nullptr;
};

// A list-change handler: a routine and the object it is called on. Handlers
// are told apart by their routine alone.
struct TListenerHandler {
    using TRoutine = void (*)(void* object);
    TRoutine Routine = nullptr;
    void* Object = nullptr;
};

// The ports present on the machine ("COM1".."COM99", ascending), which
// component has which of them open, and who wants to hear of changes.
class TCOMManager {
public:
    TCOMManager();
    // A manager on another device tree and ports folder (tests).
    explicit TCOMManager(const TPortRoots& Roots);
    ~TCOMManager();
    TCOMManager(const TCOMManager&) = delete;
    TCOMManager& operator=(const TCOMManager&) = delete;

    void Scan(int MaxPort);
    bool Rescan();
    bool HasPort(int Port) const;
    int IndexOfPort(int Port) const;
    int Count() const { return static_cast<int>(FEntries.size()); }
    // The name ("COM3") and the entry of item Index.
    QString Name(int Index) const;
    TCOMPortEntry& Entry(int Index) { return *FEntries[static_cast<size_t>(Index)]; }
    const TCOMPortEntry& Entry(int Index) const { return *FEntries[static_cast<size_t>(Index)]; }

    void AddListener(TListenerHandler Handler);
    void RemoveListener(TListenerHandler Handler);
    bool FindListener(TListenerHandler Handler) const;

    void UpdateOwner(TCustomSerial* Serial);
    void HandleMessage(uint16_t Msg, uint16_t WParam, intptr_t LParam);

    int LastScanned = 0;
    // Called with Sender(), a QObject named "COMManager" that stands for the
    // manager (which is not a QObject itself).
    TNotifyEvent OnArrival;
    TNotifyEvent OnRemoval;

    QObject* Sender() const { return FSender.get(); }
    TPortsFolder& PortsFolder() const { return *FFolder; }
    TMsgWindow* MsgWindow() const { return FMsgWindow.get(); }

private:
    void Notify();
    void CallHandler(TNotifyEvent& Handler);
    bool Registered(const TListenerHandler& Handler) const;

    std::vector<std::unique_ptr<TCOMPortEntry>> FEntries;
    std::vector<TListenerHandler> FListeners; // in order of registration
    std::unique_ptr<QObject> FSender;
    std::unique_ptr<TPortsFolder> FFolder;
    std::unique_ptr<TMsgWindow> FMsgWindow;
};

// The one manager, created by SerialModuleStart and destroyed by SerialModuleEnd.
extern TCOMManager* COMManager;

void SerialModuleStart();
// The same on another device tree and ports folder (tests).
void SerialModuleStart(const TPortRoots& Roots);
void SerialModuleEnd();

// The device file behind port number n (1..99) as the ports folder maps it,
// or "" when the port is absent.
QString PortDevicePath(int Port);
