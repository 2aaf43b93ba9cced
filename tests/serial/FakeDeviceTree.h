#pragma once

#include "serial/PortsFolder.h"
#include "tests/support/Pty.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <map>
#include <memory>

// A device tree of pseudo-terminals: <tmp>/dev/ttyUSB0 etc. are links to real
// /dev/pts/N, so stat says "character device" as for a real port. The tree
// has its own proc/consoles and ports folder.
class TFakeDeviceTree {
public:
    explicit TFakeDeviceTree(int SettleMs = 0) : FSettleMs(SettleMs) {
        QDir().mkpath(Dev());
        QDir().mkpath(Proc());
        QDir().mkpath(Folder());
        SetConsoles({});
    }

    QString Dev() const { return FDir.path() + "/dev"; }
    QString Proc() const { return FDir.path() + "/proc"; }
    QString Folder() const { return FDir.path() + "/ports"; }
    QString ById() const { return Dev() + "/serial/by-id"; }
    TPortRoots Roots() const { return {Dev(), Proc(), Folder(), FSettleMs}; }

    // A device appears as Dev()/Name; returns its pseudo-terminal's path.
    QString Plug(const QString& Name) {
        auto pty = std::make_unique<TPty>();
        QFile::link(pty->Path, Dev() + '/' + Name);
        const QString path = pty->Path;
        FPtys[Name] = std::move(pty);
        return path;
    }
    void Unplug(const QString& Name) {
        QFile::remove(Dev() + '/' + Name);
        FPtys.erase(Name);
    }
    // udev's by-id link, relative as udev writes it.
    void AddById(const QString& Id, const QString& Name) {
        QDir().mkpath(ById());
        QFile::link("../../" + Name, ById() + '/' + Id);
    }
    void RemoveById(const QString& Id) { QFile::remove(ById() + '/' + Id); }
    void Link(int Port, const QString& Target) {
        QFile::remove(Entry(Port));
        QFile::link(Target, Entry(Port));
    }
    void Unlink(int Port) { QFile::remove(Entry(Port)); }
    QString Entry(int Port) const { return Folder() + QString("/COM%1").arg(Port); }
    QString LinkTarget(int Port) const { return QFile::symLinkTarget(Entry(Port)); }
    void SetConsoles(const QByteArray& Text) {
        QFile file(Proc() + "/consoles");
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(Text);
    }

private:
    QTemporaryDir FDir;
    int FSettleMs;
    std::map<QString, std::unique_ptr<TPty>> FPtys;
};
