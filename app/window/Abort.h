#pragma once

#include <exception>

// A silent abort: ends the running command without any message (the user
// cancelled a question whose answer the command needed).
class EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};
