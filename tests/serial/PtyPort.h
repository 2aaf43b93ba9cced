#pragma once

#include "serial/PortsFolder.h"
#include "serial/TCOMManager.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <unistd.h>

// A pseudo-terminal linked into the test's ports folder as COM<Port>. The
// test keeps the slave side open itself, so the component's open and close
// never hang up the line; the master side plays the gauge.
class TPtyPort {
public:
    explicit TPtyPort(int Port) : FPort(Port) {
        char name[256] = {};
        if (::openpty(&Master, &Slave, name, nullptr, nullptr) != 0)
            return;
        Path = QString::fromLocal8Bit(name);
        ::fcntl(Master, F_SETFL, ::fcntl(Master, F_GETFL) | O_NONBLOCK);
        QFile::remove(Entry());
        QFile::link(Path, Entry());
    }
    ~TPtyPort() {
        QFile::remove(Entry());
        CloseMaster();
        if (Slave >= 0)
            ::close(Slave);
    }
    TPtyPort(const TPtyPort&) = delete;
    TPtyPort& operator=(const TPtyPort&) = delete;

    QString Entry() const {
        return testing_support::PortsFolder() + QStringLiteral("/COM%1").arg(FPort);
    }
    void CloseMaster() {
        if (Master >= 0)
            ::close(Master);
        Master = -1;
    }
    // The gauge sends.
    void Send(const std::string& Bytes) const {
        size_t done = 0;
        while (done < Bytes.size()) {
            const ssize_t n = ::write(Master, Bytes.data() + done, Bytes.size() - done);
            if (n > 0)
                done += static_cast<size_t>(n);
            else {
                pollfd p{Master, POLLOUT, 0};
                ::poll(&p, 1, 100);
            }
        }
    }
    // What the gauge has received within TimeoutMs, until Count bytes came.
    std::string Receive(size_t Count, int TimeoutMs = 10000) const {
        std::string got;
        const qint64 start = testing_support::NowMs();
        while (got.size() < Count && !testing_support::Deadline(start, TimeoutMs)) {
            char buf[512];
            const ssize_t n = ::read(Master, buf, sizeof buf);
            if (n > 0)
                got.append(buf, static_cast<size_t>(n));
            else {
                pollfd p{Master, POLLIN, 0};
                ::poll(&p, 1, 50);
            }
        }
        return got;
    }

    int Master = -1;
    int Slave = -1;
    QString Path;

private:
    int FPort;
};

// The manager over the test's ports folder only: an empty device tree, so
// no real port of the machine is ever seen.
class TTestManager {
public:
    TTestManager() {
        QDir().mkpath(FTree.path() + "/dev");
        QDir().mkpath(FTree.path() + "/proc");
        QFile consoles(FTree.path() + "/proc/consoles");
        consoles.open(QIODevice::WriteOnly);
        SerialModuleStart(TPortRoots{FTree.path() + "/dev", FTree.path() + "/proc",
                                     testing_support::PortsFolder(), 0});
    }
    ~TTestManager() { SerialModuleEnd(); }
    TTestManager(const TTestManager&) = delete;
    TTestManager& operator=(const TTestManager&) = delete;

private:
    QTemporaryDir FTree;
};
