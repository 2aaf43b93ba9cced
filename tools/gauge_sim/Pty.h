#pragma once

#include "Fd.h"

#include <string>

// A raw pseudo-terminal. The simulator talks on the master; it holds the
// slave open itself, so the program's open and close of the device never
// hang up the line.
struct TPty {
    TFd Master; // non-blocking
    TFd Slave;
    std::string SlavePath; // /dev/pts/N
};

// Opens a pseudo-terminal in raw mode; throws std::system_error on failure.
TPty OpenPty();
