#pragma once

#include <QString>

namespace testing_support {

// The temporary folders this test program runs in; removed at exit.
QString ConfigHome();  // $XDG_CONFIG_HOME
QString RuntimeDir();  // $XDG_RUNTIME_DIR
QString StateHome();   // $XDG_STATE_HOME
QString PortsFolder(); // <config>/Brisquell/ports, COM1 and COM2 disabled

// Sets up the folders and the environment; called once by the test main.
void SetUpEnvironment();
void TearDownEnvironment();

// Waits up to timeoutMs for cond, processing Qt events meanwhile.
template <typename Cond> bool WaitFor(Cond cond, int timeoutMs = 10000);

// Runs Qt's event loop for the whole of ms (sleeps without an application):
// what a check that nothing happened waits with.
bool ProcessEventsFor(int ms);
// Serves the events pending now and pauses briefly: WaitFor's poll.
void PollEvents();
bool Deadline(qint64 startMs, int timeoutMs);
qint64 NowMs();

template <typename Cond> bool WaitFor(Cond cond, int timeoutMs) {
    const qint64 start = NowMs();
    while (!cond()) {
        if (Deadline(start, timeoutMs))
            return cond();
        PollEvents();
    }
    return true;
}

} // namespace testing_support
