#include "tests/support/Pty.h"

#include <QDeadlineTimer>

#include <system_error>

#include <poll.h>
#include <unistd.h>

TPty::TPty() {
    try {
        FPair = oskit::OpenPtyPair(oskit::TPtyLine::AsOpened);
        Path = QString::fromLocal8Bit(FPair.SlavePath);
    } catch (const std::system_error&) {
        // No pseudo-terminal: Path stays empty and the test skips.
    }
}

void TPty::Send(const std::string& Bytes) const {
    Send(Bytes.data(), Bytes.size());
}

void TPty::Send(const char* Bytes, std::size_t Count) const {
    std::size_t done = 0;
    while (done < Count && Master() >= 0) {
        const ssize_t n = ::write(Master(), Bytes + done, Count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else {
            pollfd p{Master(), POLLOUT, 0};
            ::poll(&p, 1, 100);
        }
    }
}

std::string TPty::Receive(std::size_t Count, int TimeoutMs) const {
    std::string got;
    const QDeadlineTimer deadline(TimeoutMs);
    while (got.size() < Count && Master() >= 0 && !deadline.hasExpired()) {
        char buf[512];
        const ssize_t n = ::read(Master(), buf, sizeof buf);
        if (n > 0) {
            got.append(buf, static_cast<std::size_t>(n));
        } else {
            pollfd p{Master(), POLLIN, 0};
            ::poll(&p, 1, 50);
        }
    }
    return got;
}

void TPty::CloseMaster() {
    FPair.Master.Reset();
}
