#pragma once

// The in-process control functions the simulated converter library exports
// besides the entry points, for tests that load it themselves.

extern "C" {
// Plugged in, closed, nothing received, nothing injected, journal empty.
using TFTSim_Reset = void (*)();
// Bytes arriving at the converter; returns how many it took (0 while the
// device is not open).
using TFTSim_Feed = unsigned (*)(const char* bytes, unsigned size);
using TFTSim_Unplug = void (*)();
using TFTSim_Plug = void (*)();
// The next call of entry fails with status; a failing FT_Read reports
// readCount bytes read.
using TFTSim_FailNext = void (*)(const char* entry, unsigned status, unsigned readCount);
// Copies the journal of calls (one per line) into buffer, NUL-terminated and
// cut to size; returns its full length.
using TFTSim_Journal = unsigned (*)(char* buffer, unsigned size);
// FT_Read calls waiting for bytes right now.
using TFTSim_BlockedReads = unsigned (*)();
// The next FT_OpenEx that finds the converter opens it and stores its handle,
// yet answers status: a library that leaves a handle behind a failed open.
using TFTSim_FailNextOpenLeavingHandle = void (*)(unsigned status);
}
