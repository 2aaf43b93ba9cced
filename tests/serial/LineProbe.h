#pragma once

#include <cstdint>

// The line settings of a terminal as the kernel holds them (termios2, whose
// header cannot meet <termios.h> in one file).
struct TLineProbe {
    uint32_t Speed = 0;
    bool TwoStopBits = false;
    bool XOnXOff = false;
    bool Marked = false;
    bool Checked = false; // input checking (INPCK): bytes with errors are marked
};

bool ProbeLine(int Fd, TLineProbe& Probe);
