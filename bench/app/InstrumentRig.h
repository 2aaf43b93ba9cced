#pragma once

// The real main window with a gauge: COM5 on a pseudo-terminal in a private
// ports folder and profile 3 on it, connected, or the infrared profile 9
// with a peer on its service socket; and the clocks and memory figures the
// window benchmarks report.
#include "app/window/TMainScreen.h"
#include "bench/app/BenchSupport.h"
#include "serial/TSerial.h"
#include "tests/support/PrivateSerialModule.h"
#include "tests/support/Pty.h"
#include "tests/support/ServicePeer.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

namespace bench_rig {

using TClock = std::chrono::steady_clock;

double Seconds(clockid_t clock) {
    timespec t{};
    ::clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Resident memory now, and the most this process has had, in MB.
double ResidentMB() {
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1
               ? static_cast<double>(fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE)) / 1e6
               : 0;
}
double PeakResidentMB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1e3;
}

constexpr int kLinesPerSecond = 8400; // 921,600 baud, 11-byte lines
inline const std::string kLine = "  12.5 um\r\n";

enum class TLinkUnderTest { Serial, Infrared };

// COM5 on a pseudo-terminal in a private ports folder, and the main window
// started with profile 3 on it, connected; or with the infrared profile 9,
// connected, and a peer on its service socket.
class TRig {
public:
    explicit TRig(bool seriesPanel = false, TLinkUnderTest link = TLinkUnderTest::Serial,
                  const QByteArray& moreSettings = {})
        : Link(link) {
        const QString folder = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Brisquell";
        QDir().mkpath(folder);
        QFile ini(folder + "/BSave.ini");
        if (ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
            ini.write(QByteArray(link == TLinkUnderTest::Serial
                                     ? "[Config]\nDevice=3\nPort=5\nAutoConnect=1\n"
                                     : "[Config]\nDevice=9\nAutoConnect=1\n") +
                      (seriesPanel ? "[Series]\nVisible=1\nLower=12\nUpper=13\n" : "") +
                      moreSettings);
        ini.close();
        Window = std::make_unique<TMainScreen>(Dialogs);
        Window->show();
        QCoreApplication::processEvents();
        Editor = Window->findChild<QPlainTextEdit*>("Editor");
        if (link == TLinkUnderTest::Infrared)
            Peer = std::make_unique<TServicePeer>();
    }
    ~TRig() {
        Editor->document()->setModified(false);
        Window.reset();
    }
    TRig(const TRig&) = delete;
    TRig& operator=(const TRig&) = delete;

    bool Connected() const {
        return Link == TLinkUnderTest::Serial
                   ? Window->findChild<TSerial*>("Serial1")->Active()
                   : Peer->Connected &&
                         Window->findChild<QAction*>("act_interface_disconneced")->isEnabled();
    }
    // The gauge sends, on the link under test.
    void Send(const std::string& bytes) const {
        if (Link == TLinkUnderTest::Serial)
            Pty.Send(bytes);
        else
            Peer->Send(bytes.data(), bytes.size());
    }
    // Every line shows as 10 characters ("  12,5 µm" and its line end).
    int Lines() const { return (Editor->document()->characterCount() - 1) / 10; }
    // Runs the event loop, as the program does (waiting, never spinning),
    // until the editor holds lines readings. A timer looks every 10 ms; the
    // longest gap between its looks is how long the window could not answer.
    bool WaitForLines(int lines, int timeoutMs) {
        return WaitUntil([&] { return Lines() >= lines; }, timeoutMs);
    }
    // Whether the document ends with a reading's unit and a line end.
    bool EndsWithReading() const {
        const QTextDocument* doc = Editor->document();
        const int end = doc->characterCount() - 1; // the last paragraph's end
        if (end < 2)
            return false;
        const QChar lineEnd = doc->characterAt(end - 1);
        return doc->characterAt(end - 2) == u'm' &&
               (lineEnd == QChar::ParagraphSeparator || lineEnd == QChar::LineSeparator);
    }
    template <typename TDone> bool WaitUntil(TDone done, int timeoutMs) {
        QEventLoop loop;
        QElapsedTimer elapsed;
        elapsed.start();
        qint64 lastLook = 0;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            const qint64 now = elapsed.elapsed();
            LongestGapMs = std::max(LongestGapMs, now - lastLook);
            lastLook = now;
            if (done() || now > timeoutMs)
                loop.quit();
        });
        check.start(10);
        loop.exec();
        return done();
    }
    qint64 LongestGapMs = 0;

    const TLinkUnderTest Link;
    TPty Pty;

private:
    QTemporaryDir FPorts;
    const bool FLinked = QFile::link(Pty.Path, FPorts.filePath("COM5"));
    TPrivateSerialModule FModule{FPorts.path()};
    TSilentDialogs Dialogs;

public:
    std::unique_ptr<TMainScreen> Window;
    QPlainTextEdit* Editor = nullptr;
    std::unique_ptr<TServicePeer> Peer;
};

} // namespace bench_rig
