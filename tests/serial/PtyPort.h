#pragma once

#include "serial/PortsFolder.h"
#include "serial/TCOMManager.h"
#include "tests/support/PrivateSerialModule.h"
#include "tests/support/Pty.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A pseudo-terminal linked into the test's ports folder as COM<Port>.
class TPtyPort : public TPty {
public:
    explicit TPtyPort(int Port) : FPort(Port) {
        if (Path.isEmpty())
            return;
        QFile::remove(Entry());
        QFile::link(Path, Entry());
    }
    ~TPtyPort() { QFile::remove(Entry()); }
    TPtyPort(const TPtyPort&) = delete;
    TPtyPort& operator=(const TPtyPort&) = delete;

    QString Entry() const {
        return testing_support::PortsFolder() + QStringLiteral("/COM%1").arg(FPort);
    }

private:
    int FPort;
};

// The manager over the test's ports folder only.
class TTestManager : public TPrivateSerialModule {
public:
    TTestManager() : TPrivateSerialModule(testing_support::PortsFolder()) {}
};
