#include "tests/serial/LineProbe.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool ProbeLine(int Fd, TLineProbe& Probe) {
    struct termios2 tio {};
    if (::ioctl(Fd, TCGETS2, &tio) != 0)
        return false;
    Probe.Speed = tio.c_ospeed;
    Probe.TwoStopBits = (tio.c_cflag & CSTOPB) != 0;
    Probe.XOnXOff = (tio.c_iflag & IXON) != 0;
    Probe.Marked = (tio.c_iflag & PARMRK) != 0;
    Probe.Checked = (tio.c_iflag & INPCK) != 0;
    return true;
}
