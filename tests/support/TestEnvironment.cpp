#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

namespace testing_support {
namespace {
QString gRoot;
}

QString ConfigHome() {
    return gRoot + "/config";
}
QString RuntimeDir() {
    return gRoot + "/runtime";
}
QString StateHome() {
    return gRoot + "/state";
}
QString PortsFolder() {
    return ConfigHome() + "/Brisquell/ports";
}

void SetUpEnvironment() {
    QByteArray templ = QDir::tempPath().toUtf8() + "/brisquell-test-XXXXXX";
    if (::mkdtemp(templ.data()) == nullptr)
        std::abort();
    gRoot = QString::fromUtf8(templ);
    QDir().mkpath(PortsFolder());
    QDir().mkpath(RuntimeDir());
    QFile::setPermissions(RuntimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Dangling links mark COM1 and COM2 absent: tests never reach the real
    // serial ports (on CI /dev/ttyS0 is the console).
    QFile::link("/nonexistent/brisquell-test", PortsFolder() + "/COM1");
    QFile::link("/nonexistent/brisquell-test", PortsFolder() + "/COM2");
    ::setenv("XDG_CONFIG_HOME", ConfigHome().toUtf8().constData(), 1);
    ::setenv("XDG_RUNTIME_DIR", RuntimeDir().toUtf8().constData(), 1);
    // Capture journals: no test reads or prunes a developer's own.
    ::setenv("XDG_STATE_HOME", StateHome().toUtf8().constData(), 1);
}

void TearDownEnvironment() {
    if (!gRoot.isEmpty() && std::getenv("BRISQUELL_KEEP_TEST_DIR") == nullptr)
        QDir(gRoot).removeRecursively();
}

qint64 NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

bool Deadline(qint64 startMs, int timeoutMs) {
    return NowMs() - startMs >= timeoutMs;
}

bool ProcessEventsFor(int ms) {
    if (QCoreApplication::instance() == nullptr) {
        QThread::msleep(static_cast<unsigned long>(std::max(ms, 0)));
        return true;
    }
    // processEvents returns as soon as nothing is pending; a loop of its own
    // runs until the time is up.
    QEventLoop loop;
    QTimer::singleShot(std::max(ms, 0), &loop, &QEventLoop::quit);
    loop.exec();
    return true;
}

void PollEvents() {
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
}

} // namespace testing_support
