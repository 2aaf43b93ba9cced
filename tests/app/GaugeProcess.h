#pragma once

// The gauge simulator as a user starts it, for the window tests: built with
// BRISQUELL_GAUGE defined as the simulator's path.
#include "tests/support/ChildProcess.h"
#include "tests/support/TestEnvironment.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The simulator program as a user starts it; standard input carries the
// readings and the unplug command, standard error (verbose) its traffic.
class TGauge {
public:
    explicit TGauge(int port, const QStringList& options = {})
        : FProcess(QStringLiteral(BRISQUELL_GAUGE),
                   QStringList{"--port", QString::number(port), "--ready-file", ReadyFile(),
                               "--verbose"} +
                       options) {
        Ready = FProcess.Started() &&
                testing_support::WaitFor([&] { return QFile(ReadyFile()).size() > 0; }, 30000);
    }
    ~TGauge() { FProcess.Write("!quit\n"); }
    TGauge(const TGauge&) = delete;
    TGauge& operator=(const TGauge&) = delete;

    void Send(const QByteArray& reading) { FProcess.Write(reading + "\n"); }
    void Unplug() { FProcess.Write("!unplug\n"); }
    void Plug() { FProcess.Write("!plug\n"); }
    // How often the gauge has seen a traffic line so far.
    int Count(const QByteArray& what) { return static_cast<int>(FProcess.Errors().count(what)); }

    bool Ready = false;

private:
    QString ReadyFile() const { return FFolder.filePath("ready"); }

    QTemporaryDir FFolder;
    TChildProcess FProcess;
};
