// The socket layer and the infrared listener over it, with raw Unix-domain
// clients playing the gauges.
#include "irda/IrDAListener.h"
#include "irda/WinSock.h"
#include "irda/wsocket.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestEnvironment.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

using namespace wsock;
using testing_support::WaitFor;

namespace {

template <typename T> QByteArray Bytes(const T& record) {
    return QByteArray(reinterpret_cast<const char*>(&record), sizeof record);
}

QByteArray Padded(const char* text, int size) {
    QByteArray field(text);
    field.resize(size, '\0');
    return field;
}

std::string ServicePath() {
    return ServiceFolder() + "/IrCOMM";
}

// A gauge's end of a connection.
class TClient {
public:
    TClient() : FFd(::socket(AF_UNIX, ::SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = ServicePath();
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        Connected = ::connect(FFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~TClient() { Close(); }
    TClient(const TClient&) = delete;
    TClient& operator=(const TClient&) = delete;

    void Send(const QByteArray& bytes) {
        ASSERT_EQ(::send(FFd, bytes.constData(), bytes.size(), MSG_NOSIGNAL), bytes.size());
    }
    void Close() {
        if (FFd >= 0)
            ::close(FFd);
        FFd = -1;
    }
    // Whether the program has closed its end; waits for it while serving events.
    bool ClosedByProgram() {
        return WaitFor([&] {
            char byte;
            return ::recv(FFd, &byte, 1, MSG_DONTWAIT) == 0;
        });
    }

    bool Connected = false;

private:
    int FFd;
};

// The main window's part: socket messages go to the listener.
class TWindow : public QObject {
public:
    explicit TWindow(TIrDAListener& listener) : FListener(listener) {}
    std::vector<intptr_t> Messages;

protected:
    void customEvent(QEvent* event) override {
        if (event->type() != TSocketMessage::EventType())
            return;
        const auto& message = static_cast<const TSocketMessage&>(*event);
        if (message.Msg != TIrDAListener::Message)
            return;
        Messages.push_back(message.LParam);
        FListener.Event(message.LParam);
    }

private:
    TIrDAListener& FListener;
};

class SocketLayerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &FData), 0); }
    void TearDown() override { EXPECT_EQ(WSACleanup(), 0); }

    WSADATA FData;
};

TEST(SocketRecords, AreBuiltByteForByte) {
    const QByteArray ias = Bytes(IrCOMMIasRecord());
    ASSERT_EQ(ias.size(), 1352);
    QByteArray expected = Padded("IrDA:IrCOMM", 64) + Padded("Parameters", 256);
    expected += QByteArray("\x02\x00\x00\x00", 4);         // octet sequence
    expected += QByteArray("\x06\x00", 2);                 // its length
    expected += QByteArray("\x00\x01\x06\x01\x01\x01", 6); // the two triples
    expected.resize(1352, '\0');
    EXPECT_EQ(ias.toHex(), expected.toHex());

    const QByteArray address = Bytes(IrCOMMAddress());
    ASSERT_EQ(address.size(), 32);
    EXPECT_EQ(address.toHex(),
              (QByteArray("\x1a\x00\0\0\0\0", 6) + Padded("IrDA:IrCOMM", 26)).toHex());
}

