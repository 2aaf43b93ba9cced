#include "serial/TCOMManager.h"

#include "serial/PortsFolder.h"
#include "serial/TCustomSerial.h"
#include "serial/TMsgWindow.h"

#include <QDateTime>
#include <QLocale>
#include <QObject>

#include <algorithm>

TCOMManager* COMManager = nullptr;

namespace {

constexpr int kMaxPort = 99;
constexpr int kStartPorts = 4;

QString WindowName() {
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    return QStringLiteral("Ser") + locale.toString(now.date(), QLocale::ShortFormat) + ' ' +
           now.time().toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

TCOMManager::TCOMManager() : TCOMManager(TPortRoots{}) {}

TCOMManager::TCOMManager(const TPortRoots& Roots)
    : FSender(std::make_unique<QObject>()), FFolder(std::make_unique<TPortsFolder>(Roots)) {
    FSender->setObjectName(QStringLiteral("COMManager"));
    FMsgWindow = std::make_unique<TMsgWindow>(
        WindowName(),
        [this](uint16_t Msg, uint16_t WParam, intptr_t LParam) {
            HandleMessage(Msg, WParam, LParam);
        },
        FFolder.get());
    // At start only ports 1 to 4 are known; callers widen the range.
    Scan(kStartPorts);
}

TCOMManager::~TCOMManager() = default;

void TCOMManager::Scan(int MaxPort) {
    const int limit = std::min(MaxPort, kMaxPort);
    if (LastScanned + 1 > limit)
        return;
    const qint64 retryAt = FFolder->AssignNewDevices();
    if (retryAt != 0 && FMsgWindow)
        FMsgWindow->RetryAt(retryAt);
    for (int port = std::max(LastScanned + 1, 1); port <= limit; ++port)
        if (!FFolder->DevicePath(port).isEmpty())
            FEntries.push_back(std::make_unique<TCOMPortEntry>(TCOMPortEntry{port, nullptr}));
    LastScanned = limit;
    Notify();
}

bool TCOMManager::Rescan() {
    auto old = std::move(FEntries);
    FEntries.clear();
    const int scanned = LastScanned;
    LastScanned = 0;
    Scan(scanned);
    bool changed = FEntries.size() != old.size();
    for (const auto& entry : old) {
        if (HasPort(entry->Port)) {
            Entry(IndexOfPort(entry->Port)).Owner = entry->Owner;
            continue;
        }
        changed = true;
        if (entry->Owner == nullptr)
            continue;
        // One owner's failing handler must not keep the others from hearing.
        try {
            entry->Owner->COMRemoved();
        } catch (...) {
        }
    }
    return changed;
}

bool TCOMManager::HasPort(int Port) const {
    return IndexOfPort(Port) >= 0;
}

int TCOMManager::IndexOfPort(int Port) const {
    for (size_t i = 0; i < FEntries.size(); ++i)
        if (FEntries[i]->Port == Port)
            return static_cast<int>(i);
    return -1;
}

QString TCOMManager::Name(int Index) const {
    return TPortsFolder::PortName(Entry(Index).Port);
}

bool TCOMManager::FindListener(TListenerHandler Handler) const {
    return std::any_of(FListeners.begin(), FListeners.end(),
                       [&](const TListenerHandler& h) { return h.Routine == Handler.Routine; });
}

void TCOMManager::AddListener(TListenerHandler Handler) {
    if (!FindListener(Handler))
        FListeners.push_back(Handler);
}

void TCOMManager::RemoveListener(TListenerHandler Handler) {
    const auto it =
        std::find_if(FListeners.begin(), FListeners.end(),
                     [&](const TListenerHandler& h) { return h.Routine == Handler.Routine; });
    if (it != FListeners.end())
        FListeners.erase(it);
}

bool TCOMManager::Registered(const TListenerHandler& Handler) const {
    return std::any_of(FListeners.begin(), FListeners.end(), [&](const TListenerHandler& h) {
        return h.Routine == Handler.Routine && h.Object == Handler.Object;
    });
}

void TCOMManager::Notify() {
    // A listener may add or remove listeners (a selector box being closed):
    // walk a copy, and skip those removed meanwhile, whose object may be gone.
    const std::vector<TListenerHandler> pass = FListeners;
    for (const TListenerHandler& handler : pass) {
        if (!Registered(handler) || handler.Routine == nullptr)
            continue;
        try {
            handler.Routine(handler.Object);
        } catch (...) {
            return; // a failing listener ends this pass
        }
    }
}

void TCOMManager::UpdateOwner(TCustomSerial* Serial) {
    if (Serial == nullptr)
        return;
    // A component owns one port at most. Its port number may have changed
    // while it was open; a record left on the old entry would outlive it.
    // Only its own records are cleared: the port it names now may be open
    // in another component, which must still hear when it is unplugged.
    for (auto& entry : FEntries)
        if (entry->Owner == Serial)
            entry->Owner = nullptr;
    const int index = IndexOfPort(Serial->COMPort());
    if (index >= 0 && Serial->Active())
        Entry(index).Owner = Serial;
}

void TCOMManager::CallHandler(TNotifyEvent& Handler) {
    if (!Handler)
        return;
    // Called through a copy: the handler may assign itself anew.
    const TNotifyEvent call = Handler;
    try {
        call(FSender.get());
    } catch (...) {
        Handler = nullptr; // a failing handler is never called again
    }
}

void TCOMManager::HandleMessage(uint16_t Msg, uint16_t WParam, intptr_t LParam) {
    if (Msg != WM_DEVICECHANGE || LParam == 0)
        return;
    if (WParam != DBT_DEVICEARRIVAL && WParam != DBT_DEVICEREMOVECOMPLETE)
        return;
    const auto* header = reinterpret_cast<const TDevBroadcastHdr*>(LParam);
    if (header->dbch_devicetype != DBT_DEVTYP_PORT)
        return;
    // The scan has told the listeners once; they hear again of a change.
    bool changed = false;
    try {
        changed = Rescan();
    } catch (...) {
        // Nothing may leave a broadcast (an allocation failure in the scan).
    }
    if (!changed)
        return;
    CallHandler(WParam == DBT_DEVICEARRIVAL ? OnArrival : OnRemoval);
    Notify();
}

void SerialModuleStart() {
    SerialModuleStart(TPortRoots{});
}

void SerialModuleStart(const TPortRoots& Roots) {
    SerialModuleEnd();
    MsgWindowList.clear();
    COMManager = new TCOMManager(Roots);
}

void SerialModuleEnd() {
    delete COMManager;
    COMManager = nullptr;
}

QString PortDevicePath(int Port) {
    if (COMManager != nullptr)
        return COMManager->PortsFolder().DevicePath(Port);
    return TPortsFolder().DevicePath(Port);
}
