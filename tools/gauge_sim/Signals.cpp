#include "Signals.h"

#include <cerrno>
#include <sys/signalfd.h>
#include <system_error>
#include <unistd.h>

TSignals::TSignals() {
    sigset_t handled;
    sigemptyset(&handled);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2})
        sigaddset(&handled, signal);
    sigset_t blocked = handled;
    // A reader of standard output that went away must not end the simulator
    // before it has removed its entry.
    sigaddset(&blocked, SIGPIPE);
    if (::sigprocmask(SIG_BLOCK, &blocked, &FPrevious) != 0)
        throw std::system_error(errno, std::generic_category(), "sigprocmask");
    FFd = oskit::TFd(::signalfd(-1, &handled, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!FFd.Valid()) {
        const int error = errno;
        ::sigprocmask(SIG_SETMASK, &FPrevious, nullptr);
        throw std::system_error(error, std::generic_category(), "signalfd");
    }
}

TSignals::~TSignals() {
    FFd.Reset();
    ::sigprocmask(SIG_SETMASK, &FPrevious, nullptr);
}

int TSignals::Take() {
    signalfd_siginfo info{};
    const ssize_t n = ::read(FFd.Get(), &info, sizeof info);
    return n == static_cast<ssize_t>(sizeof info) ? static_cast<int>(info.ssi_signo) : 0;
}
