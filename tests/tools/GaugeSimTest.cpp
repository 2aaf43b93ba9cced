#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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

// An infrared gauge connects only to a service in the user's private runtime
// folder: in a folder others may enter, the socket could be anybody's.
TEST(GaugeSimulator, InfraredGaugeTrustsOnlyAPrivateRuntimeFolder) {
    const QByteArray folder = QFile::encodeName(testing_support::RuntimeDir() + "/Brisquell");
    ::mkdir(folder.constData(), 0700);
    const QByteArray path = folder + "/IrCOMM";
    ::unlink(path.constData());
    const int service = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(service, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(service, 4), 0);

    struct TCase {
        mode_t Mode;
        bool Connects;
    };
    for (const TCase c : {TCase{0755, false}, TCase{0700, true}}) {
        SCOPED_TRACE(c.Mode);
        ASSERT_EQ(::chmod(folder.constData(), c.Mode), 0);
        TSimulator simulator({"--infrared"});
        if (c.Connects) {
            EXPECT_EQ(simulator.WaitForReport("ready "), "IrDA " + QFile::decodeName(path));
            simulator.Signal(SIGTERM);
        }
        ASSERT_TRUE(simulator.Process().waitForFinished(kTimeoutMs));
        EXPECT_EQ(simulator.Process().exitCode(), c.Connects ? 0 : 1);
        const int peer = ::accept(service, nullptr, nullptr);
        EXPECT_EQ(peer >= 0, c.Connects);
        if (peer >= 0)
            ::close(peer);
    }
    ::close(service);
    ::unlink(path.constData());
}

} // namespace
