#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <set>

// Where the port map looks: the device tree, the proc tree and the ports
// folder. Tests point all three into a temporary tree.
struct TPortRoots {
    QString Dev = QStringLiteral("/dev");
    QString Proc = QStringLiteral("/proc");
    // "" means <application-data folder>/Brisquell/ports.
    QString Folder;
    // A new USB/ACM device waits this long for its /dev/serial/by-id link
    // before it is numbered under its kernel name.
    int SettleMs = 3000;
};

// The mapping of port numbers 1..99 to serial devices.
//
// An entry COMn in the ports folder wins; a dangling entry marks the port
// absent. Without an entry COM1/COM2 are ttyS0/ttyS1. Other serial devices
// (ttyUSB*, ttyACM*, rfcomm*) get the lowest free number from 3 the first
// time they are seen, recorded as a link in the folder, so a converter keeps
// its number when re-plugged. A system console is never offered: the program
// would send it prompt requests.
class TPortsFolder {
public:
    explicit TPortsFolder(TPortRoots Roots = {});

    const TPortRoots& Roots() const { return FRoots; }
    QString Folder() const { return FFolder; }
    QString ById() const { return FRoots.Dev + QStringLiteral("/serial/by-id"); }

    // The device behind port Port (canonical path), "" when it is absent.
    // Presence is decided by stat alone; the device is never opened.
    QString DevicePath(int Port) const;

    // Numbers the serial devices seen for the first time and upgrades links
    // this object recorded under a kernel name once the by-id name exists.
    // Returns the time (ms since the epoch) at which a device still waiting
    // for its by-id link should be looked at again, 0 if none waits.
    qint64 AssignNewDevices();

    // True (once) when the change of Name in the ports folder was our own
    // write, so the watcher need not report it as a device change.
    bool ConsumeOwnWrite(const QString& Name);

    static bool IsSerialDeviceName(const QString& Name);
    static QString PortName(int Port) { return QStringLiteral("COM%1").arg(Port); }

private:
    QString EntryPath(int Port) const { return FFolder + '/' + PortName(Port); }
    QString ByIdNameOf(unsigned long long Rdev) const;
    std::set<unsigned long long> ConsoleDevices() const;
    std::map<unsigned long long, int> MappedDevices() const;
    int FreeNumber() const;
    bool WriteLink(int Port, const QString& Target, bool Replace);
    void UpgradeKernelLinks();

    TPortRoots FRoots;
    QString FFolder;
    // Ports this object recorded under a kernel name (port -> target).
    std::map<int, QString> FKernelLinks;
    // Names written to the folder that the watcher has not reported yet.
    std::multiset<QString> FOwnWrites;
};
