#pragma once

#include <stdexcept>

// A socket module failure: the name of the call that failed.
class ESocketError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Starts the sockets for the whole program (version 1.1); throws
// ESocketError("WSAStartup") when that fails: the program must not start.
void WSocketModuleStart();
// Ends them after the main window is gone; throws ESocketError("WSACleanup").
void WSocketModuleEnd();