// Every step of the set-up refuses what the stack would refuse.
TEST_F(SocketLayerTest, RefusesWrongCallsWithTheirErrors) {
    const SOCKET s = wsock::socket(AF_IRDA, wsock::SOCK_STREAM, 0);
    ASSERT_GT(s, 0);
    const IAS_SET good = IrCOMMIasRecord();
    const auto ias = [&](const std::function<void(IAS_SET&)>& change, int length = 1352) {
        IAS_SET record = good;
        change(record);
        return wsock::setsockopt(s, SOL_IRLMP, IRLMP_IAS_SET, &record, length) == 0
                   ? 0
                   : WSAGetLastError();
    };
    const auto bindTo = [&](const std::function<void(SOCKADDR_IRDA&)>& change, int length = 32) {
        SOCKADDR_IRDA address = IrCOMMAddress();
        change(address);
        return wsock::bind(s, &address, length) == 0 ? 0 : WSAGetLastError();
    };
    const auto none = [](auto&) {};
    const int32_t on = 1;
    struct TCase {
        const char* What;
        int Error;
        int Expected;
    };
    const std::vector<TCase> cases = {
        {"another class", ias([](IAS_SET& r) { r.irdaClassName[5] = 'X'; }), WSAEINVAL},
        {"another attribute", ias([](IAS_SET& r) { r.irdaAttribName[0] = 'p'; }), WSAEINVAL},
        {"an integer attribute", ias([](IAS_SET& r) { r.irdaAttribType = 1; }), WSAEINVAL},
        {"five octets", ias([](IAS_SET& r) { r.Len = 5; }), WSAEINVAL},
        {"another port type", ias([](IAS_SET& r) { r.OctetSeq[5] = 2; }), WSAEINVAL},
        {"a short record", ias(none, 1351), WSAEFAULT},
        {"the IrCOMM record", ias(none), 0},
        {"9-wire mode", wsock::setsockopt(s, SOL_IRLMP, IRLMP_9WIRE_MODE, &on, 4), 0},
        {"an unknown option",
         wsock::setsockopt(s, SOL_IRLMP, 99, &on, 4) == 0 ? 0 : WSAGetLastError(), WSAENOPROTOOPT},
        {"listen before bind", wsock::listen(s, 2) == 0 ? 0 : WSAGetLastError(), WSAEINVAL},
        {"an IP address", bindTo([](SOCKADDR_IRDA& a) { a.irdaAddressFamily = 2; }),
         WSAEAFNOSUPPORT},
        {"another service", bindTo([](SOCKADDR_IRDA& a) { a.irdaServiceName[5] = 'X'; }),
         WSAEADDRNOTAVAIL},
        {"a short address", bindTo(none, 31), WSAEFAULT},
        {"the IrCOMM address", bindTo(none), 0},
        {"a second bind", bindTo(none), WSAEINVAL},
        {"an IP socket", wsock::socket(2, wsock::SOCK_STREAM, 0) > 0 ? 0 : WSAGetLastError(),
         WSAEAFNOSUPPORT},
        {"a closed socket",
         closesocket(s) == 0 && wsock::recv(s, nullptr, 0, 0) != 0 ? WSAGetLastError() : 0,
         WSAENOTSOCK},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(c.Error, c.Expected) << c.What;

    WSADATA data;
    EXPECT_EQ(WSAStartup(MAKEWORD(1, 0), &data), WSAVERNOTSUPPORTED);
    EXPECT_EQ(WSAStartup(MAKEWORD(2, 0), &data), 0);
    EXPECT_EQ(data.wVersion, MAKEWORD(2, 0));
    EXPECT_EQ(WSACleanup(), 0);
}

TEST(SocketModule, StartsAndEndsTheSockets) {
    while (WSACleanup() == 0) {
    } // starts left by listeners of earlier tests
    EXPECT_EQ(wsock::socket(AF_IRDA, wsock::SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    WSocketModuleStart();
    const SOCKET s = wsock::socket(AF_IRDA, wsock::SOCK_STREAM, 0);
    EXPECT_GT(s, 0);
    WSocketModuleEnd(); // closes what is left
    EXPECT_THROW(WSocketModuleEnd(), ESocketError);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

// The service socket is the user's alone; a live one is never taken over, a
// stale one from a crashed run is replaced, and it goes when it is closed.
TEST_F(SocketLayerTest, TheServiceSocketIsPrivateAndHeldByOneInstance) {
    TIrDAListener first({}), second({});
    QObject window;
    ASSERT_TRUE(first.Open(&window));
    struct stat info {};
    ASSERT_EQ(::stat(ServiceFolder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_EQ(QString::fromStdString(ServiceFolder()),
              testing_support::RuntimeDir() + "/Brisquell");
    ASSERT_EQ(::lstat(ServicePath().c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0600u);

    EXPECT_FALSE(second.Open(&window)) << "a live service is not stolen";
    EXPECT_GT(second.ListenSocket(), 0) << "the socket made stays until closed";
    TClient gauge;
    EXPECT_TRUE(gauge.Connected) << "the first instance still serves";
    second.Close();
    first.Close();
    EXPECT_NE(::lstat(ServicePath().c_str(), &info), 0) << "closing removes the file";

    // A crashed run's socket file: no lock holds it.
    {
        const int stale = ::socket(AF_UNIX, ::SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, ServicePath().c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(stale);
    }
    TIrDAListener third({});
    EXPECT_TRUE(third.Open(&window)) << "a stale file is replaced";
    third.Close();

    // A folder that others may enter is not used.
    QTemporaryDir runtime;
    ASSERT_TRUE(QDir().mkdir(runtime.filePath("Brisquell")));
    ::chmod(QFile::encodeName(runtime.filePath("Brisquell")).constData(), 0755);
    TScopedEnv env("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()).constData());
    EXPECT_EQ(ServiceFolder(), "");
    TIrDAListener fourth({});
    EXPECT_FALSE(fourth.Open(&window));
}

// The socket file older versions made ("IrDA:IrCOMM") goes when no instance
// of theirs holds its lock; a live one's, or a file that is no socket, stays.
TEST_F(SocketLayerTest, AnOlderVersionsSocketFileGoesOnlyWhenNoInstanceHoldsIt) {
    const std::string old = ServiceFolder() + "/IrDA:IrCOMM";
    struct TCase {
        const char* Name;
        bool Socket;   // else a plain file
        bool LockFile; // its lock file exists
        bool Held;     // an instance of the older version holds the lock and listens
        bool Removed;
    };
    const TCase cases[] = {
        {"left by a crash", true, true, false, true},
        {"left without a lock file", true, false, false, true},
        {"an older instance still runs", true, true, true, false},
        {"a file that is no socket", false, true, false, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        int lock = -1;
        if (c.LockFile)
            lock = ::open((old + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (c.Held) {
            ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
        }
        int file = -1;
        if (c.Socket) {
            file = ::socket(AF_UNIX, ::SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, old.c_str(), sizeof address.sun_path - 1);
            ASSERT_EQ(::bind(file, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            ASSERT_EQ(::listen(file, 1), 0);
        } else {
            file = ::open(old.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        }
        ASSERT_GE(file, 0);
        if (!c.Held) {
            ::close(file);
            file = -1;
        }

        TIrDAListener listener({});
        QObject window;
        EXPECT_TRUE(listener.Open(&window));
        struct stat info {};
        EXPECT_EQ(::lstat(old.c_str(), &info) != 0, c.Removed);
        EXPECT_EQ(::lstat(ServicePath().c_str(), &info), 0);
        listener.Close();

        ::unlink(old.c_str());
        ::unlink((old + ".lock").c_str());
        for (const int fd : {file, lock})
            if (fd >= 0)
                ::close(fd);
    }
}

TEST_F(SocketLayerTest, TheListenerFollowsItsPeers) {
    std::vector<QByteArray> chunks;
    int changes = 0;
    TIrDAListener listener(
        {.Received = [&](QByteArrayView chunk) { chunks.push_back(chunk.toByteArray()); },
         .PeerChanged = [&] { ++changes; }});
    TWindow window(listener);
    ASSERT_TRUE(listener.Open(&window));

    // A reading longer than a chunk, then the gauge goes: the close comes
    // after the last piece.
    auto first = std::make_unique<TClient>();
    ASSERT_TRUE(WaitFor([&] { return listener.PeerConnected(); }));
    EXPECT_EQ(changes, 1);
    EXPECT_GT(listener.PeerSocket(), 0);
    QByteArray reading;
    for (int i = 0; i < 250; ++i)
        reading += char('A' + i % 26);
    first->Send(reading);
    first->Close();
    ASSERT_TRUE(WaitFor([&] { return !listener.PeerConnected(); }));
    EXPECT_EQ(listener.PeerSocket(), 0);
    EXPECT_EQ(changes, 2);
    QByteArray joined;
    for (const QByteArray& chunk : chunks) {
        EXPECT_LE(chunk.size(), 101);
        joined += chunk;
    }
    EXPECT_EQ(joined, reading) << "all data came before the close";
    EXPECT_GE(chunks.size(), 3u);
    EXPECT_EQ(window.Messages.back(), FD_CLOSE);

    // A second gauge replaces the first, which is let go once what it sent
    // is taken.
    TClient a;
    ASSERT_TRUE(WaitFor([&] { return listener.PeerConnected(); }));
    const SOCKET peerA = listener.PeerSocket();
    a.Send("a");
    TClient b;
    ASSERT_TRUE(WaitFor([&] { return listener.PeerSocket() != peerA; }));
    EXPECT_TRUE(a.ClosedByProgram());
    EXPECT_TRUE(listener.PeerConnected());
    b.Send("b");
    ASSERT_TRUE(WaitFor([&] { return chunks.back() == "b"; }));
    EXPECT_EQ(chunks[chunks.size() - 2], "a") << "the replaced gauge's reading is not lost";

    // A gauge that goes just as another arrives: the late close of the one
    // replaced must not end the newcomer.
    const SOCKET replaced = listener.PeerSocket();
    TClient c;
    b.Close();
    ASSERT_TRUE(WaitFor([&] { return listener.PeerSocket() != replaced; }));
    testing_support::ProcessEventsFor(50);
    c.Send("n");
    ASSERT_TRUE(WaitFor([&] { return chunks.back() == "n"; }));
    EXPECT_TRUE(listener.PeerConnected());

    // An event with an error code is none of the three.
    listener.Event(FD_CLOSE | (WSAECONNRESET << 16));
    EXPECT_TRUE(listener.PeerConnected());

    // Paused, new gauges are sent away; resumed, they are taken again.
    const SOCKET peerC = listener.PeerSocket();
    listener.Listen(0);
    TClient refused;
    EXPECT_TRUE(refused.ClosedByProgram());
    EXPECT_EQ(listener.PeerSocket(), peerC);
    c.Send("still here");
    ASSERT_TRUE(WaitFor([&] { return chunks.back() == "still here"; }))
        << "the connected gauge goes on while paused";
    listener.Listen(TIrDAListener::Backlog);
    TClient welcome;
    ASSERT_TRUE(WaitFor([&] { return listener.PeerSocket() != peerC; }));
    welcome.Send("c");
    ASSERT_TRUE(WaitFor([&] { return chunks.back() == "c"; }));

    listener.Close();
    EXPECT_TRUE(welcome.ClosedByProgram()) << "shut-down closes the peer";
    EXPECT_EQ(listener.ListenSocket(), 0);
}

} // namespace
