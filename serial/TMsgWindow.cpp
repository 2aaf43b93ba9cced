#include "serial/TMsgWindow.h"

#include "serial/PortsFolder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

std::vector<TMsgWindowNode> MsgWindowList;

namespace {

constexpr int kMaxClassName = 255;
constexpr uint32_t kArrivalMask = IN_CREATE | IN_MOVED_TO;
constexpr uint32_t kRemovalMask = IN_DELETE | IN_MOVED_FROM;

} // namespace

void MsgWindowProc(int Handle, uint16_t Msg, uint16_t WParam, intptr_t LParam) {
    const auto it = std::find_if(MsgWindowList.begin(), MsgWindowList.end(),
                                 [Handle](const TMsgWindowNode& n) { return n.Handle == Handle; });
    if (it != MsgWindowList.end() && it->Window->Callback())
        it->Window->Callback()(Msg, WParam, LParam);
}

TMsgWindow::TMsgWindow(const QString& Name, TCallback Callback, TPortsFolder* Folder)
    : FClassName(Name.left(kMaxClassName)), FCallback(std::move(Callback)), FFolder(Folder) {
    // Without a name, a folder to watch or an event loop to deliver on, the
    // manager works without device-change messages.
    if (Name.isEmpty() || FFolder == nullptr || QCoreApplication::instance() == nullptr)
        return;
    FHandle = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (FHandle < 0)
        return;
    if (!FFolder->Folder().isEmpty() && QDir().mkpath(FFolder->Folder()))
        AddWatch(FFolder->Folder());
    AddWatch(FFolder->Roots().Dev);
    AddWatch(FFolder->Roots().Dev + QStringLiteral("/serial"));
    FNotifier = std::make_unique<QSocketNotifier>(FHandle, QSocketNotifier::Read);
    QObject::connect(FNotifier.get(), &QSocketNotifier::activated, [this] { ReadEvents(); });
    FRetry = std::make_unique<QTimer>();
    FRetry->setSingleShot(true);
    QObject::connect(FRetry.get(), &QTimer::timeout, [this] { Broadcast(DBT_DEVICEARRIVAL); });
    MsgWindowList.push_back({FHandle, this});
}

TMsgWindow::~TMsgWindow() {
    FRetry.reset();
    FNotifier.reset();
    std::erase_if(MsgWindowList, [this](const TMsgWindowNode& n) { return n.Window == this; });
    if (FHandle >= 0)
        ::close(FHandle);
}

void TMsgWindow::RetryAt(qint64 Ms) {
    if (!FRetry)
        return;
    if (Ms == 0) {
        FRetry->stop();
        return;
    }
    const qint64 delay = std::max<qint64>(0, Ms - QDateTime::currentMSecsSinceEpoch());
    // An earlier pending retry stays: it will arm the next one itself.
    if (!FRetry->isActive() || FRetry->remainingTime() > delay)
        FRetry->start(static_cast<int>(std::min<qint64>(delay + 1, 24 * 3600 * 1000)));
}

void TMsgWindow::AddWatch(const QString& Dir) {
    const int wd = ::inotify_add_watch(FHandle, QFile::encodeName(Dir).constData(),
                                       kArrivalMask | kRemovalMask | IN_ONLYDIR);
    if (wd < 0)
        return;
    FWatches[wd] = Dir;
    // /dev/serial/by-id may have come with /dev/serial before we watched it.
    if (Dir == FFolder->Roots().Dev + QStringLiteral("/serial"))
        AddWatch(FFolder->ById());
}

bool TMsgWindow::Relevant(const QString& Dir, const QString& Name, uint32_t Mask) {
    const QString dev = FFolder->Roots().Dev;
    if (Dir == FFolder->Folder())
        return Name.startsWith(QStringLiteral("COM")) && !FFolder->ConsumeOwnWrite(Name);
    if (Dir == dev) {
        if (Name == QStringLiteral("serial")) {
            if ((Mask & kArrivalMask) != 0)
                AddWatch(dev + QStringLiteral("/serial"));
            return true;
        }
        return Name.startsWith(QStringLiteral("tty")) || Name.startsWith(QStringLiteral("rfcomm"));
    }
    if (Dir == dev + QStringLiteral("/serial")) {
        if (Name == QStringLiteral("by-id") && (Mask & kArrivalMask) != 0)
            AddWatch(FFolder->ById());
        return Name == QStringLiteral("by-id");
    }
    return true; // by-id
}

void TMsgWindow::ReadEvents() {
    // Each batch becomes at most one arrival and one removal broadcast, in
    // the order they first occurred.
    std::vector<uint16_t> kinds;
    const auto note = [&kinds](uint16_t kind) {
        if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end())
            kinds.push_back(kind);
    };
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(FHandle, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            inotify_event event{};
            std::memcpy(&event, buffer + at, sizeof event);
            const char* raw = buffer + at + sizeof event;
            const QString name = QString::fromUtf8(raw, qsizetype(::strnlen(raw, event.len)));
            at += static_cast<ssize_t>(sizeof event + event.len);
            if ((event.mask & IN_Q_OVERFLOW) != 0) {
                note(DBT_DEVICEARRIVAL); // lost events: let the rescan find out
                continue;
            }
            const auto watch = FWatches.find(event.wd);
            if (watch == FWatches.end())
                continue;
            if ((event.mask & IN_IGNORED) != 0) {
                FWatches.erase(watch);
                continue;
            }
            if (!Relevant(watch->second, name, event.mask))
                continue;
            note((event.mask & kRemovalMask) != 0 ? DBT_DEVICEREMOVECOMPLETE : DBT_DEVICEARRIVAL);
        }
    }
    for (const uint16_t kind : kinds)
        Broadcast(kind);
}

void TMsgWindow::Broadcast(uint16_t WParam) {
    // A handler may run a nested event loop (a message box); the notifier
    // stays quiet until this broadcast is done.
    if (FNotifier)
        FNotifier->setEnabled(false);
    TDevBroadcastHdr header;
    header.dbch_devicetype = DBT_DEVTYP_PORT;
    MsgWindowProc(FHandle, WM_DEVICECHANGE, WParam, reinterpret_cast<intptr_t>(&header));
    if (FNotifier)
        FNotifier->setEnabled(true);
}
