#include "oskit/Pty.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <pty.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace oskit {
namespace {

[[noreturn]] void Fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void SetFlag(int fd, int getCmd, int setCmd, int flag) {
    const int flags = ::fcntl(fd, getCmd);
    if (flags < 0 || ::fcntl(fd, setCmd, flags | flag) < 0)
        Fail("fcntl");
}

} // namespace

TPtyPair OpenPtyPair(TPtyLine line) {
    termios raw{};
    ::cfmakeraw(&raw);
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, line == TPtyLine::Raw ? &raw : nullptr, nullptr) != 0)
        Fail("openpty");
    TPtyPair pty{TFd(master), TFd(slave), {}};
    SetFlag(master, F_GETFD, F_SETFD, FD_CLOEXEC);
    SetFlag(slave, F_GETFD, F_SETFD, FD_CLOEXEC);
    SetFlag(master, F_GETFL, F_SETFL, O_NONBLOCK);
    char name[PATH_MAX] = {};
    if (const int error = ::ttyname_r(slave, name, sizeof name); error != 0) {
        errno = error;
        Fail("ttyname_r");
    }
    pty.SlavePath = name;
    return pty;
}

} // namespace oskit
