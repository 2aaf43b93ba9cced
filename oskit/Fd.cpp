#include "oskit/Fd.h"

#include <unistd.h>

namespace oskit {

void TFd::Reset(int fd) {
    if (FFd >= 0)
        ::close(FFd);
    FFd = fd;
}

} // namespace oskit
