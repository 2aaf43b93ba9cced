#pragma once

#include "oskit/Pty.h"

#include <QString>

#include <cstddef>
#include <string>

// A pseudo-terminal for tests and benchmarks. The slave side (Path) is the
// device a port opens; this object keeps it open too, so a port's open and
// close never hang up the line. The master side plays the gauge. The line
// starts as the system opens it, so a test sees whether the port sets it up.
class TPty {
public:
    TPty();

    // The gauge sends: all of Bytes, waiting while the line is full.
    void Send(const std::string& Bytes) const;
    void Send(const char* Bytes, std::size_t Count) const;
    // What the gauge has received within TimeoutMs, until Count bytes came.
    std::string Receive(std::size_t Count, int TimeoutMs = 10000) const;
    // The gauge goes away: the port sees a hang-up.
    void CloseMaster();

    int Master() const { return FPair.Master.Get(); } // non-blocking
    int Slave() const { return FPair.Slave.Get(); }
    QString Path; // empty when no pseudo-terminal could be had

private:
    oskit::TPtyPair FPair;
};
