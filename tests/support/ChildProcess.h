#pragma once

#include <QByteArray>
#include <QStringList>

#include <sys/types.h>

// A program run by a test, with its standard input written and its standard
// error collected. It is started with fork and exec rather than QProcess:
// QProcess starts children in a way ThreadSanitizer cannot follow, and the
// reports that follow would hide real ones.
class TChildProcess {
public:
    TChildProcess(const QString& program, const QStringList& arguments);
    // Ends a child still running: its input is closed, then it is killed.
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    bool Started() const { return FPid > 0; }
    pid_t Pid() const { return FPid; }
    void Write(const QByteArray& bytes);
    void CloseInput();
    // What the child has written to its standard error so far.
    const QByteArray& Errors();
    // Waits up to timeoutMs for the child to end; false when it did not.
    bool WaitForExit(int timeoutMs);
    // The exit code of a child that ended by itself; -1 otherwise.
    int ExitCode() const { return FExitCode; }

private:
    pid_t FPid = -1;
    int FInput = -1;
    int FErrors = -1;
    QByteArray FCollected;
    int FExitCode = -1;
};
