#pragma once

#include <cstdint>

#include "serial/CommRecords.h"

#include <QString>

// The termios layer under the component. Every call tolerates what a driver
// does not support (a pseudo-terminal has no modem lines); only the steps the
// component treats as failures report false.
namespace SerialDevice {

// Opens the device for exclusive use: O_RDWR|O_NOCTTY|O_NONBLOCK, an flock
// that another holder makes fail, and TIOCEXCL. -1 on failure, with errno
// saying why (EBUSY when another holder has the lock).
int Open(const QString& Path);

// Gives the device up without freeing the descriptor number: TIOCNXCL, the
// lock released, and the device replaced by /dev/null under the same number,
// so a thread still holding the number never reaches a reused one.
void Detach(int Fd);

// Whether the driver can report line errors (parity, framing, breaks). A
// pseudo-terminal never does: marking its input would only make the
// kernel's line discipline handle every byte one by one.
bool ReportsLineErrors(int Fd);

// Applies the DCB as line settings (termios2, so any rate goes through) and
// sets the DTR/RTS lines; Marked has line errors and breaks arrive in-band.
// False when the settings are refused.
bool Apply(int Fd, const TDCB& Dcb, bool Marked);

// Suspends or resumes the output in the driver (DSR flow control, which
// termios lacks); what it holds goes out once resumed.
void HoldOutput(int Fd, bool Held);

// Bytes still in the output queue; false when the driver cannot tell.
bool OutputQueue(int Fd, int& Count);
// Receive overruns the driver has counted (hardware and buffer); false when
// the driver keeps no such count (pseudo-terminals, most USB converters).
bool Overruns(int Fd, uint64_t& Count);

} // namespace SerialDevice
