#pragma once

#include <utility>

namespace oskit {

// Owns one file descriptor and closes it when it goes. Negative: none.
class TFd {
public:
    TFd() = default;
    explicit TFd(int fd) : FFd(fd) {}
    ~TFd() { Reset(); }
    TFd(TFd&& other) noexcept : FFd(other.Release()) {}
    TFd& operator=(TFd&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;

    int Get() const { return FFd; }
    bool Valid() const { return FFd >= 0; }
    // Gives the descriptor up without closing it.
    int Release() { return std::exchange(FFd, -1); }
    // Closes the descriptor held, then holds fd.
    void Reset(int fd = -1);

private:
    int FFd = -1;
};

} // namespace oskit
