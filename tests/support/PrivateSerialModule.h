#pragma once

#include "serial/PortsFolder.h"
#include "serial/TCOMManager.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// The serial module started over an empty device tree and the given ports
// folder, so no real port of the machine is ever seen; ended when this goes.
class TPrivateSerialModule {
public:
    explicit TPrivateSerialModule(const QString& portsFolder) {
        QDir().mkpath(FTree.path() + "/dev");
        QDir().mkpath(FTree.path() + "/proc");
        QFile consoles(FTree.path() + "/proc/consoles");
        consoles.open(QIODevice::WriteOnly);
        SerialModuleStart(
            TPortRoots{FTree.path() + "/dev", FTree.path() + "/proc", portsFolder, 0});
    }
    ~TPrivateSerialModule() { SerialModuleEnd(); }
    TPrivateSerialModule(const TPrivateSerialModule&) = delete;
    TPrivateSerialModule& operator=(const TPrivateSerialModule&) = delete;

private:
    QTemporaryDir FTree;
};
