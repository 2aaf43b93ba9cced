#include "tests/support/TestEnvironment.h"

#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

using testing_support::WaitFor;

constexpr int kPort = 7;
const QString kName = QStringLiteral("COM%1").arg(kPort);
constexpr int kTimeoutMs = 30000;

// A device opened as the program opens a serial port, in raw mode.
class TDevice {
public:
    explicit TDevice(const QString& path)
        : FFd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        termios tio{};
        if (FFd >= 0 && ::tcgetattr(FFd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(FFd, TCSANOW, &tio);
        }
    }
    ~TDevice() {
        if (FFd >= 0)
            ::close(FFd);
    }
    TDevice(const TDevice&) = delete;
    TDevice& operator=(const TDevice&) = delete;

    bool IsOpen() const { return FFd >= 0; }
    bool Send(const QByteArray& bytes) const {
        return ::write(FFd, bytes.constData(), bytes.size()) == bytes.size();
    }
    // Collects what arrives until it ends with expected; false after the
    // time-out or when the line hangs up first.
    bool ReceiveUntil(const QByteArray& expected) {
        return WaitFor([&] { return Poll() && FReceived.endsWith(expected); }, kTimeoutMs);
    }
    bool HungUp() {
        return WaitFor([&] { return !Poll(); }, kTimeoutMs);
    }
    QByteArray Take() { return std::exchange(FReceived, {}); }

private:
    // Reads what is waiting; false once the other side has gone.
    bool Poll() {
        pollfd entry{FFd, POLLIN, 0};
        if (::poll(&entry, 1, 0) <= 0)
            return true;
        char buffer[256];
        const ssize_t n = ::read(FFd, buffer, sizeof buffer);
        if (n > 0)
            FReceived.append(buffer, n);
        return n > 0 || (n < 0 && errno == EAGAIN);
    }

    int FFd;
    QByteArray FReceived;
};

// The simulator's report lines on standard output.
class TSimulator {
public:
    explicit TSimulator(const QStringList& arguments) {
        FProcess.start(QStringLiteral(BRISQUELL_GAUGE_SIM), arguments);
    }
    ~TSimulator() {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished(kTimeoutMs);
        }
    }
    // Waits for a report line starting with prefix and returns the rest.
    QString WaitForReport(const QString& prefix) {
        QString rest;
        WaitFor(
            [&] {
                FOutput += QString::fromLocal8Bit(FProcess.readAllStandardOutput());
                const qsizetype end = FOutput.indexOf(u'\n');
                if (end < 0)
                    return false;
                const QString line = FOutput.left(end);
                FOutput.remove(0, end + 1);
                if (line.startsWith(prefix))
                    rest = line.mid(prefix.size());
                return !rest.isNull();
            },
            kTimeoutMs);
        return rest;
    }
    void Input(const QByteArray& line) { FProcess.write(line + '\n'); }
    void Signal(int signal) { ::kill(static_cast<pid_t>(FProcess.processId()), signal); }
    QProcess& Process() { return FProcess; }

private:
    QProcess FProcess;
    QString FOutput;
};

bool EntryExists(const QString& path) {
    return QFileInfo(path).isSymLink() || QFileInfo::exists(path);
}

// The device behind a ports-folder entry as the program finds it: present
// when the entry resolves to a character device (by stat, never by opening).
QString DeviceOf(const QString& entry) {
    struct stat st {};
    if (::stat(entry.toLocal8Bit().constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return {};
    return QFileInfo(entry).canonicalFilePath();
}

TEST(GaugeSimulator, RegistersAnswersUnplugsAndCleansUp) {
    TSimulator simulator({"--port", QString::number(kPort)});
    const QString ready = simulator.WaitForReport("ready ");
    const QString entry = testing_support::PortsFolder() + '/' + kName;
    ASSERT_EQ(ready.section(u' ', 0, 0), kName)
        << simulator.Process().readAllStandardError().toStdString();
    const QString device = DeviceOf(entry);
    ASSERT_FALSE(device.isEmpty()) << "the program finds the entry";
    EXPECT_EQ(device, QFileInfo(ready.section(u' ', 1)).canonicalFilePath());

    // The program opens and closes the port at will; the line stays up.
    TDevice(device).Send("x");
    TDevice port(device);
    ASSERT_TRUE(port.IsOpen());
    simulator.Input("  12.5 um");
    ASSERT_TRUE(port.ReceiveUntil("\r\n"));
    EXPECT_EQ(port.Take(), QByteArray("  12.5 um\r\n"));
    ASSERT_TRUE(port.Send("\x05"));
    ASSERT_TRUE(port.ReceiveUntil("> "));
    EXPECT_EQ(port.Take(), QByteArray("\r\n> "));

    simulator.Signal(SIGUSR1);
    EXPECT_EQ(simulator.WaitForReport("unplugged "), kName);
    EXPECT_FALSE(EntryExists(entry));
    EXPECT_TRUE(port.HungUp());
    EXPECT_TRUE(DeviceOf(entry).isEmpty());

    simulator.Input("!plug");
    EXPECT_TRUE(simulator.WaitForReport("ready ").startsWith(kName + ' '));
    EXPECT_FALSE(DeviceOf(entry).isEmpty());

    simulator.Signal(SIGTERM);
    ASSERT_TRUE(simulator.Process().waitForFinished(kTimeoutMs));
    EXPECT_EQ(simulator.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(simulator.Process().exitCode(), 0);
    EXPECT_FALSE(EntryExists(entry)) << "removed on exit";
}

} // namespace
