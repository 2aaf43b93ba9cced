#pragma once

#include "serial/SerialTypes.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class TCustomSerial;
class TMsgWindow;

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
    TNotifyEvent OnArrival;
    TNotifyEvent OnRemoval;

private:
    // (the implementation adds what it needs below)
    std::vector<std::unique_ptr<TCOMPortEntry>> FEntries;
};

// The one manager, created by SerialModuleStart and destroyed by SerialModuleEnd.
extern TCOMManager* COMManager;

void SerialModuleStart();
void SerialModuleEnd();

// The device file behind port number n (1..99) as the ports folder maps it,
// or "" when the port is absent.
QString PortDevicePath(int Port);
