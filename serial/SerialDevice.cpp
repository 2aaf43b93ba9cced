#include "serial/SerialDevice.h"

// termios2 comes from the kernel's headers, which clash with <termios.h>.
#include <asm/termbits.h>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <linux/serial.h>
#include <unistd.h>

namespace SerialDevice {
namespace {

int Retry(int (*Call)(int, int), int Fd, int Arg) {
    int r = 0;
    do
        r = Call(Fd, Arg);
    while (r < 0 && errno == EINTR);
    return r;
}

bool CharacterSize(uint8_t ByteSize, tcflag_t& Flag) {
    switch (ByteSize) {
    case 5:
        Flag = CS5;
        return true;
    case 6:
        Flag = CS6;
        return true;
    case 7:
        Flag = CS7;
        return true;
    case 8:
        Flag = CS8;
        return true;
    default:
        return false; // the line cannot carry 4-bit characters
    }
}

tcflag_t ParityFlags(uint8_t Parity) {
    switch (Parity) {
    case 1:
        return PARENB | PARODD;
    case 2:
        return PARENB;
    case 3:
        return PARENB | CMSPAR | PARODD; // mark
    case 4:
        return PARENB | CMSPAR; // space
    default:
        return 0;
    }
}

void SetLine(int Fd, int Line, uint32_t Control) {
    // Handshake DTR has no Linux equivalent; the line then stays on.
    int bits = Line;
    ::ioctl(Fd, Control == DCBFlag::ControlOff ? TIOCMBIC : TIOCMBIS, &bits);
}

} // namespace

int Open(const QString& Path) {
    const QByteArray path = Path.toLocal8Bit();
    if (path.isEmpty()) {
        errno = ENOENT;
        return -1;
    }
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (Retry(::flock, fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        errno = EBUSY; // another program holds the lock
        return -1;
    }
    ::ioctl(fd, TIOCEXCL); // refused by some drivers; the lock still holds
    return fd;
}

void Detach(int Fd) {
    if (Fd < 0)
        return;
    ::ioctl(Fd, TIOCNXCL);
    Retry(::flock, Fd, LOCK_UN);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, Fd);
        ::close(null);
    }
}

bool ReportsLineErrors(int Fd) {
    struct stat st {};
    if (::fstat(Fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return true;
    // Pseudo-terminal slaves: the Unix 98 ones, and the legacy BSD ones.
    const unsigned major = ::major(st.st_rdev);
    return !((major >= 136 && major <= 143) || major == 3);
}

bool Apply(int Fd, const TDCB& Dcb, bool Marked) {
    struct termios2 tio {};
    if (::ioctl(Fd, TCGETS2, &tio) != 0)
        return false;
    tcflag_t size = 0;
    if (!CharacterSize(Dcb.ByteSize, size) || Dcb.BaudRate == 0 || Dcb.StopBits > 2 ||
        Dcb.Parity > 4)
        return false;
    // Raw input; where the driver reports them, line errors and breaks arrive
    // in-band, marked (PARMRK). Input checking stays on without parity too: a
    // framing error is a line error in every setting, and without parity no
    // parity error can occur.
    tio.c_iflag = (Marked ? PARMRK | INPCK : 0) | ((Dcb.Flags & DCBFlag::fOutX) ? IXON : 0) |
                  ((Dcb.Flags & DCBFlag::fInX) ? IXOFF : 0);
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cflag = CREAD | CLOCAL | BOTHER | size | ParityFlags(Dcb.Parity) |
                  (Dcb.StopBits != 0 ? CSTOPB : 0) |
                  ((Dcb.Flags & DCBFlag::fOutxCtsFlow) ? CRTSCTS : 0);
    tio.c_ispeed = Dcb.BaudRate;
    tio.c_ospeed = Dcb.BaudRate;
    tio.c_cc[VMIN] = 1; // with 0 a read of nothing returns 0, like a hang-up
    tio.c_cc[VTIME] = 0;
    tio.c_cc[VSTART] = static_cast<cc_t>(Dcb.XonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(Dcb.XoffChar);
    if (::ioctl(Fd, TCSETS2, &tio) != 0)
        return false;
    SetLine(Fd, TIOCM_DTR, DtrControl(Dcb));
    if (RtsControl(Dcb) != DCBFlag::ControlHandshake)
        SetLine(Fd, TIOCM_RTS, RtsControl(Dcb));
    return true;
}

void HoldOutput(int Fd, bool Held) {
    ::ioctl(Fd, TCXONC, Held ? TCOOFF : TCOON);
}

bool OutputQueue(int Fd, int& Count) {
    Count = 0;
    return ::ioctl(Fd, TIOCOUTQ, &Count) == 0;
}

bool Overruns(int Fd, uint64_t& Count) {
    serial_icounter_struct counts{};
    if (::ioctl(Fd, TIOCGICOUNT, &counts) != 0)
        return false;
    Count = static_cast<uint64_t>(static_cast<unsigned>(counts.overrun)) +
            static_cast<unsigned>(counts.buf_overrun);
    return true;
}

} // namespace SerialDevice
