#pragma once

#include "oskit/Fd.h"

#include <string>

namespace oskit {

// How the line starts: as the system opens it (echo, line editing), or raw,
// so nothing is echoed or rewritten before the other side sets it up.
enum class TPtyLine { AsOpened, Raw };

// A pseudo-terminal. Whoever plays the device talks on the master; holding
// the slave open as well keeps a program's open and close of the device from
// hanging up the line.
struct TPtyPair {
    TFd Master; // non-blocking
    TFd Slave;
    std::string SlavePath; // /dev/pts/N
};

// Opens a pseudo-terminal, both ends close-on-exec; throws std::system_error
// when the system has none to give.
TPtyPair OpenPtyPair(TPtyLine line);

} // namespace oskit
